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
        fds.assign(1, pollfd{listenFd_, POLLIN, 0});
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
        const int wait = !anyWaiting() ? settings_.pollMs : stalled ? kKeptRetryMs : 0;
        if (::poll(fds.data(), fds.size(), wait) > 0) {
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
            if (fds[0].revents & POLLIN)
                acceptOne();
        }
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

void networkManage::acceptOne()
{
    sockaddr_in from{};
    socklen_t len = sizeof from;
    const int fd = ::accept4(listenFd_, reinterpret_cast<sockaddr*>(&from), &len, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0)
        return;
    if (clients_.size() >= size_t(settings_.tcpMaxClients))
        evictOne();
    auto c = std::make_unique<Client>();
    c->fd = fd;
    c->address = from;
    c->key = "tcp#" + std::to_string(++nextId_) + " " + LinkSocket::keyOf(from);
    c->accepted = c->lastHeard = ++heard_;
    clients_[fd] = std::move(c);
}

namespace {

// Why a client gives up its slot, in the order they go.
enum EvictTier { kEnded, kFlooding, kNoFrame, kOneFrame, kSilent };
const char* const kEvictWhy[] = {"ended its sending", "floods", "never sent a frame", "sent one frame, newest",
                                 "silent longest"};

} // namespace

// Every slot is taken. A client that has ended its sending goes first, the
// oldest of them: a client that closed never costs a live one its slot.
// Next a flooder, the largest backlog first: it sends faster than it is
// served and takes no answers, and may have closed behind its backlog (its
// end shows only once the backlog is read). A tool that sent a batch and
// reads its answers as they come is no flooder.
// Next a connection that has never sent a whole frame, the oldest of them:
// a burst of idle or half-open connections then only replaces its own kind.
// Next a connection that has sent one frame, the newest of them:
// connections that ask once and go quiet then replace each other, and a
// tool that keeps asking (or asked once before they came) keeps its place.
// Only when every client has sent two frames or more does the one silent
// longest make room, so a new tool always gets in.
void networkManage::evictOne()
{
    markBusyHeard();
    const auto tier = [](const Client& c) {
        return c.ended                   ? kEnded
               : floods(c)                 ? kFlooding
               : c.frames == 0             ? kNoFrame
               : c.frames == 1             ? kOneFrame
                                           : kSilent;
    };
    const auto rank = [&tier](const Client& c) {
        const EvictTier t = tier(c);
        const uint64_t order = t == kEnded || t == kNoFrame ? c.accepted
                               : t == kFlooding             ? ~uint64_t(c.unread)
                               : t == kOneFrame             ? ~c.accepted
                                                            : c.lastHeard;
        return std::make_pair(int(t), order);
    };
    auto victim = clients_.end();
    for (auto it = clients_.begin(); it != clients_.end(); ++it)
        if (victim == clients_.end() || rank(*it->second) < rank(*victim->second))
            victim = it;
    if (victim == clients_.end())
        return;
    const Client& v = *victim->second;
    std::fprintf(stderr, "kelT57N: TCP slots full, closing %s (%s)\n", v.key.c_str(), kEvictWhy[tier(v)]);
    close(victim);
}

// A client whose frames wait in the program (behind its own card request)
// or in its socket is not silent: it counts as heard now. Its backlog in
// the socket is noted for the flooding rank.
void networkManage::markBusyHeard()
{
    for (auto& entry : clients_) {
        Client& c = *entry.second;
        noteBacklog(c);
        if (!c.waiting.empty() || c.unread > 0)
            c.lastHeard = ++heard_;
    }
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
    c.assembler.feed(buf, size_t(got), [&c](const uint8_t* w, size_t n) {
        ++c.frames;
        c.waiting.emplace_back(w, w + n);
        c.waitingBytes += n;
    });
    noteBacklog(c);
    return true;
}

// A backlog lasts until a look finds the socket empty: read fast, a socket
// holds little at times while the client's side still holds megabytes. A
// client that closed behind a backlog shows its end (its FIN comes last)
// only once the rest has reached the socket; its card requests are asked
// for as an ended client's from then on, though the loop's poll has not
// looked again.
void networkManage::noteBacklog(Client& c)
{
    int unread = 0;
    c.unread = ::ioctl(c.fd, FIONREAD, &unread) == 0 && unread > 0 ? size_t(unread) : 0;
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
    // A flooder may have closed behind its backlog: its card requests are
    // dropped too once two in a row went unanswered.
    peer.ended = c.ended || floods(c);
    // A client that sent more than this frame (read, or still in its
    // socket behind it) asks again; a connection that sends one request
    // and goes shares its turn.
    peer.again = c.frames > 1 || c.unread > 0;
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

// A frame dropped unsent takes no work and no turn: the client's next one
// is served too. A client that closed behind hundreds of thousands of card
// requests is then drained within a second or so, rather than one frame a
// pass, and the reads a pass makes of it are bounded, so the other clients
// are served every pass meanwhile.
bool networkManage::serveClient(Client& c)
{
    // A flooder whose card requests were dropped as fast as it sent them
    // may have been found with nothing unread; while the frames of that
    // read wait, its socket fills again, and it is a flooder again.
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
