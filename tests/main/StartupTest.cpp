#include "support/SimRootFixture.h"

#include "inputs/tarvosource.h"
#include "ledout/fpga_manage.h"
#include "main/AppStartup.h"
#include "params/global.h"
#include "protocol/Qj_uart_inout.h"
#include "protocol/networkManage.h"
#include "protocol/udpnetManage.h"
#include "ui/shell/LockWindow.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/NumberKeyboard.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/ShellGlobals.h"
#include "video/c331_manage.h"

#include <QCoreApplication>

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
};

TEST_F(StartupTest, CreatesEverySingletonInOrderAndEndsOnTheHomeScreen)
{
    AppStartup::beforeApplication();
    AppStartup::Options options;
    options.startTimer = false;
    options.anyFreePorts = true;
    AppStartup::afterApplication(options);

    const QStringList expected = {"check_hiddev", "ConfigEngine", "KelRamPara", "SyncUpdate", "MainWindow",
                                  "tarvosource", "fpga_manage", "c331_manage", "LockWindow",
                                  "UsbServer", "udpnetManage", "Qj_uart_inout", "networkManage",
                                  "Qj_uart_inout_4G", "T57_WIFI_CONFIG"};
    EXPECT_EQ(AppStartup::created(), expected);
    EXPECT_GE(sleptUs(), 4000000u); // the settling pause went through the sleep hook
    EXPECT_EQ(g_kel_keys, 1);       // the simulated keypad is attached
    EXPECT_EQ(g_page_focus, PageFocus::LockWindow);
    ASSERT_NE(g_lockwindow, nullptr);
    EXPECT_TRUE(g_lockwindow->isVisible());
    ASSERT_NE(g_mainwindow, nullptr);
    EXPECT_TRUE(g_mainwindow->isVisible());
    ASSERT_NE(g_numberkeyboard, nullptr);
    const QPoint origin = g_mainwindow->pos();
    EXPECT_EQ(g_numberkeyboard->geometry(), QRect(origin.x() + 160, origin.y(), 160, 240));
    EXPECT_EQ(g_lockwindow->pos(), origin);
    EXPECT_NE(g_timer, nullptr);
}

} // namespace
} // namespace kel::test
