#include "ui/support/ShellFixture.h"

#include "params/RamLayout.h"
#include "params/global.h"
#include "ui/shell/LockWindow.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/PanelFields.h"
#include "ui/shell/PageBase.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/PageTable.h"
#include "ui/shell/PanelKeys.h"
#include "ui/shell/PlaceholderPage.h"
#include "ui/pages/registerPageMakers.h"

#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QStackedWidget>
#include <QTextDocument>

namespace kel::test {
namespace {

const char* const kLangNames[5] = {"zh", "en", "ru", "vn", "tw"};

// Draws the label's text in its font, alignment and wrapping onto a canvas
// larger than the label and reports the ink that falls outside the label:
// what the panel would cut off.
int inkOutside(const QLabel* label)
{
    const QRect inner = label->contentsRect();
    const int margin = 40;
    QImage img(inner.width() + 2 * margin, inner.height() + 2 * margin, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    // A QImage counts 72 dots per inch; the label's points are the screen's.
    img.setDotsPerMeterX(qRound(label->logicalDpiX() / 0.0254));
    img.setDotsPerMeterY(qRound(label->logicalDpiY() / 0.0254));
    {
        QPainter p(&img);
        p.setFont(label->font());
        p.setPen(Qt::black);
        // Unclipped, so that what the label would cut lands outside its box.
        const int flags =
            int(label->alignment()) | Qt::TextDontClip | (label->wordWrap() ? Qt::TextWordWrap : 0);
        p.drawText(QRect(margin, margin, inner.width(), inner.height()), flags, label->text());
    }
    const QRect box(margin, margin, inner.width(), inner.height());
    int outside = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            outside += !box.contains(x, y) && qAlpha(img.pixel(x, y)) > 96;
    return outside;
}

class PanelLookTest : public ShellFixture {
protected:
    // The longest texts the home screen holds: a 15-character address,
    // the largest LED size, three-digit values, a 4K timing, windows
    // without signal, black and off.
    void longestTexts()
    {
        g_str_ip = QStringLiteral("192.168.100.199");
        setU16(RamLayout::kLedWidth, 9999);
        setU16(RamLayout::kLedHeight, 9999);
        setU16(PanelFields::kQualityBright, 100);
        setU16(PanelFields::kQualityContrast, 100);
        setSignal(2, 3840, 2160);
        for (int w = 1; w <= 4; ++w) {
            setU16(RamLayout::imageRecord(w), 1);
            setU16(RamLayout::imageRecord(w) + RamLayout::kImgSelector, static_cast<uint16_t>(w == 1 ? 3 : w));
        }
        setU16(RamLayout::imageRecord(4) + RamLayout::kImgFlags, RamLayout::kFlagBlack);
        syncShadow();
    }

    void setSignal(int source, uint16_t width, uint16_t height)
    {
        const size_t info = RamLayout::srcVideoInfo(source);
        setU16(info, width);
        setU16(info + 2, height);
        setU16(info + 4, 60);
    }

    void expectLabelsFit(QWidget* page, const char* where, int lang, const char* skip = nullptr, bool someLabel = true)
    {
        int checked = 0;
        for (QLabel* label : page->findChildren<QLabel*>()) {
            if (label->text().isEmpty() || !label->isVisibleTo(page) || label->objectName() == skip)
                continue;
            if (label->textFormat() == Qt::RichText || Qt::mightBeRichText(label->text()))
                continue; // drawn by the text document, not as one line
            ++checked;
            EXPECT_EQ(inkOutside(label), 0) << where << " " << kLangNames[lang] << " "
                                            << label->objectName().toStdString() << " \""
                                            << label->text().toStdString() << "\" at "
                                            << label->font().pointSizeF() << " pt / " << label->font().pixelSize()
                                            << " px";
        }
        if (someLabel) {
            EXPECT_GT(checked, 0) << where;
        }
    }

    void setLanguage(int lang)
    {
        g_lcd_lang_valid = 0x1F;
        g_language = static_cast<uint8_t>(lang);
    }
};

TEST_F(PanelLookTest, EveryLabelHoldsItsLongestTextInEveryLanguage)
{
    longestTexts();
    for (int lang = 0; lang < 5; ++lang) {
        setLanguage(lang);
        openHome();
        expectLabelsFit(g_lockwindow, "home", lang);
        const QLabel* led = g_lockwindow->findChild<QLabel*>("label_input");
        EXPECT_TRUE(led->text().endsWith("9999 x 9999")) << led->text().toStdString();
        g_lockwindow->close();
        delete g_lockwindow;
        g_mainwindow->language_changed();
        expectLabelsFit(g_mainwindow, "main menu", lang);
        EXPECT_EQ(g_mainwindow->findChild<QLabel*>("label_IPaddr")->text(), "192.168.100.199");
    }
}

// The pages' labels have the sizes of their forms too: a long word of a
// language shrinks the label's font rather than being cut.
TEST_F(PanelLookTest, EveryPageLabelHoldsItsTextInEveryLanguage)
{
    registerPageMakers();
    for (int lang = 0; lang < 5; ++lang) {
        setLanguage(lang);
        for (uint8_t focus = PageFocus::MachineState; focus < PageFocus::Count; ++focus) {
            if (focus == PageFocus::CustomMode)
                continue; // shown without a loop; its labels are checked by its own tests
            g_page_focus = PageOpener::parentOf(focus);
            const std::string where = "page " + std::to_string(focus);
            run({[focus]() { PageOpener::open(focus); },
                 [this, focus, lang, where]() {
                     PageBase* page = PageTable::at(focus);
                     ASSERT_NE(page, nullptr) << where;
                     // The in-use badge's style sheet fixes a 7-pixel font.
                     expectLabelsFit(page->pageWidget(), where.c_str(), lang, "label_using");
                     // A page made of steps holds each step's texts too.
                     for (QStackedWidget* stack : page->pageWidget()->findChildren<QStackedWidget*>()) {
                         const int shown = stack->currentIndex();
                         for (int i = 0; i < stack->count(); ++i) {
                             stack->setCurrentIndex(i);
                             const std::string step = where + " step page " + std::to_string(i);
                             expectLabelsFit(stack->widget(i), step.c_str(), lang, nullptr, false);
                         }
                         stack->setCurrentIndex(shown);
                     }
                     key(PanelKeys::kBack);
                 }});
        }
    }
}

TEST_F(PanelLookTest, AddressesKeepEveryCharacterAndShortTextsKeepTheNominalFont)
{
    g_str_ip = QStringLiteral("10.0.0.1");
    openHome();
    EXPECT_EQ(g_lockwindow->findChild<QLabel*>("label_IPaddr")->font().pointSizeF(), 9.0);
    g_str_ip = QStringLiteral("192.168.100.199");
    g_lockwindow->ip_changed();
    g_mainwindow->ip_changed();
    for (QWidget* page : {static_cast<QWidget*>(g_lockwindow), static_cast<QWidget*>(g_mainwindow)}) {
        const QLabel* ip = page->findChild<QLabel*>("label_IPaddr");
        EXPECT_EQ(ip->text(), "192.168.100.199");
        EXPECT_EQ(inkOutside(ip), 0);
    }
    g_str_ip = QStringLiteral("10.0.0.1");
    g_lockwindow->ip_changed();
    EXPECT_EQ(g_lockwindow->findChild<QLabel*>("label_IPaddr")->font().pointSizeF(), 9.0);
}

TEST_F(PanelLookTest, PlaceholderPagesShowTheirTitleInThePanelLanguage)
{
    struct Case {
        uint8_t focus;
        int lang;
        uint32_t offered;
        const char* title;
    };
    const Case cases[] = {
        {PageFocus::Option, 2, 0x1F, "Настройки"},
        {PageFocus::Option, 1, 0x1F, "Setting"},
        {PageFocus::MachineState, 0, 0x1F, "设备信息"},
        {PageFocus::MachineState, 2, 0x03, "Devices"},
        {PageFocus::InputChoose, 4, 0x1F, "信源切換"},
        {PageFocus::ledset, 3, 0x1F, "Cài đặt LED"},
        {PageFocus::firmware_usbgrade, 1, 0x1F, "USB UPDATE"},
    };
    for (const Case& c : cases) {
        g_language = static_cast<uint8_t>(c.lang);
        g_lcd_lang_valid = c.offered;
        PlaceholderPage page(c.focus);
        const QLabel* title = page.findChild<QLabel*>("label_title");
        ASSERT_NE(title, nullptr);
        EXPECT_EQ(title->text(), QString::fromUtf8(c.title)) << int(c.focus);
        EXPECT_EQ(inkOutside(title), 0) << c.title;
    }
}

// The home screen, the main menu and its tool column in three languages;
// docs/images/ keeps the English home screen and main menu for the README.
TEST_F(PanelLookTest, Screenshots)
{
    g_str_ip = QStringLiteral("192.168.100.199");
    setU16(RamLayout::kLedWidth, 1920);
    setU16(RamLayout::kLedHeight, 1080);
    setSignal(2, 1920, 1080);
    setU16(RamLayout::imageRecord(1), 1);
    setU16(RamLayout::imageRecord(1) + RamLayout::kImgSelector, 1);
    setU16(PanelFields::kQualityBright, 80);
    setU16(PanelFields::kQualityContrast, 50);
    syncShadow();
    for (int lang : {0, 1, 2}) {
        setLanguage(lang);
        const QString suffix = QString::fromLatin1(kLangNames[lang]);
        openHome();
        EXPECT_FALSE(grab(g_lockwindow, "home_" + suffix).isEmpty());
        g_lockwindow->close();
        delete g_lockwindow;
        g_mainwindow->menulist_init(); // the first entry focused, as on arrival
        g_mainwindow->language_changed();
        EXPECT_FALSE(grab(g_mainwindow, "main_menu_" + suffix).isEmpty());
        g_mainwindow->on_tools_clicked();
        EXPECT_TRUE(g_mainwindow->findChild<QWidget*>("widget")->isVisible());
        EXPECT_FALSE(grab(g_mainwindow, "main_menu_tools_" + suffix).isEmpty());
        g_mainwindow->on_tools_clicked();
    }
}

} // namespace
} // namespace kel::test
