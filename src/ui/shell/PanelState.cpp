#include "ui/shell/PanelState.h"

#include "params/global.h"
#include "ui/shell/L10n.h"
#include "ui/shell/PageTable.h"

#include <QJsonValue>

namespace {

const char* languageName(int lang)
{
    static const char* const kNames[] = {"Simplified Chinese", "English", "Russian", "Vietnamese",
                                         "Traditional Chinese"};
    return lang >= 0 && lang < 5 ? kNames[lang] : "unknown";
}

} // namespace

QJsonObject PanelState::json()
{
    const int focus = g_page_focus;
    const char* window = PageTable::classAt(focus);
    QJsonObject o;
    // g_language is the stored choice; the panel shows the language the
    // offered-languages rule makes of it.
    o.insert("g_language", int(g_language));
    o.insert("language", QString::fromLatin1(languageName(L10n::language())));
    o.insert("g_page_focus", focus);
    o.insert("window", window ? QJsonValue(QString::fromLatin1(window)) : QJsonValue());
    // The video window the keypad's source, freeze and black keys act on.
    o.insert("g_image_current", int(g_image_current));
    // The 10 ms tick, so that a run can be checked against the wall clock.
    o.insert("G_timeTicks", qint64(G_timeTicks.load()));
    return o;
}
