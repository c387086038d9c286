#include "ControllerFixture.h"

#include "ledout/LedGlobals.h"
#include "params/ApplyGate.h"
#include "params/KelRamPara.h"
#include "params/RamLayout.h"
#include "params/global.h"
#include "platform/sim/SimFpga.h"
#include "platform/sim/SimFpgaBoard.h"
#include "platform/sim/SimScaler.h"
#include "ui/pages/screen/ledset.h"
#include "ui/pages/screen/netset.h"
#include "ui/pages/screen/test_chart.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/My_lineEdit.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/PanelKeys.h"
#include "ui/shell/ShellGlobals.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>

#include <pthread.h>

#include <chrono>
#include <thread>

namespace kel::test {
namespace {

using platform::sim::SimFpgaBoard;
using platform::sim::SimScaler;

// The screen pages on the whole controller: the page is shown without its
// own loop (as its menu would open it) so the test keeps driving the tick.
class ScreenPagesEndToEnd : public ControllerFixture {
protected:
    SimScaler& scaler() { return *SimScaler::on(board()); }
    static void key(int code)
    {
        QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier);
        QApplication::instance()->notify(g_mainwindow, &press);
        QKeyEvent release(QEvent::KeyRelease, code, Qt::NoModifier);
        QApplication::instance()->notify(g_mainwindow, &release);
    }
    template <class Page>
    Page* show(Page*& global, uint8_t parent)
    {
        g_page_focus = parent;
        auto* page = new Page(nullptr);
        global = page;
        page->takeFocus();
        page->show();
        return page;
    }
    // Presses OK; a notice it opens is watched from inside the notice's
    // loop and run to its end. The scaler's mutex must be free there: the
    // chip thread holds it only while it waits for the FPGA's LED sequence,
    // which the ticks of the notice move on.
    bool okShowsNotice(bool* mutexFreeDuringNotice = nullptr)
    {
        bool shown = false;
        QTimer::singleShot(0, [&] {
            shown = g_tip_flag != 0;
            pthread_mutex_t& m = ApplyGate::instance().c331_para_mutex;
            for (int t = 0; shown && t < 300; ++t) {
                if (mutexFreeDuringNotice && !*mutexFreeDuringNotice && pthread_mutex_trylock(&m) == 0) {
                    *mutexFreeDuringNotice = true;
                    pthread_mutex_unlock(&m);
                }
                g_mainwindow->slot_update_timer_ticks();
                std::this_thread::sleep_for(std::chrono::microseconds(300));
            }
        });
        key(PanelKeys::kOk);
        QCoreApplication::processEvents();
        return shown;
    }
    uint16_t savedU16(size_t blockOffset)
    {
        QFile f(QString::fromStdString(hostPath("/data/ram_device_info")));
        if (!f.open(QIODevice::ReadOnly))
            return 0;
        const QByteArray b = f.readAll();
        const size_t at = 2 + blockOffset - RamLayout::kSavedBegin;
        return at + 1 < size_t(b.size()) ? uint16_t(uint8_t(b[int(at)]) | uint8_t(b[int(at) + 1]) << 8) : 0;
    }
};

TEST_F(ScreenPagesEndToEnd, LedSizeAppliedFromThePageReachesBothManagersAndTheSavedFile)
{
    ASSERT_TRUE(tickUntil(&ControllerFixture::screenLit));
    platform::sim::SimFpga& fpga0 = SimFpgaBoard::current()->fpga0();
    const int resetsBefore = fpga0.resets();
    ledset* page = show(g_ledset, PageFocus::OutputSet);
    page->findChild<My_lineEdit*>("lineEdit_ledw")->setText("1024");
    page->findChild<My_lineEdit*>("lineEdit_ledh")->setText("512");
    key(PanelKeys::kRight);
    key(PanelKeys::kRight2);

    bool mutexFree = false;
    EXPECT_TRUE(okShowsNotice(&mutexFree));
    EXPECT_TRUE(mutexFree) << "the notice runs with c331_para_mutex released";
    KelRamPara* store = KelRamPara::p_kelrampara_config;
    EXPECT_EQ(store->blockU16(RamLayout::kLedWidth), 1024);
    EXPECT_EQ(store->blockU16(RamLayout::kOch1Window + 6), 512);

    // The FPGA blanks and restarts, the scaler takes the new panel size.
    EXPECT_TRUE(tickUntil([&] {
        return fpga0.resets() > resetsBefore && g_set_led_para == 0 && screenLit()
               && scaler().reg(SimScaler::Output, SimScaler::OutPanelW) == 1024;
    }));
    EXPECT_EQ(scaler().reg(SimScaler::Output, SimScaler::OutPanelH), 512);
    EXPECT_TRUE(tickUntil([&] { return savedU16(RamLayout::kLedWidth) == 1024; }, 200))
        << savedU16(RamLayout::kLedWidth);
    EXPECT_EQ(savedU16(RamLayout::kLedHeight), 512);

    // The same size again: no notice.
    EXPECT_FALSE(okShowsNotice());
    key(PanelKeys::kBack);
    EXPECT_EQ(g_page_focus, PageFocus::OutputSet);
    EXPECT_EQ(g_ledset, nullptr);
}

// The scaler's thread takes an apply on its next pass, whenever the machine
// runs it: each pattern is looked for once the scaler has taken the apply
// (it clears the flag after programming the chip), not after a number of
// ticks, which the scaler does not count.
TEST_F(ScreenPagesEndToEnd, TestPatternsReachTheScalerAndBackTakesThemOff)
{
    ASSERT_TRUE(tickUntil(&ControllerFixture::screenLit));
    const auto patternTaken = [&] {
        EXPECT_TRUE(tickUntil([] { return ApplyGate::instance().c331_apply_flag.load() == 0; }))
            << "the scaler takes the apply";
        return scaler().reg(SimScaler::Picture, SimScaler::PicPattern);
    };
    show(g_test_chart, PageFocus::Option);
    for (int pattern = 1; pattern <= 8; ++pattern) {
        SCOPED_TRACE(pattern);
        key(PanelKeys::kOk);
        EXPECT_EQ(patternTaken(), pattern);
        key(PanelKeys::kRight);
    }
    key(PanelKeys::kBack);
    EXPECT_EQ(g_page_focus, PageFocus::Option);
    EXPECT_EQ(patternTaken(), 0);
}

TEST_F(ScreenPagesEndToEnd, OutputPortsShowTheLinksTheRunningFpgaReports)
{
    ASSERT_TRUE(tickUntil(&ControllerFixture::screenLit));
    platform::sim::SimFpga& fpga0 = SimFpgaBoard::current()->fpga0();
    fpga0.setReg(128, 0x05); // ports 0 and 2
    fpga0.setReg(144, 0x80); // port 15
    netset* page = show(g_netset, PageFocus::OutputSet);
    auto icon = [page](int k) {
        return page->findChild<QLabel*>(QString("L%1label").arg(k))->property("iconPath").toString();
    };
    EXPECT_EQ(icon(1), ":/png/online_up.png");
    EXPECT_EQ(icon(2), ":/png/offline_up.png");
    EXPECT_EQ(icon(3), ":/png/online_up.png");
    for (int i = 0; i < 15; ++i)
        key(PanelKeys::kRight);
    EXPECT_EQ(icon(4), ":/png/online_up.png") << "port 16 in the last place of the view";
    EXPECT_EQ(icon(3), ":/png/offline_up.png");
    key(PanelKeys::kBack);
    EXPECT_EQ(g_page_focus, PageFocus::OutputSet);
}

} // namespace
} // namespace kel::test
