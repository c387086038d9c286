#include "ui/support/ShellFixture.h"

#include "params/global.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/ShellGlobals.h"

#include <algorithm>

namespace kel::test {
namespace {

class TickTest : public ShellFixture {
protected:
    int reboots() const
    {
        const auto c = commands();
        return static_cast<int>(std::count(c.begin(), c.end(), std::string("reboot")));
    }
    // A running FPGA whose register 42 reads the given values in turn.
    void fakeFpga(std::vector<uint8_t> reg42)
    {
        auto values = std::make_shared<std::vector<uint8_t>>(std::move(reg42));
        auto at = std::make_shared<size_t>(0);
        MainWindow::hooks().fpgaRunning = []() { return true; };
        MainWindow::hooks().readAgeingRegs = [values, at](uint8_t regs[3]) {
            regs[0] = (*values)[std::min(*at, values->size() - 1)];
            regs[1] = 17;
            regs[2] = 3;
            ++*at;
        };
    }
};

TEST_F(TickTest, RebootRunsThreeHundredTicksAfterTheRequestAndEveryFiveSecondsAfter)
{
    tick(50);
    G_reboot_tickTicks = G_timeTicks.load();
    g_app_reset_flag = 1;
    tick(299);
    EXPECT_EQ(reboots(), 0);
    tick(1);
    EXPECT_EQ(reboots(), 1);
    // A request that did not take the device down is made again, never per tick.
    tick(499);
    EXPECT_EQ(reboots(), 1);
    tick(1);
    EXPECT_EQ(reboots(), 2);
    tick(1000);
    EXPECT_EQ(reboots(), 4);
}

TEST_F(TickTest, NoRebootWithoutARequest)
{
    tick(1000);
    EXPECT_EQ(reboots(), 0);
}

TEST_F(TickTest, UsbWatcherIsReleasedAtTickThousand)
{
    tick(999);
    EXPECT_EQ(g_delay_usbserver.load(), 0u);
    tick(1);
    EXPECT_EQ(g_delay_usbserver.load(), 1u);
}

TEST_F(TickTest, FirstAgeingSampleAtTick18000)
{
    fakeFpga({5});
    int refreshes = 0;
    MainWindow::hooks().ageingPageRefresh = [&]() { ++refreshes; };
    tick(17999);
    EXPECT_TRUE(factoryage_log.isEmpty());
    tick(1);
    ASSERT_EQ(factoryage_log.size(), 1);
    const QStringList parts = factoryage_log.first().split(' ');
    ASSERT_EQ(parts.size(), 5);
    EXPECT_EQ(parts[2], "5");
    EXPECT_EQ(parts[3], "17");
    EXPECT_EQ(parts[4], "3");
    EXPECT_EQ(refreshes, 1);
    EXPECT_EQ(G_factoryage_ticks, 18000u);
}

TEST_F(TickTest, HostTrafficSkipsTheSampleButRestartsThePeriod)
{
    fakeFpga({5});
    pc_cmd_valid = 1;
    tick(18000);
    EXPECT_TRUE(factoryage_log.isEmpty());
    EXPECT_EQ(G_factoryage_ticks, 18000u);
    pc_cmd_valid = 0;
    tick(18000);
    EXPECT_EQ(factoryage_log.size(), 1);
}

TEST_F(TickTest, NoSampleWithoutARunningFpga)
{
    tick(18000);
    EXPECT_TRUE(factoryage_log.isEmpty());
}

TEST_F(TickTest, RegisterStepsCountInTheirBands)
{
    // 250 -> 3 wraps (step 9), 3 -> 3 counts nothing, then 1, 4, 19, 40.
    fakeFpga({250, 3, 3, 4, 8, 27, 67});
    tick(18000 * 7);
    EXPECT_EQ(factoryage_log.size(), 7);
    EXPECT_EQ(factoryage_log_diff10, 1u + 0u);
    EXPECT_EQ(factoryage_log_diff3, 1u);
    EXPECT_EQ(factoryage_log_diff5, 1u);
    EXPECT_EQ(factoryage_log_diff20, 1u);
    EXPECT_EQ(factoryage_log_diffmore, 1u);
}

TEST_F(TickTest, LogKeepsTheNewest3360Entries)
{
    for (int i = 0; i < 3360; ++i)
        factoryage_log << QString("01-01 00:00 %1 0 0").arg(i % 256);
    fakeFpga({7});
    tick(18000);
    ASSERT_EQ(factoryage_log.size(), 3360);
    EXPECT_EQ(factoryage_log.first(), "01-01 00:00 1 0 0");
    EXPECT_TRUE(factoryage_log.last().endsWith(" 7 17 3"));
}

TEST_F(TickTest, CounterWrapKeepsElapsedTimesSmall)
{
    G_timeTicks = 0xFFFFFFF0u;
    G_reboot_tickTicks = 0xFFFFFFF0u;
    g_app_reset_flag = 1;
    G_factoryage_ticks = 0xFFFFFFF0u;
    fakeFpga({1});
    tick(0x20);
    EXPECT_EQ(G_timeTicks.load(), 0x10u);
    EXPECT_EQ(reboots(), 0);
    EXPECT_TRUE(factoryage_log.isEmpty());
    tick(300);
    EXPECT_EQ(reboots(), 1);
}

TEST_F(TickTest, UpgradeAnimationRunsOnlyWhileAnUpgradeRuns)
{
    int frames = 0;
    MainWindow::hooks().upgradeTick = [&]() { ++frames; };
    tick(3);
    g_update_flag = 1;
    tick(2);
    EXPECT_EQ(frames, 2);
}

} // namespace
} // namespace kel::test
