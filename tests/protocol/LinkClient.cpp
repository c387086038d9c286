#include "LinkClient.h"

#include "protocol/FrameAssembler.h"

#include <arpa/inet.h>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace kel::test {
namespace {

constexpr int kWaitMs = 2000;

sockaddr_in loopback(uint16_t port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

} // namespace

bool eventually(const std::function<bool()>& pred)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::yield();
    }
    return true;
}

LinkClient::LinkClient(Kind kind, int fd, uint16_t port)
    : kind_(kind)
    , fd_(fd)
    , port_(port)
{
}

LinkClient::LinkClient(LinkClient&& o) noexcept
    : kind_(o.kind_)
    , fd_(o.fd_)
    , port_(o.port_)
    , pending_(std::move(o.pending_))
{
    o.fd_ = -1;
}

LinkClient::~LinkClient()
{
    if (fd_ >= 0)
        ::close(fd_);
}

LinkClient LinkClient::udp(uint16_t serverPort)
{
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in me = loopback(0);
    ::bind(fd, reinterpret_cast<sockaddr*>(&me), sizeof me);
    return LinkClient(Kind::Udp, fd, serverPort);
}

LinkClient LinkClient::tcp(uint16_t serverPort, const char* from)
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in to = loopback(serverPort);
    sockaddr_in source = loopback(0);
    ::inet_pton(AF_INET, from, &source.sin_addr);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&source), sizeof source) != 0 ||
        ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        ::close(fd);
        fd = -1;
    }
    return LinkClient(Kind::Tcp, fd, serverPort);
}

LinkClient LinkClient::serial(const std::string& ptyPath)
{
    int fd = ::open(ptyPath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0) {
        termios t{};
        ::tcgetattr(fd, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(fd, TCSANOW, &t);
    }
    return LinkClient(Kind::Serial, fd, 0);
}

bool LinkClient::send(const Bytes& bytes)
{
    if (kind_ == Kind::Udp) {
        sockaddr_in to = loopback(port_);
        return ::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to)
            == ssize_t(bytes.size());
    }
    return ::write(fd_, bytes.data(), bytes.size()) == ssize_t(bytes.size());
}

bool LinkClient::hasData() const
{
    pollfd p{fd_, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & POLLIN);
}

Bytes LinkClient::receive()
{
    protocol::FrameAssembler a(protocol::protocol_phy::kMaxWire);
    Bytes frame;
    auto sink = [&](const uint8_t* p, size_t n) {
        if (frame.empty())
            frame.assign(p, p + n);
    };
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    uint8_t buf[65536];
    while (frame.empty()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        pollfd p{fd_, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, int(left.count())) <= 0)
            return {};
        const ssize_t got = ::read(fd_, buf, kind_ == Kind::Udp ? sizeof buf : 1);
        if (got <= 0)
            return {};
        a.feed(buf, size_t(got), sink);
    }
    return TestFrames::unframe(frame);
}

Bytes LinkClient::exchange(const Bytes& wire)
{
    return send(wire) ? receive() : Bytes{};
}

} // namespace kel::test
