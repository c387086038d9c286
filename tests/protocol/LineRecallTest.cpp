#include "protocol/LineRecall.h"

#include <gtest/gtest.h>

#include <string>

namespace kel::test {
namespace {

using protocol::LineRecall;

// Inside an address, a sender refused more often outranks one refused less;
// of two refused as often, the one refused first; senders never refused
// outrank nobody. The same port at another address is another sender.
TEST(LineRecall, RanksSendersByTheirRefusalsThenByTheirFirst)
{
    LineRecall r;
    const std::string a = "127.0.0.1", b = "127.0.0.2";
    EXPECT_FALSE(r.rankOf(a, 1).outranks(r.rankOf(a, 2)));
    r.refused(a, 1);
    r.refused(a, 2);
    EXPECT_TRUE(r.rankOf(a, 1).outranks(r.rankOf(a, 2)));
    EXPECT_FALSE(r.rankOf(a, 2).outranks(r.rankOf(a, 1)));
    EXPECT_TRUE(r.rankOf(a, 2).outranks(r.rankOf(a, 3)));
    r.refused(a, 2);
    EXPECT_TRUE(r.rankOf(a, 2).outranks(r.rankOf(a, 1)));
    EXPECT_EQ(r.rankOf(b, 1).refused, 0u);
    r.tookLine(a, 2);
    EXPECT_EQ(r.rankOf(a, 2).refused, 2u) << "a line taken leaves the rank";
}

// A sender is recalled until kPerAddress other senders of its address were
// refused after its last refusal or line, whatever the other addresses do;
// taking a line by its rank keeps it recalled.
TEST(LineRecall, ASenderIsForgottenOnlyByTheRefusalsOfItsOwnAddress)
{
    const std::string tools = "127.0.0.1", other = "127.0.0.2";
    constexpr uint16_t kTool = 40000;
    LineRecall r;
    r.refused(tools, kTool);
    for (uint32_t i = 0; i < 5 * LineRecall::kPerAddress; ++i)
        r.refused(other, uint16_t(1 + i % 30000));
    for (uint32_t i = 1; i < LineRecall::kPerAddress; ++i)
        r.refused(tools, uint16_t(i));
    EXPECT_EQ(r.rankOf(tools, kTool).refused, 1u);
    r.tookLine(tools, kTool);
    for (uint32_t i = 0; i < LineRecall::kPerAddress - 1; ++i)
        r.refused(tools, uint16_t(10000 + i));
    EXPECT_EQ(r.rankOf(tools, kTool).refused, 1u) << "recalled from the line it took";
    r.refused(tools, 20000);
    EXPECT_EQ(r.rankOf(tools, kTool).refused, 0u);
    EXPECT_LE(r.recalled(), (LineRecall::kAddresses) * LineRecall::kPerAddress);
}

} // namespace
} // namespace kel::test
