#include "protocol/networkManage.h"

#include "protocol/LinkSocket.h"
#include "protocol/ProtocolCodes.h"
#include "protocol/ProtocolContext.h"

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <vector>

namespace kel::protocol {

networkManage* networkManage::p_networkManage = nullptr;

networkManage::networkManage(ControllerPort& port, message_deal& deal, const LinkSettings& settings)
    : ControlLink(LINK_TCP, port, deal)
    , settings_(settings)
{
    if (settings_.tcpEnabled)
        listenFd_ = LinkSocket::openTcpListener(settings_.tcpPort, settings_.tcpMaxClients);
    if (listenFd_ >= 0)
        startThread();
}

networkManage::~networkManage()
{
    stopThread();
    closeAll();
    if (listenFd_ >= 0)
        ::close(listenFd_);
}

networkManage* networkManage::pInstance()
{
    if (!p_networkManage && ProtocolContext::port())
        p_networkManage = new networkManage(*ProtocolContext::port(), *ProtocolContext::deal(), ProtocolContext::settings());
    return p_networkManage;
}

uint16_t networkManage::localPort() const { return LinkSocket::localPort(listenFd_); }

void networkManage::closeAll()
{
    for (auto& c : clients_)
        ::close(c.first);
    clients_.clear();
}

void networkManage::acceptThread()
{
    std::vector<pollfd> fds;
    while (!stopping()) {
        fds.assign(1, pollfd{listenFd_, POLLIN, 0});
        for (const auto& c : clients_)
            fds.push_back(pollfd{c.first, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), settings_.pollMs) > 0) {
            for (size_t i = 1; i < fds.size(); ++i) {
                if (!fds[i].revents)
                    continue;
                auto it = clients_.find(fds[i].fd);
                if (it != clients_.end() && !readClient(*it->second)) {
                    ::close(it->first);
                    clients_.erase(it);
                }
            }
            if (fds[0].revents & POLLIN)
                acceptOne();
        }
        servicePass();
    }
}

void networkManage::acceptOne()
{
    sockaddr_in from{};
    socklen_t len = sizeof from;
    const int fd = ::accept4(listenFd_, reinterpret_cast<sockaddr*>(&from), &len, SOCK_CLOEXEC);
    if (fd < 0)
        return;
    if (clients_.size() >= size_t(settings_.tcpMaxClients)) {
        ::close(fd);
        return;
    }
    // A client that stops reading must not hold the link thread for long.
    timeval limit{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    auto c = std::make_unique<Client>();
    c->fd = fd;
    c->key = "tcp#" + std::to_string(++nextId_) + " " + LinkSocket::keyOf(from);
    clients_[fd] = std::move(c);
}

bool networkManage::readClient(Client& c)
{
    uint8_t buf[4096];
    const ssize_t got = ::recv(c.fd, buf, sizeof buf, MSG_DONTWAIT);
    if (got == 0)
        return false;
    if (got < 0)
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    LinkPeer peer;
    peer.fd = c.fd;
    peer.key = c.key;
    c.assembler.feed(buf, size_t(got), [&](const uint8_t* w, size_t n) { onWireFrame(w, n, peer); });
    return true;
}

bool networkManage::sendTo(const LinkPeer& peer, const uint8_t* data, size_t n)
{
    auto it = clients_.find(peer.fd);
    if (it == clients_.end() || it->second->key != peer.key)
        return false;
    size_t sent = 0;
    while (sent < n) {
        const ssize_t w = ::send(peer.fd, data + sent, n - sent, MSG_NOSIGNAL);
        if (w <= 0)
            return false;
        sent += size_t(w);
    }
    return true;
}

} // namespace kel::protocol
