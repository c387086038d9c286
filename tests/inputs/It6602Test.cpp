#include "inputs/InputBoardFixture.h"

#include "inputs/It6602Tables.h"
#include "inputs/tarvo_it6602.h"
#include "inputs/tarvosource.h"
#include "params/KelRamPara.h"
#include "params/RamLayout.h"
#include "params/SyncReason.h"
#include "params/global.h"
#include "platform/sim/SimI2cBus.h"
#include "platform/sim/SimI2cSwitch.h"
#include "platform/sim/SimInputBoard.h"
#include "platform/sim/SimIt6602.h"
#include "platform/sim/SimVideoSource.h"

#include <QSignalSpy>

#include <algorithm>
#include <array>
#include <cmath>

using kel::platform::sim::SimInputBoard;
using kel::platform::sim::SimIt6602;

namespace kel::test {
namespace {

class It6602 : public InputBoardFixture {
protected:
    void SetUp() override
    {
        InputBoardFixture::SetUp();
        ASSERT_TRUE(runUntilState(tarvosource::kSteady));
        run(2);
        // The LED side and the scaler are up: on-screen inputs publish at once.
        g_fpga_lcd_on = 1;
        g_c331_source_online = 1;
    }
    tarvo_it6602& drv() { return *src().it6602; }
    SimIt6602& chip(int k) { return sim().it6602(k); }
    // Runs passes until the input's receiver is in VSTATE_VideoOn.
    bool runToVideoOn(int input, int maxPasses = 20)
    {
        for (int i = 0; i < maxPasses; ++i) {
            if (drv().get_IT6602_dev_data(input).m_VState == tarvo_it6602::VSTATE_VideoOn)
                return true;
            run(1);
        }
        return drv().get_IT6602_dev_data(input).m_VState == tarvo_it6602::VSTATE_VideoOn;
    }
    std::array<uint8_t, 6> srcVideoInfo(int input)
    {
        std::array<uint8_t, 6> out;
        std::copy_n(store().RamBlock + RamLayout::srcVideoInfo(input), 6, out.begin());
        return out;
    }
    // Writes of one register to input k's receiver (bank as the log shows it).
    // Equaliser values written to port 0 (register 0x27) after the
    // initialisation table's last write.
    std::vector<uint8_t> eqWrites(int input)
    {
        std::vector<uint8_t> all = regWrites(input, 0, 0x27), out;
        for (uint8_t v : all)
            if (v == 0x1F)
                out.clear();
            else
                out.push_back(v);
        return out;
    }
    std::vector<uint8_t> regWrites(int input, int bankNo, uint8_t reg)
    {
        std::vector<uint8_t> out;
        uint8_t bank = 0;
        for (const auto& t : sim().transfers()) {
            if (t.addr != 0x48 || !t.ok || t.receiverChannels != tarvosource::i2c_switch_channel[input] ||
                t.written.size() != 2)
                continue;
            if (t.written[0] == 0x0F)
                bank = t.written[1] & 3;
            else if (t.written[0] == reg && bank == bankNo)
                out.push_back(t.written[1]);
        }
        return out;
    }
};

TEST_F(It6602, PlugReachesVideoOnAndPublishesTheTimingUnplugClearsIt)
{
    QSignalSpy spy(&store(), &KelRamPara::sig_update_para);
    plug(2, "vic:16");
    ASSERT_TRUE(runToVideoOn(2));
    {
        const SourceHdmiInfo& h = src().hdminfo[2];
        EXPECT_EQ(h.signal, 0u);
        EXPECT_EQ(h.stable, 1u);
        // CTA-861 VIC 16: 1920 (88, 44, 148) x 1080 (4, 5, 36), both positive.
        EXPECT_EQ(h.Hact, 1920u);
        EXPECT_EQ(h.Htotal, 2200u);
        EXPECT_EQ(h.Hsync, 44u);
        EXPECT_EQ(h.Hback, 148u);
        EXPECT_EQ(h.Vact, 1080u);
        EXPECT_EQ(h.Vtotal, 1125u);
        EXPECT_EQ(h.Vsync, 5u);
        EXPECT_EQ(h.Vback, 36u);
        EXPECT_EQ(h.Hpol, 1u);
        EXPECT_EQ(h.Vpol, 1u);
        EXPECT_EQ(h.IP, 0u);
        EXPECT_NEAR(h.pfreq, 148.5, 0.01);  // 48 kHz audio: CTS = TMDS kHz
    }
    run(1);  // the delayed update of an on-screen input
    EXPECT_EQ(srcVideoInfo(2), (std::array<uint8_t, 6>{0x80, 0x07, 0x38, 0x04, 60, 0}));
    EXPECT_EQ(g_source_online, 2);
    EXPECT_EQ(reg(37) & 0x08, 0x08);
    EXPECT_EQ(chip(2).hotPlug(), 3);
    // Audio: requested at video on, ready, on three passes later.
    EXPECT_EQ(drv().get_IT6602_dev_data(2).m_AState, tarvo_it6602::ASTATE_WaitForReady);
    run(3);
    EXPECT_EQ(drv().get_IT6602_dev_data(2).m_AState, tarvo_it6602::ASTATE_AudioOn);

    spy.clear();
    sim().source(2).unplug();
    run(2);
    EXPECT_EQ(src().hdminfo[2].signal, 1u);
    EXPECT_EQ(src().hdminfo[2].Hact, 0u);
    EXPECT_EQ(src().hdminfo[2].Vtotal, 0u);
    EXPECT_NEAR(src().hdminfo[2].pfreq, 148.5, 0.01);  // kept
    EXPECT_EQ(srcVideoInfo(2), (std::array<uint8_t, 6>{}));
    EXPECT_GE(spy.count(), 1);
    EXPECT_EQ(spy.first().at(0).toInt(), SYNC_INPUT_INFO);
    EXPECT_EQ(chip(2).hotPlug(), 0);
}

TEST_F(It6602, OffScreenInputPublishesAtOnceAndRefreshFollowsTheClock)
{
    // Window 0 shows input 2: input 1 is not on screen.
    const struct { const char* source; uint16_t w, h; uint8_t hz; } cases[] = {
        {"vic:4", 1280, 720, 60}, {"vic:31", 1920, 1080, 50}, {"vic:32", 1920, 1080, 24},
        {"vic:1", 640, 480, 60}, {"dmt:0x10", 1024, 768, 60},
    };
    for (const auto& c : cases) {
        plug(1, c.source);
        ASSERT_TRUE(runToVideoOn(1)) << c.source;
        const auto info = srcVideoInfo(1);
        EXPECT_EQ(info[0] | info[1] << 8, c.w) << c.source;
        EXPECT_EQ(info[2] | info[3] << 8, c.h) << c.source;
        EXPECT_EQ(info[4], c.hz) << c.source;
        sim().source(1).unplug();
        run(2);
    }
}

TEST_F(It6602, FollowEdidRestartPublishesTheCustomTiming)
{
    plug(2, "edid");
    ASSERT_TRUE(runToVideoOn(2));
    run(1);
    EXPECT_EQ(srcVideoInfo(2)[4], 60);
    // A custom 1920x1080@50 EDID: the board manager writes it and restarts.
    const size_t rec = RamLayout::edidRecord(2);
    RamLayout::setU16(store().RamBlock, rec, 1920);
    RamLayout::setU16(store().RamBlock, rec + 2, 1080);
    RamLayout::setU16(store().RamBlock, rec + 4, 50);
    src().request_restart(2);
    run(1);
    EXPECT_NE(drv().get_IT6602_dev_data(2).m_VState, tarvo_it6602::VSTATE_VideoOn);
    ASSERT_TRUE(runToVideoOn(2));
    EXPECT_EQ(sim().source(2).output().timing.pclkKHz, 118760u);
    EXPECT_EQ(src().hdminfo[2].Htotal, 2080u);
    EXPECT_EQ(src().hdminfo[2].Vtotal, 1142u);
    g_source_online = 2;  // published inputs update at once
    src().request_restart(2);
    run(1);
    ASSERT_TRUE(runToVideoOn(2));
    EXPECT_EQ(srcVideoInfo(2), (std::array<uint8_t, 6>{0x80, 0x07, 0x38, 0x04, 50, 0}));
}

TEST_F(It6602, IdentificationAbsenceAndFailureCounts)
{
    // Input 1 absent: two failures per call; input 0's chip at 0x94: one.
    restartManager();
    chip(1).setPresent(false);
    chip(0).setPresent(false);
    platform::sim::SimVideoSource none;
    SimIt6602 at94(none, {});
    sim().receiverSwitch().attach(0x01, 0x4A, &at94);
    sim().receiverSwitch().setControl(0x01);
    EXPECT_EQ(drv().IT6602_fsm_init(0), 1);
    EXPECT_EQ(drv().IT6602_fail_count[0], 1);
    EXPECT_EQ(drv().chip_addr, 0x94);
    EXPECT_EQ(reg(37) & 0x01, 0x01);
    sim().receiverSwitch().setControl(0x02);
    EXPECT_EQ(drv().IT6602_fsm_init(1), 0);
    EXPECT_EQ(drv().IT6602_fail_count[1], 2);
    EXPECT_EQ(reg(37) & 0x04, 0);
    EXPECT_EQ(drv().IT6602_fsm_init(1), 0);
    EXPECT_EQ(drv().IT6602_fail_count[1], 4);
    EXPECT_EQ(src().hdminfo[1].signal, 1u);
    sim().receiverSwitch().setControl(0x08);
    EXPECT_EQ(drv().IT6602_fsm_init(3), 1);
    EXPECT_EQ(drv().IT6602_fail_count[3], 0);
    EXPECT_EQ(drv().chip_addr, 0x90);
    EXPECT_EQ(reg(37) & 0x10, 0x10);
}

TEST(It6602Measurement, ZeroDivisorsGiveNoValue)
{
    EXPECT_EQ(tarvo_it6602::pixelClockMHz(0), 0u);
    EXPECT_EQ(tarvo_it6602::pixelClockMHz(21), 150u);
    EXPECT_EQ(tarvo_it6602::pixelClockMHz(26), 121u);
    const float none = tarvo_it6602::oscillatorEstimate(48696, 0);
    EXPECT_EQ(none, 0.0f);
    EXPECT_FALSE(std::isinf(none));
    EXPECT_NEAR(tarvo_it6602::oscillatorEstimate(48696, 21), 147.8, 0.1);
    EXPECT_TRUE(tarvo_it6602::OSCvalueCompare(4869600));
    EXPECT_FALSE(tarvo_it6602::OSCvalueCompare(0));
    EXPECT_FALSE(tarvo_it6602::OSCvalueCompare(2));
    EXPECT_EQ(tarvosource::it6602_refresh(150, 0, 1125), 0u);
}

} // namespace
} // namespace kel::test

namespace kel::test {
namespace {

using platform::sim::SimVideoSource;

// The 21-byte converter block: three offsets, then nine 14-bit two's-
// complement coefficients in units of 1/2048, little-endian, row by row.
std::array<double, 9> coefficients(const std::array<uint8_t, 21>& m)
{
    std::array<double, 9> c;
    for (int i = 0; i < 9; ++i) {
        int v = (m[3 + 2 * i] | m[4 + 2 * i] << 8) & 0x3FFF;
        if (v & 0x2000)
            v -= 0x4000;
        c[i] = v / 2048.0;
    }
    return c;
}

// Limited-range Y'CbCr to full-range R'G'B' with the ITU-R luma weights,
// rows G, R, B and columns Y, Cr, Cb as the converter takes them.
std::array<double, 9> ycbcrToRgb(double kr, double kb)
{
    const double kg = 1 - kr - kb, y = 255.0 / 219, c = 255.0 / 224;
    return {y, -2 * (1 - kr) * kr / kg * c, -2 * (1 - kb) * kb / kg * c,
            y, 2 * (1 - kr) * c,            0,
            y, 0,                           2 * (1 - kb) * c};
}

struct ColourCase {
    const char* name;
    const char* timing;
    SimVideoSource::ColorFormat color;
    SimVideoSource::Range range;
    SimVideoSource::Colorimetry colorimetry;
    SimVideoSource::Link link;
    uint8_t depth;
    enum { None, Bt709, Bt601, Expand } matrix;
    uint8_t reg65;  // bits 0..3: conversion and depth
    bool bt709Flag;
};

TEST_F(It6602, OutputColourFollowsTheAviInfoFrameOrTheDviClock)
{
    using C = SimVideoSource::ColorFormat;
    using R = SimVideoSource::Range;
    using K = SimVideoSource::Colorimetry;
    using L = SimVideoSource::Link;
    const ColourCase cases[] = {
        {"YUV 4:2:2 BT.709", "vic:16", C::Yuv422, R::Default, K::Bt709, L::Hdmi, 8, ColourCase::Bt709, 0x3, true},
        {"YUV 4:4:4 BT.601", "vic:2", C::Yuv444, R::Default, K::Bt601, L::Hdmi, 8, ColourCase::Bt601, 0x3, false},
        {"RGB limited", "vic:4", C::Rgb, R::Limited, K::None, L::Hdmi, 8, ColourCase::Expand, 0x2, false},
        {"RGB default VIC 16", "vic:16", C::Rgb, R::Default, K::None, L::Hdmi, 8, ColourCase::Expand, 0x2, false},
        {"RGB default VIC 1", "vic:1", C::Rgb, R::Default, K::None, L::Hdmi, 8, ColourCase::None, 0x0, false},
        {"RGB full 30 bit", "vic:16", C::Rgb, R::Full, K::None, L::Hdmi, 10, ColourCase::None, 0x4, false},
        {"RGB full 36 bit", "vic:4", C::Rgb, R::Full, K::None, L::Hdmi, 12, ColourCase::None, 0x8, false},
        {"DVI 40 MHz", "dmt:0x09", C::Rgb, R::Default, K::None, L::Dvi, 8, ColourCase::None, 0x0, false},
        {"DVI 148.5 MHz", "vic:16", C::Rgb, R::Default, K::None, L::Dvi, 8, ColourCase::None, 0x0, true},
    };
    for (const ColourCase& c : cases) {
        SCOPED_TRACE(c.name);
        SimVideoSource::Output s;
        ASSERT_TRUE(SimVideoSource::parse(c.timing, &s));
        s.color = c.color;
        s.range = c.range;
        s.colorimetry = c.colorimetry;
        s.link = c.link;
        s.bitsPerComponent = c.depth;
        const unsigned writes = chip(1).cscWrites();
        sim().source(1).plug(s);
        ASSERT_TRUE(runToVideoOn(1));
        EXPECT_EQ(chip(1).reg(0, 0x65) & 0x0F, c.reg65);
        EXPECT_EQ((drv().get_IT6602_dev_data(1).m_bInputVideoMode & 0x10) != 0, c.bt709Flag);
        EXPECT_EQ(chip(1).cscWrites(), writes + (c.matrix == ColourCase::None ? 0 : 1));
        const std::array<double, 9> got = coefficients(chip(1).csc());
        if (c.matrix == ColourCase::Bt709 || c.matrix == ColourCase::Bt601) {
            const auto want = c.matrix == ColourCase::Bt709 ? ycbcrToRgb(0.2126, 0.0722) : ycbcrToRgb(0.299, 0.114);
            for (int i = 0; i < 9; ++i)
                EXPECT_NEAR(got[i], want[i], 0.003) << "coefficient " << i;
        } else if (c.matrix == ColourCase::Expand) {
            for (int i = 0; i < 9; ++i)
                EXPECT_NEAR(got[i], i % 4 == 0 ? 255.0 / 219 : 0.0, 0.003) << "coefficient " << i;
            EXPECT_EQ(chip(1).reg(0, 0x68), 0xED);
            EXPECT_EQ(chip(1).reg(0, 0x67) & 0x78, 0x78);
        } else if (c.link == L::Hdmi) {
            EXPECT_EQ(chip(1).reg(0, 0x50) & 0x03, 0x02);
            EXPECT_EQ(chip(1).reg(0, 0x68), 0x00);
        }
        sim().source(1).unplug();
        run(2);
    }
}

// A clean link gives the search nothing better to find: it gives up, ends
// with the equaliser register released, and the video stays on. The search
// over, the recovery paths it holds off work again.
TEST_F(It6602, CleanLinkEqualiserGivesUpReleasedAndKeepsTheVideo)
{
    plug(1, "vic:16");
    ASSERT_TRUE(runToVideoOn(1));
    run(40);
    const tarvo_it6602::IT6602_eq_data& eq = drv().get_IT6602_dev_data(1).EQPort[0];
    EXPECT_EQ(eq.ucEQState, 255);
    EXPECT_EQ(eq.ucIsActive, 0);
    EXPECT_EQ(eqWrites(1), (std::vector<uint8_t>{}));
    EXPECT_EQ(drv().get_IT6602_dev_data(1).m_bEQValueInUse[0], 0);
    EXPECT_EQ(drv().get_IT6602_dev_data(1).m_VState, tarvo_it6602::VSTATE_VideoOn);
    EXPECT_EQ(src().hdminfo[1].signal, 0u);
    // Hot-plug low with +5 V present is level 1.
    auto lows = [&] { const auto w = regWrites(1, 1, 0xB0); return std::count(w.begin(), w.end(), 1); };
    // The 23rd ECC error cycles hot-plug.
    sim().clearTransfers();
    chip(1).injectEcc(30);
    run(32);
    EXPECT_EQ(lows(), 1);
    // Sync lost with the cable in: the pass that sees the loss counts the
    // first sync-less pass; the link is re-trained when the count exceeds 21.
    run(40);
    ASSERT_EQ(drv().get_IT6602_dev_data(1).m_VState, tarvo_it6602::VSTATE_VideoOn);
    ASSERT_EQ(eq.ucIsActive, 0);
    sim().clearTransfers();
    chip(1).dropScdt(true);
    int passes = 0;
    while (passes < 60 && lows() == 0) {
        run(1);
        ++passes;
    }
    EXPECT_EQ(lows(), 1);
    EXPECT_EQ(passes, 22);
}

// Error registers three or four reading 0xFF on more than 3 successive
// polling passes pulse register 0x11 bits 2..3, and the count starts again:
// the nine polling passes before the first judge give two pulses.
TEST_F(It6602, SaturatedErrorRegistersPulseTheReceiverEveryFourthPass)
{
    chip(1).setErrors({0, 0, 0xFF, 0, 0});
    plug(1, "vic:16");
    const tarvo_it6602::IT6602_eq_data& eq = drv().get_IT6602_dev_data(1).EQPort[0];
    for (int i = 0; i < 80 && eq.ucEQState != 21; ++i)
        run(1);
    ASSERT_EQ(eq.ucEQState, 21);
    sim().clearTransfers();
    for (int i = 0; i < 20 && eq.ucEQState > 20 && eq.ucEQState < 30; ++i)
        run(1);
    const auto w = regWrites(1, 0, 0x11);
    EXPECT_EQ(std::count_if(w.begin(), w.end(), [](uint8_t v) { return (v & 0x0C) == 0x0C; }), 2)
        << ::testing::PrintToString(w);
}

TEST_F(It6602, ErrorsForceTheThreeTrialsAndTheBestIsKept)
{
    chip(1).setErrors({0x40, 0, 0, 0, 0});
    plug(1, "vic:16");
    run(120);
    const tarvo_it6602::IT6602_eq_data& eq = drv().get_IT6602_dev_data(1).EQPort[0];
    EXPECT_EQ(eq.ucIsActive, 0);
    EXPECT_EQ(eq.ucEQState, 255);
    // Entries 0, 1, 2 tried; equal counts keep entry 2.
    const std::vector<uint8_t> writes = eqWrites(1);
    ASSERT_GE(writes.size(), 4u) << ::testing::PrintToString(writes) << " state " << int(eq.ucEQState);
    EXPECT_EQ(std::vector<uint8_t>(writes.begin(), writes.begin() + 3), (std::vector<uint8_t>{0xFF, 0x9F, 0x83}));
    EXPECT_EQ(writes.back(), 0x83);

    // The search over, ECC errors count: the 23rd cycles hot-plug.
    chip(1).setErrors({0, 0, 0, 0, 0});
    run(2);
    sim().clearTransfers();
    chip(1).injectEcc(22);
    run(26);
    // Hot-plug low with +5 V present is level 1.
    auto lows = [&] { const auto w = regWrites(1, 1, 0xB0); return std::count(w.begin(), w.end(), 1); };
    EXPECT_EQ(lows(), 0);
    chip(1).injectEcc(1);
    run(3);
    EXPECT_EQ(lows(), 1);
}

// Errors end the released phase and start the first trial; the link then
// stays clean through that trial, so at its end the judge keeps the first
// value: the next trial's value is never written.
TEST_F(It6602, ACleanTrialKeepsItsValue)
{
    chip(1).setErrors({0x40, 0, 0, 0, 0});
    plug(1, "vic:16");
    const tarvo_it6602::IT6602_eq_data& eq = drv().get_IT6602_dev_data(1).EQPort[0];
    for (int i = 0; i < 80 && !(eq.ucEQState > 30 && eq.ucEQState < 60); ++i)
        run(1);
    ASSERT_GT(eq.ucEQState, 30);
    chip(1).setErrors({0, 0, 0, 0, 0});
    run(40);
    EXPECT_EQ(eq.ucEQState, 255);
    EXPECT_EQ(eqWrites(1), (std::vector<uint8_t>{0xFF}));
    EXPECT_EQ(drv().get_IT6602_dev_data(1).m_bEQValueInUse[0], 1);
    EXPECT_EQ(drv().get_IT6602_dev_data(1).m_VState, tarvo_it6602::VSTATE_VideoOn);
}

// Sync lost with the cable still in: the input waits for sync with its
// output off and reported without signal; sync found again is checked for
// one more pass and then published again.
TEST_F(It6602, LossOfSyncTurnsTheOutputOffAndRegainedSyncPublishesAgain)
{
    plug(1, "vic:16");
    ASSERT_TRUE(runToVideoOn(1));
    run(3);
    const tarvo_it6602::IT6602_dev_data& d = drv().get_IT6602_dev_data(1);
    ASSERT_EQ(d.m_AState, tarvo_it6602::ASTATE_AudioOn);
    QSignalSpy spy(&store(), &KelRamPara::sig_update_para);
    chip(1).dropScdt(true);
    run(1);
    EXPECT_EQ(d.m_VState, tarvo_it6602::VSTATE_SyncWait);
    EXPECT_EQ(d.m_AState, tarvo_it6602::ASTATE_AudioOff);
    EXPECT_EQ(src().hdminfo[1].signal, 1u);
    EXPECT_EQ(srcVideoInfo(1), (std::array<uint8_t, 6>{}));
    ASSERT_GE(spy.count(), 1);
    EXPECT_EQ(spy.first().at(0).toInt(), SYNC_INPUT_INFO);
    EXPECT_EQ(chip(1).hotPlug(), 3);  // +5 V is still there: no reset

    chip(1).dropScdt(false);
    int checkingPasses = 0;
    for (int i = 0; i < 10 && d.m_VState != tarvo_it6602::VSTATE_VideoOn; ++i) {
        run(1);
        checkingPasses += d.m_VState == tarvo_it6602::VSTATE_SyncChecking;
    }
    EXPECT_EQ(checkingPasses, 1);  // countdown 101, 1, then video on
    ASSERT_EQ(d.m_VState, tarvo_it6602::VSTATE_VideoOn);
    EXPECT_EQ(srcVideoInfo(1), (std::array<uint8_t, 6>{0x80, 0x07, 0x38, 0x04, 60, 0}));
    EXPECT_EQ(src().hdminfo[1].signal, 0u);
}

// Before the LED side is up, an input on screen leaves its publication to
// the board manager's delayed update; an input off screen publishes at once.
TEST_F(It6602, OnScreenInputWaitsForTheDelayedUpdate)
{
    g_fpga_lcd_on = 0;
    g_source_online = 0;
    plug(2, "vic:16");
    ASSERT_TRUE(runToVideoOn(2));
    EXPECT_EQ(g_source_online, 1);
    EXPECT_EQ(srcVideoInfo(2), (std::array<uint8_t, 6>{}));
    plug(1, "vic:4");
    ASSERT_TRUE(runToVideoOn(1));
    EXPECT_EQ(srcVideoInfo(1), (std::array<uint8_t, 6>{0x00, 0x05, 0xD0, 0x02, 60, 0}));
    EXPECT_EQ(srcVideoInfo(2), (std::array<uint8_t, 6>{}));
    g_fpga_lcd_on = 1;
    run(1);
    EXPECT_EQ(g_source_online, 2);
    EXPECT_EQ(srcVideoInfo(2), (std::array<uint8_t, 6>{0x80, 0x07, 0x38, 0x04, 60, 0}));
}

TEST_F(It6602, FailedStatusReadActsOnNothing)
{
    plug(1, "vic:16");
    ASSERT_TRUE(runToVideoOn(1));
    sim().receiverSwitch().setControl(0x02);
    sim().bus().failNext(0x48, 1);
    EXPECT_EQ(drv().hdmirxrd_it6602(src().i2c_fd, 0x0A), 0);
    EXPECT_EQ(drv().hdmirxrd_it6602(src().i2c_fd, 0x00), 0x54);
}

} // namespace
} // namespace kel::test
