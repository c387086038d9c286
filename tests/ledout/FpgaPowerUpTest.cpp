#include "FpgaFixture.h"

#include "ledout/LedGlobals.h"
#include "ledout/MonitorProbe.h"
#include "ledout/fpga_manage.h"
#include "params/KelRamPara.h"
#include "params/Utils.h"
#include "params/global.h"
#include "platform/sim/SimFpga.h"
#include "platform/sim/SimNorFlash.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <map>
#include <thread>
#include <utility>

namespace kel::test {
namespace {

using Knobs = platform::sim::SimFpga::Knobs;

class FpgaPowerUpTest : public FpgaFixture {
protected:
    void SetUp() override
    {
        FpgaFixture::SetUp();
        inputBoardReady();
    }
    void setKnobs(const std::function<void(Knobs&)>& change)
    {
        Knobs k = fpga().knobs();
        change(k);
        fpga().setKnobs(k);
    }
    bool lit() { return m().get_fpga_status() == 1; }
    // Runs the step that ends the blanking on a thread of its own while this
    // test holds the LED mutex, and stores the scaler's 2 once that thread
    // waits for the mutex: it has read the 1 by then, as nothing else on
    // its way waits.
    void storeTwoWhileTheLastPassWaits()
    {
        std::atomic<pid_t> tid{0};
        Utils::_led_para_init_mutex.lock();
        std::thread last([&] {
            tid = pid_t(::syscall(SYS_gettid));
            m().set_led_para_deal();
        });
        for (int i = 0; i < 5000 && !(tid && sleeps(tid)); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        g_set_led_para = 2;
        Utils::_led_para_init_mutex.unlock();
        last.join();
    }
    static bool sleeps(pid_t tid)
    {
        std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
        std::string line;
        std::getline(stat, line);
        const size_t name = line.rfind(')');
        return name != std::string::npos && name + 2 < line.size() && line[name + 2] == 'S';
    }
    int count(const std::vector<int>& steps, int s) { return int(std::count(steps.begin(), steps.end(), s)); }
};

TEST_F(FpgaPowerUpTest, BlankBoardReachesTheLitScreenThroughEveryStep)
{
    uint32_t s6Tick = 0;
    const uint32_t used = runUntil(
        [&] {
            if (!s6Tick && m().vbo_step[0] == 7)
                s6Tick = G_timeTicks;
            return m().status_step[0] == 16;
        },
        3000);
    ASSERT_LT(used, 3000u);
    EXPECT_EQ(m().get_fpga_status(), 0u) << "not lit before the input is shown";
    EXPECT_EQ(g_fpga_lcd_on, 1);
    EXPECT_EQ(reasons, std::vector<int>{SYNC_INPUT_INFO});
    for (int i = 0; i < 50; ++i)
        pass(), advance(1);
    EXPECT_EQ(m().status_step[0], 16) << "waits for the input";
    g_source_online = 2;
    runUntil([this] { return lit(); }, 100);
    EXPECT_TRUE(lit());
    EXPECT_TRUE(fpga().lit());
    EXPECT_EQ(fpga().reg(0) & 0x04, 0);
    EXPECT_EQ(fpga().reg(3) & 0x20, 0x20);
    EXPECT_GE(G_timeTicks - s6Tick, 133u);
    EXPECT_EQ(vboSteps, (std::vector<int>{0, 1, 2, 3, 5, 6, 7}));
    EXPECT_EQ(statusSteps, (std::vector<int>{0, 7, 1, 8, 2, 9, 10, 3, 14, 15, 16, 18}));
    EXPECT_EQ(reasons, std::vector<int>{SYNC_INPUT_INFO});
    EXPECT_EQ(fpga().resets(), 1) << "only the release by the input board";
    // defaults in the parameter RAM, ports numbered 1..16
    EXPECT_EQ(fpga().ram(1, 296, 4), (std::vector<uint8_t>{0x76, 0x05, 0xD2, 0x01}));
    EXPECT_EQ(fpga().ram(1, 8, 8), (std::vector<uint8_t>{0, 0, 0, 0, 0x00, 0x05, 0x00, 0x02}));
    EXPECT_EQ(fpga().ram(1, 276, 2), (std::vector<uint8_t>{1, 2}));
    EXPECT_EQ(fpga().ram(1, 291, 1), (std::vector<uint8_t>{16}));
    EXPECT_EQ(fpga().reg(2) & 0x08, 0x08);
}

TEST_F(FpgaPowerUpTest, StoredParameterRecordIsLoadedIntoTheFpga)
{
    std::vector<uint8_t> rec(1025, 0);
    rec[0] = 0xAA;
    rec[1 + 296] = 0x11;
    rec[1 + 8 + 4] = 0x40;   // port 1 width 64
    rec[1 + 100] = 9;        // link area, cleared on load
    flash().preload(0x6C7000, rec);
    ASSERT_LT(powerUp(), 3000u);
    EXPECT_EQ(fpga().ram(1, 296, 1), std::vector<uint8_t>{0x11});
    EXPECT_EQ(fpga().ram(1, 12, 2), (std::vector<uint8_t>{0x40, 0x00}));
    EXPECT_EQ(m().ram_para_image[0][100], 0);
}

TEST_F(FpgaPowerUpTest, VersionOutOfRangeHoldsAtTheVersionCheck)
{
    for (uint8_t v : {uint8_t(24), uint8_t(49)}) {
        setKnobs([v](Knobs& k) { k.version31 = v; });
        runUntil([] { return false; }, 600);
        EXPECT_EQ(m().vbo_step[0], 1) << int(v);
        EXPECT_EQ(fpga().reg(3) & 0x40, 0) << "S1 never runs";
    }
    setKnobs([](Knobs& k) { k.version31 = 25; });
    EXPECT_LT(powerUp(), 3000u);
}

TEST_F(FpgaPowerUpTest, V_by_OneErrorsResetTwiceThenCarryOn)
{
    setKnobs([](Knobs& k) { k.vboErrorReads = 15; });
    ASSERT_LT(powerUp(), 5000u);
    EXPECT_EQ(fpga().resets(), 3) << "release plus two S2 resets";
}

TEST_F(FpgaPowerUpTest, UnlockedLinkGoesOnAfterEightFailures)
{
    setKnobs([](Knobs& k) { k.lockAfterReads = 1000; });
    runUntil([this] { return m().vbo_step[0] == 6; }, 2000);
    EXPECT_EQ(m().vbo_errors[0], 8);
    EXPECT_LT(powerUp(), 3000u);
}

TEST_F(FpgaPowerUpTest, RamEchoMismatchResetsOnceAndRestarts)
{
    setKnobs([](Knobs& k) { k.corruptEchoReads = 1; });
    ASSERT_LT(powerUp(), 3000u);
    EXPECT_EQ(fpga().resets(), 2);
    EXPECT_EQ(count(vboSteps, 7), 2);
}

TEST_F(FpgaPowerUpTest, NoVideoResetsAfterTwentyRetries)
{
    setKnobs([](Knobs& k) { k.videoPresent = false; });
    runUntil([this] { return m().vbo_step[0] == 17; }, 3000);
    const uint32_t first = G_timeTicks;
    EXPECT_EQ(m().check_retries[0], 20);
    EXPECT_TRUE(m().reset_pending[0]);
    runUntil([this] { return m().vbo_step[0] != 17; }, 100);
    const uint32_t released = G_timeTicks;
    EXPECT_GE(released - first, 51u);
    runUntil([this] { return m().vbo_step[0] == 17; }, 3000);
    EXPECT_EQ(fpga().resets(), 2) << "one reset per round, forever";
    setKnobs([](Knobs& k) { k.videoPresent = true; });
    EXPECT_LT(powerUp(), 3000u);
}

TEST_F(FpgaPowerUpTest, MeasuredSizeOutsideTheWindowHoldsAtStepSeven)
{
    const std::function<void(Knobs&)> bad[] = {
        [](Knobs& k) { k.width = 959; },
        [](Knobs& k) { k.height = 539; },
        [](Knobs& k) { k.count = 714285; },
        [](Knobs& k) { k.count = 1000000; },
    };
    for (const auto& change : bad) {
        setKnobs([](Knobs& k) { k = Knobs{}; });
        setKnobs(change);
        fpga_manage& f = m();
        f.reset_fpga_rst(0);
        runUntil([&f] { return !f.reset_pending[0]; }, 100);
        runUntil([&f] { return f.status_step[0] == 7; }, 3000);
        runUntil([] { return false; }, 200);
        EXPECT_EQ(f.status_step[0], 7);
    }
    setKnobs([](Knobs& k) { k = Knobs{}; k.width = 960; k.height = 540; k.count = 714286; });
    runUntil([this] { return m().status_step[0] == 1; }, 100);
    EXPECT_EQ(m().status_step[0], 1);
}

TEST_F(FpgaPowerUpTest, StuckHandshakeBitLoopsBetweenNineAndTen)
{
    setKnobs([](Knobs& k) { k.reg23Bit1Stuck = true; });
    runUntil([this] { return m().status_step[0] == 9; }, 3000);
    runUntil([] { return false; }, 100);
    EXPECT_TRUE(m().status_step[0] == 9 || m().status_step[0] == 10);
    setKnobs([](Knobs& k) { k.reg23Bit1Stuck = false; });
    EXPECT_LT(powerUp(), 3000u);
}

TEST_F(FpgaPowerUpTest, ResetIsReleasedFiftyOneTicksLater)
{
    ASSERT_LT(powerUp(), 3000u);
    m().reset_fpga_rst(0);
    EXPECT_TRUE(fpga().inReset());
    advance(50);
    pass();
    EXPECT_TRUE(fpga().inReset());
    advance(1);
    pass();
    EXPECT_FALSE(fpga().inReset());
    EXPECT_EQ(m().vbo_step[0], 0);
    EXPECT_EQ(m().reg_image(80), 0);
}

TEST_F(FpgaPowerUpTest, LedSizeChangeBlanksThenWaitsForTheScaler)
{
    ASSERT_LT(powerUp(), 3000u);
    reasons.clear();
    g_set_led_para = 1;
    const uint32_t start = G_timeTicks;
    int passes = 0;
    while (g_set_led_para == 1 && passes < 500)
        pass(), advance(1), ++passes;
    EXPECT_EQ(g_set_led_para, 0);
    EXPECT_GE(G_timeTicks - start, 42u);
    EXPECT_EQ(fpga().reg(0) & 0x04, 0x04) << "screen off";
    EXPECT_EQ(fpga().reg(3) & 0x20, 0) << "output blanked";
    EXPECT_TRUE(reasons.empty()) << "the switch is not announced during a size change";
    EXPECT_EQ(store().blockU16(RamLayout::kLedScreenSwitch), 0);

    g_set_led_para = 2;
    pass();
    EXPECT_EQ(g_set_led_para, 0);
    EXPECT_TRUE(fpga().inReset());
    runUntil([this] { return !fpga().inReset(); }, 100);
    EXPECT_FALSE(lit());
    EXPECT_LT(powerUp(), 3000u);
    EXPECT_TRUE(fpga().lit());
}

TEST_F(FpgaPowerUpTest, LedSizeChangeTakesThreePassesHoweverLateTheyCome)
{
    ASSERT_LT(powerUp(), 3000u);
    g_set_led_para = 1;
    int passes = 0;
    while (g_set_led_para == 1 && passes < 10)
        pass(), advance(100), ++passes;
    EXPECT_EQ(passes, 3);
    EXPECT_EQ(g_set_led_setup, 0);
}

// Each status step waits its own ticks, counted from the stamp of the step
// that set it: "after n" is more than n ticks, steps 9 and 3 take the next
// pass, steps 10 and 3 leave the stamp of step 9 to step 14, and the
// lighting step waits at least 21 ticks.
TEST_F(FpgaPowerUpTest, StatusStepsTakeTheirExactTicks)
{
    g_source_online = 2;
    std::map<int, uint32_t> entered;
    runUntil(
        [&] {
            entered.emplace(m().status_step[0], G_timeTicks);
            return lit();
        },
        3000);
    ASSERT_TRUE(lit());
    const struct {
        int from, to;
        uint32_t ticks;
    } steps[] = {{7, 1, 11}, {1, 8, 31}, {8, 2, 6},  {2, 9, 11},  {9, 10, 1},
                 {10, 3, 6}, {3, 14, 1}, {14, 15, 4}, {15, 16, 31}, {16, 18, 21}};
    for (const auto& s : steps)
        EXPECT_EQ(entered.at(s.to) - entered.at(s.from), s.ticks) << s.from << " -> " << s.to;
}

// The hand-over blanks the screen at once, the output 11 ticks later and
// gives the size to the scaler 31 ticks after that.
TEST_F(FpgaPowerUpTest, LedSizeHandOverWaitsElevenThenThirtyOneTicks)
{
    ASSERT_LT(powerUp(), 3000u);
    g_set_led_para = 1;
    const uint32_t start = G_timeTicks;
    std::vector<std::pair<uint32_t, int>> changes; // (ticks since start, setup step or -1 handed over)
    int seen = 0;
    while (g_set_led_para == 1 && G_timeTicks - start < 100) {
        pass();
        const int now = g_set_led_para == 1 ? int(g_set_led_setup) : -1;
        if (now != seen)
            changes.emplace_back(G_timeTicks - start, seen = now);
        advance(1);
    }
    EXPECT_EQ(changes, (std::vector<std::pair<uint32_t, int>>{{0, 1}, {11, 2}, {42, -1}}));
}

// The scaler stores 2 once it has programmed the new size, which may come
// before the FPGA side ends its blanking (the scaler's wait is bounded):
// after the screen-off pass, after the blanking pass, or while the pass that
// ends the blanking, having read the 1, waits for the LED mutex. The end of
// blanking answers only a 1: the 2 stays, and FPGA 0 is reset for the size.
TEST_F(FpgaPowerUpTest, ScalerTwoDuringTheScreenOffSequenceIsNotLost)
{
    ASSERT_LT(powerUp(), 3000u);
    const struct {
        int blankingPasses;   // passes of the sequence before the 2
        bool inLastPass;
    } cases[] = {{2, true}, {1, false}, {2, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.blankingPasses) + (c.inLastPass ? " and in the last" : ""));
        runUntil([this] { return !fpga().inReset(); }, 100);
        g_set_led_para = 1;
        g_set_led_setup = 0;
        for (int p = 0; p < c.blankingPasses; ++p)
            pass(), advance(31);
        if (c.inLastPass)
            storeTwoWhileTheLastPassWaits();
        else
            g_set_led_para = 2;
        pass();
        EXPECT_EQ(g_set_led_para, 0);
        EXPECT_EQ(g_set_led_setup, 0);
        EXPECT_TRUE(fpga().inReset());
    }
}

TEST_F(FpgaPowerUpTest, RequestsWaitForTheRunningFpgaAndAreThenServed)
{
    store().setBlockU16(RamLayout::kLedScreenSwitch, 1);
    m().fpga_output_req = 1;
    m().fpga_bri_req = 1;
    runUntil([] { return false; }, 200);
    EXPECT_EQ(m().fpga_output_req, 1);
    EXPECT_EQ(m().fpga_bri_req, 1);
    ASSERT_LT(powerUp(), 3000u);
    pass();
    EXPECT_EQ(m().fpga_output_req, 0);
    EXPECT_EQ(m().fpga_bri_req, 0);
    EXPECT_EQ(fpga().reg(0) & 0x04, 0x04) << "switch asked the screen off";
}

TEST_F(FpgaPowerUpTest, LinkChangesAreAnnouncedOncePerMaskWhileLit)
{
    fpga().setReg(128, 0x01);
    m().check_wlanonline_state();
    EXPECT_TRUE(reasons.empty()) << "not while down";
    ASSERT_LT(powerUp(), 3000u);
    reasons.clear();
    m().check_wlanonline_state();
    m().check_wlanonline_state();
    fpga().setReg(144, 0x02);
    m().check_wlanonline_state();
    // The idle pass announced port 0's link when the screen lit.
    EXPECT_EQ(reasons, (std::vector<int>{SYNC_WLAN_STATE}));
    EXPECT_EQ(m().get_wlan_state(), 0x0201u);
}

// Used lines (clear bits) of a mask of `total` lines, in line order.
std::vector<uint32_t> usedLines(const std::vector<uint8_t>& mask, uint32_t total)
{
    std::vector<uint32_t> used;
    for (uint32_t i = 0; i < total; ++i)
        if (!(mask[i / 8] & (1u << (i % 8))))
            used.push_back(i);
    return used;
}

TEST(RowColumnMask, SpreadsTheUsedLinesEvenly)
{
    const struct {
        uint32_t n, total;
    } cases[] = {{0, 16}, {16, 16}, {40, 16}, {15, 16}, {3, 8}, {5, 24}, {1080, 768}, {384, 768}, {1000, 1024}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.n) + " of " + std::to_string(c.total));
        std::vector<uint8_t> mask((c.total + 7) / 8, 0x3C);
        fpga_manage::row_col_calcul_ram(c.n, c.total, mask.data());
        if (c.n == 0 || c.n >= c.total) {
            EXPECT_EQ(mask, std::vector<uint8_t>(mask.size(), 0xFF));
            continue;
        }
        std::vector<uint32_t> used = usedLines(mask, c.total);
        ASSERT_EQ(used.size(), c.n);
        // Evenly: the steps between used lines, the one round the end
        // included, differ by at most one.
        used.push_back(used.front() + c.total);
        uint32_t shortest = c.total, longest = 0;
        for (size_t k = 1; k < used.size(); ++k) {
            shortest = std::min(shortest, used[k] - used[k - 1]);
            longest = std::max(longest, used[k] - used[k - 1]);
        }
        EXPECT_LE(longest - shortest, 1u);
    }
}

// The monitor steps 1 (off), 3 (probe), 4 (program), then on; the size and
// the masks reach the parameter RAM and RAM buffers 35 and 34.
TEST_F(FpgaPowerUpTest, MonitorIsProbedThenGetsItsSizeAndMasks)
{
    fpga().setReg(23, 0x10);
    m().monitor_state[0] = 1;
    m().check_monitor_change(0);
    EXPECT_EQ(fpga().reg(23) & 0x10, 0) << "monitor output off";
    EXPECT_EQ(m().monitor_state[0], 3u);
    m().check_monitor_change(0);
    EXPECT_EQ(m().monitor_state[0], 3u) << "no transmitter answers";
    std::vector<int> probed;
    MonitorProbe::setProbe([&](int monitor) { probed.push_back(monitor); return 1; });
    m().check_monitor_change(0);
    EXPECT_EQ(m().monitor_state[0], 4u);
    fpga().setRam(34, 0, std::vector<uint8_t>(512, 0xEE));
    fpga().setRam(35, 0, std::vector<uint8_t>(2048, 0xEE));
    m().check_monitor_change(0);
    MonitorProbe::setProbe({});
    EXPECT_EQ(probed, std::vector<int>{0});
    const std::vector<uint8_t> area{0, 0, 0, 0, 0x80, 0x07, 0x38, 0x04};   // 0, 0, 1920, 1080
    EXPECT_EQ(fpga().ram(1, 424, 8), area);
    EXPECT_TRUE(std::equal(area.begin(), area.end(), m().ram_para_image[0] + 424));
    EXPECT_EQ(fpga().reg(2) & 0x01, 0x01);
    EXPECT_EQ(fpga().reg(23) & 0x10, 0x10) << "monitor output on";
    // 1920 of 1024 columns and 1080 of 768 rows: whole bytes of 0xFF, the
    // rest of each RAM cleared.
    std::vector<uint8_t> columns(2000, 0), rows(512, 0);
    std::fill(columns.begin(), columns.begin() + 128, 0xFF);
    std::fill(rows.begin(), rows.begin() + 96, 0xFF);
    EXPECT_EQ(fpga().ram(35, 0, 2000), columns);
    EXPECT_EQ(fpga().ram(34, 0, 512), rows);

    // Half of each: the column mask does not show through the row RAM.
    m().set_fpga_row_col_ram(512, 384, 0);
    EXPECT_EQ(usedLines(fpga().ram(35, 0, 128), 1024).size(), 512u);
    EXPECT_EQ(usedLines(fpga().ram(34, 0, 96), 768).size(), 384u);
    EXPECT_EQ(fpga().ram(34, 96, 416), std::vector<uint8_t>(416, 0));
}

} // namespace
} // namespace kel::test
