#include "protocol/LinkSocket.h"

#include "platform/Board.h"
#include "platform/NetPolicy.h"
#include "platform/sim/SimBoard.h"

#include <QJsonObject>

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

namespace kel::protocol {
namespace {

std::mutex g_bindingsLock;
std::map<std::string, LinkSocket::Binding> g_bindings;

void record(const LinkSocket::Binding& b)
{
    {
        std::lock_guard<std::mutex> l(g_bindingsLock);
        g_bindings[b.link] = b;
    }
    if (auto* sim = platform::Board::sim())
        sim->addStateWriter("links", &LinkSocket::bindingState);
}

// Binds fd to the link's port. Only the device shares a UDP port
// (SO_REUSEADDR) where its broadcasts need it; on the simulated board a
// taken port is an error, so two controllers on one machine never split
// the answers between them. A TCP listener is exclusive either way.
// A listener's backlog is given; a UDP socket has none (-1).
int bound(int fd, uint16_t port, const std::string& link, int backlog, bool broadcasts = false)
{
    const bool udp = backlog < 0;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = platform::NetPolicy::listenAddress();
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &a.sin_addr, text, sizeof text);
    LinkSocket::Binding b{link, text, port, false, {}};
    int err = fd < 0 ? errno : 0;
    if (fd >= 0) {
        const int one = 1;
        if (!udp || (broadcasts && platform::NetPolicy::broadcastAllowed()))
            ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || (!udp && ::listen(fd, backlog) != 0))
            err = errno;
    }
    if (err != 0) {
        if (fd >= 0)
            ::close(fd);
        b.error = std::strerror(err);
        std::fprintf(stderr, "link %s: cannot bind %s:%u: %s\n", link.c_str(), b.address.c_str(), port,
                     b.error.c_str());
        record(b);
        return -1;
    }
    b.bound = true;
    b.port = LinkSocket::localPort(fd);
    record(b);
    return fd;
}

} // namespace

int LinkSocket::openUdp(uint16_t port, const std::string& link, bool broadcasts)
{
    int fd = bound(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0), port, link, -1, broadcasts);
    if (fd >= 0 && broadcasts && platform::NetPolicy::broadcastAllowed()) {
        const int one = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
    }
    return fd;
}

int LinkSocket::openTcpListener(uint16_t port, int backlog, const std::string& link)
{
    return bound(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0), port, link, backlog < 0 ? 0 : backlog);
}

std::vector<LinkSocket::Binding> LinkSocket::bindings()
{
    std::lock_guard<std::mutex> l(g_bindingsLock);
    std::vector<Binding> out;
    for (const auto& [name, b] : g_bindings)
        out.push_back(b);
    return out;
}

QJsonObject LinkSocket::bindingState()
{
    QJsonObject all;
    for (const Binding& b : bindings()) {
        QJsonObject o;
        o["bound"] = b.bound;
        o["address"] = QString::fromStdString(b.address);
        o["port"] = b.port;
        o["error"] = QString::fromStdString(b.error);
        all.insert(QString::fromStdString(b.link), o);
    }
    return all;
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

std::string LinkSocket::addressOf(const sockaddr_in& address)
{
    if (address.sin_family != AF_INET)
        return {};
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return text;
}

bool LinkSocket::waitReadable(int fd, int timeoutMs, int wakeFd)
{
    pollfd p[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    return ::poll(p, wakeFd >= 0 ? 2 : 1, timeoutMs) > 0 && (p[0].revents & (POLLIN | POLLHUP | POLLERR));
}

} // namespace kel::protocol
