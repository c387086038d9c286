#include "InputPageFixture.h"

#include "params/SyncReason.h"
#include "ui/pages/input/InputChoose.h"
#include "ui/pages/input/InputCut.h"

#include <QFrame>
#include <QLineEdit>

namespace kel::test {
namespace {

using K = PanelKeys;

class InputCutTest : public InputPageFixture {
protected:
    void SetUp() override
    {
        InputPageFixture::SetUp();
        g_page_focus = PageFocus::Option;
    }
    Step open()
    {
        return []() { PageOpener::open(PageFocus::InputCut); };
    }
    static QWidget* panel() { return g_inputcut ? g_inputcut->findChild<QFrame*>("frame_source") : nullptr; }
    static std::vector<QString> names() { return texts(panel(), "crop_name"); }
    static std::vector<QString> sizes() { return texts(panel(), "crop_size"); }
    static QString field(const char* name)
    {
        auto* f = qobject_cast<QLineEdit*>(find(name));
        return f ? f->text() : QString("<missing>");
    }
    uint16_t cropWord(int row, int word) const { return u16(cropAt(row) + 2 * static_cast<size_t>(word)); }
    // The stored parameter file as the next start-up reads it.
    uint16_t storedWord(size_t off)
    {
        KelRamPara fresh;
        fresh.load();
        return fresh.blockU16(off);
    }
};

const QString kFocusedEntry = "color:rgb(255, 255, 255);background-color: rgb(33, 36, 53);"
                              "border:1px solid rgb(255,171,84);font:10px";

TEST_F(InputCutTest, AddThroughTheKeyboardStoresTheCropAndCountsIt)
{
    run({open(), keys({K::kOk, K::kOk}), [this]() {
             EXPECT_EQ(g_inputcut->state(), InputCut::Adding);
             EXPECT_EQ(textOf("label_change_source"), "Name:HDMI1-Crop-1");
             EXPECT_EQ(styleOf("lineEdit_X"), kFocusedEntry);
             key(K::kOk); // the keyboard for X
         },
         type("100"),
         [this]() {
             EXPECT_EQ(field("lineEdit_X"), "100");
             key(K::kLeft); // X wraps to OK: no delete button while adding
             EXPECT_EQ(styleOf("button_ok"), kFocusedEntry);
             screenshot("input_cut_editor");
             key(K::kOk);
             EXPECT_EQ(g_inputcut->state(), InputCut::List);
             EXPECT_EQ(cropWord(0, 0), 0x8002);
             EXPECT_EQ(cropWord(0, 1), 100);
             EXPECT_EQ(cropWord(0, 2), 0);
             EXPECT_EQ(cropWord(0, 3), 1920);
             EXPECT_EQ(cropWord(0, 4), 1080);
             EXPECT_EQ(flag(), 1);
             EXPECT_TRUE(textOf("sourcelistseq0name").contains(">2<"));
             EXPECT_EQ(names(), (std::vector<QString>{"HDMI1", "HDMI1_crop1"}));
             EXPECT_EQ(sizes(), (std::vector<QString>{"No signal", "1920x1080"}));
             screenshot("input_cut_list");
         }});
}

TEST_F(InputCutTest, EditIsAppliedAndPersisted)
{
    addCrop(2, 10, 20, 640, 360);
    simChipPass();
    clearFlag();
    run({open(), keys({K::kOk, K::kRight, K::kRight, K::kOk}), [this]() {
             EXPECT_EQ(g_inputcut->state(), InputCut::Editing);
             EXPECT_EQ(field("lineEdit_W"), "640");
             EXPECT_EQ(textOf("label_change_source"), "Name:HDMI1-Crop-1");
             key(K::kRight);
             key(K::kRight);
             key(K::kOk);
         },
         type("800"),
         [this]() {
             for (int i = 0; i < 3; ++i)
                 key(K::kLeft); // W, Y, X, then OK
             key(K::kOk);
             EXPECT_EQ(cropWord(0, 3), 800);
             EXPECT_EQ(cropWord(0, 0), 0x8002);
             EXPECT_EQ(flag(), 1);
             EXPECT_EQ(simChipPass(), 1);
             EXPECT_EQ(sizes().at(1), "800x360");
         }});
    EXPECT_EQ(storedWord(cropAt(0) + 6), 800);
}

TEST_F(InputCutTest, DeletingTheCropAWindowShowsMovesTheWindowToItsInput)
{
    addCrop(2, 0, 0, 640, 360);
    addCrop(2, 0, 0, 320, 180);
    setU16(windowAt(0) + 8, 0x8001); // window 0 shows crop 2
    syncShadow();
    run({open(), keys({K::kOk, K::kLeft, K::kOk}), [this]() {
             EXPECT_EQ(textOf("label_change_source"), "Name:HDMI1-Crop-2");
             for (int i = 0; i < 3; ++i)
                 key(K::kLeft); // X, OK, cancel, delete
             EXPECT_EQ(styleOf("button_delete"), kFocusedEntry);
             key(K::kOk);
             EXPECT_EQ(cropWord(1, 0), 0);
             EXPECT_EQ(u16(windowAt(0) + 8), 2);
             EXPECT_EQ(flag(), 1);
             EXPECT_EQ(g_inputcut->state(), InputCut::List);
             EXPECT_EQ(names(), (std::vector<QString>{"HDMI1", "HDMI1_crop1"}));
             // The deleted entry's place is gone: the focus is on the last item.
             EXPECT_EQ(g_inputcut->selection(), 2);
         }});
}

TEST_F(InputCutTest, ZeroEmptyAndOverflowingValuesAreRefused)
{
    const struct {
        int fieldMoves;
        const char* text;
    } cases[] = {{2, "0"}, {3, "0"}, {3, "40000"}, {0, "99999"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        run({open(), keys({K::kOk, K::kOk}), [this, c]() {
                 for (int i = 0; i < c.fieldMoves; ++i)
                     key(K::kRight);
                 key(K::kOk);
             },
             type(c.text),
             [this, c]() {
                 for (int i = c.fieldMoves; i > 0; --i)
                     key(K::kLeft);
                 key(K::kLeft); // OK
                 key(K::kOk);
                 EXPECT_EQ(g_inputcut->state(), InputCut::Adding);
                 EXPECT_EQ(g_inputcut->editorRow(), c.fieldMoves);
                 EXPECT_EQ(ram().KelGetSourceNum(2, 40), 0);
                 EXPECT_EQ(flag(), 0);
             }});
    }
    EXPECT_EQ(InputCut::parseValue("", false), -1);
    EXPECT_EQ(InputCut::parseValue("32767", true), 32767);
    EXPECT_EQ(InputCut::parseValue("0", false), 0);
}

TEST_F(InputCutTest, SixthCropIsAloneOnTheSecondPage)
{
    for (int i = 0; i < 6; ++i)
        addCrop(2, 0, 0, 100 + i, 100);
    run({open(), keys({K::kOk, K::kLeft}), [this]() {
             EXPECT_EQ(g_inputcut->page(), 1);
             EXPECT_EQ(g_inputcut->selection(), 0);
             EXPECT_EQ(names(), std::vector<QString>{"HDMI1_crop6"});
             screenshot("input_cut_page2");
             key(K::kLeft);
             EXPECT_EQ(g_inputcut->page(), 0);
             EXPECT_EQ(g_inputcut->selection(), 6);
             key(K::kRight);
             key(K::kRight);
             EXPECT_EQ(g_inputcut->page(), 0);
             EXPECT_EQ(g_inputcut->selection(), 0); // the add button
         }});
}

TEST_F(InputCutTest, AddingBesideCropsOneAndThreeNamesTheNumberItGets)
{
    addCrop(2, 0, 0, 10, 10);
    addCrop(2, 0, 0, 20, 20);
    addCrop(2, 0, 0, 30, 30);
    deleteCrop(2, 2);
    run({open(), keys({K::kOk, K::kOk}), [this]() {
             EXPECT_EQ(textOf("label_change_source"), "Name:HDMI1-Crop-2");
             key(K::kLeft);
             key(K::kOk);
             EXPECT_EQ(names(), (std::vector<QString>{"HDMI1", "HDMI1_crop1", "HDMI1_crop2", "HDMI1_crop3"}));
             EXPECT_EQ(sizes().at(2), "1920x1080");
         }});
}

TEST_F(InputCutTest, RedrawsOn103AndRenamesTheEditorOnALanguageChange)
{
    syncShadow();
    run({open(), keys({K::kOk, K::kOk}), [this]() {
             setU16(cropAt(7), 0x8002); // a row written behind the bitmap
             syncShadow();
             ram().test_signal(SYNC_FILE_END);
             EXPECT_TRUE(textOf("sourcelistseq0name").contains(">2<"));
             setU16(768, 2); // Russian
             ram().test_signal(SYNC_PARA);
             EXPECT_EQ(textOf("label_change_source"), QString::fromUtf8("Название:HDMI1-Crop-1"));
         }});
}

TEST_F(InputCutTest, BackToTheInputChoicePageShowsTheNewCrops)
{
    g_page_focus = PageFocus::MainWindow;
    run({[]() { PageOpener::open(PageFocus::InputChoose); }, keys({K::kRight, K::kOk}),
         [this]() {
             ASSERT_EQ(g_page_focus, PageFocus::InputCut);
             key(K::kOk);
             key(K::kOk);
             key(K::kLeft);
             key(K::kOk); // adds HDMI1's first crop
             key(K::kBack);
             key(K::kBack);
             EXPECT_EQ(g_page_focus, PageFocus::InputChoose);
             ASSERT_NE(g_inputchoose, nullptr);
             EXPECT_EQ(g_inputchoose->entryCount(2), 2);
             EXPECT_TRUE(textOf("sourcelistseq0name").contains(">2<"));
         }});
}

} // namespace
} // namespace kel::test
