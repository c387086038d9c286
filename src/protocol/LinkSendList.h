#pragma once
#include "protocol/LinkPeer.h"

#include <cstdint>
#include <mutex>
#include <vector>

namespace kel::protocol {

// A link's list of framed answers waiting to be sent, with its own lock:
// the answer path of the card pass-through fills it from another thread.
class LinkSendList {
public:
    struct Record {
        std::vector<uint8_t> bytes;
        LinkPeer peer;
    };

    void add(Record record);
    std::vector<Record> takeAll();
    bool empty() const;
    size_t size() const;

private:
    mutable std::mutex lock_;
    std::vector<Record> records_;
};

} // namespace kel::protocol
