// Card reads from many TCP clients at once, through the whole program on
// the simulated board (cards on output ports 0 and 1). KEL_BENCH_CLIENTS
// (8) TCP clients each send reads of card 1 on port 0 back to back (as
// many as their socket takes), with tags of their own, for
// KEL_BENCH_SECONDS (60), and read what comes back. Printed: the program's
// resident memory every 5 s; the answers of each client and how many of
// them carried another request's tag; the growth of the resident memory
// over the second half. Then a UDP tool asks 50 card reads with tags of its
// own, 0.2 s apart, and counts the answers with its tag that came within
// 0.2 s (and those with another tag).
#include "SimProgram.h"
#include "UdpTool.h"
#include "platform/PrivateNetwork.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using bench::Bytes;
using Clock = std::chrono::steady_clock;

namespace {

constexpr uint16_t kUdpPort = 5008;
constexpr uint16_t kTcpPort = 5005;
constexpr uint8_t kFloodTags = 0x80;   // flood client i: 0x80 | i << 4 | n; the UDP tool: below 0x80

long rssKiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    long value = 0;
    while (status >> key) {
        if (key == "VmRSS:") {
            status >> value;
            return value;
        }
        status.ignore(4096, '\n');
    }
    return -1;
}

struct FloodClient {
    int fd = -1;
    uint8_t id = 0;
    Bytes burst;        // 16 requests, tags 0x80 | id << 4 | 0..15
    size_t at = 0;
    bench::AnswerReader answers;
    long own = 0, foreign = 0;
};

// One pass over the clients: each writes what its socket takes and reads
// what came.
void floodPass(std::vector<std::unique_ptr<FloodClient>>& clients)
{
    std::vector<pollfd> fds;
    for (const auto& c : clients)
        fds.push_back(pollfd{c->fd, short(POLLIN | POLLOUT), 0});
    if (::poll(fds.data(), fds.size(), 5) <= 0)
        return;
    for (size_t i = 0; i < clients.size(); ++i) {
        FloodClient& c = *clients[i];
        if (fds[i].revents & POLLOUT) {
            const ssize_t w = ::send(c.fd, c.burst.data() + c.at, c.burst.size() - c.at, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (w > 0)
                c.at = (c.at + size_t(w)) % c.burst.size();
        }
        if (fds[i].revents & POLLIN) {
            uint8_t buf[65536];
            const ssize_t r = ::recv(c.fd, buf, sizeof buf, MSG_DONTWAIT);
            if (r > 0)
                c.answers.feed(buf, size_t(r), [&c](uint8_t cmd, uint8_t tag) {
                    if (cmd == 0x61)
                        (tag == (kFloodTags | c.id << 4 | (tag & 0x0F)) ? c.own : c.foreign)++;
                });
        }
    }
}

// Answers with the tool's own tag within 0.2 s, of 50 reads 0.2 s apart.
void toolAfterTheFlood(int fd)
{
    int own = 0, foreign = 0;
    sockaddr_in to = bench::loopback(kUdpPort);
    for (uint8_t tag = 1; tag <= 50; ++tag) {
        const Bytes request = bench::cardRead(tag);
        const auto start = Clock::now(), deadline = start + std::chrono::milliseconds(200);
        ::sendto(fd, request.data(), request.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        bool answered = false;
        for (auto now = start; now < deadline; now = Clock::now()) {
            pollfd p{fd, POLLIN, 0};
            const int ms = int(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count());
            if (::poll(&p, 1, std::max(ms, 1)) <= 0)
                continue;
            uint8_t buf[2048];
            const ssize_t r = ::recv(fd, buf, sizeof buf, 0);
            bench::AnswerReader answers;
            if (r > 0)
                answers.feed(buf, size_t(r), [&](uint8_t cmd, uint8_t t) {
                    if (cmd != 0x61)
                        return;
                    if (t == tag && !answered) {
                        answered = true;
                        ++own;
                    } else {
                        ++foreign;
                    }
                });
        }
        std::this_thread::sleep_until(deadline);
    }
    std::printf("UDP tool after the flood: %d of 50 reads answered with its tag within 0.2 s, %d answers with "
                "another tag\n",
                own, foreign);
}

} // namespace

int main(int argc, char** argv)
{
    // Before any thread: the program's fixed ports stay in this network.
    kel::platform::PrivateNetwork::enter();
    QCoreApplication app(argc, argv);
    const int seconds = qEnvironmentVariableIsSet("KEL_BENCH_SECONDS") ? qEnvironmentVariableIntValue("KEL_BENCH_SECONDS") : 60;
    const int count = qEnvironmentVariableIsSet("KEL_BENCH_CLIENTS") ? qEnvironmentVariableIntValue("KEL_BENCH_CLIENTS") : 8;
    bench::SimProgram program("[cards]\nport0=3\nport1=2\n");
    if (!program.started())
        return 1;
    const int udp = bench::udpSocket(0);
    if (!bench::waitForCards(udp, kUdpPort)) {
        std::fprintf(stderr, "no card answer within 90 s\n");
        return 1;
    }

    std::vector<std::unique_ptr<FloodClient>> clients;
    for (int i = 0; i < count && i < 8; ++i) {
        auto c = std::make_unique<FloodClient>();
        c->id = uint8_t(i);
        c->fd = bench::connectTcp(kTcpPort);
        if (c->fd < 0)
            return 1;
        for (uint8_t n = 0; n < 16; ++n) {
            const Bytes one = bench::cardRead(uint8_t(kFloodTags | i << 4 | n));
            c->burst.insert(c->burst.end(), one.begin(), one.end());
        }
        clients.push_back(std::move(c));
    }
    std::printf("%d TCP clients flooding card reads for %d s; resident memory (MiB):", int(clients.size()), seconds);
    const auto start = Clock::now();
    long half = 0, last = rssKiB(program.pid());
    std::printf(" %.1f", double(last) / 1024);
    for (int mark = 5; mark <= seconds; mark += 5) {
        while (Clock::now() < start + std::chrono::seconds(mark))
            floodPass(clients);
        last = rssKiB(program.pid());
        if (mark == (seconds / 2) / 5 * 5)
            half = last;
        std::printf(" %.1f", double(last) / 1024);
        std::fflush(stdout);
    }
    std::printf("\n");
    long own = 0, foreign = 0;
    for (const auto& c : clients) {
        std::printf("client %d: %ld answers with its tags, %ld with another tag\n", c->id, c->own, c->foreign);
        own += c->own;
        foreign += c->foreign;
        ::close(c->fd);
    }
    std::printf("all clients: %.0f answers/s with their own tags, %ld with another; memory in the second half "
                "%+.1f MiB\n",
                double(own) / seconds, foreign, double(last - half) / 1024);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    toolAfterTheFlood(udp);
    ::close(udp);
    program.stop();
    return 0;
}
