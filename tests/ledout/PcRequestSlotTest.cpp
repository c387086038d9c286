// PcRequestSlot alone, in simulated ticks.
#include "ledout/PcRequestSlot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace kel::test {
namespace {

// Ports 1-15 are read live by new sockets of 300 addresses, 3 a tick
// (each answer in a tick or two, the line kept below its 64), so the turns
// remembered keep being pushed out. Beside them one address
// keeps three tools asking, and a poller at another address reads on. An
// address stands at its last turn, or as new behind those waiting and the
// port's last turn: so while the poller waits each other address goes at
// most once, the one out when it asked aside (at most 64 wait at once, but
// one whose last turn is still remembered may come and go ahead of it).
TEST(PcRequestSlotTest, AnAddressWhoseTurnIsForgottenStandsAsNew)
{
    using Slot = PcRequestSlot;
    struct Tool {
        Slot::Tool id;
        bool waiting = true;
        bool poller = false;
        bool asked = false;   // has asked since it last went
        uint8_t port = 1;
        uint64_t wentSince = 0;   // requests gone to the port since it began to wait
        std::set<std::string> origins;   // the addresses of those requests
    };
    std::mt19937 rnd(7);
    Slot slot;
    std::vector<Tool> tools;
    for (int i = 0; i < 3; ++i)
        tools.push_back(Tool{{2, "tcp#a" + std::to_string(i), "10.9.9.9", false, false, false}, true, false, false, 1, 0, {}});
    tools.push_back(Tool{{2, "tcp#p", "10.8.8.8", false, false, false}, true, true, false, 1, 0, {}});
    const size_t keep = tools.size();
    uint64_t sends[16] = {}, answerAt[16] = {};
    uint64_t pollerTurns = 0, worst = 0, serial = 0, twice = 0;
    for (uint32_t now = 1; now <= 3000; ++now) {
        for (uint8_t p = 1; p < 16; ++p)
            if (answerAt[p] == now && slot.matches(p, uint8_t(sends[p]), 0x61))
                slot.answered(p, now);
        const auto waiting = std::count_if(tools.begin(), tools.end(), [](const Tool& t) { return t.waiting; });
        for (int n = 0; n < 3 && waiting + n < 60; ++n) {
            const uint32_t a = rnd() % 300;
            const std::string from = "10.1." + std::to_string(a / 100) + "." + std::to_string(a % 100);
            tools.push_back(Tool{{3, from + ":" + std::to_string(++serial), from, false, false, false}, true, false,
                                 false, uint8_t(rnd() % 3 ? 2 + rnd() % 14 : 1), 0, {}});
        }
        std::vector<size_t> order(tools.size());
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::shuffle(order.begin(), order.end(), rnd);
        for (size_t i : order) {
            Tool& t = tools[i];
            if (!t.waiting)
                continue;
            t.asked = true;
            if (slot.claim(t.id, t.port, now) != Slot::Claim::Go)
                continue;
            slot.sent(t.port, uint8_t(++sends[t.port]), 0x61, now, t.id.link);
            answerAt[t.port] = now + 1 + rnd() % 2;
            for (Tool& o : tools) {
                if (!o.asked || &o == &t || o.port != t.port)
                    continue;
                if (!o.origins.insert(t.id.origin).second && o.poller)
                    ++twice;
                ++o.wentSince;
            }
            if (t.poller) {
                ++pollerTurns;
                worst = std::max(worst, t.wentSince);
            }
            t.wentSince = 0;
            t.origins.clear();
            t.asked = false;
            t.waiting = i < keep;   // the one-shots are done; the others ask again
        }
        tools.erase(std::remove_if(tools.begin() + std::ptrdiff_t(keep), tools.end(),
                                   [](const Tool& t) { return !t.waiting; }),
                    tools.end());
    }
    worst = std::max(worst, tools[keep - 1].wentSince);
    EXPECT_EQ(twice, 0u) << "another address went twice while the poller waited";
    EXPECT_LE(worst, 300u + 1) << "requests gone while the poller waited";
    EXPECT_GE(pollerTurns, 3000u / (302 * 2)) << "the poller's turns";
}

// As many tools as the links can have waiting at once, each of an address
// of its own (64 TCP clients, 32 UDP lines, the serial and 4G lines), ask
// for port 0 every tick, in the same order, each asking again once gone;
// each request is answered a tick after it went. Every one keeps its place
// in the line, so each goes once a round, the others at most once between
// two of its turns.
TEST(PcRequestSlotTest, EveryToolTheLinksCanHaveWaitingKeepsItsPlace)
{
    using Slot = PcRequestSlot;
    std::vector<Slot::Tool> tools;
    for (int i = 0; i < 64; ++i)
        tools.push_back({2, "tcp#" + std::to_string(i), "10.0.0." + std::to_string(i)});
    for (int i = 0; i < 32; ++i)
        tools.push_back({3, "10.1.0." + std::to_string(i) + ":4000", "10.1.0." + std::to_string(i)});
    tools.push_back({1, "ttyS2", "ttyS2"});
    tools.push_back({4, "4g", "4g"});
    Slot slot;
    std::vector<uint64_t> lastTurn(tools.size(), 0);
    uint64_t sends = 0, worstGap = 0;
    for (uint32_t now = 1; now <= 5 * tools.size(); ++now) {
        if (sends && slot.matches(0, uint8_t(sends), 0x61))
            slot.answered(0, now);
        for (size_t i = 0; i < tools.size(); ++i) {
            if (slot.claim(tools[i], 0, now) != Slot::Claim::Go)
                continue;
            ++sends;
            if (lastTurn[i])
                worstGap = std::max(worstGap, sends - lastTurn[i]);
            lastTurn[i] = sends;
            slot.sent(0, uint8_t(sends), 0x61, now, tools[i].link);
        }
    }
    EXPECT_GE(sends, 4 * tools.size() - 1);
    EXPECT_EQ(worstGap, tools.size()) << "requests between two turns of a tool, its own included";
    EXPECT_EQ(std::count(lastTurn.begin(), lastTurn.end(), 0u), 0) << "tools that never went";
}

} // namespace
} // namespace kel::test
