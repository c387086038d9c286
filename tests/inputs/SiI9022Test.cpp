#include "inputs/InputBoardFixture.h"

#include "inputs/SiI9022.h"
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
    EXPECT_EQ(tx_.check_9022(0), 1);
    EXPECT_EQ(reg(39), 0x83);
    EXPECT_EQ(tx_.check_9022(1), 1);
    EXPECT_EQ(reg(39), 0x87);
    sim().sii9022().setPresent(false);
    EXPECT_EQ(tx_.check_9022(7), 0);  // any other value is monitor 1
    EXPECT_EQ(reg(39), 0x83);
    EXPECT_EQ(tx_.check_9022(0), 0);
    EXPECT_EQ(reg(39), 0x81);
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
    EXPECT_EQ(sim().sii9022().reg(0xBD), 0x82);
    // The last register of the programme was written after the AVI bytes.
    const auto log = sim().sii9022().writeLog();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().first, 0x1A);
}

TEST_F(MonitorTransmitter, RefusesTimingsWithoutALine)
{
    EXPECT_FALSE(tx_.siHdmiTx_UserDefineSet(1920, 1080, 0));
    EXPECT_FALSE(tx_.siHdmiTx_UserDefineSet(1920, 1080, 100000000));
    EXPECT_FALSE(tx_.siHdmiTx_UserDefineSet(1920, 1080, 60));  // a line of 895 cannot hold 1920
    EXPECT_TRUE(sim().sii9022().writeLog().empty());
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
