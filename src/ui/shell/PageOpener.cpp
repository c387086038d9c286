#include "ui/shell/PageOpener.h"

#include "params/global.h"
#include "ui/shell/LockWindow.h"
#include "ui/shell/PageBase.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageTable.h"
#include "ui/shell/PlaceholderPage.h"
#include "ui/shell/ShellGlobals.h"

#include <QDialog>
#include <QWidget>

namespace {
PageOpener::Maker g_makers[PageFocus::Count];

// Where each page's Back returns (the input crop page returns to the input
// choice page when that is open, else to the settings menu).
constexpr uint8_t kParent[PageFocus::Count] = {
    PageFocus::MainWindow,     // 0 LockWindow (leaves for the main menu)
    PageFocus::LockWindow,     // 1 MainWindow
    PageFocus::MainWindow,     // 2 MachineState
    PageFocus::MainWindow,     // 3 InputChoose
    PageFocus::MainWindow,     // 4 CustomMode
    PageFocus::MainWindow,     // 5 Option
    PageFocus::Option,         // 6 OutputSet
    PageFocus::Option,         // 7 InputCut
    PageFocus::InputChoose,    // 8 EDIDset
    PageFocus::Option,         // 9 ImageLayout
    PageFocus::Option,         // 10 LinkOption
    PageFocus::Option,         // 11 ImageQuality
    PageFocus::Option,         // 12 AdvancedOption
    PageFocus::OutputSet,      // 13 ledset
    PageFocus::OutputSet,      // 14 netset
    PageFocus::AdvancedOption, // 15 lcdshow
    PageFocus::Option,         // 16 test_chart
    PageFocus::AdvancedOption, // 17 othersetup
    PageFocus::AdvancedOption, // 18 factory
    PageFocus::ImageQuality,   // 19 quality
    PageFocus::ImageQuality,   // 20 temperature
    PageFocus::LinkOption,     // 21 linkcom
    PageFocus::LinkOption,     // 22 linkwlan
    PageFocus::AdvancedOption, // 23 factoryage
    PageFocus::Option,         // 24 SmartMapping
    PageFocus::AdvancedOption, // 25 rcv_recovery
    PageFocus::LinkOption,     // 26 firmware_usbgrade
};

bool valid(uint8_t focus)
{
    return focus < PageFocus::Count;
}
} // namespace

void PageOpener::setMaker(uint8_t focus, Maker maker)
{
    if (valid(focus))
        g_makers[focus] = std::move(maker);
}

void PageOpener::clearMakers()
{
    for (Maker& m : g_makers)
        m = nullptr;
}

uint8_t PageOpener::parentOf(uint8_t focus)
{
    if (focus == PageFocus::InputCut && PageTable::at(PageFocus::InputChoose))
        return PageFocus::InputChoose;
    return valid(focus) ? kParent[focus] : static_cast<uint8_t>(PageFocus::MainWindow);
}

void PageOpener::open(uint8_t focus)
{
    if (!valid(focus) || focus <= PageFocus::MainWindow)
        return;
    PageBase* page = g_makers[focus] ? g_makers[focus]() : new PlaceholderPage(focus);
    if (!page)
        return;
    page->takeFocus();
    QWidget* w = page->pageWidget();
    auto* dialog = qobject_cast<QDialog*>(w);
    if (focus == PageFocus::CustomMode || !dialog) {
        w->show();
        PageBase::placeOverMain(w);
        return;
    }
    dialog->exec();
}

void PageOpener::openUserModeByModeKey()
{
    PageTable::closeAllButMain();
    g_mode_shortcut_key = 1;
    open(PageFocus::CustomMode);
}

bool PageOpener::backIfInFront(uint8_t focus)
{
    PageBase* page = PageTable::at(focus);
    if (!page || g_page_focus != focus)
        return false;
    page->pressBack();
    return true;
}

void PageOpener::leaveUserModePage(PageBase& page)
{
    if (!g_mode_shortcut_key) {
        page.returnTo(PageFocus::MainWindow);
        return;
    }
    g_mode_shortcut_key = 0;
    page.closePage();
    LockWindow::openNew();
}
