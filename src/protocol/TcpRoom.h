#pragma once
#include <cstddef>
#include <cstdint>
#include <set>
#include <vector>

namespace kel::protocol {

// Which connection a full set of TCP clients closes for a newcomer.
//
// Between PCs only counts decide: a connection is closed only of a PC that
// holds the most connections, the newcomer counted, and of PCs holding
// equally many the newcomer's own first. So one PC's traffic never closes
// another PC's tool, whatever either sends.
//
// Inside that PC its own order:
//   1. a connection that has sent no frame past its first second (the
//      oldest first);
//   2. a client that ended its sending and is still owed answers (the
//      oldest first);
//   3. a client that is owed nothing: no frame of it waits, no answer is
//      queued and no card request of it is out (heard from longest ago);
//   4. a client still sending that is owed answers (the newest);
//   5. a connection in its first second that has sent nothing yet (the
//      oldest first): its first second is its own, unless such connections
//      outnumber the PC's others (a burst of silent connects): then they
//      stand with the idle.
// A client that floods stands by what it owes: a batch floods too until
// its first answer.
//
// When every PC holds one connection (more PCs than the set holds) no
// conversation is cut for another PC: past its first second, a newcomer
// closes a flooder or a connection that sent nothing (the oldest first),
// else one that ended its sending (the oldest first), else, while no
// connection is silent in its first second (it would give way sooner), one
// owed nothing and unheard for kIdleQuiet (heard from longest ago). With
// none of those the newcomer is refused.
class TcpRoom {
public:
    // A second of ticks: a connection's time to send its first frame.
    static constexpr uint32_t kFirstSecond = 100;
    // Ten seconds of ticks: a client owed nothing and unheard this long has
    // left its conversation, as a server reclaims an idle keep-alive.
    static constexpr uint32_t kIdleQuiet = 1000;

    struct Member {
        uint32_t pc = 0;          // source address
        uint64_t accepted = 0;    // order of its accept
        uint32_t age = 0;         // ticks since its accept
        uint32_t quiet = 0;       // ticks since it was last heard
        bool spoke = false;       // sent a whole frame
        bool floods = false;
        bool ended = false;       // sends no more
        bool owed = false;        // a frame of it waits, an answer is queued or a card request is out
    };
    enum class Why { Idle, Ended, OwedNothing, Sending, FirstSecond, Refused };
    struct Choice {
        size_t index;   // into the members
        Why why;
    };

    // members: the set, the newcomer among them at index newcomer.
    static Choice choose(const std::vector<Member>& members, size_t newcomer);
    // Whether a newcomer of a PC the set does not hold would be refused:
    // the set is full and every PC in it holds one connection, each in its
    // conversation.
    static bool refusesNewPc(const std::vector<Member>& members, size_t bound);
    // What the log says of the choice.
    static const char* text(Why why);

private:
    static Why classOf(const Member& m, bool acrossPcs, bool silentBurst);
    static std::set<uint32_t> silentBursts(const std::vector<Member>& members, size_t newcomer);
    static bool anySilentYoung(const std::vector<Member>& members, size_t newcomer);
    // Has sent no frame yet, in its first second.
    static bool silentYoung(const Member& m);
    static bool givesToAnyPc(const Member& m, bool reclaims);
    // Whether a (of class wa) goes before b (of class wb).
    static bool before(const Member& a, Why wa, const Member& b, Why wb);
};

} // namespace kel::protocol
