#include "params/ConfigEngine.h"
#include "params/ConfigItem.h"
#include "params/NetworkConfig.h"
#include "params/Utils.h"
#include "params/global.h"
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimCommandRunner.h"
#include "support/SimRootFixture.h"

#include <QFile>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace kel::test {
namespace {

class UtilsNetworkTest : public SimRootFixture {
protected:
    void TearDown() override
    {
        ConfigEngine::destroyInstance();
        SimRootFixture::TearDown();
    }
    std::vector<std::string> commands() { return board().commands().commands(); }
    // Starts the configuration store on a file with these lines.
    void startWith(const QByteArray& ini)
    {
        QFile f(QString::fromStdString(hostPath("/data/configs/tcpip.ini")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(ini);
        f.close();
        ConfigEngine::pInstance();
        board().commands().clear();
    }
};

TEST_F(UtilsNetworkTest, InitIPAddressRunsTheSevenCommandsInOrder)
{
    startWith("[config]\nIPAddress=10.0.0.5\nSubNetMask=255.255.0.0\nGateWay=10.0.0.1\n");
    EXPECT_EQ(Utils::initIPAddress(), 0);
    EXPECT_EQ(commands(), (std::vector<std::string>{
                              "ifconfig eth0 &>/dev/null",
                              "route del default wlan0",
                              "ifconfig eth0 10.0.0.5 netmask 255.255.0.0",
                              "route add -host 10.0.0.1 dev eth0",
                              "route add default gw 10.0.0.1 metric 100",
                              "route add -host 255.255.255.255 eth0",
                              "route del 255.255.255.255 wlan1",
                          }));
    EXPECT_EQ(board().commands().interfaceAddress("eth0"), "10.0.0.5 netmask 255.255.0.0");
}

TEST_F(UtilsNetworkTest, NoWiredPortRunsOnlyTheProbe)
{
    board().commands().setWiredPortPresent(false);
    EXPECT_EQ(Utils::init_resteth("10.0.0.5", "10.0.0.1", "255.0.0.0"), 255);
    EXPECT_EQ(commands(), (std::vector<std::string>{"ifconfig eth0 &>/dev/null"}));
}

TEST_F(UtilsNetworkTest, InvalidAddressesRunNothing)
{
    const char* const bad[] = {"1.2.3.4; reboot", "256.1.1.1", "1.2.3", "", "a.b.c.d", "1.2.3.4 ", "$(reboot)"};
    for (const char* b : bad) {
        EXPECT_EQ(Utils::init_resteth(b, "10.0.0.1", "255.0.0.0"), 255) << b;
        EXPECT_EQ(Utils::init_resteth("10.0.0.5", b, "255.0.0.0"), 255) << b;
        EXPECT_EQ(Utils::init_resteth("10.0.0.5", "10.0.0.1", b), 255) << b;
    }
    EXPECT_TRUE(commands().empty());
    EXPECT_FALSE(board().commands().rebootRequested());
}

TEST_F(UtilsNetworkTest, AnAddressFromTheFileIsCheckedToo)
{
    startWith("[config]\nIPAddress=\"1.2.3.4; reboot\"\n");
    EXPECT_EQ(Utils::initIPAddress(), 255);
    EXPECT_TRUE(commands().empty());
}

TEST_F(UtilsNetworkTest, StoreNetworkWritesTheThreeKeysThenSyncsAndReconfigures)
{
    startWith("[config]\nIPAddress=192.168.1.199\nSubNetMask=255.255.255.0\nGateWay=192.168.1.1\n");
    ASSERT_TRUE(NetworkConfig::storeNetwork("10.0.0.5", "255.255.0.0", "10.0.0.1"));
    EXPECT_EQ(commands(), (std::vector<std::string>{
                              "sync",
                              "ifconfig eth0 &>/dev/null",
                              "route del default wlan0",
                              "ifconfig eth0 10.0.0.5 netmask 255.255.0.0",
                              "route add -host 10.0.0.1 dev eth0",
                              "route add default gw 10.0.0.1 metric 100",
                              "route add -host 255.255.255.255 eth0",
                              "route del 255.255.255.255 wlan1",
                          }));
    QFile f(QString::fromStdString(hostPath("/data/configs/tcpip.ini")));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray ini = f.readAll();
    const int ip = ini.indexOf("IPAddress=10.0.0.5"), mask = ini.indexOf("SubNetMask=255.255.0.0"),
              gate = ini.indexOf("GateWay=10.0.0.1");
    EXPECT_GE(ip, 0);
    EXPECT_GE(mask, 0);
    EXPECT_GE(gate, 0);
    EXPECT_TRUE(NetworkConfig::isCurrent("10.0.0.5", "255.255.0.0", "10.0.0.1"));
}

// The panel compares the address it shows while a link thread may be
// reloading the configuration texts: the comparison waits for the lock the
// reload holds instead of reading a text being assigned.
TEST_F(UtilsNetworkTest, TheAddressComparisonWaitsForTheConfigurationLock)
{
    startWith("[config]\nIPAddress=10.0.0.5\nSubNetMask=255.255.0.0\nGateWay=10.0.0.1\n");
    std::atomic<bool> compared{false};
    std::thread panel;
    {
        std::lock_guard<std::mutex> reload(Utils::_config_mutex);
        panel = std::thread([&] {
            NetworkConfig::isCurrent("10.0.0.5", "255.255.0.0", "10.0.0.1");
            compared = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_FALSE(compared.load()) << "compared while the configuration was held";
    }
    panel.join();
    EXPECT_TRUE(compared.load());
}

TEST_F(UtilsNetworkTest, StoreNetworkRefusesAnInvalidTextBeforeWritingAnything)
{
    startWith("[config]\nIPAddress=192.168.1.199\nSubNetMask=255.255.255.0\nGateWay=192.168.1.1\n");
    for (const char* bad : {"192.168.1.300", "192.168..1", "", "1.2.3.4; reboot"}) {
        EXPECT_FALSE(NetworkConfig::storeNetwork("192.168.1.199", "255.255.255.0", bad)) << bad;
        EXPECT_FALSE(NetworkConfig::storeNetwork(bad, "255.255.255.0", "192.168.1.1")) << bad;
    }
    EXPECT_TRUE(commands().empty());
    EXPECT_EQ(ConfigEngine::pInstance()->read_config_variant(ConfigItem::GateWay).toString(), "192.168.1.1");
}

} // namespace
} // namespace kel::test
