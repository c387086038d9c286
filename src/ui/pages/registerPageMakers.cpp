#include "ui/pages/registerPageMakers.h"

#include "ui/pages/screen/lcdshow.h"
#include "ui/pages/screen/ledset.h"
#include "ui/pages/screen/linkcom.h"
#include "ui/pages/screen/linkwlan.h"
#include "ui/pages/screen/netset.h"
#include "ui/pages/screen/test_chart.h"

#include "ui/shell/MainWindow.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/PagePointers.h"

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

void installPopupHooks(MainWindow::Hooks& hooks)
{
    // The upgrade popup's start/tick/over are installed here once it exists.
    (void)hooks;
}
} // namespace

void registerPageMakers()
{
    // One line per page: PageOpener::setMaker(PageFocus::X, maker<X>(g_x));
    PageOpener::setMaker(PageFocus::ledset, maker<ledset>(g_ledset));
    PageOpener::setMaker(PageFocus::netset, maker<netset>(g_netset));
    PageOpener::setMaker(PageFocus::lcdshow, maker<lcdshow>(g_lcdshow));
    PageOpener::setMaker(PageFocus::test_chart, maker<test_chart>(g_test_chart));
    PageOpener::setMaker(PageFocus::linkcom, maker<linkcom>(g_linkcom));
    PageOpener::setMaker(PageFocus::linkwlan, maker<linkwlan>(g_linkwlan));
    installPopupHooks(MainWindow::hooks());
}
