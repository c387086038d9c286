#include "protocol/networkManage.h"

#include "protocol/LinkSocket.h"
#include "protocol/PortLock.h"
#include "protocol/ProtocolCodes.h"
#include "protocol/ProtocolContext.h"

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

} // namespace

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
    bool stalled = false;
    while (!stopping()) {
        // A connection that waits for a slot is looked for every pass, not
        // polled for: it stays readable.
        fds.assign(1, pollfd{listenFd_, short(acceptWaiting_ ? 0 : POLLIN), 0});
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
        const int wait = !anyWaiting() && !acceptWaiting_ ? settings_.pollMs
                         : stalled || acceptWaiting_       ? kKeptRetryMs
                                                           : 0;
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
        if (acceptWaiting_ || (ready > 0 && (fds[0].revents & POLLIN)))
            acceptWaiting();
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

// At most a slot's worth a pass: the clients are served between.
void networkManage::acceptWaiting()
{
    for (int i = 0; i <= settings_.tcpMaxClients; ++i) {
        pollfd p{listenFd_, POLLIN, 0};
        if (::poll(&p, 1, 0) <= 0 || !(p.revents & POLLIN))
            break;
        if (clients_.size() >= size_t(settings_.tcpMaxClients) && !makeRoom()) {
            if (!acceptWaiting_)
                acceptWaitingSince_ = port_.ticks();
            acceptWaiting_ = true;
            return;
        }
        acceptOne();
    }
    acceptWaiting_ = false;
}

void networkManage::acceptOne()
{
    sockaddr_in from{};
    socklen_t len = sizeof from;
    const int fd = ::accept4(listenFd_, reinterpret_cast<sockaddr*>(&from), &len, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0)
        return;
    auto c = std::make_unique<Client>();
    c->fd = fd;
    c->address = from;
    c->key = "tcp#" + std::to_string(++nextId_) + " " + LinkSocket::keyOf(from);
    c->accepted = c->lastHeard = ++heard_;
    clients_[fd] = std::move(c);
}

namespace {

// What a client did, in the order clients give up their slot.
enum EvictTier { kEnded, kNoFrame, kOneFrame, kSilent, kFlooding };
const char* const kEvictWhy[] = {"ended its sending", "never sent a frame", "sent one frame, newest",
                                 "silent longest", "floods"};

} // namespace

// Every slot is taken. A client owed nothing gives way before any client
// owed something, so what a client sent is served and answered: among
// them, one that ended its sending (the oldest), then a connection that
// never sent a whole frame (the oldest: idle or half-open connections
// replace their own kind), then one that sent one frame (the newest:
// connections that ask once replace each other), then the client whose
// bytes came longest ago. Which of them goes depends on what each did,
// never on what waits for it: a tool answered at once is no more silent
// than one whose frames wait. While every client is owed something, a
// flooder gives way (it sends faster than it is served, reads nothing back,
// and may have closed behind its backlog); else the connection waits
// kAcceptWaitTicks for a client to be owed nothing, then the first in the
// same order goes.
bool networkManage::makeRoom()
{
    for (auto& entry : clients_)
        noteBacklog(*entry.second);
    std::map<int, bool> isOwed;
    {
        IrqLock irq(port_);
        for (const auto& entry : clients_)
            isOwed[entry.first] = port_.cardRequestOut(linkId(), entry.second->key);
    }
    for (const auto& entry : clients_)
        isOwed[entry.first] = isOwed[entry.first] || owed(*entry.second);
    const auto tier = [](const Client& c) {
        return c.ended ? kEnded : c.frames == 0 ? kNoFrame : c.frames == 1 ? kOneFrame : kSilent;
    };
    const auto rank = [&tier](const Client& c) {
        const EvictTier t = tier(c);
        const uint64_t order = t == kEnded || t == kNoFrame ? c.accepted : t == kOneFrame ? ~c.accepted : c.lastHeard;
        return std::make_pair(int(t), order);
    };
    auto first = clients_.end(), firstOwed = clients_.end(), flooder = clients_.end();
    for (auto it = clients_.begin(); it != clients_.end(); ++it) {
        const Client& c = *it->second;
        auto& best = isOwed[it->first] ? firstOwed : first;
        if (best == clients_.end() || rank(c) < rank(*best->second))
            best = it;
        if (floods(c) && (flooder == clients_.end() || c.unread > flooder->second->unread))
            flooder = it;
    }
    if (first != clients_.end())
        evict(first, kEvictWhy[tier(*first->second)]);
    else if (flooder != clients_.end())
        evict(flooder, kEvictWhy[kFlooding]);
    else if (acceptWaiting_ && port_.ticks() - acceptWaitingSince_ >= kAcceptWaitTicks && firstOwed != clients_.end())
        evict(firstOwed, kEvictWhy[tier(*firstOwed->second)]);
    else
        return false;
    return true;
}

bool networkManage::owed(const Client& c) { return !c.waiting.empty() || !c.queued.empty() || c.unread > 0; }

void networkManage::evict(ClientMap::iterator victim, const char* why)
{
    std::fprintf(stderr, "kelT57N: TCP slots full, closing %s (%s)\n", victim->second->key.c_str(), why);
    close(victim);
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
    c.lastHeard = ++heard_;
    c.assembler.feed(buf, size_t(got), [this, &c](const uint8_t* w, size_t n) {
        ++c.frames;
        c.waiting.emplace_back(w, w + n);
        c.waitingPorts.push_back(cardPortOfWire(w, n));
        c.ports.add(c.waitingPorts.back());
        c.waitingBytes += n;
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
        c.lastHeard = ++heard_;
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
    peer.floods = floods(c);
    return peer;
}

bool networkManage::againBehind(const LinkPeer& peer, uint8_t port)
{
    const auto it = clients_.find(peer.fd);
    if (it == clients_.end() || it->second->key != peer.key || it->second->waiting.empty())
        return false;
    Client& c = *it->second;
    // The socket is looked at again only when its first frame changed, or
    // nothing was found and its socket holds more: a waiting card request
    // is offered every millisecond, and what its socket holds stays there
    // until the request has gone.
    if (c.ports.overlapping(port, CardPortTally::overlaps(c.waitingPorts.front(), port) ? 1 : 0))
        return true;
    Client::AgainLook& look = c.againLook;
    if (look.head == c.served && (look.again || look.unread == c.unread))
        return look.again;
    look.head = c.served;
    look.unread = c.unread;
    look.again = c.unread > 0 && againInSocket(c, port);
    return look.again;
}

// The bytes are looked at, not read: the client is read on only when its
// frames are served. The frame the client's assembler has begun goes on in
// the socket, so a copy of the assembler cuts them.
bool networkManage::againInSocket(const Client& c, uint8_t port)
{
    uint8_t buf[kPeekBytes];
    const ssize_t got = ::recv(c.fd, buf, sizeof buf, MSG_PEEK | MSG_DONTWAIT);
    if (got <= 0)
        return false;
    FrameAssembler look = c.assembler;
    bool found = false;
    look.feed(buf, size_t(got), [&](const uint8_t* w, size_t n) {
        found = found || CardPortTally::overlaps(cardPortOfWire(w, n), port);
    });
    return found;
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
        c.ports.add(c.waitingPorts.front(), -1);
        c.waitingPorts.pop_front();
        ++c.served;
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
