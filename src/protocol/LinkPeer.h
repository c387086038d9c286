#pragma once
#include <netinet/in.h>

#include <string>

namespace kel::protocol {

// The other end of a request on a link: a UDP sender's address, a TCP
// connection, or the serial port. key names it for transfer ownership.
struct LinkPeer {
    sockaddr_in address{};
    int fd = -1;
    std::string key;
    // The peer has ended its sending: a TCP client that shut its side or
    // closed (its socket read to its end). Nothing else sets it. Its card
    // requests to a port where two in a row went unanswered may be dropped.
    bool ended = false;
    // The peer is expected to ask again: a TCP client that has not ended
    // its sending; a UDP sender or the serial line with another card
    // request for the same port (or one overlapping it) behind this one in
    // the same receive (a later datagram of a UDP address and port may be a
    // new socket's).
    bool again = false;
    // A UDP sender's tries in a row before its last (its standing on the
    // lines; none once it is forgotten): among its address's new sockets
    // at the card path, a tool that keeps asking goes before sockets that
    // asked once.
    uint32_t tries = 0;
    // A TCP client with 16 KiB or more unread that has taken no answer since
    // its backlog began: served later, never dropped for it.
    bool floods = false;
};

} // namespace kel::protocol
