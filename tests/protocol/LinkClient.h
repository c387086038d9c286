#pragma once
#include "TestFrames.h"

#include <cstdint>
#include <functional>
#include <string>

namespace kel::test {

// The PC tool's end of a link in the tests: a UDP or TCP socket on
// 127.0.0.1 or the far end of a pseudo-terminal. Every receive waits at
// most two seconds.
class LinkClient {
public:
    static LinkClient udp(uint16_t serverPort);
    // from: the source address (a loopback address standing for a PC).
    static LinkClient tcp(uint16_t serverPort, const char* from = "127.0.0.1");
    static LinkClient serial(const std::string& ptyPath);
    LinkClient(LinkClient&& o) noexcept;
    ~LinkClient();

    bool ok() const { return fd_ >= 0; }
    // The socket, for a test that drives it itself.
    int fd() const { return fd_; }
    bool send(const Bytes& bytes);
    // True when bytes wait to be read (does not wait).
    bool hasData() const;
    // The next complete answer frame, unframed (empty on timeout).
    Bytes receive();
    // Sends a request and returns the answer body.
    Bytes exchange(const Bytes& wire);

private:
    enum class Kind { Udp, Tcp, Serial };
    LinkClient(Kind kind, int fd, uint16_t port);

    Kind kind_;
    int fd_;
    uint16_t port_;
    Bytes pending_;
};

// Waits (at most two seconds) until pred holds.
bool eventually(const std::function<bool()>& pred);

} // namespace kel::test
