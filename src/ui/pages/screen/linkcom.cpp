#include "ui/pages/screen/linkcom.h"

#include "params/KelRamPara.h"
#include "ui/shell/L10n.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageForm.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/PagePointers.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace {
const char* const kFrameStyle = "#frame\n{background-color: rgb(16, 16, 28);border:1px solid rgb(255, 255, 255);\n"
                                "border-radius:6px;padding:2px 4px}";
const char* const kLabelStyle = "color:rgb(255,255,255);";
const char* const kValueStyle = "color: rgb(255, 255, 255);\nborder:1px solid rgb(255, 255, 255);";

L10n::Texts kTitle = {"串口连接", "Serial port", "COM-порт", "Cài đặt cổng nối tiếp", "串口連接"};
L10n::Texts kTexts[3] = {
    {"波特率", "Baud rate", "Скорость передачи", "Tốc độ truyền", "波特率"},
    {"数据位", "Data bits", "Биты данных", "Bit dữ liệ", "數據位"},
    {"停止位", "Stop bit", "Бит остановки", "Dừng bit", "停止位"},
};
const char* const kLabelNames[3] = {"label_baud", "label_bit", "label_stop"};
const char* const kValueNames[3] = {"Button_baud", "pushButton", "pushButton_2"};
const char* const kValues[3] = {"115200", "8", "1"};
const int kRowY[3] = {14, 48, 82};
const int kValueY[3] = {10, 48, 82};
} // namespace

linkcom::linkcom(QWidget* parent) : QDialog(parent), PageBase(this, PageFocus::linkcom, "linkcom")
{
    PageForm::setupPage(this, "linkcom");
    title_ = PageForm::label(this, "label_com", QRect(50, 10, 220, 22), kLabelStyle);
    title_->setAlignment(Qt::AlignCenter);
    auto* frame = new QFrame(this);
    frame->setObjectName("frame");
    frame->setGeometry(10, 42, 300, 190);
    frame->setStyleSheet(kFrameStyle);
    for (int i = 0; i < 3; ++i) {
        labels_[i] = PageForm::label(frame, kLabelNames[i], QRect(10, kRowY[i], 160, 17), kLabelStyle, 9);
        PageForm::button(frame, kValueNames[i], QRect(190, kValueY[i], 100, 24), kValueStyle)
            ->setText(QString::fromLatin1(kValues[i]));
    }
    language_changed();
}

void linkcom::language_changed()
{
    title_->setText(L10n::pick(kTitle));
    for (int i = 0; i < 3; ++i)
        labels_[i]->setText(L10n::pick(kTexts[i]));
}

void linkcom::syncUpdate(int)
{
    KelRamPara* store = KelRamPara::p_kelrampara_config;
    if (store && store->KelLanguageChanged())
        language_changed();
}

void linkcom::slot_Button_back_clicked()
{
    returnTo(PageOpener::parentOf(pageFocus()));
}

void linkcom::clearInstancePointer()
{
    if (g_linkcom == this)
        g_linkcom = nullptr;
}
