#include "DealFixture.h"
#include "LinkClient.h"
#include "params/global.h"
#include "platform/Board.h"
#include "platform/SerialService.h"
#include "protocol/ProtocolCodes.h"
#include "protocol/Qj_uart_inout_4G.h"

#include <gtest/gtest.h>

#include <string>

namespace kel::test {
namespace {

using namespace protocol;

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

class Modem4G : public DealFixture {
protected:
    void SetUp() override
    {
        DealFixture::SetUp();
        link = std::make_unique<Qj_uart_inout_4G>(port, *deal, LinkSettings());
        const std::string pty = platform::Board::serial().peerPath("/dev/ttyS1");
        ASSERT_FALSE(pty.empty());
        client = std::make_unique<LinkClient>(LinkClient::serial(pty));
        ASSERT_TRUE(client->ok());
    }
    void TearDown() override
    {
        client.reset();
        link.reset();
        DealFixture::TearDown();
    }
    Bytes cloud(const std::string& line) { return client->exchange(TestFrames::request(CMD_CLOUD_TEXT, text(line))); }

    std::unique_ptr<Qj_uart_inout_4G> link;
    std::unique_ptr<LinkClient> client;
};

TEST_F(Modem4G, ParameterMemoryWriteAndReadBackOverTheModemPort)
{
    ASSERT_TRUE(link->isOpen());
    EXPECT_EQ(link->linkId(), LINK_4G);
    const Bytes data = {1, 2, 3, 4, 5, 0xA5, 0x5A, 0xAA};
    Bytes a = client->exchange(TestFrames::request(CMD_WRITE_RAM, TestFrames::ramWrite(0x320, data)));
    ASSERT_FALSE(a.empty());
    EXPECT_EQ(TestFrames::status(a), ST_OK);
    a = client->exchange(TestFrames::request(CMD_READ_RAM, TestFrames::ramRead(0x320, uint16_t(data.size()))));
    ASSERT_FALSE(a.empty());
    EXPECT_EQ(TestFrames::answerData(a), TestFrames::cat({TestFrames::u32(0x320), TestFrames::u16(8), data}));
    EXPECT_EQ(port.pcCmdValid.load(), 1);
}

TEST_F(Modem4G, CloudCommandsAreAnsweredWithTheirNameAndStatus)
{
    g_pid = "0123456789abcdef0123456789abcdef";
    Bytes a = cloud("GETID");
    ASSERT_FALSE(a.empty());
    EXPECT_EQ(a.at(PhyFrame::kCmd), CMD_CLOUD_TEXT);
    EXPECT_EQ(TestFrames::status(a), ST_OK);
    EXPECT_EQ(TestFrames::answerData(a), text("GETID 200 0123456789abcdef0123456789abcdef\r\n"));

    a = cloud("SETBARCODE:SN-0042");
    EXPECT_EQ(TestFrames::answerData(a), text("SETBARCODE 200\r\n"));
    a = cloud("GETBARCODE");
    EXPECT_EQ(TestFrames::answerData(a), text("GETBARCODE 200 SN-0042\r\n"));

    a = cloud("SELFDESTRUCT");
    EXPECT_EQ(TestFrames::status(a), ST_UNKNOWN_CMD);
    EXPECT_EQ(TestFrames::answerData(a), text("SELFDESTRUCT 404\r\n"));
    a = cloud("SETBARCODE:two\nlines");
    EXPECT_EQ(TestFrames::status(a), ST_BAD_VALUE);
    EXPECT_EQ(TestFrames::answerData(a), text("SETBARCODE 400\r\n"));
    g_pid.clear();
}

TEST_F(Modem4G, FrameForTheReceivingCardsIsRefusedNotPassedThrough)
{
    const Bytes request = TestFrames::body(0x2005, 0xF010, 0x61, {1, 2, 3, 4});
    const Bytes a = client->exchange(TestFrames::wire(request));
    ASSERT_FALSE(a.empty());
    EXPECT_EQ(TestFrames::status(a), ST_BAD_TARGET);
    std::lock_guard<std::mutex> l(port.lock);
    EXPECT_TRUE(port.forwarded.empty());
    EXPECT_EQ(port.passby.load(), LINK_NONE);
}

TEST_F(Modem4G, CloudCommandIsUnknownOnTheOtherLinks)
{
    for (uint8_t other : {LINK_UART, LINK_TCP, LINK_UDP})
        EXPECT_EQ(TestFrames::status(ask(CMD_CLOUD_TEXT, text("GETID"), 0xF100, Requester{other, "peer"})),
                  ST_UNKNOWN_CMD)
            << int(other);
    EXPECT_EQ(TestFrames::status(ask(CMD_CLOUD_TEXT, text("GETID"), 0xF100, Requester{LINK_4G, "peer"})), ST_OK);
}

} // namespace
} // namespace kel::test
