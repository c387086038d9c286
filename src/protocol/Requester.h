#pragma once
#include <cstdint>
#include <string>

namespace kel::protocol {

// Who sent a request: the link and the peer on it (UDP address and port,
// TCP connection, serial port). Owns a file transfer.
struct Requester {
    uint8_t link = 0;
    std::string peer;

    bool operator==(const Requester& o) const { return link == o.link && peer == o.peer; }
    bool operator!=(const Requester& o) const { return !(*this == o); }
};

} // namespace kel::protocol
