#include "ui/shell/ModePicker.h"

#include "params/KelRamPara.h"
#include "ui/shell/L10n.h"
#include "ui/shell/PageForm.h"
#include "ui/shell/TextFit.h"

#include <QLabel>
#include <QPushButton>

namespace {
const char* const kPanelStyle =
    "#widget_mode{background-color: rgb(255, 255, 255);border:1px groove gray;border-radius:1px;}";
const char* const kButtonRest = "background-color:transparent;";
const char* const kButtonHighlight = "background-color:transparent;border-radius:5px;border:2px solid rgb(255,171,84);";
const char* const kFrameEmpty = "background-color: #B2B2B2;border-radius:5px;";
const char* const kFrameSaved = "background-color: #212435;border-radius:5px;";
const char* const kFrameClicked = "background-color: #00D65B;border-radius:5px;";
const char* const kNumberStyle = "background-color: #4777FF;color: #FFFFFF;border-radius:3px;font: 7px;";
const char* const kUsingStyle = "color: rgb(255, 255, 255); font: 7px;";

const char* const kRecallTitle[5] = {"用户模式调用", "User mode invocation", "Загрузка настроек", "Điều chỉnh chế độ",
                                     "用戶模式調用"};
const char* const kSaveTitle[5] = {"用户模式保存", "User mode save", "Сохранение настроек", "Chế độ lưu",
                                   "用戶模式保存"};

KelRamPara* ram()
{
    return KelRamPara::p_kelrampara_config;
}
} // namespace

ModePicker::ModePicker(QWidget* host) : QObject(host), host_(host)
{
    arrow_ = new QLabel(host);
    arrow_->setObjectName(QStringLiteral("label_pointer"));
    arrow_->setScaledContents(true);
    PageForm::setPixmap(arrow_, L10n::plainIcon("pointer"));
    arrow_->hide();
}

void ModePicker::draw(bool save, int highlight)
{
    if (panel_) {
        // The clicked slot button may still be emitting: delete it later.
        panel_->hide();
        panel_->setObjectName(QString());
        panel_->deleteLater();
    }
    panel_ = new QWidget(host_);
    panel_->setObjectName(QStringLiteral("widget_mode"));
    panel_->setAttribute(Qt::WA_StyledBackground);
    panel_->setStyleSheet(QString::fromLatin1(kPanelStyle));
    panel_->setGeometry(11, 6, 270, 230);
    QLabel* title = PageForm::label(panel_, "label_mode_title", QRect(10, 5, 210, 28),
                                    QStringLiteral("background-color: rgb(255, 255, 255);"), 9);
    title->setText(L10n::pick(save ? kSaveTitle : kRecallTitle));
    for (int i = 0; i < kSlots; ++i)
        buildSlot(i, save, highlight);
    panel_->show();
    panel_->raise();
    arrow_->setGeometry(281, save ? 188 : 148, 9, 12);
    arrow_->show();
    arrow_->raise();
}

void ModePicker::buildSlot(int i, bool save, int highlight)
{
    const int c = i % 4;
    const int r = i / 4;
    const QRect rect(15 + 63 * c, 33 + 45 * r, 50, 40);
    const bool saved = ram()->KelUserModeSaved(i);
    auto* frame = new QWidget(panel_);
    frame->setObjectName(QStringLiteral("mode_frame%1").arg(i));
    frame->setAttribute(Qt::WA_StyledBackground);
    frame->setGeometry(rect);
    frame->setStyleSheet(QString::fromLatin1(saved ? kFrameSaved : kFrameEmpty));
    frames_[i] = frame;
    QLabel* number = PageForm::label(panel_, nullptr, QRect(rect.topLeft(), QSize(12, 12)),
                                     QString::fromLatin1(kNumberStyle));
    number->setText(QString::number(i + 1));
    number->setAlignment(Qt::AlignCenter);
    const bool inUse = saved && ram()->KelGetCurrentModeIndex() == i + 1;
    QLabel* icon = PageForm::label(frame, "mode_icon", QRect(17, inUse ? 7 : 12, 16, 16), QString());
    icon->setScaledContents(true);
    PageForm::setPixmap(icon, L10n::plainIcon(saved ? "mode_exist" : "mode_blank"));
    QLabel* using_ = PageForm::label(frame, "mode_using", QRect(7, 23, 36, 17), QString::fromLatin1(kUsingStyle));
    using_->setAlignment(Qt::AlignCenter);
    // Its style fixes a 7-pixel font: "Использовать" ends in "…" rather
    // than being cut at both sides (a second line would fall under the
    // slot's highlight).
    TextFit::setElided(using_, L10n::pick(L10n::kUsing));
    using_->setVisible(inUse);
    QPushButton* button = PageForm::button(panel_, QByteArray::number(i).constData(), rect, QString());
    button->setFlat(true); // only its border (when highlighted) is drawn over the slot
    const bool lit = i == highlight && (saved || save);
    button->setStyleSheet(QString::fromLatin1(lit ? kButtonHighlight : kButtonRest));
    connect(button, &QPushButton::clicked, this, [this, i]() { emit slotClicked(i); });
}

void ModePicker::markClicked(int slot)
{
    if (slot >= 0 && slot < kSlots && frames_[slot])
        frames_[slot]->setStyleSheet(QString::fromLatin1(kFrameClicked));
}

void ModePicker::markRest(int slot)
{
    if (slot >= 0 && slot < kSlots && frames_[slot])
        frames_[slot]->setStyleSheet(QString::fromLatin1(ram()->KelUserModeSaved(slot) ? kFrameSaved : kFrameEmpty));
}

void ModePicker::hide()
{
    if (panel_)
        panel_->hide();
    arrow_->hide();
}

bool ModePicker::shown() const
{
    return panel_ && panel_->isVisible();
}
