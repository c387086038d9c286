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
        {"a batch of connections younger than a second goes after every older one that ended",
         times(10, {1, 'e', 300}) + times(54, {1, 'i', 5}) + std::vector<Conn>{newcomer1}, 0},
        {"idle connections half a second old before a burst of one-write half-closed clients",
         times(64, {1, 'i', 50}) + times(10, {1, 'e', 0}) + std::vector<Conn>{{1, 'e', 0}}, 0},
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
        {"every PC holds one: then the newest that spoke in its first second",
         std::vector<Conn>{{2, 's', 300}, {3, 'w', 20}, {4, 'w', 10}, {5, 'w', 300}, {6, 'i', 5}, newcomer1}, 2},
        {"every PC holds one, all in their conversation or first second: the newcomer is refused",
         std::vector<Conn>{{2, 's', 300}, {3, 'w', 300}, {4, 'i', 99}, {5, 's', 20}, newcomer1}, 4},
    };
    for (const Case& c : cases) {
        const TcpRoom::Choice choice = TcpRoom::choose(setOf(c.set), c.set.size() - 1);
        EXPECT_EQ(choice.index, size_t(c.gone)) << c.name;
        EXPECT_EQ(choice.why == TcpRoom::Why::Refused, size_t(c.gone) == c.set.size() - 1) << c.name;
    }
}

// Between PCs only counts decide: whatever the connections did, the one
// closed is of a PC holding the most, the newcomer counted, the newcomer's
// own where it holds as many; and a tool owed nothing, or unspoken in its
// first second, is never closed for another PC's newcomer.
TEST(TcpRoom, NothingAToolSendsMovesWhichPcGivesWay)
{
    std::mt19937 rng(71);
    const std::string dids = "ifesw";
    for (int round = 0; round < 3000; ++round) {
        const uint32_t pcs = 1 + rng() % (round % 3 == 0 ? 70 : 5);
        std::vector<Conn> conns;
        for (int i = 0; i < 65; ++i)
            conns.push_back({1 + uint32_t(rng() % pcs), dids[rng() % dids.size()], uint32_t(rng() % 300), uint32_t(rng() % 300)});
        const auto set = setOf(conns);
        const size_t newcomer = set.size() - 1;
        std::map<uint32_t, size_t> counts;
        for (const auto& m : set)
            ++counts[m.pc];
        size_t most = 0;
        for (const auto& e : counts)
            most = std::max(most, e.second);
        const TcpRoom::Choice choice = TcpRoom::choose(set, newcomer);
        const TcpRoom::Member& gone = set[choice.index];
        const uint32_t own = set[newcomer].pc;
        if (most > 1) {
            ASSERT_NE(choice.index, newcomer) << round;
            ASSERT_EQ(counts[gone.pc], most) << round;
            ASSERT_TRUE(counts[own] < most || gone.pc == own) << round;
        } else if (choice.index != newcomer) {
            ASSERT_FALSE(!gone.floods && gone.spoke && !gone.owed) << round << ": a served tool closed for another PC";
            ASSERT_FALSE(!gone.spoke && gone.age < TcpRoom::kFirstSecond) << round << ": closed in its first second";
            ASSERT_FALSE(gone.spoke && gone.owed && !gone.ended && !gone.floods && gone.age >= TcpRoom::kFirstSecond)
                << round << ": a tool waiting for its answers closed for another PC";
        }
    }
}

} // namespace
} // namespace kel::test
