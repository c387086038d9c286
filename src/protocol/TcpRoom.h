#pragma once
#include <cstddef>
#include <cstdint>
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
//   2. a client that ended its sending and is still owed answers, and a
//      connection in its first second that has sent nothing yet (the oldest
//      first): a connection's first second is its own against every
//      connection of its PC that came before it;
//   3. a client that is owed nothing: no frame of it waits, no answer is
//      queued and no card request of it is out (heard from longest ago);
//   4. a client still sending that is owed answers (the newest).
// A client that floods stands by what it owes: a batch floods too until
// its first answer. When every PC holds one connection (more PCs than the
// set holds) the order runs across all PCs, a flooder first with the idle,
// but passes over a client owed nothing, one unspoken in its first second
// and one still sending past its first second: no tool in its
// conversation is closed for another PC. With none left the newcomer is
// refused.
class TcpRoom {
public:
    // A second of ticks: a connection's time to send its first frame.
    static constexpr uint32_t kFirstSecond = 100;

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
    enum class Why { Idle, Ended, FirstSecond, OwedNothing, Sending, Refused };
    struct Choice {
        size_t index;   // into the members
        Why why;
    };

    // members: the set, the newcomer among them at index newcomer.
    static Choice choose(const std::vector<Member>& members, size_t newcomer);
    // What the log says of the choice.
    static const char* text(Why why);

private:
    static Why classOf(const Member& m, bool acrossPcs);
    static int rank(Why why);
    static bool givesToAnyPc(const Member& m);
    // Whether a goes before b inside one PC, or across all.
    static bool before(const Member& a, const Member& b, bool acrossPcs);
};

} // namespace kel::protocol
