#include "ui/pages/screen/lcdshow.h"

#include "params/KelRamPara.h"
#include "params/global.h"
#include "ui/shell/L10n.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageForm.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/TextFit.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>

namespace {
const char* const kFrameStyle = "#frame{background-color: rgb(16, 16, 28);border:1px solid rgb(255, 255, 255);\n"
                                "border-radius:6px;padding:2px 4px}";
const char* const kLabelStyle = "color:rgb(255,255,255);";

// Ticks of the 10 ms tick stored for each choice; the third is "Never".
const uint32_t kBackTimes[lcdshow::kChoices] = {3000, 6000, 120000};
const uint32_t kLockTimes[lcdshow::kChoices] = {30000, 60000, 120000};

L10n::Texts kTitle = {"液晶显示", "LCD display", "ЖК дисплей", "Màn hình LCD", "液晶顯示"};
L10n::Texts kRowTexts[lcdshow::kRows] = {
    {"返回主界面时长", "To main interface", "Возврат к главному", "Quay lại màn hình chính", "返回主界麵時長"},
    {"自动锁屏", "Auto-screen lock", "Автоблокировка", "Tự đọng khoá màn hình", "自動鎖屏"},
};
L10n::Texts kNever = {"从不", "Never", "Отключить", "Không bao giờ khoá", "從不"};
L10n::Texts kFiveMin = {"5分钟", "5min", "5 мин", "5 phút", "5分鐘"};
L10n::Texts kTenMin = {"10分钟", "10min", "10 мин", "10 phút", "10分鐘"};

int choiceOf(const uint32_t (&times)[lcdshow::kChoices], uint32_t value)
{
    for (int i = 0; i < lcdshow::kChoices; ++i)
        if (times[i] == value)
            return i;
    return 0;
}
} // namespace

lcdshow::lcdshow(QWidget* parent) : QDialog(parent), PageBase(this, PageFocus::lcdshow, "lcdshow")
{
    PageForm::setupPage(this, "lcdshow");
    title_ = PageForm::label(this, "label_LCDshow", QRect(50, 10, 220, 22), "color: rgb(255, 255, 255)");
    title_->setAlignment(Qt::AlignCenter);
    auto* frame = new QFrame(this);
    frame->setObjectName("frame");
    frame->setGeometry(10, 42, 300, 190);
    frame->setStyleSheet(kFrameStyle);
    const char* const labelNames[kRows] = {"label_backmainwindow", "label_autolock"};
    const char* const rowNames[kRows] = {"comboBox_back", "comboBox_lock"};
    for (int r = 0; r < kRows; ++r) {
        rowLabels_[r] = PageForm::label(frame, labelNames[r], QRect(10, 14 + 34 * r, 120, 17), kLabelStyle, 9);
        rows_[r] = new QComboBox(frame);
        rows_[r]->setObjectName(rowNames[r]);
        rows_[r]->setGeometry(180, 14 + 34 * r, 101, 21);
        rows_[r]->setFocusPolicy(Qt::NoFocus);
        PageForm::setPointSize(rows_[r], 9);
        ring_.add(rows_[r], {PageForm::comboStyle("rgb(255,255,255)"), PageForm::comboStyle("rgb(255,171,84)"), {}, {},
                             PageForm::comboStyle("rgb(255,0,0)")});
    }
    para_init();
    ring_.setCurrent(0);
    edit_value_ = choiceOf(kBackTimes, g_back_to_mainwindow_time);
    language_changed();
}

void lcdshow::para_init()
{
    const QString never = L10n::pick(kNever);
    const QStringList back = {QStringLiteral("30"), QStringLiteral("60"), never};
    const QStringList lock = {L10n::pick(kFiveMin), L10n::pick(kTenMin), never};
    rows_[0]->clear();
    rows_[0]->addItems(back);
    rows_[0]->setCurrentIndex(choiceOf(kBackTimes, g_back_to_mainwindow_time));
    rows_[1]->clear();
    rows_[1]->addItems(lock);
    rows_[1]->setCurrentIndex(choiceOf(kLockTimes, g_auto_lock_time));
    for (QComboBox* row : rows_)
        TextFit::fitChoices(row);
}

void lcdshow::language_changed()
{
    title_->setText(L10n::pick(kTitle));
    for (int r = 0; r < kRows; ++r)
        TextFit::setText(rowLabels_[r], L10n::pick(kRowTexts[r]));
}

void lcdshow::syncUpdate(int)
{
    KelRamPara* store = KelRamPara::p_kelrampara_config;
    if (!store || !store->KelLanguageChanged())
        return;
    language_changed();
    para_init();
    ring_.setEditing(false); // an edit in progress ends, nothing stored
}

void lcdshow::on_button_backtolock_clicked()
{
    if (edit_value_ >= 0 && edit_value_ < kChoices)
        g_back_to_mainwindow_time = kBackTimes[edit_value_];
}

void lcdshow::on_button_autolock_clicked()
{
    if (edit_value_ >= 0 && edit_value_ < kChoices)
        g_auto_lock_time = kLockTimes[edit_value_];
}

void lcdshow::stepChoice(int delta)
{
    edit_value_ = (edit_value_ + delta + kChoices) % kChoices;
    rows_[ring_.current()]->setCurrentIndex(edit_value_);
}

void lcdshow::onLeft()
{
    if (ring_.editing())
        stepChoice(-1);
    else
        ring_.step(-1);
}

void lcdshow::onRight()
{
    if (ring_.editing())
        stepChoice(1);
    else
        ring_.step(1);
}

void lcdshow::onOk()
{
    const int row = ring_.current();
    if (!ring_.editing()) {
        edit_value_ = rows_[row]->currentIndex();
        ring_.setEditing(true);
        return;
    }
    ring_.setEditing(false);
    if (row == 0)
        on_button_backtolock_clicked();
    else
        on_button_autolock_clicked();
}

void lcdshow::slot_Button_back_clicked()
{
    returnTo(PageOpener::parentOf(pageFocus()));
}

void lcdshow::clearInstancePointer()
{
    if (g_lcdshow == this)
        g_lcdshow = nullptr;
}
