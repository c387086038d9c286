#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>

namespace kel::protocol {

// The UDP senders refused a line for a waiting card request (their request
// dropped, or their line taken), by source address and port, and how often.
// Inside an address, a sender refused more often, or as often but first,
// outranks another: it takes the other's line when every line is taken. So
// a tool that keeps asking from one socket climbs with every refusal, while
// sockets that ask once or twice stay where they are: whatever the others
// of its address send, it takes a line within its next tries.
// Keyed by port: the system never hands the port of an open socket to
// another, so a tool's record is never another socket's. Forgotten only by
// refusals at its own address: a sender is recalled until kPerAddress other
// senders of its address were refused after its last refusal or line,
// however long that takes; of the addresses, the kAddresses refused last are recalled.
// Only the link's thread uses it.
class LineRecall {
public:
    struct Rank {
        uint32_t refused = 0;   // times refused a line, or its line taken
        uint64_t first = 0;     // order of its first refusal
        // Refused more often, or as often but first.
        bool outranks(const Rank& other) const;
    };
    static constexpr size_t kPerAddress = 2048;
    static constexpr size_t kAddresses = 32;

    Rank rankOf(const std::string& origin, uint16_t port) const;
    // One more refusal of the sender.
    void refused(const std::string& origin, uint16_t port);
    // The sender took a line: recalled as freshly as if refused now, with
    // its rank unchanged, so a tool that keeps taking lines by its rank
    // keeps it.
    void tookLine(const std::string& origin, uint16_t port);
    size_t recalled() const;

private:
    struct Entry {
        Rank rank;
        uint64_t last = 0;   // order of its last refusal
    };
    struct Address {
        std::unordered_map<uint16_t, Entry> senders;
        uint64_t last = 0;
    };
    static void forgetOldest(Address& a);
    void forgetOldestAddress();

    std::map<std::string, Address> addresses_;
    uint64_t order_ = 0;
};

} // namespace kel::protocol
