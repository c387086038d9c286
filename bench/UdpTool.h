#pragma once
// A host tool's side of the UDP control link on loopback, for the benches.
#include "protocol/PhyFrame.h"
#include "protocol/protocol_phy.h"

#include <arpa/inet.h>
#include <cstdint>
#include <poll.h>
#include <sys/socket.h>
#include <utility>
#include <vector>

namespace bench {

using Bytes = std::vector<uint8_t>;

inline sockaddr_in loopback(uint16_t port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

// A datagram socket on 127.0.0.1 (port 0: one the system picks).
inline int udpSocket(uint16_t port)
{
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in me = loopback(port);
    ::bind(fd, reinterpret_cast<sockaddr*>(&me), sizeof me);
    return fd;
}

inline uint16_t portOf(int fd)
{
    sockaddr_in a{};
    socklen_t n = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
    return ntohs(a.sin_port);
}

// A frame body with its check byte, escaped for the wire.
inline Bytes wire(Bytes body)
{
    body.push_back(kel::protocol::PhyFrame::xorOf(body.data(), body.size()));
    kel::protocol::protocol_phy phy;
    Bytes w(kel::protocol::protocol_phy::framedCapacity(body.size()));
    w.resize(phy.data_re_transf_meaning(w.data(), body.data(), uint32_t(body.size())));
    return w;
}

// One framed request of the PC tool to the controller.
inline Bytes request(uint8_t cmd, const Bytes& payload)
{
    Bytes b = {0x00, 0xF1, 0x20, 0xF0, 0x10, 0, 0, 0, 0, cmd};
    b.insert(b.end(), payload.begin(), payload.end());
    return wire(std::move(b));
}

// Sends and waits for one datagram back; false after timeoutMs.
inline bool roundTrip(int fd, uint16_t to, const Bytes& wire, int timeoutMs = 1000)
{
    sockaddr_in dest = loopback(to);
    ::sendto(fd, wire.data(), wire.size(), 0, reinterpret_cast<sockaddr*>(&dest), sizeof dest);
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0)
        return false;
    uint8_t buf[2048];
    return ::recv(fd, buf, sizeof buf, 0) > 0;
}

} // namespace bench
