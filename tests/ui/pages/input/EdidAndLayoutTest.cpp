#include "InputPageFixture.h"

#include "params/SyncReason.h"
#include "ui/pages/input/EDIDset.h"
#include "ui/pages/input/ImageLayout.h"
#include "ui/pages/input/InputChoose.h"

#include <QComboBox>
#include <QLineEdit>
#include <QDir>
#include <QFile>

namespace kel::test {
namespace {

using K = PanelKeys;

class EdidPageTest : public InputPageFixture {
protected:
    void SetUp() override
    {
        InputPageFixture::SetUp();
        g_page_focus = PageFocus::InputChoose;
    }
    Step open()
    {
        return []() { PageOpener::open(PageFocus::EDIDset); };
    }
    uint16_t record(int source, int word) const { return u16(kEdidRecords + 6 * source + 2 * word); }
};

TEST_F(EdidPageTest, Hdmi3At1280x720IsStoredThroughTheHandOff)
{
    g_page_focus = PageFocus::MainWindow;
    run({[]() { PageOpener::open(PageFocus::InputChoose); }, keys({K::kLeft, K::kOk}),
         [this]() {
             ASSERT_EQ(g_page_focus, PageFocus::EDIDset);
             key(K::kRight);
             key(K::kRight);
             EXPECT_EQ(g_edidset->shownSource(), 4);
             EXPECT_EQ(textOf("source_summary"), "3840x2160@60Hz");
             key(K::kOk);
             EXPECT_EQ(g_edidset->state(), EDIDset::Rows);
             key(K::kOk);
         },
         type("1280"), keys({K::kRight, K::kOk}), type("720"),
         [this]() {
             EXPECT_EQ(textOf("label_edid_source"), "EDID source:HDMI3");
             key(K::kLeft);
             key(K::kLeft); // the width row wraps to Save
             EXPECT_EQ(g_edidset->row(), EDIDset::RowSave);
             screenshot("edid_form");
             key(K::kOk);
             EXPECT_EQ(record(4, 0), 1280);
             EXPECT_EQ(record(4, 1), 720);
             EXPECT_EQ(record(4, 2), 60);
             EXPECT_EQ(flag(), 1);
             EXPECT_EQ(g_edidset->state(), EDIDset::List);
             EXPECT_EQ(textOf("source_summary"), "1280x720@60Hz");
             key(K::kBack);
             EXPECT_EQ(g_page_focus, PageFocus::InputChoose);
         }});
}

TEST_F(EdidPageTest, SizesAnEdidCannotHoldAreRefusedAndTheRecordKept)
{
    const struct {
        int row;
        const char* text;
    } cases[] = {{EDIDset::RowW, "0"}, {EDIDset::RowH, "4096"}, {EDIDset::RowW, "40000"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        clearFlag();
        run({open(), keys({K::kOk}), [this, c]() {
                 if (c.row == EDIDset::RowH)
                     key(K::kRight);
                 key(K::kOk);
             },
             type(c.text),
             [this, c]() {
                 for (int i = c.row; i >= 0; --i)
                     key(K::kLeft); // to Save
                 key(K::kOk);
                 EXPECT_EQ(g_edidset->state(), EDIDset::Rows);
                 EXPECT_EQ(g_edidset->row(), c.row);
                 EXPECT_EQ(record(2, 0), 1920);
                 EXPECT_EQ(record(2, 1), 1080);
                 EXPECT_EQ(flag(), 0);
             }});
    }
    const struct {
        const char* text;
        int value;
    } parsed[] = {{"", 0}, {"abc", 0}, {"4095", 4095}, {"1", 1}, {"-5", 0}};
    for (const auto& p : parsed)
        EXPECT_EQ(EDIDset::parseSize(p.text), p.value) << p.text;
}

TEST_F(EdidPageTest, RefreshChoiceTogglesAndBackRestoresIt)
{
    setU16(kEdidRecords + 6 * 2 + 4, 50);
    run({open(), keys({K::kOk}), [this]() {
             EXPECT_EQ(textOf("label_rate"), "50");
             key(K::kRight);
             key(K::kRight);
             key(K::kOk); // the refresh choice
             EXPECT_TRUE(styleOf("label_rate").contains("rgb(255,0,0)"));
             screenshot("edid_refresh_choice");
             key(K::kLeft);
             EXPECT_EQ(textOf("label_rate"), "60");
             key(K::kRight);
             EXPECT_EQ(textOf("label_rate"), "30");
             key(K::kLeft);
             key(K::kBack); // restores the value shown on entering
             EXPECT_EQ(textOf("label_rate"), "30");
             EXPECT_TRUE(styleOf("label_rate").contains("rgb(255,171,84)"));
             EXPECT_EQ(g_edidset->state(), EDIDset::Rows);
             // Delete closes the form as Cancel does.
             key(K::kRight);
             key(K::kOk);
             EXPECT_EQ(g_edidset->state(), EDIDset::List);
             EXPECT_TRUE(find("frame_add")->isHidden());
             EXPECT_EQ(u16(kEdidRecords + 6 * 2 + 4), 50);
             EXPECT_EQ(flag(), 0);
         }});
}

TEST_F(EdidPageTest, AnotherWritersChangeRedrawsTheBoxOnlyInTheList)
{
    syncShadow();
    run({open(), [this]() {
             setU16(kEdidRecords + 6 * 2, 1280);
             ram().test_signal(SYNC_PARA);
             EXPECT_EQ(textOf("source_summary"), "1280x1080@60Hz");
             key(K::kOk);
             setU16(kEdidRecords + 6 * 2, 1440);
             ram().test_signal(SYNC_PARA);
             EXPECT_EQ(textOf("source_summary"), "1280x1080@60Hz");
             EXPECT_EQ(qobject_cast<QLineEdit*>(find("lineEdit_W"))->text(), "1280");
         }});
}

class LayoutPageTest : public InputPageFixture {
protected:
    void SetUp() override
    {
        InputPageFixture::SetUp();
        g_page_focus = PageFocus::Option;
        QObject::connect(store_.get(), &KelRamPara::sig_update_para, [this](int r) { reasons.push_back(r); });
    }
    Step open()
    {
        return []() { PageOpener::open(PageFocus::ImageLayout); };
    }
    static int comboItem() { return qobject_cast<QComboBox*>(find("comboBox_P2P"))->currentIndex(); }
    std::vector<int> reasons;
};

TEST_F(LayoutPageTest, LeftAndRightWrapAndMoveTheCurrentWindowEvenWhenOff)
{
    run({open(), [this]() {
             EXPECT_EQ(g_imagelayout->selected(), 0);
             key(K::kLeft);
             EXPECT_EQ(g_imagelayout->selected(), 5);
             // Window 5 is off; the change pass keeps it while this page is in front.
             EXPECT_EQ(g_image_current, 5);
             EXPECT_EQ(reasons, std::vector<int>{SYNC_PARA});
             EXPECT_EQ(find("frame_image")->geometry(), QRect(7 + 51 * 5, 39, 51, 49));
             EXPECT_EQ(textOf("image_state"), "Image state:OFF");
             key(K::kRight);
             EXPECT_EQ(g_imagelayout->selected(), 0);
             EXPECT_EQ(g_image_current, 0);
             EXPECT_EQ(textOf("image_state"), "Image state:ON");
         }});
}

TEST_F(LayoutPageTest, PanelShowsNameSourceStateModeAndMirror)
{
    setU16(windowAt(2), 2);          // any non-zero word is on
    setU16(windowAt(2) + 4, 1);      // mirrored left to right
    setU16(windowAt(2) + 18, 0x100); // point to point
    setU16(windowAt(2) + 22, 8);
    setU16(windowAt(3) + 18, 0x100);
    setU16(windowAt(3) + 22, 3);     // no item of its own
    run({open(), keys({K::kRight, K::kRight}), [this]() {
             EXPECT_EQ(textOf("image_name"), "Name:Image3");
             EXPECT_EQ(textOf("image_source"), "Source:HDMI2");
             EXPECT_EQ(textOf("image_state"), "Image state:ON");
             EXPECT_EQ(comboItem(), 2);
             EXPECT_EQ(iconOf("mirror2"), ":/png/mirror2_on.png");
             EXPECT_EQ(iconOf("mirror1"), ":/png/mirror1_off.png");
             EXPECT_EQ(qobject_cast<QLineEdit*>(find("lineEdit_W"))->text(), "1920");
             screenshot("image_layout");
             key(K::kRight);
             EXPECT_EQ(comboItem(), 2); // mode 3 keeps the item
             key(K::kRight);
             EXPECT_EQ(comboItem(), 0);
         }});
}

TEST_F(LayoutPageTest, AWindowAliasIsElided)
{
    const QString dir = QString::fromStdString(root()) + "/data/configs";
    QDir().mkpath(dir);
    QFile f(dir + "/alias.json");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(R"({"namelist":{"win":[{"id":0,"valid":"on","name":"A very long window name for the wall"}]}})");
    f.close();
    run({open(), [this]() {
             const QString name = textOf("image_name");
             EXPECT_TRUE(name.startsWith("Name:A very")) << name.toStdString();
             EXPECT_TRUE(name.endsWith(QChar(0x2026))) << name.toStdString();
         }});
}

} // namespace
} // namespace kel::test
