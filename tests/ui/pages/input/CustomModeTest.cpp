#include "ui/support/ShellFixture.h"

#include "params/ApplyGate.h"
#include "params/RamLayout.h"
#include "params/global.h"
#include "ui/pages/input/CustomMode.h"
#include "ui/pages/registerPageMakers.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/PanelKeys.h"
#include "ui/shell/ShellGlobals.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>

#include <algorithm>
#include <cstring>

namespace kel::test {
namespace {

constexpr size_t kShift = 894; // slot byte = block byte - 894

class CustomModeTest : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        registerPageMakers();
        g_page_focus = PageFocus::MainWindow;
        for (auto& slot : ram().UserModeSlot)
            slot[0] = slot[1] = 0xFF;
    }
    // Slot s holds the block as it is now.
    uint8_t* saveSlot(int s)
    {
        uint8_t* slot = ram().UserModeSlot[s];
        slot[0] = slot[1] = 0xAA;
        std::memcpy(slot + 2, ram().RamBlock + 896, 3200);
        return slot;
    }
    static void setSlotU16(uint8_t* slot, size_t blockOffset, uint16_t v)
    {
        RamLayout::setU16(slot, blockOffset - kShift, v);
    }
    void writeFile(const std::string& logical, const std::string& text)
    {
        QFile f(QString::fromStdString(hostPath(logical)));
        QDir().mkpath(QFileInfo(f).absolutePath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text.c_str());
    }
    void open() { PageOpener::open(PageFocus::CustomMode); }
    CustomMode* page() const { return g_custommode; }
    QString text(const char* name) const { return qobject_cast<QLabel*>(find(name))->text(); }
    bool shown(const char* name) const { return find(name)->isVisibleTo(page()); }
    QComboBox* box() const { return page()->findChild<QComboBox*>("kelcontrol"); }
    // The preview labels of that name, in creation order.
    QList<QLabel*> previewLabels(const char* name) const
    {
        return page()->preview()->findChildren<QLabel*>(name, Qt::FindDirectChildrenOnly);
    }
};

TEST_F(CustomModeTest, OpensOnTheModeInUseWithItsIdAndBadge)
{
    saveSlot(4);
    setU16(RamLayout::kCurrentUserMode, 5);
    open();
    ASSERT_NE(page(), nullptr);
    EXPECT_EQ(g_page_focus, PageFocus::CustomMode);
    EXPECT_EQ(page()->selectedSlot(), 4);
    EXPECT_EQ(box()->currentText(), "MODE 5");
    EXPECT_EQ(box()->count(), 16);
    EXPECT_EQ(text("label_ID"), "ID:5");
    EXPECT_TRUE(shown("label_using"));
    EXPECT_EQ(text("label_using"), "Using");
    screenshot("custom_mode_windows");
}

TEST_F(CustomModeTest, SlotsWrapAndOkOnAnEmptySlotDoesNothing)
{
    open();
    EXPECT_EQ(page()->selectedSlot(), 0);
    key(PanelKeys::kLeft);
    EXPECT_EQ(page()->selectedSlot(), 15);
    EXPECT_EQ(text("label_ID"), "ID:16");
    key(PanelKeys::kRight);
    EXPECT_EQ(page()->selectedSlot(), 0);
    key(PanelKeys::kOk);
    EXPECT_FALSE(page()->inActionRow());
    // An empty slot: only its number, its name and the empty-slot text.
    EXPECT_TRUE(shown("label_blank"));
    EXPECT_EQ(text("label_blank"), "Usermode does not exist");
    EXPECT_EQ(text("label_name"), "Name:Mode1");
    for (const char* hidden : {"label_LED", "label_brightness", "Button_use", "Button_delete", "Button_more",
                               "label_using"})
        EXPECT_FALSE(shown(hidden)) << hidden;
    EXPECT_EQ(page()->preview(), nullptr);
}

TEST_F(CustomModeTest, ActionRowOffersMoreOnlyForAModeWithItsOwnOsd)
{
    struct Case {
        uint16_t osd;
        int leftFromUse;
        int rightFromDelete;
    };
    for (const Case& c : {Case{0, 1, 0}, Case{1, 2, 2}}) {
        SCOPED_TRACE(c.osd);
        setSlotU16(saveSlot(0), RamLayout::kOsdEnable, c.osd);
        open();
        EXPECT_EQ(shown("Button_more"), c.osd != 0);
        key(PanelKeys::kOk);
        ASSERT_TRUE(page()->inActionRow());
        EXPECT_EQ(page()->focusedAction(), 0);
        key(PanelKeys::kLeft);
        EXPECT_EQ(page()->focusedAction(), c.leftFromUse);
        key(PanelKeys::kRight);
        key(PanelKeys::kRight);
        key(PanelKeys::kRight);
        EXPECT_EQ(page()->focusedAction(), c.rightFromDelete);
        page()->closePage();
        settle();
    }
}

// Use recalls the slot once and leaves a pending save; the badge follows
// at the next redraw.
TEST_F(CustomModeTest, UseRecallsTheSlotAndTheBadgeFollowsAtTheNextRedraw)
{
    uint8_t* slot = saveSlot(2);
    slot[2 + 1000] = 0x77;
    setU16(RamLayout::kUsermodeSaveReq, 9);
    open();
    key(PanelKeys::kRight);
    key(PanelKeys::kRight);
    EXPECT_FALSE(shown("label_using"));
    key(PanelKeys::kOk);
    key(PanelKeys::kOk); // Use
    EXPECT_FALSE(page()->inActionRow());
    EXPECT_EQ(ApplyGate::instance().c331_apply_flag.load(), 1);
    EXPECT_EQ(u16(RamLayout::kCurrentUserMode), 3);
    EXPECT_EQ(u16(RamLayout::kUsermodeSaveReq), 9);
    EXPECT_EQ(ram().RamBlock[1896], 0x77);
    EXPECT_FALSE(shown("label_using"));
    key(PanelKeys::kLeft);
    key(PanelKeys::kRight);
    EXPECT_TRUE(shown("label_using"));
}

TEST_F(CustomModeTest, DeletingTheModeInUseShowsTheEmptySlotAtOnce)
{
    saveSlot(0);
    setU16(RamLayout::kCurrentUserMode, 1);
    open();
    key(PanelKeys::kOk);
    key(PanelKeys::kRight);
    key(PanelKeys::kOk); // Delete
    EXPECT_FALSE(ram().KelUserModeSaved(0));
    EXPECT_TRUE(shown("label_blank"));
    EXPECT_FALSE(shown("Button_use"));
    EXPECT_EQ(u16(RamLayout::kCurrentUserMode), 1);
    const auto cmds = commands();
    EXPECT_NE(std::find(cmds.begin(), cmds.end(), "rm  -rf  /data/modes/custom_mode1"), cmds.end());
}

TEST_F(CustomModeTest, BackInTheActionRowRedrawsTheWindows)
{
    setSlotU16(saveSlot(0), RamLayout::kOsdEnable, 1);
    open();
    key(PanelKeys::kOk);
    key(PanelKeys::kLeft); // More: the OSD view
    EXPECT_EQ(previewLabels("row_number_label").size(), 0);
    key(PanelKeys::kBack);
    EXPECT_FALSE(page()->inActionRow());
    EXPECT_EQ(previewLabels("row_number_label").size(), 6);
    EXPECT_EQ(g_page_focus, PageFocus::CustomMode);
}

// Back leaves for a new home screen after a Mode-key visit, else for the
// main menu; the Mode key itself changes nothing here.
TEST_F(CustomModeTest, BackDependsOnHowThePageWasOpenedAndModeDoesNothing)
{
    for (uint8_t shortcut : {0, 1}) {
        SCOPED_TRACE(int(shortcut));
        g_mode_shortcut_key = shortcut;
        open();
        CustomMode* before = page();
        key(PanelKeys::kRight);
        key(PanelKeys::kMode);
        EXPECT_EQ(page(), before);
        EXPECT_EQ(page()->selectedSlot(), 1);
        EXPECT_EQ(g_page_focus, PageFocus::CustomMode);
        key(PanelKeys::kBack);
        EXPECT_EQ(page(), nullptr);
        EXPECT_EQ(g_mode_shortcut_key, 0);
        EXPECT_EQ(g_page_focus, shortcut ? PageFocus::LockWindow : PageFocus::MainWindow);
        EXPECT_EQ(g_lockwindow != nullptr, shortcut == 1);
        settle();
    }
}

TEST_F(CustomModeTest, ALanguageChangeKeepsTheSlotNames)
{
    setU16(RamLayout::kLcdLanguage, 1);
    syncShadow();
    open();
    setU16(RamLayout::kLcdLanguage, 0);
    page()->syncUpdate(1);
    EXPECT_EQ(text("label_title"), QString::fromUtf8("用户模式"));
    EXPECT_EQ(box()->itemText(0), "MODE 1");
}

// ---- preview ----

TEST_F(CustomModeTest, WindowViewShowsEachWindowWithItsCropRowStateAndPlace)
{
    // Crop-table row 2 holds crop 3 of HDMI2 (first case) or crop 1 of
    // HDMI2 (second case): the name follows the row, "_Crop3" either way.
    for (auto [number, suffix] : {std::pair<int, const char*>{3, "_Crop3"}, {1, "_Crop3"}}) {
        SCOPED_TRACE(suffix);
        uint8_t* slot = saveSlot(0);
        setSlotU16(slot, RamLayout::cropRow(2), uint16_t(0x8000 | (number - 1) << 8 | 3));
        const size_t w4 = RamLayout::imageRecord(4);
        setSlotU16(slot, w4 + RamLayout::kImgEnable, 1);
        setSlotU16(slot, w4 + RamLayout::kImgSelector, 0x8002);
        setSlotU16(slot, w4 + RamLayout::kImgX, 100);
        setSlotU16(slot, w4 + RamLayout::kImgY, 50);
        setSlotU16(slot, w4 + RamLayout::kImgW, 640);
        setSlotU16(slot, w4 + RamLayout::kImgH, 360);
        setSlotU16(slot, RamLayout::imageRecord(1) + RamLayout::kImgEnable, 0);
        open();
        const auto badges = previewLabels("row_number_label");
        const auto sources = previewLabels("row_source_label");
        const auto places = previewLabels("row_geometry_label");
        ASSERT_EQ(badges.size(), 6);
        EXPECT_EQ(badges[4]->geometry(), QRect(145, 32, 24, 24));
        EXPECT_EQ(badges[4]->text(), "5");
        EXPECT_EQ(badges[4]->styleSheet(), "background-color: #32CC4C;");
        EXPECT_EQ(badges[0]->styleSheet(), "background-color: #D5E5FF;");
        EXPECT_EQ(sources[4]->geometry(), QRect(171, 32, 100, 12));
        EXPECT_EQ(sources[4]->text(), QString("HDMI2") + suffix + " ON");
        EXPECT_EQ(places[4]->geometry(), QRect(171, 46, 140, 12));
        EXPECT_EQ(places[4]->text(), "[100,50]640x360");
        EXPECT_TRUE(sources[1]->text().endsWith(" OFF"));
        EXPECT_EQ(places[0]->text(), "[0,0]1920x1080");
        page()->closePage();
        settle();
    }
}

TEST_F(CustomModeTest, SummaryShowsTheSlotsOwnSettingsAndAnElidedAlias)
{
    uint8_t* slot = saveSlot(0);
    setSlotU16(slot, RamLayout::kLedWidth, 1024);
    setSlotU16(slot, RamLayout::kLedHeight, 512);
    setSlotU16(slot, RamLayout::kQualityBright, 80);
    setSlotU16(slot, RamLayout::kQualityContrast, 40);
    writeFile("/data/configs/alias.json",
              R"({"namelist":{"usermode":[{"id":0,"valid":"on","name":"A very long name for the first user mode of the wall"}]}})");
    open();
    EXPECT_EQ(text("label_LED"), "LED size:1024x512");
    EXPECT_EQ(text("label_brightness"), "Bri:80 CTRST:40 Volume:OFF");
    const QString name = text("label_name");
    EXPECT_TRUE(name.startsWith("Name:A very")) << name.toStdString();
    EXPECT_TRUE(name.endsWith(QChar(0x2026))) << name.toStdString();
    EXPECT_LE(QFontMetrics(find("label_name")->font()).horizontalAdvance(name), 171);
}

// The sound state is the sign of the volume word of the slot's audio
// window; an audio window of 6 or more reads window 0.
TEST_F(CustomModeTest, SummarySoundFollowsTheSlotsAudioWindow)
{
    const struct {
        uint16_t audio;
        int sounding;
        const char* state;
    } cases[] = {{2, 2, "ON"}, {2, 0, "OFF"}, {7, 0, "ON"}, {7, 2, "OFF"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.audio * 10 + c.sounding);
        uint8_t* slot = saveSlot(0);
        setSlotU16(slot, RamLayout::kAudioImageIndex, c.audio);
        for (int w = 0; w < RamLayout::kWindows; ++w)
            setSlotU16(slot, RamLayout::imageRecord(w) + RamLayout::kImgVolume, w == c.sounding ? 0x80FF : 0);
        open();
        EXPECT_TRUE(text("label_brightness").endsWith(QString(" Volume:") + c.state)) << text("label_brightness").toStdString();
        page()->closePage();
        settle();
    }
}

// More on mode 10 reads MO0a.json: its numbers, at most three lines of its
// text, and only colours of the form 0x and six hex digits.
TEST_F(CustomModeTest, OsdViewReadsTheModesOwnMenuFile)
{
    struct Case {
        const char* back;
        const char* font;
        const char* texts;
        const char* style;
        const char* shown;
    };
    const Case cases[] = {
        {"0x102030", "0xA0b0C0", "l1\\nl2\\nl3\\nl4\\nl5", "background-color:#102030;color:#A0b0C0;", "l1\nl2\nl3"},
        {"0x1020", "red;}QWidget{background:url(x)", "l1\\nl2\\nl3", "", "l1\nl2\nl3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.back);
        setSlotU16(saveSlot(9), RamLayout::kOsdEnable, 1);
        writeFile("/data/modes/MO0a.json",
                  std::string(R"({"name":"m","osdcount":1,"oactcount":0,"menu":[{"type":0,"status":"on",
                  "pos":{"x":0,"y":0,"w":320,"h":32},"act":{"effect":4,"speed":5,"staytime":0},
                  "backpara":{"enable":"on","color":")") + c.back + R"("},
                  "fontpara":{"startx":1,"starty":2,"fontw":32,"fonth":32,"wordspace":0,"verticalspace":0,"color":")" +
                      c.font + R"("},"texts":[")" + c.texts + R"("]}]})");
        setU16(RamLayout::kCurrentUserMode, 10);
        open();
        key(PanelKeys::kOk);
        key(PanelKeys::kLeft); // More
        ASSERT_EQ(page()->focusedAction(), 2);
        const auto params = previewLabels("row_source_label");
        const auto sample = previewLabels("row_geometry_label");
        ASSERT_EQ(params.size(), 1);
        ASSERT_EQ(sample.size(), 1);
        EXPECT_EQ(params[0]->text(),
                  "osd [x:0,y:0,w:320,h:32] font size:32*32\nspace [h:0,v:0] char[x:1,y:2] speed:5,effect:move left");
        EXPECT_EQ(sample[0]->styleSheet(), c.style);
        EXPECT_EQ(sample[0]->text(), c.shown);
        if (c.style[0])
            screenshot("custom_mode_osd");
        page()->closePage();
        settle();
    }
}

} // namespace
} // namespace kel::test
