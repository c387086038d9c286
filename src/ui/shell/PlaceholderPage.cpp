#include "ui/shell/PlaceholderPage.h"

#include "ui/shell/LockWindow.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/ShellGlobals.h"

#include <QLabel>

namespace {
const char* const kNames[PageFocus::Count] = {
    "LockWindow", "MainWindow", "MachineState", "InputChoose", "CustomMode", "Option",
    "OutputSet", "InputCut", "EDIDset", "ImageLayout", "LinkOption", "ImageQuality",
    "AdvancedOption", "ledset", "netset", "lcdshow", "test_chart", "othersetup",
    "factory", "quality", "temperature", "linkcom", "linkwlan", "factoryage",
    "SmartMapping", "rcv_recovery", "firmware_usbgrade",
};
} // namespace

PlaceholderPage::PlaceholderPage(uint8_t focus, QWidget* parent)
    : QDialog(parent), PageBase(this, focus, pageName(focus))
{
    setObjectName(QString::fromLatin1(pageName(focus)));
    setFixedSize(320, 240);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setStyleSheet(QStringLiteral("background-color: rgb(16, 16, 28);"));
    title_ = new QLabel(this);
    title_->setObjectName(QStringLiteral("label_title"));
    title_->setGeometry(10, 90, 300, 60);
    title_->setAlignment(Qt::AlignCenter);
    title_->setTextFormat(Qt::PlainText);
    title_->setStyleSheet(QStringLiteral("color: rgb(255, 255, 255);font: 16px"));
    auto* ok = new QLabel(this);
    ok->setGeometry(105, 220, 40, 16);
    ok->setPixmap(QPixmap(QStringLiteral(":/png/OK_Enter.png")));
    auto* back = new QLabel(this);
    back->setGeometry(176, 220, 40, 16);
    back->setPixmap(QPixmap(QStringLiteral(":/png/back_return.png")));
    language_changed();
}

const char* PlaceholderPage::pageName(uint8_t focus)
{
    return focus < PageFocus::Count ? kNames[focus] : "Page";
}

void PlaceholderPage::language_changed()
{
    title_->setText(QString::fromLatin1(pageClass()));
}

void PlaceholderPage::onBack()
{
    if (pageFocus() == PageFocus::CustomMode && g_mode_shortcut_key) {
        g_mode_shortcut_key = 0;
        closePage();
        LockWindow::openNew();
        return;
    }
    returnTo(PageOpener::parentOf(pageFocus()));
}
