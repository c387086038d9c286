#include "platform/SignalRelay.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <csignal>

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
}

} // namespace
} // namespace kel::test
