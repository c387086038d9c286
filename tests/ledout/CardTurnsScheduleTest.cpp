// Random schedules of PC tools of every kind asking for the card ports at
// once (CardTurnsSchedule.h): one request out per port; no request waits
// longer than a round of the places beside it allows, sees another place go
// twice, or is passed by a place that stands behind it; a tool that ended
// behind silent requests holds no port a third time in a row; every answer
// goes to the request it answers; nothing waits for good.
#include "CardTurnsSchedule.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace kel::test {
namespace {

TEST(CardTurnsScheduleTest, ToolsOfEveryKindGetTheirTurnsWithinARoundOfThePlacesWaiting)
{
    // KEL_TURNS_SEED=n runs that seed alone and prints its schedule.
    const char* one = std::getenv("KEL_TURNS_SEED");
    const std::vector<uint32_t> seeds = one ? std::vector<uint32_t>{uint32_t(std::atol(one))}
                                            : std::vector<uint32_t>{1, 2, 4};
    for (uint32_t seed : seeds) {
        const turns::Figures f = turns::Schedule(seed, 6000, one != nullptr).run();
        std::string faults;
        for (const std::string& s : f.faults)
            faults += "\n  " + s;
        EXPECT_TRUE(f.faults.empty()) << "seed " << seed << ":" << faults;
        for (int k = 0; k < turns::kKinds; ++k)
            EXPECT_GT(f.requests[k], 0u) << "seed " << seed << " has no " << turns::kindName(k) << " request";
        EXPECT_GT(f.tools, PcRequestSlot::kMaxRemembered) << "seed " << seed;
        EXPECT_GT(f.dropped, 0u) << "seed " << seed << ": no ended tool's request dropped";
        EXPECT_GT(f.late, 0u) << "seed " << seed << ": no late answer taken";
    }
}

} // namespace
} // namespace kel::test
