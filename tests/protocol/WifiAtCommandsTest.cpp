#include "WifiTestBase.h"

#include "platform/PathMap.h"
#include "protocol/T57_WIFI_CONFIG.h"
#include "protocol/WifiConfigFiles.h"

#include <arpa/inet.h>
#include <chrono>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using kel::protocol::T57_WIFI_CONFIG;
using kel::protocol::WifiConfigFiles;
using kel::protocol::WifiSettings;

namespace {

class WifiAtCommandsTest : public WifiTestBase {
protected:
    void SetUp() override
    {
        WifiTestBase::SetUp();
        makeWifi();
    }
    QByteArray at(const QByteArray& cmd) { return commands().answer(cmd); }
    kel::protocol::WifiAtCommands& commands()
    {
        if (!handler)
            handler = std::make_unique<kel::protocol::WifiAtCommands>(*wifi);
        return *handler;
    }
    std::unique_ptr<kel::protocol::WifiAtCommands> handler;
};

TEST_F(WifiAtCommandsTest, QueriesAnswerTheirDocumentedLines)
{
    EXPECT_EQ(at("AT+CHECKDATA\r\n"), "+CHECKDATA:ON,AP,192.168.22.101,KEL-T57N,\r\nOK\r\n");
    EXPECT_EQ(at("AT+GETVER"), "+GETVER:" + T57_WIFI_CONFIG::versionText() + "\r\nOK\r\n");
    setWifiEnable(1);
    EXPECT_TRUE(at("AT+CHECKDATA").startsWith("+CHECKDATA:OFF,AP,"));
}

TEST_F(WifiAtCommandsTest, SetDataStoresCheckedValuesAndRestartsTheServices)
{
    EXPECT_EQ(at("AT+SETDATA=1,Hall A,hall-pass-1"), "OK\r\n");
    EXPECT_TRUE(fileText(WifiConfigFiles::kHostapd).contains("\nssid=Hall A\n"));
    EXPECT_EQ(at("AT+SETDATA=2,office,pass,with,commas"), "OK\r\n");
    EXPECT_TRUE(fileText(WifiConfigFiles::kWpaSupplicant).contains("\tpsk=\"pass,with,commas\"\n"));
    EXPECT_EQ(at("AT+SETDATA=3,10.20.30.40"), "OK\r\n");
    EXPECT_EQ(g_str_wifi_ip, "10.20.30.40");
    EXPECT_EQ(ConfigEngine::pInstance()->read_config_variant(ConfigItem::WifiIPAddress).toString(), "10.20.30.40");
    EXPECT_EQ(at("AT+CHECKDATA"), "+CHECKDATA:ON,CLIENT,10.20.30.40,Hall A,office\r\nOK\r\n");
    EXPECT_TRUE(wifi->restartPending());
    g_str_wifi_ip = "192.168.22.101";
}

TEST_F(WifiAtCommandsTest, BadCommandsAnswerErrorAndChangeNothing)
{
    const QByteArray bad[] = {
        "AT+SETDATA=1,name\nwpa=0,12345678",
        "AT+SETDATA=1,name,short",
        "AT+SETDATA=1,only-name",
        "AT+SETDATA=2,a\"b,12345678",
        "AT+SETDATA=3,1.2.3.4;reboot",
        "AT+SETDATA=3,192.168.1.1,extra",
        "AT+SETDATA=4,x",
        "AT+SETDATA=",
        "AT+FOO",
        "at+checkdata",
        "",
        QByteArray(2000, 'A'),
    };
    for (const QByteArray& cmd : bad)
        EXPECT_EQ(at(cmd), "ERROR\r\n") << cmd.left(40).constData();
    EXPECT_FALSE(fileExists(WifiConfigFiles::kHostapd) && fileText(WifiConfigFiles::kHostapd).contains("name"));
    EXPECT_FALSE(wifi->restartPending());
    EXPECT_TRUE(recorded().isEmpty());
}

TEST_F(WifiAtCommandsTest, ResetRestartsTheServicesOnlyOnTheRecordingBackend)
{
    EXPECT_EQ(at("AT+RST"), "OK\r\n");
    runPasses();
    EXPECT_TRUE(recorded().contains("/usr/bin/hostapd /etc/rtl_hostapd_2G.conf -B"));
    EXPECT_FALSE(platform().commands().rebootRequested());
}

TEST_F(WifiAtCommandsTest, RestoreWritesTheDefaultsAndRestarts)
{
    ASSERT_EQ(at("AT+SETDATA=1,custom,custom-pass"), "OK\r\n");
    ASSERT_EQ(at("AT+SETDATA=3,10.0.0.9"), "OK\r\n");
    runPasses();
    platform().commands().clear();
    EXPECT_EQ(at("AT+RESTORE"), "OK\r\n");
    runPasses();
    const WifiSettings def;
    EXPECT_TRUE(fileText(WifiConfigFiles::kHostapd).contains("\nssid=" + def.apSsid + "\n"));
    EXPECT_EQ(g_str_wifi_ip, def.address);
    EXPECT_TRUE(recorded().contains("ifconfig wlan0 " + def.address));
    EXPECT_FALSE(platform().commands().rebootRequested());
}

// The control protocol may change the address in the configuration while
// the old one is still in use; an address the module then sends wins, and a
// name change keeps the configured address.
TEST_F(WifiAtCommandsTest, AddressSentAfterAConfigurationChangeIsTheOneBroughtUp)
{
    const struct {
        QByteArray cmd;
        QString up;
    } cases[] = {
        {"AT+SETDATA=3,192.168.22.101", "192.168.22.101"},
        {"AT+RESTORE", "192.168.22.101"},
        {"AT+SETDATA=1,Stage,stage-pass", "10.9.8.7"},
    };
    for (const auto& c : cases) {
        makeWifi();
        handler.reset();
        ConfigEngine::pInstance()->write_config_variant(ConfigItem::WifiIPAddress, QString("10.9.8.7"));
        g_str_wifi_ip = "10.9.8.7";
        ASSERT_EQ(at(c.cmd), "OK\r\n") << c.cmd.constData();
        runPasses();
        EXPECT_TRUE(recorded().contains("ifconfig wlan0 " + c.up)) << c.cmd.constData();
        EXPECT_EQ(g_str_wifi_ip, c.up) << c.cmd.constData();
        EXPECT_EQ(ConfigEngine::pInstance()->read_config_variant(ConfigItem::WifiIPAddress).toString(), c.up)
            << c.cmd.constData();
        EXPECT_TRUE(fileText(WifiConfigFiles::kUdhcpd).contains("option router " + c.up.toLatin1() + "\n"))
            << c.cmd.constData();
    }
    g_str_wifi_ip = "192.168.22.101";
}

// A real socket over loopback, with the link's own threads. The port is
// one the system picks (read back): other suites run on this machine too.
TEST_F(WifiAtCommandsTest, EveryCommandIsAnsweredOverLoopback)
{
    ASSERT_TRUE(wifi->start(0));
    ASSERT_NE(wifi->boundPort(), 0);
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(wifi->boundPort());
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const struct {
        QByteArray cmd;
        QByteArray prefix;
    } cases[] = {
        {"AT+CHECKDATA", "+CHECKDATA:ON,AP,"},
        {"AT+SETDATA=1,Stage,stage-pass", "OK\r\n"},
        {"AT+SETDATA=2,office,office-pass", "OK\r\n"},
        {"AT+SETDATA=3,192.168.22.101", "OK\r\n"},
        {"AT+RST", "OK\r\n"},
        {"AT+RESTORE", "OK\r\n"},
        {"AT+GETVER", "+GETVER:"},
        {"AT+SETDATA=1,bad\nname,stage-pass", "ERROR\r\n"},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(::sendto(fd, c.cmd.constData(), c.cmd.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof(to)),
                  c.cmd.size());
        pollfd p{fd, POLLIN, 0};
        ASSERT_EQ(::poll(&p, 1, 5000), 1) << c.cmd.constData();
        char buf[512];
        const ssize_t n = ::recv(fd, buf, sizeof(buf), 0);
        ASSERT_GT(n, 0);
        EXPECT_TRUE(QByteArray(buf, int(n)).startsWith(c.prefix)) << c.cmd.constData() << " -> " << buf;
        EXPECT_TRUE(QByteArray(buf, int(n)).endsWith("OK\r\n") || QByteArray(buf, int(n)) == "ERROR\r\n");
    }
    ::close(fd);
    // The supervision thread carries out the restarts the commands asked for.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!recorded().contains("/usr/bin/hostapd /etc/rtl_hostapd_2G.conf -B")
           && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    wifi->stop();
    EXPECT_TRUE(recorded().contains("/usr/bin/hostapd /etc/rtl_hostapd_2G.conf -B"));
    EXPECT_FALSE(platform().commands().rebootRequested());
}

} // namespace
