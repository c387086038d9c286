#pragma once
// A host tool's side of the control links on loopback (UDP, and a TCP
// connection), for the benches.
#include "protocol/FrameAssembler.h"
#include "protocol/PhyFrame.h"
#include "protocol/protocol_phy.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdint>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
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

// A datagram socket on 127.0.0.1, or the loopback address `at` (network
// order; port 0: one the system picks).
inline int udpSocket(uint16_t port, in_addr_t at = htonl(INADDR_LOOPBACK))
{
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in me = loopback(port);
    me.sin_addr.s_addr = at;
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
inline Bytes request(uint8_t cmd, const Bytes& payload, uint8_t tag = 0)
{
    Bytes b = {0x00, 0xF1, 0x20, 0xF0, 0x10, tag, 0, 0, 0, cmd};
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

// A PC tool's read of 4 bytes at 0x180 of a card (card 1 unless told; a
// card request). Port byte 0 with route 0: output port 0; port byte p + 1:
// output port p; port byte 255 with route 1: every port with counted cards.
inline Bytes cardRead(uint8_t tag, uint8_t portByte = 0, uint8_t route = 0, uint8_t card = 1)
{
    return wire({card, 0x00, 0x10, 0xF0, 0x10, tag, route, portByte, 0, 0x61, 0x80, 0x01, 0x00, 0x00, 0x04, 0x00, 0x00,
                 0x00});
}

// Asks card reads of port 0 until one is answered within 1 s: the program
// runs and has found the cards. False when none is within the seconds.
inline bool waitForCards(int fd, uint16_t to, int seconds = 90)
{
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (uint8_t tag = 1; !roundTrip(fd, to, cardRead(tag)); tag = uint8_t(tag % 0x7F + 1))
        if (std::chrono::steady_clock::now() > giveUp)
            return false;
    return true;
}

// A TCP connection to the program on 127.0.0.1 (-1 when refused), from
// the loopback address `from` when one is given (network order).
inline int connectTcp(uint16_t port, in_addr_t from = htonl(INADDR_ANY))
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (from != htonl(INADDR_ANY)) {
        sockaddr_in me = loopback(0);
        me.sin_addr.s_addr = from;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&me), sizeof me) != 0) {
            ::close(fd);
            return -1;
        }
    }
    sockaddr_in to = loopback(port);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Cuts received bytes into answers and hands each one's command and tag on.
class AnswerReader {
public:
    template <typename F>
    void feed(const uint8_t* data, size_t n, F&& onAnswer)
    {
        assembler_.feed(data, n, [&](const uint8_t* w, size_t len) {
            uint8_t body[kel::protocol::protocol_phy::kMaxBody];
            if (phy_.data_transf_meaning(w, len, body, sizeof body) > 9)
                onAnswer(body[9], body[5]);
        });
    }

private:
    kel::protocol::FrameAssembler assembler_{kel::protocol::protocol_phy::kMaxWire};
    kel::protocol::protocol_phy phy_;
};

} // namespace bench
