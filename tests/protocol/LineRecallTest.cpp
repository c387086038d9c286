#include "protocol/LineRecall.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace kel::test {
namespace {

using protocol::LineRecall;

// The 32 lines of the UDP link, tick by tick, as the link uses the recall:
// every card request is noted; a sender takes a free line, or the line
// lineToTake gives it, or is refused; the line at the front goes every
// `serveEvery` ticks (a silent read holds the card path 0.5 s), and a line
// that ends or is taken is had by its holder.
struct LinesRun {
    struct Line {
        uint32_t address;
        uint16_t port;
        uint32_t claim;
    };
    LineRecall recall;
    std::vector<Line> lines;
    uint32_t now = 0;
    bool newTookALine = false;

    // True when the sender has a line (kept, or just taken).
    bool ask(uint32_t address, uint16_t port)
    {
        for (const Line& l : lines)
            if (l.address == address && l.port == port)
                return true;
        const uint32_t gone = now - recall.note(address, port, now);
        if (lines.size() >= 32) {
            std::vector<LineRecall::Held> held;
            for (const Line& l : lines)
                held.push_back({l.address, l.claim});
            const int i = LineRecall::lineToTake(held, address, gone);
            if (i < 0)
                return false;
            newTookALine = newTookALine || gone == 0;
            recall.had(lines[size_t(i)].address, lines[size_t(i)].port, now);
            lines.erase(lines.begin() + i);
        }
        lines.push_back({address, port, gone});
        return true;
    }
    void serve()
    {
        if (!lines.empty()) {
            recall.had(lines.front().address, lines.front().port, now);
            lines.erase(lines.begin());
        }
    }
};

// A tool asking from one socket every `every` ticks beside a script's new
// sockets at its own address (`perTick` a tick, their ports never reused
// while open), or beside sockets that each re-send a read every 50 ticks,
// takes a line by its second try, every time: no two tries in a row are
// refused. The sockets that just arrived never take a line from anyone.
TEST(LineRecall, ARarelyAskingToolTakesALineByItsSecondTryWhateverItsAddressSends)
{
    struct Case {
        const char* name;
        uint32_t every;           // the tool's ticks between card requests
        int perTick, perTwoTicks; // new sockets
        int resenders;            // sockets re-sending every 50 ticks
        uint32_t serveEvery;
    };
    const Case cases[] = {
        {"every 2 s beside 300 new sockets a second", 200, 3, 0, 0, 50},
        {"every 10 s beside 300 new sockets a second", 1000, 3, 0, 0, 50},
        {"every 30 s beside 300 new sockets a second", 3000, 3, 0, 0, 50},
        {"every 5 s beside 500 new sockets a second", 500, 5, 0, 0, 50},
        {"every 30 s beside 100 new sockets a second", 3000, 1, 0, 0, 5},
        {"every 2 s beside 40 re-senders every 0.5 s", 200, 0, 0, 40, 50},
        {"every 2 s beside re-senders and new sockets", 200, 2, 1, 40, 20},
    };
    const uint32_t home = 0x0100007f, other = 0x0200007f;
    std::mt19937 rng(57);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LinesRun run;
        const uint32_t phase = rng() % c.every;
        uint32_t next = 1;
        int refusedInARow = 0, worst = 0, tries = 0;
        for (run.now = 1; run.now < 25 * c.every; ++run.now) {
            for (int i = 0; i < c.perTick + int(run.now % 2 == 0) * c.perTwoTicks; ++i)
                run.ask(home, uint16_t(next++ % 60000 + 1));
            for (int r = 0; r < c.resenders; ++r)
                if ((run.now + uint32_t(r) * 7) % 50 == 0)
                    run.ask(home, uint16_t(61000 + r));
            if (run.now % c.every == phase) {
                ++tries;
                refusedInARow = run.ask(home, 65000) ? 0 : refusedInARow + 1;
                worst = std::max(worst, refusedInARow);
            }
            if (run.now % c.serveEvery == 0)
                run.serve();
            if (run.now % 1000 == 0)
                run.ask(other, 1);
        }
        EXPECT_GT(tries, 20);
        EXPECT_LE(worst, 1) << "tries refused in a row";
        EXPECT_FALSE(run.newTookALine);
    }
}

// Inside an address the sender that has gone longer without a line takes
// the line of the smallest claim (the last of equals), never one of an
// equal or longer claim; an address holding two or more fewer lines than
// the one holding the most takes that one's line of the smallest claim,
// however new its sender.
TEST(LineRecall, LinesGoToWhoHasGoneLongestWithoutOneAddressesFirst)
{
    using H = LineRecall::Held;
    struct Case {
        std::vector<H> lines;
        uint32_t address, gone;
        int taken;
    };
    std::vector<H> home(32, H{1, 100});
    home[5].claim = 20;
    home[9].claim = 20;
    std::vector<H> shared(16, H{1, 0});
    shared.resize(31, H{2, 0});
    shared.push_back(H{2, 7});
    shared[3].claim = 500;
    const Case cases[] = {
        {home, 1, 21, 9}, {home, 1, 20, -1}, {home, 1, 0, -1}, {home, 2, 0, 9},
        {shared, 1, 1, 15}, {shared, 2, 0, -1}, {shared, 2, 8, 30}, {shared, 3, 0, 30},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LineRecall::lineToTake(c.lines, c.address, c.gone), c.taken) << c.address << " " << c.gone;
}

// One-shot sockets never push out a sender seen twice, and a sender seen
// once is still recalled beside 9,000 one-shots (30 s of 300 a second),
// keeping its since at its second try; memory stays bounded under floods
// from hundreds of addresses and ports; a refused sender keeps its since,
// one that had what it asked starts over.
TEST(LineRecall, OneShotsNeverPushOutASenderThatAsksAgainAndMemoryStaysBounded)
{
    LineRecall r;
    const uint32_t home = 7;
    EXPECT_EQ(r.note(home, 1, 10), 10u) << "new";
    EXPECT_EQ(r.note(home, 2, 11), 11u);
    EXPECT_EQ(r.note(home, 2, 12), 11u) << "seen twice";
    uint32_t now = 100;
    for (uint32_t i = 0; i < 9000; ++i)
        r.note(home, uint16_t(100 + i), now + i / 3);
    EXPECT_EQ(r.note(home, 1, now += 3000), 10u) << "recalled at its second try";
    std::mt19937 rng(62);
    for (int i = 0; i < 100000; ++i) {
        r.note(home + 1 + rng() % 500, uint16_t(rng()), now);
        r.note(home, uint16_t(20000 + rng() % 40000), ++now);
        if (i % 500 == 0) {
            EXPECT_EQ(r.note(home, 2, now), 11u);
            EXPECT_EQ(r.note(home, 1, now), 10u);
        }
    }
    r.had(home, 2, now);
    EXPECT_EQ(r.note(home, 2, now + 5), now);
    for (int i = 0; i < 100000; ++i) {
        const uint32_t address = home + rng() % 500;
        const uint16_t port = uint16_t(rng());
        r.note(address, port, now);
        r.note(address, port, ++now);
    }
    EXPECT_LE(r.recalled(), 16384u + 32 * 256);
}

} // namespace
} // namespace kel::test
