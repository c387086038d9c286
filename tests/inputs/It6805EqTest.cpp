#include "inputs/InputBoardFixture.h"

#include "inputs/ite6805_eq.h"
#include "inputs/ite6805_sys.h"
#include "platform/sim/SimInputBoard.h"
#include "platform/sim/SimIt6805.h"
#include "platform/sim/SimIt6805Eq.h"
#include "platform/sim/SimVideoSource.h"

#include <array>

using kel::platform::sim::SimIt6805;

namespace kel::test {
namespace {

using Source = platform::sim::SimVideoSource;
using EQ = ite6805_eq;
constexpr int kNone = platform::sim::SimIt6805Eq::kNotMeasured;

Source::Output vic(const char* text)
{
    Source::Output s;
    Source::parse(text, &s);
    s.audio = {48000, 2};
    return s;
}

// Input 4's equaliser on the simulated board.
class It6805Eq : public InputBoardFixture {
protected:
    void SetUp() override
    {
        InputBoardFixture::SetUp();
        ASSERT_TRUE(runUntilState(tarvosource::kSteady));
    }
    SimIt6805& chip() { return sim().it6805(0); }
    ite6805_eq& eq() { return src().ite6805->eq(); }
    const EQ::State& eqState() { return eq().state(0); }
    uint32_t stateeq() { return src().ite6805->dev(0).iTE6805_DATA.STATEEQ; }
    // Plugs a source and runs until the equaliser reaches state; the number
    // of passes it took, or -1.
    int tuneTo(const char* source, uint32_t state, int limit = 120)
    {
        sim().source(4).plug(vic(source));
        for (int i = 0; i < limit; ++i) {
            if (stateeq() == state)
                return i;
            run(1);
        }
        return -1;
    }
    std::array<uint8_t, 3> rsRegisters() { return {chip().reg(3, 0x27), chip().reg(3, 0x28), chip().reg(3, 0x29)}; }
    unsigned writesOf(int bank, uint8_t reg, uint8_t value)
    {
        unsigned n = 0;
        for (const auto& w : chip().writes())
            n += w.bank == bank && w.reg == reg && w.value == value;
        return n;
    }
};

struct CleanCase {
    const char* name;
    const char* source;
    uint8_t hdmi1x, hdmi20;
    unsigned autoTriggers, sarTriggers;
};

class It6805EqClean : public It6805Eq, public ::testing::WithParamInterface<CleanCase> {};

// HDMI 1.x tunes by the automatic equaliser; a clean HDMI 2.0 link passes
// its first error check and never needs the successive approximation.
TEST_P(It6805EqClean, CleanLinkReachesDone)
{
    const CleanCase& c = GetParam();
    ASSERT_GE(tuneTo(c.source, EQ::STATEEQ_EQDone), 0);
    EXPECT_EQ(eqState().eq_path_hdmi1x, c.hdmi1x);
    EXPECT_EQ(eqState().eq_path_hdmi20, c.hdmi20);
    EXPECT_GE(writesOf(3, 0x22, 0x3C), c.autoTriggers);
    EXPECT_EQ(writesOf(3, 0x22, 0x04), c.sarTriggers);
    EXPECT_EQ((std::array<uint8_t, 3>{eqState().eq_rs[0], eqState().eq_rs[1], eqState().eq_rs[2]}),
              (std::array<uint8_t, 3>{0x1F, 0x1F, 0x1F}));
    // Tuned: one measurement every 33 passes (period 32 after the reset).
    run(40);
    EXPECT_EQ(stateeq(), EQ::STATEEQ_EQDone);
    EXPECT_EQ(eqState().eq_check_period, 32);
    chip().clearWrites();
    run(66);
    EXPECT_EQ(writesOf(3, 0xE9, 0x80), 2u);
}

INSTANTIATE_TEST_SUITE_P(Paths, It6805EqClean,
                         ::testing::Values(CleanCase{"hdmi14_auto", "vic:16", 1, 0, 1, 0},
                                           CleanCase{"hdmi20_already_good", "vic:97", 0, 1, 0, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

// Once tuned, the periodic check of an HDMI 1.x link that now fails tunes
// again from the start; an HDMI 2.0 link only adds up its errors.
TEST_F(It6805Eq, PeriodicChecksWhileDone)
{
    ASSERT_GE(tuneTo("vic:16", EQ::STATEEQ_EQDone), 0);
    chip().clearWrites();
    for (int ch = 0; ch < 3; ++ch)
        chip().setBitErrors(ch, -1, 500);
    run(34);
    EXPECT_GE(writesOf(3, 0x22, 0x3C), 1u) << "the automatic equaliser again";

    sim().source(4).unplug();
    run(2);
    for (int ch = 0; ch < 3; ++ch)
        chip().setBitErrors(ch, -1, 0x10);
    ASSERT_GE(tuneTo("vic:97", EQ::STATEEQ_EQDone), 0);
    run(40);  // the first check after the video is set up
    EXPECT_EQ(stateeq(), EQ::STATEEQ_EQDone);
    EXPECT_GE(eqState().eq_err_total[1], 0x10u);
}

// HDMI 1.x: channel 0 passes at the automatic result, channels 1 and 2 at no
// table step (01 3F 07 0F). The sweep gives each the step with the smallest
// count, the earlier on a tie; 240 fails the first check but passes the
// re-check, which ends in done.
TEST_F(It6805Eq, ManualSweepPicksTheSmallestValidCountPerChannel)
{
    chip().setBitErrors(0, -1, 5);
    chip().setBitErrors(1, -1, 500);
    chip().setBitErrors(1, 0x3F, 240);
    chip().setBitErrors(1, 0x0F, 245);
    chip().setBitErrors(2, -1, 400);
    chip().setBitErrors(2, 0x07, 240);
    chip().setBitErrors(2, 0x0F, 240);
    ASSERT_GE(tuneTo("vic:16", EQ::STATEEQ_EQDone), 0);
    // Done reads the chip's result again; the settings stay in 0x27..0x29.
    EXPECT_EQ(rsRegisters(), (std::array<uint8_t, 3>{0x9F, 0xBF, 0x87}));
    EXPECT_EQ(eqState().eq_ch_ok_seen[0], 1);
    EXPECT_EQ(eqState().eq_sweep_index, 0);
    for (uint8_t trial : {0x81, 0xBF, 0x87, 0x8F})
        EXPECT_GE(writesOf(3, 0x28, trial), 1u) << "channel 1 tried " << int(trial);
    EXPECT_EQ(writesOf(3, 0x27, 0x81), 0u) << "channel 0 passed and is not swept";
}

// No valid count for a channel at any step: its setting becomes 0.
TEST_F(It6805Eq, ExhaustedSweepWithoutValidCountsGivesZero)
{
    chip().setBitErrors(0, -1, 5);
    chip().setBitErrors(1, -1, 5);
    chip().setBitErrors(2, -1, 400);
    for (uint8_t rs : {0x01, 0x3F, 0x07, 0x0F})
        chip().setBitErrors(2, rs, kNone);
    sim().source(4).plug(vic("vic:16"));
    for (int i = 0; i < 60 && writesOf(3, 0x29, 0x80) == 0; ++i)
        run(1);
    EXPECT_EQ(writesOf(3, 0x29, 0x80), 1u) << "setting 0 with bit 7 set";
    EXPECT_EQ(eqState().eq_rs[2], 0);
    EXPECT_EQ(eqState().eq_rs[1], 0x1F);
}

// HDMI 2.0, no setting good enough: the exhausted sweep (01 07 0F 3F) gives
// each channel its smallest count, the earlier step on a tie, and starts
// the RS/skew pass with those values (bit 7 inverted).
TEST_F(It6805Eq, ExhaustedHdmi20SweepStartsTheRsSkewPass)
{
    for (int ch = 0; ch < 3; ++ch)
        chip().setBitErrors(ch, -1, 500);
    chip().setBitErrors(0, 0x0F, 300);
    chip().setBitErrors(1, 0x01, 250);
    chip().setBitErrors(1, 0x3F, 250);
    chip().setBitErrors(2, 0x3F, 260);
    sim().source(4).plug(vic("vic:97"));
    std::array<uint8_t, 3> started{};
    bool seen = false;
    for (int i = 0; i < 120 && !seen; ++i) {
        run(1);
        std::array<uint8_t, 3> last{};
        for (const auto& w : chip().writes()) {
            if (w.bank == 3 && w.reg >= 0x27 && w.reg <= 0x29)
                last[w.reg - 0x27] = w.value;
            if (w.bank == 3 && w.reg == 0x30 && w.value == 0x94 && !seen) {
                started = last;
                seen = true;
            }
        }
    }
    ASSERT_TRUE(seen) << "RS/skew pass started";
    EXPECT_EQ(started, (std::array<uint8_t, 3>{0x8F, 0x81, 0xBF}));
}

struct SarCase {
    const char* name;
    bool invalid;
    std::array<uint8_t, 3> channel1Dfe;  // bank 3 0x4E..0x50 after the sweep
    unsigned measurements;               // error counts taken after it until done
};

class It6805EqSar : public It6805Eq, public ::testing::WithParamInterface<SarCase> {};

// HDMI 2.0 with errors at the chip's result: the successive approximation
// runs; the sweep (01 07 0F 3F) passes at 0x07. A valid result loads the
// DFE bytes measured for each tried value; an invalid one loads none.
// Either way the result step checks the errors: valid, before the sweep
// (result, 0x01, 0x07); invalid, after it (0x01, 0x07, then the setting
// the sweep left).
TEST_P(It6805EqSar, SweepAfterTheSuccessiveApproximation)
{
    chip().setSarResultInvalid(GetParam().invalid);
    // DFE values of index 8 (0x07): a 0x80, b 0x10, c 0x70, d 0x90.
    chip().setDfe(8, {0x80, 0x10, 0x70, 0x90});
    for (int ch = 0; ch < 3; ++ch) {
        chip().setBitErrors(ch, -1, 500);
        chip().setBitErrors(ch, 0x07, 3);
    }
    ASSERT_GE(tuneTo("vic:97", EQ::STATEEQ_EQDone), 0);
    EXPECT_GE(writesOf(3, 0x22, 0x04), 1u) << "successive approximation";
    EXPECT_EQ(eqState().eq_result_invalid, GetParam().invalid ? 1 : 0);
    EXPECT_EQ(rsRegisters(), (std::array<uint8_t, 3>{0x87, 0x87, 0x87}));
    EXPECT_EQ((std::array<uint8_t, 3>{chip().reg(3, 0x4E), chip().reg(3, 0x4F), chip().reg(3, 0x50)}),
              GetParam().channel1Dfe);
    EXPECT_EQ(chip().reg(3, 0x22) & 0x40, GetParam().invalid ? 0 : 0x40);
    unsigned afterSar = 0;
    for (const auto& w : chip().writes()) {
        if (w.bank == 3 && w.reg == 0x22 && w.value == 0x04)
            afterSar = 0;
        afterSar += w.bank == 3 && w.reg == 0xE9 && w.value == 0x80;
    }
    EXPECT_EQ(afterSar, GetParam().measurements);
}

INSTANTIATE_TEST_SUITE_P(Results, It6805EqSar,
                         ::testing::Values(SarCase{"valid", false, {0x7F, 0x38, 0x17}, 3},
                                           SarCase{"invalid", true, {0x00, 0x00, 0x00}, 3}),
                         [](const auto& info) { return std::string(info.param.name); });

// The chip never reports done: after 31 counted passes the sweep starts
// with the result marked invalid.
TEST_F(It6805Eq, MissingDoneFallsBackToTheSweepAfter31Passes)
{
    chip().setEqNoDone(true);
    sim().source(4).plug(vic("vic:16"));
    for (int i = 0; i < 20 && eqState().eq_wait_count != 1; ++i)
        run(1);
    ASSERT_EQ(eqState().eq_wait_count, 1) << "the first counted pass";
    int passes = 1;
    while (stateeq() == EQ::STATEEQ_WaitEQResult && passes < 100) {
        run(1);
        ++passes;
    }
    EXPECT_EQ(passes, 32);
    EXPECT_EQ(stateeq(), EQ::STATEEQ_EQDone) << "a clean link passes at the first step";
    EXPECT_EQ(eqState().eq_result_invalid, 1);
    EXPECT_EQ(rsRegisters()[0], 0x81);
}

// A measurement without any valid count changes the clock-ratio setting and
// turns the equaliser off.
TEST_F(It6805Eq, NothingMeasuredAdjustsTheRatioAndResets)
{
    for (int ch = 0; ch < 3; ++ch)
        chip().setBitErrors(ch, -1, kNone);
    sim().source(4).plug(vic("vic:16"));
    bool adjusted = false;
    for (int i = 0; i < 20 && !adjusted; ++i) {
        run(1);
        for (const auto& w : chip().writes())
            adjusted = adjusted || (w.bank == 3 && w.reg == 0xE5 && (w.value & 0x1C) == 0x1C);
    }
    EXPECT_TRUE(adjusted) << "HDMI 1.x, bit 4 clear: 0xE5 bits 4:2 set";
    EXPECT_EQ(eqState().eq_check_period, 32) << "and reset";
}

TEST_F(It6805Eq, FrozenStateIgnoresEveryChange)
{
    src().ite6805->dev(0).iTE6805_DATA.STATEEQ = EQ::STATEEQ_KeepEQStateUntil5VOff;
    for (uint32_t s : {0u, 1u, 5u, 9u})
        eq().iTE6805_EQ_chg(s, 0);
    EXPECT_EQ(stateeq(), EQ::STATEEQ_KeepEQStateUntil5VOff);
}

// Both inputs tune at once, each with its own table: input 4 (HDMI 1.x,
// 01 3F 07 0F) passes only at 0x3F, input 5 (HDMI 2.0, 01 07 0F 3F) only at
// 0x07.
TEST_F(It6805Eq, BothDevicesSweepTheirOwnTables)
{
    for (int ch = 0; ch < 3; ++ch) {
        chip().setBitErrors(ch, -1, 500);
        chip().setBitErrors(ch, 0x3F, 3);
        sim().it6805(1).setBitErrors(ch, -1, 500);
        sim().it6805(1).setBitErrors(ch, 0x07, 3);
    }
    sim().source(5).plug(vic("vic:97"));
    ASSERT_GE(tuneTo("vic:16", EQ::STATEEQ_EQDone), 0);
    for (int i = 0; i < 60 && src().ite6805->dev(1).iTE6805_DATA.STATEEQ != EQ::STATEEQ_EQDone; ++i)
        run(1);
    EXPECT_EQ(src().ite6805->dev(1).iTE6805_DATA.STATEEQ, EQ::STATEEQ_EQDone);
    EXPECT_EQ(rsRegisters(), (std::array<uint8_t, 3>{0xBF, 0xBF, 0xBF}));
    SimIt6805& other = sim().it6805(1);
    EXPECT_EQ((std::array<uint8_t, 3>{other.reg(3, 0x27), other.reg(3, 0x28), other.reg(3, 0x29)}),
              (std::array<uint8_t, 3>{0x87, 0x87, 0x87}));
    // Input 5 swept its own table from its own first step.
    unsigned tried01 = 0, tried3F = 0;
    for (const auto& w : other.writes()) {
        tried01 += w.bank == 3 && w.reg == 0x27 && w.value == 0x81;
        tried3F += w.bank == 3 && w.reg == 0x27 && w.value == 0xBF;
    }
    EXPECT_GE(tried01, 1u);
    EXPECT_EQ(tried3F, 0u);
}

TEST(It6805EqTables, RsLookupAndDfeBytes)
{
    EXPECT_EQ(ite6805_eq::iTE6805_Find_indexof_DEF(0x7F), 0);
    EXPECT_EQ(ite6805_eq::iTE6805_Find_indexof_DEF(0x3E), 3);
    EXPECT_EQ(ite6805_eq::iTE6805_Find_indexof_DEF(0x00), 13);
    EXPECT_EQ(ite6805_eq::iTE6805_Find_indexof_DEF(0x55), 4) << "absent: 0x1F";
    struct Case {
        std::array<uint8_t, 4> abcd;
        std::array<uint8_t, 3> bytes;
    };
    const Case cases[] = {
        {{0x80, 0x10, 0x70, 0x90}, {0x7F, 0x38, 0x17}},  // above the limit, a > b; within, a > c; above, a < d
        {{0x10, 0x80, 0x90, 0x02}, {0x5F, 0x2F, 0x1F}},  // a < b, a < c above; n = 7, a > d
        {{0x40, 0x40, 0x40, 0x40}, {0x40, 0x20, 0x10}},
        {{0x50, 0x10, 0x52, 0x4E}, {0x7F, 0x21, 0x19}},  // n = 32 above 31
        {{0x50, 0x13, 0x30, 0x60}, {0x7E, 0x3F, 0x17}},  // n = 30; n = 16 above 15; n = 8 above 7
    };
    for (const Case& c : cases) {
        uint8_t out[3];
        ite6805_eq::dfeBytes(c.abcd[0], c.abcd[1], c.abcd[2], c.abcd[3], out);
        EXPECT_EQ((std::array<uint8_t, 3>{out[0], out[1], out[2]}), c.bytes) << int(c.abcd[0]) << "," << int(c.abcd[1]);
    }
}

} // namespace
} // namespace kel::test
