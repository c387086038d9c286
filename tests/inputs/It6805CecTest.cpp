#include "inputs/InputBoardFixture.h"

#include "inputs/ite6805_cec_feture.h"
#include "inputs/ite6805_cec_sys.h"
#include "inputs/ite6805_sys.h"
#include "platform/sim/SimInputBoard.h"
#include "platform/sim/SimIt6805.h"

#include <QJsonArray>

#include <string>
#include <vector>

using kel::platform::sim::SimIt6805;

namespace kel::test {
namespace {

using Bytes = std::vector<uint8_t>;

// Input 4's CEC controller on the simulated board, with no source plugged
// (the responder runs on every main pass whatever the video does).
class It6805Cec : public InputBoardFixture {
protected:
    void SetUp() override
    {
        InputBoardFixture::SetUp();
        ASSERT_TRUE(runUntilState(tarvosource::kSteady));
        for (int i = 0; i < 5 && src().ite6805->device_state(0) != 1; ++i)
            run(1);
        ASSERT_EQ(src().ite6805->device_state(0), 1) << "main passes running";
    }
    SimIt6805& chip() { return sim().it6805(0); }
    // Injects frames as one arrival and returns what was sent back.
    std::vector<Bytes> exchange(const std::vector<Bytes>& frames, int lengthByte = -1)
    {
        const size_t before = chip().cecTxLog().size();
        for (const Bytes& f : frames)
            chip().injectCec(f, lengthByte);
        run(2);
        const std::vector<Bytes> log = chip().cecTxLog();
        return std::vector<Bytes>(log.begin() + static_cast<long>(before), log.end());
    }
};

struct AnswerCase {
    const char* name;
    Bytes received;
    std::vector<Bytes> sent;
};

class It6805CecAnswers : public It6805Cec, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(It6805CecAnswers, AnswersByteForByte)
{
    EXPECT_EQ(exchange({GetParam().received}), GetParam().sent);
}

Bytes operandsOf(size_t n) { return Bytes(n, 0x11); }

Bytes frame(Bytes head, size_t operands)
{
    const Bytes tail = operandsOf(operands);
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

INSTANTIATE_TEST_SUITE_P(
    Frames, It6805CecAnswers,
    ::testing::Values(
        AnswerCase{"give_osd_name", {0x40, 0x46}, {{0x04, 0x47, 0x68, 0x05}}},
        AnswerCase{"give_physical_address", {0x40, 0x83}, {{0x0F, 0x84, 0x00, 0x00, 0x00}}},
        AnswerCase{"request_active_source", {0x4F, 0x85}, {{0x0F, 0x82, 0x00, 0x00}}},
        AnswerCase{"give_vendor_id", {0x40, 0x8C}, {{0x0F, 0x87, 0x00, 0x00, 0x00}}},
        AnswerCase{"give_power_status", {0x40, 0x8F}, {{0x04, 0x90, 0x00}}},
        AnswerCase{"get_cec_version", {0x30, 0x9F}, {{0x03, 0x9E, 0x06}}},
        AnswerCase{"record_tv_screen", {0x40, 0x0F}, {{0x04, 0x00, 0x0F, 0x04}}},
        AnswerCase{"deck_control", {0x40, 0x42, 0x01}, {{0x04, 0x00, 0x42, 0x04}}},
        AnswerCase{"abort", {0x40, 0xFF}, {{0x04, 0x00, 0xFF, 0x04}}},
        AnswerCase{"sixteen_bytes", frame({0x40, 0x8F}, 14), {{0x04, 0x90, 0x00}}},
        // Refused or dropped.
        AnswerCase{"broadcast_give_physical_address", {0x4F, 0x83}, {}},
        AnswerCase{"direct_request_active_source", {0x40, 0x85}, {}},
        AnswerCase{"for_another_device", {0x45, 0x8F}, {}},
        AnswerCase{"own_echo", {0x04, 0x8F}, {}},
        AnswerCase{"deck_control_too_short", {0x40, 0x42}, {}},
        AnswerCase{"header_only", {0x40}, {}},
        AnswerCase{"seventeen_bytes", frame({0x40, 0x8F}, 15), {}},
        AnswerCase{"thirty_one_bytes", frame({0x40, 0x8F}, 29), {}},
        AnswerCase{"not_answered", {0x40, 0x36}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// An oversized frame is consumed whole: the frames after it are read at
// their own boundaries and answered.
TEST_F(It6805Cec, OversizedFrameDoesNotShiftTheFramesAfterIt)
{
    const std::vector<Bytes> sent = exchange({frame({0x40, 0x8F}, 20), {0x40, 0x9F}, {0x40}, {0x40, 0x8F}});
    EXPECT_EQ(sent, (std::vector<Bytes>{{0x04, 0x9E, 0x06}, {0x04, 0x90, 0x00}}));
    const ite6805_cec_sys::Record& r = src().ite6805->cec().record(0);
    EXPECT_EQ(r.cec_rx_read, 0);
    EXPECT_EQ(r.cec_rx_write, 0);
    EXPECT_EQ(r.STATECEC, ite6805_cec_sys::STATECEC_TxDone) << "the last event: the answer went out";
}

// A length byte claiming more than the frame holds, and one flagged by the
// controller, are dropped too.
TEST_F(It6805Cec, LengthBytesThatCannotBeTrustedAreDropped)
{
    EXPECT_TRUE(exchange({{0x40, 0x8F}}, 0x01).empty()) << "below 2";
    EXPECT_TRUE(exchange({{0x40, 0x8F}}, 0x22).empty()) << "flag bit 5";
    EXPECT_TRUE(exchange({{0x40, 0x8F}}, 0x1F).empty()) << "31 claimed, 2 sent";
    EXPECT_EQ(exchange({{0x40, 0x8F}}), (std::vector<Bytes>{{0x04, 0x90, 0x00}})) << "and the next is answered";
}

// The 63-byte ring takes three 16-byte frames; the fourth head waits and is
// answered with the next arrival.
TEST_F(It6805Cec, FullRingKeepsTheHeadForTheNextArrival)
{
    const Bytes big = frame({0x40, 0x8F}, 14);
    EXPECT_EQ(exchange({big, big, big, big, big}).size(), 3u);
    EXPECT_EQ(chip().cecRxPending(), 1u) << "the fifth stays in the controller";
    EXPECT_EQ(exchange({{0x40, 0x9F}}).size(), 3u);
    EXPECT_EQ(chip().cecRxPending(), 0u);
}

TEST_F(It6805Cec, FifoErrorsResetTheFifoAndDropTheFrames)
{
    chip().injectCec({0x40, 0x8F});
    chip().setCecRxErrors(0x40);
    run(2);
    EXPECT_TRUE(chip().cecTxLog().empty());
    EXPECT_EQ(chip().cecRxPending(), 0u);
    EXPECT_EQ(exchange({{0x40, 0x8F}}).size(), 1u) << "the controller receives again";
}

TEST_F(It6805Cec, UnacknowledgedAnswerIsSentOnceAndShownInTheState)
{
    chip().setCecNoAck(true);
    EXPECT_EQ(exchange({{0x40, 0x8F}}).size(), 1u);
    run(3);
    EXPECT_EQ(chip().cecTxLog().size(), 1u) << "no resend";
    EXPECT_EQ(src().ite6805->cec().record(0).cec_tx_retry, 1);
    const QJsonArray log = chip().state().value("cec").toObject().value("tx_log").toArray();
    ASSERT_EQ(log.size(), 1);
    EXPECT_EQ(log.at(0).toString(), "04 90 00");
}

// The opcode table against the CEC message table: direct and broadcast
// acceptance and minimum lengths.
TEST(It6805CecTable, EntriesAgreeWithTheMessageTable)
{
    const auto& t = ite6805_cec_feture::cec_msg_size;
    struct Entry { uint8_t opcode; bool direct, broadcast; int minLength; };
    const Entry entries[] = {{0x36, true, true, 2}, {0x80, false, true, 6}, {0x84, false, true, 5},
                             {0x87, false, true, 5}, {0x90, true, true, 3}, {0x8F, true, false, 2},
                             {0x00, true, false, 4}, {0x47, true, false, 2}, {0x01, false, false, 0}};
    for (const Entry& e : entries) {
        EXPECT_EQ((t[e.opcode] & 0x80) != 0, e.direct) << int(e.opcode);
        EXPECT_EQ((t[e.opcode] & 0x60) != 0, e.broadcast) << int(e.opcode);
        EXPECT_EQ(t[e.opcode] & 0x1F, e.minLength) << int(e.opcode);
    }
}

} // namespace
} // namespace kel::test
