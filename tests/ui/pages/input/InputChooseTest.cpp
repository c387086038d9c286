#include "InputPageFixture.h"

#include "params/SyncReason.h"
#include "params/SyncUpdate.h"
#include "ui/pages/input/InputChoose.h"
#include "ui/shell/LockWindow.h"
#include "ui/shell/PageTable.h"
#include "ui/shell/TIP.h"

#include <QDir>
#include <QFile>
#include <QFrame>

namespace kel::test {
namespace {

using K = PanelKeys;

class InputChooseTest : public InputPageFixture {
protected:
    Step open()
    {
        return []() { PageOpener::open(PageFocus::InputChoose); };
    }
    static QWidget* grid() { return g_inputchoose ? g_inputchoose->findChild<QFrame*>("frame") : nullptr; }
    static std::vector<QString> entryNames() { return texts(grid(), "entry_name"); }
    static std::vector<QString> entrySizes() { return texts(grid(), "entry_size"); }
    static std::vector<QString> entryStyles()
    {
        std::vector<QString> out;
        for (QFrame* f : childrenNamed<QFrame>(grid(), "source_frame"))
            out.push_back(f->styleSheet());
        return out;
    }
    // The entries on the grid page that carry the in-use badge.
    static std::vector<int> badged()
    {
        std::vector<int> out;
        const auto frames = childrenNamed<QFrame>(grid(), "source_frame");
        for (size_t j = 0; j < frames.size(); ++j) {
            if (frames[j]->findChild<QLabel*>("label_using"))
                out.push_back(static_cast<int>(j));
        }
        return out;
    }
};

const QString kFocusBorder = "#source_frame{border:1px solid #FFAB54;border-radius:5px;}";
const QString kInUseBorder = "#source_frame{border:1px solid #00D65B;border-radius:5px;}";
const QString kRestBorder = "#source_frame{border:1px solid #CCCCCC;border-radius:5px;}";

TEST_F(InputChooseTest, HomeToHdmi2ForWindowZeroStoresAppliesAndStaysOnTheWindow)
{
    openHome();
    ASSERT_EQ(g_page_focus, PageFocus::LockWindow);
    run({keys({K::kOk}), [this]() { EXPECT_EQ(g_page_focus, PageFocus::MainWindow); }, keys({K::kRight, K::kOk}),
         [this]() {
             ASSERT_EQ(g_page_focus, PageFocus::InputChoose);
             ASSERT_NE(g_inputchoose, nullptr);
             screenshot("input_choose_level0");
             key(K::kOk);
             EXPECT_EQ(g_inputchoose->level(), InputChoose::Tabs);
             key(K::kRight);
             screenshot("input_choose_level1");
             key(K::kOk);
             EXPECT_EQ(g_inputchoose->level(), InputChoose::Grid);
             key(K::kOk); // chooses: the notice's loop starts
         },
         [this]() {
             EXPECT_EQ(u16(windowAt(0) + 8), 0x0003);
             EXPECT_EQ(flag(), 1);
             EXPECT_EQ(u16(kCurrentUserMode), 0);
             EXPECT_EQ(g_tip_flag, 1);
             tick(300);
         },
         []() {}, []() {},
         [this]() {
             EXPECT_EQ(g_tip_flag, 0);
             EXPECT_EQ(textOf("image_name1"), "HDMI2");
             EXPECT_EQ(simChipPass(), 1);
             ASSERT_NE(g_inputchoose, nullptr);
             EXPECT_EQ(g_inputchoose->level(), InputChoose::Grid);
             EXPECT_EQ(g_inputchoose->imageIndex(), 0);
             EXPECT_EQ(g_inputchoose->sourceNumber(), 3);
             EXPECT_EQ(ram().shadowU16(windowAt(0) + 8), 0x0003); // the pass went through
             EXPECT_EQ(styleOf("frame1"), "border:1px solid;border-left-color:rgb(71, 119, 255);border-right-color:"
                                          "rgb(71, 119, 255);border-top-color:rgb(71, 119, 255);");
             EXPECT_EQ(find("frame1")->geometry(), QRect(54, 95, 53, 33));
             EXPECT_EQ(entryStyles().at(0), kFocusBorder);
             EXPECT_EQ(badged(), std::vector<int>{0});
             EXPECT_EQ(textOf("label_using"), "Using");
             screenshot("input_choose_level2");
         }});
}

TEST_F(InputChooseTest, OpensOnTheCurrentWindowAndStepsOverTheRowAndButtons)
{
    setU16(windowAt(2), 1);
    g_image_current = 2;
    run({open(), [this]() {
             EXPECT_EQ(g_inputchoose->imageIndex(), 2);
             EXPECT_EQ(g_inputchoose->selection(), 1); // the second box
             key(K::kRight);
             EXPECT_EQ(g_inputchoose->selection(), InputChoose::kButtonInputCut);
             EXPECT_EQ(styleOf("button_inputcut"), "color:rgb(255, 255, 255);border:1px solid rgb(255,171,84);");
             key(K::kRight);
             EXPECT_EQ(g_inputchoose->selection(), InputChoose::kButtonEdid);
             key(K::kRight);
             EXPECT_EQ(g_inputchoose->selection(), 0);
             EXPECT_EQ(g_image_current, 0); // the focused box is the panel's window
             key(K::kLeft);
             EXPECT_EQ(g_inputchoose->selection(), InputChoose::kButtonEdid);
         }});
}

TEST_F(InputChooseTest, GridOfFiveEntriesWrapsBothWays)
{
    for (int i = 0; i < 4; ++i)
        addCrop(2, 0, 0, 100 + i, 50);
    syncShadow();
    run({open(), keys({K::kOk, K::kOk}), [this]() {
             EXPECT_EQ(g_inputchoose->sourceNumber(), 2);
             const struct {
                 int key, page, select;
             } moves[] = {{K::kLeft, 1, 1}, {K::kRight, 0, 0}, {K::kRight, 0, 1}, {K::kRight, 0, 2},
                          {K::kRight, 1, 0}, {K::kRight, 1, 1}, {K::kRight, 0, 0}};
             for (const auto& m : moves) {
                 key(m.key);
                 EXPECT_EQ(g_inputchoose->page(), m.page);
                 EXPECT_EQ(g_inputchoose->selection(), m.select);
             }
             key(K::kLeft);
             EXPECT_EQ(entryNames(), (std::vector<QString>{"HDMI1_crop3", "HDMI1_crop4"}));
             EXPECT_EQ(entrySizes(), (std::vector<QString>{"102x50", "103x50"}));
         }});
}

TEST_F(InputChooseTest, RefreshesFollowVideoCropsAndReason103)
{
    syncShadow();
    run({open(), keys({K::kOk}), [this]() {
             EXPECT_EQ(entrySizes(), std::vector<QString>{"No signal"});
             EXPECT_TRUE(textOf("sourcelistseq0name").contains(">1<"));
             // Another writer: a signal on HDMI1, a crop on HDMI1.
             setVideo(2, 1920, 1080, 60);
             ram().test_signal(SYNC_PARA);
             EXPECT_EQ(g_inputchoose->level(), InputChoose::Tabs);
             EXPECT_EQ(entrySizes(), std::vector<QString>{"1920x1080@60Hz"});
             const CROP_PARA rect{0, 0, 0, 640, 480};
             ram().KelAddNewCrop(2, &rect);
             simChipPass();
             EXPECT_EQ(g_inputchoose->entryCount(2), 2);
             EXPECT_TRUE(textOf("sourcelistseq0name").contains(">2<"));
             // A crop row written behind the bitmap's back: only 103 shows it.
             setU16(cropAt(5), 0x8003);
             syncShadow();
             ram().test_signal(SYNC_FILE_END);
             EXPECT_EQ(g_inputchoose->entryCount(3), 2);
         }});
}

TEST_F(InputChooseTest, BackFromTheTabsShowsTheWindowsOwnInputAgain)
{
    run({open(), keys({K::kOk, K::kRight, K::kRight}), [this]() {
             EXPECT_EQ(g_inputchoose->sourceNumber(), 4);
             key(K::kBack);
             EXPECT_EQ(g_inputchoose->level(), InputChoose::Images);
             EXPECT_EQ(g_inputchoose->sourceNumber(), 2);
             EXPECT_EQ(find("frame1")->geometry(), QRect(1, 95, 53, 33));
         }});
}

// Crops of two inputs added and deleted alternately, so HDMI1's crop 1
// stands in a later row than its crop 2: the window names the crop its
// row holds, on this page and on the home screen.
TEST_F(InputChooseTest, AlternatingCropsOfTwoInputsShowTheCropTheRowHolds)
{
    addCrop(2, 0, 0, 111, 11);   // HDMI1 crop 1, row 0
    addCrop(2, 0, 0, 222, 22);   // HDMI1 crop 2, row 1
    deleteCrop(2, 1);            // row 0 free
    addCrop(3, 0, 0, 333, 33);   // HDMI2 crop 1, row 0
    addCrop(2, 0, 0, 444, 44);   // HDMI1 crop 1 again, row 2
    deleteCrop(3, 1);            // row 0 free again
    addCrop(3, 0, 0, 555, 55);   // HDMI2 crop 1, row 0
    EXPECT_EQ(u16(cropAt(2)), 0x8002);
    syncShadow();
    run({open(), keys({K::kOk, K::kOk, K::kRight, K::kOk}), [this]() { tick(300); }, []() {},
         [this]() {
             EXPECT_EQ(u16(windowAt(0) + 8), 0x8002); // row 2: HDMI1 crop 1
             simChipPass();
             // The box shows the whole name on two lines, as the home
             // screen below shows it on one.
             EXPECT_EQ(textOf("image_name1"), "HDMI1\n_Crop1");
             EXPECT_EQ(entryNames(), (std::vector<QString>{"HDMI1", "HDMI1_crop1", "HDMI1_crop2"}));
             EXPECT_EQ(entrySizes().at(1), "444x44");
             EXPECT_EQ(badged(), std::vector<int>{1});
             // Back to the tabs and in again: the focus starts on the crop in use.
             key(K::kBack);
             key(K::kOk);
             EXPECT_EQ(g_inputchoose->selection(), 1);
             EXPECT_EQ(entryStyles().at(1), kFocusBorder);
             // HDMI2's grid does not mark HDMI1's crop.
             key(K::kBack);
             key(K::kRight);
             EXPECT_TRUE(badged().empty());
             // The window on the input, then on the crop again: the name
             // goes back to the box's corner, then under the number again.
             const std::pair<uint16_t, const char*> shown[] = {{0x0002, "HDMI1"}, {0x8002, "HDMI1\n_Crop1"}};
             for (const auto& [selector, name] : shown) {
                 setU16(windowAt(0) + 8, selector);
                 g_inputchoose->syncUpdate(0);
                 syncShadow();
                 EXPECT_EQ(textOf("image_name1"), name);
                 EXPECT_EQ(find("image_name1")->geometry() == QRect(0, 1, 30, 12), selector == 0x0002) << name;
             }
         }});
    openHome();
    EXPECT_EQ(textOf("source1"), "HDMI1_Crop1");
}

TEST_F(InputChooseTest, AliasMarkupIsShownAsText)
{
    const QString dir = QString::fromStdString(root()) + "/data/configs";
    QDir().mkpath(dir);
    QFile f(dir + "/alias.json");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(R"({"namelist":{"source":[{"id":2,"valid":"on","name":"<b>X</b>"}],)"
            R"("crop":[{"id":0,"valid":"on","name":"<i>c</i>"}]}})");
    f.close();
    addCrop(2, 0, 0, 10, 10);
    run({open(), keys({K::kOk, K::kOk}), [this]() {
             const QString tab = textOf("sourcelistseq0name");
             EXPECT_TRUE(tab.contains("&lt;b&gt;")) << tab.toStdString();
             EXPECT_FALSE(tab.contains("<b>"));
             EXPECT_EQ(entryNames().at(1), "<i>c</i>");
             auto names = childrenNamed<QLabel>(grid(), "entry_name");
             EXPECT_EQ(names.at(1)->textFormat(), Qt::PlainText);
         }});
}

} // namespace
} // namespace kel::test
