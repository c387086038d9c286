#include "ui/shell/PopupStack.h"

#include <QEvent>
#include <QWidget>

PopupStack::PopupStack(QWidget* popup) : QObject(popup)
{
    popup->installEventFilter(this);
}

void PopupStack::keepOnTop(QWidget* popup)
{
    new PopupStack(popup); // lives as long as the popup
}

bool PopupStack::eventFilter(QObject* watched, QEvent* event)
{
    // The show event comes before the window is mapped: raised now, it is
    // mapped on top of the stack.
    if (event->type() == QEvent::Show && watched == parent()) {
        auto* popup = static_cast<QWidget*>(watched);
        popup->raise();
        if (popup->isWindow())
            popup->activateWindow();
    }
    return QObject::eventFilter(watched, event);
}
