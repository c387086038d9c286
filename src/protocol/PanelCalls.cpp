#include "protocol/PanelCalls.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <mutex>

namespace kel::protocol {
namespace {

std::mutex g_hooksLock;
PanelCalls::Hooks g_hooks;

PanelCalls::Hooks hooks()
{
    std::lock_guard<std::mutex> l(g_hooksLock);
    return g_hooks;
}

bool call(const std::function<bool()>& f) { return f && f(); }

} // namespace

void PanelCalls::install(Hooks h)
{
    std::lock_guard<std::mutex> l(g_hooksLock);
    g_hooks = std::move(h);
}

void PanelCalls::clear() { install(Hooks{}); }

void PanelCalls::post(Event event)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        deliver(event);
        return;
    }
    QMetaObject::invokeMethod(app, [event] { deliver(event); }, Qt::QueuedConnection);
}

void PanelCalls::deliver(Event event)
{
    const Hooks h = hooks();
    const int focus = h.pageFocus ? h.pageFocus() : -1;
    switch (event) {
    case Event::UpdateStart:
        call(h.updateStart);
        break;
    case Event::UpdateOver:
        call(h.updateOver);
        break;
    case Event::RecoveryFileStored:
        if (focus == kFocusAdvancedOption)
            call(h.advancedOptionLanguageChanged);
        else if (focus == kFocusOption)
            call(h.optionLanguageChanged);
        break;
    case Event::SmartFileStored:
    case Event::SmartFilesDeleted:
        if (focus == kFocusSmartMapping && call(h.fpgaManagerPresent))
            call(h.smartMappingBack);
        else if (focus == kFocusOption)
            call(h.optionLanguageChanged);
        break;
    case Event::ConfigFileStored:
        if (focus == kFocusOption)
            call(h.optionLanguageChanged);
        break;
    case Event::RecoveryFilesDeleted:
        if (focus == kFocusRcvRecovery)
            call(h.rcvRecoveryBack);
        else if (focus == kFocusAdvancedOption)
            call(h.advancedOptionLanguageChanged);
        break;
    }
}

} // namespace kel::protocol
