#include "ui/pages/screen/test_chart.h"

#include "params/ApplyGate.h"
#include "params/KelRamPara.h"
#include "params/RamLayout.h"
#include "ui/shell/L10n.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageForm.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/PagePointers.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace {
const QString kPatternRest = "color: rgb(255, 255, 255);";
const QString kPatternFocus = "border:1px solid rgb(255,171,84);";
const QString kCloseRest =
    "color: rgb(255, 255, 255);background-color:rgb(0,0,0);border:1px solid rgb(255,255,255);";
const QString kCloseFocus =
    "color: rgb(255, 255, 255); background-color:rgb(0,0,0);border:1px solid rgb(255,171,84);";
const char* const kFrameStyle =
    "#frame{background-color: rgb(16, 16, 28);border:0px solid rgb(255, 255, 255);border-radius:6px;padding:2px 4px}";
const char* const kTextStyle = "color:rgb(255,255,255);";

const char* const kNameLabels[test_chart::kPatterns] = {"label_red",   "label_green", "label_blue",  "label_white",
                                                       "label_black", "label_color", "label_hline", "label_wline"};
// x, y, w of each pattern's name label (pictures: four a row, 70 apart).
const QRect kNameRects[test_chart::kPatterns] = {
    {20, 62, 50, 17},  {90, 62, 50, 17},  {160, 62, 50, 17},  {230, 62, 50, 17},
    {20, 136, 50, 17}, {85, 136, 60, 17}, {155, 136, 60, 17}, {220, 136, 70, 17},
};

L10n::Texts kTitle = {"测试图", "Test pattern", "Тестовый образец", "Biểu đồ kiểm tra", "測試圖"};
// Russian and Vietnamese number the patterns ("%d" is the entry's number).
L10n::Texts kNames[test_chart::kPatterns] = {
    {"红色", "Red", "Тест %d", "Kiểm tra %d", "紅色"},
    {"绿色", "Green", "Тест %d", "Kiểm tra %d", "綠色"},
    {"蓝色", "Blue", "Тест %d", "Kiểm tra %d", "藍色"},
    {"白色", "White", "Тест %d", "Kiểm tra %d", "白色"},
    {"黑色", "Black", "Тест %d", "Kiểm tra %d", "黑色"},
    {"色带", "Colour bar", "Тест %d", "Kiểm tra %d", "色帶"},
    {"竖线", "Vertical line", "Тест %d", "Kiểm tra %d", "豎線"},
    {"横线", "Horizontal line", "Тест %d", "Kiểm tra %d", "橫線"},
};
L10n::Texts kClose = {"关闭测试图", "Close", "Закрыть", "Đóng", "關閉測試圖"};
} // namespace

test_chart::test_chart(QWidget* parent) : QDialog(parent), PageBase(this, PageFocus::test_chart, "test_chart")
{
    PageForm::setupPage(this, "test_chart");
    title_ = PageForm::label(this, "label_testimage", QRect(40, 0, 220, 22), kTextStyle, 10);
    title_->setAlignment(Qt::AlignCenter);
    auto* frame = new QFrame(this);
    frame->setObjectName("frame");
    frame->setGeometry(10, 42, 300, 190);
    frame->setStyleSheet(kFrameStyle);
    for (int i = 0; i < kPatterns; ++i) {
        const QRect at(20 + 70 * (i % 4), i < 4 ? 10 : 84, 50, 50);
        QLabel* picture = PageForm::picture(frame, at, QStringLiteral(":/png/img_test%1.png").arg(i + 1));
        picture->setObjectName(QStringLiteral("label_test%1").arg(i + 1));
        picture->setStyleSheet(kPatternRest);
        ring_.add(picture, {kPatternRest, kPatternFocus, {}, {}, {}});
        names_[i] = PageForm::label(frame, kNameLabels[i], kNameRects[i], kTextStyle, 7);
        names_[i]->setAlignment(Qt::AlignCenter);
    }
    close_ = PageForm::button(frame, "Button_closetest", QRect(110, 161, 80, 24),
                              "color:rgb(255,255,255);\nborder:1px solid rgb(255, 255, 255);");
    PageForm::setPointSize(close_, 7);
    ring_.add(close_, {kCloseRest, kCloseFocus, {}, {}, {}});
    // Red has the focus; Close keeps its form style until first focused.
    ring_.setCurrent(0);
    close_->setStyleSheet("color:rgb(255,255,255);\nborder:1px solid rgb(255, 255, 255);");
    language_changed();
}

void test_chart::language_changed()
{
    title_->setText(L10n::pick(kTitle));
    for (int i = 0; i < kPatterns; ++i)
        names_[i]->setText(L10n::pick(kNames[i]).replace(QLatin1String("%d"), QString::number(i + 1)));
    close_->setText(L10n::pick(kClose));
}

void test_chart::syncUpdate(int)
{
    KelRamPara* store = KelRamPara::p_kelrampara_config;
    if (store && store->KelLanguageChanged())
        language_changed();
}

void test_chart::setPattern(uint8_t value)
{
    KelRamPara* store = KelRamPara::p_kelrampara_config;
    if (!store)
        return;
    ApplyGate::instance().apply([store, value] { store->RamBlock[RamLayout::kTestPattern] = value; });
}

void test_chart::slot_Button_on_clicked()
{
    const int at = ring_.current();
    setPattern(at < kPatterns ? uint8_t(at + 1) : 0);
}

void test_chart::slot_Button_back_clicked()
{
    // Written even when no pattern was put on.
    setPattern(0);
    returnTo(PageOpener::parentOf(pageFocus()));
}

void test_chart::onOk()
{
    if (ring_.current() < kPatterns)
        slot_Button_on_clicked();
    else
        slot_Button_back_clicked();
}

void test_chart::clearInstancePointer()
{
    if (g_test_chart == this)
        g_test_chart = nullptr;
}
