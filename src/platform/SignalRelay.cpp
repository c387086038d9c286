#include "platform/SignalRelay.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace kel::platform {
namespace {

int g_pipe[2] = {-1, -1};

extern "C" void relaySignal(int sig)
{
    const int saved = errno;
    const unsigned char b = static_cast<unsigned char>(sig);
    if (g_pipe[1] >= 0)
        (void)!::write(g_pipe[1], &b, 1);
    errno = saved;
}

} // namespace

SignalRelay::SignalRelay(QObject* parent) : QObject(parent)
{
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { drain(); });
    struct sigaction sa = {};
    sa.sa_handler = relaySignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGINT, SIGTERM, SIGUSR1})
        ::sigaction(sig, &sa, nullptr);
}

SignalRelay::~SignalRelay()
{
    for (int sig : {SIGINT, SIGTERM, SIGUSR1})
        std::signal(sig, SIG_DFL);
}

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
