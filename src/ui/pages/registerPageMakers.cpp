#include "ui/pages/registerPageMakers.h"

#include "ui/pages/input/EDIDset.h"
#include "ui/pages/input/ImageLayout.h"
#include "ui/pages/input/InputChoose.h"
#include "ui/pages/input/InputCut.h"

#include "ui/shell/MainWindow.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/PagePointers.h"
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
    PageOpener::setMaker(PageFocus::InputChoose, maker<InputChoose>(g_inputchoose));
    PageOpener::setMaker(PageFocus::InputCut, maker<InputCut>(g_inputcut));
    PageOpener::setMaker(PageFocus::EDIDset, maker<EDIDset>(g_edidset));
    PageOpener::setMaker(PageFocus::ImageLayout, maker<ImageLayout>(g_imagelayout));
    installPopupHooks();
}
