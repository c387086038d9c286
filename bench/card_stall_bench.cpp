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
// Round trips are timed per request by its command and a tag of its own.
// The scenarios with silent reads (all but allports-empty and the three
// that share a program) each start a program of their own (the silent
// reads they leave queued would hold up whatever came next), allports-empty
// one on a board without cards; waited-latency, tcp-not-silent and share
// share one. KEL_BENCH_REPEAT runs tcp-not-silent that many times (after
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

double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

// The round trips of one kind of request of one tool.
struct Series {
    int sent = 0;
    std::vector<double> ms;   // of the answers that came

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

// A TCP connection to the program that does not block (-1 when refused).
int tcpConnection()
{
    const int fd = bench::connectTcp(kTcpPort);
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
    bool flooding() const { return !flood_.empty(); }
    // Requests written back to back, as many as the socket takes.
    void flood(const Request& r, int count) { flood_ = together(r, count, 0x80); }

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
        sockaddr_in to = bench::loopback(kUdpPort);
        const auto* dest = reinterpret_cast<sockaddr*>(&to);
        const ssize_t n = link_ == Udp   ? ::sendto(fd_, w.data(), w.size(), 0, dest, sizeof to)
                          : link_ == Tcp ? ::send(fd_, w.data(), w.size(), MSG_NOSIGNAL)
                                         : ::write(fd_, w.data(), w.size());
        if (n < 0)
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
                ++answers_;
                const auto o = out_.find(uint16_t(cmd << 8 | tag));
                if (o == out_.end())
                    return;
                if (o->second.series)
                    o->second.series->ms.push_back(msSince(o->second.at));
                out_.erase(o);
            });
        }
    }
    void writeFlood()
    {
        const ssize_t w = ::send(fd_, flood_.data() + at_, flood_.size() - at_, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (w > 0)
            at_ = (at_ + size_t(w)) % flood_.size();
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
    std::array<uint8_t, 256> tags_{};
    std::map<uint16_t, Out> out_;
    bench::AnswerReader answers_reader_;
    Bytes flood_;
    size_t at_ = 0;
};

std::unique_ptr<Tool> udpTool()
{
    const int fd = bench::udpSocket(0);
    ::fcntl(fd, F_SETFL, O_NONBLOCK);
    return std::make_unique<Tool>(Tool::Udp, fd);
}

std::unique_ptr<Tool> tcpTool() { return std::make_unique<Tool>(Tool::Tcp, tcpConnection()); }

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
// (its key: 127.0.0.1:p).
bool names(const std::string& line, uint16_t p)
{
    const std::string key = "127.0.0.1:" + std::to_string(p);
    for (size_t at = line.find(key); at != std::string::npos; at = line.find(key, at + 1))
        if (at + key.size() == line.size() || !std::isdigit(static_cast<unsigned char>(line[at + key.size()])))
            return true;
    return false;
}

bool namesAny(const std::string& line, const std::vector<uint16_t>& ports)
{
    return std::any_of(ports.begin(), ports.end(), [&](uint16_t p) { return names(line, p); });
}

// The program's "TCP slots full, closing <key> (<why>)" lines.
const std::string kSlotsFull = "TCP slots full, closing";

// The program on a board with cards on ports 0 and 1, or none; ready when
// FPGA 0 runs (and the cards answer).
class Board {
public:
    explicit Board(bool cards)
        : program_(cards ? "[cards]\nport0=3\nport1=2\n" : "")
        , cards_(cards)
    {
    }
    bool ready()
    {
        if (!program_.started())
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
            const int fd = ::open(QFile::encodeName(program_.root() + "/sim/ttyS2").constData(),
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
    QByteArray output() const { return program_.output(); }
    ~Board() { program_.stop(); }

private:
    bool lit() const
    {
        QFile f(program_.root() + "/sim/state.json");
        return f.open(QIODevice::ReadOnly)
            && QJsonDocument::fromJson(f.readAll()).object().value("fpga0").toObject().value("lit").toBool();
    }
    bench::SimProgram program_;
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

void halfClose(Board&)
{
    std::printf("half-close: five times, a TCP client wrote a silent read of port 0, 5 reads of port 0 and a 0xDF at "
                "once, shut down its sending side and read for 5 s or until closed\n");
    for (int i = 1; i <= 5; ++i) {
        auto t = tcpTool();
        Series reads, info;
        std::vector<std::pair<const Request*, Series*>> all{{&kSilentPort0Read, nullptr}};
        for (int k = 0; k < 5; ++k)
            all.emplace_back(&kCardRead, &reads);
        all.emplace_back(&kDeviceInfo, &info);
        const auto start = Clock::now();
        t->askTogether(all);
        ::shutdown(t->fd(), SHUT_WR);
        run({t.get()}, {}, milliseconds(5000), [&] { return t->closed(); });
        std::printf("  %d: %zu of 5 card answers (the last after %s ms), 0xDF %s (after %s ms); ", i, reads.ms.size(),
                    reads.at(1).c_str(), info.ms.empty() ? "not answered" : "answered", info.at(1).c_str());
        if (t->closed())
            std::printf("closed by the program after %.1f ms\n",
                        std::chrono::duration<double, std::milli>(t->closedAt() - start).count());
        else
            std::printf("still open after 5 s\n");
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
                               {"udp-bound", udpBound, Setup::Own}};

} // namespace

int main(int argc, char** argv)
{
    // Before any thread: the program's fixed ports stay in this network.
    kel::platform::PrivateNetwork::enter();
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
