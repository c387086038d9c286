#include "ui/pages/registerPageMakers.h"

#include "ui/pages/input/AdvancedOption.h"
#include "ui/pages/input/ImageQuality.h"
#include "ui/pages/input/LinkOption.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/Option.h"
#include "ui/shell/OutputSet.h"
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
    PageOpener::setMaker(PageFocus::Option, maker<Option>(g_option));
    PageOpener::setMaker(PageFocus::OutputSet, maker<OutputSet>(g_outputset));
    PageOpener::setMaker(PageFocus::LinkOption, maker<LinkOption>(g_linkoption));
    PageOpener::setMaker(PageFocus::ImageQuality, maker<ImageQuality>(g_imagequality));
    PageOpener::setMaker(PageFocus::AdvancedOption, maker<AdvancedOption>(g_advancedoption));
    installPopupHooks(MainWindow::hooks());
}
