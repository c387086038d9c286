#include "protocol/udpnetManage.h"

#include "protocol/ControllerPort.h"
#include "protocol/LinkSocket.h"
#include "protocol/ProtocolCodes.h"
#include "protocol/ProtocolContext.h"
#include "platform/NetPolicy.h"

#include <arpa/inet.h>
#include <iterator>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kel::protocol {

udpnetManage* udpnetManage::p_udpnetManage = nullptr;

udpnetManage::udpnetManage(ControllerPort& port, message_deal& deal, const LinkSettings& settings)
    : ControlLink(LINK_UDP, port, deal)
    , settings_(settings)
    , datagram_(65536)
{
    if (settings_.udpEnabled)
        fd_ = LinkSocket::openUdp(settings_.udpPort);
    if (fd_ >= 0)
        startThread();
}

udpnetManage::~udpnetManage()
{
    stopThread();
    if (fd_ >= 0)
        ::close(fd_);
}

udpnetManage* udpnetManage::pInstance()
{
    if (!p_udpnetManage && ProtocolContext::port())
        p_udpnetManage = new udpnetManage(*ProtocolContext::port(), *ProtocolContext::deal(), ProtocolContext::settings());
    return p_udpnetManage;
}

uint16_t udpnetManage::localPort() const { return LinkSocket::localPort(fd_); }

size_t udpnetManage::bufferedBytes() const
{
    std::lock_guard<std::mutex> l(sendersLock_);
    size_t n = 0;
    for (const auto& s : senders_)
        n += s.second.assembler.buffered();
    return n;
}

void udpnetManage::udpacceptThread()
{
    while (!stopping()) {
        // Card requests waiting for the card path are offered again every
        // millisecond; the socket is read meanwhile, so other senders are
        // served as usual. Drops counted and not logged yet are logged by
        // the pass after a second, however long the idle wait.
        const int wait = untilDropsLogged(serveKept() ? settings_.pollMs : kKeptRetryMs);
        if (LinkSocket::waitReadable(fd_, wait, wakeFd()))
            receiveOne();
        servicePass();
    }
}

void udpnetManage::receiveOne()
{
    LinkPeer peer;
    socklen_t len = sizeof peer.address;
    const ssize_t got = ::recvfrom(fd_, datagram_.data(), datagram_.size(), MSG_DONTWAIT,
                                   reinterpret_cast<sockaddr*>(&peer.address), &len);
    if (got <= 0)
        return;
    peer.key = LinkSocket::keyOf(peer.address);
    std::vector<std::vector<uint8_t>> frames;
    auto collect = [&frames](const uint8_t* w, size_t n) { frames.emplace_back(w, w + n); };
    {
        std::lock_guard<std::mutex> l(sendersLock_);
        if (Sender* s = senderFor(peer.key)) {
            s->assembler.feed(datagram_.data(), size_t(got), collect);
        } else {
            // No slot: the frames this datagram completes are served, a
            // frame it leaves open is dropped.
            FrameAssembler once(protocol_phy::kMaxWire);
            once.feed(datagram_.data(), size_t(got), collect);
        }
    }
    takeAll(frames, peer);
}

udpnetManage::Sender* udpnetManage::senderFor(const std::string& key)
{
    const uint32_t now = port_.ticks();
    auto it = senders_.find(key);
    if (it != senders_.end()) {
        if (now - it->second.lastTicks > kSenderIdleTicks)
            it->second.assembler.reset();
        it->second.lastTicks = now;
        return &it->second;
    }
    if (senders_.size() >= kMaxSenders) {
        // A sender silent for kSenderIdleTicks has started over anyway: its
        // slot goes to the newcomer. Active senders keep theirs, so a frame
        // split over their datagrams is never cut by a stranger.
        for (auto i = senders_.begin(); i != senders_.end();)
            i = now - i->second.lastTicks > kSenderIdleTicks ? senders_.erase(i) : std::next(i);
        if (senders_.size() >= kMaxSenders)
            return nullptr;
    }
    Sender& s = senders_[key];
    s.lastTicks = now;
    return &s;
}

LinkPeer udpnetManage::answerPeer(const LinkPeer& peer) const
{
    if (!platform::NetPolicy::broadcastAllowed())
        return peer;
    LinkPeer all = peer;
    all.address.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    return all;
}

bool udpnetManage::sendTo(const LinkPeer& peer, const uint8_t* data, size_t n)
{
    const sockaddr_in to = platform::NetPolicy::destination(peer.address);
    return ::sendto(fd_, data, n, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) == ssize_t(n);
}

} // namespace kel::protocol
