// Random schedules of PC tools of every kind asking for the card ports at
// once (CardTurnsSchedule.h), with the tools whose sends once moved them in
// the turns: one-shot sockets that send a 0xDF behind their read, read
// another port first or send again while the first waits; sockets on port
// numbers closed ones gave back; a batch that opens with reads of absent
// cards; a half-closed scan of two ports. One request out per port; inside
// an address no other place goes twice in one wait, and no other address
// twice between two turns of its own; no live tool's request is dropped,
// no port's silence costs another; a flooder's requests yield (they hold
// back no other tool), none dropped, and a lone flooder's all go; every
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
                                            : std::vector<uint32_t>{2, 9, 11, 28, 93, 95, 84737};
    // Seed 93 broke when silence sent before a tool ended or flooded counted against it; 9, 28
    // and 95 when a flooder's yielding request held the port against other tools; 84737 (at
    // tick 8,908) when a tool seen to end while it waited counted the one-shots of its address
    // that asked before it in the same tick as behind it.
    turns::Figures all;
    for (uint32_t seed : seeds) {
        const turns::Figures f = turns::Schedule(seed, seed == 84737 ? 9000 : 3000, one != nullptr).run();
        std::string faults;
        for (const std::string& s : f.faults)
            faults += "\n  " + s;
        EXPECT_TRUE(f.faults.empty()) << "seed " << seed << ":" << faults;
        for (int k = 0; k < turns::kKinds; ++k)
            all.requests[k] += f.requests[k];
        all.dropped += f.dropped;
        all.yielded += f.yielded;
        all.replaced += f.replaced;
        all.reused += f.reused;
        all.late += f.late;
    }
    if (one)
        return;
    for (int k = 0; k < turns::kKinds; ++k)
        EXPECT_GT(all.requests[k], 0u) << "no " << turns::kindName(k) << " request";
    EXPECT_GT(all.dropped, 0u) << "no ended tool's request dropped";
    EXPECT_GT(all.yielded, 0u) << "no flooder's request yielded";
    EXPECT_GT(all.replaced, 0u) << "no yielding request replaced";
    EXPECT_GT(all.reused, 0u) << "no port number given back";
    EXPECT_GT(all.late, 0u) << "no late answer taken";
}

} // namespace
} // namespace kel::test
