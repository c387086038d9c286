#include "inputs/InputBoardFixture.h"

#include "inputs/Drv_I2C0.h"
#include "inputs/ite6805_drv.h"
#include "inputs/ite6805_i2c_rdwr.h"
#include "inputs/ite6805_sys.h"
#include "params/RamLayout.h"
#include "params/SyncReason.h"
#include "params/Utils.h"
#include "platform/Sleeper.h"
#include "platform/sim/SimInputBoard.h"
#include "platform/sim/SimIt6805.h"
#include "platform/sim/SimVideoSource.h"

#include <QMutexLocker>
#include <QSignalSpy>

#include <array>
#include <cmath>

using kel::platform::sim::SimIt6805;

namespace kel::test {
namespace {

using Source = platform::sim::SimVideoSource;
using Signal = Source::Output;

Signal timing(uint32_t pclk, uint16_t hact, uint16_t hfp, uint16_t hs, uint16_t hbp, uint16_t vact, uint16_t vfp,
              uint16_t vs, uint16_t vbp)
{
    Signal s;
    s.kind = Source::Kind::Timing;
    s.timing.pclkKHz = pclk;
    s.timing.hact = hact; s.timing.hfp = hfp; s.timing.hsync = hs; s.timing.hbp = hbp;
    s.timing.vact = vact; s.timing.vfp = vfp; s.timing.vsync = vs; s.timing.vbp = vbp;
    s.timing.hpos = s.timing.vpos = true;
    s.audio = {48000, 2};
    return s;
}

// CTA-861 timings.
Signal uhd60() { Signal s = timing(594000, 3840, 176, 88, 296, 2160, 8, 10, 72); s.timing.vic = 97; return s; }
Signal fhd60() { Signal s = timing(148500, 1920, 88, 44, 148, 1080, 4, 5, 36); s.timing.vic = 16; return s; }
Signal yuv420(Signal s) { s.color = Source::ColorFormat::Yuv420; return s; }

class It6805 : public InputBoardFixture {
protected:
    void SetUp() override
    {
        InputBoardFixture::SetUp();
        ASSERT_TRUE(runUntilState(tarvosource::kSteady));
    }
    SimIt6805& chip(int d = 0) { return sim().it6805(d); }
    ite6805_dev& state(int d = 0) { return src().ite6805->dev(d); }
    bool runUntil(uint32_t audioState, int d = 0, int limit = 60)
    {
        for (int i = 0; i < limit; ++i) {
            if (state(d).iTE6805_DATA.STATEA == audioState)
                return true;
            run(1);
        }
        return state(d).iTE6805_DATA.STATEA == audioState;
    }
    Source& source(int d = 0) { return sim().source(4 + d); }
    bool bringUp(const Signal& s, int d = 0)
    {
        source(d).plug(s);
        return runUntil(ite6805_dev::STATEA_AudioOn, d);
    }
    SourceHdmiInfo hdmi(int input)
    {
        QMutexLocker l(&Utils::_source_hdminfo_mutex);
        return src().hdminfo[input];
    }
    std::array<unsigned, 3> srcVideo(int input)
    {
        const uint8_t* r = store().RamBlock + RamLayout::srcVideoInfo(input);
        return {RamLayout::u16(r, 0), RamLayout::u16(r, 2), r[4]};
    }
    // Routes the bus to device 0 for direct calls into the driver.
    void selectDevice0()
    {
        uint8_t ch = 0x20;
        ASSERT_EQ(src().i2c->i2c_write(src().i2c_fd, tarvosource::kReceiverSwitch, 0, &ch, 1), 1);
    }
    unsigned writesOf(int bank, uint8_t reg, uint8_t bits)
    {
        unsigned n = 0;
        for (const auto& w : chip().writes())
            if (w.bank == bank && w.reg == reg && (w.value & bits) == bits)
                ++n;
        return n;
    }
};

TEST_F(It6805, Uhd60OnInput4IsPublishedWithEightLanes)
{
    ASSERT_TRUE(bringUp(uhd60()));
    EXPECT_EQ(reg(37) & 0x20, 0x20) << "identified";
    EXPECT_EQ(state().iTE6805_DATA.ChipID, 0xA0);
    const SourceHdmiInfo h = hdmi(4);
    EXPECT_EQ(h.signal, 0u);
    EXPECT_EQ(h.stable, 1u);
    EXPECT_EQ(h.TYPE, 1u);
    EXPECT_EQ(h.DATAMOD, 1u);
    EXPECT_EQ(h.Lanes, 8u);
    EXPECT_EQ(h.Hact, 3840u);
    EXPECT_EQ(h.Htotal, 4400u);
    EXPECT_EQ(h.Vact, 2160u);
    EXPECT_EQ(h.Vtotal, 2250u);
    EXPECT_LT(std::fabs(h.pfreq - 594.0f) / 594.0f, 0.005f);
    EXPECT_EQ(srcVideo(4), (std::array<unsigned, 3>{3840, 2160, 60}));
    EXPECT_EQ(chip().vboLanes(), 8);
    EXPECT_TRUE(chip().vboOn());
    // Settle, two pixel-clock counts and the hot-plug steps, all virtual.
    EXPECT_GT(sleptUs(), 5200000u);
}

struct LaneCase {
    const char* name;
    Signal signal;
    uint32_t lanes;
};

class It6805Lanes : public It6805, public ::testing::WithParamInterface<LaneCase> {};

TEST_P(It6805Lanes, LaneCountFollowsTheMeasuredClockAndWidth)
{
    ASSERT_TRUE(bringUp(GetParam().signal));
    EXPECT_EQ(hdmi(4).Lanes, GetParam().lanes);
    EXPECT_EQ(chip().vboLanes(), static_cast<int>(GetParam().lanes));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, It6805Lanes,
    ::testing::Values(LaneCase{"fhd_148500", fhd60(), 2},
                      LaneCase{"qhd_148000", timing(148000, 2560, 48, 32, 80, 1440, 3, 5, 33), 4},
                      LaneCase{"uhd_rgb_297000", timing(297000, 3840, 176, 88, 296, 2160, 8, 10, 72), 4},
                      LaneCase{"uhd_420_594000", yuv420(uhd60()), 8},
                      LaneCase{"dci_594000", timing(594000, 4096, 88, 88, 128, 2160, 8, 10, 72), 8},
                      LaneCase{"sd_27000", timing(27000, 720, 16, 62, 60, 480, 9, 6, 30), 1},
                      LaneCase{"hfp174_falls_back", timing(297000, 3840, 174, 88, 298, 2160, 8, 10, 72), 2}),
    [](const ::testing::TestParamInfo<LaneCase>& info) { return std::string(info.param.name); });

TEST_F(It6805, SlowClockSetsTheOutputDividerAndOneLane)
{
    ASSERT_TRUE(bringUp(timing(27000, 720, 16, 62, 60, 480, 9, 6, 30)));
    EXPECT_EQ(chip().reg(5, 0xC7), 0x49);
    EXPECT_EQ(chip().reg(5, 0xCB) & 0x01, 0) << "no two-section mode";
}

TEST_F(It6805, FirstStableSignalResetsTheVideoLogicOnce)
{
    ASSERT_TRUE(bringUp(fhd60()));
    EXPECT_EQ(state().iTE6805_DATA.lastLaneCount, 1);
    // A new colour format while stable: 2 to 4 lanes changes no stored count.
    chip().clearWrites();
    Signal u = uhd60();
    u.color = Source::ColorFormat::Yuv444;  // a new AVI data byte 1
    source().plug(u);
    run(3);
    EXPECT_EQ(state().iTE6805_DATA.VBO_LaneCount, 3);
    EXPECT_EQ(state().iTE6805_DATA.lastLaneCount, 1);
    EXPECT_EQ(writesOf(0, 0x22, 0x01), 0u) << "no video-logic reset";
}

class It6805Layouts : public It6805, public ::testing::WithParamInterface<uint8_t> {};

TEST_P(It6805Layouts, BothTimingLayoutsDecodeTheSameTiming)
{
    chip().setChipId(GetParam());
    Signal s = fhd60();
    s.timing.hpos = false;
    ASSERT_TRUE(bringUp(s));
    const SourceHdmiInfo h = hdmi(4);
    EXPECT_EQ(state().iTE6805_DATA.ChipID, GetParam());
    EXPECT_EQ((std::array<uint32_t, 10>{h.Hact, h.Hsync, h.Hback, h.Hpol, h.Htotal, h.Vact, h.Vsync, h.Vback,
                                         h.Vpol, h.Vtotal}),
              (std::array<uint32_t, 10>{1920, 44, 148, 0, 2200, 1080, 5, 36, 1, 1125}));
    EXPECT_EQ(state().iTE6805_VidTiming.HFrontPorch, 88);
    EXPECT_EQ(state().iTE6805_VidTiming.VFrontPorch, 4);
    EXPECT_EQ(srcVideo(4), (std::array<unsigned, 3>{1920, 1080, 60}));
}

INSTANTIATE_TEST_SUITE_P(ChipIds, It6805Layouts, ::testing::Values(0x10, 0xE0, 0xA0));

// CTA-861 1080p50: a front porch above 255 needs the high bits of both
// layouts (the upper nibble of 0xA1 in the "other" one).
TEST_P(It6805Layouts, WideFrontPorchDecodesInBothLayouts)
{
    chip().setChipId(GetParam());
    Signal s = timing(148500, 1920, 528, 44, 148, 1080, 4, 5, 36);
    s.timing.vic = 31;
    ASSERT_TRUE(bringUp(s));
    EXPECT_EQ(state().iTE6805_VidTiming.HFrontPorch, 528);
    const SourceHdmiInfo h = hdmi(4);
    EXPECT_EQ((std::array<uint32_t, 4>{h.Hact, h.Hsync, h.Hback, h.Htotal}),
              (std::array<uint32_t, 4>{1920, 44, 148, 2640}));
    EXPECT_EQ(srcVideo(4), (std::array<unsigned, 3>{1920, 1080, 50}));
}

TEST_F(It6805, Yuv420WidthIsDoubledOnceOnEveryAudioOn)
{
    ASSERT_TRUE(bringUp(yuv420(uhd60())));
    EXPECT_EQ(hdmi(4).Hact, 3840u);
    EXPECT_EQ(hdmi(4).Htotal, 4400u);
    EXPECT_EQ(srcVideo(4)[0], 3840u);
    run(5);  // the audio format is sampled
    // The audio layout changes: audio is requested again and published again
    // without a new measurement.
    Signal s = yuv420(uhd60());
    s.audio.channels = 4;
    source().plug(s);
    ASSERT_TRUE(runUntil(ite6805_dev::STATEA_WaitForReady));
    EXPECT_EQ(state().newAvi, 0) << "the same AVI data byte 1 is no new InfoFrame";
    ASSERT_TRUE(runUntil(ite6805_dev::STATEA_AudioOn));
    EXPECT_EQ(state().iTE6805_DATA.audioChannels, 4);
    EXPECT_EQ(hdmi(4).Hact, 3840u);
    EXPECT_EQ(hdmi(4).Hsync, 88u);
    EXPECT_EQ(srcVideo(4)[0], 3840u);
    EXPECT_EQ(src().ite6805->video(0).width, 3840);
}

TEST_F(It6805, LossOfSyncPublishesNoSignalAndInitialisesAgain)
{
    ASSERT_TRUE(bringUp(fhd60()));
    QSignalSpy spy(&store(), &KelRamPara::sig_update_para);
    sim().clearTransfers();
    chip().setScdtDropped(true);
    run(1);
    const SourceHdmiInfo h = hdmi(4);
    EXPECT_EQ(h.signal, 1u);
    EXPECT_EQ(h.Hact, 0u);
    EXPECT_EQ((std::array<uint32_t, 3>{h.TYPE, h.DATAMOD, h.Lanes}), (std::array<uint32_t, 3>{1, 1, 1}));
    EXPECT_EQ(srcVideo(4), (std::array<unsigned, 3>{0, 0, 0}));
    bool announced = false;
    for (const auto& args : spy)
        announced = announced || args.at(0).toInt() == SYNC_INPUT_INFO;
    EXPECT_TRUE(announced);
    bool chipIdRead = false;
    for (const auto& t : sim().transfers())
        chipIdRead = chipIdRead || (t.addr == SimIt6805::kMainPage && t.written == std::vector<uint8_t>{0x04});
    EXPECT_TRUE(chipIdRead) << "initialised again";
    EXPECT_EQ(state().iTE6805_DATA.STATEV, ite6805_dev::STATEV_WaitSync) << "+5 V still present";
    chip().setScdtDropped(false);
    EXPECT_TRUE(runUntil(ite6805_dev::STATEA_AudioOn));
}

TEST_F(It6805, LossOfFiveVoltsDropsHotPlugAndUnplugs)
{
    ASSERT_TRUE(bringUp(fhd60()));
    source().unplug();
    run(1);
    EXPECT_EQ(state().iTE6805_DATA.STATEV, ite6805_dev::STATEV_Unplug);
    EXPECT_EQ(state().iTE6805_DATA.STATEEQ, 0u);
    EXPECT_EQ(chip().hpd(), 0);
    EXPECT_EQ(hdmi(4).signal, 1u);
    // Reconnecting raises hot-plug after a low pulse.
    chip().clearWrites();
    source().plug(fhd60());
    run(1);
    std::vector<int> levels;
    for (const auto& w : chip().writes())
        if (w.bank == 3 && w.reg == 0xAB)
            levels.push_back(w.value >> 6);
    ASSERT_GE(levels.size(), 3u);
    EXPECT_EQ(std::vector<int>(levels.end() - 3, levels.end()), (std::vector<int>{3, 1, 3}));
}

TEST_F(It6805, EccErrorsEscalateToKeepEqThenToAFullReset)
{
    ASSERT_TRUE(bringUp(fhd60()));
    const auto error = [&] {
        chip().latch(0x05, 0x20);
        run(1);
    };
    for (int i = 1; i <= 6; ++i)
        error();
    EXPECT_EQ(writesOf(0, 0xD9, 0x04), 0u);
    error();  // 7th
    EXPECT_EQ(writesOf(0, 0xD9, 0x04), 1u);
    for (int i = 8; i <= 10; ++i)
        error();
    EXPECT_EQ(writesOf(0, 0xD9, 0x04), 2u);
    error();
    EXPECT_EQ(state().eccTimeouts, 0);
    error();  // 12th: the first timeout
    EXPECT_EQ(state().iTE6805_DATA.STATEEQ, ite6805_dev::STATEEQ_KeepEQStateUntil5VOff);
    EXPECT_EQ(state().eccTimeouts, 1);
    run(1);  // the clock comes back on and clears the count
    for (int i = 0; i < 12; ++i)
        error();
    EXPECT_EQ(state().eccTimeouts, 2);
    run(1);
    chip().clearWrites();
    for (int i = 0; i < 12; ++i)
        error();
    EXPECT_EQ(state().eccTimeouts, 0);
    EXPECT_EQ(state().iTE6805_DATA.STATEEQ, 0u);
    EXPECT_GE(writesOf(0, 0x22, 0x12), 1u) << "all logic reset";
}

TEST_F(It6805, DeskewErrorsRestartTheEqualiserAndResetAllLogicAtTheThirdRestart)
{
    ASSERT_TRUE(bringUp(fhd60()));
    const auto errors = [&](int n) {
        for (int i = 0; i < n; ++i) {
            chip().latch(0x05, 0x40);
            run(1);
        }
    };
    errors(6);
    EXPECT_EQ(state().deskewRestarts, 0);
    chip().clearWrites();
    errors(1);
    EXPECT_EQ(state().deskewRestarts, 1);
    // Tuning starts again at once: the automatic equaliser is triggered.
    EXPECT_EQ(state().iTE6805_DATA.STATEEQ, 2u);
    EXPECT_GE(writesOf(3, 0x22, 0x38), 1u);
    errors(7);
    chip().clearWrites();
    errors(7);
    EXPECT_EQ(state().deskewRestarts, 0);
    EXPECT_GE(writesOf(0, 0x22, 0x12), 1u) << "all logic reset";
}

TEST_F(It6805, MutePacketsDoNothingBeforeTheVideoIsSetUp)
{
    source().plug(fhd60());
    run(3);  // identified, settled, waiting for sync
    ASSERT_EQ(state().iTE6805_DATA.Flag_VidStable_Done, 0);
    chip().clearWrites();
    chip().latch(0x10, 0x30);
    run(1);
    EXPECT_EQ(writesOf(1, 0xC5, 0x80), 0u);
}

struct CscCase {
    const char* name;
    uint8_t format, colorimetry, ext;
    int row;  // 0: no matrix
};

class It6805Csc : public It6805, public ::testing::WithParamInterface<CscCase> {};

TEST_P(It6805Csc, ColourMatrixFollowsTheAviInfoFrame)
{
    static const std::array<uint8_t, 22> kRows[3] = {
        {0x04, 0x00, 0xA7, 0x4F, 0x09, 0x81, 0x39, 0xDD, 0x3C, 0x4F, 0x09, 0xC4, 0x0C, 0x01, 0x00, 0x4F, 0x09, 0xFD,
         0x3F, 0x1F, 0x10, 0x00},
        {0x04, 0x00, 0xA7, 0x4F, 0x09, 0xBA, 0x3B, 0x4B, 0x3E, 0x4F, 0x09, 0x57, 0x0E, 0x02, 0x00, 0x4F, 0x09, 0xFE,
         0x3F, 0xE8, 0x10, 0x00},
        {0x04, 0x00, 0xA7, 0x4F, 0x09, 0xCC, 0x3A, 0x7E, 0x3E, 0x4F, 0x09, 0x69, 0x0D, 0x0B, 0x00, 0x4F, 0x09, 0xFE,
         0x3F, 0x1D, 0x11, 0x00}};
    const CscCase& c = GetParam();
    Signal s = fhd60();
    s.color = static_cast<Source::ColorFormat>(c.format);
    s.colorimetry = static_cast<Source::Colorimetry>(c.colorimetry);
    s.extendedColorimetry = c.ext;
    ASSERT_TRUE(bringUp(s));
    std::array<uint8_t, 22> got;
    for (int i = 0; i < 22; ++i)
        got[i] = chip().reg(1, static_cast<uint8_t>(0x70 + i));
    if (c.row == 0) {
        EXPECT_EQ(chip().reg(0, 0x6C) & 0x03, 0);
        EXPECT_EQ(chip().reg(1, 0x85), 0);
        return;
    }
    EXPECT_EQ(chip().reg(0, 0x6C) & 0x03, 0x03);
    EXPECT_EQ(got, kRows[c.row == 5 ? 0 : c.row == 7 ? 1 : 2]);
}

INSTANTIATE_TEST_SUITE_P(Cases, It6805Csc,
                         ::testing::Values(CscCase{"yuv422_itu709", 1, 2, 0, 7}, CscCase{"yuv444_ext6", 2, 3, 6, 8},
                                           CscCase{"yuv444_ext0", 2, 3, 0, 5}, CscCase{"rgb", 0, 2, 0, 0}),
                         [](const ::testing::TestParamInfo<CscCase>& info) { return std::string(info.param.name); });

TEST_F(It6805, AudioOnIsReachedWithoutAudioAfterTwoTries)
{
    Signal s = fhd60();
    s.audio.fs = 0;  // no audio
    ASSERT_TRUE(bringUp(s));
    EXPECT_EQ(state().Current_AudioCheck_TryCount, 2);
    EXPECT_EQ(hdmi(4).signal, 0u);
}

TEST_F(It6805, DisagreeingChannelStatusForcesTheComputedRateAfterSixteenChecks)
{
    ASSERT_TRUE(bringUp(fhd60()));
    chip().setAudioCodeOverride(0x03);  // says 32 kHz; N and CTS give 48 kHz
    state().passCount50 = 0;
    state().Current_AudioSamplingFreq_ErrorCount = 0;
    const auto check = [&] {
        chip().latch(0x10, 0x80);  // audio interrupt: checked again
        run(1);
    };
    for (int i = 0; i < 15; ++i)
        check();
    EXPECT_EQ(state().Current_AudioSamplingFreq_ErrorCount, 15);
    EXPECT_EQ(chip().reg(0, 0x81) & 0x40, 0);
    check();
    EXPECT_EQ(chip().reg(0, 0x81) & 0x40, 0x40) << "forced";
    EXPECT_EQ(chip().reg(0, 0x8A) & 0x3F, 2);
    chip().setAudioCodeOverride(-1);
    check();
    EXPECT_EQ(chip().reg(0, 0x81) & 0x40, 0) << "agreement leaves forced mode";
}

struct EventCase {
    const char* name;
    uint8_t reg, bits, reg2, bits2;
};

class It6805Events : public It6805, public ::testing::WithParamInterface<EventCase> {};

TEST_P(It6805Events, LinkEventsWhileStableRestartTheSync)
{
    ASSERT_TRUE(bringUp(fhd60()));
    chip().latch(GetParam().reg, GetParam().bits);
    chip().latch(GetParam().reg2, GetParam().bits2);
    run(1);
    EXPECT_EQ(state().iTE6805_DATA.Flag_VidStable_Done, 0);
    EXPECT_EQ(state().iTE6805_DATA.STATEV, ite6805_dev::STATEV_CheckSync) << "sync is still there";
}

INSTANTIATE_TEST_SUITE_P(Cases, It6805Events,
                         ::testing::Values(EventCase{"scdc_ratio", 0x08, 0x01, 0x08, 0x01},
                                           EventCase{"symbol_lock_all_channels", 0x05, 0x04, 0x06, 0x70}),
                         [](const ::testing::TestParamInfo<EventCase>& info) { return std::string(info.param.name); });

TEST_F(It6805, HotPlugOfPort1SetsOnlyTheInputTypeAndPort0WithoutFiveVoltsPublishesNoSignal)
{
    run(2);
    uint8_t ch = 0x20;
    ASSERT_EQ(src().i2c->i2c_write(src().i2c_fd, tarvosource::kReceiverSwitch, 0, &ch, 1), 1);
    ite6805_drv& drv = src().ite6805->drv();
    state().iTE6805_DATA.inputType = 2;
    sim().clearTransfers();
    drv.iTE6805_Set_HPD_Ctrl(1, 0, 0);
    EXPECT_EQ(state().iTE6805_DATA.inputType, 0);
    EXPECT_TRUE(sim().transfers().empty());
    QSignalSpy spy(&store(), &KelRamPara::sig_update_para);
    drv.iTE6805_Set_HPD_Ctrl(0, 1, 0);
    EXPECT_EQ(spy.count(), 0);
    drv.iTE6805_Set_HPD_Ctrl(0, 0, 0);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toInt(), SYNC_INPUT_INFO);
    EXPECT_EQ(hdmi(4).signal, 1u);
    EXPECT_EQ(hdmi(4).stable, 1u);
}

TEST_F(It6805, UnstableOutputPulsesHotPlugInsteadOfPublishing)
{
    chip().setOutputUnstable(true);
    ASSERT_TRUE(bringUp(fhd60()));
    EXPECT_EQ(hdmi(4).signal, 1u);
    EXPECT_EQ(srcVideo(4), (std::array<unsigned, 3>{0, 0, 0}));
}

// Revisions other than 0x10 and 0xE0 and above turn the V-by-One output
// off while no stable video is set up.
TEST_F(It6805, OutputGuardTurnsTheTransmitterOffOnlyForOtherRevisions)
{
    const std::pair<uint8_t, uint8_t> cases[] = {{0xA0, 0x79}, {0x10, 0x00}, {0xE0, 0x00}, {0xF0, 0x00}};
    for (const auto& [id, c9] : cases) {
        chip().setChipId(id);
        src().ite6805->set_device_state(0, 0);
        chip().setReg(5, 0xC9, 0x00);
        run(3);
        EXPECT_EQ(chip().reg(5, 0xC9), c9) << std::hex << int(id);
    }
}

TEST_F(It6805, TwoSectionModeIsOnExactlyAboveTheWidthOrClockLimit)
{
    run(2);
    selectDevice0();
    struct Case { uint16_t hact; uint32_t pclk; uint8_t on; };
    const Case cases[] = {{2176, 159999, 0}, {2177, 100000, 1}, {1920, 160000, 1}, {720, 27000, 0}, {3840, 297000, 1}};
    for (const Case& c : cases) {
        state().iTE6805_VidTiming.HActive = c.hact;
        state().iTE6805_VidTiming.PCLK = c.pclk;
        src().ite6805->iTE6807_Video_Output_Setting(0);
        EXPECT_EQ(state().iTE6805_DATA.twoSectionMode, c.on) << c.hact << " " << c.pclk;
        EXPECT_EQ(chip().reg(5, 0xCB) & 0x01, c.on) << c.hact << " " << c.pclk;
        EXPECT_EQ(chip().reg(0, 0x64) & 0x04, c.on ? 0x04 : 0) << c.hact << " " << c.pclk;
    }
}

struct SymbolLockCase {
    const char* name;
    Signal signal;
    uint8_t counts;    // per channel before the event
    uint32_t stateEq;
    bool forced;
};

class It6805SymbolLock : public It6805, public ::testing::WithParamInterface<SymbolLockCase> {};

// Symbol-lock resets on all three channels: at 21 each, with the equaliser
// off on an HDMI 1.x link, the port's SCDC clock-ratio bits are forced.
TEST_P(It6805SymbolLock, TwentyOneResetsOnEveryChannelForceTheClockRatio)
{
    const SymbolLockCase& c = GetParam();
    ASSERT_TRUE(bringUp(c.signal));
    selectDevice0();
    for (uint8_t& n : state().symbolLockResets)
        n = c.counts;
    state().iTE6805_DATA.STATEEQ = c.stateEq;
    chip().clearWrites();
    chip().latch(0x06, 0x70);
    src().ite6805->iTE6805_hdmirx_port0_SYS_irq(0);
    EXPECT_EQ(state().symbolLockResets[0], c.counts + 1);
    EXPECT_EQ(writesOf(3, 0xE5, 0x1C) > 0, c.forced);
    EXPECT_EQ(state().iTE6805_DATA.STATEV, ite6805_dev::STATEV_VidStable) << "no clock change: sync stays";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, It6805SymbolLock,
    ::testing::Values(SymbolLockCase{"hdmi14_at_21", fhd60(), 20, 0, true},
                      SymbolLockCase{"hdmi14_at_20", fhd60(), 19, 0, false},
                      SymbolLockCase{"equaliser_on", fhd60(), 20, ite6805_dev::STATEEQ_EQDone, false},
                      SymbolLockCase{"hdmi20", uhd60(), 20, 0, false}),
    [](const ::testing::TestParamInfo<SymbolLockCase>& info) { return std::string(info.param.name); });

TEST_F(It6805, DeskewErrorsOnAnHdmi20LinkRestartNothing)
{
    ASSERT_TRUE(bringUp(uhd60()));
    selectDevice0();
    for (int i = 0; i < 7; ++i) {
        chip().latch(0x05, 0x40);
        src().ite6805->iTE6805_hdmirx_port0_SYS_irq(0);
    }
    EXPECT_EQ(state().deskewErrors, 7);
    EXPECT_EQ(state().deskewRestarts, 0);
}

TEST_F(It6805, CheckSyncCountsOnlyStepsWithAnUnchangedAviByte)
{
    ASSERT_TRUE(bringUp(fhd60()));
    selectDevice0();
    ite6805_sys& sys = *src().ite6805;
    const uint8_t db1 = chip().reg(2, 0x15);
    sys.iTE6805_vid_chg(ite6805_dev::STATEV_CheckSync, 0);
    EXPECT_EQ(state().Current_SCDTCheck_Count, 6);
    sys.iTE6805_vid_fsm(0);
    EXPECT_EQ(state().Current_SCDTCheck_Count, 5);
    chip().setReg(2, 0x15, static_cast<uint8_t>(db1 ^ 0x40));
    sys.iTE6805_vid_fsm(0);
    EXPECT_EQ(state().Current_SCDTCheck_Count, 5) << "a changed byte keeps the count";
    EXPECT_EQ(state().prevAVIDB, db1 ^ 0x40);
    for (int left = 4; left >= 0; --left) {
        sys.iTE6805_vid_fsm(0);
        EXPECT_EQ(state().Current_SCDTCheck_Count, left);
    }
    EXPECT_EQ(state().iTE6805_DATA.STATEV, ite6805_dev::STATEV_CheckSync);
    sys.iTE6805_vid_fsm(0);
    EXPECT_EQ(state().iTE6805_DATA.STATEV, ite6805_dev::STATEV_VidStable);
}

// DVI carries no AVI InfoFrame: the colorimetry follows the TMDS count.
TEST_F(It6805, DviColorimetryFollowsTheTmdsCount)
{
    Signal s = fhd60();
    s.link = Source::Link::Dvi;
    source().plug(s);
    for (int i = 0; i < 60 && !state().iTE6805_DATA.Flag_VidStable_Done; ++i)
        run(1);
    ASSERT_EQ(state().iTE6805_DATA.Flag_VidStable_Done, 1);
    selectDevice0();
    const std::pair<uint8_t, uint32_t> cases[] = {{51, 2}, {52, 1}};  // ITU709, ITU601
    for (const auto& [count, colorimetry] : cases) {
        chip().setReg(0, 0x48, count);
        src().ite6805->iTE6805_Enable_Video_Output(0);
        EXPECT_EQ(state().iTE6805_DATA.Colorimetry, colorimetry) << int(count);
        EXPECT_EQ(state().iTE6805_DATA.inputType, 2);
        EXPECT_EQ(chip().reg(0, 0x6B) & 0x31, 0x11);
    }
}

// ---- identification and initialisation ------------------------------------------------

TEST_F(It6805, AbsentChipCountsFailuresAndALateChipIsIdentifiedThenSettles)
{
    chip().setPresent(false);
    run(3);
    EXPECT_EQ(src().ite6805->device_state(0), 0);
    EXPECT_EQ(state().identifyFailures, 3);
    EXPECT_EQ(reg(37) & 0x20, 0);
    chip().setPresent(true);
    chip().setIdVariant(0x07);
    run(1);
    EXPECT_EQ(src().ite6805->device_state(0), 2);
    EXPECT_EQ(reg(37) & 0x20, 0x20);
    const uint64_t before = sleptUs();
    run(1);
    EXPECT_EQ(src().ite6805->device_state(0), 1);
    EXPECT_GE(sleptUs() - before, 1000000u);
}

// After the program's stop the chip's settling second is not waited out.
TEST_F(It6805, AStopEndsTheSettlingPause)
{
    run(1);
    ASSERT_EQ(src().ite6805->device_state(0), 2);
    kel::platform::Sleeper::requestStop();
    const uint64_t before = sleptUs();
    run(1);
    kel::platform::Sleeper::clearStop();
    EXPECT_EQ(src().ite6805->device_state(0), 1);
    EXPECT_LT(sleptUs() - before, 500000u);
}

struct ClockCase {
    const char* name;
    uint32_t stored;
    bool hundredths;
    uint32_t rclk;
};

class It6805Clock : public It6805, public ::testing::WithParamInterface<ClockCase> {};

TEST_P(It6805Clock, StoredOscillatorValueIsCheckedAndUsed)
{
    chip().setStoredClock(GetParam().stored, GetParam().hundredths);
    run(1);
    EXPECT_EQ(src().ite6805->drv().RCLKVALUE[0], GetParam().rclk);
}

INSTANTIATE_TEST_SUITE_P(Values, It6805Clock,
                         ::testing::Values(ClockCase{"default", 20000, false, 20000},
                                           ClockCase{"below", 12999, false, 19000},
                                           ClockCase{"above", 27001, false, 19000},
                                           ClockCase{"lowest", 13000, false, 13000},
                                           ClockCase{"highest", 27000, false, 27000},
                                           ClockCase{"hundredths", 2000000, true, 20000}),
                         [](const ::testing::TestParamInfo<ClockCase>& info) { return std::string(info.param.name); });

TEST_F(It6805, OscillatorAt19MHzSetsTheTimers)
{
    chip().setStoredClock(19000, false);
    run(1);
    EXPECT_EQ(src().ite6805->drv().CEC_timeunit[0], 118);
    const std::pair<std::pair<int, uint8_t>, uint8_t> expected[] = {
        {{0, 0x91}, 19}, {{0, 0x92}, 0}, {{3, 0xE1}, 190}, {{0, 0x45}, 121}, {{0, 0x44}, 24},
        {{0, 0x46}, 16}, {{0, 0x47}, 7}, {{5, 0xD3}, 48},  {{5, 0xD4}, 24}};
    for (const auto& [where, value] : expected)
        EXPECT_EQ(chip().reg(where.first, where.second) & (where.second == 0x91 ? 0x3F : 0xFF), value)
            << "bank " << where.first << " reg " << std::hex << int(where.second);
}

TEST_F(It6805, OscillatorValueAtTheHighEfuseBankIsFound)
{
    chip().setEfuse(0x0000, 0xFF, 0xFF);
    chip().setEfuse(0x0001, 0x00, 0x00);
    chip().setEfuse(0x04B0, 0x98, 0x3A);  // 15000
    chip().setEfuse(0x04B1, 0x00, 0x00);
    run(1);
    EXPECT_EQ(src().ite6805->drv().RCLKVALUE[0], 15000u);
}

TEST_F(It6805, CalibrationThatNeverFinishesIsAbandonedAfterSixFailures)
{
    chip().setCaofNeverDone(true);
    run(1);
    EXPECT_EQ(src().ite6805->device_state(0), 2) << "initialisation goes on";
    // The start pulse, five retries and the clean-up on port 0.
    EXPECT_EQ(writesOf(0, 0x2A, 0x40), 7u);
    EXPECT_EQ(chip().reg(3, 0x3A) & 0x80, 0);
}

TEST_F(It6805, CalibrationThatFinishesPulsesOnce)
{
    run(1);
    EXPECT_EQ(writesOf(0, 0x2A, 0x40), 1u);
    EXPECT_EQ(chip().reg(0, 0x08) & 0x30, 0) << "done bits cleared";
}

TEST(It6805InitTable, HasItsRowsAndBankStructure)
{
    const iTE6805_INI_REG* t = iTE6805_INIT_HDMI_TABLE;
    for (int i = 0; i < 132; ++i) {
        EXPECT_NE(t[i].reg, 0xFF) << i;
        if (t[i].reg == 0x0F) {
            EXPECT_EQ(t[i].mask, i < 57 ? 0xFF : 0x07) << i;
        }
    }
    EXPECT_EQ((std::array<uint8_t, 3>{t[132].reg, t[132].mask, t[132].value}), (std::array<uint8_t, 3>{0xFF, 0xFF, 0xFF}));
    EXPECT_EQ((std::array<uint8_t, 3>{t[1].reg, t[1].mask, t[1].value}), (std::array<uint8_t, 3>{0x22, 0xFF, 0x08}));
    EXPECT_EQ(t[26].reg, 0x4F);
    EXPECT_EQ(t[26].value, 0x84);
}

TEST_F(It6805, EmptyTableAppliesNothingAndAFailedReadGivesZero)
{
    chip().setPresent(false);
    const iTE6805_INI_REG empty[] = {{0xFF, 0xFF, 0xFF}, {0x22, 0xFF, 0x00}};
    sim().clearTransfers();
    src().ite6805->drv().hdimrx_write_init(empty, 0);
    EXPECT_TRUE(sim().transfers().empty());
    EXPECT_EQ(src().ite6805->rdwr().hdmirxrd(0x00, 0), 0);
    EXPECT_EQ(src().ite6805->rdwr().hdmirxbwr(0x70, 0, nullptr, 0), 0) << "an empty burst is a failure";
}

TEST_F(It6805, MaskedWriteWithAnEmptyMaskRewritesTheRegister)
{
    run(2);
    selectDevice0();
    chip().setReg(0, 0x6E, 0x5A);
    chip().clearWrites();
    EXPECT_EQ(src().ite6805->rdwr().hdmirxset(0x6E, 0x00, 0xFF, 0), 0);
    ASSERT_EQ(chip().writes().size(), 1u);
    EXPECT_EQ(chip().writes()[0].value, 0x5A);
}

// Pixel repetition from 0x1B bits 5:4; bank 1 0xB0 bit 0 then follows the
// lane count, whatever the clock per repeated pixel gave.
TEST_F(It6805, PixelRepetitionIsReadAndTheLaneCountDecidesTheOutputBit)
{
    run(2);
    selectDevice0();
    struct Case { uint8_t r1b; uint8_t repetition; uint8_t lanes; uint8_t b0; };
    const Case cases[] = {{0x10, 2, 0, 0}, {0x30, 4, 1, 1}, {0x20, 1, 0, 0}, {0x00, 1, 3, 1}};
    for (const Case& c : cases) {
        chip().setReg(0, 0x1B, c.r1b);
        state().iTE6805_VidTiming.PCLK = 148500;
        state().iTE6805_DATA.VBO_LaneCount = c.lanes;
        src().ite6805->drv().iTE6805_Set_1B0_By_PixelClock(0);
        EXPECT_EQ(state().iTE6805_DATA.pixelRepetition, c.repetition) << std::hex << int(c.r1b);
        EXPECT_EQ(chip().reg(1, 0xB0) & 0x01, c.b0) << std::hex << int(c.r1b);
    }
}

TEST_F(It6805, AudioChannelCountFollowsTheLayout)
{
    run(2);
    selectDevice0();
    struct Case { uint8_t b0, b1, channels; };
    // From 6 channels: an unknown layout leaves the count as it was.
    const Case cases[] = {{0x00, 0x01, 2}, {0x00, 0x03, 4}, {0x00, 0x07, 6}, {0x00, 0x0F, 8}, {0x00, 0x1F, 10},
                          {0x00, 0x3F, 12}, {0x40, 0x0F, 2}, {0x00, 0x05, 6}};
    for (const Case& c : cases) {
        state().iTE6805_DATA.audioChannels = 6;
        chip().setReg(0, 0xB0, c.b0);
        chip().setReg(0, 0xB1, c.b1);
        src().ite6805->drv().iTE6805_Show_AUD_Info(0);
        EXPECT_EQ(state().iTE6805_DATA.audioChannels, c.channels) << std::hex << int(c.b0) << " " << int(c.b1);
    }
}

// ---- measurement arithmetic ------------------------------------------------------------------

TEST(It6805Measure, ZeroCountsGiveZeroAndLargeProductsDoNotOverflow)
{
    EXPECT_EQ(ite6805_drv::tmdsFromCounts(20000, 1, 1024, 0), 0u);
    EXPECT_EQ(ite6805_drv::pclkFromCounts(20000, 0), 0u);
    EXPECT_EQ(ite6805_drv::frameRate(148500, 0, 1125), 0u);
    EXPECT_EQ(ite6805_drv::samplingFrequency(148500, 6144, 0), 0);
    // 1080p: 148.5 MHz over 2200 x 1125 is 60 Hz; the count sum 1379 of a
    // 20 MHz reference measures 148513 kHz.
    EXPECT_EQ(ite6805_drv::pclkFromCounts(20000, 1379), 148513u);
    EXPECT_EQ(ite6805_drv::frameRate(148513, 2200, 1125), 60u);
    EXPECT_EQ(ite6805_drv::frameRate(148500, 2640, 1125), 50u);
    // A tiny count sum: 1000 x PCLK needs 64 bits.
    EXPECT_EQ(ite6805_drv::frameRate(204800000, 2200, 1125), 82747u);
    // 192 kHz at 594 MHz: TMDS x N is above 2^32.
    EXPECT_EQ(ite6805_drv::samplingFrequency(594000, 24576, 594000), 192);
    EXPECT_EQ(ite6805_drv::samplingFrequency(148500, 6144, 148500), 48);
}

TEST(It6805Measure, SamplingFrequencyCodes)
{
    const std::pair<uint16_t, int> cases[] = {{32, 3}, {44, 0}, {48, 2}, {88, 8}, {96, 10}, {176, 12}, {192, 14},
                                              {768, 9}, {25, -1}, {210, -1}};
    for (const auto& [khz, code] : cases)
        EXPECT_EQ(ite6805_drv::samplingFrequencyCode(khz), code) << khz;
}

TEST_F(It6805, MeasuringWithoutAClockGivesZeroAndOneLane)
{
    run(2);  // initialised, nothing plugged
    uint8_t ch = 0x20;
    ASSERT_EQ(src().i2c->i2c_write(src().i2c_fd, tarvosource::kReceiverSwitch, 0, &ch, 1), 1);
    src().ite6805->drv().iTE6805_Get_VID_Info(0);
    EXPECT_EQ(state().iTE6805_VidTiming.TMDSCLK, 0u);
    EXPECT_EQ(state().iTE6805_VidTiming.PCLK, 0u);
    EXPECT_EQ(state().iTE6805_VidTiming.FrameRate, 0u);
    src().ite6805->iTE6807_Video_Output_Setting(0);
    EXPECT_EQ(state().iTE6805_DATA.VBO_LaneCount, 0);
}

} // namespace
} // namespace kel::test
