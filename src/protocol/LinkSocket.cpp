#include "protocol/LinkSocket.h"

#include "platform/NetPolicy.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kel::protocol {
namespace {

int bound(int fd, uint16_t port)
{
    if (fd < 0)
        return -1;
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = platform::NetPolicy::listenAddress();
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

int LinkSocket::openUdp(uint16_t port)
{
    int fd = bound(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0), port);
    if (fd >= 0 && platform::NetPolicy::broadcastAllowed()) {
        const int one = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
    }
    return fd;
}

int LinkSocket::openTcpListener(uint16_t port, int backlog)
{
    int fd = bound(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0), port);
    if (fd >= 0 && ::listen(fd, backlog) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

uint16_t LinkSocket::localPort(int fd)
{
    sockaddr_in a{};
    socklen_t len = sizeof a;
    if (fd < 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        return 0;
    return ntohs(a.sin_port);
}

std::string LinkSocket::keyOf(const sockaddr_in& address)
{
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
}

bool LinkSocket::waitReadable(int fd, int timeoutMs)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) > 0 && (p.revents & (POLLIN | POLLHUP | POLLERR));
}

} // namespace kel::protocol
