#include "ui/support/ShellFixture.h"

#include "params/ApplyGate.h"
#include "params/RamLayout.h"
#include "params/global.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/PanelFields.h"
#include "ui/shell/PanelKeys.h"

#include <QPushButton>
#include <QThread>
#include <QVariant>

#include <thread>

namespace kel::test {
namespace {

const QString kMenuFocus =
    "background-color: rgb(33, 36, 53);border:2px solid rgb(255,171,84);border-radius:10px;padding:2px 4px;";
const QString kMenuRest = "background-color: rgb(33, 36, 53);border:2px;border-radius:10px;padding:2px 4px";
const QString kSmallFocus =
    "background-color: rgb(33, 36, 53);border:1px solid rgb(255,171,84);border-radius:1px;padding:1px 1px";
const QString kSmallRest = "background-color: rgb(33, 36, 53);border:1px;border-radius:1px;padding:1px 1px";

class MainMenuTest : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        g_page_focus = PageFocus::MainWindow;
    }
    QPushButton* button(const char* name) { return g_mainwindow->findChild<QPushButton*>(name); }
    QString style(const char* name) { return button(name)->styleSheet(); }
    QString icon(const char* name) { return button(name)->property("iconPath").toString(); }
};

TEST_F(MainMenuTest, RightWalksTheSixEntriesWithTheirOwnStylesAndWraps)
{
    const char* entries[6] = {"machinestate", "inputchoose", "custommode", "option", "Button_lock", "tools"};
    EXPECT_EQ(style("machinestate"), kMenuFocus);
    for (int i = 1; i <= 6; ++i) {
        key(PanelKeys::kRight);
        const int now = i % 6;
        const int before = i - 1;
        EXPECT_EQ(g_mainwindow->ui_select, now);
        EXPECT_EQ(style(entries[now]), now < 4 ? kMenuFocus : kSmallFocus);
        EXPECT_EQ(style(entries[before]), before < 4 ? kMenuRest : kSmallRest) << entries[before];
    }
    key(PanelKeys::kLeft);
    EXPECT_EQ(g_mainwindow->ui_select, 5);
}

// Each key's two codes leave the same state behind.
TEST_F(MainMenuTest, BothCodesOfEveryKeyActTheSame)
{
    struct Case {
        int first, second;
        std::vector<int> before; // keys that set the scene
    };
    const Case cases[] = {
        {PanelKeys::kLeft, PanelKeys::kLeft2, {}},
        {PanelKeys::kRight, PanelKeys::kRight2, {}},
        {PanelKeys::kOk, PanelKeys::kOk2, {PanelKeys::kLeft}}, // OK on tools: the column opens
        {PanelKeys::kBack, PanelKeys::kBack2, {PanelKeys::kLeft, PanelKeys::kOk}},
        {PanelKeys::kOk, PanelKeys::kOk2, {PanelKeys::kLeft, PanelKeys::kLeft}}, // lock toggles
    };
    for (const Case& c : cases) {
        std::vector<std::tuple<int, bool, uint16_t>> results;
        for (int code : {c.first, c.second}) {
            g_mainwindow->menulist_init();
            if (g_mainwindow->toolsShown())
                g_mainwindow->on_tools_clicked();
            setU16(PanelFields::kPanelKeyLock, 0);
            for (int k : c.before)
                key(k);
            key(code);
            results.emplace_back(g_mainwindow->ui_select, g_mainwindow->toolsShown(),
                                 u16(PanelFields::kPanelKeyLock));
        }
        EXPECT_EQ(results[0], results[1]) << c.first;
    }
}

TEST_F(MainMenuTest, ToolsColumnOpensOnOkAndBackReturnsToTools)
{
    key(PanelKeys::kLeft);
    key(PanelKeys::kOk);
    ASSERT_TRUE(g_mainwindow->toolsShown());
    EXPECT_EQ(g_mainwindow->ui_select, 0);
    EXPECT_EQ(style("toolButton1"), kSmallFocus);
    key(PanelKeys::kLeft);
    EXPECT_EQ(g_mainwindow->ui_select, 3);
    key(PanelKeys::kBack);
    EXPECT_FALSE(g_mainwindow->toolsShown());
    EXPECT_EQ(g_mainwindow->ui_select, 5);
    EXPECT_EQ(style("tools"), kSmallFocus);
    EXPECT_EQ(style("toolButton4"), kSmallRest);
    EXPECT_EQ(g_page_focus, PageFocus::MainWindow);
}

TEST_F(MainMenuTest, LedToolTwiceRestoresFieldAndIcon)
{
    g_mainwindow->on_toolButton1_clicked();
    EXPECT_EQ(icon("toolButton1"), ":/png/en_closeled.png");
    ApplyGate::instance().c331_apply_flag = 0;
    g_mainwindow->on_toolButton1_clicked();
    EXPECT_EQ(icon("toolButton1"), ":/png/en_uncloseled.png");
    ApplyGate::instance().c331_apply_flag = 0;
    g_mainwindow->on_toolButton1_clicked();
    EXPECT_EQ(u16(RamLayout::kLedScreenSwitch), 1);
    EXPECT_EQ(ApplyGate::instance().c331_apply_flag.load(), 1);
    ApplyGate::instance().c331_apply_flag = 0;
    g_mainwindow->on_toolButton1_clicked();
    EXPECT_EQ(u16(RamLayout::kLedScreenSwitch), 0);
    g_mainwindow->language_changed();
    EXPECT_EQ(icon("toolButton1"), ":/png/en_uncloseled.png");
}

TEST_F(MainMenuTest, MuteOnAWindowThatIsOffMovesTheSoundToWindowZero)
{
    setU16(PanelFields::kAudioImageIndex, 3); // window 3 is off by default
    g_mainwindow->on_toolButton2_clicked();
    EXPECT_EQ(u16(PanelFields::kAudioImageIndex), 0);
    const size_t rec = RamLayout::imageRecord(0);
    EXPECT_EQ(ram().RamBlock[rec + 20], 255);
    EXPECT_EQ(ram().RamBlock[rec + 21], 128);
    g_mainwindow->on_toolButton2_clicked();
    EXPECT_EQ(ram().RamBlock[rec + 20], 0);
    EXPECT_EQ(ram().RamBlock[rec + 21], 0);
}

// A host moving the sound to another window changes the mute icon even
// when neither window's own audio bytes changed.
TEST_F(MainMenuTest, RefreshFollowsTheSoundToAnotherWindow)
{
    ram().RamBlock[RamLayout::imageRecord(0) + 21] = 0x80;
    g_mainwindow->para_init();
    syncShadow();
    ASSERT_EQ(icon("toolButton2"), ":/png/en_unslience.png");
    setU16(PanelFields::kAudioImageIndex, 1);
    g_mainwindow->syncUpdate(1);
    EXPECT_EQ(icon("toolButton2"), ":/png/en_slience.png");
}

TEST_F(MainMenuTest, OutOfRangeAudioIndexReadsWindowZero)
{
    setU16(PanelFields::kAudioImageIndex, 255);
    ram().RamBlock[RamLayout::imageRecord(0) + 21] = 0x80;
    g_mainwindow->para_init();
    EXPECT_EQ(icon("toolButton2"), ":/png/en_unslience.png");
}

TEST_F(MainMenuTest, LockButtonLocksModeAndKeypad)
{
    g_mainwindow->on_Button_lock_clicked();
    EXPECT_EQ(u16(PanelFields::kPanelKeyLock), 1);
    EXPECT_EQ(g_mainwindow->l_lock_state, 1);
    EXPECT_EQ(ApplyGate::instance().c331_apply_flag.load(), 0);
    const uint16_t selector = u16(RamLayout::imageRecord(0) + 8);
    key(73); // keypad: source HDMI3
    key(PanelKeys::kMode);
    EXPECT_EQ(u16(RamLayout::imageRecord(0) + 8), selector);
    EXPECT_EQ(g_page_focus, PageFocus::MainWindow);
    g_mainwindow->on_Button_lock_clicked();
    EXPECT_EQ(u16(PanelFields::kPanelKeyLock), 0);
}

TEST_F(MainMenuTest, AnyNonZeroLockValueShowsTheLockedIcon)
{
    setU16(PanelFields::kPanelKeyLock, 2);
    g_mainwindow->para_init();
    EXPECT_EQ(g_mainwindow->l_lock_state, 1);
    EXPECT_EQ(icon("Button_lock"), ":/png/lock.png");
}

// A lock value other than 1 (written by a host) shows locked; one press
// unlocks it, and icon, state and field agree afterwards.
TEST_F(MainMenuTest, LockButtonPressUnlocksAnyNonZeroValue)
{
    setU16(PanelFields::kPanelKeyLock, 2);
    g_mainwindow->para_init();
    g_mainwindow->on_Button_lock_clicked();
    EXPECT_EQ(u16(PanelFields::kPanelKeyLock), 0);
    EXPECT_EQ(g_mainwindow->l_lock_state, 0);
    EXPECT_EQ(icon("Button_lock"), ":/png/unlock.png");
    key(PanelKeys::kMode); // the Mode key works again
    EXPECT_EQ(g_page_focus, PageFocus::CustomMode);
}

TEST_F(MainMenuTest, UpgradeCallsFromAnotherThreadRunInTheGuiThread)
{
    QThread* startThread = nullptr;
    QThread* overThread = nullptr;
    MainWindow::hooks().upgradeStart = [&]() { startThread = QThread::currentThread(); };
    MainWindow::hooks().upgradeOver = [&]() { overThread = QThread::currentThread(); };
    std::thread link([]() {
        g_mainwindow->update_start();
        g_mainwindow->update_over();
    });
    link.join();
    EXPECT_EQ(startThread, nullptr); // queued, not run on the link thread
    settle();
    EXPECT_EQ(startThread, QThread::currentThread());
    EXPECT_EQ(overThread, QThread::currentThread());
}

TEST_F(MainMenuTest, IconsFollowTheLanguageRule)
{
    g_language = 2;
    g_lcd_lang_valid = 0x1001B; // Russian not offered
    g_mainwindow->language_changed();
    EXPECT_EQ(icon("option"), ":/png/en_option.png");
    g_lcd_lang_valid = 0x1001F;
    g_mainwindow->language_changed();
    EXPECT_EQ(button("inputchoose")->iconSize(), QSize(96, 76));
    EXPECT_EQ(icon("option"), ":/png/ru_option.png");
}

TEST_F(MainMenuTest, ScreenshotsInEnglishAndChinese)
{
    g_mainwindow->language_changed();
    EXPECT_FALSE(grab(g_mainwindow, "main_menu_en").isEmpty());
    g_language = 0;
    g_mainwindow->language_changed();
    EXPECT_FALSE(grab(g_mainwindow, "main_menu_zh").isEmpty());
    EXPECT_EQ(g_mainwindow->findChild<QWidget*>("label_IPaddr")->geometry(), QRect(126, 10, 100, 12));
}

} // namespace
} // namespace kel::test
