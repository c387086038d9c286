#include "params/TickClock.h"
#include "params/Utils.h"
#include "params/global.h"

#include <gtest/gtest.h>

namespace kel::test {
namespace {

// The monotonic clock is a number the test moves; nothing sleeps.
class TickClockTest : public ::testing::Test {
protected:
    void SetUp() override { G_timeTicks = 0; }
    void TearDown() override { G_timeTicks = 0; }
    uint64_t nowUs = 7000000;   // an arbitrary start: only differences count
    TickClock clock{[this] { return nowUs; }};
};

TEST_F(TickClockTest, EachAdvanceAddsThePeriodsElapsedAndKeepsTheRest)
{
    const uint64_t start = nowUs;
    // (monotonic time since start in us, periods added by that advance, counter after it)
    const struct {
        uint64_t atUs;
        uint32_t added;
        uint32_t total;
    } steps[] = {
        {9999, 0, 0},        // not a whole period yet
        {10000, 1, 1},       // one timer call on time
        {10000, 0, 1},       // an early or repeated call adds nothing
        {35000, 2, 3},       // a late call catches up, the 5 ms left over count on
        {40000, 1, 4},       // ... and finish the next period
        {1040000, 100, 104}, // a caller blocked for a second loses none of it
        {1049999, 0, 104},
        {1050000, 1, 105},
    };
    for (const auto& s : steps) {
        nowUs = start + s.atUs;
        EXPECT_EQ(clock.advance(), s.added) << "at " << s.atUs << " us";
        EXPECT_EQ(G_timeTicks.load(), s.total) << "at " << s.atUs << " us";
    }
    EXPECT_EQ(clock.nextDueUs(), start + 1060000);
}

TEST_F(TickClockTest, CatchingUpAcrossTheWrapKeepsTheTickArithmetic)
{
    G_timeTicks = 0xFFFFFFFEu;
    nowUs += 5 * TickClock::kPeriodUs;
    EXPECT_EQ(clock.advance(), 5u);
    EXPECT_EQ(G_timeTicks.load(), 3u);
    // The same elapsed count as after five single steps over the wrap.
    EXPECT_EQ(Utils::getTimeSpace(0xFFFFFFFEu), 4u);
}

} // namespace
} // namespace kel::test
