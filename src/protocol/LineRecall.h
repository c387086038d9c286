#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kel::protocol {

// How often each UDP sender (source address and port) has asked in a row,
// and the rule that gives the lines to them. A try is a receive with a
// card request; tries in a row each come within kForgetTicks of the last,
// and a sender silent longer is forgotten: it starts over. A sender's
// standing is its tries in a row before this one, so a new socket has none
// and a tool that keeps asking climbs one a try. The system hands the port
// numbers of closed sockets out again: a new socket on the number of one
// that asked within kForgetTicks counts that one's tries, one step above
// it, and each further step is as rare again, so such sockets stay below a
// tool that asked a few times. While kSenders are remembered a new sender
// is not, so nothing pushes out a sender that asks again. Only the link's
// thread uses it.
class LineRecall {
public:
    static constexpr uint32_t kForgetTicks = 1000;
    static constexpr size_t kSenders = 16384;

    // A try of the sender at now: its standing.
    uint32_t note(uint32_t address, uint16_t port, uint32_t now);
    size_t recalled() const { return senders_.size(); }

    // A line as the rule sees it: its holder's address and standing.
    struct Held {
        uint32_t address;
        uint32_t claim;
    };
    // Every line is taken: the index of the line a sender of address and
    // standing takes, or -1 (its request is dropped). An address holding
    // two or more fewer lines than the address holding the most takes that
    // address's line of the smallest claim; else the sender takes its own
    // address's line of the smallest claim if its standing is greater. The
    // newest (last) of equal claims.
    static int lineToTake(const std::vector<Held>& lines, uint32_t address, uint32_t standing);

private:
    struct Sender {
        uint32_t last;    // tick of its last try
        uint32_t tries;   // in a row, this one counted
    };
    void forgetSilent(uint32_t now);

    std::unordered_map<uint64_t, Sender> senders_;
    // Each sender once, with the tick it was queued at: mostly oldest first.
    std::deque<std::pair<uint64_t, uint32_t>> order_;
};

} // namespace kel::protocol
