#include "protocol/TcpRoom.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

namespace kel::test {
namespace {

using protocol::TcpRoom;

// What a connection did, as a tool would see it:
//   'i' connected and sent nothing, 'f' floods (a batch before its first
//   answer looks the same), 'e' ended its sending and is
//   owed answers, 's' spoke and is owed nothing (served), 'w' spoke and is
//   owed answers (waiting). Ticks are hundredths of a second.
struct Conn {
    uint32_t pc;
    char did;
    uint32_t age;
    uint32_t quiet = 0;
};

TcpRoom::Member member(const Conn& c, uint64_t accepted)
{
    TcpRoom::Member m;
    m.pc = c.pc;
    m.accepted = accepted;
    m.age = c.age;
    m.quiet = c.quiet;
    m.spoke = c.did != 'i';
    m.floods = c.did == 'f';
    m.ended = c.did == 'e';
    m.owed = c.did == 'e' || c.did == 'w' || c.did == 'f';
    return m;
}

// The set in accept order, the newcomer last.
std::vector<TcpRoom::Member> setOf(const std::vector<Conn>& conns)
{
    std::vector<TcpRoom::Member> set;
    for (size_t i = 0; i < conns.size(); ++i)
        set.push_back(member(conns[i], i + 1));
    return set;
}

std::vector<Conn> times(int n, Conn c)
{
    return std::vector<Conn>(size_t(n), c);
}

std::vector<Conn> operator+(std::vector<Conn> a, const std::vector<Conn>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(TcpRoom, ClosesByCountsBetweenPcsAndByWhatEachOwesInsideOne)
{
    const Conn newcomer1{1, 'w', 0}, newcomer2{2, 'w', 0}, newcomer3{3, 'w', 0};
    struct Case {
        const char* name;
        std::vector<Conn> set;   // the newcomer last
        int gone;                // index into set; the newcomer's own: refused
    };
    const std::vector<Case> cases = {
        // A tool of another PC that writes 20 ms, 0.5 s or 1.5 s after its
        // connect, beside one PC's closers: its PC holds fewer.
        {"a PC's closer closes its own, not another PC's silent tool (20 ms)",
         times(62, {1, 'e', 40}) + std::vector<Conn>{{2, 'i', 2}, newcomer1}, 0},
        {"... 0.5 s", times(62, {1, 'e', 40}) + std::vector<Conn>{{2, 'i', 50}, newcomer1}, 0},
        {"... 1.5 s", times(62, {1, 'e', 40}) + std::vector<Conn>{{2, 'i', 150}, newcomer1}, 0},
        {"another PC's newcomer too", times(62, {1, 'e', 40}) + std::vector<Conn>{{2, 'i', 150}, newcomer3}, 0},
        {"a tool at the closers' PC has its first second against the closers before it",
         times(40, {1, 'e', 60}) + std::vector<Conn>{{1, 'i', 10}} + times(23, {1, 'e', 5}) +
             std::vector<Conn>{newcomer1},
         0},
        {"at the PC holding the most, what owes nothing first: idle past its first second",
         std::vector<Conn>{{1, 'w', 300}, {1, 'e', 300}, {1, 's', 300, 200}, {1, 'i', 300}, {1, 'i', 120}} +
             times(59, {1, 'w', 200}) + std::vector<Conn>{newcomer2},
         3},
        {"a flooder stands by what it owes: its PC's closers go first",
         times(10, {1, 'w', 300}) + std::vector<Conn>{{1, 'f', 200}} + times(53, {1, 'e', 300}) +
             std::vector<Conn>{newcomer1},
         11},
        {"then the oldest that ended", times(3, {1, 'w', 300}) + times(3, {1, 'e', 300}) + times(58, {1, 's', 300}) +
                                           std::vector<Conn>{newcomer1},
         3},
        {"connections younger than a second go after every older one that ended",
         times(40, {1, 'e', 300}) + times(24, {1, 'i', 5}) + std::vector<Conn>{newcomer1}, 0},
        {"a connection unspoken in its first second goes after its PC's clients still waiting",
         std::vector<Conn>{{1, 'i', 10}} + times(63, {1, 'w', 300}) + std::vector<Conn>{newcomer1}, 63},
        {"... and after its PC's served clients, however recently heard",
         std::vector<Conn>{{1, 'i', 90}, {1, 's', 300, 1}} + times(62, {1, 'w', 300}) + std::vector<Conn>{newcomer1}, 1},
        {"of connections all unspoken in their first second, the oldest",
         std::vector<Conn>{{2, 'w', 300}, {1, 'i', 30}, {1, 'i', 99}} + times(61, {1, 'i', 5}) +
             std::vector<Conn>{newcomer1},
         1},
        {"but a burst of silent connects half a second old goes before the PC's one-write half-closed clients",
         times(64, {1, 'i', 50}) + times(10, {1, 'e', 0}) + std::vector<Conn>{{1, 'e', 0}}, 0},
        {"... while they outnumber its others",
         times(32, {1, 'i', 50}) + times(32, {1, 'e', 0}) + std::vector<Conn>{{1, 'e', 0}}, 32},
        {"served clients before clients owed answers, heard from longest ago first",
         std::vector<Conn>{{1, 'w', 300}, {1, 's', 300, 30}, {1, 's', 300, 80}, {1, 's', 300, 50}} +
             times(60, {1, 'w', 300}) + std::vector<Conn>{newcomer1},
         2},
        {"all owed answers and still sending: the newest", times(64, {1, 'w', 300}) + std::vector<Conn>{newcomer1},
         63},
        {"PCs holding equally many: the newcomer's own gives way",
         std::vector<Conn>{{2, 'i', 300}} + times(31, {2, 'w', 300}) + times(31, {1, 'w', 300}) +
             std::vector<Conn>{newcomer1},
         62},
        {"of PCs holding more than the newcomer's, the one whose connection goes first",
         times(32, {2, 'w', 300}) + std::vector<Conn>{{1, 'i', 300}} + times(31, {1, 'w', 300}) +
             std::vector<Conn>{newcomer3},
         32},
        {"every PC holds one: a connection that sent nothing past its first second",
         std::vector<Conn>{{2, 's', 300}, {3, 'w', 300}, {4, 'i', 300}, {5, 'e', 300}, {6, 'i', 50}, newcomer1}, 2},
        {"every PC holds one: a flooder as soon",
         std::vector<Conn>{{2, 's', 300}, {3, 'w', 300}, {4, 'e', 300}, {5, 'f', 300}, newcomer1}, 3},
        {"every PC holds one: then one that ended",
         std::vector<Conn>{{2, 's', 300}, {3, 'w', 300}, {4, 'i', 50}, {5, 'e', 300}, {6, 'e', 300}, newcomer1}, 3},
        {"every PC holds one: then one owed nothing and unheard for ten seconds",
         std::vector<Conn>{{2, 's', 3000, 999}, {3, 'w', 20}, {4, 's', 3000, 1000}, {5, 's', 3000, 1500}, newcomer1}, 3},
        {"... unless one silent in its first second would give way sooner",
         std::vector<Conn>{{2, 's', 3000, 999}, {3, 'i', 20}, {4, 's', 3000, 1000}, {5, 's', 3000, 1500}, newcomer1}, 4},
        {"every PC holds one, each in its conversation or first second: the newcomer is refused",
         std::vector<Conn>{{2, 's', 3000, 999}, {3, 'w', 3000, 2000}, {4, 'i', 99}, {5, 'e', 99}, {6, 'f', 99},
                           {7, 'w', 10}, newcomer1},
         6},
    };
    for (const Case& c : cases) {
        const TcpRoom::Choice choice = TcpRoom::choose(setOf(c.set), c.set.size() - 1);
        EXPECT_EQ(choice.index, size_t(c.gone)) << c.name;
        EXPECT_EQ(choice.why == TcpRoom::Why::Refused, size_t(c.gone) == c.set.size() - 1) << c.name;
    }
}

// Whatever the connections did, over sets where every PC holds one, where
// PCs hold two, where one PC holds most, and mixed:
//   - between PCs only counts decide: the one closed is of a PC holding the
//     most, the newcomer counted, the newcomer's own where it holds as many;
//   - when every PC holds one, nobody is closed for another PC in its
//     first second or in its conversation (owed answers and still sending,
//     or heard within ten seconds), and a newcomer of a new PC is refused
//     (refusesNewPc) exactly when every connection is so;
//   - inside the PC that gives way, a connection unspoken past its first
//     second goes first, one unspoken in its first second last (the oldest
//     of each), unless those outnumber its others: then the oldest unspoken
//     first.
TEST(TcpRoom, NothingAToolSendsMovesWhichPcGivesWay)
{
    std::mt19937 rng(74);
    const std::string dids = "ifesw";
    const auto inConversation = [](const TcpRoom::Member& m) {
        return m.age < TcpRoom::kFirstSecond ||
               (m.spoke && !m.floods && !m.ended && (m.owed || m.quiet < TcpRoom::kIdleQuiet));
    };
    const auto unspoken = [](const TcpRoom::Member& m, bool young) {
        return !m.spoke && (m.age < TcpRoom::kFirstSecond) == young;
    };
    int refused = 0, acrossPcs = 0, bursts = 0;
    for (int round = 0; round < 20000; ++round) {
        const int regime = round % 4;
        // Half the sets of one connection a PC are all in their
        // conversation but for at most one.
        const bool lively = regime == 0 && rng() % 2;
        // A third of the sets where one PC holds most have it connect in a
        // silent burst, mostly.
        const bool burst = regime == 2 && rng() % 3 == 0;
        std::vector<Conn> conns;
        for (uint32_t i = 0; i < 64; ++i) {
            const uint32_t pc = regime == 0 ? 2 + i : regime == 1 ? 2 + i / 2 : regime == 2 ? (rng() % 4 ? 1 : 2 + i) : 1 + rng() % 5;
            const uint32_t age = rng() % 3 ? rng() % 300 : rng() % 3000;
            const uint32_t quiet = std::min<uint32_t>(age, rng() % (lively ? 1000 : 2000));
            conns.push_back({pc, lively ? "sw"[rng() % 2] : dids[rng() % dids.size()], age, quiet});
            if (burst && pc == 1 && rng() % 4)
                conns.back() = {pc, 'i', uint32_t(rng() % 100)};
        }
        if (lively && rng() % 2)
            conns[rng() % 64] = {conns[0].pc + 64, dids[rng() % dids.size()], uint32_t(rng() % 3000), uint32_t(rng() % 3000)};
        const bool newPc = rng() % 2;
        const uint32_t age = rng() % 3;
        conns.push_back({newPc ? 1000 : conns[rng() % 64].pc, dids[rng() % dids.size()], age, 0});
        const auto set = setOf(conns);
        const size_t newcomer = set.size() - 1;
        std::map<uint32_t, size_t> counts;
        for (const auto& m : set)
            ++counts[m.pc];
        size_t most = 0;
        for (const auto& e : counts)
            most = std::max(most, e.second);
        const uint32_t own = set[newcomer].pc;
        const uint32_t giving = counts[own] == most && most > 1 ? own : 0;
        const TcpRoom::Choice choice = TcpRoom::choose(set, newcomer);
        const TcpRoom::Member& gone = set[choice.index];
        const std::vector<TcpRoom::Member> before(set.begin(), set.end() - 1);
        // An idle keep-alive is reclaimed only while none is silent in its
        // first second.
        const bool young = std::any_of(before.begin(), before.end(), [&](const auto& m) { return unspoken(m, true); });
        const auto stays = [&](const TcpRoom::Member& m) {
            return inConversation(m) || (young && m.spoke && !m.floods && !m.ended);
        };
        const bool keptOut = counts.size() - (newPc ? 1 : 0) == 64 && std::all_of(before.begin(), before.end(), stays);
        ASSERT_EQ(TcpRoom::refusesNewPc(before, 64), keptOut) << round;
        ASSERT_EQ(choice.index == newcomer, newPc && keptOut) << round;
        ASSERT_EQ(choice.why == TcpRoom::Why::Refused, choice.index == newcomer) << round;
        refused += choice.index == newcomer;
        if (choice.index == newcomer)
            continue;
        ASSERT_EQ(counts[gone.pc], most) << round;
        ASSERT_TRUE(!giving || gone.pc == giving) << round;
        if (most == 1) {
            ++acrossPcs;
            ASSERT_FALSE(stays(gone)) << round << ": closed in its conversation for another PC";
            continue;
        }
        int silent = 0;
        for (const TcpRoom::Member& m : before)
            silent += m.pc != gone.pc ? 0 : unspoken(m, true) ? 1 : -1;
        bursts += silent > 0;
        for (const TcpRoom::Member& m : before) {
            if (m.pc != gone.pc)
                continue;
            if (silent > 0) {
                ASSERT_FALSE(!m.spoke && !(!gone.spoke && gone.accepted <= m.accepted))
                    << round << ": an older connection of a silent burst stays";
                continue;
            }
            ASSERT_FALSE(unspoken(m, false) && !(unspoken(gone, false) && gone.accepted <= m.accepted))
                << round << ": an older connection unspoken past its first second stays";
            ASSERT_FALSE(unspoken(gone, true) && !(unspoken(m, true) && gone.accepted <= m.accepted))
                << round << ": one unspoken in its first second goes before another";
        }
    }
    EXPECT_GT(refused, 500);
    EXPECT_GT(acrossPcs, 500);
    EXPECT_GT(bursts, 500);
}

} // namespace
} // namespace kel::test
