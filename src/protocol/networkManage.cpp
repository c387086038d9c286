#include "protocol/networkManage.h"

#include "protocol/LinkSocket.h"
#include "protocol/PortLock.h"
#include "protocol/ProtocolCodes.h"
#include "protocol/ProtocolContext.h"
#include "protocol/TcpRoom.h"

#include <cerrno>
#include <cstdio>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <iterator>
#include <utility>
#include <vector>

namespace kel::protocol {
namespace {

// The poll list: the listening socket, the wake for card answers, then the
// clients.
constexpr size_t kFirstClientFd = 2;
// A tick of the controller's clock.
constexpr int kTickMs = 10;

} // namespace

networkManage* networkManage::p_networkManage = nullptr;

networkManage::networkManage(ControllerPort& port, message_deal& deal, const LinkSettings& settings)
    : ControlLink(LINK_TCP, port, deal)
    , settings_(settings)
{
    // The system holds as many connections as it takes until the link takes
    // them: a burst of clients that connect and close waits there, never in
    // a connect retry.
    if (settings_.tcpEnabled)
        listenFd_ = LinkSocket::openTcpListener(settings_.tcpPort, SOMAXCONN);
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
    bool stalled = false;
    while (!stopping()) {
        // Newcomers no connection can give way to wait in the system's
        // queue, unread, until the next tick or until a client leaves.
        const bool lookAtNewcomers = !keptOut_ || port_.ticks() != keptOutAt_ || clients_.size() < kMaxClients;
        fds.assign(1, pollfd{listenFd_, short(lookAtNewcomers ? POLLIN : 0), 0});
        fds.push_back(pollfd{wakeFd(), POLLIN, 0});
        // A client with frames still waiting is not read: its socket holds
        // the rest of a flood until its turns have come. Its end of sending
        // is still seen.
        for (const auto& c : clients_)
            fds.push_back(pollfd{c.first, short((c.second->waiting.empty() && !c.second->drained ? POLLIN : 0) |
                                                (c.second->ended ? 0 : POLLRDHUP) |
                                                (c.second->queued.empty() ? 0 : POLLOUT)), 0});
        // Frames to serve: no wait; only card requests waiting for the
        // card path: a short one; none: the pass's usual one.
        // Newcomers kept out: a look a tick.
        const int idle = keptOut_ ? std::min(settings_.pollMs, kTickMs) : settings_.pollMs;
        const int wait = !anyWaiting() ? idle : stalled ? kKeptRetryMs : 0;
        const int ready = ::poll(fds.data(), fds.size(), wait);
        if (ready > 0) {
            for (size_t i = kFirstClientFd; i < fds.size(); ++i) {
                auto it = clients_.find(fds[i].fd);
                if (!fds[i].revents || it == clients_.end())
                    continue;
                Client& c = *it->second;
                if ((fds[i].revents & POLLOUT) && !flush(c))
                    c.dropped = true;
                // Reset: the client closed and an answer reached it. Nobody
                // reads what it asked.
                if (fds[i].revents & (POLLHUP | POLLERR))
                    c.dropped = true;
                if (fds[i].revents & POLLRDHUP)
                    c.ended = true;
                if (!c.dropped && c.waiting.empty() && !c.drained && (fds[i].revents & POLLIN) && !readClient(c))
                    c.dropped = true;
            }
            closeDropped();
        }
        if (ready > 0 && (fds[0].revents & POLLIN))
            acceptWaiting();
        logClosedForRoom(nullptr, nullptr);
        stalled = !serveInTurn();
        setWaitingForCards(stalled);
        // Looked at before the answers go: an answer handed over after the
        // look waits in the send list and goes in this pass.
        const std::vector<int> finished = finishedClients();
        servicePass();
        closeFinished(finished);
        closeDropped();
        waitingBytes_ = countWaitingBytes();
    }
}

// The clients are served between passes. What a connection sent before it
// was taken is read at once, after the choice it may cost another: whether
// it ended is known before the next newcomer's choice, and a newcomer
// refused is closed unread. While every PC holds one connection, each in
// its conversation, a newcomer of another PC would be refused: none is taken
// then, so newcomers wait in the system's queue in their order of arrival
// and cost nothing until the set changes.
void networkManage::acceptWaiting()
{
    keptOut_ = false;
    for (size_t i = 0; i < kMaxClients; ++i) {
        // Below the bound nothing is counted: closers may arrive by hundreds a second.
        const std::vector<Client*> set = clients_.size() >= kMaxClients ? openClients() : std::vector<Client*>{};
        std::vector<TcpRoom::Member> members;
        if (set.size() >= kMaxClients) {
            members = membersOf(set);
            if (TcpRoom::refusesNewPc(members, kMaxClients)) {
                keptOut_ = true;
                keptOutAt_ = port_.ticks();
                break;
            }
        }
        Client* c = acceptOne();
        if (!c)
            break;
        if (!members.empty())
            makeRoom(set, members, *c);
        if (!c->dropped && !readClient(*c))
            c->dropped = true;
    }
    closeDropped();
}

networkManage::Client* networkManage::acceptOne()
{
    pollfd p{listenFd_, POLLIN, 0};
    if (::poll(&p, 1, 0) <= 0 || !(p.revents & POLLIN))
        return nullptr;
    sockaddr_in from{};
    socklen_t len = sizeof from;
    const int fd = ::accept4(listenFd_, reinterpret_cast<sockaddr*>(&from), &len, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0)
        return nullptr;
    auto c = std::make_unique<Client>();
    c->fd = fd;
    c->address = from;
    c->key = "tcp#" + std::to_string(++nextId_) + " " + LinkSocket::keyOf(from);
    c->accepted = nextId_;
    c->acceptedAt = c->lastHeard = port_.ticks();
    Client* taken = c.get();
    clients_[fd] = std::move(c);
    return taken;
}

std::vector<networkManage::Client*> networkManage::openClients()
{
    std::vector<Client*> set;
    for (auto& entry : clients_)
        if (!entry.second->dropped)
            set.push_back(entry.second.get());
    return set;
}

// Whether a card request of a client is out is asked of the card path once
// for the whole set, under one hold of its lock.
std::vector<TcpRoom::Member> networkManage::membersOf(const std::vector<Client*>& set)
{
    std::vector<TcpRoom::Member> members;
    members.reserve(set.size() + 1);
    const uint32_t now = port_.ticks();
    IrqLock irq(port_);
    for (const Client* c : set)
        members.push_back(memberOf(*c, now, port_.cardRequestOut(linkId(), c->key)));
    return members;
}

TcpRoom::Member networkManage::memberOf(const Client& c, uint32_t now, bool cardRequestOut) const
{
    return TcpRoom::Member{c.address.sin_addr.s_addr, c.accepted, now - c.acceptedAt, now - c.lastHeard, c.spoke,
                           floods(c), c.ended, !c.waiting.empty() || !c.queued.empty() || cardRequestOut};
}

// The set is full: TcpRoom chooses by the PCs' counts, then by what each
// connection owes; the newcomer, not read yet, when it is refused.
void networkManage::makeRoom(const std::vector<Client*>& set, std::vector<TcpRoom::Member> members,
                             Client& newcomer)
{
    members.push_back(memberOf(newcomer, port_.ticks(), false));
    const TcpRoom::Choice choice = TcpRoom::choose(members, members.size() - 1);
    Client& victim = choice.index < set.size() ? *set[choice.index] : newcomer;
    logClosedForRoom(&victim, TcpRoom::text(choice.why));
    victim.dropped = true;
}

// One line a second at most: clients that connect, write and close may
// fill the set hundreds of times a second. Those closed after a line are
// counted in the next, which the loop's pass writes once the second has
// passed if no other closing does.
void networkManage::logClosedForRoom(const Client* c, const char* why)
{
    if (c)
        ++roomUnlogged_;
    const uint32_t now = port_.ticks();
    if (roomUnlogged_ == 0 || (roomLogged_ && now - roomLoggedAt_ < kDropLogTicks))
        return;
    if (c)
        std::fprintf(stderr, "kelT57N: %zu TCP clients connected, closing %s (%s; %zu more closed so since the last line)\n",
                     kMaxClients, c->key.c_str(), why, roomUnlogged_ - 1);
    else
        std::fprintf(stderr, "kelT57N: %zu TCP clients connected, %zu more closed for room since the last line\n",
                     kMaxClients, roomUnlogged_);
    roomLogged_ = true;
    roomLoggedAt_ = now;
    roomUnlogged_ = 0;
}

void networkManage::closeDropped()
{
    for (auto it = clients_.begin(); it != clients_.end();)
        it = it->second->dropped ? close(it) : std::next(it);
}

// A closed client's place among the senders waiting for the card path is
// given up at once: no port waits for a sender that asks no more.
networkManage::ClientMap::iterator networkManage::close(ClientMap::iterator it)
{
    {
        IrqLock irq(port_);
        port_.leaveCardPath(linkId(), it->second->key);
    }
    ::close(it->first);
    return clients_.erase(it);
}

bool networkManage::readClient(Client& c)
{
    uint8_t buf[kReadSize];
    const ssize_t got = ::recv(c.fd, buf, sizeof buf, MSG_DONTWAIT);
    if (got == 0) {
        c.ended = c.drained = true;
        c.unread = 0;
        return true;
    }
    if (got < 0)
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    c.lastHeard = port_.ticks();
    c.assembler.feed(buf, size_t(got), [this, &c](const uint8_t* w, size_t n) {
        c.waiting.emplace_back(w, w + n);
        c.waitingBytes += n;
        c.spoke = true;
    });
    noteBacklog(c);
    return true;
}

// A backlog lasts until a look finds the socket empty: read fast, a socket
// holds little at times while the client's side still holds megabytes. A
// client that closed behind a backlog shows its end (its FIN comes last)
// only once the rest has reached the socket; it counts as ended from then
// on, though the loop's poll has not looked again.
void networkManage::noteBacklog(Client& c)
{
    int unread = 0;
    const size_t before = c.unread;
    c.unread = ::ioctl(c.fd, FIONREAD, &unread) == 0 && unread > 0 ? size_t(unread) : 0;
    // More than the last look found: the client sent since.
    if (c.unread > before)
        c.lastHeard = port_.ticks();
    if (c.unread >= kFloodingBytes && !c.backlogged) {
        c.backlogged = true;
        c.takenAtBacklog = c.taken;
    } else if (c.unread == 0) {
        c.backlogged = false;
    }
    pollfd p{c.fd, POLLRDHUP, 0};
    if (!c.ended && ::poll(&p, 1, 0) > 0 && (p.revents & POLLRDHUP))
        c.ended = true;
}

// A tool that sent a batch and reads its answers takes the answers to its
// first requests while the rest of the batch waits in its socket; a client
// that closed takes none (an answer to it resets it), nor does one whose
// requests are refused the card path.
bool networkManage::floods(const Client& c) { return c.backlogged && c.taken == c.takenAtBacklog; }

LinkPeer networkManage::peerOf(const Client& c)
{
    LinkPeer peer;
    peer.fd = c.fd;
    peer.key = c.key;
    peer.address = c.address;
    peer.ended = c.ended;
    peer.again = !c.ended;
    peer.floods = floods(c);
    return peer;
}

bool networkManage::anyWaiting() const
{
    for (const auto& c : clients_)
        if (!c.second->waiting.empty() && !c.second->dropped)
            return true;
    return false;
}

size_t networkManage::countWaitingBytes() const
{
    size_t n = 0;
    for (const auto& c : clients_)
        n += c.second->waitingBytes;
    return n;
}

// A flood from one client then delays another by one frame's work a pass.
// The start moves on each pass: when card requests of several clients wait
// for the card path, the path goes to each in turn.
bool networkManage::serveInTurn()
{
    if (clients_.empty())
        return true;
    auto start = clients_.upper_bound(startAfter_);
    if (start == clients_.end())
        start = clients_.begin();
    startAfter_ = start->first;
    bool waited = false, served = false;
    auto it = start;
    do {
        Client& c = *it->second;
        if (!c.waiting.empty() && !c.dropped) {
            waited = true;
            served = serveClient(c) || served;
        }
        if (++it == clients_.end())
            it = clients_.begin();
    } while (it != start);
    return served || !waited;
}

// A frame dropped unsent (a card request of a client that ended) takes no
// work and no turn: the client's next one is served too. A client that
// closed behind hundreds of thousands of card requests is then drained
// within a second or so, rather than one frame a pass, and the reads a pass
// makes of it are bounded, so the other clients are served every pass
// meanwhile.
bool networkManage::serveClient(Client& c)
{
    // While the frames of its last read wait, its socket fills again: its
    // backlog and its end are looked at anew.
    if (!c.ended)
        noteBacklog(c);
    bool served = false;
    size_t reads = 0;
    while (!c.waiting.empty()) {
        const size_t droppedBefore = droppedFrames();
        if (!onWireFrame(c.waiting.front().data(), c.waiting.front().size(), peerOf(c)))
            break;
        c.waitingBytes -= c.waiting.front().size();
        c.waiting.pop_front();
        served = true;
        if (droppedFrames() == droppedBefore)
            break;
        if (c.waiting.empty() && !c.drained && reads++ < kDrainReads && !readClient(c))
            c.dropped = true;
    }
    return served;
}

std::vector<int> networkManage::finishedClients()
{
    std::vector<int> fds;
    for (const auto& entry : clients_) {
        const Client& c = *entry.second;
        if (c.drained && c.waiting.empty() && !c.dropped)
            fds.push_back(entry.first);
    }
    if (fds.empty())
        return fds;
    IrqLock irq(port_);
    fds.erase(std::remove_if(fds.begin(), fds.end(),
                             [this](int fd) { return port_.cardRequestOut(linkId(), clients_[fd]->key); }),
              fds.end());
    return fds;
}

// Closed once the answers sent to it are all taken.
void networkManage::closeFinished(const std::vector<int>& fds)
{
    for (int fd : fds) {
        auto it = clients_.find(fd);
        if (it != clients_.end() && it->second->queued.empty())
            it->second->dropped = true;
    }
}

bool networkManage::flush(Client& c)
{
    while (!c.queued.empty()) {
        const ssize_t w = ::send(c.fd, c.queued.data(), c.queued.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (w < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        if (w == 0)
            return false;
        c.taken += uint64_t(w);
        c.queued.erase(0, size_t(w));
    }
    return true;
}

// Never waits for the client: what the socket does not take now is queued
// and sent when the client reads. A client that lets its queue pass the
// bound is closed (at the end of this loop pass, as a frame of it may be
// in progress).
bool networkManage::sendTo(const LinkPeer& peer, const uint8_t* data, size_t n)
{
    auto it = clients_.find(peer.fd);
    if (it == clients_.end() || it->second->key != peer.key || it->second->dropped)
        return false;
    Client& c = *it->second;
    c.queued.append(reinterpret_cast<const char*>(data), n);
    if (!flush(c)) {
        c.dropped = true;
        return false;
    }
    if (c.queued.size() > kMaxQueued) {
        std::fprintf(stderr, "kelT57N: %s does not read its answers, closed\n", c.key.c_str());
        c.dropped = true;
        return false;
    }
    return true;
}

} // namespace kel::protocol
