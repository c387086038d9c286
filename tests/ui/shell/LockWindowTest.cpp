#include "ui/support/ShellFixture.h"

#include "params/RamLayout.h"
#include "params/global.h"
#include "ui/shell/LockWindow.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/PanelFields.h"

#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QPointer>

namespace kel::test {
namespace {

class LockWindowTest : public ShellFixture {
protected:
    QLabel* label(const QString& name) { return g_lockwindow->findChild<QLabel*>(name); }
    QString source(int row) { return label(QString("source%1").arg(row))->text(); }
    QString state(int row) { return label(QString("state%1").arg(row))->text(); }
    QLabel* box(int row) { return label(QString("box%1").arg(row)); }
    void setSignal(int source, int w, int h, int hz)
    {
        const size_t at = RamLayout::srcVideoInfo(source);
        setU16(at, static_cast<uint16_t>(w));
        setU16(at + 2, static_cast<uint16_t>(h));
        setU16(at + 4, static_cast<uint16_t>(hz));
    }
    void setCropRow(int row, int source, int cropNumber, int w, int h)
    {
        const size_t at = RamLayout::cropRow(row);
        setU16(at, static_cast<uint16_t>(0x8000 | ((cropNumber - 1) << 8) | source));
        setU16(at + 6, static_cast<uint16_t>(w));
        setU16(at + 8, static_cast<uint16_t>(h));
    }
    void writeAlias(const std::string& json)
    {
        QFile f(QString::fromStdString(hostPath("/data/configs/alias.json")));
        QDir().mkpath(QFileInfo(f).absolutePath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(json.c_str());
    }
};

TEST_F(LockWindowTest, DefaultBlockShowsSixBoxesWithWindowOneOnly)
{
    openHome();
    for (int row = 1; row <= 6; ++row) {
        ASSERT_NE(box(row), nullptr);
        EXPECT_EQ(box(row)->text(), QString::number(row));
        EXPECT_EQ(box(row)->mapTo(g_lockwindow, QPoint(0, 0)),
                  QPoint(10 + 155 * ((row - 1) % 2), 84 + 50 * ((row - 1) / 2)));
    }
    EXPECT_EQ(source(1), "HDMI1");
    EXPECT_EQ(state(1), "No signal");
    for (int row = 2; row <= 6; ++row)
        EXPECT_EQ(state(row), "Close");
    EXPECT_NE(box(1)->findChild<QLabel*>("osd_yes"), nullptr);
    EXPECT_EQ(box(2)->findChild<QLabel*>("osd_yes"), nullptr);
    EXPECT_EQ(box(1)->styleSheet(), "background-color: #867AE9;font: 20px");
}

TEST_F(LockWindowTest, TimingAndNoSignalRules)
{
    setSignal(2, 1920, 1080, 60);
    openHome();
    EXPECT_EQ(state(1), "1920x1080@60Hz");
    setSignal(2, 1920, 0, 60);
    g_lockwindow->image_init();
    EXPECT_EQ(state(1), "No signal");
    setSignal(2, 1920, 1080, 0);
    g_lockwindow->image_init();
    EXPECT_EQ(state(1), "No signal");
}

// The crop is named by the row the selector holds: rows out of crop-number
// order must not show another crop.
TEST_F(LockWindowTest, CropWindowShowsTheCropOfItsRow)
{
    setSignal(2, 1920, 1080, 60);
    setCropRow(0, 2, 2, 800, 600);
    setCropRow(1, 3, 1, 640, 480);
    setCropRow(2, 2, 1, 1024, 768);
    setU16(RamLayout::imageRecord(0) + 8, 0x8002);
    openHome();
    EXPECT_EQ(source(1), "HDMI1_Crop1");
    EXPECT_EQ(state(1), "1024x768@60Hz");
    setU16(RamLayout::imageRecord(0) + 8, 0x8000);
    g_lockwindow->image_init();
    EXPECT_EQ(source(1), "HDMI1_Crop2");
    EXPECT_EQ(state(1), "800x600@60Hz");
}

TEST_F(LockWindowTest, CropRowNoLongerInUseShowsSourceWithNoSignal)
{
    setSignal(2, 1920, 1080, 60);
    setU16(RamLayout::cropRow(5), 0x0002);
    setU16(RamLayout::imageRecord(0) + 8, 0x8005);
    openHome();
    EXPECT_EQ(source(1), "HDMI1");
    EXPECT_EQ(state(1), "No signal");
}

TEST_F(LockWindowTest, BlackAndFreezeRules)
{
    setSignal(2, 1920, 1080, 60);
    setU16(RamLayout::imageRecord(1), 1);
    setU16(RamLayout::kLedScreenSwitch, 1);
    openHome();
    EXPECT_EQ(state(1), "Black");
    EXPECT_EQ(state(2), "Black");
    EXPECT_EQ(state(3), "Close");
    EXPECT_EQ(box(1)->findChild<QLabel*>("freeze"), nullptr);
    setU16(RamLayout::kLedScreenSwitch, 2);
    g_lockwindow->image_init();
    EXPECT_EQ(state(1), "1920x1080@60Hz");
    EXPECT_NE(box(1)->findChild<QLabel*>("freeze"), nullptr);
    setU16(RamLayout::kLedScreenSwitch, 0);
    setU16(RamLayout::imageRecord(0) + 18, 1);
    g_lockwindow->image_init();
    EXPECT_EQ(state(1), "Black");
    EXPECT_EQ(box(1)->findChild<QLabel*>("freeze"), nullptr);
}

TEST_F(LockWindowTest, AudioIndexBeyondTheWindowsReadsWindowZero)
{
    ram().RamBlock[RamLayout::imageRecord(0) + 21] = 0x80;
    setU16(PanelFields::kAudioImageIndex, 255);
    openHome();
    EXPECT_TRUE(g_lockwindow->volume_check());
    setU16(PanelFields::kAudioImageIndex, 9);
    EXPECT_TRUE(g_lockwindow->volume_check());
}

// The audio picture follows the window the sound is moved to, even when
// neither window's own audio bytes changed.
TEST_F(LockWindowTest, AudioPictureFollowsTheSoundToAnotherWindow)
{
    const QImage open = QPixmap(":/png/volume_open.png").toImage();
    const QImage closed = QPixmap(":/png/volume_close.png").toImage();
    ASSERT_NE(open, closed);
    ram().RamBlock[RamLayout::imageRecord(0) + 21] = 0x80;
    openHome();
    syncShadow();
    EXPECT_EQ(label("label_volume_icon")->pixmap(Qt::ReturnByValue).toImage(), open);
    setU16(PanelFields::kAudioImageIndex, 1);
    g_lockwindow->syncUpdate(1);
    EXPECT_EQ(label("label_volume_icon")->pixmap(Qt::ReturnByValue).toImage(), closed);
}

TEST_F(LockWindowTest, AliasNamesAreShownAsPlainTextAndElided)
{
    writeAlias(R"({"namelist":{"source":[
        {"id":2,"valid":"on","name":"<b>Stage</b>"},
        {"id":3,"valid":"off","name":"Hidden"},
        {"id":4,"valid":"on","name":""},
        {"id":5,"valid":"on","name":"A very long alias name that cannot fit in the label at all"}]}})");
    for (int w = 1; w <= 3; ++w)
        setU16(RamLayout::imageRecord(w), 1);
    setU16(RamLayout::imageRecord(1) + 8, 3);
    setU16(RamLayout::imageRecord(2) + 8, 4);
    setU16(RamLayout::imageRecord(3) + 8, 5);
    openHome();
    EXPECT_EQ(source(1), "<b>Stage</b>");
    EXPECT_EQ(label("source1")->textFormat(), Qt::PlainText);
    EXPECT_EQ(source(2), "HDMI2");
    EXPECT_EQ(source(3), "HDMI3");
    EXPECT_TRUE(source(4).endsWith(QChar(0x2026))) << source(4).toStdString();
    EXPECT_LE(label("source4")->fontMetrics().horizontalAdvance(source(4)), 206);
}

TEST_F(LockWindowTest, HeaderTextsAndTheirRefresh)
{
    setU16(RamLayout::kLedWidth, 1920);
    setU16(RamLayout::kLedHeight, 1080);
    openHome();
    EXPECT_EQ(label("label_input")->text(), "LED size:1920 x 1080");
    EXPECT_EQ(label("label_input")->geometry(), QRect(31, 10, 160, 22));
    EXPECT_EQ(label("label_IPaddr")->text(), g_str_ip);
    syncShadow();
    setU16(PanelFields::kQualityBright, 42);
    setU16(RamLayout::kLedWidth, 3840);
    g_lockwindow->syncUpdate(1);
    EXPECT_EQ(label("label_bright")->text(), "42");
    EXPECT_EQ(label("label_input")->text(), "LED size:3840 x 1080");
}

TEST_F(LockWindowTest, LanguageNotOfferedFallsBackToEnglish)
{
    g_language = 2;
    g_lcd_lang_valid = 0x1001B;
    openHome();
    EXPECT_EQ(label("label_input")->text().left(9), "LED size:");
    EXPECT_EQ(state(2), "Close");
    g_lcd_lang_valid = 0x1001F;
    g_lockwindow->language_changed();
    EXPECT_EQ(state(2), QString::fromUtf8("Откл"));
}

// A refresh keeps the panel while nothing it shows changed (a change
// elsewhere in the block); a change it shows replaces it at once.
TEST_F(LockWindowTest, RefreshReplacesThePanelOnlyWhenItsRowsChange)
{
    openHome();
    const QPointer<QFrame> panel = g_lockwindow->windowPanel();
    setU16(RamLayout::kWindowFades, 7);
    for (int i = 0; i < 5; ++i)
        g_lockwindow->syncUpdate(1);
    EXPECT_FALSE(panel.isNull());
    setSignal(2, 1280, 720, 50);
    g_lockwindow->syncUpdate(1);
    EXPECT_EQ(state(1), "1280x720@50Hz");
    EXPECT_EQ(g_lockwindow->findChildren<QFrame*>("window_panel").size(), 1);
}

TEST_F(LockWindowTest, ScreenshotsInEnglishAndChinese)
{
    setSignal(2, 1920, 1080, 60);
    setU16(RamLayout::kLedWidth, 1920);
    setU16(RamLayout::kLedHeight, 1080);
    openHome();
    EXPECT_FALSE(grab(g_lockwindow, "lock_window_en").isEmpty());
    g_language = 0;
    g_lockwindow->language_changed();
    EXPECT_EQ(label("label_input")->text(), QString::fromUtf8("LED屏:1920 x 1080"));
    EXPECT_EQ(state(2), QString::fromUtf8("未开启"));
    EXPECT_FALSE(grab(g_lockwindow, "lock_window_zh").isEmpty());
}

} // namespace
} // namespace kel::test
