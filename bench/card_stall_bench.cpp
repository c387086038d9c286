// Card requests that no card answers, and what they do to the other tools:
// kelT57N runs on the simulated board in a temporary root (cards on output
// ports 0 and 1; port 5, port byte 6, has none), and tools on the UDP, TCP
// and serial links ask at once. A card request without an answer holds its
// port (the whole card path, in builds before one request per port) for
// 0.5 s, so a tool that asks where no card answers can hold up the others.
// Scenarios, by name as arguments or in
// KEL_BENCH_SCENARIO (comma separated; all by default), each lasting about
// KEL_BENCH_SECONDS (10):
//   udp-silent      a UDP tool asks the silent port every 5 ms; another UDP
//                   tool asks 0xDF every 50 ms and card reads every 200 ms,
//                   a TCP tool card reads every 200 ms
//   udp-silent-same-port  as udp-silent, but A asks card 9 of port 0, beyond
//                   its chain, and B and C read port 0 one at a time
//   tcp-silent      a TCP client keeps 4 silent card reads out (each counted
//                   out for 0.5 s); another asks card reads every 100 ms
//   allports-empty  on a board without cards, ten requests for all ports,
//                   each followed by a 0xDF, on one TCP connection
//   waited-latency  two TCP clients flood card reads; a UDP tool and the
//                   serial link each ask one every 50 ms
//   tcp-not-silent  seven TCP clients and a tool T fill the slots, T asks
//                   six silent reads then 0xDF every 100 ms, a ninth client
//                   connects: which client is closed, and T's answers
//   share           a TCP client, a UDP tool and the serial link each ask
//                   card reads one at a time, the next after the answer
//   udp-new-socket  a silent read of port 0 (card 7, beyond its chain of 3)
//                   from a new UDP socket every KEL_BENCH_NEW_SOCKET_MS
//                   (400); a UDP tool B and a TCP tool C read port 0 one at
//                   a time, B also asks 0xDF every 200 ms
//   tcp-new-connection  as udp-new-socket, the silent reads each from a TCP
//                   client that connects, sends it and closes
//   two-ports       a UDP and a TCP tool each read port 0 and port 1 in
//                   turn, one at a time, beside a TCP client keeping silent
//                   reads of port 0 queued
//   half-close      five times: a TCP client writes a silent read of port 0,
//                   5 reads of port 0 and a 0xDF at once, shuts down its
//                   sending side and reads for 5 s or until closed
//   tcp-churn       300 TCP clients a second connect, write 5 silent reads
//                   of port 0 and close; TCP tool B reads port 0 one at a
//                   time, TCP tool D asks 0xDF every 100 ms, both connecting
//                   again whenever the program closes them
//   udp-bound       while a silent read holds port 0, 33 UDP senders each
//                   send a silent read of port 0 and a 0xDF
//   half-close-beside  a half-closed TCP client H as in half-close, once
//                   each beside (a) a UDP tool sending a silent read of port
//                   0 every 0.5 s, (b) a TCP tool keeping silent reads of
//                   port 0 queued back to back, (c) a silent read of port 0
//                   from a new UDP socket every 0.4 s, each started 1.5 s
//                   before H; H reads for 8 s or until closed
//   closed-flood    a TCP client writes 20 silent reads of port 0 and
//                   closes; then one writes them for 2 s, as many as its
//                   socket takes, and closes; a UDP tool reads port 0 one at
//                   a time (the next after the answer or 1 s), its reads
//                   from 2 s after the close on counted
//   batch-queues    N UDP tools (KEL_BENCH_BATCH_TOOLS, 8 and 16) each send
//                   one datagram of 2,000 silent reads of port 0; 5 s later
//                   a new UDP tool and a new TCP tool each read port 0 once
//   script-beside   a script sends a silent read of port 0 from a new UDP
//                   socket every 50 ms (8 s alone, then on); a UDP and a TCP
//                   tool at 127.0.0.2 read port 0 one at a time for 10 s, a
//                   UDP and a TCP tool at 127.0.0.1 read it every 2 s for
//                   25 s (needs the network of the bench's own)
//   new-sockets-300 300 new UDP sockets a second each send a silent read of
//                   port 0 for 30 s; a known UDP tool and a known TCP tool
//                   each keep one read of port 0 out
//   batch-reader    a TCP tool writes 1,000 reads of port 0 at once and
//                   reads the answers beside a TCP tool keeping silent reads
//                   of port 0 queued; 1 s later 8 idle TCP connections come
//   udp-refusals    while a silent read holds port 0 and 32 UDP senders
//                   wait, 55 new senders each send a silent read of port 0:
//                   the refusals the program's log counts in the 3 s after
// Round trips are timed per request by its command and a tag of its own.
// The scenarios with silent reads (all but allports-empty and the three
// that share a program) each start a program of their own (the silent
// reads they leave queued would hold up whatever came next), allports-empty
// one on a board without cards; waited-latency, tcp-not-silent and share
// share one; half-close-beside, closed-flood and batch-queues start a new
// program for each of their runs. script-beside needs the bench's network of
// its own, where 127.0.0.2 stands for a second PC (run as root, or where the
// kernel allows a user namespace); elsewhere it says so and does nothing.
// KEL_BENCH_REPEAT runs tcp-not-silent that many times (after
// waited-latency when both are named: its flood clients closed with reads
// still queued) and counts the runs in which a live client was closed while
// a slot was held by a client that had closed. The tools of a timed
// scenario ask for all but its last second, which is left for the last
// answers. KEL_PROGRAM runs another build of the program.
#include "SimProgram.h"
#include "UdpTool.h"
#include "platform/PrivateNetwork.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <map>
#include <memory>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

using bench::Bytes;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

constexpr uint16_t kUdpPort = 5008;
constexpr uint16_t kTcpPort = 5005;
constexpr uint8_t kSilentPort = 6;     // port byte of output port 5, which has no cards
constexpr int kTcpSlots = 8;

double msSince(Clock::time_point t, Clock::time_point now = Clock::now())
{
    return std::chrono::duration<double, std::milli>(now - t).count();
}

// The round trips of one kind of request of one tool.
struct Series {
    int sent = 0;
    std::vector<double> ms;   // of the answers that came
    std::vector<Clock::time_point> came;   // when each came

    // The answers later than `limit` and the requests not answered.
    int over(double limit) const { return sent - within(limit); }
    // Milliseconds from t to the first answer ("-" when none came).
    std::string firstAfter(Clock::time_point t) const
    {
        if (came.empty())
            return "-";
        char text[32];
        std::snprintf(text, sizeof text, "%.1f", msSince(t, came.front()));
        return text;
    }

    int within(double limit) const
    {
        return int(std::count_if(ms.begin(), ms.end(), [&](double m) { return m <= limit; }));
    }
    std::string at(double q) const
    {
        if (ms.empty())
            return "-";
        std::vector<double> s = ms;
        std::sort(s.begin(), s.end());
        char text[32];
        std::snprintf(text, sizeof text, "%.1f", s[std::min(s.size() - 1, size_t(q * double(s.size())))]);
        return text;
    }
    void printReads(const char* what, int limitMs = 1000) const
    {
        std::printf("  %s: %d of %d answered within %g s (%zu in all); round trip p50 %s, p90 %s, max %s ms\n", what,
                    within(limitMs), sent, limitMs / 1000.0, ms.size(), at(0.5).c_str(), at(0.9).c_str(),
                    at(1).c_str());
    }
    void printInfo(const char* what) const
    {
        std::printf("  %s: %d sent, %zu answered; round trip p50 %s, p99 %s, max %s ms\n", what, sent, ms.size(),
                    at(0.5).c_str(), at(0.99).c_str(), at(1).c_str());
    }
};

struct Request {
    Bytes (*make)(uint8_t tag);
    uint8_t cmd;
};
const Request kCardRead{[](uint8_t tag) { return bench::cardRead(tag); }, 0x61};
const Request kSilentRead{[](uint8_t tag) { return bench::cardRead(tag, kSilentPort); }, 0x61};
// Cards 9 and 7 of port 0, beyond its chain of 3: nobody answers, on a
// port with cards.
const Request kBeyondChainRead{[](uint8_t tag) { return bench::cardRead(tag, 0, 0, 9); }, 0x61};
const Request kSilentPort0Read{[](uint8_t tag) { return bench::cardRead(tag, 0, 0, 7); }, 0x61};
const Request kPort1Read{[](uint8_t tag) { return bench::cardRead(tag, 2); }, 0x61};
const Request kAllPortsRead{[](uint8_t tag) { return bench::cardRead(tag, 255, 1); }, 0x61};
const Request kDeviceInfo{[](uint8_t tag) { return bench::request(0xDF, {0}, tag); }, 0xDF};

// `count` requests back to back, tagged from firstTag on.
Bytes together(const Request& r, int count, uint8_t firstTag)
{
    Bytes all;
    for (int i = 0; i < count; ++i) {
        const Bytes one = r.make(uint8_t(firstTag + i));
        all.insert(all.end(), one.begin(), one.end());
    }
    return all;
}

// A TCP connection to the program that does not block (-1 when refused),
// from the loopback address `from` when one is given (network order).
int tcpConnection(in_addr_t from = htonl(INADDR_ANY))
{
    const int fd = bench::connectTcp(kTcpPort, from);
    if (fd >= 0)
        ::fcntl(fd, F_SETFL, O_NONBLOCK);
    return fd;
}

// A PC tool on one link: its requests carry tags of its own (a counter per
// command) and each answer is timed against its request.
class Tool {
public:
    enum Link { Udp, Tcp, Serial };
    Tool(Link link, int fd)
        : link_(link)
        , fd_(fd)
    {
    }
    ~Tool()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Tool(const Tool&) = delete;
    Tool& operator=(const Tool&) = delete;

    int fd() const { return fd_; }
    bool ok() const { return fd_ >= 0 && !closed_; }
    bool closed() const { return closed_; }
    Clock::time_point closedAt() const { return closedAt_; }
    long answers() const { return answers_; }
    Clock::time_point firstAnswerAt() const { return firstAnswerAt_; }
    Clock::time_point lastAnswerAt() const { return lastAnswerAt_; }
    bool flooding() const { return !flood_.empty(); }
    // Requests written back to back, as many as the socket takes.
    void flood(const Request& r, int count) { flood_ = together(r, count, 0x80); }
    // Bytes of the flood the socket took.
    size_t flooded() const { return flooded_; }

    // Bytes written as they are (to the program's UDP port), untimed.
    bool send(const Bytes& w)
    {
        sockaddr_in to = bench::loopback(kUdpPort);
        const auto* dest = reinterpret_cast<sockaddr*>(&to);
        const ssize_t n = link_ == Udp   ? ::sendto(fd_, w.data(), w.size(), 0, dest, sizeof to)
                          : link_ == Tcp ? ::send(fd_, w.data(), w.size(), MSG_NOSIGNAL)
                                         : ::write(fd_, w.data(), w.size());
        return n == ssize_t(w.size());
    }

    void ask(const Request& r, Series* s = nullptr) { askTogether({{&r, s}}); }
    // Several requests in one write.
    void askTogether(const std::vector<std::pair<const Request*, Series*>>& requests)
    {
        Bytes w;
        std::vector<std::pair<uint16_t, Series*>> keys;
        for (const auto& [r, s] : requests) {
            const uint8_t tag = ++tags_[r->cmd];
            const Bytes one = r->make(tag);
            w.insert(w.end(), one.begin(), one.end());
            keys.emplace_back(uint16_t(r->cmd << 8 | tag), s);
        }
        if (!send(w))
            return;
        const auto now = Clock::now();
        for (const auto& [key, s] : keys) {
            out_[key] = {now, s};
            if (s)
                ++s->sent;
        }
    }
    // A TCP tool the program closed connects again; the requests it had
    // out are not answered any more.
    void reconnect()
    {
        ::close(fd_);
        fd_ = tcpConnection();
        closed_ = fd_ < 0;
        out_.clear();
    }
    // Later answers to the requests out now are not timed (their series
    // are gone); the tags go on.
    void forget() { out_.clear(); }
    // Requests of the given series written within the time whose answers
    // have not come.
    int waiting(milliseconds within, const std::vector<const Series*>& of) const
    {
        const auto since = Clock::now() - within;
        return int(std::count_if(out_.begin(), out_.end(), [&](const auto& o) {
            return o.second.at > since && std::find(of.begin(), of.end(), o.second.series) != of.end();
        }));
    }

    void read()
    {
        uint8_t buf[65536];
        for (;;) {
            const ssize_t r = ::read(fd_, buf, sizeof buf);
            if (r == 0 || (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
                if (link_ == Tcp && !closed_) {
                    closed_ = true;
                    closedAt_ = Clock::now();
                }
                return;
            }
            if (r < 0)
                return;
            answers_reader_.feed(buf, size_t(r), [this](uint8_t cmd, uint8_t tag) {
                const auto now = Clock::now();
                if (answers_++ == 0)
                    firstAnswerAt_ = now;
                lastAnswerAt_ = now;
                const auto o = out_.find(uint16_t(cmd << 8 | tag));
                if (o == out_.end())
                    return;
                if (o->second.series) {
                    o->second.series->ms.push_back(msSince(o->second.at, now));
                    o->second.series->came.push_back(now);
                }
                out_.erase(o);
            });
        }
    }
    void writeFlood()
    {
        const ssize_t w = ::send(fd_, flood_.data() + at_, flood_.size() - at_, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (w > 0) {
            at_ = (at_ + size_t(w)) % flood_.size();
            flooded_ += size_t(w);
        }
    }

private:
    struct Out {
        Clock::time_point at;
        Series* series;
    };
    Link link_;
    int fd_;
    bool closed_ = false;
    Clock::time_point closedAt_;
    long answers_ = 0;
    Clock::time_point firstAnswerAt_, lastAnswerAt_;
    std::array<uint8_t, 256> tags_{};
    std::map<uint16_t, Out> out_;
    bench::AnswerReader answers_reader_;
    Bytes flood_;
    size_t at_ = 0;
    size_t flooded_ = 0;
};

// A UDP tool on 127.0.0.1, or on the loopback address `at` (network order).
std::unique_ptr<Tool> udpTool(in_addr_t at = htonl(INADDR_LOOPBACK))
{
    const int fd = bench::udpSocket(0, at);
    ::fcntl(fd, F_SETFL, O_NONBLOCK);
    return std::make_unique<Tool>(Tool::Udp, fd);
}

// A TCP tool, connected from the loopback address `from` when one is given.
std::unique_ptr<Tool> tcpTool(in_addr_t from = htonl(INADDR_ANY))
{
    return std::make_unique<Tool>(Tool::Tcp, tcpConnection(from));
}

// Something a tool sends whenever `due` says so.
struct Sender {
    std::function<bool(Clock::time_point)> due;
    std::function<void()> send;
};

Sender every(Clock::duration period, std::function<void()> send)
{
    auto next = std::make_shared<Clock::time_point>(Clock::now());
    return {[next, period](Clock::time_point now) {
                if (now < *next)
                    return false;
                *next += period;
                return true;
            },
            std::move(send)};
}

Sender every(int ms, std::function<void()> send) { return every(milliseconds(ms), std::move(send)); }

// s, up to the given time.
Sender until(Clock::time_point end, Sender s)
{
    return {[end, due = std::move(s.due)](Clock::time_point now) { return now < end && due(now); }, std::move(s.send)};
}

// Sends whenever fewer than `most` of the requests of series s the tool
// wrote in the last `ms` are waiting for an answer (most 1: one at a
// time, the next after the answer or after ms without one). The tool's
// other requests do not count.
Sender inFlight(Tool& t, const Request& r, Series* s, int ms, int most = 1)
{
    return {[&t, s, ms, most](Clock::time_point) { return t.waiting(milliseconds(ms), {s}) < most; },
            [&t, r, s] { t.ask(r, s); }};
}

// One at a time as inFlight, the requests in turn.
Sender inTurn(Tool& t, std::vector<std::pair<Request, Series*>> requests, int ms)
{
    auto next = std::make_shared<size_t>(0);
    std::vector<const Series*> of;
    for (const auto& r : requests)
        of.push_back(r.second);
    return {[&t, of, ms](Clock::time_point) { return t.waiting(milliseconds(ms), of) < 1; },
            [&t, requests, next] {
                const auto& [r, s] = requests[(*next)++ % requests.size()];
                t.ask(r, s);
            }};
}

// A TCP tool connected again whenever the program closed it: how often,
// and the local ports it had (they name it in the program's log).
struct Reconnects {
    int count = 0;
    std::vector<uint16_t> ports;
};

Sender reconnecting(Tool& t, Reconnects& r)
{
    r.ports.push_back(bench::portOf(t.fd()));
    return {[&t](Clock::time_point) { return t.closed(); },
            [&t, &r] {
                t.reconnect();
                ++r.count;
                if (t.ok())
                    r.ports.push_back(bench::portOf(t.fd()));
            }};
}

// Sends what is due, writes the floods and reads every answer, for the
// given time or until `done` holds.
void run(const std::vector<Tool*>& tools, std::vector<Sender> senders, milliseconds time,
         const std::function<bool()>& done = {})
{
    const auto end = Clock::now() + time;
    for (auto now = Clock::now(); now < end && !(done && done()); now = Clock::now()) {
        for (Sender& s : senders)
            if (s.due(now))
                s.send();
        std::vector<pollfd> fds;
        std::vector<Tool*> polled;
        for (Tool* t : tools)
            if (t->ok()) {
                fds.push_back(pollfd{t->fd(), short(POLLIN | (t->flooding() ? POLLOUT : 0)), 0});
                polled.push_back(t);
            }
        if (::poll(fds.data(), fds.size(), 1) <= 0)
            continue;
        for (size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].revents & POLLOUT)
                polled[i]->writeFlood();
            if (fds[i].revents & (POLLIN | POLLHUP | POLLERR))
                polled[i]->read();
        }
    }
}

// A scenario's length: KEL_BENCH_SECONDS (10).
int scenarioSeconds()
{
    return qEnvironmentVariableIsSet("KEL_BENCH_SECONDS") ? qEnvironmentVariableIntValue("KEL_BENCH_SECONDS") : 10;
}

// The tools ask for all but the last second, which is left for the last
// answers (each request gets its 1 s).
int askSeconds() { return std::max(1, scenarioSeconds() - 1); }

// `asked` runs between the asking and the last second.
void askThenDrain(const std::vector<Tool*>& tools, std::vector<Sender> senders,
                  const std::function<void()>& asked = {})
{
    run(tools, std::move(senders), milliseconds(askSeconds() * 1000));
    if (asked)
        asked();
    run(tools, {}, milliseconds(1000));
}

// TCP clients that each connect, write `bytes` in one write and close, one
// every period until stopped, on a thread of their own: a connection the
// program is slow to accept holds up that thread, not the tools' loop.
class Churn {
public:
    Churn(Bytes bytes, Clock::duration period)
        : thread_([this, bytes = std::move(bytes), period] {
            for (auto next = Clock::now(); !stop_; next += period) {
                std::this_thread::sleep_until(next);
                const int fd = bench::connectTcp(kTcpPort);
                if (fd < 0) {
                    ++refused_;
                    continue;
                }
                if (::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size()))
                    ++sent_;
                ::close(fd);
            }
        })
    {
    }
    ~Churn() { stop(); }
    Churn(const Churn&) = delete;
    Churn& operator=(const Churn&) = delete;
    void stop()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    int sent() const { return sent_; }
    int refused() const { return refused_; }

private:
    std::atomic<bool> stop_{false};
    std::atomic<int> sent_{0}, refused_{0};
    std::thread thread_;   // last: starts once the counters are there
};

// The lines of the program's output that contain `text`.
std::vector<std::string> linesWith(const QByteArray& output, const std::string& text)
{
    std::vector<std::string> found;
    for (const QByteArray& line : output.split('\n'))
        if (line.contains(text.c_str()))
            found.push_back(line.toStdString());
    return found;
}

// Whether a line of the program's log names the sender on local port p
// (its key: 127.0.0.1:p, or the address given).
bool names(const std::string& line, uint16_t p, const std::string& address = "127.0.0.1")
{
    const std::string key = address + ":" + std::to_string(p);
    for (size_t at = line.find(key); at != std::string::npos; at = line.find(key, at + 1))
        if (at + key.size() == line.size() || !std::isdigit(static_cast<unsigned char>(line[at + key.size()])))
            return true;
    return false;
}

bool namesAny(const std::string& line, const std::vector<uint16_t>& ports)
{
    return std::any_of(ports.begin(), ports.end(), [&](uint16_t p) { return names(line, p); });
}

// The program's "N TCP clients connected, closing <key> (<why>; ...)" lines.
const std::string kSlotsFull = "TCP clients connected, closing";

// The program on a board with cards on ports 0 and 1, or none; ready when
// FPGA 0 runs (and the cards answer).
class Board {
public:
    explicit Board(bool cards)
        : program_(std::make_unique<bench::SimProgram>(ini(cards)))
        , cards_(cards)
    {
    }
    // The program stopped and a new one started on a fresh board of the
    // same kind (for scenarios that run several times, each on a program
    // of its own); ready() again before use.
    void restart()
    {
        program_->stop();
        serial_.reset();
        program_.reset();   // its root removed first
        program_ = std::make_unique<bench::SimProgram>(ini(cards_));
    }
    bool ready()
    {
        if (!program_->started())
            return false;
        if (cards_) {
            if (!bench::waitForCards(udpTool()->fd(), kUdpPort))
                return false;
        } else {
            for (const auto giveUp = Clock::now() + std::chrono::seconds(90); !lit();
                 std::this_thread::sleep_for(milliseconds(100)))
                if (Clock::now() > giveUp)
                    return false;
        }
        // One serial tool for the program's life: closing the pseudo-terminal
        // would leave the program's side without a peer.
        if (!serial_) {
            const int fd = ::open(QFile::encodeName(program_->root() + "/sim/ttyS2").constData(),
                                  O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
            termios t{};
            ::tcgetattr(fd, &t);
            ::cfmakeraw(&t);
            ::tcsetattr(fd, TCSANOW, &t);
            serial_ = std::make_unique<Tool>(Tool::Serial, fd);
        }
        serial_->forget();
        return serial_->ok();
    }
    Tool& serial() { return *serial_; }
    QByteArray output() const { return program_->output(); }
    ~Board() { program_->stop(); }

private:
    static QByteArray ini(bool cards) { return cards ? "[cards]\nport0=3\nport1=2\n" : ""; }
    bool lit() const
    {
        QFile f(program_->root() + "/sim/state.json");
        return f.open(QIODevice::ReadOnly)
            && QJsonDocument::fromJson(f.readAll()).object().value("fpga0").toObject().value("lit").toBool();
    }
    std::unique_ptr<bench::SimProgram> program_;
    bool cards_;
    std::unique_ptr<Tool> serial_;   // closed after the program stopped
};

// ---- the scenarios ----

void udpSilent(Board&)
{
    auto a = udpTool(), b = udpTool(), c = tcpTool();
    Series silent, info, bReads, cReads;
    askThenDrain({a.get(), b.get(), c.get()},
        {every(5, [&] { a->ask(kSilentRead, &silent); }), every(50, [&] { b->ask(kDeviceInfo, &info); }),
         every(200, [&] { b->ask(kCardRead, &bReads); }), every(200, [&] { c->ask(kCardRead, &cReads); })});
    std::printf("udp-silent: UDP tool A asked port 5 (no cards) every 5 ms for %d s (%d reads)\n", askSeconds(),
                silent.sent);
    info.printInfo("UDP tool B 0xDF");
    bReads.printReads("UDP tool B card reads, port 0");
    cReads.printReads("TCP tool C card reads, port 0");
}

// As udp-silent, but the silent reads go to a card beyond port 0's chain,
// the port the others read: their reads wait for the silent ones, so they
// ask one at a time.
void udpSilentSamePort(Board&)
{
    auto a = udpTool(), b = udpTool(), c = tcpTool();
    Series silent, info, bReads, cReads;
    askThenDrain({a.get(), b.get(), c.get()},
        {every(5, [&] { a->ask(kBeyondChainRead, &silent); }), every(50, [&] { b->ask(kDeviceInfo, &info); }),
         inFlight(*b, kCardRead, &bReads, 1000), inFlight(*c, kCardRead, &cReads, 1000)});
    std::printf("udp-silent-same-port: UDP tool A asked card 9 of port 0 (beyond the chain) every 5 ms for %d s "
                "(%d reads)\n",
                askSeconds(), silent.sent);
    info.printInfo("UDP tool B 0xDF");
    bReads.printReads("UDP tool B card reads, port 0, one at a time");
    cReads.printReads("TCP tool C card reads, port 0, one at a time");
}

void tcpSilent(Board&)
{
    auto a = tcpTool(), b = tcpTool();
    Series silent, reads;
    askThenDrain({a.get(), b.get()},
                 {inFlight(*a, kSilentRead, &silent, 500, 4), every(100, [&] { b->ask(kCardRead, &reads); })});
    std::printf("tcp-silent: TCP client A kept 4 reads of port 5 (no cards) out for %d s (%d reads)\n",
                askSeconds(), silent.sent);
    reads.printReads("TCP client B card reads, port 0, every 100 ms");
}

void allPortsEmpty(Board&)
{
    auto t = tcpTool();
    Series info, all;
    for (int i = 0; i < 10; ++i) {
        t->ask(kAllPortsRead, &all);
        t->ask(kDeviceInfo, &info);
    }
    // All written at once: each 0xDF answer's round trip is its time from
    // the start.
    run({t.get()}, {}, milliseconds(15000), [&] { return info.ms.size() == 10; });
    std::vector<double> at = info.ms;
    std::sort(at.begin(), at.end());
    double gap = at.empty() ? 0 : at.front();
    for (size_t i = 1; i < at.size(); ++i)
        gap = std::max(gap, at[i] - at[i - 1]);
    std::printf("allports-empty: 10 requests for all ports (no port has counted cards), each followed by 0xDF, "
                "written at once on one TCP connection\n  0xDF answered %zu of 10; largest gap between answers (the "
                "first from the start) %.1f ms; last answer after %.1f ms; all-ports answers %zu\n",
                at.size(), gap, at.empty() ? 0.0 : at.back(), all.ms.size());
}

void waitedLatency(Board& board)
{
    Tool& serial = board.serial();
    auto f1 = tcpTool(), f2 = tcpTool(), u = udpTool();
    f1->flood(kCardRead, 16);
    f2->flood(kCardRead, 16);
    Series udp, ser;
    const std::vector<Tool*> tools{f1.get(), f2.get(), u.get(), &serial};
    askThenDrain(tools, {every(50, [&] { u->ask(kCardRead, &udp); }), every(50, [&] { serial.ask(kCardRead, &ser); })});
    std::printf("waited-latency: two TCP clients flooding card reads on port 0 for %d s (%ld answers)\n",
                askSeconds(), f1->answers() + f2->answers());
    udp.printReads("UDP tool card reads every 50 ms");
    ser.printReads("serial link card reads every 50 ms");
}

// One run of tcp-not-silent. True when a live client was closed while a
// slot was held by a client that had closed: before the ninth connected
// (the eight live ones fit the slots), or more than one.
bool tcpNotSilentOnce(Board& board)
{
    const qsizetype mark = board.output().size();
    std::vector<std::unique_ptr<Tool>> clients;
    std::vector<Tool*> tools;
    std::vector<Sender> senders;
    // Connects and asks 0xDF twice; back once both answers came (1 s at most).
    auto join = [&] {
        clients.push_back(tcpTool());
        tools.push_back(clients.back().get());
        Series s;
        tools.back()->ask(kDeviceInfo, &s);
        tools.back()->ask(kDeviceInfo, &s);
        run(tools, senders, milliseconds(1000), [&] { return s.ms.size() == 2; });
        return tools.back();
    };
    for (int i = 0; i < kTcpSlots - 1; ++i)
        join();
    Tool* t = join();
    for (int i = 0; i < 6; ++i)
        t->ask(kSilentRead);
    Series before, after;
    Series* infos = &before;
    senders.push_back(every(100, [&] { t->ask(kDeviceInfo, infos); }));
    run(tools, senders, milliseconds(1000));
    const auto ninthAt = Clock::now();
    const size_t answeredBefore = before.ms.size();
    infos = &after;
    Tool* ninth = join();
    run(tools, senders, milliseconds(5000) - std::chrono::duration_cast<milliseconds>(Clock::now() - ninthAt));
    std::printf("tcp-not-silent: 7 clients and tool T (two 0xDF each), T then 6 reads of port 5 (no cards) and 0xDF "
                "every 100 ms; a ninth client after 1 s\n  closed:");
    int closed = 0;
    for (size_t i = 0; i < tools.size(); ++i)
        if (tools[i]->closed()) {
            ++closed;
            const std::string name = tools[i] == t       ? "T"
                                     : tools[i] == ninth ? "ninth"
                                                         : "client " + std::to_string(i + 1);
            const double ms = std::chrono::duration<double, std::milli>(tools[i]->closedAt() - ninthAt).count();
            std::printf(" %s (%.0f ms %s the ninth connected)", name.c_str(), std::abs(ms),
                        ms < 0 ? "before" : "after");
        }
    std::printf("%s; T %s\n", closed ? "" : " none", t->closed() ? "was closed" : "stayed open");
    std::printf("  T's 0xDF in the 5 s after the ninth connected: %zu answers came (%zu to the %d asked before it, %zu "
                "to the %d asked after, %d of those within 1 s)\n",
                before.ms.size() - answeredBefore + after.ms.size(), before.ms.size() - answeredBefore, before.sent,
                after.ms.size(), after.sent, after.within(1000));
    const int closedEarly = int(std::count_if(tools.begin(), tools.end(), [&](const Tool* c) {
        return c->closed() && c->closedAt() < ninthAt;
    }));
    std::vector<uint16_t> live;
    for (const Tool* c : tools)
        live.push_back(bench::portOf(c->fd()));
    const std::vector<std::string> full = linesWith(board.output().mid(mark), kSlotsFull);
    const auto ofLive =
        std::count_if(full.begin(), full.end(), [&](const std::string& l) { return namesAny(l, live); });
    std::printf("  live clients closed before the ninth connected: %d; \"%s\" lines in the program's log: %ld of "
                "this run's clients, %ld of connections closed before it\n",
                closedEarly, kSlotsFull.c_str(), long(ofLive), long(full.size()) - long(ofLive));
    return closedEarly > 0 || closed > 1;
}

// KEL_BENCH_REPEAT runs (1).
void tcpNotSilent(Board& board)
{
    const int runs = std::max(1, qEnvironmentVariableIntValue("KEL_BENCH_REPEAT"));
    int hit = 0;
    for (int i = 0; i < runs; ++i)
        hit += tcpNotSilentOnce(board);
    if (runs > 1)
        std::printf("tcp-not-silent: in %d of %d runs a live client was closed while a slot was held by a client that "
                    "had closed\n",
                    hit, runs);
}

void share(Board& board)
{
    Tool& serial = board.serial();
    auto c = tcpTool(), u = udpTool();
    Series tcp, udp, ser;
    run({c.get(), u.get(), &serial},
        {inFlight(*c, kCardRead, &tcp, 1000), inFlight(*u, kCardRead, &udp, 1000),
         inFlight(serial, kCardRead, &ser, 1000)},
        milliseconds(scenarioSeconds() * 1000));
    std::printf("share: card reads on port 0 one at a time for %d s, answered: TCP client %zu, UDP tool %zu, serial "
                "link %zu\n",
                scenarioSeconds(), tcp.ms.size(), udp.ms.size(), ser.ms.size());
}

// The period of the silent reads from new senders: KEL_BENCH_NEW_SOCKET_MS
// (400).
int newSenderMs()
{
    return qEnvironmentVariableIsSet("KEL_BENCH_NEW_SOCKET_MS")
             ? std::max(1, qEnvironmentVariableIntValue("KEL_BENCH_NEW_SOCKET_MS"))
             : 400;
}

// UDP tool B and TCP tool C each read port 0 one at a time (the next once
// the answer came, or after 2 s), B asks 0xDF every 200 ms too; C connects
// again when the program closes it.
struct ReadsBeside {
    Series info, b, c;
    Reconnects cAgain;
    void print() const
    {
        b.printReads("UDP tool B card reads, port 0, one at a time");
        c.printReads("TCP tool C card reads, port 0, one at a time");
        info.printInfo("UDP tool B 0xDF every 200 ms");
        std::printf("  TCP tool C closed by the program: %d times\n", cAgain.count);
    }
};

// Runs B and C beside `silent`; `asked` runs when the asking ends.
void readsBeside(ReadsBeside& r, std::vector<Sender> silent, const std::function<void()>& asked = {})
{
    auto b = udpTool(), c = tcpTool();
    silent.push_back(reconnecting(*c, r.cAgain));
    silent.push_back(every(200, [&] { b->ask(kDeviceInfo, &r.info); }));
    silent.push_back(inFlight(*b, kCardRead, &r.b, 2000));
    silent.push_back(inFlight(*c, kCardRead, &r.c, 2000));
    askThenDrain({b.get(), c.get()}, std::move(silent), asked);
}

void udpNewSocket(Board&)
{
    Series silent;
    ReadsBeside r;
    readsBeside(r, {every(newSenderMs(), [&] { udpTool()->ask(kSilentPort0Read, &silent); })});
    std::printf("udp-new-socket: a silent read of port 0 (card 7, beyond the chain) from a new UDP socket every %d ms "
                "for %d s (%d reads)\n",
                newSenderMs(), askSeconds(), silent.sent);
    r.print();
}

void tcpNewConnection(Board&)
{
    Churn churn(kSilentPort0Read.make(1), milliseconds(newSenderMs()));
    ReadsBeside r;
    readsBeside(r, {}, [&] { churn.stop(); });
    std::printf("tcp-new-connection: a TCP client connected, sent a silent read of port 0 (card 7, beyond the chain) "
                "and closed every %d ms for %d s (%d clients; %d connections refused)\n",
                newSenderMs(), askSeconds(), churn.sent(), churn.refused());
    r.print();
}

void twoPorts(Board&)
{
    auto u = udpTool(), t = tcpTool(), s = tcpTool();
    Series silent, u0, u1, t0, t1;
    askThenDrain({u.get(), t.get(), s.get()},
                 {inFlight(*s, kSilentPort0Read, &silent, 500, 4),
                  inTurn(*u, {{kCardRead, &u0}, {kPort1Read, &u1}}, 2000),
                  inTurn(*t, {{kCardRead, &t0}, {kPort1Read, &t1}}, 2000)});
    std::printf("two-ports: TCP client S kept 4 silent reads of port 0 out (each counted out for 0.5 s) for %d s (%d "
                "reads); a UDP and a TCP tool read port 0 and port 1 in turn, one at a time\n",
                askSeconds(), silent.sent);
    u0.printReads("UDP tool, port 0");
    u1.printReads("UDP tool, port 1");
    t0.printReads("TCP tool, port 0");
    t1.printReads("TCP tool, port 1");
}

// A TCP client that writes in one write a silent read of port 0, 5 reads
// of port 0 (tags of their own) and a 0xDF, then shuts its sending side.
struct HalfClosed {
    std::unique_ptr<Tool> t = tcpTool();
    Series reads, info;
    Clock::time_point start;

    HalfClosed()
    {
        std::vector<std::pair<const Request*, Series*>> all{{&kSilentPort0Read, nullptr}};
        for (int k = 0; k < 5; ++k)
            all.emplace_back(&kCardRead, &reads);
        all.emplace_back(&kDeviceInfo, &info);
        start = Clock::now();
        t->askTogether(all);
        ::shutdown(t->fd(), SHUT_WR);
    }
    HalfClosed(const HalfClosed&) = delete;
    HalfClosed& operator=(const HalfClosed&) = delete;

    // "closed by the program after ... ms" or "still open after <s> s".
    void printClosed(int s) const
    {
        if (t->closed())
            std::printf("closed by the program after %.1f ms\n", msSince(start, t->closedAt()));
        else
            std::printf("still open after %d s\n", s);
    }
};

void halfClose(Board&)
{
    std::printf("half-close: five times, a TCP client wrote a silent read of port 0, 5 reads of port 0 and a 0xDF at "
                "once, shut down its sending side and read for 5 s or until closed\n");
    for (int i = 1; i <= 5; ++i) {
        HalfClosed h;
        run({h.t.get()}, {}, milliseconds(5000), [&] { return h.t->closed(); });
        std::printf("  %d: %zu of 5 card answers (the last after %s ms), 0xDF %s (after %s ms); ", i, h.reads.ms.size(),
                    h.reads.at(1).c_str(), h.info.ms.empty() ? "not answered" : "answered", h.info.at(1).c_str());
        h.printClosed(5);
    }
}

void tcpChurn(Board& board)
{
    const qsizetype mark = board.output().size();
    constexpr int kPerSecond = 300;
    auto b = tcpTool(), d = tcpTool();
    Series reads, info;
    Reconnects bAgain, dAgain;
    Churn churn(together(kSilentPort0Read, 5, 1), std::chrono::microseconds(1000000 / kPerSecond));
    askThenDrain({b.get(), d.get()},
                 {reconnecting(*b, bAgain), reconnecting(*d, dAgain), inFlight(*b, kCardRead, &reads, 2000),
                  every(100, [&] { d->ask(kDeviceInfo, &info); })},
                 [&] { churn.stop(); });
    std::printf("tcp-churn: %d TCP clients (aiming at %d a second) connected, wrote 5 silent reads of port 0 and "
                "closed over %d s; %d connections refused\n",
                churn.sent(), kPerSecond, askSeconds(), churn.refused());
    reads.printReads("TCP tool B card reads, port 0, one at a time", 2000);
    info.printInfo("TCP tool D 0xDF every 100 ms");
    std::printf("  closed by the program: B %d times, D %d times\n", bAgain.count, dAgain.count);
    std::map<std::string, int> why;
    int ofBD = 0;
    const std::vector<std::string> full = linesWith(board.output().mid(mark), kSlotsFull);
    for (const std::string& l : full) {
        const size_t open = l.rfind('(');
        ++why[open == std::string::npos ? l : l.substr(open + 1, l.size() - open - 2)];
        ofBD += namesAny(l, bAgain.ports) || namesAny(l, dAgain.ports);
    }
    std::printf("  \"%s\" lines in the program's log: %zu", kSlotsFull.c_str(), full.size());
    for (const auto& [reason, n] : why)
        std::printf("; %s: %d", reason.c_str(), n);
    std::printf("; naming B or D: %d\n", ofBD);
}

void udpBound(Board& board)
{
    constexpr int kSenders = 33;
    const qsizetype mark = board.output().size();
    auto holder = udpTool();
    holder->ask(kSilentPort0Read);
    std::this_thread::sleep_for(milliseconds(20));
    std::vector<std::unique_ptr<Tool>> senders;
    std::vector<Tool*> tools;
    std::vector<uint16_t> ports;
    std::vector<Series> infos(kSenders);
    for (int i = 0; i < kSenders; ++i) {
        senders.push_back(udpTool());
        tools.push_back(senders.back().get());
        ports.push_back(bench::portOf(senders.back()->fd()));
    }
    for (int i = 0; i < kSenders; ++i) {
        senders[size_t(i)]->ask(kSilentPort0Read);
        senders[size_t(i)]->ask(kDeviceInfo, &infos[size_t(i)]);
    }
    // Each kept read holds the port 0.5 s before the next sender's turn.
    run(tools, {}, milliseconds(25000), [&] {
        return std::all_of(infos.begin(), infos.end(), [](const Series& i) { return !i.ms.empty(); });
    });
    const auto answered = std::count_if(infos.begin(), infos.end(), [](const Series& i) { return !i.ms.empty(); });
    std::printf("udp-bound: while a silent read held port 0, %d UDP senders each sent a silent read of port 0 and a "
                "0xDF\n  0xDF answered for %ld of %d; seconds to it, in the order they sent:",
                kSenders, long(answered), kSenders);
    std::string early, others;
    for (int i = 0; i < kSenders; ++i) {
        const Series& s = infos[size_t(i)];
        if (s.ms.empty())
            std::printf(" -");
        else
            std::printf(" %.1f", s.ms[0] / 1000);
        if (!s.ms.empty() && s.ms[0] < 400)
            early += " #" + std::to_string(i + 1);
        if (senders[size_t(i)]->answers() > long(s.ms.size()))
            others += " #" + std::to_string(i + 1);
    }
    std::printf("\n  senders whose 0xDF came within 0.4 s (their read found no place to wait):%s; senders with other "
                "answers:%s\n",
                early.empty() ? " none" : early.c_str(), others.empty() ? " none" : others.c_str());
    std::vector<std::string> named;
    for (const std::string& l : linesWith(board.output().mid(mark), "127.0.0.1:"))
        if (namesAny(l, ports))
            named.push_back(l);
    std::printf("  program log lines naming a sender: %zu\n", named.size());
    for (size_t i = 0; i < std::min<size_t>(named.size(), 5); ++i)
        std::printf("    %s\n", named[i].c_str());
}

// ---- several programs in turn, a second PC, bursts and batches ----

// Whether the bench runs in a network of its own (PrivateNetwork::enter):
// only there may 127.0.0.2 stand for a second PC.
bool g_ownNetwork = false;

// The board's program replaced by a fresh one; false, with a line on
// standard error, when it does not start or no card answers.
bool fresh(Board& board, const char* scenario)
{
    board.restart();
    if (board.ready())
        return true;
    std::fprintf(stderr, "%s: the program did not start, or no card answered within 90 s\n", scenario);
    return false;
}

// When each answer of s came, in ms from t ("none" when none came).
std::string arrivals(const Series& s, Clock::time_point t)
{
    if (s.came.empty())
        return "none";
    std::string all;
    for (const Clock::time_point c : s.came) {
        char text[32];
        std::snprintf(text, sizeof text, "%s%.1f", all.empty() ? "" : ", ", msSince(t, c));
        all += text;
    }
    return all;
}

// "after <ms> ms" from t to the first answer of s, or "none within <s> s".
std::string firstAnswer(const Series& s, Clock::time_point t, double seconds)
{
    char text[48];
    if (s.came.empty())
        std::snprintf(text, sizeof text, "none within %g s", seconds);
    else
        std::snprintf(text, sizeof text, "after %s ms", s.firstAfter(t).c_str());
    return text;
}

// Bytes of `count` frames of r, tags as a flood's.
size_t frameBytes(const Request& r, int count) { return together(r, count, 0x80).size(); }

// A TCP client of the half-closed kind, H, 1.5 s after the tools and
// senders beside it started; H reads until the program closes it or 8 s
// passed, the others go on meanwhile.
void halfClosedBeside(const char* beside, std::vector<Tool*> tools, std::vector<Sender> senders)
{
    run(tools, senders, milliseconds(1500));
    HalfClosed h;
    tools.push_back(h.t.get());
    run(tools, std::move(senders), milliseconds(8000), [&] { return h.t->closed(); });
    std::printf("  beside %s:\n    H's card answers within 5 s: %d of 5 (%zu in all), ms after the write: %s\n    H's "
                "0xDF %s; H ",
                beside, h.reads.within(5000), h.reads.ms.size(), arrivals(h.reads, h.start).c_str(),
                h.info.ms.empty() ? "not answered" : ("answered after " + h.info.at(1) + " ms").c_str());
    h.printClosed(8);
}

void halfCloseBeside(Board& board)
{
    std::printf("half-close-beside: TCP client H wrote a silent read of port 0, 5 reads of port 0 and a 0xDF at once, "
                "shut down its sending side and read for 8 s or until closed, 1.5 s after a tool beside it started "
                "(a program of its own each)\n");
    {
        auto u = udpTool();
        halfClosedBeside("(a) a UDP tool sending a silent read of port 0 every 0.5 s", {u.get()},
                         {every(500, [&] { u->ask(kSilentPort0Read); })});
    }
    if (!fresh(board, "half-close-beside"))
        return;
    {
        auto f = tcpTool();
        f->flood(kSilentPort0Read, 16);
        halfClosedBeside("(b) a TCP tool keeping silent reads of port 0 queued back to back", {f.get()}, {});
    }
    if (!fresh(board, "half-close-beside"))
        return;
    halfClosedBeside("(c) a silent read of port 0 from a new UDP socket every 0.4 s", {},
                     {every(400, [] { udpTool()->ask(kSilentPort0Read); })});
}

// UDP tool U reads port 0 one at a time (the next after the answer or 1 s)
// while a TCP client writes silent reads of port 0 and closes: 20 in one
// write, or (`flood`) as many as its socket takes for 2 s. U's reads
// started from 2 s after the close on, for askSeconds(), are counted.
void closedFloodOnce(bool flood)
{
    auto u = udpTool();
    Series early, late;
    auto cut = Clock::time_point::max();
    const Sender reader{[&](Clock::time_point) { return u->waiting(milliseconds(1000), {&early, &late}) < 1; },
                        [&] { u->ask(kCardRead, Clock::now() >= cut ? &late : &early); }};
    auto c = tcpTool();
    size_t wrote = 20;
    if (flood) {
        c->flood(kSilentPort0Read, 16);
        run({u.get(), c.get()}, {reader}, milliseconds(2000));
        wrote = c->flooded() * 16 / frameBytes(kSilentPort0Read, 16);
    } else {
        c->send(together(kSilentPort0Read, 20, 1));
    }
    c.reset();
    const auto closedAt = Clock::now();
    cut = closedAt + milliseconds(2000);
    const auto end = cut + std::chrono::seconds(askSeconds());
    run({u.get()}, {until(end, reader)}, std::chrono::duration_cast<milliseconds>(end - Clock::now()));
    run({u.get()}, {}, milliseconds(1000));
    std::printf("  %s (%zu reads), then closed; UDP tool U's reads of port 0 before 2 s after the close: %d (%zu "
                "answered)\n    U's reads started from 2 s after the close on, for %d s: %d (%zu answered), %d within "
                "20 ms; round trip p50 %s, p90 %s, max %s ms\n",
                flood ? "the client wrote silent reads of port 0 for 2 s, as many as its socket took"
                      : "the client wrote 20 silent reads of port 0 in one write",
                wrote, early.sent, early.ms.size(), askSeconds(), late.sent, late.ms.size(), late.within(20),
                late.at(0.5).c_str(), late.at(0.9).c_str(), late.at(1).c_str());
}

void closedFlood(Board& board)
{
    std::printf("closed-flood: a TCP client writes silent reads of port 0 and closes while UDP tool U reads port 0 one "
                "at a time (the next after the answer or 1 s); a program of its own each run\n");
    closedFloodOnce(false);
    if (fresh(board, "closed-flood"))
        closedFloodOnce(true);
}

// The numbers of batch tools: KEL_BENCH_BATCH_TOOLS (comma separated; 8
// and 16).
std::vector<int> batchTools()
{
    std::vector<int> n;
    for (const QString& v : qEnvironmentVariable("KEL_BENCH_BATCH_TOOLS", "8,16").split(',', Qt::SkipEmptyParts))
        if (v.toInt() > 0)
            n.push_back(v.toInt());
    return n;
}

// Datagrams the kernel dropped for a full receive buffer, in the bench's
// network (the machine's when it has none of its own); -1 when unknown.
long udpReceiveDrops()
{
    QFile f("/proc/net/snmp");
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    QList<QByteArray> names;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (!line.startsWith("Udp:"))
            continue;
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (names.isEmpty()) {
            names = fields;
            continue;
        }
        const auto at = names.indexOf("RcvbufErrors");
        return at > 0 && at < fields.size() ? fields[at].toLong() : -1;
    }
    return -1;
}

// Bytes waiting in the receive queue of the UDP socket bound to the port,
// from /proc/net/udp (the bench's network); -1 when no socket has it.
long udpReceiveQueue(uint16_t port)
{
    QFile f("/proc/net/udp");
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray local = ":" + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    for (const QByteArray& line : f.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 4 && fields[1].endsWith(local)) {
            const QList<QByteArray> queues = fields[4].split(':');
            return queues.size() == 2 ? queues[1].toLong(nullptr, 16) : -1;
        }
    }
    return -1;
}

// Waits up to 1 s for the program to take what waits on its UDP port.
void untilUdpTaken()
{
    for (const auto giveUp = Clock::now() + milliseconds(1000); udpReceiveQueue(kUdpPort) > 0 && Clock::now() < giveUp;)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
}

void batchQueuesOnce(int n)
{
    constexpr int kReads = 2000;
    const Bytes batch = together(kSilentPort0Read, kReads, 1);
    std::vector<std::unique_ptr<Tool>> batchers;
    std::vector<Tool*> tools;
    for (int i = 0; i < n; ++i) {
        batchers.push_back(udpTool());
        tools.push_back(batchers.back().get());
    }
    const long dropsBefore = udpReceiveDrops();
    // One after another, each once the program took the last: a few of
    // these datagrams fill its socket's receive buffer.
    int sent = 0;
    for (Tool* t : tools) {
        sent += t->send(batch);
        untilUdpTaken();
    }
    run(tools, {}, milliseconds(5000));
    const long drops = udpReceiveDrops() - dropsBefore;
    auto u = udpTool(), t = tcpTool();
    Series us, ts;
    const auto asked = Clock::now();
    u->ask(kCardRead, &us);
    t->ask(kCardRead, &ts);
    tools.push_back(u.get());
    tools.push_back(t.get());
    const double fair = (n + 2) * 0.55, twice = 2 * (n + 1) * 0.55, wait = 2 * twice + 5;
    run(tools, {}, milliseconds(int(wait * 1000)), [&] { return !us.ms.empty() && !ts.ms.empty(); });
    std::printf("  N = %d: %d UDP tools each sent one datagram of %d silent reads of port 0 (%zu bytes; %d sent, one "
                "after another as the program took them; %ld dropped by the kernel for a full receive buffer)\n"
                "    5 s later, a new UDP tool's read of port 0: %s; a new TCP tool's: %s (bounds (N+2)x0.55 s = "
                "%.2f s, 2(N+1)x0.55 s = %.2f s)\n",
                n, n, kReads, batch.size(), sent, drops, firstAnswer(us, asked, wait).c_str(),
                firstAnswer(ts, asked, wait).c_str(), fair, twice);
}

void batchQueues(Board& board)
{
    std::printf("batch-queues: N UDP tools each send one datagram of silent reads of port 0; 5 s later a new UDP tool "
                "and a new TCP tool each read port 0 once (a program of its own for each N)\n");
    bool first = true;
    for (const int n : batchTools()) {
        if (!first && !fresh(board, "batch-queues"))
            return;
        first = false;
        batchQueuesOnce(n);
        std::fflush(stdout);
    }
}

void scriptBeside(Board& board)
{
    if (!g_ownNetwork) {
        std::printf("script-beside: not run: 127.0.0.2 stands for a second PC only in a network of the bench's own "
                    "(run as root, or where the kernel allows a user namespace)\n");
        return;
    }
    constexpr int kLeadMs = 8000, kSecondPcMs = 10000, kSameHostMs = 25000;
    Series script;
    std::vector<Sender> senders{every(50, [&] { udpTool()->ask(kSilentPort0Read, &script); })};
    run({}, senders, milliseconds(kLeadMs));
    const int scriptLead = script.sent;
    const in_addr_t second = htonl(INADDR_LOOPBACK + 1);   // 127.0.0.2
    auto u2 = udpTool(second), t2 = tcpTool(second);
    // Where u2's answers land when the program sends them to 127.0.0.1.
    const uint16_t u2Port = bench::portOf(u2->fd());
    const int strayFd = bench::udpSocket(u2Port);
    const bool strayBound = bench::portOf(strayFd) == u2Port;
    ::fcntl(strayFd, F_SETFL, O_NONBLOCK);
    Tool stray(Tool::Udp, strayFd);
    auto u1 = udpTool(), t1 = tcpTool();
    Series u2r, t2r, u1r, t1r;
    const auto start = Clock::now();
    const auto secondPcEnd = start + milliseconds(kSecondPcMs);
    senders.push_back(until(secondPcEnd, inFlight(*u2, kCardRead, &u2r, 1000)));
    senders.push_back(until(secondPcEnd, inFlight(*t2, kCardRead, &t2r, 1000)));
    senders.push_back(every(2000, [&] { u1->ask(kCardRead, &u1r); }));
    senders.push_back(every(2000, [&] { t1->ask(kCardRead, &t1r); }));
    const std::vector<Tool*> tools{u2.get(), t2.get(), &stray, u1.get(), t1.get()};
    const qsizetype mark = board.output().size();
    run(tools, senders, milliseconds(kSameHostMs));
    run(tools, {}, milliseconds(1000));
    // The program's lines naming each tool (a refused UDP sender is named
    // at most once a second, the latest of them).
    const QByteArray log = board.output().mid(mark);
    const auto lines = [&log](uint16_t port, const char* address) {
        const std::vector<std::string> all = linesWith(log, address);
        return long(std::count_if(all.begin(), all.end(),
                                  [&](const std::string& l) { return names(l, port, address); }));
    };
    std::printf("script-beside: a script sent a silent read of port 0 from a new UDP socket every 50 ms from 127.0.0.1 "
                "(%d in the %d s before the tools, %d in all)\n",
                scriptLead, kLeadMs / 1000, script.sent);
    std::printf("  UDP tool at 127.0.0.2, port 0 one at a time (the next after the answer or 1 s) for %d s: first "
                "answer %s; %d of %d reads answered within 1 s (%zu in all); datagrams that reached 127.0.0.1:%u "
                "instead: %s; program log lines naming it: %ld\n",
                kSecondPcMs / 1000, firstAnswer(u2r, start, kSecondPcMs / 1000 + 1).c_str(), u2r.within(1000),
                u2r.sent, u2r.ms.size(), unsigned(u2Port),
                strayBound ? std::to_string(stray.answers()).c_str() : "- (port taken)", lines(u2Port, "127.0.0.2"));
    std::printf("  TCP tool at 127.0.0.2, the same: %s; first answer %s; %d of %d reads answered within 1 s (%zu in "
                "all)%s\n",
                t2->fd() < 0 ? "connection refused" : "connected",
                firstAnswer(t2r, start, kSecondPcMs / 1000 + 1).c_str(),
                t2r.within(1000), t2r.sent, t2r.ms.size(), t2->closed() ? "; closed by the program" : "");
    std::printf("  UDP tool at 127.0.0.1 (one socket), a read of port 0 every 2 s for %d s: first answer %s (%d of %d "
                "answered); program log lines naming it: %ld\n",
                kSameHostMs / 1000, firstAnswer(u1r, start, kSameHostMs / 1000 + 1).c_str(), int(u1r.ms.size()),
                u1r.sent, lines(bench::portOf(u1->fd()), "127.0.0.1"));
    std::printf("  TCP tool at 127.0.0.1, the same: first answer %s (%d of %d answered)%s\n",
                firstAnswer(t1r, start, kSameHostMs / 1000 + 1).c_str(), int(t1r.ms.size()), t1r.sent,
                t1->closed() ? "; closed by the program" : "");
}

void newSockets300(Board&)
{
    constexpr int kPerSecond = 300, kSeconds = 30;
    auto u = udpTool(), t = tcpTool();
    Series uFirst, tFirst, us, ts;
    u->ask(kCardRead, &uFirst);
    t->ask(kCardRead, &tFirst);
    run({u.get(), t.get()}, {}, milliseconds(2000), [&] { return !uFirst.ms.empty() && !tFirst.ms.empty(); });
    int sockets = 0;
    run({u.get(), t.get()},
        {every(std::chrono::microseconds(1000000 / kPerSecond),
               [&] {
                   udpTool()->ask(kSilentPort0Read);
                   ++sockets;
               }),
         inFlight(*u, kCardRead, &us, 5000), inFlight(*t, kCardRead, &ts, 5000)},
        milliseconds(kSeconds * 1000));
    run({u.get(), t.get()}, {}, milliseconds(5000),
        [&] { return int(us.ms.size()) == us.sent && int(ts.ms.size()) == ts.sent; });
    std::printf("new-sockets-300: %d new UDP sockets (aiming at %d a second, spread evenly) each sent a silent read of "
                "port 0 over %d s; a known UDP tool and a known TCP tool (one read each before, answered after %s and "
                "%s ms) each kept one read of port 0 out (the next after the answer, or after 5 s)\n",
                sockets, kPerSecond, kSeconds, uFirst.at(1).c_str(), tFirst.at(1).c_str());
    for (const auto& [name, s] : {std::pair<const char*, const Series*>{"UDP tool", &us}, {"TCP tool", &ts}})
        std::printf("  %s: %d reads (%zu answered); max %s ms, p90 %s ms; over 1.1 s: %d (%d of them unanswered)\n",
                    name, s->sent, s->ms.size(), s->at(1).c_str(), s->at(0.9).c_str(), s->over(1100),
                    s->sent - int(s->ms.size()));
    std::printf("  TCP tool closed by the program: %s\n", t->closed() ? "yes" : "no");
}

// Who a log line of the program names, of the tools given by name and
// local port ("other" when none).
std::string namedIn(const std::string& line, const std::vector<std::pair<std::string, uint16_t>>& tools)
{
    for (const auto& [name, port] : tools)
        if (names(line, port))
            return name;
    return "other";
}

void batchReader(Board& board)
{
    constexpr int kReads = 1000, kIdle = 8;
    const qsizetype mark = board.output().size();
    auto f = tcpTool();
    f->flood(kSilentPort0Read, 16);
    run({f.get()}, {}, milliseconds(1000));
    auto r = tcpTool();
    std::vector<Tool*> tools{f.get(), r.get()};
    const Bytes batch = together(kCardRead, kReads, 1);
    const auto written = Clock::now();
    // One write, taken whole: a blocking send.
    ::fcntl(r->fd(), F_SETFL, 0);
    const bool whole = ::send(r->fd(), batch.data(), batch.size(), MSG_NOSIGNAL) == ssize_t(batch.size());
    ::fcntl(r->fd(), F_SETFL, O_NONBLOCK);
    run(tools, {}, milliseconds(1000));
    std::vector<std::unique_ptr<Tool>> idle;
    std::vector<std::pair<std::string, uint16_t>> named{{"R", bench::portOf(r->fd())}, {"F", bench::portOf(f->fd())}};
    for (int i = 0; i < kIdle; ++i) {
        idle.push_back(tcpTool());
        tools.push_back(idle.back().get());
        named.emplace_back("idle #" + std::to_string(i + 1), bench::portOf(idle.back()->fd()));
    }
    const int seconds = scenarioSeconds();
    const auto end = written + std::chrono::seconds(seconds);
    run(tools, {}, std::chrono::duration_cast<milliseconds>(end - Clock::now()));
    std::printf("batch-reader: TCP client F kept silent reads of port 0 queued back to back; 1 s later TCP tool R "
                "wrote %d reads of port 0 in one write (%zu bytes, %s) and read the answers as they came; 1 s after "
                "that %d idle TCP connections arrived; %d s from the write\n  R: ",
                kReads, batch.size(), whole ? "taken whole" : "not taken whole", kIdle, seconds);
    if (r->closed())
        std::printf("closed by the program %.1f ms after the write; ", msSince(written, r->closedAt()));
    else
        std::printf("open; ");
    if (r->answers() > 0)
        std::printf("%ld answers, the first %.1f ms and the last %.1f ms after the write\n", r->answers(),
                    msSince(written, r->firstAnswerAt()), msSince(written, r->lastAnswerAt()));
    else
        std::printf("no answer\n");
    const auto idleClosed = std::count_if(idle.begin(), idle.end(), [](const auto& t) { return t->closed(); });
    std::printf("  F %s; idle connections closed by the program: %ld of %d\n",
                f->closed() ? "closed by the program" : "open", long(idleClosed), kIdle);
    const std::vector<std::string> full = linesWith(board.output().mid(mark), kSlotsFull);
    std::printf("  \"%s\" lines in the program's log: %zu\n", kSlotsFull.c_str(), full.size());
    for (const std::string& l : full)
        std::printf("    [%s] %s\n", namedIn(l, named).c_str(), l.c_str());
}

// The numbers in a line that stand alone (not inside a word, an address
// or a port), each with the text after it up to the next punctuation.
std::vector<std::pair<long, std::string>> numbersIn(const std::string& line)
{
    std::vector<std::pair<long, std::string>> found;
    for (size_t i = 0; i < line.size();) {
        if (!std::isdigit(static_cast<unsigned char>(line[i]))) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < line.size() && std::isdigit(static_cast<unsigned char>(line[end])))
            ++end;
        const char before = i > 0 ? line[i - 1] : ' ';
        const char after = end < line.size() ? line[end] : ' ';
        if ((before == ' ' || before == '(') && after == ' ') {
            const size_t stop = line.find_first_of(",;()", end);
            found.emplace_back(std::stol(line.substr(i, end - i)),
                               line.substr(end + 1, stop == std::string::npos ? std::string::npos : stop - end - 1));
        }
        i = end;
    }
    return found;
}

// The senders a refusal line of the program counts: one when it names one
// of the ports, plus the number before each "more" ("(N more dropped since
// the last line)"); a line naming none counts the first number said to be
// dropped or refused ("54 card requests dropped").
long refusalsIn(const std::string& line, const std::vector<uint16_t>& ports)
{
    long n = namesAny(line, ports) ? 1 : 0;
    const bool named = n > 0;
    bool counted = false;
    for (const auto& [value, what] : numbersIn(line))
        if (what.rfind("more", 0) == 0) {
            n += value;
            counted = true;
        }
    if (!named && !counted)
        for (const auto& [value, what] : numbersIn(line))
            if (what.find("dropped") != std::string::npos || what.find("refused") != std::string::npos)
                return value;
    return n;
}

void udpRefusals(Board& board)
{
    constexpr int kWaiting = 32, kBurst = 55;
    const qsizetype mark = board.output().size();
    auto holder = udpTool();
    holder->ask(kSilentPort0Read);
    std::this_thread::sleep_for(milliseconds(20));
    std::vector<std::unique_ptr<Tool>> waiting, burst;
    std::vector<uint16_t> waitingPorts{bench::portOf(holder->fd())}, burstPorts;
    for (int i = 0; i < kWaiting; ++i) {
        waiting.push_back(udpTool());
        waitingPorts.push_back(bench::portOf(waiting.back()->fd()));
    }
    for (int i = 0; i < kBurst; ++i) {
        burst.push_back(udpTool());
        burstPorts.push_back(bench::portOf(burst.back()->fd()));
    }
    for (const auto& t : waiting)
        t->ask(kSilentPort0Read);
    const auto burstAt = Clock::now();
    for (const auto& t : burst)
        t->ask(kSilentPort0Read);
    const double burstMs = msSince(burstAt);
    std::this_thread::sleep_for(milliseconds(3000));
    std::vector<uint16_t> all = waitingPorts;
    all.insert(all.end(), burstPorts.begin(), burstPorts.end());
    long counted = 0;
    int namingBurst = 0, namingWaiting = 0;
    std::vector<std::string> lines;
    for (const QByteArray& l : board.output().mid(mark).split('\n')) {
        const std::string line = l.toStdString();
        if ((line.find("dropped") == std::string::npos && line.find("refused") == std::string::npos) ||
            line.find(" bytes") != std::string::npos)
            continue;
        lines.push_back(line);
        counted += refusalsIn(line, all);
        namingBurst += namesAny(line, burstPorts);
        namingWaiting += namesAny(line, waitingPorts);
    }
    std::printf("udp-refusals: while a silent read held port 0, %d UDP senders each sent a silent read of port 0 "
                "(filling the line of %d waiting), then %d new senders each one within %.1f ms, then none: %d sent "
                "beyond the bound\n  refusals the program's log counts in the 3 s after: %ld (%zu lines about "
                "dropped or refused requests; naming a sender of the burst: %d, of those waiting: %d)\n",
                kWaiting, kWaiting, kBurst, burstMs, kBurst, counted, lines.size(), namingBurst, namingWaiting);
    for (size_t i = 0; i < std::min<size_t>(lines.size(), 8); ++i)
        std::printf("    %s\n", lines[i].c_str());
}

// Where a scenario runs: a program of its own (its tools leave card
// requests queued in the program that would hold up whatever came next), a
// board without cards, or the board with cards that the others share.
enum class Setup { Own, NoCards, Shared };
struct Scenario {
    const char* name;
    void (*run)(Board& board);
    Setup setup;
};
const Scenario kScenarios[] = {{"udp-silent", udpSilent, Setup::Own},
                               {"udp-silent-same-port", udpSilentSamePort, Setup::Own},
                               {"tcp-silent", tcpSilent, Setup::Own},
                               {"allports-empty", allPortsEmpty, Setup::NoCards},
                               {"waited-latency", waitedLatency, Setup::Shared},
                               {"tcp-not-silent", tcpNotSilent, Setup::Shared},
                               {"share", share, Setup::Shared},
                               {"udp-new-socket", udpNewSocket, Setup::Own},
                               {"tcp-new-connection", tcpNewConnection, Setup::Own},
                               {"two-ports", twoPorts, Setup::Own},
                               {"half-close", halfClose, Setup::Own},
                               {"tcp-churn", tcpChurn, Setup::Own},
                               {"udp-bound", udpBound, Setup::Own},
                               {"half-close-beside", halfCloseBeside, Setup::Own},
                               {"closed-flood", closedFlood, Setup::Own},
                               {"batch-queues", batchQueues, Setup::Own},
                               {"script-beside", scriptBeside, Setup::Own},
                               {"new-sockets-300", newSockets300, Setup::Own},
                               {"batch-reader", batchReader, Setup::Own},
                               {"udp-refusals", udpRefusals, Setup::Own}};

} // namespace

int main(int argc, char** argv)
{
    // Before any thread: the program's fixed ports stay in this network.
    g_ownNetwork = kel::platform::PrivateNetwork::enter();
    QCoreApplication app(argc, argv);
    QStringList wanted = app.arguments().mid(1);
    if (wanted.isEmpty() && qEnvironmentVariableIsSet("KEL_BENCH_SCENARIO"))
        wanted = qEnvironmentVariable("KEL_BENCH_SCENARIO").split(',', Qt::SkipEmptyParts);
    for (const QString& w : wanted)
        if (std::none_of(std::begin(kScenarios), std::end(kScenarios),
                         [&](const Scenario& s) { return w == s.name; })) {
            std::fprintf(stderr, "unknown scenario %s; known:", qPrintable(w));
            for (const Scenario& s : kScenarios)
                std::fprintf(stderr, " %s", s.name);
            std::fprintf(stderr, "\n");
            return 2;
        }
    std::unique_ptr<Board> board;
    bool shared = false;   // the board may serve the next scenario
    for (const Scenario& s : kScenarios) {
        if (!wanted.isEmpty() && !wanted.contains(s.name))
            continue;
        if (!board || s.setup != Setup::Shared || !shared) {
            board.reset();
            board = std::make_unique<Board>(s.setup != Setup::NoCards);
        }
        shared = s.setup == Setup::Shared;
        if (!board->ready()) {
            std::fprintf(stderr, "%s: the program did not start, or no card answered within 90 s\n", s.name);
            return 1;
        }
        s.run(*board);
        std::fflush(stdout);
    }
    return 0;
}
