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
    // The peer has ended its sending (a TCP client that shut its side or
    // closed): once two of its card requests in a row went unanswered, the
    // rest of its card requests are dropped.
    bool ended = false;
    // The peer asks again: it has asked before, or has more requests queued
    // behind this one. A peer new to a card port that asks once shares one
    // turn with the other such peers of its address.
    bool again = false;
    // A TCP client with 16 KiB or more unread that has taken no answer
    // since its backlog began.
    bool floods = false;
};

} // namespace kel::protocol
