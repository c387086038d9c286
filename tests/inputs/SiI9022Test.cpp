#include "inputs/InputBoardFixture.h"

#include "inputs/SiI9022.h"
#include "ledout/fpga_manage.h"
#include "platform/sim/SimInputBoard.h"
#include "platform/sim/SimRegisterChip.h"

namespace kel::test {
namespace {

class MonitorTransmitter : public InputBoardFixture {
protected:
    uint16_t word(uint8_t r) { return sim().sii9022().reg(r) | (sim().sii9022().reg(r + 1) << 8); }
    SiI9022 tx_;
};

TEST_F(MonitorTransmitter, ProbeKeepsOnlyItsMonitorsPresenceBit)
{
    setReg(39, 0x81);
    sim().clearTransfers();
    EXPECT_EQ(tx_.check_9022(0), 1);
    EXPECT_EQ(reg(39), 0x83);
    // On the bus: TPI register 0x62 addressed, one byte read back.
    std::vector<std::pair<std::vector<uint8_t>, int>> probes;
    for (const auto& t : sim().transfers())
        if (t.addr == SiI9022::kAddress >> 1)
            probes.emplace_back(t.written, t.readLength);
    EXPECT_EQ(probes, (std::vector<std::pair<std::vector<uint8_t>, int>>{{{0x62}, 1}}));
    EXPECT_EQ(tx_.check_9022(1), 1);
    EXPECT_EQ(reg(39), 0x87);
    sim().sii9022().setPresent(false);
    EXPECT_EQ(tx_.check_9022(7), 0);  // any other value is monitor 1
    EXPECT_EQ(reg(39), 0x83);
    EXPECT_EQ(tx_.check_9022(0), 0);
    EXPECT_EQ(reg(39), 0x81);
}

// The FPGA side's monitor probes the transmitter on the bus without any
// transmitter object: state 3 moves on to 4 when it answers.
class MonitorWithoutObject : public InputBoardFixture {
protected:
    void SetUp() override
    {
        InputBoardFixture::SetUp();
        fpga_manage::pInstance()->softinit();
    }
    void TearDown() override
    {
        fpga_manage::destroyInstance();
        InputBoardFixture::TearDown();
    }
    fpga_manage& m() { return *fpga_manage::pInstance(); }
};

TEST_F(MonitorWithoutObject, ReachesStateFourAndSetsItsPresenceBit)
{
    ASSERT_EQ(SiI9022::p_9022, nullptr);
    setReg(39, 0x81);
    sim().sii9022().setPresent(false);
    m().check_monitor_change(1);
    EXPECT_EQ(m().monitor_state[1], 3u) << "no transmitter answers";
    EXPECT_EQ(reg(39), 0x81);
    sim().sii9022().setPresent(true);
    m().check_monitor_change(1);
    EXPECT_EQ(m().monitor_state[1], 4u);
    EXPECT_EQ(reg(39), 0x85);
    m().check_monitor_change(0);
    EXPECT_EQ(m().monitor_state[0], 4u);
    EXPECT_EQ(reg(39), 0x87);
    EXPECT_EQ(SiI9022::p_9022, nullptr);
}

TEST_F(MonitorTransmitter, ProgrammesTimingDataEnableAndAviInfoFrame)
{
    ASSERT_TRUE(tx_.siHdmiTx_UserDefineSet(640, 1080, 60));
    EXPECT_EQ(word(0x00), 6245);  // 62.45 MHz
    EXPECT_EQ(word(0x02), 6000);
    EXPECT_EQ(word(0x04), 895);
    EXPECT_EQ(word(0x06), 1163);
    EXPECT_EQ(sim().sii9022().reg(0x08), 0x70);
    EXPECT_EQ(sim().sii9022().reg(0x62), 0x8C);
    EXPECT_EQ(sim().sii9022().reg(0x63), 0x40);
    EXPECT_EQ(sim().sii9022().reg(0x64), 0x3F);
    EXPECT_EQ(sim().sii9022().reg(0x66), 0x80);
    EXPECT_EQ(sim().sii9022().reg(0x67), 0x02);
    EXPECT_EQ(sim().sii9022().reg(0x68), 0x38);
    EXPECT_EQ(sim().sii9022().reg(0x69), 0x04);
    EXPECT_EQ(sim().sii9022().reg(0x0C), 0xB9);  // AVI checksum
    EXPECT_EQ(sim().sii9022().reg(0x0D), 0x11);
    EXPECT_EQ(sim().sii9022().reg(0x0E), 0x28);
    EXPECT_EQ(sim().sii9022().reg(0x14), 81);
    EXPECT_EQ(sim().sii9022().reg(0x18), 44);
    // The programme opens with 0xC7, the 0xBC..0xBE access and 0x1E, and
    // ends with 0x1A after the AVI bytes.
    const auto log = sim().sii9022().writeLog();
    const std::vector<std::pair<uint8_t, uint8_t>> opening{
        {0xC7, 0x00}, {0xBC, 0x01}, {0xBD, 0x82}, {0xBE, 0x25}, {0x1E, 0x00}};
    ASSERT_GE(log.size(), opening.size());
    const std::vector<std::pair<uint8_t, uint8_t>> first(log.begin(), log.begin() + 5);
    EXPECT_EQ(first, opening);
    EXPECT_EQ(log.back(), std::make_pair(uint8_t(0x1A), uint8_t(0x00)));
}

TEST_F(MonitorTransmitter, RefusesARefreshOf0AndWhatARegisterCannotHold)
{
    const struct {
        uint32_t h, v, refresh;
        bool programmed;
    } cases[] = {
        {1920, 1080, 60, true},        // a line of 895 is programmed as computed
        {4095, 2047, 1, true},
        {1920, 1080, 655, true},       // 100 x refresh 65500, the largest word
        {1920, 1080, 0, false},        // divides by zero
        {1920, 1080, 656, false},      // 100 x refresh above 16 bits
        {1920, 1080, 100000000, false},// 100 x refresh far above 16 bits
        {640, 0, 1, false},            // line total 753012 above 16 bits
        {1920, 870, 1, false},         // line total 62500000 / 953 = 65582
        {1920, 871, 1, true},          // line total 62500000 / 954 = 65513
        {4096, 1080, 60, false},       // active width above 12 bits
        {1920, 2048, 60, false},       // active height above 11 bits
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.h) + "x" + std::to_string(c.v) + "@" + std::to_string(c.refresh));
        const size_t before = sim().sii9022().writeLog().size();
        EXPECT_EQ(tx_.siHdmiTx_UserDefineSet(c.h, c.v, c.refresh), c.programmed);
        EXPECT_EQ(sim().sii9022().writeLog().size() > before, c.programmed);
    }
    ASSERT_TRUE(tx_.siHdmiTx_UserDefineSet(1920, 1080, 60));
    EXPECT_EQ(word(0x00), 6245);
    EXPECT_EQ(word(0x04), 895);
    EXPECT_EQ(word(0x06), 1163);
    EXPECT_EQ(sim().sii9022().reg(0x66), 0x80);
    EXPECT_EQ(sim().sii9022().reg(0x67), 0x07);
}

TEST(AviInfoFrame, ChecksumMakesTheFrameSumToZero)
{
    uint8_t f[14];
    SiI9022::aviInfoFrame(140, 63, 80, 43, f);
    EXPECT_EQ(f[0], 0xB9);
    SiI9022::aviInfoFrame(100, 63, 80, 43, f);
    EXPECT_EQ(f[2], 0x18);
    unsigned sum = 0x82 + 0x02 + 0x0D;
    for (uint8_t b : f)
        sum += b;
    EXPECT_EQ(sum & 0xFF, 0u);
}

} // namespace
} // namespace kel::test
