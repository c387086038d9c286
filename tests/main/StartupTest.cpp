#include "support/SimRootFixture.h"

#include "inputs/tarvosource.h"
#include "ledout/fpga_manage.h"
#include "main/AppStartup.h"
#include "params/global.h"
#include "protocol/Qj_uart_inout.h"
#include "protocol/networkManage.h"
#include "protocol/udpnetManage.h"
#include "ui/shell/FirmwareUpdate.h"
#include "ui/shell/LockWindow.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/NumberKeyboard.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/ShellGlobals.h"
#include "video/c331_manage.h"

#include "platform/Sleeper.h"

#include <QCoreApplication>
#include <QThread>

#include <atomic>
#include <thread>

namespace kel::test {
namespace {

class StartupTest : public SimRootFixture {
protected:
    void TearDown() override
    {
        // The singletons' threads end before the board goes away.
        AppStartup::stopAll();
        delete g_lockwindow;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        SimRootFixture::TearDown();
    }

    // Sleeps of every thread (counted until the fixture's tear-down removes the hook).
    std::atomic<uint64_t> allSlept_{0};
};

TEST_F(StartupTest, CreatesEverySingletonInOrderAndEndsOnTheHomeScreen)
{
    AppStartup::beforeApplication();
    AppStartup::Options options;
    options.startTimer = false;
    options.anyFreePorts = true;
    // The settling pause is the one 4 s sleep of the GUI thread: the main
    // window is moved off the screen's origin there, so the placements
    // below must follow it rather than fixed screen coordinates.
    QThread* gui = QThread::currentThread();
    platform::Sleeper::setHook([this, gui](uint64_t us) {
        allSlept_ += us;
        if (us == 4000000u && QThread::currentThread() == gui && g_mainwindow)
            g_mainwindow->move(10, 20);
    });
    AppStartup::afterApplication(options);

    const QStringList expected = {"check_hiddev", "ConfigEngine", "KelRamPara", "SyncUpdate", "MainWindow",
                                  "tarvosource", "fpga_manage", "c331_manage", "LockWindow",
                                  "UsbServer", "udpnetManage", "Qj_uart_inout", "networkManage",
                                  "Qj_uart_inout_4G", "T57_WIFI_CONFIG"};
    EXPECT_EQ(AppStartup::created(), expected);
    EXPECT_GE(allSlept_.load(), 4000000u); // the settling pause went through the sleep hook
    EXPECT_EQ(g_kel_keys, 1);       // the simulated keypad is attached
    EXPECT_EQ(g_page_focus, PageFocus::LockWindow);
    ASSERT_NE(g_lockwindow, nullptr);
    EXPECT_TRUE(g_lockwindow->isVisible());
    ASSERT_NE(g_mainwindow, nullptr);
    EXPECT_TRUE(g_mainwindow->isVisible());
    ASSERT_NE(g_numberkeyboard, nullptr);
    EXPECT_EQ(g_mainwindow->pos(), QPoint(10, 20));
    EXPECT_EQ(g_numberkeyboard->geometry(), QRect(170, 20, 160, 240));
    EXPECT_EQ(g_lockwindow->pos(), QPoint(10, 20));
    EXPECT_NE(g_timer, nullptr);

    // The upgrade calls of the links reach the popup, placed over the panel.
    std::thread([]() { g_mainwindow->update_start(); }).join();
    QCoreApplication::processEvents();
    ASSERT_NE(g_move_update, nullptr);
    EXPECT_EQ(g_move_update->pos(), QPoint(10, 20));
    g_mainwindow->update_over();
    QCoreApplication::processEvents();
    EXPECT_EQ(g_move_update, nullptr);
}

} // namespace
} // namespace kel::test
