#pragma once
#include "protocol/ControlLink.h"
#include "protocol/FrameAssembler.h"
#include "protocol/LinkSettings.h"

#include <map>
#include <string>
#include <vector>

namespace kel::protocol {

// The UDP control link (port 5008). Datagrams of one sender are joined
// until a frame ends with 0x5A; each sender has its own capped reassembly
// buffer, reset on a new preamble and after a pause. While 16 senders are
// active a new one gets no buffer: its datagrams are served frame by frame
// and a frame split over several of them is dropped, until a sender has
// been silent for kSenderIdleTicks. A sender's card request waiting for
// its turn at the card path keeps that sender's later frames behind it
// (ControlLink::take); the others' frames are served meanwhile. Answers go
// to the sender (on a device that may broadcast, to 255.255.255.255 at the
// sender's port).
class udpnetManage final : public ControlLink {
public:
    static constexpr size_t kMaxSenders = 16;
    // A sender silent this long starts over.
    static constexpr uint32_t kSenderIdleTicks = 500;

    udpnetManage(ControllerPort& port, message_deal& deal, const LinkSettings& settings);
    ~udpnetManage() override;

    static udpnetManage* pInstance();
    static udpnetManage* p_udpnetManage;

    bool listening() const { return fd_ >= 0; }
    uint16_t localPort() const;
    size_t bufferedBytes() const;

private:
    struct Sender {
        FrameAssembler assembler{protocol_phy::kMaxWire};
        uint32_t lastTicks = 0;
    };

    void loop() override { udpacceptThread(); }
    void udpacceptThread();
    void receiveOne();
    // The sender's slot, or null while kMaxSenders senders are active.
    Sender* senderFor(const std::string& key);
    LinkPeer answerPeer(const LinkPeer& peer) const override;
    bool sendTo(const LinkPeer& peer, const uint8_t* data, size_t n) override;

    LinkSettings settings_;
    int fd_ = -1;
    mutable std::mutex sendersLock_;
    std::map<std::string, Sender> senders_;
    std::vector<uint8_t> datagram_;
};

} // namespace kel::protocol
