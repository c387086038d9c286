#include "ui/support/ShellFixture.h"

#include "params/RamLayout.h"
#include "params/global.h"
#include "ui/shell/L10n.h"
#include "ui/shell/LockWindow.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/ModePicker.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/PanelFields.h"
#include "ui/shell/PageBase.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/PageTable.h"
#include "ui/shell/PanelKeys.h"
#include "ui/shell/PlaceholderPage.h"
#include "ui/shell/NumberKeyboard.h"
#include "ui/shell/ShellGlobals.h"
#include "ui/shell/TIP.h"
#include "ui/shell/TextFit.h"
#include "ui/shell/WrappedLabel.h"
#include "ui/pages/registerPageMakers.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFontMetricsF>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QStackedWidget>
#include <QTextDocument>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>

namespace kel::test {
namespace {

const char* const kLangNames[5] = {"zh", "en", "ru", "vn", "tw"};

const int kCanvasMargin = 40;

// Texts that cannot lie whole in their fixed fields even at 7 pixels, the
// smallest legible size: labels show them elided with "…", choice boxes
// cut them at their right end.
const struct CannotFit {
    const char* parent; // the start of its parent's name
    const char* object;
    const char* text;
} kCannotFit[] = {
    // The crop editor's 30-pixel word box: 7 px needs about 38.
    {"frame_add", "label_crop", "Обрезать:"},
    // The screen layout's 65-pixel field: 7 px needs about 70.
    {"frame", "comboBox_P2P", "Nối ngang HD3,HD4"},
    {"frame", "comboBox_P2P", "Ghép dọc HD3,HD4"},
    // The in-use badges, whose styles fix 7 px: the word needs 46 to 51
    // px, the input choice's badge is 30 wide and the mode picker's 36
    // (a second line would fall under the slot's highlight).
    {"source_frame", "label_using", "Использовать"},
    {"mode_frame", "mode_using", "Использовать"},
};

// The text as shown, whole or elided from the listed text.
bool cannotFit(const QWidget* widget, const QString& text)
{
    const QChar ellipsis(0x2026);
    for (const CannotFit& c : kCannotFit) {
        const QString full = QString::fromUtf8(c.text);
        if (widget->objectName() == c.object && widget->parentWidget() &&
            widget->parentWidget()->objectName().startsWith(c.parent) &&
            (text == full || (text.endsWith(ellipsis) && full.startsWith(text.chopped(1)))))
            return true;
    }
    return false;
}

// A text drawn unclipped in the widget's font (or the one given), alignment
// and wrapping into a box of `inner`, on a canvas larger by a margin on
// every side; a WrappedLabel draws its own lines.
QImage drawnText(const QWidget* widget, const QString& text, const QSize& inner, int flags, QColor ground, QColor pen,
                 const QFont* font = nullptr)
{
    QImage img(inner.width() + 2 * kCanvasMargin, inner.height() + 2 * kCanvasMargin, QImage::Format_ARGB32);
    img.fill(ground);
    // A QImage counts 72 dots per inch; the widget's points are the screen's.
    img.setDotsPerMeterX(qRound(widget->logicalDpiX() / 0.0254));
    img.setDotsPerMeterY(qRound(widget->logicalDpiY() / 0.0254));
    QPainter p(&img);
    p.setFont(font ? *font : widget->font());
    p.setPen(pen);
    const QRect box(kCanvasMargin, kCanvasMargin, inner.width(), inner.height());
    if (const auto* wrapped = qobject_cast<const WrappedLabel*>(widget))
        wrapped->drawText(p, box);
    else
        p.drawText(box, flags | Qt::TextDontClip, text);
    return img;
}

// The ink that falls outside the box the text is shown in: what the panel
// would cut off.
int inkOutside(const QWidget* widget, const QString& text, const QSize& inner, int flags, const QFont* font = nullptr)
{
    const QImage img = drawnText(widget, text, inner, flags, Qt::transparent, Qt::black, font);
    const QRect box(kCanvasMargin, kCanvasMargin, inner.width(), inner.height());
    int outside = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            outside += !box.contains(x, y) && qAlpha(img.pixel(x, y)) > 96;
    return outside;
}

// The ink a label draws in its rightmost columns, as the label draws it.
int inkAtRightEdge(QLabel* label, int columns)
{
    const QRect contents = label->contentsRect();
    const QImage img = label->grab(contents).toImage();
    const QRgb ground = img.pixel(0, 0);
    int ink = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = img.width() - columns; x < img.width(); ++x)
            ink += std::abs(qGreen(img.pixel(x, y)) - qGreen(ground)) > 96;
    return ink;
}

// The pixel size the widget's font draws at.
qreal pixels(const QWidget* widget)
{
    const QFont font = widget->font();
    return font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF() * widget->logicalDpiY() / 72.0;
}

// Whether a text shrunk below its widget's nominal font would also lie
// whole one step larger: it was shrunk where its field had room.
bool shrunkWithRoom(const QWidget* widget, const QString& text, const QSize& inner, int flags)
{
    // A widget shown in turns in other looks (a focus ring's) is fitted to
    // the tightest of them, which its present look may not be.
    const QVariant nominal = widget->property("nominalFont");
    if (!nominal.isValid() || (flags & Qt::TextWordWrap) || text.contains(QLatin1Char('\n')) ||
        !widget->property("textFitLooks").toStringList().isEmpty())
        return false;
    QFont larger = widget->font();
    if (larger.pixelSize() > 0)
        larger.setPixelSize(larger.pixelSize() + 1);
    else
        larger.setPointSizeF(larger.pointSizeF() + 0.5);
    const QFont full = nominal.value<QFont>();
    if (full.pixelSize() > 0 ? larger.pixelSize() > full.pixelSize() : larger.pointSizeF() > full.pointSizeF() + 0.01)
        return false;
    return QFontMetricsF(larger).horizontalAdvance(text) <= inner.width() &&
           inkOutside(widget, text, inner, flags, &larger) == 0;
}

// A text whole and legible: nothing cut outside the named exceptions, at
// least 7 pixels, and shrunk only as far as its field needs.
void expectLegible(const QWidget* widget, const QString& text, const QSize& inner, int flags, const std::string& where)
{
    const std::string said = where + " " + widget->objectName().toStdString() + " \"" + text.toStdString() + "\" at " +
                             std::to_string(pixels(widget)) + " px";
    if (cannotFit(widget, text))
        return;
    EXPECT_EQ(inkOutside(widget, text, inner, flags), 0) << said;
    EXPECT_GE(pixels(widget), 6.99) << said;
    EXPECT_FALSE(shrunkWithRoom(widget, text, inner, flags)) << said << ": shrunk with room";
}

int inkOutside(const QLabel* label)
{
    return inkOutside(label, label->text(), TextFit::textBox(label),
                      int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0));
}

// Where a text's ink lies in an image, inside a margin, seen against the
// colour at (margin, margin); counted from the image's corner.
QRect inkRect(const QImage& img, int margin)
{
    const QRgb ground = img.pixel(margin, margin);
    QRect ink;
    for (int y = margin; y < img.height() - margin; ++y)
        for (int x = margin; x < img.width() - margin; ++x) {
            const QRgb c = img.pixel(x, y);
            if (std::abs(qRed(c) - qRed(ground)) + std::abs(qGreen(c) - qGreen(ground)) +
                    std::abs(qBlue(c) - qBlue(ground)) + std::abs(qAlpha(c) - qAlpha(ground)) >
                200)
                ink |= QRect(x, y, 1, 1);
        }
    return ink;
}

int inkWidth(const QImage& img, int margin)
{
    return inkRect(img, margin).width();
}

// Where a label's text puts its ink, drawn alone, in the label's
// coordinates.
QRect textInk(const QLabel* label)
{
    const QRect contents = label->contentsRect();
    const QImage img = drawnText(label, label->text(), contents.size(), int(label->alignment()), Qt::black, Qt::white);
    return inkRect(img, 0).translated(contents.topLeft() - QPoint(kCanvasMargin, kCanvasMargin));
}

// Whether the widget, as its style draws it, shows the text whole: its
// ink inside the border is as wide as the text's drawn unclipped (2 pixels
// of smoothing aside). It catches a style that clips the text where
// TextFit did not measure.
bool shownWhole(QWidget* widget, const QString& text)
{
    const QSize line(QFontMetrics(widget->font()).horizontalAdvance(text), 20);
    const QImage whole = drawnText(widget, text, line, Qt::AlignCenter, Qt::black, Qt::white);
    return inkWidth(widget->grab().toImage(), 2) >= inkWidth(whole, 0) - 2;
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

    void expectLabelsFit(QWidget* page, const char* where, int lang, bool someLabel = true)
    {
        const std::string at = std::string(where) + " " + kLangNames[lang];
        int checked = 0;
        for (QLabel* label : page->findChildren<QLabel*>()) {
            if (label->text().isEmpty() || !label->isVisibleTo(page))
                continue;
            if (label->textFormat() == Qt::RichText || Qt::mightBeRichText(label->text()))
                continue; // drawn by the text document, not as one line
            ++checked;
            expectLegible(label, label->text(), TextFit::textBox(label),
                          int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0), at);
        }
        for (QAbstractButton* button : page->findChildren<QAbstractButton*>()) {
            if (button->text().isEmpty() || !button->icon().isNull() || !button->isVisibleTo(page))
                continue;
            expectLegible(button, button->text(), TextFit::textBox(button), Qt::AlignCenter, at);
            EXPECT_TRUE(shownWhole(button, button->text())) << where << " " << button->text().toStdString();
        }
        for (QComboBox* box : page->findChildren<QComboBox*>()) {
            if (!box->isVisibleTo(page))
                continue;
            // Each choice as the box shows it: fitted when it is set.
            const int shown = box->currentIndex();
            for (int i = 0; i < box->count(); ++i) {
                box->setCurrentIndex(i);
                expectLegible(box, box->itemText(i), TextFit::textBox(box), Qt::AlignLeft | Qt::AlignVCenter, at);
                if (!cannotFit(box, box->itemText(i))) {
                    EXPECT_TRUE(shownWhole(box, box->itemText(i))) << where << " " << box->itemText(i).toStdString();
                }
            }
            box->setCurrentIndex(shown);
        }
        if (someLabel) {
            EXPECT_GT(checked, 0) << where;
        }
    }

    // The longest texts the pages show: every input with a 4K signal, HDMI1
    // with its fortieth crop (4K too) shown by window 0, and user mode 1
    // saved with three-digit values and in use.
    void longestPageTexts()
    {
        for (int source = 0; source < 6; ++source)
            setSignal(source, 3840, 2160);
        const size_t row = RamLayout::cropRow(0);
        setU16(row, static_cast<uint16_t>(RamLayout::kRowInUse | (39 << 8) | 2));
        setU16(row + 6, 3840);
        setU16(row + 8, 2160);
        setU16(RamLayout::imageRecord(0) + RamLayout::kImgSelector, 2);
        setU16(PanelFields::kQualityBright, 100);
        setU16(PanelFields::kQualityContrast, 100);
        uint8_t* slot = ram().UserModeSlot[0];
        slot[0] = slot[1] = 0xAA;
        std::memcpy(slot + 2, ram().RamBlock + 896, 3200);
        ram().RamBlock[RamLayout::kCurrentUserMode] = 1;
        syncShadow();
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
// language shrinks the label's font rather than being cut. Each page is
// seen as it opens, with its editor open where it has one, and the number
// keyboard with the access code's title.
TEST_F(PanelLookTest, EveryPageLabelHoldsItsTextInEveryLanguage)
{
    registerPageMakers();
    longestPageTexts();
    // Keys that open a page's editor, and the Backs that close it again.
    const std::map<uint8_t, std::pair<std::vector<int>, int>> editors = {
        {PageFocus::InputCut, {{PanelKeys::kOk, PanelKeys::kOk}, 2}},
        {PageFocus::EDIDset, {{PanelKeys::kOk}, 1}},
    };
    for (int lang = 0; lang < 5; ++lang) {
        setLanguage(lang);
        for (uint8_t focus = PageFocus::MachineState; focus < PageFocus::Count; ++focus) {
            g_page_focus = PageOpener::parentOf(focus);
            const std::string where = "page " + std::to_string(focus);
            const auto check = [this, focus, lang](const std::string& at) {
                PageBase* page = PageTable::at(focus);
                ASSERT_NE(page, nullptr) << at;
                expectLabelsFit(page->pageWidget(), at.c_str(), lang);
                // The control tool sets the language while the page is open:
                // the page fits its texts again, now on widgets already shown.
                setU16(RamLayout::kLcdLanguage, uint16_t(lang));
                RamLayout::setU16(ram().RamShadow, RamLayout::kLcdLanguage, uint16_t(lang + 1));
                page->syncUpdate(0);
                syncShadow();
                expectLabelsFit(page->pageWidget(), (at + " again").c_str(), lang);
                // A page made of steps holds each step's texts too.
                for (QStackedWidget* stack : page->pageWidget()->findChildren<QStackedWidget*>()) {
                    const int shown = stack->currentIndex();
                    for (int i = 0; i < stack->count(); ++i) {
                        stack->setCurrentIndex(i);
                        const std::string step = at + " step page " + std::to_string(i);
                        expectLabelsFit(stack->widget(i), step.c_str(), lang, false);
                    }
                    stack->setCurrentIndex(shown);
                }
            };
            if (focus == PageFocus::CustomMode) { // shown without a loop
                PageOpener::open(focus);
                check(where);
                PageTable::at(focus)->closePage();
                settle();
                continue;
            }
            std::vector<Step> steps{[focus]() { PageOpener::open(focus); },
                                    [this, focus, lang, check, where, &editors]() {
                                        check(where);
                                        const auto editor = editors.find(focus);
                                        if (editor == editors.end())
                                            return;
                                        for (int code : editor->second.first)
                                            key(code);
                                        check(where + " editor");
                                        // The rate's word ends short of the rate's box, which
                                        // starts where the label ends.
                                        if (auto* freq = PageTable::at(focus)->pageWidget()->findChild<QLabel*>(
                                                "label_freq")) {
                                            EXPECT_EQ(inkAtRightEdge(freq, 2), 0)
                                                << kLangNames[lang] << " " << freq->text().toStdString();
                                        }
                                        for (int i = 0; i < editor->second.second; ++i)
                                            key(PanelKeys::kBack);
                                    }};
            if (focus == PageFocus::AdvancedOption) {
                steps.push_back(keys({PanelKeys::kLeft, PanelKeys::kOk})); // the access code
                steps.push_back([this, lang]() {
                    expectLabelsFit(g_numberkeyboard, "number keyboard", lang);
                    key(PanelKeys::kBack);
                });
            }
            steps.push_back(keys({PanelKeys::kBack}));
            run(steps);
        }
    }
}

// The texts drawn outside the page walk: the in-use badge of the main
// menu's mode picker, the USB notices, and the window boxes showing crops
// of every input, whose whole names tell them apart.
TEST_F(PanelLookTest, PickerBadgeNoticesAndCropBoxesAreWholeInEveryLanguage)
{
    registerPageMakers();
    uint8_t* slot = ram().UserModeSlot[0];
    slot[0] = slot[1] = 0xAA;
    std::memcpy(slot + 2, ram().RamBlock + 896, 3200);
    ram().RamBlock[RamLayout::kCurrentUserMode] = 1;
    for (int w = 1; w < RamLayout::kWindows; ++w)
        setU16(RamLayout::imageRecord(w), 1);
    syncShadow();
    for (int lang = 0; lang < 5; ++lang) {
        setLanguage(lang);
        const std::string at = kLangNames[lang];
        g_page_focus = PageFocus::MainWindow;
        g_mainwindow->language_changed();
        g_mainwindow->on_tools_clicked();
        for (int i = 0; i < 2; ++i)
            key(PanelKeys::kRight);
        key(PanelKeys::kOk); // recall: the picker with slot 1 in use
        QWidget* panel = g_mainwindow->picker()->panel();
        ASSERT_NE(panel, nullptr);
        int badges = 0;
        for (QLabel* badge : panel->findChildren<QLabel*>("mode_using")) {
            if (!badge->isVisibleTo(panel))
                continue;
            ++badges;
            EXPECT_TRUE(badge->text() == L10n::pick(L10n::kUsing) || cannotFit(badge, badge->text()))
                << at << " " << badge->text().toStdString();
            expectLegible(badge, badge->text(), badge->contentsRect().size(), int(badge->alignment()), "picker " + at);
        }
        EXPECT_EQ(badges, 1) << at;
        key(PanelKeys::kBack);
        g_mainwindow->on_tools_clicked();

        for (int kind : {3, 4, 5}) {
            run({[kind]() { g_tip->tip_create(kind); },
                 [&at, kind]() {
                     const auto* text = g_tip->findChild<QLabel*>("tip_text");
                     EXPECT_NE(text, nullptr);
                     if (text)
                         expectLegible(text, text->text(), text->contentsRect().size(),
                                       int(text->alignment()) | Qt::TextWordWrap,
                                       "notice " + std::to_string(kind) + " " + at);
                     g_tip->hide();
                     g_tip_flag = 0;
                 }});
        }

        // Window w shows crop 1, then crop 40, of input w (from crop row w):
        // the same crop of two inputs, and the widest number.
        const char* const inputs[RamLayout::kWindows] = {"EXT", "DVI", "HDMI1", "HDMI2", "HDMI3", "HDMI4"};
        for (int crop : {1, 40}) {
            for (int w = 0; w < RamLayout::kWindows; ++w) {
                setU16(RamLayout::cropRow(w), static_cast<uint16_t>(RamLayout::kRowInUse | (crop - 1) << 8 | w));
                setU16(RamLayout::imageRecord(w) + RamLayout::kImgSelector, uint16_t(RamLayout::kSelectorCrop | w));
            }
            syncShadow();
            g_page_focus = PageOpener::parentOf(PageFocus::InputChoose);
            run({[]() { PageOpener::open(PageFocus::InputChoose); },
                 [this, &at, &inputs, crop, lang]() {
                     QWidget* page = PageTable::at(PageFocus::InputChoose)->pageWidget();
                     for (int w = 0; w < RamLayout::kWindows; ++w) {
                         const std::string box = "window box " + std::to_string(w + 1) + " " + at;
                         auto* name = page->findChild<QLabel*>(QStringLiteral("image_name%1").arg(w + 1));
                         ASSERT_NE(name, nullptr) << box;
                         EXPECT_EQ(name->text().remove(QLatin1Char('\n')).toStdString(),
                                   QString::asprintf("%s_Crop%d", inputs[w], crop).toStdString())
                             << box;
                         expectLegible(name, name->text(), name->contentsRect().size(), int(name->alignment()), box);
                         // The name lies in its box, which shows its window
                         // number as it does without the name.
                         auto* number = qobject_cast<QLabel*>(name->parentWidget());
                         EXPECT_TRUE(number->rect().contains(name->geometry())) << box;
                         const QRect digits = textInk(number);
                         const QImage shown = number->grab(digits).toImage();
                         name->hide();
                         EXPECT_TRUE(shown == number->grab(digits).toImage()) << box << ": number hidden";
                         name->show();
                     }
                     if (lang == 1)
                         grab(page->findChild<QWidget*>("image_row"), QStringLiteral("crop_boxes_%1").arg(crop));
                 },
                 keys({PanelKeys::kBack})});
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
// The input, crop, EDID, recovery, other-settings and user-mode pages follow
// in English and Russian.
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
    // The pages with the longest texts, in English and Russian, editors open.
    registerPageMakers();
    longestPageTexts();
    const struct {
        uint8_t focus;
        const char* name;
        std::vector<int> keys;
    } pages[] = {
        {PageFocus::InputChoose, "input_choice", {}},
        {PageFocus::InputCut, "input_crop", {PanelKeys::kOk, PanelKeys::kRight}},
        {PageFocus::InputCut, "input_crop_editor", {PanelKeys::kOk, PanelKeys::kOk}},
        {PageFocus::EDIDset, "edid", {PanelKeys::kOk}},
        {PageFocus::rcv_recovery, "recovery", {}},
        {PageFocus::othersetup, "other_settings", {}},
        {PageFocus::CustomMode, "user_mode", {}},
    };
    for (int lang : {1, 2}) {
        setLanguage(lang);
        for (const auto& page : pages) {
            const QString name = QString::fromLatin1(page.name) + "_" + kLangNames[lang];
            g_page_focus = PageOpener::parentOf(page.focus);
            run({[&page]() { PageOpener::open(page.focus); }, keys(page.keys),
                 [this, name]() { EXPECT_FALSE(screenshot(name).isEmpty()); },
                 []() { PageTable::closeAllButMain(); }});
        }
    }
}

} // namespace
} // namespace kel::test
