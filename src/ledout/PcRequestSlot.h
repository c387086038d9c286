#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

// The PC tools' card requests out now, one per output port of FPGA 0 (a
// request for all ports takes every port), and the tools' turns at sending
// the next. A tool is a link and a sender on it (a TCP client, a UDP
// address and port, the serial line); its origin is its source address
// (the serial line and the 4G modem's line each one of their own).
//
// Each port's chain answers what reaches it, and the answer comes back from
// that port: so a request to one port never waits for another port's, and
// a card that stays silent holds back only its own port. A port's request
// holds the port until its answer is handed over or 0.5 s passed without
// it.
//
// Turns are counted per port, first between origins, then inside each.
// An origin's place is the turn of its last request that reached the port;
// an origin with none remembered stands behind the origins waiting when it
// asked and behind the port's last turn, and so stays while any of its
// tools waits for the port. An origin's turns are remembered while any of
// its tools waits: a forgotten one is new, never back at a place worked
// out before it was forgotten. The lowest place goes, of equal
// ones the origin that asked first. So a turn of an origin costs it at most
// one request of each other origin waiting, whatever those send, plus the
// one out now: how a tool looks can order it only among its own origin's.
// Inside an origin the tools take turns the same way: a tool that sent to
// the port twice or more stands at its last request there; one that may
// ask again (Tool::again: a client still sending, or another request for
// the port queued) stands behind its origin's tools waiting when it asked
// and its origin's last turn; the rest (a new socket per request, a socket
// that sent there once, which a new socket on its port number cannot be
// told from, a tool that ended its sending, also one seen to end while it
// waits) share one place of the origin, a UDP sender that asked more
// often in a row (Tool::tries) first, else in the order they asked. Only a
// tool's requests to that port count.
//
// Nothing is dropped for how a tool looks. A request of a tool that ended
// its sending or floods its link yields, also one sent before that showed:
// it holds the port against its own tool for the usual hold, against the
// others only as long as the port's cards took to answer lately (at least
// kYieldAfterTicks), after which another tool's request goes and replaces
// it. So such a tool, which may read no answer, costs the others little,
// still gets the answers its port's cards give, and is slowed only for
// others waiting for the same port. Once two of its requests to a port in
// a row went unanswered, a tool that ended has its further requests there
// dropped.
//
// Sending forgets the request before on that port (a request for all ports
// and one for a single port forget each other): an answer is the current
// request's when it carries its tag and command and came from its port
// (for a request to all ports, the joined answer). One answer is handed
// over, to the tool that sent the request; anything else is dropped, so no
// tool ever gets an answer to another request. A request whose wait ran out
// still takes its late answer until the next request to its port goes.
// Not locked itself: fpga_manage::irq_mutex guards it.
class PcRequestSlot {
public:
    // How long a request holds its port for the answer (0.5 s). The cards
    // answer reads and writes within a few ticks. A tool that stopped
    // asking this long (its link asks every millisecond or so, or withdraws
    // it) loses its place in the line.
    static constexpr uint32_t kAnswerWaitTicks = 50;
    // A yielding request holds every tool back at least this long (50 ms),
    // and as long as its port's cards took to answer lately (the slowest of
    // the last kAnswerTimes answers there, twice over), at most a hold, a
    // hold too while the port has none on record: a live answer is still
    // handed over, however slow the port's cards.
    static constexpr uint32_t kYieldAfterTicks = 5;
    static constexpr size_t kAnswerTimes = 8;
    // Requests of a tool that ended to one port that may go unanswered in a
    // row before its further ones there are dropped.
    static constexpr uint8_t kUnansweredInARow = 2;
    // Tools waiting in line at most; more simply ask again later. Above
    // what the links can have waiting at once (64 TCP clients, 32 UDP
    // lines, the serial and 4G lines): a tool pushed out stands as new each
    // time it asks again, so with the line full a client's first requests
    // would never go.
    static constexpr size_t kMaxWaiting = 128;
    // The last turns remembered, per port: of tools that sent there twice
    // or more, of origins, and of tools that sent there once (apart, so
    // one-shot sockets push out only each other). Forgotten is new. An
    // origin's turns are kept while a tool of it waits, unless every
    // origin turn remembered is so kept.
    static constexpr size_t kMaxRemembered = 256;
    static constexpr size_t kMaxOnce = 1024;
    static constexpr uint8_t kPorts = 16;
    // Where a request goes besides a port 0-15.
    static constexpr uint8_t kAllPorts = 255;
    static constexpr uint8_t kNowhere = 254;

    struct Requester {
        uint8_t link = 255;   // none
        std::string sender;
    };
    // Who asks.
    struct Tool {
        uint8_t link = 255;
        std::string sender;
        std::string origin;   // its source address, or its line's name
        bool ended = false;   // has ended its sending
        bool again = false;   // may ask again: still sending, or another request for this port queued
        bool floods = false;  // floods its link and takes no answers
        uint32_t tries = 0;   // a UDP sender's tries in a row before this request
    };
    enum class Claim { Go, Wait, Drop };

    // A tool asks to send a request to port (0-15, kAllPorts, kNowhere)
    // now. Wait while the port is taken or another place's turn comes
    // first: the tool keeps its request and asks again. Go takes the port
    // for the tool (a request that goes nowhere takes nothing). Drop: the
    // tool has ended its sending and its requests to the port went
    // unanswered kUnansweredInARow times in a row; the request is not sent.
    Claim claim(const Tool& tool, uint8_t port, uint32_t now);
    // The request went out to port (0-15 or kAllPorts). A port not claimed
    // is taken for fallbackLink (a caller that forwards without asking).
    void sent(uint8_t port, uint8_t tag, uint8_t cmd, uint32_t now, uint8_t fallbackLink);
    // Nothing went out to port: no answer is expected, the port is free.
    void dropped(uint8_t port);
    // Whether an answer is the request's out on port (the port it came
    // from, or kAllPorts for an answer to a request for all ports).
    bool matches(uint8_t port, uint8_t tag, uint8_t cmd) const;
    // An answer that matches no request out: one to the request replaced
    // last on port, before its answer came, still counts as the time the
    // port's cards took (it is handed to nobody).
    void unmatched(uint8_t port, uint8_t tag, uint8_t cmd, uint32_t now);
    // Its answer is handed over: the port is free, later answers dropped.
    // Returns who sent the request.
    Requester answered(uint8_t port, uint32_t now);
    // Whether a request of the tool holds a port now: its answer may still
    // be on its way.
    bool holds(uint8_t link, const std::string& sender, uint32_t now) const;
    // The tool has gone: it asks no more, and no port waits for it.
    void withdraw(uint8_t link, const std::string& sender);

private:
    struct Request {
        bool taken = false;   // holds its port
        bool open = false;    // its answer is expected
        // Its sender had ended or flooded: past kYieldAfterTicks it holds
        // against its own sender only, and its silence is counted.
        bool yields = false;
        bool counted = false; // its silence was counted against its sender
        uint8_t tag = 0, cmd = 0;
        uint32_t since = 0;   // tick it was claimed or sent
        Requester who;
        bool held(uint32_t now) const { return taken && now - since <= kAnswerWaitTicks; }
    };
    // How a tool stands among its origin's at a port.
    enum class Standing { Kept, Own, OneShot };
    // Places are twice a turn number; a place new to the port is one more
    // than twice the turn it stands behind.
    struct Asker {
        Tool tool;
        uint8_t port;
        uint32_t askedAt;   // last asked
        uint64_t seq;       // order of first asking
        Standing standing;
        uint64_t originNew; // its origin's place, were the origin new to the port when it asked
        uint64_t originSeq; // when it asked: of equal places, the first goes
        uint64_t innerNew;  // its place among its origin's tools, were it new to the port
        uint64_t ownTurn;   // its last turn that reached the port, 0: none
        // Its origin's last turn and its one-shot tools' at the port, as of
        // the turn count `seen` (they change only when a request goes).
        mutable uint64_t originTurn = 0, oneShotTurn = 0, seen = UINT64_MAX;
        // Its origin's place at its port were the origin new there, as of
        // the line `newSeen` (see newPlace).
        mutable uint64_t newAt = 0, newSeq = 0, newSeen = UINT64_MAX;
    };
    struct Place {
        uint64_t place, seq;
    };
    // The last request to a port of a tool (link and sender) or an origin
    // (kOriginLink and origin; kOneShotLink: its one-shot tools').
    struct Turn {
        uint8_t link;
        std::string name;
        uint8_t port;
        uint64_t turn;
        uint32_t count;
        uint32_t tick;
    };
    struct Unanswered {
        Requester who;
        uint8_t port;
        uint8_t count;
    };
    static constexpr uint8_t kOriginLink = 0xFD;
    static constexpr uint8_t kOneShotLink = 0xFC;
    // The turn numbers of the last requests, per port, kAllPorts last.
    using PortTurns = std::array<uint64_t, kPorts + 1>;

    const Request* request(uint8_t port) const;
    Request* request(uint8_t port);
    bool free(uint8_t port, const Tool& tool, uint32_t now) const;
    // How long a yielding request at port holds every tool back.
    uint32_t yieldAfter(uint8_t port) const;
    void noteAnswerTime(uint8_t port, uint32_t ticks);
    void forget(uint8_t port);
    // Another request takes port's place: the one there is replaced.
    void replace(uint8_t port);
    void yieldHeld(const Tool& tool, uint32_t now);
    void forgetStale(uint32_t now);
    void leaveLine(uint8_t link, const std::string& sender);
    // Counts the requests whose wait ran out without an answer against
    // their senders and ports.
    void settle(uint32_t now);
    void countSilence(Request& r, uint8_t port);
    uint8_t unansweredOf(const Requester& who, uint8_t port) const;
    void setUnanswered(const Requester& who, uint8_t port, uint8_t count);
    // Whether the asker waits for the hold of a yielding request of its own
    // (it keeps back nobody meanwhile).
    bool standsAside(const Asker& a, uint32_t now) const;
    // The asker's index in the line.
    size_t asker(const Tool& tool, uint8_t port, uint32_t now);
    void place(Asker& a, bool origin) const;
    uint64_t newOrigin(const Asker& a) const;
    Place newPlace(const Asker& a, uint8_t port) const;
    Place originPlace(const Asker& a, uint8_t port) const;
    uint64_t innerPlace(const Asker& a, uint8_t port) const;
    const Asker& fresh(const Asker& a) const;
    bool before(const Asker& a, const Asker& b, uint8_t port) const;
    bool turnOf(size_t me, uint32_t now) const;
    // The last turn of a tool or origin that reached port (its record).
    const Turn* lastTurn(uint8_t link, const std::string& name, uint8_t port) const;
    uint64_t turnOf(uint8_t link, const std::string& name, uint8_t port) const;
    void recordSent(const Asker& a, uint32_t now);
    void remember(uint8_t link, const std::string& name, uint8_t port, uint64_t turn, uint32_t now);
    void forgetOldest(std::deque<Turn>& list);
    bool waits(const std::string& origin) const;

    std::array<Request, kPorts> ports_;
    Request all_;
    std::deque<Asker> line_;           // tools asking, in the order they asked
    // The last request per port, newest at the back: of the tools that
    // sent there twice or more, once, and of the origins.
    std::deque<Turn> kept_, once_, origins_;
    std::deque<Unanswered> unanswered_; // tools and ports whose last requests went unanswered
    PortTurns lastTurn_{};             // the last request to each port
    // Ticks the last answers handed over took, per port, kAllPorts last.
    struct AnswerTimes {
        std::array<uint8_t, kAnswerTimes> ticks{};
        uint8_t next = 0;
        bool any = false;
    };
    std::array<AnswerTimes, kPorts + 1> answerTimes_{};
    // The request replaced last per port, kAllPorts last, while its answer
    // was expected: its late answer is timed.
    struct Replaced {
        bool open = false;
        uint8_t tag = 0, cmd = 0;
        uint32_t since = 0;
    };
    std::array<Replaced, kPorts + 1> replaced_{};
    uint64_t turns_ = 0, asks_ = 0, lineSeen_ = 0;
};
