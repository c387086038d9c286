// Random schedules of PC tools of every kind asking for the card ports at
// once (CardTurnsSchedule.h), with the tools whose sends once moved them in
// the turns: one-shot sockets that send a 0xDF behind their read, read
// another port first or send again while the first waits; sockets on port
// numbers closed ones gave back; a batch that opens with reads of absent
// cards; a half-closed scan of two ports. One request out per port; inside
// an address no other place goes twice in one wait, and no other address
// twice between two turns of its own; no live tool's request is dropped,
// no port's silence costs another; a flooder is spaced, not dropped; every
// answer goes to the request it answers; nothing waits for good.
#include "CardTurnsSchedule.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace kel::test {
namespace {

TEST(CardTurnsScheduleTest, ToolsOfEveryKindGetTheirTurnsAddressesFirst)
{
    // KEL_TURNS_SEED=n runs that seed alone and prints its schedule.
    const char* one = std::getenv("KEL_TURNS_SEED");
    const std::vector<uint32_t> seeds = one ? std::vector<uint32_t>{uint32_t(std::atol(one))}
                                            : std::vector<uint32_t>{2, 5, 11};
    for (uint32_t seed : seeds) {
        const turns::Figures f = turns::Schedule(seed, 3000, one != nullptr).run();
        std::string faults;
        for (const std::string& s : f.faults)
            faults += "\n  " + s;
        EXPECT_TRUE(f.faults.empty()) << "seed " << seed << ":" << faults;
        for (int k = 0; k < turns::kKinds; ++k)
            EXPECT_GT(f.requests[k], 0u) << "seed " << seed << " has no " << turns::kindName(k) << " request";
        EXPECT_GT(f.dropped, 0u) << "seed " << seed << ": no ended tool's request dropped";
        EXPECT_GT(f.spaced, 0u) << "seed " << seed << ": no flooder spaced";
        EXPECT_GT(f.reused, 0u) << "seed " << seed << ": no port number given back";
        EXPECT_GT(f.late, 0u) << "seed " << seed << ": no late answer taken";
    }
}

} // namespace
} // namespace kel::test
