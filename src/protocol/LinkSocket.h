#pragma once
#include <netinet/in.h>

#include <cstdint>
#include <string>

namespace kel::protocol {

// Sockets of the control links, bound where the platform's network policy
// allows (loopback only on the simulated board).
class LinkSocket {
public:
    // -1 on failure. Port 0 picks a free port.
    static int openUdp(uint16_t port);
    static int openTcpListener(uint16_t port, int backlog);
    static uint16_t localPort(int fd);
    // "a.b.c.d:port", the key of a peer.
    static std::string keyOf(const sockaddr_in& address);
    // Waits up to timeoutMs for fd to become readable.
    static bool waitReadable(int fd, int timeoutMs);
};

} // namespace kel::protocol
