#include "platform/SignalRelay.h"

#include "platform/Sleeper.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace kel::platform {
namespace {

int g_pipe[2] = {-1, -1};
// Monotonic nanoseconds of the first stop signal; 0: none yet.
std::atomic<long long> g_stopAt{0};
static_assert(std::atomic<long long>::is_always_lock_free, "stored from a signal handler");

long long monotonicNs()
{
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);   // async-signal-safe
    return (long long)t.tv_sec * 1000000000LL + t.tv_nsec;
}

extern "C" void relaySignal(int sig)
{
    const int saved = errno;
    // The long waits end now, not once the event loop has taken the signal:
    // the thread that runs the loop may itself be in one.
    if (sig != SIGUSR1) {
        long long none = 0;
        g_stopAt.compare_exchange_strong(none, monotonicNs());
        Sleeper::requestStop();
    }
    const unsigned char b = static_cast<unsigned char>(sig);
    if (g_pipe[1] >= 0)
        (void)!::write(g_pipe[1], &b, 1);
    errno = saved;
}

} // namespace

void SignalRelay::install()
{
    if (g_pipe[0] >= 0)
        return;
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    struct sigaction sa = {};
    sa.sa_handler = relaySignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGINT, SIGTERM, SIGUSR1})
        ::sigaction(sig, &sa, nullptr);
}

long long SignalRelay::msSinceStopSignal()
{
    const long long at = g_stopAt.load();
    return at == 0 ? -1 : (monotonicNs() - at) / 1000000;
}

SignalRelay::SignalRelay(QObject* parent) : QObject(parent)
{
    install();
    if (g_pipe[0] < 0)
        return;
    notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { drain(); });
    // Signals caught before the relay existed are waiting in the pipe; they
    // are delivered once the event loop runs and the receivers are connected.
    QMetaObject::invokeMethod(this, [this] { drain(); }, Qt::QueuedConnection);
}

SignalRelay::~SignalRelay() = default;

void SignalRelay::drain()
{
    unsigned char b;
    while (::read(g_pipe[0], &b, 1) == 1) {
        if (b == SIGUSR1)
            emit stateRequested();
        else
            emit stopRequested(b);
    }
}

} // namespace kel::platform
