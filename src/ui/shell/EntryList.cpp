#include "ui/shell/EntryList.h"

#include <QWidget>

void EntryList::add(QWidget* widget, const QString& focusStyle, const QString& restStyle)
{
    entries_.push_back({widget, focusStyle, restStyle});
}

QWidget* EntryList::widget(int index) const
{
    return (index >= 0 && index < entries_.size()) ? entries_[index].widget : nullptr;
}

void EntryList::mark(int index, bool focused) const
{
    if (index < 0 || index >= entries_.size() || !entries_[index].widget)
        return;
    const Entry& e = entries_[index];
    e.widget->setStyleSheet(focused ? e.focusStyle : e.restStyle);
}

int EntryList::step(int index, int delta) const
{
    const int n = entries_.size();
    if (n == 0)
        return 0;
    mark(index, false);
    const int next = ((index + delta) % n + n) % n;
    mark(next, true);
    return next;
}
