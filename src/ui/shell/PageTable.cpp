#include "ui/shell/PageTable.h"

#include "params/PageRegistry.h"
#include "params/global.h"
#include "ui/shell/PageBase.h"
#include "ui/shell/PageFocus.h"

#include <QPointer>
#include <QWidget>

#include <atomic>

namespace {
struct Slot {
    PageBase* page = nullptr;
    QPointer<QWidget> widget; // guards against a page deleted behind our back
};
Slot g_slots[PageFocus::Count];
// The class names of the open pages (string literals), readable from any
// thread while the GUI thread opens and closes pages.
std::atomic<const char*> g_classes[PageFocus::Count] = {};

bool valid(int focus)
{
    return focus >= 0 && focus < PageFocus::Count;
}
} // namespace

void PageTable::enter(PageBase* page)
{
    const int focus = page->pageFocus();
    if (!valid(focus))
        return;
    g_slots[focus].page = page;
    g_slots[focus].widget = page->pageWidget();
    g_classes[focus] = page->pageClass();
    PageRegistry::instance().join(focus, [focus](int reason) {
        if (PageBase* p = PageTable::at(focus))
            p->syncUpdate(reason);
    });
}

void PageTable::leave(PageBase* page)
{
    const int focus = page->pageFocus();
    if (!valid(focus) || g_slots[focus].page != page)
        return;
    g_slots[focus] = Slot();
    g_classes[focus] = nullptr;
    PageRegistry::instance().leave(focus);
}

PageBase* PageTable::at(int focus)
{
    if (!valid(focus) || !g_slots[focus].widget)
        return nullptr;
    return g_slots[focus].page;
}

const char* PageTable::classAt(int focus)
{
    return valid(focus) ? g_classes[focus].load() : nullptr;
}

PageBase* PageTable::focused()
{
    return at(g_page_focus);
}

void PageTable::closeAllButMain()
{
    for (int focus = PageFocus::Count - 1; focus >= 0; --focus) {
        if (focus == PageFocus::MainWindow)
            continue;
        if (PageBase* page = at(focus))
            page->closePage();
    }
}

void PageTable::reset()
{
    for (int focus = 0; focus < PageFocus::Count; ++focus) {
        if (g_slots[focus].page)
            PageRegistry::instance().leave(focus);
        g_slots[focus] = Slot();
        g_classes[focus] = nullptr;
    }
}
