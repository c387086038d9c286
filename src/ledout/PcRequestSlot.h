#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

// The PC tools' card requests out now, one per output port of FPGA 0 (a
// request for all ports takes every port), and the tools' turns at sending
// the next. A tool is a link and a sender on it (a TCP client, a UDP
// address and port, the serial line).
//
// Each port's chain answers what reaches it, and the answer comes back from
// that port: so a request to one port never waits for another port's, and
// a card that stays silent holds back only its own port. A port's request
// holds the port until its answer is handed over or 0.5 s passed without
// it.
//
// Turns are counted per port, in rounds. Each tool that has sent to the
// port has one place in the round, where its last request there went: of
// the places waiting, the one whose last request went longest ago goes
// first; of those equal, the tool that asked first. A tool new to the port
// that asks again (it has sent before, or has more requests behind this
// one) takes a place of its own behind the tools waiting when it first
// asked. The tools new to the port that send this one request only (a new
// socket per request) share one place per source address (origin), in the
// order they asked. So a request waits for at most one request of each
// other place waiting for its port, and a one-shot socket also for the
// one-shot sockets of its own address that asked before it. A tool that has
// ended its sending (a TCP client that shut its side or closed) keeps its
// place like any other; once two of its card requests in a row went
// unanswered, the rest of its card requests are dropped, so a client that
// closed behind a queue of silent requests holds no port for long.
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
    // answer reads and writes within a few ticks.
    static constexpr uint32_t kAnswerWaitTicks = 50;
    // A tool that asked and stopped asking loses its place in the line
    // after this long (a waiting link asks again every millisecond or so).
    static constexpr uint32_t kAskKeptTicks = 5;
    // Tools waiting in line at most; more simply ask again later.
    static constexpr size_t kMaxWaiting = 64;
    // The tools' last requests remembered, one per tool and port; a tool
    // forgotten counts as new to the port. Tools that sent one request
    // there are forgotten first, so one-shot sockets never push out a tool
    // that keeps asking.
    static constexpr size_t kMaxRemembered = 256;
    // A tool that sent to a port once counts as known there for this long
    // after (3 s): under a flood of new sockets the ports of closed ones
    // come back, and an old single request on a port is as likely a
    // stranger's.
    static constexpr uint32_t kOnceKnownTicks = 300;
    // The source addresses whose one-shot tools' turns are remembered.
    static constexpr size_t kMaxOrigins = 64;
    // Card requests of a tool that ended its sending that may go unanswered
    // in a row; its later card requests are dropped.
    static constexpr uint8_t kEndedUnanswered = 2;
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
        std::string origin;   // its source address
        bool ended = false;   // has ended its sending
        bool again = false;   // has asked before, or has more requests queued
    };
    enum class Claim { Go, Wait, Drop };

    // A tool asks to send a request to port (0-15, kAllPorts, kNowhere)
    // now. Wait while the port is taken or another place's turn comes
    // first: the tool keeps its request and asks again. Go takes the port
    // for the tool (a request that goes nowhere takes nothing). Drop: the
    // tool has ended its sending and its card requests went unanswered
    // kEndedUnanswered times in a row; the request is not sent.
    Claim claim(const Tool& tool, uint8_t port, uint32_t now);
    // The request went out to port (0-15 or kAllPorts). A port not claimed
    // is taken for fallbackLink (a caller that forwards without asking).
    void sent(uint8_t port, uint8_t tag, uint8_t cmd, uint32_t now, uint8_t fallbackLink);
    // Nothing went out to port: no answer is expected, the port is free.
    void dropped(uint8_t port);
    // Whether an answer is the request's out on port (the port it came
    // from, or kAllPorts for an answer to a request for all ports).
    bool matches(uint8_t port, uint8_t tag, uint8_t cmd) const;
    // Its answer is handed over: the port is free, later answers dropped.
    // Returns who sent the request.
    Requester answered(uint8_t port);
    // Whether a request of the tool holds a port now: its answer may still
    // be on its way.
    bool holds(uint8_t link, const std::string& sender, uint32_t now) const;
    // The tool has gone: it asks no more, and no port waits for it.
    void withdraw(uint8_t link, const std::string& sender);

private:
    struct Request {
        bool taken = false;   // holds its port
        bool open = false;    // its answer is expected
        bool ended = false;   // its sender had ended its sending
        bool counted = false; // its wait ran out and was counted against its sender
        uint8_t tag = 0, cmd = 0;
        uint32_t since = 0;   // tick it was claimed or sent
        Requester who;
        bool held(uint32_t now) const { return taken && now - since <= kAnswerWaitTicks; }
    };
    struct Asker {
        Tool tool;
        uint8_t port;
        uint32_t askedAt;
        // Four times the turn number of its last request to the port
        // (known); for a tool new to the port, the place just behind the
        // port's last turn and the places waiting when it first asked (an
        // origin's one-shot tools stand just ahead of their last turn).
        uint64_t place;
        bool known;     // has sent to the port before
        bool oneShot;   // new to the port and asks once: shares its origin's place
    };
    // The last request of a tool (or, with link kOriginLink, of the one-shot
    // tools of an origin) to a port, and how many it sent there.
    struct Standing {
        uint8_t link;
        std::string name;
        uint8_t port;
        uint64_t turn;
        uint32_t count;
        uint32_t tick;   // of its last request
    };
    struct Unanswered {
        Requester who;
        uint8_t count;
    };
    static constexpr uint8_t kOriginLink = 0xFD;
    // The turn numbers of the last requests, per port, kAllPorts last.
    using PortTurns = std::array<uint64_t, kPorts + 1>;

    const Request* request(uint8_t port) const;
    Request* request(uint8_t port);
    bool free(uint8_t port, uint32_t now) const;
    void forget(uint8_t port);
    void forgetStale(uint32_t now);
    // The tool gives up its place in the line.
    void leaveLine(uint8_t link, const std::string& sender);
    // Counts the requests whose wait ran out without an answer against
    // their senders.
    void settle(uint32_t now);
    uint8_t unansweredOf(uint8_t link, const std::string& sender) const;
    void setUnanswered(const Requester& who, uint8_t count);
    // The asker's index in the line.
    size_t asker(const Tool& tool, uint8_t port, uint32_t now);
    void placeAsker(Asker& a, uint32_t now) const;
    uint64_t placeOf(const Asker& a) const;
    // The first waiting one-shot tool of a's origin and port.
    const Asker* originHead(const Asker& a) const;
    bool turnOf(size_t me) const;
    uint64_t lastSentBy(uint8_t link, const std::string& name, uint8_t port, uint32_t now) const;
    const Standing* originStanding(const std::string& origin, uint8_t port) const;
    void recordSent(const Asker& a, uint32_t now);
    void remember(std::deque<Standing>& list, size_t max, uint8_t link, const std::string& name, uint8_t port,
                  uint64_t turn, uint32_t now);

    std::array<Request, kPorts> ports_;
    Request all_;
    std::deque<Asker> line_;           // tools asking, in the order they asked
    std::deque<Standing> standings_;   // the tools' last request per port, newest at the back
    std::deque<Standing> origins_;     // the one-shot tools' last request per origin and port
    std::deque<Unanswered> unanswered_; // senders whose last requests went unanswered
    PortTurns lastTurn_{};             // the last request to each port
    uint64_t turns_ = 0;
};
