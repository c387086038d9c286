// Card traffic through the whole program on the simulated board: kelT57N
// runs in a fresh root with cards on output ports 0 and 1; one UDP client
// sends card requests (a 4-byte read of card 1 on port 0) as fast as the
// answers come, for 20 s (KEL_BENCH_SECONDS). Printed: answers per second,
// the median and slowest round trip, and how often the simulated board
// rewrote sim/state.json meanwhile (counted by inotify: every complete
// write ends with a rename onto the name, or a close after writing it).
#include "SimProgram.h"
#include "UdpTool.h"
#include "platform/PrivateNetwork.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using bench::Bytes;
using Clock = std::chrono::steady_clock;

namespace {

constexpr uint16_t kUdpPort = 5008;

// Milliseconds until the answer (-1: none within 1 s).
double roundTripMs(int fd, const Bytes& request)
{
    sockaddr_in to = bench::loopback(kUdpPort);
    const auto t0 = Clock::now();
    ::sendto(fd, request.data(), request.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 1000) <= 0)
        return -1;
    uint8_t buf[2048];
    if (::recv(fd, buf, sizeof buf, 0) <= 0)
        return -1;
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// Counts complete writes of state.json in the folder while run holds.
class StateWrites {
public:
    explicit StateWrites(const QString& folder)
    {
        fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        ::inotify_add_watch(fd_, QFile::encodeName(folder).constData(), IN_MOVED_TO | IN_CLOSE_WRITE);
        thread_ = std::thread([this] { watch(); });
    }
    ~StateWrites()
    {
        run_ = false;
        thread_.join();
        ::close(fd_);
    }
    int count() const { return count_; }

private:
    void watch()
    {
        alignas(inotify_event) char buf[4096];
        while (run_) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0)
                continue;
            const ssize_t n = ::read(fd_, buf, sizeof buf);
            for (ssize_t at = 0; at < n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(buf + at);
                if (e->len && QByteArray(e->name) == "state.json")
                    ++count_;
                at += ssize_t(sizeof(inotify_event) + e->len);
            }
        }
    }
    int fd_ = -1;
    std::atomic<bool> run_{true};
    std::atomic<int> count_{0};
    std::thread thread_;
};

} // namespace

int main(int argc, char** argv)
{
    // Before any thread: the program's fixed ports stay in this network.
    kel::platform::PrivateNetwork::enter();
    QCoreApplication app(argc, argv);
    const int seconds = qEnvironmentVariableIsSet("KEL_BENCH_SECONDS") ? qEnvironmentVariableIntValue("KEL_BENCH_SECONDS") : 20;
    bench::SimProgram program("[cards]\nport0=3\nport1=2\n");
    if (!program.started())
        return 1;

    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    uint8_t tag = 0;
    // Until the program has found the cards and answers for them.
    const auto giveUp = Clock::now() + std::chrono::seconds(90);
    while (roundTripMs(fd, bench::cardRead(++tag)) < 0)
        if (Clock::now() > giveUp) {
            std::fprintf(stderr, "no card answer within 90 s\n");
            return 1;
        }

    std::vector<double> trips;
    int lost = 0;
    {
        StateWrites writes(program.root() + "/sim");
        const auto end = Clock::now() + std::chrono::seconds(seconds);
        while (Clock::now() < end) {
            const double ms = roundTripMs(fd, bench::cardRead(++tag));
            if (ms < 0)
                ++lost;
            else
                trips.push_back(ms);
        }
        std::sort(trips.begin(), trips.end());
        const double median = trips.empty() ? 0 : trips[trips.size() / 2];
        const double slowest = trips.empty() ? 0 : trips.back();
        std::printf("card requests over UDP for %d s: %.0f answers/s (%d lost), round trip median %.2f ms, "
                    "slowest %.1f ms; state.json written %.1f times/s (%d)\n",
                    seconds, double(trips.size()) / seconds, lost, median, slowest, double(writes.count()) / seconds,
                    writes.count());
    }
    ::close(fd);
    program.stop();
    return 0;
}
