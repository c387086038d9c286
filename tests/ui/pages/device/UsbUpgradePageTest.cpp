#include "ui/support/ShellFixture.h"

#include "ledout/LedGlobals.h"
#include "ledout/UpgradeServices.h"
#include "ledout/fpga_manage.h"
#include "params/SyncReason.h"
#include "params/Utils.h"
#include "params/global.h"
#include "protocol/SimUsbEventSource.h"
#include "ui/pages/device/firmware_usbgrade.h"
#include "ui/pages/registerPageMakers.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/PanelKeys.h"
#include "ui/shell/ShellGlobals.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QThread>

#include <thread>

namespace kel::test {
namespace {

const char* const kMarked = "background-color:#4777FF;color: #FFFFFF;";
const char* const kPlain = "background-color: rgb(33, 36, 53);color: #FFFFFF";

class UsbUpgradePageTest : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        registerPageMakers();
        g_page_focus = PageFocus::LinkOption;
        g_usb_grade = 0;
        g_send_para.head = 0xFF00;
        Utils::setConfigValue(g_usb_grade_path, QStringLiteral("KEL-T46 Rev.c"));
    }
    void TearDown() override
    {
        g_usb_grade = 0;
        g_send_para.head = 0;
        fpga_manage::destroyInstance();
        UpgradeServices::instance() = UpgradeServices{};
        ShellFixture::TearDown();
    }
    QString folder() const { return QString::fromStdString(hostPath("/mnt/usb1/KEL-T46 Rev.c")); }
    void stick(const QStringList& names)
    {
        QDir().mkpath(folder());
        for (const QString& n : names) {
            QFile f(folder() + "/" + n);
            f.open(QIODevice::WriteOnly);
            f.write(QByteArray(49, '\0'));
        }
    }
    static QString text(const QString& name)
    {
        auto* l = qobject_cast<QLabel*>(find(name));
        return l ? l->text() : QStringLiteral("<missing>");
    }
    static firmware_usbgrade* page() { return g_firmware_usbgrade; }
    static void open() { PageOpener::open(PageFocus::firmware_usbgrade); }
};

TEST_F(UsbUpgradePageTest, ListsFourPackagesAPageWithTheirMarksAndPagesThrough)
{
    // Name order on the simulated board; only KEL and KELZK are packages.
    stick({"a.KEL", "b.KEL", "c.KELZK", "d<i>.KEL", "e.KELZK", "f.kel", "g.KELZK.bak", "h.txt", ".hidden.KEL"});
    // Neither a link nor a folder is a package.
    QFile::link(folder() + "/a.KEL", folder() + "/link.KEL");
    QDir().mkpath(folder() + "/sub.KELZK");
    run({[]() { open(); },
         []() {
             EXPECT_EQ(page()->file_count, 5);
             EXPECT_EQ(page()->last_page, 1);
             const char* styles[4] = {kMarked, kPlain, kMarked, kPlain};
             const char* names[4] = {"a.KEL", "b.KEL", "c.KELZK", "d&lt;i&gt;.KEL"};
             for (int k = 0; k < 4; ++k) {
                 EXPECT_EQ(styleOf(QStringLiteral("row_%1").arg(k)), styles[k]) << k;
                 EXPECT_EQ(text(QStringLiteral("row_%1").arg(k)),
                           QStringLiteral("<font color = #FFFFFF >%1</font>").arg(names[k]))
                     << k;
             }
             EXPECT_NE(find("Button_next"), nullptr);
             EXPECT_EQ(find("Button_previous"), nullptr);
             qobject_cast<QPushButton*>(find("Button_next"))->click();
         },
         []() {
             EXPECT_EQ(page()->current_page, 1);
             EXPECT_EQ(styleOf("row_0"), kMarked) << "every KELZK package is marked";
             EXPECT_EQ(find("row_1"), nullptr);
             EXPECT_NE(find("Button_previous"), nullptr);
             EXPECT_EQ(find("Button_next"), nullptr);
             page()->kel_Button_next_clicked();
             EXPECT_EQ(page()->current_page, 0) << "next wraps";
             page()->kel_Button_previous_clicked();
             EXPECT_EQ(page()->current_page, 0) << "previous stops at the first page";
         }});
}

TEST_F(UsbUpgradePageTest, FollowsTheSticksInsertionAndRemoval)
{
    run({[]() { open(); },
         [this]() {
             EXPECT_EQ(text("label_empty"), "No loaded file!");
             EXPECT_EQ(find("Button_next"), nullptr);
             stick({"1.KEL", "2.KEL", "3.KEL", "4.KEL", "5.KEL", "6.KEL"});
             page()->syncUpdate(SYNC_USB_READING);
             EXPECT_EQ(page()->file_count, 6);
             EXPECT_EQ(find("label_empty"), nullptr);
             EXPECT_NE(find("Button_next"), nullptr);
             QFile::remove(folder() + "/5.KEL");
             QFile::remove(folder() + "/6.KEL");
             page()->syncUpdate(SYNC_USB_READING);
             EXPECT_EQ(page()->last_page, 0) << "four packages fill one page";
             EXPECT_EQ(find("Button_next"), nullptr);
             QDir(folder()).removeRecursively();
             page()->syncUpdate(SYNC_USB_REMOVE);
             EXPECT_EQ(page()->file_count, 0);
             EXPECT_EQ(text("label_empty"), "No loaded file!");
         }});
}

// Pulling the simulated stick and plugging it in again: gone from the page
// meanwhile, its packages listed again afterwards.
TEST_F(UsbUpgradePageTest, PulledStickComesBackWithItsFiles)
{
    protocol::SimUsbEventSource usb;
    usb.insertStick();
    stick({"1.KEL", "2.KELZK", "3.KEL"});
    run({[]() { open(); },
         [&]() {
             page()->syncUpdate(SYNC_USB_READING);
             EXPECT_EQ(page()->file_count, 3);
             usb.removeStick();
             EXPECT_FALSE(QFileInfo::exists(folder())) << "the program no longer sees the stick";
             page()->syncUpdate(SYNC_USB_REMOVE);
             EXPECT_EQ(page()->file_count, 0);
             usb.insertStick();
             page()->syncUpdate(SYNC_USB_READING);
             EXPECT_EQ(page()->file_count, 3);
             EXPECT_EQ(text("row_1"), "<font color = #FFFFFF >2.KELZK</font>");
         }});
}

TEST_F(UsbUpgradePageTest, OkStartsOneRunAndAStartIsRefusedWhileTheEngineOrAProcedureIsBusy)
{
    run({[]() { open(); },
         [this]() {
             key(PanelKeys::kOk);
             EXPECT_EQ(page()->file_downing, 1);
             EXPECT_EQ(g_usb_grade, 1);
             EXPECT_EQ(g_send_para.send_step(), 0);
             g_send_para.set_send_step(2);   // the engine has moved on
             key(PanelKeys::kOk);
             EXPECT_EQ(g_send_para.send_step(), 2) << "a second OK does nothing";
             key(PanelKeys::kMode);
             EXPECT_NE(g_firmware_usbgrade, nullptr) << "Mode is only passed on during this page's run";
             key(PanelKeys::kBack);
             EXPECT_EQ(g_page_focus, PageFocus::LinkOption);
         },
         []() { open(); },
         [this]() {
             key(PanelKeys::kOk);
             EXPECT_EQ(page()->file_downing, 0) << "a run is going on";
             EXPECT_EQ(g_send_para.send_step(), 2);
             EXPECT_TRUE(text("label_log").isEmpty()) << "a refused start leaves the page as it was";
             g_usb_grade = 0;
             g_send_para.head = SendPara::send_cmd_rcv_check;
             key(PanelKeys::kOk);
             EXPECT_EQ(page()->file_downing, 0) << "a card procedure is posted";
             EXPECT_EQ(g_usb_grade, 0);
             EXPECT_EQ(g_send_para.command(), SendPara::send_cmd_rcv_check);
             EXPECT_TRUE(text("label_log").isEmpty());
         }});
}

TEST_F(UsbUpgradePageTest, ARunInTheFpgaThreadReachesThePopupAndThePageInTheGuiThread)
{
    fpga_manage::pInstance()->softinit();
    UpgradeServices& u = UpgradeServices::instance();
    u.popupStart = []() { g_mainwindow->update_start(); };
    u.popupOver = []() { g_mainwindow->update_over(); };
    std::vector<QThread*> popupThreads;
    MainWindow::hooks().upgradeStart = [&popupThreads]() { popupThreads.push_back(QThread::currentThread()); };
    MainWindow::hooks().upgradeOver = [&popupThreads]() { popupThreads.push_back(QThread::currentThread()); };
    stick({"empty.KEL"});
    run({[]() { open(); },
         [this, &popupThreads]() {
             key(PanelKeys::kOk);
             std::thread fpgaThread([]() {
                 while (g_usb_grade)
                     fpga_manage::p_fpga_manage->usb_upgrade_manage_deal();
             });
             fpgaThread.join();
             EXPECT_TRUE(popupThreads.empty()) << "the popup is reached only through the GUI thread's queue";
             EXPECT_TRUE(text("label_log").isEmpty()) << "the end reaches the page only through the queue";
             // Delivers the queued calls only (the script's next step waits).
             QCoreApplication::sendPostedEvents(g_mainwindow, QEvent::MetaCall);
             QCoreApplication::sendPostedEvents(sync_.get(), QEvent::MetaCall);
             ASSERT_EQ(popupThreads.size(), 2u);
             for (QThread* t : popupThreads)
                 EXPECT_EQ(t, QCoreApplication::instance()->thread());
             EXPECT_TRUE(QRegularExpression("^<font style = 'font-size:13px' color = #51BB28 >downing over<br>"
                                            "\\d{1,2}:\\d{1,2}:\\d{1,2}    \\d{1,2}:\\d{1,2}:\\d{1,2}</font>$")
                             .match(text("label_log"))
                             .hasMatch())
                 << text("label_log").toStdString();
         }});
}

} // namespace
} // namespace kel::test
