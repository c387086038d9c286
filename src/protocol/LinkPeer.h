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
    // closed): its card requests take their turns after everyone else's.
    bool ended = false;
};

} // namespace kel::protocol
