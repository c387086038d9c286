#include "platform/SignalRelay.h"

#include "platform/Sleeper.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace kel::platform {
namespace {

int g_pipe[2] = {-1, -1};

extern "C" void relaySignal(int sig)
{
    const int saved = errno;
    // The long waits end now, not once the event loop has taken the signal:
    // the thread that runs the loop may itself be in one.
    if (sig != SIGUSR1)
        Sleeper::requestStop();
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
