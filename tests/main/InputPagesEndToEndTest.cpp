#include "ControllerFixture.h"

#include "support/KeyScript.h"

#include "params/ApplyGate.h"
#include "params/KelRamPara.h"
#include "params/SyncUpdate.h"
#include "params/global.h"
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimEdidEeprom.h"
#include "platform/sim/SimInputBoard.h"
#include "platform/sim/SimScaler.h"
#include "ui/pages/input/EDIDset.h"
#include "ui/pages/input/InputChoose.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/NumberKeyboard.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/PageTable.h"
#include "ui/shell/PanelKeys.h"
#include "ui/shell/ShellGlobals.h"
#include "ui/shell/TIP.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>

#include <chrono>
#include <functional>
#include <initializer_list>
#include <memory>
#include <thread>
#include <vector>

namespace kel::test {
namespace {

using K = PanelKeys;
using platform::sim::SimInputBoard;
using platform::sim::SimScaler;
using Step = std::function<void()>;

// The whole controller driven from the front panel: keys reach the pages
// through the key router, each step runs inside the modal loop the one
// before opened.
class InputPagesEndToEnd : public ControllerFixture {
protected:
    static void key(int code) { sendPanelKey(g_mainwindow, code); }
    static Step keys(std::vector<int> codes)
    {
        return [codes]() {
            for (int c : codes)
                key(c);
        };
    }
    static Step type(const QString& digits)
    {
        return [digits]() {
            const QString order = QStringLiteral("1234567890");
            auto press = [](int index) {
                while (g_numberkeyboard->ui_select() != index)
                    key(K::kRight);
                key(K::kOk);
            };
            for (QChar c : digits)
                press(order.indexOf(c));
            press(NumberKeyboard::Ok);
        };
    }
    // Ticks without running queued steps (a step waits inside its loop).
    static void plainTicks(int n)
    {
        for (int i = 0; i < n; ++i)
            g_mainwindow->slot_update_timer_ticks();
    }
    // Waits for the scaler thread's pass over a hand-off and delivers its
    // broadcast to the change pass.
    static bool chipPassDone()
    {
        for (int i = 0; i < 5000 && ApplyGate::instance().c331_apply_flag.load() != 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        // Only the change pass's own queued call: the script's steps wait.
        QCoreApplication::sendPostedEvents(SyncUpdate::p_SyncUpdate, QEvent::MetaCall);
        return ApplyGate::instance().c331_apply_flag.load() == 0;
    }
    void run(std::vector<Step> steps)
    {
        steps.push_back([]() { PageTable::closeAllButMain(); });
        const bool finished = runKeyScript(std::move(steps), []() {
            PageTable::closeAllButMain();
            g_tip_flag = 0;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible())
                    d->hide();
        }, 20000);
        EXPECT_TRUE(finished) << "key script did not finish";
    }
    SimScaler& scaler() { return *SimScaler::on(board()); }
    // Whether the X server shows the popup: the screen where it stands holds
    // what it draws, not the page beneath.
    static bool shownOnScreen(QWidget* popup)
    {
        const QRect at = popup->geometry();
        const QImage own = popup->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QImage screen = QGuiApplication::primaryScreen()
                                  ->grabWindow(0, at.x(), at.y(), at.width(), at.height())
                                  .toImage()
                                  .convertToFormat(QImage::Format_RGB32);
        return screen.size() == own.size() && samePixels(own, screen) >= own.width() * own.height() * 95 / 100;
    }
    // Steps that look for the popup on the screen for up to 2 s, then check
    // it was seen. The waiting is spread over steps: events handled inside
    // a step would run the next step of the script too early, while between
    // steps the popup is drawn and the X server maps it.
    static std::vector<Step> expectShown(QWidget* popup, const char* what)
    {
        auto seen = std::make_shared<bool>(false);
        std::vector<Step> steps(100, [popup, seen]() {
            if (*seen)
                return;
            *seen = popup->isVisible() && shownOnScreen(popup);
            if (!*seen)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        });
        steps.push_back([seen, what]() { EXPECT_TRUE(*seen) << what; });
        return steps;
    }
    static std::vector<Step> join(std::initializer_list<std::vector<Step>> parts)
    {
        std::vector<Step> all;
        for (const std::vector<Step>& part : parts)
            all.insert(all.end(), part.begin(), part.end());
        return all;
    }
    static int samePixels(const QImage& a, const QImage& b)
    {
        int same = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                same += a.pixel(x, y) == b.pixel(x, y);
        return same;
    }
    void lightUp()
    {
        ASSERT_TRUE(tickUntil(&ControllerFixture::screenLit));
        ASSERT_TRUE(chipPassDone());
        ASSERT_EQ(g_page_focus, PageFocus::LockWindow);
    }
};

TEST_F(InputPagesEndToEnd, Hdmi2ChosenForWindowZeroReachesTheScaler)
{
    lightUp();
    KelRamPara& ram = *KelRamPara::p_kelrampara_config;
    run({keys({K::kOk}), []() { EXPECT_EQ(g_page_focus, PageFocus::MainWindow); }, keys({K::kRight, K::kOk}),
         []() {
             ASSERT_EQ(g_page_focus, PageFocus::InputChoose);
             key(K::kOk);
             key(K::kRight);
             key(K::kOk);
             key(K::kOk); // chooses HDMI2: the saved notice's loop
         },
         [&ram]() {
             EXPECT_EQ(ram.blockU16(2280), 0x0003);
             EXPECT_EQ(g_tip_flag, 1);
             plainTicks(300);
         },
         []() {}, []() {},
         [this]() {
             EXPECT_EQ(g_tip_flag, 0);
             ASSERT_NE(g_inputchoose, nullptr);
             auto* box = g_inputchoose->findChild<QLabel*>("image_name1");
             ASSERT_NE(box, nullptr);
             EXPECT_EQ(box->text(), "HDMI2");
             ASSERT_TRUE(chipPassDone());
             EXPECT_EQ(scaler().reg(SimScaler::Window, SimScaler::WinSource), 3);
             EXPECT_EQ(g_page_focus, PageFocus::InputChoose);
             EXPECT_EQ(g_inputchoose->level(), InputChoose::Grid);
             EXPECT_EQ(g_inputchoose->imageIndex(), 0);
         }});
}

// Run with KEL_TEST_PLATFORM=xcb on an X server without a window manager
// (the ctest entry that starts Xvfb does): the popups are made once and
// shown again over pages opened after them.
TEST_F(InputPagesEndToEnd, PopupsShowOverThePageOnAPlainXServer)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "needs an X server (KEL_TEST_PLATFORM=xcb)";
    lightUp();
    // The notice is made the first time; the second time the input page
    // opened since stands above it.
    Step wake = keys({K::kOk}); // the lock screen
    for (const int rights : {0, 1}) {
        run(join({{wake, keys({K::kRight, K::kOk}),
                   [rights]() {
                       ASSERT_EQ(g_page_focus, PageFocus::InputChoose);
                       key(K::kOk);
                       for (int i = 0; i < rights; ++i)
                           key(K::kRight);
                       key(K::kOk);
                       key(K::kOk); // chooses HDMI1, then HDMI2: the saved notice
                   }},
                  expectShown(g_tip, rights ? "saved notice shown again" : "first saved notice"),
                  {[]() { plainTicks(TIP::kShownTicks); }}}));
        g_page_focus = PageFocus::MainWindow;
        g_mainwindow->menulist_init();
        wake = []() {};
    }
    const Step ageingEntry = []() {
        ASSERT_EQ(g_page_focus, PageFocus::AdvancedOption);
        key(K::kLeft); // from the first entry round to the ageing entry
        key(K::kOk);
    };
    run(join({{keys({K::kRight, K::kRight, K::kRight, K::kOk}),
               keys({K::kLeft, K::kOk}), ageingEntry},
              expectShown(g_numberkeyboard, "first access-code keyboard"),
              {keys({K::kBack}), // the keyboard closes
               keys({K::kBack}), // the advanced menu closes; the settings menu keeps its entry
               []() {
                   ASSERT_EQ(g_page_focus, PageFocus::Option);
                   key(K::kOk);
               },
               ageingEntry},
              expectShown(g_numberkeyboard, "access-code keyboard opened again"),
              {keys({K::kBack})}}));
}

TEST_F(InputPagesEndToEnd, EdidOfHdmi3SetOnThePanelLandsInTheInputEeprom)
{
    const QString tool = QStandardPaths::findExecutable("edid-decode");
    if (tool.isEmpty())
        GTEST_SKIP() << "edid-decode is not installed (scripts/deps.sh)";
    lightUp();
    KelRamPara& ram = *KelRamPara::p_kelrampara_config;
    run({keys({K::kOk}), keys({K::kRight, K::kOk}), keys({K::kLeft, K::kOk}),
         []() {
             ASSERT_EQ(g_page_focus, PageFocus::EDIDset);
             key(K::kRight);
             key(K::kRight);
             key(K::kOk);
             key(K::kOk);
         },
         type("1280"), keys({K::kRight, K::kOk}), type("720"),
         [&ram]() {
             key(K::kLeft);
             key(K::kLeft);
             key(K::kOk); // Save
             EXPECT_EQ(ram.blockU16(896 + 6 * 4), 1280);
             EXPECT_EQ(ram.blockU16(896 + 6 * 4 + 2), 720);
             EXPECT_EQ(ram.blockU16(896 + 6 * 4 + 4), 60);
         }});
    platform::sim::SimEdidEeprom& eeprom = SimInputBoard::of(board())->eeprom(4);
    const std::string file = root() + "/hdmi3.edid";
    QString decoded;
    auto holds1280x720 = [&]() {
        const auto bytes = eeprom.contents();
        QFile f(QString::fromStdString(file));
        if (!f.open(QIODevice::WriteOnly))
            return false;
        f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
        f.close();
        QProcess p;
        p.start(tool, {QString::fromStdString(file)});
        if (!p.waitForFinished(20000))
            return false;
        decoded = QString::fromUtf8(p.readAllStandardOutput());
        // The first detailed timing is the preferred one.
        const int dtd = decoded.indexOf("DTD 1:");
        return dtd >= 0 && decoded.mid(dtd, 40).contains("1280x720");
    };
    EXPECT_TRUE(tickUntil(holds1280x720, 3000)) << decoded.toStdString();
}

} // namespace
} // namespace kel::test
