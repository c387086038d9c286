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
// Turns are counted per port. Of the tools asking for a port, the one whose
// last request to that port went longest ago goes first; of those equal,
// the one that asked first. A tool that never sent to the port takes its
// place behind the tools already waiting for it (but ahead of the tool that
// sent last), and the tools new to a port share one turn among them: once
// one of them has gone, the others wait for the tools that sent before it.
// A tool that opens a new socket for every request is new every time, so
// it gets one turn among the others, not every turn. A tool that has ended
// its sending (a TCP client that shut its side or closed) takes its turns
// after every tool that has not. So a tool waits for at most one request of
// each other tool asking for its port, and of all the new ones together,
// however many each has queued.
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
    // answer reads and writes within a few ticks.
    static constexpr uint32_t kAnswerWaitTicks = 50;
    // A tool that asked and stopped asking loses its place in the line
    // after this long (a waiting link asks again every millisecond or so).
    static constexpr uint32_t kAskKeptTicks = 5;
    // Tools waiting in line at most; more simply ask again later.
    static constexpr size_t kMaxWaiting = 64;
    // The tools' last requests remembered, one per tool and port; a tool
    // forgotten counts as new to the port.
    static constexpr size_t kMaxRemembered = 256;
    static constexpr uint8_t kPorts = 16;
    // Where a request goes besides a port 0-15.
    static constexpr uint8_t kAllPorts = 255;
    static constexpr uint8_t kNowhere = 254;

    struct Requester {
        uint8_t link = 255;   // none
        std::string sender;
    };

    // A tool asks to send a request to port (0-15, kAllPorts, kNowhere)
    // now. False while the port is taken or another tool's turn comes
    // first; the tool keeps its request and asks again. True takes the
    // port for the tool (a request that goes nowhere takes nothing).
    // ended: the tool has ended its sending.
    bool claim(uint8_t link, const std::string& sender, uint8_t port, uint32_t now, bool ended = false);
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
        uint8_t tag = 0, cmd = 0;
        uint32_t since = 0;   // tick it was claimed or sent
        Requester who;
        bool held(uint32_t now) const { return taken && now - since <= kAnswerWaitTicks; }
    };
    struct Asker {
        uint8_t link;
        std::string sender;
        uint8_t port;
        uint32_t askedAt;
        // Twice the turn number of its last request to the port; a tool new
        // to the port gets an odd place between two turns.
        uint64_t place;
        bool known;   // has sent to the port before
        bool ended;
    };
    struct Sent {
        uint8_t link;
        std::string sender;
        uint8_t port;
        uint64_t turn;
    };
    // The turn numbers of the last requests, per port, kAllPorts last.
    using PortTurns = std::array<uint64_t, kPorts + 1>;

    const Request* request(uint8_t port) const;
    Request* request(uint8_t port);
    bool free(uint8_t port, uint32_t now) const;
    void forget(uint8_t port);
    void forgetStale(uint32_t now);
    // The asker's index in the line.
    size_t asker(uint8_t link, const std::string& sender, uint8_t port, uint32_t now, bool ended);
    void placeAsker(Asker& a) const;
    uint64_t placeOf(const Asker& a) const;
    bool turnOf(size_t me) const;
    uint64_t lastSentBy(uint8_t link, const std::string& sender, uint8_t port) const;
    void recordSent(const Asker& a);

    std::array<Request, kPorts> ports_;
    Request all_;
    std::deque<Asker> line_;   // tools asking, in the order they asked
    std::deque<Sent> sent_;    // the tools' last request per port, newest at the back
    PortTurns lastTurn_{};     // the last request to each port
    PortTurns newTurn_{};      // the last request of a tool new to the port
    uint64_t turns_ = 0;
};
