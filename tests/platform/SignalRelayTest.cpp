#include "platform/SignalRelay.h"
#include "platform/Sleeper.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <chrono>
#include <csignal>
#include <future>
#include <thread>

#include <gtest/gtest.h>

namespace kel::test {
namespace {

TEST(SignalRelayTest, SignalsCaughtBeforeTheRelayExistsAreDeliveredLater)
{
    platform::SignalRelay::install();
    ASSERT_EQ(::raise(SIGUSR1), 0);
    ASSERT_EQ(::raise(SIGTERM), 0);
    platform::SignalRelay relay;
    int states = 0;
    int stops = 0;
    QObject::connect(&relay, &platform::SignalRelay::stateRequested, [&] { ++states; });
    QObject::connect(&relay, &platform::SignalRelay::stopRequested, [&](int sig) {
        EXPECT_EQ(sig, SIGTERM);
        ++stops;
    });
    QDeadlineTimer deadline(10000);
    while ((states == 0 || stops == 0) && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_EQ(states, 1);
    EXPECT_EQ(stops, 1);

    ASSERT_EQ(::raise(SIGUSR1), 0);
    deadline = QDeadlineTimer(10000);
    while (states == 1 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_EQ(states, 2);
    platform::Sleeper::clearStop();   // the SIGTERM above requested it
}

// The handler itself requests the stop, so a pause of another thread ends
// before any event loop has taken the signal; SIGUSR1 ends none.
TEST(SignalRelayTest, SigtermEndsAPauseInProgressAndSigusr1DoesNot)
{
    using platform::Sleeper;
    platform::SignalRelay::install();
    struct Case {
        int sig;
        bool ends;
    };
    for (const Case c : {Case{SIGUSR1, false}, Case{SIGTERM, true}, Case{SIGINT, true}}) {
        SCOPED_TRACE(c.sig);
        Sleeper::clearStop();
        auto pause = std::async(std::launch::async, [&] { return Sleeper::pauseMs(c.ends ? 60000 : 300); });
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_EQ(::raise(c.sig), 0);
        EXPECT_EQ(Sleeper::stopping(), c.ends);
        ASSERT_EQ(pause.wait_for(std::chrono::seconds(c.ends ? 5 : 30)), std::future_status::ready);
        EXPECT_EQ(pause.get(), !c.ends);
    }
    Sleeper::clearStop();
    // Drains the pipe, so that no later relay delivers the signals raised here.
    platform::SignalRelay relay;
    QCoreApplication::processEvents();
}

} // namespace
} // namespace kel::test
