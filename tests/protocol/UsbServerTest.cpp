#include "params/global.h"
#include "platform/PathMap.h"
#include "protocol/PanelCalls.h"
#include "protocol/SimUsbEventSource.h"
#include "protocol/UsbServer.h"
#include "support/SimRootFixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

using kel::protocol::PanelCalls;
using kel::protocol::SimUsbEventSource;
using kel::protocol::UsbServer;

namespace {

class UsbServerTest : public kel::test::SimRootFixture {
protected:
    void SetUp() override
    {
        SimRootFixture::SetUp();
        auto src = std::make_unique<SimUsbEventSource>();
        source = src.get();
        server = std::make_unique<UsbServer>(std::move(src));
        spy = std::make_unique<QSignalSpy>(server.get(), &UsbServer::sig_usb_update);
        G_timeTicks = 1000;
        g_delay_usbserver = 1;
        g_page_focus = 0;
    }
    void TearDown() override
    {
        server.reset(); // joins a watcher thread that may still emit into the spy
        spy.reset();
        PanelCalls::clear();
        g_delay_usbserver = 0;
        G_timeTicks = 0;
        g_page_focus = 0;
        SimRootFixture::TearDown();
    }
    // Handles every queued event without waiting.
    void drain()
    {
        for (int i = 0; i < 8; ++i)
            server->pass(0);
    }
    // A stand-in settings menu: its Back records the call.
    static void installOptionBack(std::function<void()> back)
    {
        PanelCalls::Hooks h;
        h.optionBack = [back] {
            back();
            return true;
        };
        PanelCalls::install(h);
    }
    QList<int> reasons() const
    {
        QList<int> out;
        for (const QList<QVariant>& args : *spy)
            out.append(args.at(0).toInt());
        return out;
    }

    SimUsbEventSource* source = nullptr;
    std::unique_ptr<UsbServer> server;
    std::unique_ptr<QSignalSpy> spy;
};

TEST_F(UsbServerTest, IgnoresEventsWhileTheStartDelayRuns)
{
    g_delay_usbserver = 0;
    G_timeTicks = 999;
    source->insertStick();
    drain();
    G_timeTicks = 999 + UsbServer::kReadingDelayTicks;
    drain();
    EXPECT_TRUE(reasons().isEmpty());
}

TEST_F(UsbServerTest, InsertionAndRemovalAreReported)
{
    source->insertStick();
    drain();
    EXPECT_TRUE(QDir(QString::fromStdString(hostPath("/mnt/usb1"))).exists());
    source->removeStick();
    drain();
    EXPECT_EQ(reasons(), (QList<int>{100, 101}));
    EXPECT_FALSE(QDir(QString::fromStdString(hostPath("/mnt/usb1"))).exists());
}

// Only the stick pulled last is kept: the empty mount folder the board makes
// at start neither replaces it nor keeps it from coming back at the next
// insert, and pulling another stick while it is kept replaces it with a
// line on standard error.
TEST_F(UsbServerTest, PulledStickIsKeptUntilAnotherIsPulled)
{
    const QString mount = QString::fromStdString(hostPath(SimUsbEventSource::kMountPoint));
    const QString kept = QString::fromStdString(hostPath(SimUsbEventSource::kPulledStick));
    const auto put = [](const QString& folder, const char* name) {
        QDir().mkpath(folder);
        QFile f(folder + "/" + name);
        return f.open(QIODevice::WriteOnly);
    };
    source->insertStick();
    ASSERT_TRUE(put(mount, "first.KEL"));
    source->removeStick();
    QDir().mkpath(mount);   // as at a restart
    source->removeStick();
    EXPECT_TRUE(QFile::exists(kept + "/first.KEL")) << "the empty folder does not replace the kept stick";
    QDir().mkpath(mount);
    source->insertStick();
    EXPECT_TRUE(QFile::exists(mount + "/first.KEL")) << "the kept stick comes back into the empty folder";

    source->removeStick();
    ASSERT_TRUE(put(mount, "second.KEL"));   // another stick, plugged while the first is kept
    source->insertStick();
    EXPECT_TRUE(QFile::exists(mount + "/second.KEL"));
    testing::internal::CaptureStderr();
    source->removeStick();
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("is replaced by the one pulled now"), std::string::npos) << log;
    EXPECT_TRUE(QFile::exists(kept + "/second.KEL"));
    EXPECT_FALSE(QFile::exists(kept + "/first.KEL"));
}

TEST_F(UsbServerTest, ReadingFollows300TicksAfterThePartitionAppears)
{
    source->insertStick();
    drain();
    G_timeTicks = 1000 + UsbServer::kReadingDelayTicks - 1;
    drain();
    EXPECT_EQ(reasons(), (QList<int>{100}));
    G_timeTicks = 1000 + UsbServer::kReadingDelayTicks;
    drain();
    G_timeTicks = 5000;
    drain();
    EXPECT_EQ(reasons(), (QList<int>{100, 102}));
}

TEST_F(UsbServerTest, StickPulledBeforeTheDelayIsNeverReportedAsRead)
{
    source->insertStick();
    drain();
    G_timeTicks = 1100;
    source->removeStick();
    drain();
    G_timeTicks = 2000;
    drain();
    EXPECT_EQ(reasons(), (QList<int>{100, 101}));
}

TEST_F(UsbServerTest, NoReadingWithoutAPartitionStillPresentAfterTheDelay)
{
    using kel::protocol::UsbEvent;
    const auto event = [](UsbEvent::Action action, bool partition) {
        UsbEvent e;
        e.action = action;
        e.partition = partition;
        return e;
    };
    const UsbEvent diskAdd = event(UsbEvent::Action::Add, false);
    const UsbEvent partAdd = event(UsbEvent::Action::Add, true);
    const UsbEvent partRemove = event(UsbEvent::Action::Remove, true);
    const struct {
        const char* what;
        std::vector<UsbEvent> events;
    } cases[] = {
        {"a stick with no partition table", {diskAdd}},
        {"a partition gone before the delay", {diskAdd, partAdd, partRemove}},
    };
    for (const auto& c : cases) {
        spy->clear();
        G_timeTicks = 1000;
        for (const UsbEvent& e : c.events)
            source->push(e);
        drain();
        G_timeTicks = 1000 + UsbServer::kReadingDelayTicks + 1;
        drain();
        EXPECT_EQ(reasons(), (QList<int>{100})) << c.what;
    }
}

TEST_F(UsbServerTest, SettingsMenuBackRunsQueuedInTheGuiThread)
{
    int calls = 0;
    QThread* ranIn = nullptr;
    installOptionBack([&] {
        ++calls;
        ranIn = QThread::currentThread();
    });
    g_page_focus = PanelCalls::kFocusOption;
    source->insertStick();
    drain();
    G_timeTicks = 1300;
    std::thread worker([this] { server->pass(0); });
    worker.join();
    EXPECT_EQ(reasons().last(), 102);
    EXPECT_EQ(calls, 0);   // queued, not called from the watcher's thread
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(ranIn, QCoreApplication::instance()->thread());
}

TEST_F(UsbServerTest, SettingsMenuBackSkippedWhenTheMenuClosedMeanwhile)
{
    int calls = 0;
    installOptionBack([&] { ++calls; });
    g_page_focus = PanelCalls::kFocusOption;
    source->insertStick();
    drain();
    G_timeTicks = 1300;
    drain();
    g_page_focus = 3;
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(calls, 0);
}

TEST_F(UsbServerTest, WatcherThreadReportsAStickInsertedThroughTheControlPipe)
{
    // The watcher emits on its own thread. As in the application, the
    // reason is queued into this thread; the spy's direct connection would
    // fill its list on the watcher thread while this one waits on it.
    QList<int> queued;
    QObject inTestThread;
    QObject::connect(server.get(), &UsbServer::sig_usb_update, &inTestThread,
                     [&queued](int reason) { queued.append(reason); }, Qt::QueuedConnection);
    server->start();
    const std::string pipe = hostPath(SimUsbEventSource::kControlPipe);
    const int fd = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "insert\n", 7), 7);
    ::close(fd);
    const bool reported = QTest::qWaitFor([&queued] { return !queued.isEmpty(); }, 5000);
    server->stop();
    ASSERT_TRUE(reported);
    EXPECT_EQ(queued.first(), 100);
}

} // namespace

namespace {
class SimUsbPipeTest : public kel::test::SimRootFixture {};
} // namespace

// A regular file left where the control pipe belongs (an echo before the
// first start) would poll readable for ever: it is replaced by the pipe.
TEST_F(SimUsbPipeTest, RegularFileInPlaceOfThePipeIsReplaced)
{
    const std::string fifo = hostPath(SimUsbEventSource::kControlPipe);
    QDir().mkpath(QString::fromStdString(hostPath("/sim")));
    {
        QFile f(QString::fromStdString(fifo));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("insert\n");
    }
    testing::internal::CaptureStderr();
    SimUsbEventSource source;
    EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find(fifo));
    struct stat st;
    ASSERT_EQ(0, ::lstat(fifo.c_str(), &st));
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    kel::protocol::UsbEvent event;
    EXPECT_FALSE(source.wait(event, 0)) << "the old file's line is not an event";
    const int w = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    ASSERT_GE(w, 0);
    ASSERT_EQ(7, ::write(w, "insert\n", 7));
    ::close(w);
    ASSERT_TRUE(source.wait(event, 1000));
    EXPECT_EQ(kel::protocol::UsbEvent::Action::Add, event.action);
}
