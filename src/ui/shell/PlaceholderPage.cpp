#include "ui/shell/PlaceholderPage.h"

#include "ui/shell/PageFocus.h"
#include "ui/shell/PageForm.h"
#include "ui/shell/PageOpener.h"

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
    PageForm::setupPage(this, pageName(focus));
    title_ = PageForm::title(this, QRect(10, 90, 300, 60));
    PageForm::hintPictures(this);
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
    if (pageFocus() == PageFocus::CustomMode) {
        PageOpener::leaveUserModePage(*this);
        return;
    }
    returnTo(PageOpener::parentOf(pageFocus()));
}
