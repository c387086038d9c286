#include "ui/support/ShellFixture.h"

#include "params/global.h"
#include "ui/pages/registerPageMakers.h"
#include "ui/shell/LockWindow.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/PageBase.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/PageTable.h"
#include "ui/shell/PanelFields.h"
#include "ui/shell/PanelKeys.h"
#include "ui/shell/ShellGlobals.h"

#include <QApplication>
#include <QTest>
#include <QVariant>

namespace kel::test {
namespace {

using NavigationTest = ShellFixture;

TEST_F(NavigationTest, HomeOkLeadsToMainMenuAndBackToANewHome)
{
    openHome();
    LockWindow* first = g_lockwindow;
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(g_page_focus, PageFocus::LockWindow);
    key(PanelKeys::kOk);
    EXPECT_EQ(g_page_focus, PageFocus::MainWindow);
    settle();
    EXPECT_EQ(g_lockwindow, nullptr);
    key(PanelKeys::kBack2);
    EXPECT_EQ(g_page_focus, PageFocus::LockWindow);
    ASSERT_NE(g_lockwindow, nullptr);
    EXPECT_TRUE(g_lockwindow->isVisible());
    EXPECT_EQ(PageTable::at(PageFocus::LockWindow), static_cast<PageBase*>(g_lockwindow));
}

TEST_F(NavigationTest, OkThenBackWithoutEventsKeepsTheNewHomeScreen)
{
    openHome();
    key(PanelKeys::kOk);
    key(PanelKeys::kBack);
    LockWindow* second = g_lockwindow;
    ASSERT_NE(second, nullptr);
    settle(); // the first home screen is deleted now
    EXPECT_EQ(g_lockwindow, second);
    EXPECT_EQ(PageTable::at(PageFocus::LockWindow), static_cast<PageBase*>(second));
    EXPECT_EQ(g_page_focus, PageFocus::LockWindow);
}

TEST_F(NavigationTest, LeftRightAndBackDoNothingOnTheHomeScreen)
{
    openHome();
    for (int code : {PanelKeys::kLeft, PanelKeys::kRight2, PanelKeys::kBack}) {
        key(code);
        EXPECT_EQ(g_page_focus, PageFocus::LockWindow);
        EXPECT_NE(g_lockwindow, nullptr);
    }
}

TEST_F(NavigationTest, ModeOnHomeOpensUserModePageAndItsBackReturnsHome)
{
    openHome();
    key(PanelKeys::kMode);
    EXPECT_EQ(g_page_focus, PageFocus::CustomMode);
    EXPECT_EQ(g_mode_shortcut_key, 1);
    ASSERT_NE(PageTable::at(PageFocus::CustomMode), nullptr);
    settle();
    EXPECT_EQ(g_lockwindow, nullptr);
    key(PanelKeys::kBack);
    EXPECT_EQ(g_page_focus, PageFocus::LockWindow);
    EXPECT_EQ(g_mode_shortcut_key, 0);
    EXPECT_NE(g_lockwindow, nullptr);
}

TEST_F(NavigationTest, UserModePageFromMenuReturnsToMenu)
{
    g_page_focus = PageFocus::MainWindow;
    g_mainwindow->ui_select = 0;
    key(PanelKeys::kRight);
    key(PanelKeys::kRight);
    key(PanelKeys::kOk); // custommode entry: shown, not modal
    EXPECT_EQ(g_page_focus, PageFocus::CustomMode);
    EXPECT_EQ(g_mode_shortcut_key, 0);
    key(PanelKeys::kBack);
    EXPECT_EQ(g_page_focus, PageFocus::MainWindow);
    EXPECT_EQ(PageTable::at(PageFocus::CustomMode), nullptr);
}

TEST_F(NavigationTest, LockedModeKeyChangesNothing)
{
    openHome();
    setU16(PanelFields::kPanelKeyLock, 1);
    for (int code : {PanelKeys::kMode, PanelKeys::kMode2}) {
        testing::internal::CaptureStdout();
        key(code);
        // The keypad handler logs every key it is given: a locked Mode
        // never reaches it.
        EXPECT_EQ(testing::internal::GetCapturedStdout().find("update_usb_keyEvent"), std::string::npos) << code;
        EXPECT_EQ(g_page_focus, PageFocus::LockWindow);
        EXPECT_EQ(g_mode_shortcut_key, 0);
        EXPECT_EQ(PageTable::at(PageFocus::CustomMode), nullptr);
    }
    testing::internal::CaptureStdout();
    key(PanelKeys::kLeft); // the other keys still reach it
    EXPECT_NE(testing::internal::GetCapturedStdout().find("key = 0x53"), std::string::npos);
}

TEST_F(NavigationTest, ModalPageGetsKeysAndBackReturnsToMenu)
{
    g_page_focus = PageFocus::MainWindow;
    run({
        [this]() { key(PanelKeys::kRight2); key(PanelKeys::kRight); key(PanelKeys::kRight); key(PanelKeys::kOk); },
        [this]() {
            EXPECT_EQ(g_page_focus, PageFocus::Option);
            QWidget* modal = QApplication::activeModalWidget();
            ASSERT_NE(modal, nullptr);
            EXPECT_EQ(modal->objectName(), "Option");
            EXPECT_EQ(modal->pos(), g_mainwindow->pos());
            g_language = 0; // changed while the page is open
            key(PanelKeys::kBack2);
        },
        [this]() {
            EXPECT_EQ(g_page_focus, PageFocus::MainWindow);
            EXPECT_EQ(PageTable::at(PageFocus::Option), nullptr);
            // Back refreshed the menu's texts and icons.
            EXPECT_EQ(g_mainwindow->findChild<QWidget*>("option")->property("iconPath").toString(), ":/png/option.png");
        },
    });
}

TEST_F(NavigationTest, ModeFromAModalPageLeavesOnlyMenuAndUserModePage)
{
    openHome();
    run({
        [this]() { key(PanelKeys::kOk); },
        [this]() { key(PanelKeys::kLeft); key(PanelKeys::kLeft); key(PanelKeys::kLeft); key(PanelKeys::kOk); },
        [this]() {
            ASSERT_EQ(g_page_focus, PageFocus::Option);
            key(PanelKeys::kMode);
        },
        [this]() {
            EXPECT_EQ(g_page_focus, PageFocus::CustomMode);
            EXPECT_EQ(g_mode_shortcut_key, 1);
            EXPECT_EQ(PageTable::at(PageFocus::Option), nullptr);
            EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
            for (int f = 0; f < PageFocus::Count; ++f) {
                if (f != PageFocus::MainWindow && f != PageFocus::CustomMode) {
                    EXPECT_EQ(PageTable::at(f), nullptr) << f;
                }
            }
        },
    });
}

// Three nested modal loops (settings, picture menu, value page): Mode in the
// innermost closes the whole chain, and every loop unwinds.
TEST_F(NavigationTest, ModeThreeLevelsDeepClosesTheWholeChain)
{
    g_page_focus = PageFocus::MainWindow;
    run({
        []() { PageOpener::open(PageFocus::Option); },
        []() { PageOpener::open(PageFocus::ImageQuality); },
        []() { PageOpener::open(PageFocus::quality); },
        [this]() {
            ASSERT_EQ(g_page_focus, PageFocus::quality);
            EXPECT_EQ(QApplication::activeModalWidget()->objectName(), "quality");
            key(PanelKeys::kMode2);
        },
        [this]() {
            EXPECT_EQ(g_page_focus, PageFocus::CustomMode);
            EXPECT_EQ(g_mode_shortcut_key, 1);
            EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
            for (int f : {PageFocus::Option, PageFocus::ImageQuality, PageFocus::quality})
                EXPECT_EQ(PageTable::at(f), nullptr) << f;
            EXPECT_NE(PageTable::at(PageFocus::CustomMode), nullptr);
        },
    });
}

TEST_F(NavigationTest, MouseReleaseOnTheHomeScreenLeavesForTheMenu)
{
    openHome();
    QWidget* container = g_lockwindow->findChild<QWidget*>("widget");
    ASSERT_NE(container, nullptr);
    QTest::mouseClick(container, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    EXPECT_EQ(g_page_focus, PageFocus::MainWindow);
    settle();
    EXPECT_EQ(g_lockwindow, nullptr);
}

TEST_F(NavigationTest, OutsideBackActsOnlyOnThePageInFront)
{
    registerPageMakers(); // the real settings menu
    g_page_focus = PageFocus::MainWindow;
    run({
        []() { PageOpener::open(PageFocus::Option); },
        []() {
            ASSERT_NE(g_option, nullptr);
            g_page_focus = PageFocus::OutputSet; // as if a child were open
            EXPECT_FALSE(PageOpener::backIfInFront(PageFocus::Option));
            EXPECT_NE(PageTable::at(PageFocus::Option), nullptr);
            g_page_focus = PageFocus::Option;
            EXPECT_TRUE(PageOpener::backIfInFront(PageFocus::Option));
        },
        []() {
            EXPECT_EQ(PageTable::at(PageFocus::Option), nullptr);
            EXPECT_EQ(g_page_focus, PageFocus::MainWindow);
            EXPECT_EQ(g_option, nullptr);
            EXPECT_FALSE(PageOpener::backIfInFront(PageFocus::Option));
        },
    });
}

TEST_F(NavigationTest, KeysAreDroppedWhileANoticeIsShown)
{
    openHome();
    g_tip_flag = 1;
    key(PanelKeys::kOk);
    EXPECT_EQ(g_page_focus, PageFocus::LockWindow);
    g_tip_flag = 0;
}

} // namespace
} // namespace kel::test
