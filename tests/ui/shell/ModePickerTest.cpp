#include "ui/support/ShellFixture.h"

#include "params/ApplyGate.h"
#include "params/RamLayout.h"
#include "params/global.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/ModePicker.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/PanelKeys.h"
#include "ui/shell/TIP.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QVariant>

#include <cstring>

namespace kel::test {
namespace {

const QString kHighlight = "background-color:transparent;border-radius:5px;border:2px solid rgb(255,171,84);";
const QString kFrameClicked = "background-color: #00D65B;border-radius:5px;";

class ModePickerTest : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        g_page_focus = PageFocus::MainWindow;
        for (auto& slot : ram().UserModeSlot)
            slot[0] = slot[1] = 0xFF;
    }
    void saveSlot(int s, uint8_t fill)
    {
        uint8_t* slot = ram().UserModeSlot[s];
        slot[0] = slot[1] = 0xAA;
        std::memset(slot + 2, fill, 3200);
    }
    // Tools column shown, focus on the recall (2) or save (3) tool, OK.
    void openPicker(bool save)
    {
        g_mainwindow->on_tools_clicked();
        for (int i = 0; i < (save ? 3 : 2); ++i)
            key(PanelKeys::kRight);
        key(PanelKeys::kOk);
    }
    QWidget* panel() const { return g_mainwindow->picker()->panel(); }
    // The highlighted slot, or -1.
    int highlighted() const
    {
        int found = -1;
        for (int i = 0; i < 16; ++i) {
            auto* b = panel()->findChild<QPushButton*>(QString::number(i));
            if (b && b->styleSheet() == kHighlight)
                found = found < 0 ? i : 99;
        }
        return found;
    }
};

TEST_F(ModePickerTest, RecallStepsThroughTheSavedSlotsOnlyAndSaveWraps)
{
    saveSlot(3, 1);
    saveSlot(9, 2);
    struct Case {
        bool save;
        int startAt;
        std::vector<std::pair<int, int>> moves; // key, expected slot
    };
    const Case cases[] = {
        {false, 3, {{PanelKeys::kRight, 9}, {PanelKeys::kRight, 3}, {PanelKeys::kLeft, 9}}},
        {true, 3, {{PanelKeys::kLeft, 2}, {PanelKeys::kLeft, 1}, {PanelKeys::kLeft, 0}, {PanelKeys::kLeft, 15},
                   {PanelKeys::kRight, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.save);
        g_mainwindow->menulist_init();
        openPicker(c.save);
        ASSERT_TRUE(g_mainwindow->picker()->shown());
        EXPECT_EQ(g_mainwindow->mode_select, c.startAt);
        EXPECT_EQ(highlighted(), c.startAt);
        EXPECT_EQ(iconOf(c.save ? "toolButton4" : "toolButton3"),
                  c.save ? ":/png/en_save.png" : ":/png/en_call.png");
        EXPECT_EQ(find("label_pointer")->geometry(), QRect(281, c.save ? 188 : 148, 9, 12));
        for (auto [code, want] : c.moves) {
            key(code);
            EXPECT_EQ(g_mainwindow->mode_select, want);
            EXPECT_EQ(highlighted(), want);
        }
        if (!c.save)
            screenshot("mode_picker_recall");
        key(PanelKeys::kBack);
        EXPECT_FALSE(g_mainwindow->picker()->shown());
        EXPECT_EQ(iconOf("toolButton3"), ":/png/en_uncall.png");
        EXPECT_EQ(iconOf("toolButton4"), ":/png/en_unsave.png");
        key(PanelKeys::kBack);
    }
}

// A recall copies the slot into the block, marks the mode in use, clears a
// pending save and reopens on the slot; the notice shows once after the
// chip's broadcast.
TEST_F(ModePickerTest, RecallCopiesTheModeAndTheNoticeShowsOnce)
{
    saveSlot(5, 0x33);
    setU16(RamLayout::kUsermodeSaveReq, 4);
    openPicker(false);
    ASSERT_EQ(g_mainwindow->mode_select, 5);
    key(PanelKeys::kOk);
    EXPECT_EQ(u16(RamLayout::kCurrentUserMode), 6);
    EXPECT_EQ(u16(RamLayout::kUsermodeSaveReq), 0);
    EXPECT_EQ(ram().RamBlock[896], 0x33);
    EXPECT_EQ(ram().RamBlock[4095], 0x33);
    EXPECT_EQ(highlighted(), 5);
    EXPECT_EQ(panel()->findChild<QWidget*>("mode_frame5")->styleSheet(), kFrameClicked);
    auto* badge = panel()->findChild<QWidget*>("mode_frame5")->findChild<QLabel*>("mode_using");
    EXPECT_TRUE(badge->isVisibleTo(panel()));
    EXPECT_EQ(badge->text(), "Using");
    screenshot("mode_picker_recalled");
    int shown = 0;
    run({[this]() { EXPECT_EQ(simChipPass(), 1); },
         [&]() {
             shown += g_tip->isVisible();
             tick(300);
         },
         [&]() {
             EXPECT_FALSE(g_tip->isVisible());
             ram().test_signal(1); // a later broadcast shows nothing
         },
         [&]() { shown += g_tip->isVisible(); }});
    EXPECT_EQ(shown, 1);
}

TEST_F(ModePickerTest, SaveRequestIsServedIntoTheModeFile)
{
    openPicker(true);
    for (int i = 0; i < 2; ++i)
        key(PanelKeys::kRight);
    ASSERT_EQ(g_mainwindow->mode_select, 2);
    ram().RamBlock[1000] = 0x5C;
    key(PanelKeys::kOk);
    EXPECT_EQ(u16(RamLayout::kUsermodeSaveReq), 3);
    EXPECT_EQ(g_mainwindow->notice_pending, 1);
    run({[this]() { simChipPass(); }, [this]() { tick(300); }});
    EXPECT_TRUE(ram().KelUserModeSaved(2));
    EXPECT_EQ(u16(RamLayout::kCurrentUserMode), 3);
    QFile file(QString::fromStdString(hostPath("/data/modes/custom_mode3")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_EQ(bytes.size(), 4096);
    EXPECT_EQ(uint8_t(bytes[1000 - 894]), 0x5C);
}

// Without a saved mode a recall changes only the clicked slot's colour;
// the slot clicked before goes back to its resting colour.
TEST_F(ModePickerTest, RecallOfEmptySlotsMovesOnlyTheClickedColour)
{
    const QString empty = "background-color: #B2B2B2;border-radius:5px;";
    openPicker(false);
    EXPECT_EQ(panel()->geometry(), QRect(11, 6, 270, 230));
    EXPECT_EQ(panel()->findChild<QLabel*>("label_mode_title")->text(), "User mode invocation");
    EXPECT_EQ(panel()->findChild<QWidget*>("mode_frame6")->geometry(), QRect(15 + 63 * 2, 33 + 45, 50, 40));
    panel()->findChild<QPushButton*>("2")->click();
    EXPECT_EQ(panel()->findChild<QWidget*>("mode_frame2")->styleSheet(), kFrameClicked);
    panel()->findChild<QPushButton*>("6")->click();
    EXPECT_EQ(panel()->findChild<QWidget*>("mode_frame6")->styleSheet(), kFrameClicked);
    EXPECT_EQ(panel()->findChild<QWidget*>("mode_frame2")->styleSheet(), empty);
    EXPECT_EQ(u16(RamLayout::kCurrentUserMode), 0);
    EXPECT_EQ(g_mainwindow->notice_pending, 0);
}

// A click on a slot button rebuilds the picker from inside that button's
// clicked(); the old panel goes later (the sanitizer build checks this).
TEST_F(ModePickerTest, ClickingASlotButtonRebuildsWithoutDestroyingIt)
{
    saveSlot(7, 0x11);
    openPicker(false);
    QWidget* before = panel();
    panel()->findChild<QPushButton*>("7")->click();
    EXPECT_NE(panel(), before);
    EXPECT_EQ(u16(RamLayout::kCurrentUserMode), 8);
    settle();
    EXPECT_TRUE(g_mainwindow->picker()->shown());
}

} // namespace
} // namespace kel::test
