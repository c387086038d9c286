#include "WifiTestBase.h"

#include "protocol/T57_WIFI_CONFIG.h"
#include "protocol/WifiConfigFiles.h"

#include <QJsonObject>

#include <arpa/inet.h>
#include <chrono>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using kel::protocol::T57_WIFI_CONFIG;
using kel::protocol::WifiConfigFiles;
using kel::protocol::WifiSettings;

namespace {

const QStringList kStops = {
    "kill -9 `pidof /usr/bin/hostapd /etc/rtl_hostapd_2G.conf`",
    "kill -9 `pidof /usr/sbin/udhcpd  /etc/udhcpd.conf`",
    "kill -9 `pidof wpa_supplicant`",
    "kill -9 `pidof udhcpc`",
};
const QStringList kApStarts = {
    "ifconfig wlan0 192.168.22.101",
    "udhcpd -fS /etc/udhcpd.conf &",
    "/usr/bin/hostapd /etc/rtl_hostapd_2G.conf -B",
};

class WifiSupervisionTest : public WifiTestBase {
protected:
    void SetUp() override
    {
        WifiTestBase::SetUp();
        makeWifi();
    }
    // Runs passes and checks that each one issued at most one command.
    void runCheckedPasses(int n)
    {
        for (int i = 0; i < n; ++i) {
            const int before = recorded().size();
            wifi->supervisePass();
            ASSERT_LE(recorded().size(), before + 1) << "pass " << i;
        }
    }
};

TEST_F(WifiSupervisionTest, ResetFlagOnlyRaisesTheRequest)
{
    G_timeTicks = 4321;
    wifi->set_wifi_reset_flag();
    EXPECT_EQ(g_wifi_reset_flag.load(), 1);
    EXPECT_EQ(wifi->requestTick(), 4321u);
    EXPECT_TRUE(recorded().isEmpty());
    G_timeTicks = 0;
}

TEST_F(WifiSupervisionTest, WifiOnStopsThenBringsTheAccessPointUpOneStepPerPass)
{
    wifi->set_wifi_reset_flag();
    runCheckedPasses(1);
    EXPECT_EQ(recorded(), QStringList{kStops.first()});
    runCheckedPasses(20);
    EXPECT_EQ(recorded(), kStops + kApStarts);
    EXPECT_FALSE(wifi->restartPending());
}

TEST_F(WifiSupervisionTest, WifiOffOnlyStopsTheServices)
{
    setWifiEnable(1);
    wifi->set_wifi_reset_flag();
    runCheckedPasses(20);
    EXPECT_EQ(recorded(), kStops);
    EXPECT_FALSE(wifi->restartPending());
}

TEST_F(WifiSupervisionTest, WifiTurnedOffDuringTheSequenceStartsNothingMore)
{
    wifi->set_wifi_reset_flag();
    runCheckedPasses(kStops.size() + 1);
    setWifiEnable(1);
    runCheckedPasses(10);
    EXPECT_EQ(recorded(), kStops + kApStarts.mid(0, 1));
}

TEST_F(WifiSupervisionTest, NewRequestDuringTheSequenceStartsItOver)
{
    wifi->set_wifi_reset_flag();
    runCheckedPasses(2);
    wifi->set_wifi_reset_flag();
    runCheckedPasses(20);
    EXPECT_EQ(recorded(), kStops.mid(0, 2) + kStops + kApStarts);
}

TEST_F(WifiSupervisionTest, ClientModeStartsTheSupplicantAndDhcpClient)
{
    WifiSettings s = wifi->settings();
    s.mode = WifiSettings::Mode::Client;
    s.clientSsid = "office";
    s.clientPass = "secret-pass";
    ASSERT_TRUE(wifi->applySettings(s));
    runCheckedPasses(20);
    EXPECT_EQ(recorded(), kStops + QStringList({"ifconfig wlan0 up",
                                                "wpa_supplicant -B -i wlan0 -c /etc/wpa_supplicant.conf",
                                                "udhcpc -i wlan0 -b"}));
}

TEST_F(WifiSupervisionTest, NoPassWithoutARequestRunsAnything)
{
    runCheckedPasses(5);
    EXPECT_TRUE(recorded().isEmpty());
}

TEST_F(WifiSupervisionTest, AddressChangedInTheConfigurationIsTakenUpAtTheNextRestart)
{
    g_str_wifi_ip = "10.9.8.7";
    wifi->set_wifi_reset_flag();
    runCheckedPasses(20);
    EXPECT_TRUE(recorded().contains("ifconfig wlan0 10.9.8.7"));
    EXPECT_TRUE(fileText(WifiConfigFiles::kUdhcpd).contains("option router 10.9.8.7\n"));
    EXPECT_EQ(wifi->settings().address, "10.9.8.7");
    g_str_wifi_ip = "192.168.22.101";
}

// The singleton as start-up creates it, with its own threads.
class WifiStartupTest : public WifiTestBase {
protected:
    void TearDown() override
    {
        delete T57_WIFI_CONFIG::p_wifi;
        WifiTestBase::TearDown();
    }
    bool waitForRecorded(const QString& command) const
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!recorded().contains(command) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return recorded().contains(command);
    }
};

TEST_F(WifiStartupTest, WifiOnBringsTheAccessPointUpAtStart)
{
    platform().commands().clear();
    ASSERT_NE(T57_WIFI_CONFIG::pInstance(0), nullptr);
    EXPECT_TRUE(waitForRecorded(kApStarts.last()));
    T57_WIFI_CONFIG::p_wifi->stop();
    EXPECT_EQ(recorded(), kStops + kApStarts);
}

TEST_F(WifiStartupTest, WifiOffStartsNothingAtStart)
{
    setWifiEnable(1);
    platform().commands().clear();
    ASSERT_NE(T57_WIFI_CONFIG::pInstance(0), nullptr);
    T57_WIFI_CONFIG::p_wifi->stop();
    EXPECT_FALSE(T57_WIFI_CONFIG::p_wifi->restartPending());
    EXPECT_TRUE(recorded().isEmpty());
}

TEST_F(WifiStartupTest, SupervisionRunsWhenTheCommandPortIsTaken)
{
    const int taken = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(taken, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof(addr);
    ASSERT_EQ(::bind(taken, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
    ASSERT_EQ(::getsockname(taken, reinterpret_cast<sockaddr*>(&addr), &len), 0);
    makeWifi();
    const uint16_t port = ntohs(addr.sin_port);
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(wifi->start(port));
    // One log line and the links report name the taken port.
    const std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("link wifi: cannot bind 127.0.0.1:" + std::to_string(port) + ": "), std::string::npos) << log;
    const QJsonObject o = platform().state()["links"].toObject()["wifi"].toObject();
    EXPECT_FALSE(o["bound"].toBool());
    EXPECT_EQ(o["port"].toInt(), port);
    EXPECT_FALSE(o["error"].toString().isEmpty());
    wifi->set_wifi_reset_flag();
    EXPECT_TRUE(waitForRecorded(kApStarts.last()));
    wifi->stop();
    ::close(taken);
}

} // namespace
