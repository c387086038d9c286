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
    EXPECT_EQ(sim().source(2).spec().timing.pclkKHz, 118760u);
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
