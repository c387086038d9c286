#include "DealFixture.h"

#include "platform/sim/SimBoard.h"
#include "platform/sim/SimClock.h"
#include "protocol/ProtocolCodes.h"

#include <gtest/gtest.h>

namespace kel::test {
namespace {

using namespace protocol;

using MessageDeal = DealFixture;

TEST_F(MessageDeal, RamWriteThenReadGivesTheSameBytes)
{
    const Bytes data = {0xA5, 0x5A, 0xAA, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
    Bytes a = ask(CMD_WRITE_RAM, TestFrames::ramWrite(0x300, data));
    EXPECT_EQ(TestFrames::status(a), ST_OK);
    EXPECT_EQ(PhyFrame::target(a.data()), 0xF020);
    EXPECT_EQ(PhyFrame::source(a.data()), 0xF100);
    a = ask(CMD_READ_RAM, TestFrames::ramRead(0x300, 16));
    ASSERT_EQ(TestFrames::status(a), ST_OK);
    EXPECT_EQ(TestFrames::answerData(a), TestFrames::cat({TestFrames::u32(0x300), TestFrames::u16(16), data}));
}

struct RamCase {
    const char* name;
    Bytes payload;
    uint8_t status;
};

TEST_F(MessageDeal, RamWritesOutsideTheStoreAreRefusedAndChangeNothing)
{
    const Bytes seven(7, 0x77);
    const RamCase cases[] = {
        {"past the block end", TestFrames::ramWrite(4090, seven), ST_REFUSED},
        {"beyond the user modes", TestFrames::ramWrite(0x11000, seven), ST_BAD_RANGE},
        {"declared length larger than the data", TestFrames::ramWrite(0x300, seven, 8), ST_BAD_RANGE},
        {"zero length", TestFrames::ramWrite(0x300, {}), ST_BAD_RANGE},
        {"no length field", TestFrames::u32(0x300), ST_BAD_RANGE},
        {"mode 0x10 slot past its end", TestFrames::ramWrite(0x10FFF, seven), ST_REFUSED},
    };
    const auto before = port.block;
    for (const RamCase& c : cases)
        EXPECT_EQ(TestFrames::status(ask(CMD_WRITE_RAM, c.payload)), c.status) << c.name;
    EXPECT_EQ(port.block, before);
}

TEST_F(MessageDeal, RamReadsOutsideTheirAreaGetStatusTwo)
{
    const RamCase cases[] = {
        {"past the block end", TestFrames::ramRead(4090, 7), ST_BAD_RANGE},
        {"past a slot end", TestFrames::ramRead(0x1FFF, 4), ST_BAD_RANGE},
        {"zero length", TestFrames::ramRead(0x300, 0), ST_BAD_RANGE},
        {"longer than one answer", TestFrames::ramRead(0, 1025), ST_BAD_RANGE},
        {"beyond the status window", TestFrames::ramRead(0x12000, 1), ST_BAD_RANGE},
        {"last bytes of the block", TestFrames::ramRead(4090, 6), ST_OK},
        {"last bytes of slot 16", TestFrames::ramRead(0x10FFF, 3), ST_OK},
    };
    for (const RamCase& c : cases)
        EXPECT_EQ(TestFrames::status(ask(CMD_READ_RAM, c.payload)), c.status) << c.name;
}

TEST_F(MessageDeal, RamWriteAt0x3000LandsInUserModeSlotTwo)
{
    EXPECT_EQ(TestFrames::status(ask(CMD_WRITE_RAM, TestFrames::ramWrite(0x3004, {0xAB, 0xCD}))), ST_OK);
    EXPECT_EQ(port.modeSlots[2][4], 0xAB);
    EXPECT_EQ(port.modeSlots[2][5], 0xCD);
    EXPECT_EQ(port.applyFlag.load(), 0) << "a RAM write neither applies nor announces";
    EXPECT_TRUE(port.announcements().empty());
}

TEST_F(MessageDeal, ReadOfTheStatusWindowGivesTheCardTotalAndThePendingApply)
{
    port.cards = 0x0123;
    const Bytes a = ask(CMD_READ_RAM, TestFrames::ramRead(0x11000, 3));
    ASSERT_EQ(TestFrames::status(a), ST_OK);
    EXPECT_EQ(TestFrames::answerData(a),
              TestFrames::cat({TestFrames::u32(0x11000), TestFrames::u16(3), {0x23, 0x01, 0x00}}));
    EXPECT_EQ(TestFrames::status(ask(CMD_READ_RAM, TestFrames::ramRead(0x11002, 2))), ST_BAD_RANGE);

    // A tool polls byte 0x11002 after register 11 until the scaler took it.
    for (uint8_t bits : {uint8_t(0x02), uint8_t(0x04)}) {
        ASSERT_EQ(TestFrames::status(ask(CMD_WRITE_REGISTER, {11, 0, 0xFF, 1, bits})), ST_OK);
        const Bytes p = ask(CMD_READ_RAM, TestFrames::ramRead(0x11002, 1));
        EXPECT_EQ(TestFrames::answerData(p).back(), bits == 0x02 ? 1 : 2);
        port.applyFlag = 0; // the chip thread takes it
        EXPECT_EQ(TestFrames::answerData(ask(CMD_READ_RAM, TestFrames::ramRead(0x11002, 1))).back(), 0);
    }
}

// An answer with a status other than 0 carries no data, whatever the
// command would echo on success.
TEST_F(MessageDeal, ErrorAnswersCarryNoData)
{
    const struct {
        const char* name;
        uint8_t cmd;
        Bytes payload;
        uint16_t target;
        uint8_t status;
    } cases[] = {
        {"RAM write past the block", CMD_WRITE_RAM, TestFrames::ramWrite(4090, Bytes(7, 1)), 0xF100, ST_REFUSED},
        {"RAM write to no address", CMD_WRITE_RAM, TestFrames::ramWrite(0x11000, {1}), 0xF100, ST_BAD_RANGE},
        {"FPGA image that does not exist", CMD_WRITE_RAM, TestFrames::ramWrite(0x70000, {1}), 0xF200, ST_BAD_RANGE},
        {"0xA0 with fewer values than N", CMD_WRITE_REGISTER, {20, 0, 0xFF, 3, 1, 2}, 0xF100, ST_BAD_RANGE},
        {"0xD0 of size 0", CMD_WRITE_FILE_START, TestFrames::cat({{0, 'O', 'S', 'D', 'S'}, TestFrames::u32(0)}),
         0xF100, ST_BAD_RANGE},
        {"0xD0 above 5 MiB", CMD_WRITE_FILE_START,
         TestFrames::cat({{0, 'O', 'S', 'D', 'S'}, TestFrames::u32(5242881)}), 0xF100, ST_BAD_RANGE},
        {"0xD2 shorter than its digest", CMD_WRITE_FILE_END, Bytes(15, 0), 0xF100, ST_BAD_RANGE},
        {"0xD5 with no read-out", CMD_READ_FILE_END, {}, 0xF100, ST_SEQUENCE},
        {"flash write past the end", CMD_FLASH_WRITE, TestFrames::cat({TestFrames::u32(0x7FFFFF), TestFrames::u16(2), {1, 2}}),
         0xF100, ST_BAD_RANGE},
    };
    for (const auto& c : cases) {
        const Bytes a = ask(c.cmd, c.payload, c.target);
        EXPECT_EQ(TestFrames::status(a), c.status) << c.name;
        EXPECT_TRUE(TestFrames::answerData(a).empty()) << c.name;
    }
}

// A request that carries nothing is a 12-byte body: header, byte 10 (any
// value) and the check byte.
TEST_F(MessageDeal, RequestsWithoutPayloadNeedOnlyTheTwelveByteBody)
{
    const Bytes info = ask(CMD_DEVICE_INFO, {});
    ASSERT_EQ(info.size(), 12u + 32u);
    EXPECT_EQ(TestFrames::status(info), ST_OK);
    for (uint8_t cmd : {CMD_READ_FILE_END, CMD_DELETE_FILES}) {
        const Bytes a = ask(cmd, {});
        EXPECT_EQ(a.size(), cmd == CMD_DELETE_FILES ? 12u + 4u : 12u) << int(cmd);
        EXPECT_EQ(TestFrames::status(a), cmd == CMD_DELETE_FILES ? ST_OK : ST_SEQUENCE) << int(cmd);
    }
}

TEST_F(MessageDeal, FpgaImageWritesAreBoundedByTheImageAndRunTheHostCommand)
{
    const RamCase cases[] = {
        {"command image start", TestFrames::ramWrite(0x10000, {0xAA, 1}), ST_OK},
        {"last bytes of the row/column image", TestFrames::ramWrite(0x40000 + 2046, {1, 2}), ST_OK},
        {"past the parameter image", TestFrames::ramWrite(0x00000 + 1020, Bytes(8, 1)), ST_BAD_RANGE},
        {"past a network image", TestFrames::ramWrite(0x60000 + 130, Bytes(7, 1)), ST_BAD_RANGE},
        {"no such image", TestFrames::ramWrite(0x70000, {1}), ST_BAD_RANGE},
    };
    for (const RamCase& c : cases)
        EXPECT_EQ(TestFrames::status(ask(CMD_WRITE_RAM, c.payload, 0xF200)), c.status) << c.name;
    EXPECT_EQ(port.hostCommands.load(), 2);
    EXPECT_EQ(port.images[1][0], 0xAA);
    EXPECT_EQ(TestFrames::status(ask(CMD_WRITE_RAM, TestFrames::ramWrite(0, {1}), 0xF300)), ST_BAD_TARGET);
}

TEST_F(MessageDeal, ExtendedImageReadCarriesTheRunningTime)
{
    port.clock = ClockRecordView{7, 100, 2000, 3000};
    const Bytes a = ask(CMD_READ_RAM, TestFrames::ramRead(0x20000 + 76, 16), 0xF200);
    ASSERT_EQ(TestFrames::status(a), ST_OK);
    const Bytes d = TestFrames::answerData(a);
    EXPECT_EQ(Bytes(d.begin() + 6, d.end()),
              TestFrames::cat({TestFrames::u32(7), TestFrames::u32(100), TestFrames::u32(2000), TestFrames::u32(3000)}));
    board().clock().set(QDateTime(QDate(2031, 2, 3), QTime(4, 5, 6)));
    const Bytes clock = TestFrames::answerData(ask(CMD_READ_RAM, TestFrames::ramRead(0x20000 + 16, 8), 0xF200));
    EXPECT_EQ(Bytes(clock.begin() + 6, clock.begin() + 11), (Bytes{0x31, 0x20, 0x02, 0x03, 0x04}))
        << "the board clock in BCD: year, century, month, day, hour";
}

TEST_F(MessageDeal, RegisterElevenBitsRequestApplyUserModeAndOsd)
{
    auto reg11 = [&](uint8_t v) { return ask(CMD_WRITE_REGISTER, {11, 0, 0xFF, 1, v}); };
    EXPECT_EQ(TestFrames::status(reg11(0x00)), ST_OK);
    EXPECT_EQ(port.applyFlag.load(), 0);
    reg11(0x02);
    EXPECT_EQ(port.applyFlag.load(), 1);
    reg11(0x04);
    EXPECT_EQ(port.applyFlag.load(), 2);
    reg11(0x08);
    EXPECT_EQ(port.osdReloads.load(), 0) << "OSD bit ignored while the OSD is off";
    port.osdOn = true;
    reg11(0x08);
    EXPECT_EQ(port.osdReloads.load(), 1);
    EXPECT_EQ(port.regs[11], 0x08);
}

TEST_F(MessageDeal, RegisterSeventeenPulsesTheSdiReset)
{
    EXPECT_EQ(TestFrames::status(ask(CMD_WRITE_REGISTER, {17, 0, 0xFF, 1, 1})), ST_OK);
    EXPECT_EQ(port.sdiPulses.load(), 1);
}

TEST_F(MessageDeal, RegisterWritesKeepBitsOutsideTheMaskAndStayInsideTheBank)
{
    port.regs[40] = 0xF0;
    EXPECT_EQ(TestFrames::status(ask(CMD_WRITE_REGISTER, {40, 0, 0x0F, 2, 0xFF, 0x03})), ST_OK);
    EXPECT_EQ(port.regs[40], 0xFF);
    EXPECT_EQ(port.regs[41], 0x03);
    EXPECT_EQ(TestFrames::status(ask(CMD_WRITE_REGISTER, {169, 0, 0xFF, 2, 1, 1})), ST_BAD_RANGE);
    EXPECT_EQ(TestFrames::status(ask(CMD_WRITE_REGISTER, {170, 0, 0xFF, 1, 1})), ST_BAD_RANGE);
    EXPECT_EQ(TestFrames::status(ask(CMD_WRITE_REGISTER, {10, 0, 0xFF, 3, 1})), ST_BAD_RANGE) << "values missing";
    EXPECT_EQ(port.regs[169], 0);
    EXPECT_EQ(port.regs[10], 0);
}

TEST_F(MessageDeal, RegisterReadReturnsTheBank)
{
    for (int r = 0; r < 170; ++r)
        port.regs[size_t(r)] = uint8_t(r * 3);
    const Bytes a = ask(CMD_READ_REGISTER, {0, 0, 170});
    ASSERT_EQ(TestFrames::status(a), ST_OK);
    const Bytes d = TestFrames::answerData(a);
    ASSERT_EQ(d.size(), 3u + 170u);
    EXPECT_TRUE(std::equal(d.begin() + 3, d.end(), port.regs.begin()));
    EXPECT_EQ(TestFrames::status(ask(CMD_READ_REGISTER, {160, 0, 11})), ST_BAD_RANGE);
}

TEST_F(MessageDeal, FlashAccessStaysBelowEightMegabytes)
{
    EXPECT_EQ(TestFrames::status(ask(CMD_FLASH_WRITE, TestFrames::cat({TestFrames::u32(0x7FFFFE), TestFrames::u16(2), {1, 2}}))), ST_OK);
    EXPECT_EQ(TestFrames::status(ask(CMD_FLASH_WRITE, TestFrames::cat({TestFrames::u32(0x7FFFFF), TestFrames::u16(2), {1, 2}}))), ST_BAD_RANGE);
    EXPECT_EQ(TestFrames::status(ask(CMD_FLASH_READ, TestFrames::cat({TestFrames::u32(0x800000), TestFrames::u16(1)}))), ST_BAD_RANGE);
    const Bytes a = ask(CMD_FLASH_READ, TestFrames::cat({TestFrames::u32(0x7FFFFE), TestFrames::u16(2)}));
    EXPECT_EQ(TestFrames::answerData(a), TestFrames::cat({TestFrames::u32(0x7FFFFE), TestFrames::u16(2), {1, 2}}));
}

TEST_F(MessageDeal, UnknownCommandsAndForeignTargetsGetAStatus)
{
    EXPECT_EQ(TestFrames::status(ask(0x77, {1})), ST_UNKNOWN_CMD);
    EXPECT_EQ(TestFrames::status(ask(CMD_WRITE_REGISTER, {11, 0, 0xFF, 1, 2}, 0xF200)), ST_BAD_TARGET);
    EXPECT_EQ(port.applyFlag.load(), 0);
}

TEST_F(MessageDeal, BodiesTooShortForACommandGetNoAnswer)
{
    const Bytes full = TestFrames::body(0xF100, 0xF020, CMD_DEVICE_INFO, {});
    for (size_t n : {size_t(0), size_t(1), size_t(10), size_t(11)}) {
        Bytes answer = {0xEE};
        deal->message_group_deal(LINK_CONTROL, Requester{LINK_UDP, "udp"}, full.data(), n, answer);
        EXPECT_TRUE(answer.empty()) << n << " bytes";
    }
}

TEST_F(MessageDeal, DeviceInfoAnswersTheThirtyTwoCharacterId)
{
    const Bytes d = TestFrames::answerData(ask(CMD_DEVICE_INFO, {}));
    EXPECT_EQ(std::string(d.begin(), d.end()), "0123456789ABCDEF0123456789ABCDEF");
}

TEST_F(MessageDeal, CtrlFlagsReachTheFpgaManager)
{
    ask(CMD_FPGA_CTRL_FLAGS, {0x02});
    EXPECT_EQ(port.ctrlFlags.load(), 0x02);
}

} // namespace
} // namespace kel::test
