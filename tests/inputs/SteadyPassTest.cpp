#include "inputs/InputBoardFixture.h"

#include "inputs/EdidBlock.h"
#include "inputs/it66121_sys.h"
#include "inputs/ite6805_sys.h"
#include "inputs/tarvo_it6602.h"
#include "inputs/tarvosource.h"
#include "params/KelRamPara.h"
#include "params/RamLayout.h"
#include "params/global.h"
#include "platform/sim/SimEdidEeprom.h"
#include "platform/sim/SimGpioLines.h"
#include "platform/sim/SimI2cBus.h"
#include "platform/sim/SimI2cSwitch.h"
#include "platform/sim/SimInputBoard.h"
#include "platform/sim/SimInputPort.h"
#include "platform/sim/SimIt6805.h"
#include "platform/sim/SimVideoSource.h"
#include "platform/sim/SimRegisterChip.h"
#include "platform/Board.h"
#include "platform/RegisterWindow.h"
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimRegisterMemory.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

using kel::platform::sim::SimInputBoard;

namespace kel::test {
namespace {

const uint8_t kTable[63] = {
    0x00, 0x00, 0x11, 0x32, 0x7B, 0x53, 0xEC, 0x01, 0x19, 0x52, 0xF2, 0x06, 0x63, 0x24, 0xC7, 0x13,
    0x00, 0x30, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x24, 0x03, 0x11, 0x33, 0x38, 0x80, 0x04,
    0x00, 0x00, 0x74, 0x74, 0x90, 0x7D, 0x69, 0xE1, 0xA0, 0xEF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0xF3, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC3, 0xC2, 0x00, 0x00, 0x00, 0x00, 0x05};

class SteadyPass : public InputBoardFixture {
protected:
    void SetUp() override
    {
        InputBoardFixture::SetUp();
        ASSERT_TRUE(runUntilState(tarvosource::kSteady));
        run(2);  // the 0xD0 chip is set up
    }
    uint8_t* block() { return store().RamBlock; }
    void setEdidRecord(int input, uint16_t w, uint16_t h, uint16_t r)
    {
        const size_t rec = RamLayout::edidRecord(input);
        RamLayout::setU16(block(), rec, w);
        RamLayout::setU16(block(), rec + 2, h);
        RamLayout::setU16(block(), rec + 4, r);
    }
    // The receiver-switch channels written since the log was cleared.
    std::vector<uint8_t> receiverChannels()
    {
        std::vector<uint8_t> out;
        for (auto& m : sim().bus().log())
            if (m.addr == SimInputBoard::kReceiverSwitch && !m.read && !m.data.empty())
                out.push_back(m.data.back());
        return out;
    }
    void startLog()
    {
        sim().bus().clearLog();
        sim().bus().setLogging(true);
        sim().clearTransfers();
    }
    // Hot-plug writes of the IT6805s (bank 3 register 0xAB; the driver
    // writes 0xAB in no other bank): the channel and bits 7:6.
    struct HpdWrite { uint8_t channel; int bits; };
    std::vector<HpdWrite> hpdWrites()
    {
        std::vector<HpdWrite> out;
        for (const auto& t : sim().transfers())
            if (t.addr == platform::sim::SimIt6805::kMainPage && t.ok && t.written.size() == 2 && t.written[0] == 0xAB)
                out.push_back({t.receiverChannels, t.written[1] >> 6});
        return out;
    }
    // Whether the chip on a channel had its ChipID read (initialisation).
    bool chipIdRead(uint8_t channel)
    {
        for (const auto& t : sim().transfers())
            if (t.addr == platform::sim::SimIt6805::kMainPage && t.ok && t.receiverChannels == channel &&
                t.written.size() == 1 && t.written[0] == 0x04 && t.readLength == 1)
                return true;
        return false;
    }
};

TEST_F(SteadyPass, S5p210TableReachesTheChipInOrderAndReleasesFpga0)
{
    const auto log = sim().s5p210().writeLog();
    ASSERT_EQ(log.size(), 63u);
    for (int r = 0; r < 63; ++r) {
        EXPECT_EQ(log[r].first, r);
        EXPECT_EQ(log[r].second, kTable[r]) << "register " << r;
    }
    EXPECT_EQ(sim().s5p210().transfers(), 63u);  // one byte per transfer
    for (const auto& t : sim().transfers()) {
        if (t.addr == SimInputBoard::kS5p210) {
            EXPECT_EQ(t.edidChannels, 0x80);
        }
    }
    EXPECT_EQ(src().s5p210_state[0], 2);
    EXPECT_EQ(src().s5p210_done[0], 1);
    EXPECT_EQ(reg(38) & 0x80, 0x80);
    EXPECT_EQ(sim().gpio().level(SimInputBoard::kFpga0Reset), 16);
    run(5);
    EXPECT_EQ(sim().s5p210().writeLog().size(), 63u);
}

class S5p210Faults : public InputBoardFixture {};

TEST_F(S5p210Faults, RefusedByteIsRetriedOnTheNextPass)
{
    ASSERT_TRUE(runUntilState(tarvosource::kSteady));
    sim().bus().failNext(SimInputBoard::kS5p210, 1);
    run(1);
    EXPECT_EQ(src().s5p210_state[0], 0);
    EXPECT_EQ(sim().gpio().level(SimInputBoard::kFpga0Reset), 0);
    run(2);
    EXPECT_EQ(src().s5p210_state[0], 2);
    EXPECT_EQ(sim().gpio().level(SimInputBoard::kFpga0Reset), 16);
}

TEST_F(S5p210Faults, AbsentChipKeepsTheFpgaSideWaiting)
{
    sim().s5p210().setPresent(false);
    ASSERT_TRUE(runUntilState(tarvosource::kSteady));
    run(10);
    EXPECT_EQ(src().s5p210_state[0], 0);
    EXPECT_EQ(reg(38) & 0x80, 0);
    EXPECT_EQ(sim().gpio().level(SimInputBoard::kFpga0Reset), 0);
}

TEST_F(SteadyPass, RestartWritesTheEdidFirstAndRestartsInTheSameIteration)
{
    setEdidRecord(2, 1920, 1080, 50);
    plug(2, "vic:16");
    run(6);
    const unsigned before = sim().eeprom(2).pageWrites();
    const unsigned hpd = hpdDrops(2);
    src().request_restart(2);
    run(1);
    EXPECT_EQ(sim().eeprom(2).pageWrites(), before + 32);
    EXPECT_EQ(std::memcmp(eeprom(2).data(), src().edid.tarvo_default_edid_6602[2], 256), 0);
    EXPECT_EQ(eeprom(2)[0x36] | (eeprom(2)[0x37] << 8), 11876);
    EXPECT_EQ(src().source_restart_request[2], 0);
    EXPECT_EQ(src().source_edid_written[2], 1);
    EXPECT_EQ(hpdDrops(2), hpd + 1);
    EXPECT_EQ(sim().port().value() & 0x01, 0x01);
    EXPECT_EQ(sim().gpio().level(SimInputBoard::kEdidWp), 16);
    EXPECT_EQ(reg(38) & 0x02, 0x02);
}

TEST_F(SteadyPass, FactoryResetRestartsWrittenInputsWithoutRewriting)
{
    for (int k = 0; k < 4; ++k)
        plug(k, "vic:4");
    run(6);
    for (int k = 0; k < 6; ++k)
        src().source_edid_written[k] = 1;
    std::array<unsigned, 6> before;
    for (int k = 0; k < 6; ++k) {
        before[k] = sim().eeprom(k).pageWrites();
        src().source_restart_request[k] = 1;
    }
    for (int d = 0; d < 2; ++d)
        sim().it6805(d).clearWrites();
    unsigned hpd = 0;
    for (int k = 0; k < 4; ++k)
        hpd += hpdDrops(k);
    run(1);
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(sim().eeprom(k).pageWrites(), before[k]);
        EXPECT_EQ(src().source_restart_request[k], 0);
    }
    unsigned after = 0;
    for (int k = 0; k < 4; ++k)
        after += hpdDrops(k);
    EXPECT_EQ(after, hpd + 4);
    // Both IT6805s drop hot-plug (no +5 V: released) and are initialised
    // again (the table's first write).
    for (int d = 0; d < 2; ++d) {
        const auto w = sim().it6805(d).writes();
        EXPECT_TRUE(std::any_of(w.begin(), w.end(), [](const auto& x) { return x.bank == 3 && x.reg == 0xAB && (x.value >> 6) == 0; }));
        EXPECT_TRUE(std::any_of(w.begin(), w.end(), [](const auto& x) { return x.bank == 0 && x.reg == 0x22 && x.value == 0x08; }));
    }
}

TEST_F(SteadyPass, PollingNeverRestartsAnInputWhoseEdidIsStillToBeWritten)
{
    plug(3, "vic:16");
    run(6);
    src().source_restart_request[3] = 1;
    src().source_edid_written[3] = 0;
    const unsigned hpd = hpdDrops(3);
    src().sourcecheck(&src());
    EXPECT_EQ(src().source_restart_request[3], 1);
    EXPECT_EQ(hpdDrops(3), hpd);
}

TEST_F(SteadyPass, ChangePostedDuringTheEdidWriteIsWrittenOnTheNextPass)
{
    auto window = platform::Board::newRegisterWindow();
    ASSERT_TRUE(window->open());
    bool posted = false;
    // The operator changes the timing again while the EEPROM is written.
    src().gpio.setWriter([&](uint32_t offset, uint16_t value) {
        if (offset == SimInputBoard::kEdidWp && value == 0 && !posted) {
            posted = true;
            setEdidRecord(2, 1920, 1080, 59);
            src().request_restart(2);
        }
        window->write16(offset, value);
    });
    setEdidRecord(2, 1920, 1080, 50);
    src().request_restart(2);
    run(1);
    ASSERT_TRUE(posted);
    EXPECT_EQ(src().source_edid_written[2], 0) << "the new change still waits";
    EXPECT_EQ(src().source_restart_request[2], 1);
    run(1);
    EXPECT_EQ(src().source_edid_written[2], 1);
    EXPECT_EQ(eeprom(2)[0x36] | (eeprom(2)[0x37] << 8), 59 * 2080 * 1142 / 10000);
}

TEST_F(SteadyPass, HostEdidIsSentOnceThenTheRecordIsUsed)
{
    uint8_t host[256];
    std::memcpy(host, src().edid.edid_table_4k[7], 256);
    host[0x10] = 0x33;
    EdidBlock::setChecksum(host);
    std::memcpy(src().edid_ram_table[4], host, 256);
    src().edid_ram_table_from[4] = 1;
    setEdidRecord(4, 1280, 720, 60);
    src().request_restart(4);
    run(1);
    EXPECT_EQ(std::memcmp(eeprom(4).data(), host, 256), 0);
    EXPECT_EQ(src().edid_ram_table_from[4], 0);
    src().request_restart(4);
    run(1);
    EXPECT_EQ(std::memcmp(eeprom(4).data(), src().edid.edid_table_4k[0], 256), 0);
    EXPECT_EQ(eeprom(4)[10], 0x14);
    EXPECT_EQ(eeprom(4)[11], 0x00);
}

TEST_F(SteadyPass, FailedCustomWriteClearsTheInputsEdidBitButStillRestarts)
{
    sim().eeprom(4).setStuck(true);
    setEdidRecord(4, 1920, 1080, 60);
    ASSERT_EQ(reg(38) & 0x08, 0x08);
    src().request_restart(4);
    startLog();
    run(1);
    EXPECT_EQ(reg(38) & 0x08, 0);
    EXPECT_EQ(src().source_edid_written[4], 1);
    EXPECT_EQ(src().source_restart_request[4], 0);
    ASSERT_FALSE(hpdWrites().empty());
    EXPECT_EQ(hpdWrites()[0].channel, 0x20);
    // A later write that sticks leaves the bit as it found it: clear (the
    // host's setting is never overruled).
    sim().eeprom(4).setStuck(false);
    src().request_restart(4);
    run(1);
    EXPECT_EQ(std::memcmp(eeprom(4).data(), src().edid.edid_table_4k[3], 256), 0);
    EXPECT_EQ(reg(38) & 0x08, 0);
}

struct AudioCase {
    const char* name;
    int window;           // audio_image_index
    int recordWindow;     // window whose record is set up
    bool audioOn;
    uint16_t selector;
    int cropRow;          // -1: none
    uint16_t rowSelector;
    uint8_t bits;
};

class AudioRoute : public SteadyPass, public ::testing::WithParamInterface<AudioCase> {};

TEST_P(AudioRoute, WritesTheMappedBitsToThePort)
{
    const AudioCase& c = GetParam();
    block()[2112] = static_cast<uint8_t>(c.window);
    const size_t rec = RamLayout::imageRecord(c.recordWindow);
    block()[rec + 21] = c.audioOn ? 0x80 : 0x00;
    RamLayout::setU16(block(), rec + RamLayout::kImgSelector, c.selector);
    if (c.cropRow >= 0)
        RamLayout::setU16(block(), RamLayout::cropRow(c.cropRow), c.rowSelector);
    src().audio_route_request = 1;
    run(1);
    EXPECT_EQ(src().audio_select_bits, c.bits) << c.name;
    EXPECT_EQ(sim().port().value(), c.bits | 0x01) << c.name;
    EXPECT_EQ(src().audio_route_request, 0);
}

std::string audioName(const ::testing::TestParamInfo<AudioCase>& info)
{
    std::string n = info.param.name;
    for (char& c : n)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return n;
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, AudioRoute,
    ::testing::Values(AudioCase{"input0", 1, 1, true, 0, -1, 0, 0x80}, AudioCase{"input1", 1, 1, true, 1, -1, 0, 0x40},
                      AudioCase{"input2", 1, 1, true, 2, -1, 0, 0x20}, AudioCase{"input3", 1, 1, true, 3, -1, 0, 0x10},
                      AudioCase{"input4", 1, 1, true, 4, -1, 0, 0x04}, AudioCase{"input5", 1, 1, true, 5, -1, 0, 0x08},
                      AudioCase{"other input", 1, 1, true, 9, -1, 0, 0x00},
                      AudioCase{"stray high bits of an uncropped selector", 1, 1, true, 0x0302, -1, 0, 0x20},
                      AudioCase{"audio off", 1, 1, false, 2, -1, 0, 0x00},
                      AudioCase{"crop row follows its input", 2, 2, true, 0x8007, 7, 0x8003, 0x10},
                      AudioCase{"crop row input 10", 2, 2, true, 0x8007, 7, 0x800A, 0x00},
                      AudioCase{"crop row input in its low four bits", 2, 2, true, 0x8007, 7, 0x8512, 0x20},
                      AudioCase{"crop row beyond the table", 2, 2, true, 0x8000 | 45, -1, 0, 0x00},
                      AudioCase{"window index 6 counts as window 0", 6, 0, true, 5, -1, 0, 0x08},
                      AudioCase{"window index 200 counts as window 0", 200, 0, true, 1, -1, 0, 0x40}),
    audioName);

TEST_F(SteadyPass, FailedAudioPortWriteKeepsTheRequest)
{
    src().audio_route_request = 1;
    sim().bus().failNext(SimInputBoard::kPort, 1);
    run(1);
    EXPECT_EQ(src().audio_route_request, 1);
    run(1);
    EXPECT_EQ(src().audio_route_request, 0);
}

TEST_F(SteadyPass, SdiReceiverResetPulseLastsAtLeastSixteenTicks)
{
    run(2);  // the SDI bring-up with its own pulse is done
    sim().gpio().clear();
    board().registers().poke(SimInputBoard::kGs2971Reset, 1);  // idle high
    sim().gpio().setTickSource([] { return G_timeTicks.load(); });
    src().gpio_pulse_request = 1;
    for (int guard = 0; src().gpio_pulse_request == 1 && guard < 100; ++guard)
        run(1);
    const auto edges = sim().gpio().edges(SimInputBoard::kGs2971Reset);
    ASSERT_EQ(edges.size(), 2u);
    EXPECT_EQ(edges[0].to, 0);
    EXPECT_EQ(edges[1].to, 1);
    EXPECT_GE(edges[1].tick - edges[0].tick, 16u);
    EXPECT_LE(edges[1].tick - edges[0].tick, 17u);
    EXPECT_EQ(src().gpio_pulse_stage, 0);
}

struct HpdCase {
    uint8_t reg0;
    uint8_t channel;
    int level;
    int dev;
};

class Reg0Hotplug : public SteadyPass, public ::testing::WithParamInterface<HpdCase> {};

TEST_P(Reg0Hotplug, ActsOnTheRightIt6805ChannelAndComesBack)
{
    const HpdCase& c = GetParam();
    // A source gives the chips +5 V, so the level shows in bits 7:6.
    platform::sim::SimVideoSource::Output output;
    ASSERT_TRUE(platform::sim::SimVideoSource::parse("vic:16", &output));
    sim().source(4).plug(output);
    sim().source(5).plug(output);
    startLog();
    setReg(0, c.reg0);
    run(1);
    const std::vector<uint8_t> ch = receiverChannels();
    // Input 0's channel, the device's channel for the call, back to input 0.
    ASSERT_GE(ch.size(), 3u);
    EXPECT_EQ(ch[0], 0x01);
    EXPECT_EQ(ch[1], c.channel);
    EXPECT_EQ(ch[2], 0x01);
    const std::vector<HpdWrite> w = hpdWrites();
    ASSERT_FALSE(w.empty());
    EXPECT_EQ(w[0].channel, c.channel);
    EXPECT_EQ(w[0].bits, c.level ? 3 : 1);
    EXPECT_EQ(reg(0), 0);
}

INSTANTIATE_TEST_SUITE_P(Bits, Reg0Hotplug,
                         ::testing::Values(HpdCase{0x10, 0x10, 0, 1}, HpdCase{0x20, 0x10, 1, 1},
                                           HpdCase{0x40, 0x20, 0, 0}, HpdCase{0x80, 0x20, 1, 0}),
                         [](const ::testing::TestParamInfo<HpdCase>& info) {
                             return "bit" + std::to_string(__builtin_ctz(info.param.reg0));
                         });

TEST_F(SteadyPass, Reg0ResetBitsDriveTheIt6805LineAndRestartBothDevices)
{
    src().ite6805->set_device_state(0, 7);
    src().ite6805->set_device_state(1, 7);
    setReg(0, 0x04);
    run(1);
    EXPECT_EQ(sim().gpio().level(SimInputBoard::kIt6805Reset), 0);
    EXPECT_EQ(src().ite6805->device_state(0), 0);
    EXPECT_EQ(src().ite6805->device_state(1), 0);
    setReg(0, 0x08);
    run(1);
    EXPECT_EQ(sim().gpio().level(SimInputBoard::kIt6805Reset), 16);
}

TEST_F(SteadyPass, Reg32BitsActOnIt6805Device0AndItsResetLine)
{
    startLog();
    setReg(32, 0x01 | 0x20);
    run(1);
    const std::vector<uint8_t> ch = receiverChannels();
    ASSERT_GE(ch.size(), 2u);
    EXPECT_EQ(ch[0], 0x10);  // bit 5: device 1 on its own channel
    EXPECT_EQ(ch[1], 0x20);  // bit 0: device 0
    ASSERT_FALSE(hpdWrites().empty());
    EXPECT_EQ(hpdWrites()[0].channel, 0x10);
    EXPECT_TRUE(chipIdRead(0x20)) << "device 0 initialised";
    EXPECT_FALSE(chipIdRead(0x10));
    EXPECT_EQ(reg(32), 0);
    setReg(32, 0x04);
    run(1);
    EXPECT_EQ(sim().gpio().level(SimInputBoard::kIt6805Reset), 0);
    setReg(32, 0x02);
    run(1);
    EXPECT_EQ(sim().gpio().level(SimInputBoard::kIt6805Reset), 16);
    // An absent chip keeps the restarted state (it is not identified again).
    sim().it6805(0).setPresent(false);
    src().ite6805->set_device_state(0, 5);
    setReg(32, 0x10);
    run(1);
    EXPECT_EQ(src().ite6805->device_state(0), 0);
}

TEST_F(SteadyPass, EmptyInputMaskPollsNothingButStillStepsTheSdiPath)
{
    src().source_enable_mask = 0;
    startLog();
    ASSERT_LT(src().sdi_tx_state, 3);
    run(2);
    EXPECT_TRUE(receiverChannels().empty());
    EXPECT_EQ(src().sdi_tx_state, 3);
}

TEST_F(SteadyPass, MaskUsesTheChannelBitsOfTheInputs)
{
    src().source_enable_mask = 0x20;  // input 4
    startLog();
    run(1);
    EXPECT_EQ(receiverChannels(), std::vector<uint8_t>{0x20});
    EXPECT_EQ(reg(38) & 0x20, 0x20);
}

TEST_F(SteadyPass, SdiBringUpStopsAfterTenFailedTests)
{
    restartWithScenario({{"it66121_present", "no"}});
    ASSERT_TRUE(runUntilState(tarvosource::kSteady));
    run(40);
    EXPECT_EQ(src().it66121->probe_fail_count, 10u);
    EXPECT_EQ(reg(37) & 0x02, 0);
}

TEST_F(SteadyPass, InputTimingIsPublishedOnlyOnceTheOutputAndScalerAreUp)
{
    uint8_t* info = block() + RamLayout::srcVideoInfo(0);
    std::memset(info, 0xAB, 36);
    src().hdminfo[4].signal = 0;
    g_source_online = 1;
    run(1);
    EXPECT_EQ(g_source_online, 1);
    g_fpga_lcd_on = 1;
    run(1);
    EXPECT_EQ(g_source_online, 1);
    g_c331_source_online = 1;
    run(1);
    EXPECT_EQ(g_source_online, 2);
    EXPECT_EQ(info[0], 0xAB);                       // input 0: no signal, kept
    EXPECT_EQ(info[6 * 4], 0x00);                   // input 4: written
    EXPECT_EQ(info[6 * 5 + 4], 0xAB);
}

TEST(VideoRefresh, RoundsAndGuardsTheDivision)
{
    EXPECT_EQ(tarvosource::stored_refresh(54), 54);
    EXPECT_EQ(tarvosource::stored_refresh(55), 60);
    EXPECT_EQ(tarvosource::stored_refresh(75), 60);
    EXPECT_EQ(tarvosource::stored_refresh(0), 0);
    EXPECT_EQ(tarvosource::it6602_refresh(148, 2200, 1125), 59u);
    EXPECT_EQ(tarvosource::it6602_refresh(148, 0, 1125), 0u);
    EXPECT_EQ(tarvosource::it6602_refresh(148, 2200, 0), 0u);
}

TEST_F(SteadyPass, Cdce913GetsItsBlockInOneWrite)
{
    const uint8_t block33[33] = {0xCA, 0x81, 0x00, 0xB4, 0x07, 0x02, 0x50, 0x40, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                 0,    0,    0,    0,    0x0D, 0x02, 0x00, 0x00, 0xE4, 0x61, 0x23, 0xCB,
                                 0xE4, 0x61, 0x23, 0xCB};
    src().cdce913_setup(0);
    EXPECT_EQ(src().cdce913_state, 2);
    EXPECT_EQ(sim().cdce913().transfers(), 1u);
    const auto dump = sim().cdce913().dump();
    EXPECT_EQ(std::memcmp(dump.data(), block33, 33), 0);
    src().cdce913_setup(0);
    EXPECT_EQ(src().cdce913_ready, 1);
}

TEST_F(SteadyPass, Cdce913AbsentStaysInTheFirstState)
{
    sim().cdce913().setPresent(false);
    src().cdce913_setup(0);
    EXPECT_EQ(src().cdce913_state, 0);
    EXPECT_EQ(src().cdce913_ready, 0);
}

} // namespace
} // namespace kel::test
