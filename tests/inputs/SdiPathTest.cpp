#include "inputs/InputBoardFixture.h"

#include "inputs/it66121_sys.h"
#include "inputs/tarvosource.h"
#include "params/global.h"
#include "platform/sim/SimGpioLines.h"
#include "platform/sim/SimI2cBus.h"
#include "platform/sim/SimInputBoard.h"
#include "platform/sim/SimIt66121.h"

#include <string>
#include <vector>

using kel::platform::sim::SimInputBoard;
using kel::platform::sim::SimIt66121;

namespace kel::test {
namespace {

struct Entry {
    uint8_t reg, mask, value;
};

// The seven initial tables in load order, without their waits.
const std::vector<Entry> kInitWrites = {
    // HDMITX_Init_Table
    {0x0F, 0x40, 0x00}, {0x62, 0x08, 0x00}, {0x64, 0x04, 0x00}, {0x04, 0x20, 0x20}, {0x04, 0x1D, 0x1D},
    {0x0F, 0x01, 0x00}, {0xD1, 0x0E, 0x0C}, {0x65, 0x03, 0x00}, {0x71, 0xFC, 0x1C}, {0x8D, 0xFF, 0x9C},
    {0x0F, 0x08, 0x08}, {0xF8, 0xFF, 0xC3}, {0xF8, 0xFF, 0xA5}, {0x20, 0x80, 0x80}, {0x37, 0x01, 0x00},
    {0x20, 0x80, 0x00}, {0xF8, 0xFF, 0xFF}, {0x5D, 0x03, 0x01}, {0x59, 0xD8, 0x40}, {0xE1, 0x20, 0x00},
    {0x05, 0xC0, 0x40}, {0x09, 0xFF, 0xFC}, {0x0A, 0xFF, 0xF8}, {0x0B, 0xFF, 0xF7}, {0x0C, 0xFF, 0xFF},
    {0x0D, 0xFF, 0xFF}, {0x0E, 0x03, 0x03}, {0x0C, 0xFF, 0x00}, {0x0D, 0xFF, 0x00}, {0x0E, 0x02, 0x00},
    {0x09, 0x03, 0x00}, {0x20, 0x01, 0x00},
    // HDMITX_DefaultVideo_Table
    {0x72, 0xFF, 0x00}, {0x70, 0xFF, 0x00}, {0x72, 0xFF, 0x02}, {0x73, 0xFF, 0x00}, {0x74, 0xFF, 0x80},
    {0x75, 0xFF, 0x00}, {0x76, 0xFF, 0xB8}, {0x77, 0xFF, 0x05}, {0x78, 0xFF, 0xB4}, {0x79, 0xFF, 0x01},
    {0x7A, 0xFF, 0x93}, {0x7B, 0xFF, 0x00}, {0x7C, 0xFF, 0x49}, {0x7D, 0xFF, 0x3C}, {0x7E, 0xFF, 0x18},
    {0x7F, 0xFF, 0x04}, {0x80, 0xFF, 0x9F}, {0x81, 0xFF, 0x3F}, {0x82, 0xFF, 0xD9}, {0x83, 0xFF, 0x3C},
    {0x84, 0xFF, 0x10}, {0x85, 0xFF, 0x3F}, {0x86, 0xFF, 0x18}, {0x87, 0xFF, 0x04}, {0x88, 0xF0, 0x00},
    {0x04, 0x08, 0x00},
    // HDMITX_SetHDMI_Table
    {0xC0, 0x01, 0x01}, {0xC1, 0x03, 0x03}, {0xC6, 0x03, 0x03},
    // HDMITX_DefaultAVIInfo_Table
    {0x0F, 0x01, 0x01}, {0x58, 0xFF, 0x10}, {0x59, 0xFF, 0x08}, {0x5A, 0xFF, 0x00}, {0x5B, 0xFF, 0x00},
    {0x5C, 0xFF, 0x00}, {0x5D, 0xFF, 0x57}, {0x5E, 0xFF, 0x00}, {0x5F, 0xFF, 0x00}, {0x60, 0xFF, 0x00},
    {0x61, 0xFF, 0x00}, {0x62, 0xFF, 0x00}, {0x63, 0xFF, 0x00}, {0x64, 0xFF, 0x00}, {0x65, 0xFF, 0x00},
    {0x0F, 0x01, 0x00}, {0xCD, 0x03, 0x03},
    // HDMITX_DeaultAudioInfo_Table
    {0x0F, 0x01, 0x01}, {0x68, 0xFF, 0x00}, {0x69, 0xFF, 0x00}, {0x6A, 0xFF, 0x00}, {0x6B, 0xFF, 0x00},
    {0x6C, 0xFF, 0x00}, {0x6D, 0xFF, 0x71}, {0x0F, 0x01, 0x00}, {0xCE, 0x03, 0x03},
    // HDMITX_Aud_CHStatus_LPCM_20bit_48Khz
    {0x0F, 0x01, 0x01}, {0x33, 0xFF, 0x00}, {0x34, 0xFF, 0x18}, {0x35, 0xFF, 0x00}, {0x91, 0xFF, 0x00},
    {0x92, 0xFF, 0x00}, {0x93, 0xFF, 0x01}, {0x94, 0xFF, 0x00}, {0x98, 0xFF, 0x02}, {0x99, 0xFF, 0xDA},
    {0x0F, 0x01, 0x00},
    // HDMITX_AUD_SPDIF_2ch_24bit
    {0x0F, 0x11, 0x00}, {0x04, 0x14, 0x04}, {0xE0, 0xFF, 0xD1}, {0xE1, 0xFF, 0x01}, {0xE2, 0xFF, 0xE4},
    {0xE3, 0xFF, 0x10}, {0xE4, 0xFF, 0x00}, {0xE5, 0xFF, 0x00}, {0x04, 0x14, 0x00}};

class SdiPath : public InputBoardFixture {
protected:
    void SetUp() override
    {
        InputBoardFixture::SetUp();
        ASSERT_TRUE(runUntilState(tarvosource::kSteady));
    }
    SimIt66121& tx() { return sim().it66121(); }
    // Steady passes until the SDI state is reached (false after 20).
    bool runUntilSdi(uint8_t state)
    {
        for (int i = 0; i < 20 && src().sdi_tx_state != state; ++i)
            run(1);
        return src().sdi_tx_state == state;
    }
    unsigned transfersTo(uint16_t addr)
    {
        unsigned n = 0;
        for (const auto& t : sim().transfers())
            n += t.addr == addr ? 1 : 0;
        return n;
    }
};

TEST_F(SdiPath, ProbeFindsTheTransmitterAndSetsItsPresenceBit)
{
    setReg(37, 0x00);
    ASSERT_TRUE(runUntilSdi(3));
    EXPECT_EQ(src().it66121->it66121_found, 1);
    EXPECT_EQ(src().it66121->probe_fail_count, 0);
    EXPECT_EQ(reg(37) & 0x02, 0x02);
}

TEST_F(SdiPath, ProbeRejectsAnotherIdentityAndFallsSilentAfterTenTries)
{
    for (uint16_t id : {uint16_t(0x5449), uint16_t(0x4955), uint16_t(0x0000)}) {
        restartWithScenario({});
        ASSERT_TRUE(runUntilState(tarvosource::kSteady));
        tx().setId(id);
        setReg(37, 0x02);  // each failed probe clears the presence bit
        run(12);
        EXPECT_EQ(src().it66121->probe_fail_count, 10) << std::hex << id;
        EXPECT_EQ(src().sdi_tx_state, 1);
        EXPECT_EQ(reg(37) & 0x02, 0);
        sim().clearTransfers();
        run(3);
        EXPECT_EQ(transfersTo(SimIt66121::kAddress), 0u) << "no probe after the tenth failure";
    }
}

TEST_F(SdiPath, InitialisationWritesTheSevenTablesInOrder)
{
    ASSERT_TRUE(runUntilSdi(2));
    tx().clearWriteLog();
    run(1);
    ASSERT_EQ(src().sdi_tx_state, 3);
    const auto log = tx().writeLog();
    ASSERT_EQ(log.size(), kInitWrites.size());
    for (size_t i = 0; i < log.size(); ++i) {
        const Entry& e = kInitWrites[i];
        EXPECT_EQ(log[i].reg, e.reg) << "write " << i;
        EXPECT_EQ(log[i].value & e.mask, e.value & e.mask) << "write " << i << " reg " << std::hex << int(e.reg);
    }
    // The tables leave bank 0 selected and the AVI defaults in bank 1.
    EXPECT_EQ(tx().reg(0, 0x0F) & 0x01, 0);
    EXPECT_EQ(tx().reg(1, 0x5D), 0x57);
    EXPECT_EQ(tx().reg(1, 0x6D), 0x71);
}

TEST_F(SdiPath, EnableLineThenTheGs2971ResetPulseOfFiftyMilliseconds)
{
    sim().gpio().setTickSource([this] { return static_cast<uint32_t>(sleptUs() / 1000); });
    ASSERT_TRUE(runUntilSdi(3));
    EXPECT_EQ(sim().gpio().level(SimInputBoard::kSdiEnable), 16);
    const auto edges = sim().gpio().edges(SimInputBoard::kGs2971Reset);
    // Released at the path's start, then 0, 50 ms, 1 after the tables.
    ASSERT_EQ(edges.size(), 3u);
    EXPECT_EQ(edges[0].to, 1);
    EXPECT_EQ(edges[1].to, 0);
    EXPECT_EQ(edges[2].to, 1);
    EXPECT_EQ(edges[2].tick - edges[1].tick, 50u);
    const auto enable = sim().gpio().edges(SimInputBoard::kSdiEnable);
    ASSERT_EQ(enable.size(), 1u);
    EXPECT_LE(enable[0].tick, edges[0].tick);
    EXPECT_EQ(sim().gpio().stores(SimInputBoard::kSdiEnable), 1u) << "written once";
}

TEST_F(SdiPath, OutputModeIs1080p60AndTheModeTableHolds)
{
    ASSERT_TRUE(runUntilSdi(3));
    it66121_hdmitx_sys& s = src().it66121->sys;
    EXPECT_EQ(s.tx_vic, 16);
    EXPECT_EQ(s.tx_pclk, 148500000u);
    EXPECT_EQ(s.tx_aspect, 1u);
    EXPECT_EQ(s.tx_colorimetry, 1u);
    EXPECT_EQ(s.tx_input_color_mode & 0x30, 0x30);
    struct Case {
        uint8_t index, vic, rep;
        uint32_t pclk, aspect, colorimetry;
        uint8_t inputBits;
    };
    const Case cases[] = {{18, 1, 0, 25000000, 0, 0, 0x00},  {0, 1, 0, 25000000, 0, 0, 0x00},
                          {6, 7, 1, 13500000, 1, 0, 0x20},   {1, 2, 0, 27000000, 0, 0, 0x20},
                          {14, 31, 0, 148500000, 1, 1, 0x30}, {17, 34, 0, 74250000, 1, 1, 0x30}};
    for (const Case& c : cases) {
        src().it66121->CHANGE_INPUT(c.index);
        EXPECT_EQ(s.tx_vic, c.vic) << int(c.index);
        EXPECT_EQ(s.tx_pixel_rep, c.rep) << int(c.index);
        EXPECT_EQ(s.tx_pclk, c.pclk) << int(c.index);
        EXPECT_EQ(s.tx_aspect, c.aspect) << int(c.index);
        EXPECT_EQ(s.tx_colorimetry, c.colorimetry) << int(c.index);
        EXPECT_EQ(s.tx_input_color_mode & 0x30, c.inputBits) << int(c.index);
        EXPECT_EQ(s.tx_mode_changed, 1);
    }
    s.HDMITX_ChangeDisplayOption(8, 0);  // not a known type
    EXPECT_EQ(s.tx_mode_changed, 0);
    EXPECT_EQ(s.tx_vic, 34);
}

TEST_F(SdiPath, LoopPassTouchesNothingWhileDisabled)
{
    ASSERT_TRUE(runUntilSdi(3));
    sim().clearTransfers();
    run(3);
    EXPECT_EQ(transfersTo(SimIt66121::kAddress), 0u);
}

TEST_F(SdiPath, FailedReadGivesZeroAndAReadModifyWriteThenWritesNothing)
{
    ASSERT_TRUE(runUntilSdi(3));
    sdi_it66121& io = src().it66121->io;
    bool ok = true;
    sim().bus().failNext(SimIt66121::kAddress, 1);
    EXPECT_EQ(io.HDMITX_ReadI2C_Byte(0x00, &ok), 0);  // the chip holds 0x54 there
    EXPECT_FALSE(ok);
    EXPECT_EQ(io.HDMITX_ReadI2C_Byte(0x00, &ok), 0x54);
    tx().clearWriteLog();
    sim().bus().failNext(SimIt66121::kAddress, 1);
    EXPECT_EQ(io.HDMITX_SetI2C_Byte(0x61, 0x30, 0x10), 0);
    EXPECT_TRUE(tx().writeLog().empty());
    EXPECT_EQ(io.HDMITX_SetI2C_Byte(0x61, 0x30, 0x10), 1);
    EXPECT_EQ(tx().writeLog().size(), 1u);
}

TEST_F(SdiPath, VendorSpecificInfoFrameCarriesTheStructureAndAValidChecksum)
{
    ASSERT_TRUE(runUntilSdi(3));
    struct Case {
        uint8_t structure, byte4, checksum;
        bool sixth;
    };
    // Type 0x81, version 1, length 5 (6 for structure 8), OUI 03 0C 00, 0x40.
    for (const Case c : {Case{0, 0x00, 0x2A, false}, Case{6, 0x60, 0xCA, false}, Case{8, 0x80, 0xA9, true},
                         Case{3, 0x00, 0x2A, false}}) {
        tx().clearWriteLog();
        src().it66121->drv.ConfigfHdmiVendorSpecificInfoFrame(c.structure);
        EXPECT_EQ(tx().reg(1, 0x80), 0x40);
        EXPECT_EQ(tx().reg(1, 0x81), c.byte4) << int(c.structure);
        EXPECT_EQ(tx().reg(1, 0x83), c.checksum) << int(c.structure);
        bool wrote82 = false;
        for (const auto& w : tx().writeLog())
            wrote82 = wrote82 || (w.bank == 1 && w.reg == 0x82);
        EXPECT_EQ(wrote82, c.sixth) << int(c.structure);
        EXPECT_EQ(tx().reg(0, 0xD2), 0x03);
    }
}

TEST_F(SdiPath, VideoEnableChoosesInputModeAndColourConversion)
{
    ASSERT_TRUE(runUntilSdi(3));
    struct Case {
        uint8_t inMode, outMode, reg70, reg72;
        bool matrix;
    };
    // in_mode bits 0-1: 0 RGB, 1 YCbCr 4:2:2, 2 YCbCr 4:4:4; bits 6 and 7
    // the extra conversion bits. out: 0 RGB, 1 YCbCr 4:2:2, 2 YCbCr 4:4:4.
    const Case cases[] = {{0x00, 0, 0x01, 0x00, false}, {0x00, 1, 0x01, 0x02, true},  {0xC0, 1, 0x01, 0xE2, true},
                          {0x80, 2, 0x01, 0xA2, true},  {0x01, 0, 0x41, 0x03, true},  {0xC1, 0, 0x41, 0xE3, true},
                          {0x01, 1, 0x41, 0x00, false}, {0xC1, 2, 0x41, 0xE0, false}, {0x82, 0, 0x81, 0xA3, true},
                          {0x42, 1, 0x81, 0x40, false}, {0x02, 2, 0x81, 0x00, false}};
    for (const Case& c : cases) {
        src().it66121->drv.HDMITX_EnableVideoOutput(1, c.inMode, c.outMode, 0);
        const std::string at = "in " + std::to_string(c.inMode) + " out " + std::to_string(c.outMode);
        EXPECT_EQ(tx().reg(0, 0x70), c.reg70) << at;
        EXPECT_EQ(tx().reg(0, 0x72), c.reg72) << at;
        EXPECT_EQ((tx().reg(0, 0x0F) & 0x10) == 0, c.matrix) << at;
        EXPECT_EQ(tx().reg(0, 0xC0), 0) << "DVI";
        EXPECT_EQ(tx().reg(0, 0x04), 0x15) << "fired";
    }
}

TEST_F(SdiPath, TableLoaderWritesWaitsRewritesAndStopsAtTheEnd)
{
    ASSERT_TRUE(runUntilSdi(3));
    const structRegSetEntry table[] = {{0x61, 0xFF, 0x12}, {0x05, 0x00, 0x00}, {0x62, 0x00, 0x01},
                                       {0x64, 0x0C, 0x04}, {0x00, 0x00, 0x00}, {0x63, 0xFF, 0x34}};
    src().it66121->io.HDMITX_WriteI2C_Byte(0x62, 0x5A);
    src().it66121->io.HDMITX_WriteI2C_Byte(0x64, 0xFF);
    tx().clearWriteLog();
    const uint64_t before = sleptUs();
    src().it66121->drv.hdmitx_LoadRegSetting(table);
    EXPECT_EQ(sleptUs() - before, 5000u) << "05/00/00 waits 5 ms";
    const auto log = tx().writeLog();
    ASSERT_EQ(log.size(), 3u) << "nothing after 00/00/00";
    EXPECT_EQ(log[0].reg, 0x61);
    EXPECT_EQ(log[0].value, 0x12);
    EXPECT_EQ(log[1].reg, 0x62);
    EXPECT_EQ(log[1].value, 0x5A) << "62/00/01 writes the register back unchanged";
    EXPECT_EQ(log[2].reg, 0x64);
    EXPECT_EQ(log[2].value, 0xF7) << "only the bits of mask 0x0C change";
}

TEST_F(SdiPath, AudioEnableProgramsNChannelStatusAndLpcmLayout)
{
    ASSERT_TRUE(runUntilSdi(3));
    struct Case {
        uint32_t fs;
        uint8_t channels;
        uint8_t nLow, nHigh;      // bank 1 0x33, 0x34
        uint8_t cs2, cs3, cs4;    // bank 1 0x93, 0x98, 0x99
        uint8_t e1, e0;           // bank 0
    };
    // N: 44.1 kHz 0x1880, 48 kHz 0x1800, 96 kHz 0x3000, 192 kHz 0x6000,
    // 32 kHz 0x1000. Channel field: 1 for 0 channels, (n + 1) / 2 up to
    // six, else 4. Byte 4: (~code << 4) | 0x0B.
    const Case cases[] = {{44100, 2, 0x80, 0x18, 1, 0x00, 0xFB, 0x01, 0xC1},
                          {48000, 0, 0x00, 0x18, 1, 0x02, 0xDB, 0x01, 0xC1},
                          {96000, 6, 0x00, 0x30, 3, 0x0A, 0x5B, 0x41, 0xC7},
                          {192000, 8, 0x00, 0x60, 4, 0x0E, 0x1B, 0x41, 0xCF},
                          {32000, 7, 0x00, 0x10, 4, 0x03, 0xCB, 0x41, 0xCF}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.fs) + " Hz, " + std::to_string(c.channels) + " channels");
        src().it66121->drv.HDMITX_EnableAudioOutput(0x80, 0, c.fs, c.channels, 148500000);
        EXPECT_EQ(tx().reg(1, 0x33), c.nLow);
        EXPECT_EQ(tx().reg(1, 0x34), c.nHigh);
        EXPECT_EQ(tx().reg(1, 0x91), 0x00);
        EXPECT_EQ(tx().reg(1, 0x93), c.cs2);
        EXPECT_EQ(tx().reg(1, 0x98), c.cs3);
        EXPECT_EQ(tx().reg(1, 0x99), c.cs4);
        EXPECT_EQ(tx().reg(0, 0xE1), c.e1);
        EXPECT_EQ(tx().reg(0, 0xE0), c.e0);
        EXPECT_EQ(tx().reg(0, 0x04) & 0x14, 0) << "audio running";
        EXPECT_EQ(tx().reg(0, 0x0F) & 0x01, 0) << "bank 0 left selected";
    }
}

// The operations no path calls, through the transmitter's registers:
// channels on and off by tx_audio_enable, a new rate in the channel status
// only, and two-channel compressed audio.
TEST_F(SdiPath, AudioChannelsRateUpdateAndCompressedAudio)
{
    ASSERT_TRUE(runUntilSdi(3));
    it66121_hdmitx_sys& s = src().it66121->sys;
    it66121_hdmitx_drv& d = src().it66121->drv;
    d.HDMITX_EnableAudioOutput(0x80, 0, 96000, 8, 148500000);  // all four pairs: 0xE0 = 0xCF
    const struct {
        uint8_t enable, e0, reset;
    } modes[] = {{0, 0xC0, 0x14}, {1, 0xCF, 0x00}, {0, 0xC0, 0x14}};
    for (const auto& m : modes) {
        s.tx_audio_enable = m.enable;
        s.AudioModeDetect();
        EXPECT_EQ(tx().reg(0, 0xE0), m.e0) << int(m.enable);
        EXPECT_EQ(tx().reg(0, 0x04) & 0x14, m.reset) << int(m.enable);
    }
    // Rate code and (~code << 4) | 0x0B; the N value stays 96 kHz's.
    const struct {
        uint32_t fs;
        uint8_t cs3, cs4;
    } rates[] = {{44100, 0x00, 0xFB}, {192000, 0x0E, 0x1B}, {32000, 0x03, 0xCB}};
    for (const auto& r : rates) {
        d.setHDMITX_UpdateChStatFs(r.fs);
        EXPECT_EQ(tx().reg(1, 0x98), r.cs3) << r.fs;
        EXPECT_EQ(tx().reg(1, 0x99), r.cs4) << r.fs;
        EXPECT_EQ(tx().reg(1, 0x34), 0x30) << r.fs;
        EXPECT_EQ(tx().reg(0, 0x0F) & 0x01, 0) << "bank 0 left selected";
    }
    d.setHDMITX_NLPCMAudio(0);
    EXPECT_EQ(tx().reg(1, 0x91) & 0x04, 0x04) << "channel status: not PCM";
    EXPECT_EQ(tx().reg(0, 0xE1), 0x01) << "one pair";
    s.tx_audio_enable = 1;
    s.AudioModeDetect();
    EXPECT_EQ(tx().reg(0, 0xE0), 0xC1);
    EXPECT_EQ(tx().reg(0, 0x04) & 0x14, 0);
}

TEST(It66121Audio, RateCodesNValuesAndClockLevels)
{
    const std::pair<uint32_t, uint8_t> codes[] = {{32000, 3}, {44100, 0}, {48000, 2},   {88200, 8},  {96000, 10},
                                                  {176400, 12}, {192000, 14}, {768000, 9}, {22050, 2}};
    for (auto [fs, code] : codes)
        EXPECT_EQ(it66121_hdmitx_drv::audioRateCode(fs), code) << fs;
    // HDMI's recommended N at 32, 44.1, 48, 88.2, 96, 176.4 and 192 kHz.
    const std::pair<uint8_t, uint16_t> n[] = {{3, 4096},   {0, 6272},   {2, 6144},  {8, 12544},
                                              {10, 12288}, {12, 25088}, {14, 24576}};
    for (auto [code, value] : n)
        EXPECT_EQ(it66121_hdmitx_drv::audioN(code), value) << int(code);
    const std::pair<uint32_t, uint8_t> levels[] = {
        {20000000, 0}, {20000001, 1}, {80000000, 1}, {80000001, 2}, {148500000, 2}};
    for (auto [hz, level] : levels)
        EXPECT_EQ(it66121_hdmitx_drv::videoPclkLevel(hz), level) << hz;
}

TEST_F(SdiPath, AudioOptionSelectsTypeChannelsAndRate)
{
    it66121_hdmitx_sys& s = src().it66121->sys;
    struct Case {
        uint8_t type, channels, code;
        uint8_t wantType, wantChannels;
        uint32_t wantFs;
        uint8_t changed;
    };
    const Case cases[] = {{0x80, 0, 0, 0x80, 1, 44100, 1},   {0x80, 12, 14, 0x80, 8, 192000, 1},
                          {0x90, 6, 3, 0x90, 2, 32000, 1},   {0x80, 2, 5, 0x80, 2, 48000, 1},
                          {0x80, 2, 8, 0x80, 2, 88200, 1},   {0x80, 2, 9, 0x80, 2, 768000, 1},
                          {0x80, 2, 10, 0x80, 2, 96000, 1},  {0x90, 8, 12, 0x90, 2, 176400, 1},
                          {0xC0, 2, 0, 0xC0, 8, 768000, 0}};
    for (const Case& c : cases) {
        s.tx_audio_changed = 0;
        s.HDMITX_ChangeAudioOption(c.type, c.channels, c.code);
        EXPECT_EQ(s.tx_audio_type, c.wantType) << int(c.type);
        EXPECT_EQ(s.tx_audio_channels, c.wantChannels) << int(c.channels);
        EXPECT_EQ(s.tx_audio_fs, c.wantFs) << int(c.code);
        EXPECT_EQ(s.tx_audio_changed, c.changed);
    }
}

} // namespace
} // namespace kel::test
