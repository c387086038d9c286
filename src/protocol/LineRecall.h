#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <unordered_map>
#include <vector>

namespace kel::protocol {

// When each UDP sender (source address and port) that sends card requests
// last had what it asked for, in the program's ticks, and the rule that
// gives the lines to them. A sender's since is the tick its card request
// last went or its line last ended or was taken; a sender first seen has
// gone without nothing, so a new socket never takes anyone's line. A
// refused sender keeps its since: it climbs with time, not with tries.
// Two stores, so that one-shot sockets never push out a tool that asks
// again: senders seen once, a FIFO shared by all addresses (kOnce of them);
// senders seen twice or more (kPerAddress per address, of the kAddresses
// seen last), which only each other push out, the one seen longest ago
// first. A sender seen again moves from the first store to the second,
// keeping its since. Only the link's thread uses it.
class LineRecall {
public:
    static constexpr size_t kOnce = 16384;
    static constexpr size_t kPerAddress = 256;
    static constexpr size_t kAddresses = 32;

    // A card request of the sender at now: its since, the sender noted as
    // first seen now when it is not recalled.
    uint32_t note(uint32_t address, uint16_t port, uint32_t now);
    // The sender had what it asked for at now.
    void had(uint32_t address, uint16_t port, uint32_t now);
    size_t recalled() const;

    // A line as the rule sees it: its holder's address, and how long the
    // holder had gone without what it asked when it took the line.
    struct Held {
        uint32_t address;
        uint32_t claim;
    };
    // Every line is taken: the index of the line a sender of address that
    // has gone `gone` ticks without takes, or -1 (its request is dropped).
    // An address holding two or more fewer lines than the address holding
    // the most takes that address's line of the smallest claim; else the
    // sender takes its own address's line of the smallest claim if it has
    // gone strictly longer than that. The newest (last) of equal claims.
    static int lineToTake(const std::vector<Held>& lines, uint32_t address, uint32_t gone);

private:
    static uint64_t keyOf(uint32_t address, uint16_t port) { return uint64_t(address) << 16 | port; }
    struct Once {
        uint32_t since;
        uint64_t order;   // of its place in onceOrder_
    };
    struct Twice {
        uint32_t since;
        uint64_t seen;    // order of its last card request
    };
    struct Address {
        std::unordered_map<uint16_t, Twice> senders;
        uint64_t seen = 0;
    };
    Twice* twiceOf(uint32_t address, uint16_t port);
    void keepTwice(uint32_t address, uint16_t port, uint32_t since);

    std::unordered_map<uint64_t, Once> once_;
    std::deque<std::pair<uint64_t, uint64_t>> onceOrder_;   // key, order; the oldest first
    std::unordered_map<uint32_t, Address> twice_;
    uint64_t order_ = 0;
};

} // namespace kel::protocol
