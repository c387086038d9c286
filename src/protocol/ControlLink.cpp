#include "protocol/ControlLink.h"

#include "protocol/ControllerPort.h"
#include "protocol/LinkSocket.h"
#include "protocol/PhyFrame.h"
#include "protocol/PortLock.h"
#include "protocol/ProtocolCodes.h"
#include "protocol/message_deal.h"

#include <arpa/inet.h>
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

void ControlLink::take(const uint8_t* wire, size_t n, const LinkPeer& peer, uint32_t standing)
{
    if (Line* line = lineOf(peer.key)) {
        keep(*line, wire, n, peer);
        return;
    }
    if (onWireFrame(wire, n, peer))
        return;
    const uint32_t address = peer.address.sin_addr.s_addr;
    if (lines_.size() >= kMaxKeptSenders && !makeRoomFor(address, standing)) {
        dropWaiting(peer.key, 1);
        return;
    }
    lines_.push_back(Line{peer.key, address, standing, port_.ticks(), {}, 0, false});
    keep(lines_.back(), wire, n, peer);
}

// A frame's again comes from the card requests behind it in the same
// receive: tallied from the last frame back, each frame sees only those
// after it. A receive with a card request is one try of its sender: its
// standing, and the claim of its line.
void ControlLink::takeAll(const std::vector<std::vector<uint8_t>>& frames, const LinkPeer& peer)
{
    std::vector<bool> again(frames.size(), false);
    CardPortTally behind;
    for (size_t i = frames.size(); i-- > 0;) {
        const uint8_t port = cardPortOfWire(frames[i].data(), frames[i].size());
        again[i] = behind.overlapping(port);
        behind.add(port);
    }
    uint32_t standing = 0;
    if (behind.overlapping(ControllerPort::kAllCardPorts)) {
        const uint32_t now = port_.ticks();
        standing = recall_.note(peer.address.sin_addr.s_addr, ntohs(peer.address.sin_port), now);
        if (Line* line = lineOf(peer.key)) {
            line->claim = standing;
            line->lastTry = now;
        }
    }
    LinkPeer asking = peer;
    asking.tries = standing;
    for (size_t i = 0; i < frames.size(); ++i) {
        asking.again = again[i];
        take(frames[i].data(), frames[i].size(), asking, standing);
    }
}

uint8_t ControlLink::cardPortOfWire(const uint8_t* wire, size_t n)
{
    uint8_t body[protocol_phy::kMaxBody];
    const int len = phy.data_transf_meaning(wire, n, body, sizeof body);
    if (len < 0 || !PhyFrame::isPassThrough(body) || linkId_ == LINK_4G)
        return ControllerPort::kNoCardPort;
    return port_.cardPortOf(body, uint32_t(len));
}

// Every line is taken; the arriving sender takes the line LineRecall::
// lineToTake gives it, whose frames are dropped: addresses share the lines
// by counts, and inside an address the lines go to the senders that have
// asked most often in a row.
bool ControlLink::makeRoomFor(uint32_t address, uint32_t standing)
{
    std::vector<LineRecall::Held> held;
    held.reserve(lines_.size());
    for (const Line& line : lines_)
        held.push_back({line.address, line.claim});
    const int i = LineRecall::lineToTake(held, address, standing);
    if (i < 0)
        return false;
    const auto it = lines_.begin() + i;
    Line taken = std::move(*it);
    lines_.erase(it);
    dropWaiting(taken.sender, taken.frames.size());
    return true;
}

void ControlLink::dropWaiting(const std::string& sender, size_t frames)
{
    dropped_ += frames;
    logNoLine(sender);
    IrqLock irq(port_);
    port_.leaveCardPath(linkId_, sender);
}

// Many senders refused in a burst would flood the log: one line a second
// (kDropLogTicks) names the latest and counts the others; those refused after it get a
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
    const uint32_t now = port_.ticks();
    if (noLineLoggedAt_ && now - *noLineLoggedAt_ < kDropLogTicks)
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
    const uint32_t since = port_.ticks() - *noLineLoggedAt_;
    // A tick is 10 ms.
    const int64_t due = since >= kDropLogTicks ? 0 : int64_t(kDropLogTicks - since) * 10;
    return int(std::clamp<int64_t>(due, 0, waitMs));
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
        // Asks again only for requests of its own datagram behind it: a
        // later datagram of the same address and port may come from a new
        // socket the system handed the port number of a closed one.
        const Kept& k = line.frames.front();
        LinkPeer asking = k.peer;
        asking.tries = line.claim;
        if (!onWireFrame(k.wire.data(), k.wire.size(), asking))
            return false;
        line.bytes -= k.wire.size();
        line.frames.pop_front();
    }
    return true;
}

// Forgotten, the sender would stand as new were it to ask again: so does
// its request still waiting among its address's, rather than ahead of them
// on the tries of a row it has long left (a script's sockets on port
// numbers handed out again climb high). Its address keeps its place among
// the others: what a sender does while it waits never sends it back there.
void ControlLink::forgetSilent(Line& line, uint32_t now)
{
    if (now - line.lastTry > LineRecall::kForgetTicks)
        line.claim = 0;
}

bool ControlLink::serveKept()
{
    const uint32_t now = port_.ticks();
    for (auto it = lines_.begin(); it != lines_.end();) {
        forgetSilent(*it, now);
        if (!serveLine(*it)) {
            ++it;
            continue;
        }
        it = lines_.erase(it);
    }
    setWaitingForCards(!lines_.empty());
    return lines_.empty();
}

// The path, the peer and the link are taken under one hold of the
// interrupt lock: an answer to the request before is never sent to this
// peer.
bool ControlLink::forward(const uint8_t* body, size_t n, const LinkPeer& peer)
{
    const uint8_t cardPort = port_.cardPortOf(body, uint32_t(n));
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
        logUnanswered(peer, cardPort);
        return true;
    }
    // Outside the interrupt lock: the send may wait for a busy transmitter,
    // and the other links and the FPGA manager take that lock every pass.
    port_.forwardToCards(body, uint32_t(n));
    return true;
}

// Once per sender and port: a client that closed behind a queue of card
// requests would otherwise log one line per request. The line says what the
// sender did.
void ControlLink::logUnanswered(const LinkPeer& peer, uint8_t port)
{
    const auto key = std::make_pair(peer.key, port);
    if (std::find(unansweredLogged_.begin(), unansweredLogged_.end(), key) != unansweredLogged_.end())
        return;
    if (unansweredLogged_.size() >= kMaxPassPeers)
        unansweredLogged_.pop_front();
    unansweredLogged_.push_back(key);
    const std::string where = port == ControllerPort::kAllCardPorts ? "all ports" : "port " + std::to_string(port);
    std::fprintf(stderr,
                 "kelT57N: %s %s and two of its card requests to %s in a row went unanswered:"
                 " its other card requests there are dropped\n",
                 peer.key.c_str(), peer.ended ? "ended its sending" : "floods the link", where.c_str());
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
