#pragma once
#include <netinet/in.h>

namespace kel::platform {

// Where sockets may listen and send. On the device: any interface and any
// destination. On the simulated board: loopback only; a loopback
// destination (127.x.y.z) stays as it is, a broadcast or any other
// destination is redirected to 127.0.0.1 (same port) so nothing leaves the
// machine.
class NetPolicy {
public:
    static void setLoopbackOnly(bool on);
    static bool loopbackOnly();
    // Address to bind listening sockets to (network byte order).
    static in_addr_t listenAddress();
    // Destination to actually use for a wanted destination.
    static sockaddr_in destination(const sockaddr_in& wanted);
    // Whether the socket may enable SO_BROADCAST.
    static bool broadcastAllowed();
};

} // namespace kel::platform
