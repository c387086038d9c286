// The 10 ms tick under a stream of changes. The whole controller runs on a
// simulated board in this process; a tool thread sends N changes a second
// over the UDP link on loopback (a 0x60 write of a saved parameter, then an
// apply through register 11), each of which makes the GUI thread run a
// persisting change pass with its 100 ms pause. Printed per rate: the ticks
// G_timeTicks advanced per second of wall time and the changes actually sent.
//
// Two ways of counting, in this order:
// - "GUI timer": the 10 ms timer's slot counts one period per call, the way
//   the tick was counted before it had a thread of its own;
// - "tick thread": the program's tick thread, as the program runs now.
//
//   ./build/bench/tick_rate_bench [seconds per rate, default 10]
#include "UdpTool.h"
#include "main/AppStartup.h"
#include "params/ConfigEngine.h"
#include "params/RamLayout.h"
#include "params/global.h"
#include "platform/Board.h"
#include "protocol/ProtocolCodes.h"
#include "protocol/udpnetManage.h"
#include "ui/shell/ShellGlobals.h"
#include "ui/shell/TickThread.h"

#include <QApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <unistd.h>

using namespace bench;
using Clock = std::chrono::steady_clock;

namespace {

Bytes u32le(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }

// One change as a host tool makes it: write, then apply.
void sendChange(int fd, uint16_t to, uint16_t value)
{
    using namespace kel::protocol;
    Bytes write = u32le(RamLayout::kWindowFades + 4 * 5);   // saved, shown nowhere on the panel
    write.insert(write.end(), {2, 0, 0, 0, uint8_t(value), uint8_t(value >> 8)});
    roundTrip(fd, to, request(CMD_WRITE_RAM, write));
    roundTrip(fd, to, request(CMD_WRITE_REGISTER, {11, 0, 0xFF, 1, 0x02}));
}

// The GUI thread runs its event loop for ms milliseconds.
void runEvents(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Result {
    double ticksPerSecond;
    double changesPerSecond;
};

Result measure(int rate, double seconds, uint16_t port)
{
    std::atomic<bool> sending{rate > 0};
    std::atomic<int> changes{0};
    std::thread tool([&] {
        const int fd = udpSocket(0);
        const auto start = Clock::now();
        while (sending) {
            std::this_thread::sleep_until(start + changes.load() * std::chrono::microseconds(1000000 / rate));
            if (!sending)
                break;
            sendChange(fd, port, uint16_t(changes.load() + 1));
            ++changes;
        }
        ::close(fd);
    });
    const uint32_t ticks0 = G_timeTicks.load();
    const auto t0 = Clock::now();
    runEvents(int(seconds * 1000));
    const uint32_t ticks = G_timeTicks.load() - ticks0;
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    sending = false;
    tool.join();
    runEvents(500);   // the last pass ends before the next rate
    return {ticks / wall, changes.load() / wall};
}

void series(const char* name, double seconds, uint16_t port)
{
    for (int rate : {0, 2, 5, 10, 30}) {
        const Result r = measure(rate, seconds, port);
        std::printf("%-12s %2d changes/s asked, %5.1f sent: %6.1f ticks/s\n", name, rate, r.changesPerSecond,
                    r.ticksPerSecond);
        std::fflush(stdout);
    }
}

} // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dir;
    kel::platform::Board::initSim(dir.path().toStdString());
    AppStartup::beforeApplication();
    QApplication app(argc, argv);
    AppStartup::Options options;
    options.startTimer = false;   // started below, one way of counting after the other
    options.anyFreePorts = true;
    AppStartup::afterApplication(options);
    const uint16_t port = kel::protocol::udpnetManage::p_udpnetManage->localPort();

    g_timer->start(10);
    series("GUI timer", seconds, port);
    TickThread::start();
    series("tick thread", seconds, port);

    TickThread::stop();
    AppStartup::stopAll();
    ConfigEngine::destroyInstance();
    kel::platform::Board::shutdown();
    return 0;
}
