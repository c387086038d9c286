#include "FpgaFixture.h"

#include "ledout/LedGlobals.h"
#include "ledout/fpga_manage.h"
#include "params/KelRamPara.h"
#include "params/RamLayout.h"
#include "params/SyncReason.h"
#include "params/global.h"
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimCardChain.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimFpga.h"
#include "platform/sim/SimFpgaBoard.h"
#include "platform/sim/SimNorFlash.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

namespace kel::test {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint32_t kBrightRecord = 0x6CE000;

class BrightnessTest : public FpgaFixture {
protected:
    void SetUp() override
    {
        FpgaFixture::SetUp();
        inputBoardReady();
        m().reg_images[0][fpga_manage::FPGA_REG_STATE] = fpga_manage::kStateRunning;
        link(true);
    }
    void link(bool on) { m().reg_images[0][fpga_manage::FPGA_REG_LINK] = on ? 0x01 : 0; }
    void percent(uint16_t v) { store().setBlockU16(RamLayout::kQualityBright, v); }
    uint16_t percent() { return store().blockU16(RamLayout::kQualityBright); }
    // The operator's brightness as the pass hands it over.
    void operatorApply()
    {
        m().fpga_bri_req = 1;
        m().Brightness_hand_dealwith(1);
        m().fpga_bri_req = 0;
    }
    void reapply() { m().Brightness_hand_dealwith(1); }
    void storeRecord(uint8_t mode, const Bytes& levels)
    {
        Bytes r{0xAA, 3, 0xAA, 0, 0, 0, 49, 0, mode};
        r.insert(r.end(), levels.begin(), levels.end());
        r.resize(57, levels.empty() ? 0 : levels.back());
        flash().preload(kBrightRecord, Bytes(57, 0xFF));
        flash().preload(kBrightRecord, r);
        m().record_bright_change();
        g_change.bright_task_stamp = G_timeTicks.load();
    }
    // One scheduler run at the given time of day.
    void runAt(int hour, int minute, uint32_t ticks = 1000)
    {
        board().clock().set(QDateTime(QDate(2024, 1, 5), QTime(hour, minute, 10)));
        advance(ticks);
        m().Extension_function();
    }
};

TEST_F(BrightnessTest, ConversionsToTheRegister)
{
    struct Case {
        const char* name;
        bool request;
        uint8_t mode;
        uint16_t percent;
        uint8_t image64;
        uint8_t level;
    };
    const Case cases[] = {
        {"percent 0, 17 steps: at least 15", true, 0, 0, 0, 15},
        {"percent 0, full range", true, 16, 0, 0, 0},
        {"percent 50", true, 16, 50, 0, 127},
        {"percent 100", true, 0, 100, 0, 255},
        {"percent 150 clamps to 100", true, 16, 150, 0, 255},
        {"percent 101 clamps to 100", true, 0, 101, 0, 255},
        {"step 16", false, 0, 100, 16, 255},
        {"step 1", false, 0, 6, 1, 15},
        {"step 0", false, 0, 100, 0, 255},
        {"step 17 stays full", false, 1, 100, 17, 255},
        {"full range level", false, 16, 49, 127, 127},
        {"auto level", false, 2, 78, 200, 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m().bright_mode = c.mode;
        percent(c.percent);
        m().reg_images[0][fpga_manage::FPGA_REG_BRIGHT] = c.image64;
        fpga().setReg(3, 0);
        if (c.request)
            operatorApply();
        else
            reapply();
        EXPECT_EQ(fpga().reg(6), c.level);
        EXPECT_EQ(fpga().reg(3) & 0x04, 0x04);
        if (c.request) {
            EXPECT_EQ(m().reg_image(fpga_manage::FPGA_REG_BRIGHT), c.level);
        }
    }
}

TEST_F(BrightnessTest, OperatorLevelIsStoredAsTheHandRecord)
{
    percent(50);
    operatorApply();
    Bytes expected{0xAA, 0x03, 0xAA, 0x00, 0x00, 0x00, 0x31, 0x00, 0x10};
    expected.resize(57, 0x7F);
    EXPECT_EQ(flash().read(kBrightRecord, 58), [&] { Bytes e = expected; e.push_back(0xFF); return e; }());

    // Without a link nothing reaches the FPGA, but the new level (20 % of
    // 255 = 51) is stored.
    link(false);
    fpga().setReg(6, 0);
    percent(20);
    operatorApply();
    EXPECT_EQ(fpga().reg(6), 0);
    expected.assign({0xAA, 0x03, 0xAA, 0x00, 0x00, 0x00, 0x31, 0x00, 0x10});
    expected.resize(57, 0x33);
    EXPECT_EQ(flash().read(kBrightRecord, 57), expected);
}

TEST_F(BrightnessTest, RepeatedApplicationsDoNotDrift)
{
    for (uint8_t mode : {uint8_t(0), uint8_t(16)}) {
        SCOPED_TRACE(int(mode));
        m().bright_mode = mode;
        percent(50);
        operatorApply();
        m().Extension_function();
        EXPECT_EQ(m().bright_mode, 16) << "the stored operator level is reloaded as a full-range hand level";
        reasons.clear();
        for (int i = 0; i < 10; ++i)
            reapply();
        EXPECT_EQ(percent(), 50);
        EXPECT_EQ(fpga().reg(6), 127);
        EXPECT_TRUE(reasons.empty());
    }
    // A level the percentage does not give is written back once.
    m().reg_images[0][fpga_manage::FPGA_REG_BRIGHT] = 200;
    reasons.clear();
    reapply();
    reapply();
    EXPECT_EQ(percent(), 78);
    EXPECT_EQ(reasons, std::vector<int>{SYNC_PARA});
}

TEST_F(BrightnessTest, HandRecordIsResentFiveTimesTenSecondsApart)
{
    storeRecord(16, {90});
    EXPECT_EQ(g_change.bright_sched_on, 1);
    int sends = 0;
    for (int i = 0; i < 8; ++i) {
        fpga().setReg(6, 0);
        runAt(10, 0, 999);
        EXPECT_EQ(fpga().reg(6), 0) << "not before 1000 ticks";
        runAt(10, 0, 1);
        sends += fpga().reg(6) == 90;
    }
    EXPECT_EQ(sends, 5);
    g_change.bright_force = 1;
    fpga().setReg(6, 0);
    runAt(10, 0);
    EXPECT_EQ(fpga().reg(6), 90) << "a forced run starts the count again";
}

TEST_F(BrightnessTest, TimedModePicksTheHalfHourSlot)
{
    Bytes levels;
    for (int k = 0; k < 48; ++k)
        levels.push_back(uint8_t(100 + k));
    storeRecord(17, levels);
    struct Case {
        int hour, minute;
        uint8_t level;
    };
    for (const Case& c : {Case{23, 59, 147}, Case{0, 0, 100}, Case{12, 29, 124}, Case{12, 30, 125}}) {
        runAt(c.hour, c.minute);
        EXPECT_EQ(fpga().reg(6), c.level) << c.hour << ":" << c.minute;
    }
    // A new slot's level goes out on its first run and on two runs more,
    // then is left alone.
    int runsWriting = 0;
    for (int i = 0; i < 6; ++i) {
        fpga().setReg(6, 0);
        runAt(8, 0);
        runsWriting += fpga().reg(6) == 116;
    }
    EXPECT_EQ(runsWriting, 3);
    for (uint32_t minutes : {1439u, 1440u, 1470u, 25u * 60u, 0xFFFFu})
        EXPECT_EQ(fpga_manage::half_hour_slot(minutes), 47) << minutes;

    // A time read wrong (hour 25) reads the last slot, nothing beyond.
    m().time_now.hour = 25;
    m().time_now.minute = 99;
    m().Brightness_time_change();
    EXPECT_EQ(fpga().reg(6), 147);
}

TEST_F(BrightnessTest, RecordsThatEnableNothing)
{
    storeRecord(5, {});
    EXPECT_EQ(g_change.bright_sched_on, 0);
    storeRecord(16, {80});
    EXPECT_EQ(g_change.bright_sched_on, 1);
    flash().preload(kBrightRecord, Bytes(57, 0xFF));
    m().record_bright_change();
    EXPECT_EQ(g_change.bright_sched_on, 0);
    EXPECT_EQ(g_change.bright_level, 16);
}

// The command RAM reaches the scheduler from a link thread while the
// manager thread runs it: one lock, no deadlock, no lost level.
TEST_F(BrightnessTest, HandLevelFromALinkThreadWhileTheSchedulerRuns)
{
    percent(100);
    storeRecord(0, {16});
    std::thread link([this] {
        for (int i = 0; i < 200; ++i) {
            hostCommand(3, 0, 49, {0, 16});
            runHostCommand();
            hostCommand(1, 0, 7, {0x24, 0x20, 0x01, 0x05, 0x09, 0x07, 0x03});
            runHostCommand();
        }
    });
    for (int i = 0; i < 200; ++i) {
        advance(1000);
        m().Extension_function();
        m().run_clock_record();
    }
    link.join();
    EXPECT_EQ(fpga().reg(6), 255);
    EXPECT_EQ(percent(), 100);
}

// Announcements and timed screen switches re-enter the parameter store:
// they are made with the scheduler's lock free (another thread can take it).
TEST_F(BrightnessTest, AnnouncementsAreMadeWithTheSchedulerLockFree)
{
    std::vector<bool> lockFree;
    QObject context;
    QObject::connect(&store(), &KelRamPara::sig_update_para, &context, [&](int) {
        bool taken = false;
        std::thread other([&] {
            taken = m().sched_mutex.try_lock();
            if (taken)
                m().sched_mutex.unlock();
        });
        other.join();
        lockFree.push_back(taken);
    });
    percent(50);
    storeRecord(16, {200});
    runAt(10, 0);   // the hand re-send writes 78 % back
    EXPECT_EQ(percent(), 78);
    hostCommand(3, 0, 49, {0, 100});   // a hand level from the host, written back too
    runHostCommand();
    EXPECT_EQ(percent(), 39);
    hostCommand(2, 0, 42, {1, 0x10, 0x00, 0x10, 0x00});   // on and off at 10:00
    runHostCommand();
    m().reg_images[0][fpga_manage::FPGA_REG_ONOFF] = 1;
    runAt(10, 0);
    EXPECT_EQ(lockFree, std::vector<bool>(4, true));
}

TEST_F(BrightnessTest, SensorRequestFrame)
{
    uint8_t frame[19];
    fpga_manage::vmf_read_frame(0x4000, frame);
    EXPECT_EQ(Bytes(frame, frame + 19),
              (Bytes{0x00, 0x40, 0x00, 0xF0, 0x10, 0xBB, 0x03, 0x00, 0x00, 0x61, 0x00, 0x00, 0x00, 0x02, 0x80, 0x00,
                     0x00, 0x00, 0xFB}));
}

TEST_F(BrightnessTest, AutoModeWithoutSensorAnswersGoesFull)
{
    m().ram_para_image[0][562] = 1;   // cards on port 5
    storeRecord(2, {});
    g_change.bright_level = 40;
    for (int i = 0; i < 9; ++i)
        runAt(10, 0, 200);
    EXPECT_EQ(g_change.vmf_card_addr, 0x4000);
    EXPECT_EQ(g_change.vmf_group, 2);
    EXPECT_EQ(g_change.vmf_miss_count, 9);
    EXPECT_EQ(g_change.bright_level, 40);
    runAt(10, 0, 200);
    EXPECT_EQ(g_change.bright_level, 255);
    EXPECT_EQ(fpga().reg(6), 255);
}

// The light sensor on the first card of port 5 (group 2, first port),
// read from the simulated card chain: target level 128 by default.
class SensorTest : public BrightnessTest {
protected:
    using Knobs = platform::sim::SimCardChain::Knobs;
    void SetUp() override
    {
        BrightnessTest::SetUp();
        sensorCards([](Knobs&) {});
        m().ram_para_image[0][fpga_manage::port_status_addr(kPort)] = 1;
        storeRecord(2, {});
        g_change.bright_level = 120;
    }
    void sensorCards(const std::function<void(Knobs&)>& knobs)
    {
        Knobs k;
        k.cards = 2;
        knobs(k);
        chain().setKnobs(k);
    }
    platform::sim::SimCardChain& chain() { return platform::sim::SimFpgaBoard::current()->chain(kPort); }
    int reads() { return chain().card(0).sensorReads; }
    uint8_t badAnswers() { return m().reg_image(fpga_manage::FPGA_REG_BAD_ANSWERS); }
    static constexpr int kPort = 4;
};

TEST_F(SensorTest, AutoModeFollowsTheSensorOneStepPerPeriod)
{
    runAt(10, 0, 199);
    EXPECT_EQ(reads(), 0) << "not before 200 ticks";
    for (int step = 1; step <= 10; ++step) {
        runAt(10, 0, 200);
        const int expected = std::min(120 + step, 128);
        EXPECT_EQ(reads(), step);
        EXPECT_EQ(g_change.bright_level, expected) << step;
        EXPECT_EQ(fpga().reg(6), expected) << step;
    }
    EXPECT_EQ(g_change.vmf_miss_count, 0);
    EXPECT_EQ(badAnswers(), 0);
}

TEST_F(SensorTest, BadAnswersLeaveTheLevelAndMissingOnesEndAtFull)
{
    struct Case {
        const char* name;
        std::function<void(Knobs&)> knobs;
        uint8_t badAnswers;
    };
    const Case cases[] = {
        {"status not 0", [](Knobs& k) { k.status = 1; }, 1},
        {"bad check byte", [](Knobs& k) { k.badCheck = true; }, 1},
        {"answer cut short", [](Knobs& k) { k.truncate = 60; }, 1},
        {"no answer", [](Knobs& k) { k.drop = true; }, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sensorCards(c.knobs);
        m().reg_images[0][fpga_manage::FPGA_REG_BAD_ANSWERS] = 0;
        g_change.vmf_miss_count = 0;
        g_change.bright_level = 120;
        for (int i = 0; i < 9; ++i)
            runAt(10, 0, 200);
        EXPECT_EQ(g_change.bright_level, 120);
        EXPECT_EQ(badAnswers(), 9 * c.badAnswers);
        runAt(10, 0, 200);
        EXPECT_EQ(g_change.bright_level, 255) << "ten reads without a good answer";
        EXPECT_EQ(fpga().reg(6), 255);
    }
}

// The power-save write to the sensor card: two bits per port in its
// register 2 (ports 1..4) or 3 (ports 5..8), 1 on and 3 off.
TEST_F(SensorTest, PowerSaveRegisterWriteAndItsAnswer)
{
    m().Brightness_check_VMF();
    m().send_port_current = kPort;
    m().send_fpga_current = 0;
    struct Case {
        bool on;
        uint8_t port, reg, value;
    };
    for (const Case& c : {Case{true, 2, 2, 0x04}, Case{false, 6, 3, 0x0C}, Case{true, 8, 3, 0x4C}}) {
        m().Send_write_VMF_reg_cmd(c.on, c.port);
        EXPECT_EQ(m().wait_VMF_result(), 1) << int(c.port);
        EXPECT_EQ(chain().card(0).regs[c.reg], c.value) << int(c.port);
    }
    const auto before = chain().received().size();
    m().Send_write_VMF_reg_cmd(true, 9);
    EXPECT_EQ(chain().received().size(), before) << "no such port: nothing sent";
    sensorCards([](Knobs& k) { k.status = 3; });
    m().Send_write_VMF_reg_cmd(true, 1);
    EXPECT_EQ(m().wait_VMF_result(), 2) << "refused";
    sensorCards([](Knobs& k) { k.drop = true; });
    m().Send_write_VMF_reg_cmd(true, 1);
    EXPECT_EQ(m().wait_VMF_result(), 0) << "no answer";
}

// The power-saving controller on a lit FPGA 0 whose window 0 shows input
// 2. One pass per tick; every frame reaching the sensor card's port is
// kept with the tick it went out on.
class PowerSavingTest : public SensorTest {
protected:
    using Sent = std::pair<uint32_t, Bytes>;   // tick, frame
    void SetUp() override
    {
        SensorTest::SetUp();
        m().vbo_step[0] = 7;
        m().status_step[0] = 18;
        ASSERT_EQ(m().get_fpga_status(), 1u);
        for (int w = 1; w < RamLayout::kWindows; ++w)
            store().setBlockU16(RamLayout::imageRecord(w) + RamLayout::kImgEnable, 0);
        store().setBlockU16(RamLayout::imageRecord(0) + RamLayout::kImgSelector, 2);
        m().Power_ctrl_init();
    }
    void flag(uint8_t value)
    {
        sensorCards([value](Knobs& k) { k.powerFlag = value; });
    }
    void run(uint32_t ticks)
    {
        for (uint32_t t = 0; t < ticks; ++t) {
            advance(1);
            m().Power_ctrl_deal();
            for (const Bytes& f : chain().received())
                sent.push_back({G_timeTicks.load(), f});
            chain().clearReceived();
        }
    }
    std::vector<Sent> frames(uint8_t cmd) const
    {
        std::vector<Sent> out;
        for (const Sent& s : sent)
            if (s.second.size() > 9 && s.second[9] == cmd)
                out.push_back(s);
        return out;
    }
    std::vector<Sent> sent;
    const Bytes kRam0Read{0xFE, 0x0F, 0x00, 0xF0, 0x10, 0xBB, 3, 0, 0, 0x61, 0, 0, 0, 0, 0x00, 0x01, 0, 0, 0xC9};
};

TEST_F(PowerSavingTest, FlagStopsTheCardOutputsAndAPictureStartsThemAgain)
{
    flag(1);
    // Every write's answer comes late: the sequence waits for it before the
    // next write and the next read.
    sensorCards([](Knobs& k) {
        k.powerFlag = 1;
        k.delayPolls = 3;
    });
    const uint32_t start = G_timeTicks;
    run(2000);
    const auto reads = frames(0x61);
    ASSERT_EQ(reads.size(), 1u) << "one read every 1000 ticks";
    EXPECT_EQ(reads[0].first - start, 1001u) << "the first pass only starts the timing";
    EXPECT_EQ(reads[0].second, kRam0Read);
    EXPECT_EQ(m().reg_image(fpga_manage::FPGA_REG_POWER), 1);
    EXPECT_TRUE(frames(0xA0).empty()) << "not before 1000 ticks after the flag read 1";

    run(600);
    EXPECT_EQ(frames(0x61).size(), 2u);
    auto writes = frames(0xA0);
    ASSERT_EQ(writes.size(), 8u);
    EXPECT_EQ(writes[0].first - reads[0].first, 1001u);
    for (size_t i = 1; i < writes.size(); ++i)
        EXPECT_GE(writes[i].first - writes[i - 1].first, 51u) << i;
    EXPECT_EQ(m().output_stopped, 1);
    // Two bits per port: 1 in card registers 2 (ports 1-4) and 3 (5-8).
    EXPECT_EQ(chain().card(0).regs[2], 0x55);
    EXPECT_EQ(chain().card(0).regs[3], 0x55);

    sent.clear();
    run(1000);
    EXPECT_TRUE(frames(0xA0).empty()) << "stopped until asked to start";
    EXPECT_EQ(frames(0x61).size(), 1u) << "the flag is still read";
    EXPECT_EQ(fpga().queuedAnswers(kPort / 2), 0u) << "every answer taken";
    EXPECT_EQ(badAnswers(), 0) << "no write's answer taken for a read";

    // A start asked for directly runs the eight writes; the flag, still 1,
    // must then read 1 anew and 1000 ticks pass before the next stop.
    m().output_start_req = 1;
    run(600);
    ASSERT_EQ(m().output_stopped, 0);
    sent.clear();
    run(1000);
    EXPECT_TRUE(frames(0xA0).empty()) << "no stop right after the start";

    // A picture starts them again: input 2 showing 1920 x 1080 at 60 Hz
    // (looked at every 100 ticks), or window 3 turned on (every pass, the
    // first write 51 ticks after the stop's last). An input without a
    // refresh rate shows none. Without a picture they stop again.
    const auto input = [this](uint16_t w, uint16_t h, uint16_t hz) {
        return [this, w, h, hz](bool on) {
            const size_t at = RamLayout::srcVideoInfo(2);
            store().setBlockU16(at, on ? w : 0);
            store().setBlockU16(at + 2, on ? h : 0);
            store().setBlockU16(at + 4, on ? hz : 0);
        };
    };
    const struct {
        const char* name;
        std::function<void(bool)> picture;
        uint32_t soonest, latest;   // ticks to the first write; 0: none
    } pictures[] = {
        {"input 2 shows 1920 x 1080 at 60 Hz", input(1920, 1080, 60), 90, 101},
        {"window 3 on", [this](bool on) { store().setBlockU16(RamLayout::imageRecord(3) + RamLayout::kImgEnable, on); }, 1, 51},
        {"input 2 shows 1920 x 1080 at 0 Hz", input(1920, 1080, 0), 0, 0},
    };
    for (const auto& p : pictures) {
        SCOPED_TRACE(p.name);
        for (int t = 0; t < 2500 && !m().output_stopped; ++t)
            run(1);
        ASSERT_EQ(m().output_stopped, 1) << "stopped again";
        run(1);   // the first pass after the stop looks at the input
        sent.clear();
        const uint32_t on = G_timeTicks;
        p.picture(true);
        run(600);
        writes = frames(0xA0);
        if (!p.latest) {
            EXPECT_TRUE(writes.empty());
            EXPECT_EQ(m().output_stopped, 1);
            p.picture(false);
            continue;
        }
        ASSERT_EQ(writes.size(), 8u);
        EXPECT_GE(writes[0].first - on, p.soonest);
        EXPECT_LE(writes[0].first - on, p.latest);
        EXPECT_EQ(m().output_stopped, 0);
        EXPECT_EQ(chain().card(0).regs[2], 0xFF);
        EXPECT_EQ(chain().card(0).regs[3], 0xFF);
        p.picture(false);
    }
    EXPECT_EQ(badAnswers(), 0);
}

// Nothing stops the outputs while the flag is not 1, its answer is not
// whole, another window is on or the FPGAs do not show a picture.
TEST_F(PowerSavingTest, OutputsRunOnWithoutTheFlagOrWhileAnotherWindowIsOn)
{
    const auto window = [this](int w) {
        return [this, w](bool on) { store().setBlockU16(RamLayout::imageRecord(w) + RamLayout::kImgEnable, on); };
    };
    const auto knob = [this](const std::function<void(Knobs&)>& more) {
        return [this, more](bool on) {
            sensorCards([on, more](Knobs& k) {
                k.powerFlag = 1;
                if (on)
                    more(k);
            });
        };
    };
    // An answer cut after its first data byte, which a flag of this value
    // makes a right check byte.
    const Bytes whole = chain().receive(kRam0Read).at(0).bytes;
    chain().clearReceived();
    uint8_t checkFlag = 0;
    for (size_t i = 0; i < 11; ++i)
        checkFlag ^= whole.at(i);
    const struct {
        const char* name;
        uint8_t flag;
        std::function<void(bool)> condition;
        size_t reads;
        uint8_t badAnswers;   // per read
    } cases[] = {
        {"flag 0", 0, nullptr, 3, 0},
        {"flag 2", 2, nullptr, 3, 0},
        {"window 1 on", 1, window(1), 0, 0},
        {"window 3 on", 1, window(3), 0, 0},
        {"window 5 on", 1, window(5), 0, 0},
        {"answer status 1", 1, knob([](Knobs& k) { k.status = 1; }), 3, 1},
        {"answer with a bad check byte", 1, knob([](Knobs& k) { k.badCheck = true; }), 3, 1},
        {"answer cut short", 1, knob([](Knobs& k) { k.truncate = 200; }), 3, 1},
        {"answer cut short with a right check byte", 1, knob([checkFlag](Knobs& k) {
             k.powerFlag = checkFlag;
             k.truncate = 12;
         }), 3, 1},
        {"FPGA 0 not lit", 1, [this](bool on) { m().status_step[0] = on ? 0 : 18; }, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        flag(c.flag);
        if (c.condition)
            c.condition(true);
        m().reg_images[0][fpga_manage::FPGA_REG_POWER] = 0;
        m().reg_images[0][fpga_manage::FPGA_REG_BAD_ANSWERS] = 0;
        m().Power_ctrl_init();
        sent.clear();
        run(3100);
        EXPECT_EQ(frames(0x61).size(), c.reads);
        EXPECT_EQ(m().reg_image(fpga_manage::FPGA_REG_POWER), c.reads && !c.badAnswers ? c.flag : 0);
        EXPECT_EQ(badAnswers(), c.reads * c.badAnswers);
        EXPECT_TRUE(frames(0xA0).empty());
        EXPECT_EQ(m().output_stopped, 0);
        if (c.condition)
            c.condition(false);
    }

    // A long answer to another command for the controller waits ahead of
    // the flag's (a register frame sent out of the port): it is counted
    // as bad and the flag's own answer is taken.
    Bytes other{0xFF, 0x0F, 0x00, 0xF0, 0x10, 0xBB, 3, 0, 0, 0xA0, 0};
    other.resize(11 + 300, 0x5A);
    uint8_t x = 0;
    for (uint8_t b : other)
        x ^= b;
    other.push_back(x);
    flag(1);
    m().reg_images[0][fpga_manage::FPGA_REG_POWER] = 0;
    m().reg_images[0][fpga_manage::FPGA_REG_BAD_ANSWERS] = 0;
    m().Power_ctrl_init();
    m().Send_to_port(other.data(), uint16_t(other.size()), kPort, 0);
    run(1100);
    EXPECT_EQ(frames(0x61).size(), 1u);
    EXPECT_EQ(m().reg_image(fpga_manage::FPGA_REG_POWER), 1);
    EXPECT_EQ(badAnswers(), 1);
}

} // namespace
} // namespace kel::test
