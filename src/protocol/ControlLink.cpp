#include "protocol/ControlLink.h"

#include "protocol/ControllerPort.h"
#include "protocol/LinkSocket.h"
#include "protocol/PhyFrame.h"
#include "protocol/PortLock.h"
#include "protocol/ProtocolCodes.h"
#include "protocol/message_deal.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <iterator>
#include <map>
#include <vector>

namespace kel::protocol {
namespace {

std::mutex g_registryLock;
std::array<ControlLink*, 8> g_registry{};

// FNV-1a, 64 bits: the same on every build, whatever the width of size_t.
uint64_t keyHash(const std::string& key)
{
    uint64_t h = 0xcbf29ce484222325ull;
    for (const unsigned char c : key)
        h = (h ^ c) * 0x100000001b3ull;
    return h;
}

} // namespace

ControlLink::ControlLink(uint8_t linkId, ControllerPort& port, message_deal& deal)
    : port_(port)
    , deal_(deal)
    , linkId_(linkId)
    , wakeFd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{
    std::lock_guard<std::mutex> l(g_registryLock);
    if (linkId_ < g_registry.size())
        g_registry[linkId_] = this;
}

ControlLink::~ControlLink()
{
    {
        std::lock_guard<std::mutex> l(g_registryLock);
        if (linkId_ < g_registry.size() && g_registry[linkId_] == this)
            g_registry[linkId_] = nullptr;
    }
    if (wakeFd_ >= 0)
        ::close(wakeFd_);
}

ControlLink* ControlLink::byId(uint8_t linkId)
{
    std::lock_guard<std::mutex> l(g_registryLock);
    return linkId < g_registry.size() ? g_registry[linkId] : nullptr;
}

void ControlLink::startThread()
{
    stop_ = false;
    thread_ = std::thread([this] { loop(); });
}

void ControlLink::stopThread()
{
    stop_ = true;
    wake();
    if (thread_.joinable())
        thread_.join();
}

bool ControlLink::onWireFrame(const uint8_t* wire, size_t n, const LinkPeer& peer)
{
    uint8_t body[protocol_phy::kMaxBody];
    const int len = phy.data_transf_meaning(wire, n, body, sizeof body);
    if (len < 0)
        return true;
    port_.markHostFrame();
    if (PhyFrame::isPassThrough(body) && linkId_ != LINK_4G)
        return forward(body, size_t(len), peer);
    answer(body, size_t(len), peer);
    return true;
}

ControlLink::Line* ControlLink::lineOf(const std::string& sender)
{
    for (Line& line : lines_)
        if (line.sender == sender)
            return &line;
    return nullptr;
}

void ControlLink::take(const uint8_t* wire, size_t n, const LinkPeer& peer)
{
    if (Line* line = lineOf(peer.key)) {
        keep(*line, wire, n, peer);
        return;
    }
    // Only a card request gone through lately marks a sender that asks
    // again to the card path: under a flood of new sockets the kernel hands
    // out the ports of closed ones again, and older memories of a port are
    // as likely a stranger's.
    LinkPeer asking = peer;
    asking.again = peer.again || wentThroughLately(peer.key);
    if (onWireFrame(wire, n, asking))
        return;
    const std::string origin = LinkSocket::addressOf(peer.address);
    if (lines_.size() >= kMaxKeptSenders && !makeRoomFor(peer.key, origin)) {
        dropWaiting(peer.key, 1);
        return;
    }
    lines_.push_back(Line{peer.key, origin, asking.again || askedBefore(peer.key), asking.again, {}, 0, false});
    keep(lines_.back(), wire, n, peer);
}

// Every line is taken; the arriving sender takes the newest line the steps
// below give it, whose frames are dropped. Its own address first: a sender
// that asked before takes the line of one of its address that never did,
// so senders that open a new socket per request fill the lines only among
// themselves and never lock out a tool that keeps asking (refused once, it
// is recalled, and takes a line when it asks again). Then the share: an
// address holding two lines or more fewer than the address holding the
// most takes one of that address's, so a script at one address never locks
// out another PC. Last, a sender that asked before takes a line of a
// sender that never did at an address holding more lines than its own.
bool ControlLink::makeRoomFor(const std::string& sender, const std::string& origin)
{
    const bool again = askedBefore(sender);
    std::map<std::string, size_t> held;
    for (const Line& line : lines_)
        ++held[line.origin];
    const size_t mine = held[origin];
    size_t most = 0;
    for (const auto& h : held)
        most = std::max(most, h.second);
    const auto newest = [this](const auto& pred) { return std::find_if(lines_.rbegin(), lines_.rend(), pred); };
    auto it = lines_.rend();
    if (again)
        it = newest([&](const Line& l) { return !l.askedBefore && l.origin == origin; });
    if (it == lines_.rend() && mine + 1 < most) {
        it = newest([&](const Line& l) { return !l.askedBefore && held[l.origin] == most; });
        if (it == lines_.rend())
            it = newest([&](const Line& l) { return held[l.origin] == most; });
    }
    if (it == lines_.rend() && again)
        it = newest([&](const Line& l) { return !l.askedBefore && held[l.origin] > mine; });
    if (it == lines_.rend())
        return false;
    const Line taken = std::move(*it);
    lines_.erase(std::next(it).base());
    dropWaiting(taken.sender, taken.frames.size());
    return true;
}

// A dropped sender no longer waits for the card path, and is recalled: if
// it asks again, it takes the line of a sender that never asked.
void ControlLink::dropWaiting(const std::string& sender, size_t frames)
{
    dropped_ += frames;
    logNoLine(sender);
    recall(sender);
    IrqLock irq(port_);
    port_.leaveCardPath(linkId_, sender);
}

bool ControlLink::remembered(const std::string& sender)
{
    std::lock_guard<std::mutex> l(passPeerLock_);
    return std::any_of(passPeers_.begin(), passPeers_.end(), [&sender](const LinkPeer& p) { return p.key == sender; });
}

bool ControlLink::askedBefore(const std::string& sender)
{
    const uint64_t hash = keyHash(sender);
    return std::any_of(recalled_.begin(), recalled_.end(), [hash](const Recalled& r) { return r.hash == hash; }) ||
           remembered(sender);
}

// Full, the memory forgets the oldest sender recalled once before any
// recalled twice or more: a flood of one-shot sockets then only replaces
// its own, and a tool that asked twice stays recalled.
void ControlLink::recall(const std::string& sender)
{
    const uint64_t hash = keyHash(sender);
    uint32_t times = 1;
    std::optional<std::chrono::steady_clock::time_point> wentAt;
    auto it = std::find_if(recalled_.begin(), recalled_.end(), [hash](const Recalled& r) { return r.hash == hash; });
    if (it != recalled_.end()) {
        times = it->times == UINT32_MAX ? it->times : it->times + 1;
        wentAt = it->wentAt;
        recalled_.erase(it);
    } else if (recalled_.size() >= kMaxRecalled) {
        auto once = std::find_if(recalled_.begin(), recalled_.end(), [](const Recalled& r) { return r.times == 1; });
        recalled_.erase(once != recalled_.end() ? once : recalled_.begin());
    }
    recalled_.push_back(Recalled{hash, times, wentAt});
}

bool ControlLink::wentThroughLately(const std::string& sender) const
{
    const uint64_t hash = keyHash(sender);
    const auto now = std::chrono::steady_clock::now();
    return std::any_of(recalled_.begin(), recalled_.end(), [hash, now](const Recalled& r) {
        return r.hash == hash && r.wentAt && now - *r.wentAt <= kLatelyThrough;
    });
}

// Many senders refused in a burst would flood the log: one line a second
// names the latest and counts the others; those refused after it get a
// line of their own from the loop's pass once the second has passed.
void ControlLink::logNoLine(const std::string& sender)
{
    ++noLineUnlogged_;
    logDropsNotLogged(&sender);
}

void ControlLink::logDropsNotLogged(const std::string* latest)
{
    if (noLineUnlogged_ == 0)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (noLineLoggedAt_ && now - *noLineLoggedAt_ < std::chrono::seconds(1))
        return;
    if (latest)
        std::fprintf(stderr,
                     "kelT57N: %s: card request dropped, %zu senders already wait for the card path"
                     " (%zu more dropped since the last line)\n",
                     latest->c_str(), kMaxKeptSenders, noLineUnlogged_ - 1);
    else
        std::fprintf(stderr,
                     "kelT57N: %zu more card requests dropped since the last line, %zu senders already wait for"
                     " the card path\n",
                     noLineUnlogged_, kMaxKeptSenders);
    noLineLoggedAt_ = now;
    noLineUnlogged_ = 0;
}

int ControlLink::untilDropsLogged(int waitMs) const
{
    if (noLineUnlogged_ == 0 || !noLineLoggedAt_)
        return waitMs;
    using namespace std::chrono;
    const auto due = ceil<milliseconds>(*noLineLoggedAt_ + seconds(1) - steady_clock::now()).count();
    return int(std::clamp<decltype(due)>(due, 0, waitMs));
}

// A sender that keeps sending card requests faster than its turns come
// loses what passes the bound, not the other senders their answers.
void ControlLink::keep(Line& line, const uint8_t* wire, size_t n, const LinkPeer& peer)
{
    if (line.bytes + n > kMaxKeptBytes) {
        ++dropped_;
        if (!line.overflowLogged)
            std::fprintf(stderr, "kelT57N: %s waits for the card path with %zu bytes, frames dropped\n",
                         line.sender.c_str(), line.bytes);
        line.overflowLogged = true;
        return;
    }
    line.frames.push_back(Kept{std::vector<uint8_t>(wire, wire + n), peer});
    line.bytes += n;
}

bool ControlLink::serveLine(Line& line)
{
    while (!line.frames.empty()) {
        const Kept& k = line.frames.front();
        // A sender with more frames behind this one asks again.
        LinkPeer asking = k.peer;
        asking.again = k.peer.again || line.frames.size() > 1 || line.again;
        if (!onWireFrame(k.wire.data(), k.wire.size(), asking))
            return false;
        line.askedBefore = line.again = true;
        line.bytes -= k.wire.size();
        line.frames.pop_front();
    }
    return true;
}

bool ControlLink::serveKept()
{
    for (auto it = lines_.begin(); it != lines_.end();)
        it = serveLine(*it) ? lines_.erase(it) : std::next(it);
    setWaitingForCards(!lines_.empty());
    return lines_.empty();
}

// The path, the peer and the link are taken under one hold of the
// interrupt lock: an answer to the request before is never sent to this
// peer.
bool ControlLink::forward(const uint8_t* body, size_t n, const LinkPeer& peer)
{
    CardClaim claim;
    {
        IrqLock irq(port_);
        claim = port_.claimCardPath(linkId_, peer, body, uint32_t(n));
        if (claim == CardClaim::Wait)
            return false;
        if (claim == CardClaim::Go) {
            rememberPeer(peer);
            passPending_ = true;
            port_.setReplyReady(false);
            port_.setPassbyPort(linkId_);
            port_.markHostFrame();
        }
    }
    if (claim == CardClaim::Drop) {
        ++dropped_;
        logUnanswered(peer.key);
        return true;
    }
    recall(peer.key);
    recalled_.back().wentAt = std::chrono::steady_clock::now();
    // Outside the interrupt lock: the send may wait for a busy transmitter,
    // and the other links and the FPGA manager take that lock every pass.
    port_.forwardToCards(body, uint32_t(n));
    return true;
}

// Once per sender: a client that closed behind a queue of card requests
// would otherwise log one line per request.
void ControlLink::logUnanswered(const std::string& sender)
{
    if (std::find(unansweredLogged_.begin(), unansweredLogged_.end(), sender) != unansweredLogged_.end())
        return;
    if (unansweredLogged_.size() >= kMaxPassPeers)
        unansweredLogged_.pop_front();
    unansweredLogged_.push_back(sender);
    std::fprintf(stderr,
                 "kelT57N: %s ended its sending and two of its card requests in a row went unanswered:"
                 " its other card requests are dropped\n",
                 sender.c_str());
}

void ControlLink::answer(const uint8_t* body, size_t n, const LinkPeer& peer)
{
    std::vector<uint8_t> reply;
    deal_.message_group_deal(linkId_ == LINK_4G ? LINK_4G : LINK_CONTROL, Requester{linkId_, peer.key}, body, n, reply);
    if (reply.empty())
        return;
    std::vector<uint8_t> wire(protocol_phy::framedCapacity(reply.size()));
    wire.resize(phy.data_re_transf_meaning(wire.data(), reply.data(), uint32_t(reply.size())));
    sendTo(answerPeer(peer), wire.data(), wire.size());
}

void ControlLink::servicePass()
{
    passes_.fetch_add(1, std::memory_order_relaxed);
    deal_.files().expireStale();
    logDropsNotLogged(nullptr);
    // Taken before the list is looked at: an answer queued after this
    // wakes the next pass.
    uint64_t wakes;
    if (wakeFd_ >= 0)
        (void)!::read(wakeFd_, &wakes, sizeof wakes);
    if (!passPending_)
        return;
    std::vector<LinkSendList::Record> records;
    {
        IrqLock irq(port_);
        port_.serviceCardIrq();
        // The list is this link's own: the shared ready flag may have been
        // cleared by another link's request meanwhile.
        if (sendList_.empty())
            return;
        // Taken and cleared under one lock: an answer queued while these
        // are on their way raises the flag again and goes on the next pass.
        records = sendList_.takeAll();
        port_.setReplyReady(false);
    }
    for (const LinkSendList::Record& r : records)
        sendTo(r.peer, r.bytes.data(), r.bytes.size());
}

void ControlLink::rememberPeer(const LinkPeer& peer)
{
    std::lock_guard<std::mutex> l(passPeerLock_);
    for (auto it = passPeers_.begin(); it != passPeers_.end(); ++it) {
        if (it->key == peer.key) {
            passPeers_.erase(it);
            break;
        }
    }
    if (passPeers_.size() >= kMaxPassPeers)
        passPeers_.pop_front();
    passPeers_.push_back(peer);
}

bool ControlLink::queueCardAnswer(const std::string& sender, const uint8_t* frame, uint32_t n)
{
    LinkSendList::Record record;
    {
        std::lock_guard<std::mutex> l(passPeerLock_);
        auto it = std::find_if(passPeers_.begin(), passPeers_.end(),
                               [&sender](const LinkPeer& p) { return p.key == sender; });
        if (it == passPeers_.end())
            return false;
        record.peer = *it;
    }
    record.bytes.resize(protocol_phy::framedCapacity(n));
    record.bytes.resize(phy.data_re_transf_meaning(record.bytes.data(), frame, n));
    sendList_.add(std::move(record));
    wake();
    return true;
}

void ControlLink::wake()
{
    const uint64_t one = 1;
    if (wakeFd_ >= 0)
        (void)!::write(wakeFd_, &one, sizeof one);
}

bool ControlLink::deliverCardAnswer(ControllerPort& port, uint8_t id, const std::string& sender, const uint8_t* frame,
                                    uint32_t n)
{
    if (id != LINK_UART && id != LINK_TCP && id != LINK_UDP)
        return false;
    std::lock_guard<std::mutex> l(g_registryLock);
    ControlLink* link = g_registry[id];
    if (!link || n > protocol_phy::kMaxBody || !link->queueCardAnswer(sender, frame, n))
        return false;
    port.setPassbyPort(LINK_NONE);
    port.setReplyReady(true);
    // A port is free again: links whose card requests wait for their turn
    // offer them now rather than at their next retry.
    for (ControlLink* other : g_registry)
        if (other && other != link && other->waitingForCards_)
            other->wake();
    return true;
}

} // namespace kel::protocol
