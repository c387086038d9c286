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
// Round trips are timed per request by its command and a tag of its own.
// udp-silent, udp-silent-same-port and tcp-silent each start a program of
// their own (the silent
// reads they leave queued would hold up whatever came next), allports-empty
// one on a board without cards; the last three share one. The tools of a
// timed scenario ask for all but its last second, which is left for the
// last answers. KEL_PROGRAM runs another build of the program.
#include "SimProgram.h"
#include "UdpTool.h"
#include "platform/PrivateNetwork.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <map>
#include <memory>
#include <poll.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
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
    void printReads(const char* what) const
    {
        std::printf("  %s: %d of %d answered within 1 s (%zu in all); round trip p50 %s, p90 %s, max %s ms\n", what,
                    within(1000), sent, ms.size(), at(0.5).c_str(), at(0.9).c_str(), at(1).c_str());
    }
};

struct Request {
    Bytes (*make)(uint8_t tag);
    uint8_t cmd;
};
const Request kCardRead{[](uint8_t tag) { return bench::cardRead(tag); }, 0x61};
const Request kSilentRead{[](uint8_t tag) { return bench::cardRead(tag, kSilentPort); }, 0x61};
// Card 9 of port 0, beyond its chain: nobody answers, on a port with cards.
const Request kBeyondChainRead{[](uint8_t tag) {
                                   return bench::wire({0x09, 0x00, 0x10, 0xF0, 0x10, tag, 0, 0, 0, 0x61, 0x80, 0x01,
                                                       0x00, 0x00, 0x04, 0x00, 0x00, 0x00});
                               },
                               0x61};
const Request kAllPortsRead{[](uint8_t tag) { return bench::cardRead(tag, 255, 1); }, 0x61};
const Request kDeviceInfo{[](uint8_t tag) { return bench::request(0xDF, {0}, tag); }, 0xDF};

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
    void flood(const Request& r, int count)
    {
        for (int i = 0; i < count; ++i) {
            const Bytes one = r.make(uint8_t(0x80 | i));
            flood_.insert(flood_.end(), one.begin(), one.end());
        }
    }

    void ask(const Request& r, Series* s = nullptr)
    {
        const uint8_t tag = ++tags_[r.cmd];
        const Bytes w = r.make(tag);
        sockaddr_in to = bench::loopback(kUdpPort);
        const auto* dest = reinterpret_cast<sockaddr*>(&to);
        const ssize_t n = link_ == Udp   ? ::sendto(fd_, w.data(), w.size(), 0, dest, sizeof to)
                          : link_ == Tcp ? ::send(fd_, w.data(), w.size(), MSG_NOSIGNAL)
                                         : ::write(fd_, w.data(), w.size());
        if (n < 0)
            return;
        out_[uint16_t(r.cmd << 8 | tag)] = {Clock::now(), s};
        if (s)
            ++s->sent;
    }
    // Later answers to the requests out now are not timed (their series
    // are gone); the tags go on.
    void forget() { out_.clear(); }
    // Requests written within the time whose answers have not come.
    int waiting(milliseconds within) const
    {
        const auto since = Clock::now() - within;
        return int(std::count_if(out_.begin(), out_.end(), [&](const auto& o) { return o.second.at > since; }));
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

std::unique_ptr<Tool> tcpTool()
{
    const int fd = bench::connectTcp(kTcpPort);
    if (fd >= 0)
        ::fcntl(fd, F_SETFL, O_NONBLOCK);
    return std::make_unique<Tool>(Tool::Tcp, fd);
}

// Something a tool sends whenever `due` says so.
struct Sender {
    std::function<bool(Clock::time_point)> due;
    std::function<void()> send;
};

Sender every(int ms, std::function<void()> send)
{
    auto next = std::make_shared<Clock::time_point>(Clock::now());
    return {[next, ms](Clock::time_point now) {
                if (now < *next)
                    return false;
                *next += milliseconds(ms);
                return true;
            },
            std::move(send)};
}

// Sends whenever fewer than `most` of the tool's requests of the last `ms`
// are waiting for an answer (most 1: one at a time, the next after the
// answer or after ms without one).
Sender inFlight(Tool& t, const Request& r, Series* s, int ms, int most = 1)
{
    return {[&t, ms, most](Clock::time_point) { return t.waiting(milliseconds(ms)) < most; },
            [&t, r, s] { t.ask(r, s); }};
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

void askThenDrain(const std::vector<Tool*>& tools, std::vector<Sender> senders)
{
    run(tools, std::move(senders), milliseconds(askSeconds() * 1000));
    run(tools, {}, milliseconds(1000));
}

// ---- the scenarios ----

void udpSilent(Tool&)
{
    auto a = udpTool(), b = udpTool(), c = tcpTool();
    Series silent, info, bReads, cReads;
    askThenDrain({a.get(), b.get(), c.get()},
        {every(5, [&] { a->ask(kSilentRead, &silent); }), every(50, [&] { b->ask(kDeviceInfo, &info); }),
         every(200, [&] { b->ask(kCardRead, &bReads); }), every(200, [&] { c->ask(kCardRead, &cReads); })});
    std::printf("udp-silent: UDP tool A asked port 5 (no cards) every 5 ms for %d s (%d reads)\n", askSeconds(),
                silent.sent);
    std::printf("  UDP tool B 0xDF: %d sent, %zu answered; round trip p50 %s, p99 %s, max %s ms\n", info.sent,
                info.ms.size(), info.at(0.5).c_str(), info.at(0.99).c_str(), info.at(1).c_str());
    bReads.printReads("UDP tool B card reads, port 0");
    cReads.printReads("TCP tool C card reads, port 0");
}

// As udp-silent, but the silent reads go to a card beyond port 0's chain,
// the port the others read: their reads wait for the silent ones, so they
// ask one at a time.
void udpSilentSamePort(Tool&)
{
    auto a = udpTool(), b = udpTool(), c = tcpTool();
    Series silent, info, bReads, cReads;
    askThenDrain({a.get(), b.get(), c.get()},
        {every(5, [&] { a->ask(kBeyondChainRead, &silent); }), every(50, [&] { b->ask(kDeviceInfo, &info); }),
         inFlight(*b, kCardRead, &bReads, 1000), inFlight(*c, kCardRead, &cReads, 1000)});
    std::printf("udp-silent-same-port: UDP tool A asked card 9 of port 0 (beyond the chain) every 5 ms for %d s "
                "(%d reads)\n",
                askSeconds(), silent.sent);
    std::printf("  UDP tool B 0xDF: %d sent, %zu answered; round trip p50 %s, p99 %s, max %s ms\n", info.sent,
                info.ms.size(), info.at(0.5).c_str(), info.at(0.99).c_str(), info.at(1).c_str());
    bReads.printReads("UDP tool B card reads, port 0, one at a time");
    cReads.printReads("TCP tool C card reads, port 0, one at a time");
}

void tcpSilent(Tool&)
{
    auto a = tcpTool(), b = tcpTool();
    Series silent, reads;
    askThenDrain({a.get(), b.get()},
                 {inFlight(*a, kSilentRead, &silent, 500, 4), every(100, [&] { b->ask(kCardRead, &reads); })});
    std::printf("tcp-silent: TCP client A kept 4 reads of port 5 (no cards) out for %d s (%d reads)\n",
                askSeconds(), silent.sent);
    reads.printReads("TCP client B card reads, port 0, every 100 ms");
}

void allPortsEmpty(Tool&)
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

void waitedLatency(Tool& serial)
{
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

void tcpNotSilent(Tool&)
{
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
            std::printf(" %s (%.0f ms after the ninth connected)", name.c_str(),
                        std::chrono::duration<double, std::milli>(tools[i]->closedAt() - ninthAt).count());
        }
    std::printf("%s; T %s\n", closed ? "" : " none", t->closed() ? "was closed" : "stayed open");
    std::printf("  T's 0xDF in the 5 s after the ninth connected: %zu answers came (%zu to the %d asked before it, %zu "
                "to the %d asked after, %d of those within 1 s)\n",
                before.ms.size() - answeredBefore + after.ms.size(), before.ms.size() - answeredBefore, before.sent,
                after.ms.size(), after.sent, after.within(1000));
}

void share(Tool& serial)
{
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

// Where a scenario runs: a program of its own (its tools leave card
// requests queued in the program that would hold up whatever came next), a
// board without cards, or the board with cards that the others share.
enum class Setup { Own, NoCards, Shared };
struct Scenario {
    const char* name;
    void (*run)(Tool& serial);
    Setup setup;
};
const Scenario kScenarios[] = {{"udp-silent", udpSilent, Setup::Own},
                               {"udp-silent-same-port", udpSilentSamePort, Setup::Own},
                               {"tcp-silent", tcpSilent, Setup::Own},
                               {"allports-empty", allPortsEmpty, Setup::NoCards},
                               {"waited-latency", waitedLatency, Setup::Shared},
                               {"tcp-not-silent", tcpNotSilent, Setup::Shared},
                               {"share", share, Setup::Shared}};

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
        s.run(board->serial());
        std::fflush(stdout);
    }
    return 0;
}
