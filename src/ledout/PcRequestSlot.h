#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

// The PC tool's card request that the cards' answers are matched to, and
// the tools' turns at sending the next one. One request is out at a time:
// a tool may send when no request waits for its answer (or the wait ran
// out) and its turn has come. A tool is a link and a sender on it (a TCP
// client, a UDP address and port, the serial line). Of the tools asking,
// the one whose last request went longest ago goes first (one that never
// sent before all others, in the order they asked), so a tool waits for at
// most one request of each other tool, however many that tool has queued,
// and a card that never answers costs the others one wait at most. Sending
// forgets the request before: an answer is the current request's when it
// carries its tag and command and came from the port it went to (for a
// request to all ports, the joined answer). One answer is handed over,
// anything else is dropped, so no requester ever gets an answer to another
// request. A request whose wait ran out still takes its late answer until
// the next request goes.
// Not locked itself: fpga_manage::irq_mutex guards it.
class PcRequestSlot {
public:
    // How long a request holds the path for its answer (0.5 s). The cards
    // answer reads and writes within a few ticks; a request no card
    // answers holds back the next tool's no longer than this.
    static constexpr uint32_t kAnswerWaitTicks = 50;
    // A tool that asked and stopped asking loses its place in the line
    // after this long (a waiting link asks again every millisecond or so).
    static constexpr uint32_t kAskKeptTicks = 5;
    // Tools waiting in line at most; more simply ask again later.
    static constexpr size_t kMaxWaiting = 64;
    static constexpr uint8_t kAllPorts = 255;

    // A tool asks to send a request now. False while the path is taken or
    // another tool's turn comes first; the tool keeps its request and asks
    // again. True takes the path and forgets the previous request.
    bool claim(uint8_t link, const std::string& sender, uint32_t now);
    // The request went out to a port (0-15) or to all ports (kAllPorts).
    void sent(uint8_t tag, uint8_t cmd, uint8_t port, uint32_t now);
    // Nothing went out: no answer is expected, the path is free.
    void dropped();
    // Whether an answer is the current request's: port is the port it came
    // from, or kAllPorts for an answer to a request for all ports.
    bool matches(uint8_t tag, uint8_t cmd, uint8_t port) const;
    // Its answer was handed over: the path is free, later answers dropped.
    void answered();

private:
    struct Asker {
        uint8_t link;
        std::string sender;
        uint32_t askedAt;
        uint64_t lastSent;   // the turn number of its last request, 0: none
    };
    bool held(uint32_t now) const;
    void forgetStale(uint32_t now);
    // The asker's index in the line.
    size_t asker(uint8_t link, const std::string& sender, uint32_t now);
    bool turnOf(size_t me) const;
    uint64_t lastSentBy(uint8_t link, const std::string& sender) const;
    void recordSent(const Asker& a);

    bool taken_ = false;     // a request holds the path
    bool open_ = false;      // its answer is expected
    uint8_t tag_ = 0, cmd_ = 0, port_ = 0;
    uint32_t since_ = 0;     // tick the path was taken or the request sent
    std::deque<Asker> line_; // tools asking, in the order they asked
    std::deque<Asker> sent_; // the tools that sent last, newest at the back
    uint64_t turns_ = 0;
};
