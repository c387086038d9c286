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
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimHid.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
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

    void start(bool keypad)
    {
        board().hid().setPresent(keypad);
        AppStartup::beforeApplication();
        AppStartup::Options options;
        options.startTimer = false;
        options.anyFreePorts = true;
        AppStartup::afterApplication(options);
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

    // The scaler's thread starts with its manager, then the FPGA manager's
    // and the source detection's; the change broadcast is connected once the
    // home screen is open and before the USB watcher and the links exist.
    const QStringList expected = {"check_hiddev", "ConfigEngine", "KelRamPara", "SyncUpdate", "MainWindow",
                                  "tarvosource", "fpga_manage", "c331_manage", "fpga_manage thread",
                                  "tarvosource thread", "LockWindow", "sig_update_para", "UsbServer",
                                  "udpnetManage", "Qj_uart_inout", "networkManage", "Qj_uart_inout_4G",
                                  "T57_WIFI_CONFIG"};
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

// The keypad's LEDs are lit once at start when the keypad is there: window
// 0 (enabled, current) and the LED of its input 2, with or without signal.
TEST_F(StartupTest, KeypadLedReportIsSentAtStart)
{
    start(true);
    const auto reports = board().hid().reports();
    ASSERT_EQ(reports.size(), 1u);
    const std::vector<uint8_t> r = reports.front();
    ASSERT_EQ(r.size(), 5u);
    EXPECT_EQ(std::vector<uint8_t>(r.begin(), r.begin() + 3), (std::vector<uint8_t>{0xA5, 0x01, 0x00}));
    EXPECT_TRUE(r[3] == 0x10 || r[3] == 0x20) << int(r[3]);
    EXPECT_EQ(r[4], 0x00);
}

// A replacement killed midway leaves its temporary file; the next start
// removes those of the program's folders (a link only, never its target)
// and keeps everything else.
TEST_F(StartupTest, TemporariesOfWritesCutShortAreRemovedAtStart)
{
    QTemporaryDir outside;
    const QString victim = outside.path() + "/victim";
    ASSERT_TRUE(QFile(victim).open(QIODevice::WriteOnly));
    const auto put = [this](const char* logical, int size) {
        QFile f(QString::fromStdString(hostPath(logical)));
        return QDir().mkpath(QFileInfo(f).absolutePath()) && f.open(QIODevice::WriteOnly) &&
               f.write(QByteArray(size, 'x')) == size;
    };
    ASSERT_TRUE(put("/data/modes/custom_mode1.tmp", 4096) && put("/data/modes/custom_mode1", 4096) &&
                put("/data/ram_device_info.tmp", 0) && put("/data/modes/notes.txt", 3));
    ASSERT_TRUE(QFile::link(victim, QString::fromStdString(hostPath("/data/configs/alias.json.tmp"))));
    start(false);
    for (const char* gone : {"/data/modes/custom_mode1.tmp", "/data/ram_device_info.tmp", "/data/configs/alias.json.tmp"})
        EXPECT_FALSE(QFileInfo(QString::fromStdString(hostPath(gone))).exists()) << gone;
    for (const char* kept : {"/data/modes/custom_mode1", "/data/modes/notes.txt"})
        EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(hostPath(kept)))) << kept;
    EXPECT_TRUE(QFileInfo::exists(victim));
}

TEST_F(StartupTest, NoKeypadNoLedReport)
{
    start(false);
    EXPECT_EQ(g_kel_keys, 0);
    EXPECT_TRUE(board().hid().reports().empty());
}

} // namespace
} // namespace kel::test
