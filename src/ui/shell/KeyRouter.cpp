#include "ui/shell/KeyRouter.h"

#include "ui/shell/PageBase.h"
#include "ui/shell/PageTable.h"
#include "ui/shell/ShellGlobals.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

void KeyRouter::install()
{
    static KeyRouter* router = nullptr;
    if (router || !qApp)
        return;
    router = new KeyRouter(qApp);
    qApp->installEventFilter(router);
}

QWidget* KeyRouter::target()
{
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    PageBase* page = PageTable::focused();
    return page ? page->pageWidget() : nullptr;
}

bool KeyRouter::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget)
        return false; // a window forwards the key to its widgets
    if (g_tip_flag)
        return true;
    QWidget* to = target();
    if (!to || to == widget || to->isAncestorOf(widget))
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    QKeyEvent copy(key->type(), key->key(), key->modifiers(), key->text(), key->isAutoRepeat(),
                   static_cast<ushort>(key->count()));
    // The copy arrives with the target as receiver and passes this filter.
    QCoreApplication::sendEvent(to, &copy);
    return true;
}
