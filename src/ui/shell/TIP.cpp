#include "ui/shell/TIP.h"

#include "params/global.h"
#include "ui/shell/L10n.h"
#include "ui/shell/PageBase.h"
#include "ui/shell/PopupStack.h"
#include "ui/shell/ShellGlobals.h"
#include "ui/shell/WrappedLabel.h"

#include <QFrame>
#include <QLabel>
#include <QPixmap>

#include <cstdio>

namespace {
// Message texts of kinds 3, 4, 5 (zh, en, ru, vn, tw).
const char* const kUsbIn[5] = {
    "U盘已接入\n请稍候…", "USB driver is connected,please wait...",
    "Драйвер USB подключен,\nпожалуйста,подождите...", "Usb đã truy cập\nxin vui lòng chờ …",
    "U盤已接入\n請稍候…"};
const char* const kUsbOut[5] = {
    "U盘已拔出", "USB drive is unplugged.", "USB-накопитель отключен \nот сети.",
    "USB Thì không kết nối.", "U盤已拔出"};
const char* const kUsbReading[5] = {
    "正在读取中，请稍候…", "Reading the data,pls wait",
    "Прочитайте данные,\nпожалуйста,подождите", "Đang đọc,xin vui lòng chờ …",
    "正在讀取中，請稍候…"};

const QString kFrameStyle = QStringLiteral("background-color:rgb(136, 138, 133);");
} // namespace

TIP::TIP(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TIP"));
    resize(160, 120);
    setWindowTitle(QStringLiteral("Dialog"));
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    PopupStack::keepOnTop(this);
}

void TIP::tip_create(int tip_kind)
{
    delete tip_frame;
    tip_frame = nullptr;
    if (tip_kind != 1 && tip_kind != 3 && tip_kind != 4 && tip_kind != 5)
        return;
    const QRect local = tip_kind == 1 ? QRect(100, 60, 120, 120) : QRect(50, 60, 220, 120);
    // Placed relative to the panel (the main window), not the screen.
    setGeometry(QRect(PageBase::mainOrigin() + local.topLeft(), local.size()));
    tip_frame = new QFrame(this);
    tip_frame->setObjectName(QStringLiteral("tip_frame"));
    tip_frame->setGeometry(0, 0, local.width(), local.height());
    tip_frame->setStyleSheet(kFrameStyle);
    if (tip_kind == 1)
        buildCheckMark();
    else
        buildMessage(tip_kind);
    tip_frame->show();
    tip_show();
}

void TIP::buildCheckMark()
{
    auto* label = new QLabel(tip_frame);
    label->setObjectName(QStringLiteral("tip_picture"));
    label->setGeometry(20, 20, 80, 80);
    label->setPixmap(QPixmap(QStringLiteral(":/png/check_180.png")));
    label->setScaledContents(true);
    label->raise();
}

void TIP::buildMessage(int kind)
{
    auto* label = new WrappedLabel(tip_frame);
    label->setObjectName(QStringLiteral("tip_text"));
    label->setGeometry(5, 5, 200, 100);
    label->setStyleSheet(QStringLiteral("font: 15px"));
    label->setTextFormat(Qt::PlainText);
    // Wrapped, also after a comma with no space after it: the English and
    // Russian texts are wider than the box.
    label->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    label->setText(L10n::pick(kind == 3 ? kUsbIn : kind == 4 ? kUsbOut : kUsbReading));
}

void TIP::tip_show()
{
    g_tip_flag = 1;
    // A notice replaced while shown keeps the running loop and its count.
    if (isVisible())
        return;
    exec();
}

void TIP::tip_outtime_deal()
{
    if (++tip_count < kShownTicks)
        return;
    hide();
    tip_count = 0;
    g_tip_flag = 0;
    if (g_debugSwitch == kDebugSwitchOn) {
        std::printf("\n tip over! ");
        std::fflush(stdout);
    }
}
