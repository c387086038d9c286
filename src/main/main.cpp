#include "main/AppStartup.h"
#include "params/ConfigEngine.h"
#include "params/SyncUpdate.h"
#include "platform/Board.h"
#include "platform/PathMap.h"
#include "platform/SignalRelay.h"
#include "platform/sim/SimBoard.h"

#include <QApplication>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

namespace {

// The stop and state signals are held back until the relay that turns them
// into Qt signals exists (the configuration store is created first, before
// the application object).
void holdSignals(int how)
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGUSR1);
    sigprocmask(how, &set, nullptr);
}

void writeSimState()
{
    if (auto* sim = kel::platform::Board::sim())
        sim->writeState();
}

// With XDG_RUNTIME_DIR unset, Qt makes a runtime folder of its own in the
// system's temporary folder. On the simulated board nothing is made outside
// the root: the program names a folder under it (mode 0700, as Qt wants).
void keepRuntimeFolderInRoot()
{
    const char* set = std::getenv("XDG_RUNTIME_DIR");
    if (!kel::platform::Board::sim() || (set && *set))
        return;
    const std::string folder = kel::platform::PathMap::host(std::string("/sim/runtime"));
    if (!kel::platform::PathMap::writesInsideRoot(folder))
        return;
    ::mkdir(folder.c_str(), 0700);
    if (::chmod(folder.c_str(), 0700) == 0)
        ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
}

} // namespace

int main(int argc, char** argv)
{
    kel::platform::SignalRelay::install();
    std::string error;
    if (!kel::platform::Board::initFromEnvironment(&error)) {
        std::fprintf(stderr, "kelT57N: %s\n", error.c_str());
        return 2;
    }
    keepRuntimeFolderInRoot();
    holdSignals(SIG_BLOCK);
    AppStartup::beforeApplication();
    QApplication app(argc, argv);
    kel::platform::SignalRelay relay;
    QObject::connect(&relay, &kel::platform::SignalRelay::stateRequested, &app, writeSimState);
    QObject::connect(&relay, &kel::platform::SignalRelay::stopRequested, &app, [] { QCoreApplication::quit(); });
    holdSignals(SIG_UNBLOCK);
    AppStartup::afterApplication(AppStartup::Options());

    const int rc = app.exec();
    // Every change the links acknowledged is saved, whether or not its
    // change pass ran before the stop.
    AppStartup::stopLinks();
    SyncUpdate::p_SyncUpdate->finishPending();
    writeSimState();
    // The threads end before the simulated chips they talk to go away.
    AppStartup::stopAll();
    ConfigEngine::destroyInstance();
    kel::platform::Board::shutdown();
    // The last line: a stop within a second is measured to here, not to the
    // process's exit (a sanitizer build scans for leaks after it).
    if (const long long ms = kel::platform::SignalRelay::msSinceStopSignal(); ms >= 0)
        std::fprintf(stderr, "kelT57N: stopped %lld ms after the stop signal\n", ms);
    return rc;
}
