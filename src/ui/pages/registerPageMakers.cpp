#include "ui/pages/registerPageMakers.h"

#include "ui/pages/input/CustomMode.h"
#include "ui/pages/input/quality.h"
#include "ui/pages/input/temperature.h"
#include "ui/pages/device/MachineState.h"
#include "ui/pages/device/factory.h"
#include "ui/pages/device/factoryage.h"
#include "ui/pages/device/firmware_usbgrade.h"
#include "ui/pages/device/othersetup.h"
#include "ui/pages/screen/lcdshow.h"
#include "ui/pages/screen/ledset.h"
#include "ui/pages/screen/linkcom.h"
#include "ui/pages/screen/linkwlan.h"
#include "ui/pages/screen/SmartMapping.h"
#include "ui/pages/screen/netset.h"
#include "ui/pages/screen/rcv_recovery.h"
#include "ui/pages/screen/test_chart.h"
#include "ui/pages/input/EDIDset.h"
#include "ui/pages/input/ImageLayout.h"
#include "ui/pages/input/InputChoose.h"
#include "ui/pages/input/InputCut.h"
#include "ui/pages/input/AdvancedOption.h"
#include "ui/pages/input/ImageQuality.h"
#include "ui/pages/input/LinkOption.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/Option.h"
#include "ui/shell/OutputSet.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/PageTable.h"
#include "ui/shell/PopupHooks.h"

namespace {
// Makes a page of class T with a null parent and records it in its
// instance pointer.
template <class T>
PageOpener::Maker maker(T*& pointer)
{
    return [&pointer]() -> PageBase* {
        auto* page = new T(nullptr);
        pointer = page;
        return page;
    };
}
} // namespace

void registerPageMakers()
{
    // One line per page: PageOpener::setMaker(PageFocus::X, maker<X>(g_x));
    PageOpener::setMaker(PageFocus::Option, maker<Option>(g_option));
    PageOpener::setMaker(PageFocus::OutputSet, maker<OutputSet>(g_outputset));
    PageOpener::setMaker(PageFocus::LinkOption, maker<LinkOption>(g_linkoption));
    PageOpener::setMaker(PageFocus::ImageQuality, maker<ImageQuality>(g_imagequality));
    PageOpener::setMaker(PageFocus::AdvancedOption, maker<AdvancedOption>(g_advancedoption));
    PageOpener::setMaker(PageFocus::CustomMode, maker<CustomMode>(g_custommode));
    PageOpener::setMaker(PageFocus::quality, maker<quality>(g_quality));
    PageOpener::setMaker(PageFocus::temperature, maker<temperature>(g_temperature));
    PageOpener::setMaker(PageFocus::MachineState, maker<MachineState>(g_machinestate));
    PageOpener::setMaker(PageFocus::othersetup, maker<othersetup>(g_othersetup));
    PageOpener::setMaker(PageFocus::factory, maker<factory>(g_factory));
    PageOpener::setMaker(PageFocus::factoryage, maker<factoryage>(g_factoryage));
    PageOpener::setMaker(PageFocus::ledset, maker<ledset>(g_ledset));
    PageOpener::setMaker(PageFocus::netset, maker<netset>(g_netset));
    PageOpener::setMaker(PageFocus::lcdshow, maker<lcdshow>(g_lcdshow));
    PageOpener::setMaker(PageFocus::test_chart, maker<test_chart>(g_test_chart));
    PageOpener::setMaker(PageFocus::linkcom, maker<linkcom>(g_linkcom));
    PageOpener::setMaker(PageFocus::linkwlan, maker<linkwlan>(g_linkwlan));
    PageOpener::setMaker(PageFocus::SmartMapping, maker<SmartMapping>(g_smartmapping));
    PageOpener::setMaker(PageFocus::InputChoose, maker<InputChoose>(g_inputchoose));
    PageOpener::setMaker(PageFocus::InputCut, maker<InputCut>(g_inputcut));
    PageOpener::setMaker(PageFocus::EDIDset, maker<EDIDset>(g_edidset));
    PageOpener::setMaker(PageFocus::ImageLayout, maker<ImageLayout>(g_imagelayout));
    PageOpener::setMaker(PageFocus::firmware_usbgrade, maker<firmware_usbgrade>(g_firmware_usbgrade));
    PageOpener::setMaker(PageFocus::rcv_recovery, maker<rcv_recovery>(g_rcv_recovery));
    installPopupHooks();
    // The tick's ageing period redraws the ageing log page while it is open.
    MainWindow::hooks().ageingPageRefresh = []() {
        if (auto* page = dynamic_cast<factoryage*>(PageTable::at(PageFocus::factoryage)))
            page->update_agelog();
    };
}
