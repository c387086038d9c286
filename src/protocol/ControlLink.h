#pragma once
#include "protocol/CardPortTally.h"
#include "protocol/LineRecall.h"
#include "protocol/LinkPeer.h"
#include "protocol/LinkSendList.h"
#include "protocol/protocol_phy.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace kel::protocol {

class ControllerPort;
class message_deal;

// What every control link does with a received frame: unframe and check
// it, stamp the host frame, pass requests for the receiving cards to the
// FPGA manager, hand every other request to the dispatcher and send the
// answer back to the peer that asked. One card request is out per output
// port (ControllerPort::claimCardPath): a card request waits in its link
// until its sender's turn, and that sender's frames behind it wait with it;
// other senders' frames are served meanwhile. A card answer goes to the
// peer that sent its request. Subclasses own the transport and
// the receive thread; each pass of their loop calls servicePass(), and
// their waits end early when wakeFd() turns readable (a card answer was
// queued).
// The thread calls the subclass's virtuals, so only the most-derived class
// starts it (last, in its constructor) and stops it (first, in its
// destructor): a base constructor or destructor would let the thread see
// the object while its dynamic type is still changing.
class ControlLink {
public:
    ControlLink(uint8_t linkId, ControllerPort& port, message_deal& deal);
    virtual ~ControlLink();
    ControlLink(const ControlLink&) = delete;
    ControlLink& operator=(const ControlLink&) = delete;

    uint8_t linkId() const { return linkId_; }

    // The answer path of the card pass-through (called with the card
    // interrupt lock held): frames the answer with the codec of the link
    // its request came in on into that link's send list, addressed to the
    // sender of the request, sets the port's pass-through link back to none
    // and marks the reply ready. Answers for no known link or sender are
    // dropped. Each answer belongs to a request of its own, so none
    // replaces another still waiting to be sent.
    static bool deliverCardAnswer(ControllerPort& port, uint8_t link, const std::string& sender, const uint8_t* frame,
                                  uint32_t n);
    static ControlLink* byId(uint8_t linkId);

    // The link's codec.
    protocol_phy phy;
    // Frames that waited for the card path and were dropped (take()).
    size_t droppedFrames() const { return dropped_.load(); }
    // Passes of the link's loop so far. Whoever drives the tick by hand (the
    // tests) wakes the link and waits for its passes, so that holds counted
    // in ticks leave every link its turns whatever the machine's load.
    uint64_t passes() const { return passes_.load(std::memory_order_relaxed); }
    // Ends the loop's current wait: the next pass begins at once.
    void wake();

protected:
    // One complete wire frame received from peer. False: a card request
    // whose turn has not come, not taken; the caller keeps it and offers it
    // again.
    bool onWireFrame(const uint8_t* wire, size_t n, const LinkPeer& peer);
    // The frames one receive brought from peer, in order, for links without
    // a line of their own per sender (UDP, serial): each is served now or
    // kept, behind any kept before it from the same sender (peer.key), until
    // serveKept() gets it through; each is taken with again set when a card
    // request for its port follows it among them. A sender whose kept frames
    // would pass kMaxKeptBytes has the frame dropped. A sender without a
    // line while kMaxKeptSenders have one takes a line from another sender
    // (makeRoomFor), or has the frame dropped; either drop is logged, a line
    // at most once every kDropLogTicks. A receive with a card request is a
    // try of its sender (LineRecall).
    void takeAll(const std::vector<std::vector<uint8_t>>& frames, const LinkPeer& peer);
    // Offers each sender's kept frames in order; true when none is left.
    // A sender silent for LineRecall::kForgetTicks is forgotten meanwhile:
    // its waiting request asks with no tries in a row, in its address's
    // place among the others.
    bool serveKept();
    // The port a wire frame's card request goes to (ControllerPort::
    // cardPortOf); kNoCardPort for any other frame.
    uint8_t cardPortOfWire(const uint8_t* wire, size_t n);
    // The pause before a kept card request is offered again.
    static constexpr int kKeptRetryMs = 1;
    static constexpr size_t kMaxKeptBytes = 64 * 1024;
    static constexpr size_t kMaxKeptSenders = 32;
    // One second of ticks between lines about card requests dropped for
    // want of a line.
    static constexpr uint32_t kDropLogTicks = 100;
    // Card interrupt service and sending of a pass-through answer; also
    // logs the card requests dropped for want of a line and not logged yet,
    // once kDropLogTicks have passed since the last such line.
    void servicePass();
    // waitMs, or less when the dropped card requests not logged yet are
    // due to be logged sooner.
    int untilDropsLogged(int waitMs) const;
    // Readable while a card answer waits to be sent by servicePass(), once
    // the link is told to stop, and when a card answer was handed over
    // while card requests of the link wait for their turn.
    int wakeFd() const { return wakeFd_; }
    // Whether card requests of the link wait for their turn (serveKept()
    // sets it; links that keep requests themselves set it here).
    void setWaitingForCards(bool waiting) { waitingForCards_ = waiting; }
    // Where a control answer to peer goes.
    virtual LinkPeer answerPeer(const LinkPeer& peer) const { return peer; }
    virtual bool sendTo(const LinkPeer& peer, const uint8_t* data, size_t n) = 0;

    void startThread();
    void stopThread();
    bool stopping() const { return stop_.load(); }
    virtual void loop() = 0;

    ControllerPort& port_;
    message_deal& deal_;

private:
    bool forward(const uint8_t* body, size_t n, const LinkPeer& peer);
    void answer(const uint8_t* body, size_t n, const LinkPeer& peer);
    bool queueCardAnswer(const std::string& sender, const uint8_t* frame, uint32_t n);
    void rememberPeer(const LinkPeer& peer);
    void logUnanswered(const LinkPeer& peer, uint8_t port);

    const uint8_t linkId_;
    LinkSendList sendList_;
    // The peers whose card requests went out, the newest at the back: an
    // answer goes to the peer of its request's sender.
    static constexpr size_t kMaxPassPeers = 64;
    std::mutex passPeerLock_;
    std::deque<LinkPeer> passPeers_;
    std::atomic<bool> passPending_{false};
    struct Kept {
        std::vector<uint8_t> wire;
        LinkPeer peer;   // again: as of its datagram
    };
    struct Line {
        std::string sender;
        uint32_t address = 0;   // its source address
        // The sender's standing as of its last try (LineRecall), and when
        // that was.
        uint32_t claim = 0;
        uint32_t lastTry = 0;
        std::deque<Kept> frames;
        size_t bytes = 0;
        bool overflowLogged = false;
    };
    Line* lineOf(const std::string& sender);
    void logNoLine(const std::string& sender);
    // Logs the drops counted and not logged yet, naming the latest sender
    // when given, once kDropLogTicks have passed since the last line.
    void logDropsNotLogged(const std::string* latest);
    void take(const uint8_t* wire, size_t n, const LinkPeer& peer, uint32_t standing);
    bool makeRoomFor(uint32_t address, uint32_t standing);
    // The sender's waiting card request and the frames kept behind it
    // (frames in all) are dropped: counted and logged.
    void dropWaiting(const std::string& sender, size_t frames);
    void keep(Line& line, const uint8_t* wire, size_t n, const LinkPeer& peer);
    bool serveLine(Line& line);
    void forgetSilent(Line& line, uint32_t now);

    std::vector<Line> lines_;   // senders with frames kept
    LineRecall recall_;
    // Senders and ports whose card requests were dropped unanswered,
    // logged (the latest kMaxPassPeers).
    std::deque<std::pair<std::string, uint8_t>> unansweredLogged_;
    std::atomic<size_t> dropped_{0};
    // Card requests dropped for want of a line and not logged yet, and the
    // tick the last line about them was written.
    size_t noLineUnlogged_ = 0;
    std::optional<uint32_t> noLineLoggedAt_;
    std::atomic<bool> waitingForCards_{false};
    int wakeFd_ = -1;
    std::atomic<uint64_t> passes_{0};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace kel::protocol
