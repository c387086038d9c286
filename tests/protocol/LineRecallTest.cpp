#include "protocol/LineRecall.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <random>
#include <unordered_set>
#include <vector>

namespace kel::test {
namespace {

using protocol::LineRecall;

// The 32 lines of the UDP link, tick by tick, as the link uses the recall:
// every try is noted; a sender holding a line has its claim raised to its
// standing; one without takes a free line, or the line lineToTake gives
// it, or is refused; the line at the front goes every `serveEvery` ticks
// (a silent read holds the card path 0.5 s).
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
    std::vector<uint16_t> takenFrom;   // ports of the holders whose lines were taken

    Line* lineOf(uint32_t address, uint16_t port)
    {
        for (Line& l : lines)
            if (l.address == address && l.port == port)
                return &l;
        return nullptr;
    }
    // True when the sender has a line (kept, or just taken).
    bool ask(uint32_t address, uint16_t port)
    {
        const uint32_t standing = recall.note(address, port, now);
        if (Line* l = lineOf(address, port)) {
            l->claim = standing;
            return true;
        }
        if (lines.size() >= 32) {
            std::vector<LineRecall::Held> held;
            for (const Line& l : lines)
                held.push_back({l.address, l.claim});
            const int i = LineRecall::lineToTake(held, address, standing);
            if (i < 0)
                return false;
            newTookALine = newTookALine || standing == 0;
            takenFrom.push_back(lines[size_t(i)].port);
            lines.erase(lines.begin() + i);
        }
        lines.push_back({address, port, standing});
        return true;
    }
    void serve()
    {
        if (!lines.empty())
            lines.erase(lines.begin());
    }
};

// New sockets as the system makes them: each bound to a free port of the
// ephemeral range picked at random, open for `open` ticks, its number free
// again once it closes.
struct Sockets {
    std::mt19937 rng;
    uint32_t open;
    std::deque<std::pair<uint32_t, uint16_t>> closing;   // tick, port
    std::unordered_set<uint16_t> taken;

    uint16_t next(uint32_t now)
    {
        while (!closing.empty() && closing.front().first <= now) {
            taken.erase(closing.front().second);
            closing.pop_front();
        }
        uint16_t port;
        do
            port = uint16_t(32768 + rng() % (60999 - 32768 + 1));
        while (!taken.insert(port).second);
        closing.emplace_back(now + open, port);
        return port;
    }
};

// A tool asking from one socket every `every` ticks beside a script's new
// sockets at its own address, their port numbers handed out again as the
// system does, and beside sockets that each re-send a read every 50 ticks:
// from its third try it has a line every time, and its line is taken once
// at most. A new socket never takes anyone's line, and the sockets handed
// the number of one that asked before climb one step a time, rarely
// further: the lines they hold stay low, however long the run.
TEST(LineRecall, AToolAskingAgainHoldsALineFromItsThirdTryWhateverItsAddressSends)
{
    struct Case {
        const char* name;
        uint32_t every;       // the tool's ticks between tries
        int perSecond;        // new sockets
        uint32_t open;        // ticks each stays open
        int resenders;        // sockets re-sending every 50 ticks
    };
    const Case cases[] = {
        {"every 2 s beside 300 new sockets a second", 200, 300, 0, 0},
        {"every 3 s beside 500 new sockets a second", 300, 500, 0, 0},
        {"every 5 s beside 500 new sockets a second", 500, 500, 0, 0},
        {"every 8 s beside 300 new sockets a second kept 2 s", 800, 300, 200, 0},
        {"every 10 s beside 300 new sockets a second", 1000, 300, 0, 0},
        {"every 2 s beside 20 re-senders every 0.5 s and new sockets", 200, 150, 0, 20},
    };
    const uint32_t home = 0x0100007f, other = 0x0200007f;
    std::mt19937 rng(57);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LinesRun run;
        Sockets sockets{std::mt19937(rng()), c.open, {}, {}};
        const uint16_t tool = sockets.next(0);
        sockets.closing.clear();   // the tool's stays open
        const uint32_t phase = rng() % c.every;
        int tries = 0, missed = 0;
        uint64_t scriptClaims = 0, scriptLines = 0;
        double carry = 0;
        for (run.now = 1; run.now < 25 * c.every; ++run.now) {
            for (carry += c.perSecond / 100.0; carry >= 1; --carry)
                run.ask(home, sockets.next(run.now));
            for (int r = 0; r < c.resenders; ++r)
                if ((run.now + uint32_t(r) * 7) % 50 == 0)
                    run.ask(home, uint16_t(61000 + r));
            if (run.now % c.every == phase) {
                const bool held = run.ask(home, tool);
                missed += ++tries >= 3 && !held;
            }
            if (run.now % 50 == 0) {
                run.serve();
                for (const LinesRun::Line& l : run.lines)
                    if (l.port != tool && l.port < 61000) {
                        scriptClaims += int(l.claim);
                        ++scriptLines;
                    }
            }
            if (run.now % 1000 == 0)
                run.ask(other, 1);
        }
        EXPECT_GT(tries, 20);
        EXPECT_EQ(missed, 0) << "tries from the third refused";
        EXPECT_LE(std::count(run.takenFrom.begin(), run.takenFrom.end(), tool), 1) << "its line taken";
        EXPECT_FALSE(run.newTookALine);
        EXPECT_LT(scriptClaims, 3 * scriptLines) << "lines held by new sockets: their claims on average under 3";
    }
}

// Inside an address the sender of the greater standing takes the line of
// the smallest claim (the last of equals), never one of an equal or greater
// claim; an address holding two or more fewer lines than the one holding
// the most takes that one's line of the smallest claim, however new its
// sender.
TEST(LineRecall, LinesGoToWhoAskedMostOftenInARowAddressesFirst)
{
    using H = LineRecall::Held;
    struct Case {
        std::vector<H> lines;
        uint32_t address, standing;
        int taken;
    };
    std::vector<H> home(32, H{1, 3});
    home[5].claim = 1;
    home[9].claim = 1;
    std::vector<H> shared(16, H{1, 0});
    shared.resize(31, H{2, 0});
    shared.push_back(H{2, 2});
    shared[3].claim = 40;
    const Case cases[] = {
        {home, 1, 2, 9}, {home, 1, 1, -1}, {home, 1, 0, -1}, {home, 2, 0, 9},
        {shared, 1, 1, 15}, {shared, 2, 0, -1}, {shared, 2, 3, 30}, {shared, 3, 0, 30},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LineRecall::lineToTake(c.lines, c.address, c.standing), c.taken) << c.address << " " << c.standing;
}

// A sender's standing is its tries in a row before this one, each within
// 1,000 ticks of the last; one silent longer starts over. Floods of new
// senders from hundreds of addresses never push out one that asks again,
// and memory stays bounded: while 16,384 are remembered a new sender is not.
TEST(LineRecall, StandingCountsTriesInARowAndNothingPushesOutASenderThatAsksAgain)
{
    LineRecall r;
    const uint32_t home = 7;
    uint32_t now = 100;
    EXPECT_EQ(r.note(home, 1, now), 0u) << "new";
    EXPECT_EQ(r.note(home, 1, now += 1000), 1u) << "again 1,000 ticks later";
    EXPECT_EQ(r.note(home, 1, now += 1), 2u);
    EXPECT_EQ(r.note(home, 1, now += 1001), 0u) << "silent 1,001 ticks: starts over";
    EXPECT_EQ(r.note(home, 2, now), 0u) << "another port of the address";
    std::mt19937 rng(62);
    for (uint32_t i = 0; i < 100000; ++i) {
        r.note(home + 1 + rng() % 500, uint16_t(rng()), now);
        r.note(home, uint16_t(20000 + rng() % 40000), now);
        if (i % 20 == 0)
            ++now;
        if (i % 3000 == 0) {
            EXPECT_EQ(r.note(home, 1, now), 1u + i / 3000) << "asking every 150 ticks";
        }
        EXPECT_LE(r.recalled(), 16384u);
    }
    EXPECT_EQ(r.recalled(), 16384u) << "full";
    const uint32_t later = now + 1001;
    EXPECT_EQ(r.note(home, 3, later), 0u);
    EXPECT_EQ(r.recalled(), 1u) << "all silent 1,001 ticks forgotten";
    EXPECT_EQ(r.note(home, 3, later + 1), 1u) << "remembered again once there is room";
}

} // namespace
} // namespace kel::test
