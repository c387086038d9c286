#include "ui/shell/FocusRing.h"

#include "ui/shell/TextFit.h"

#include <QStringList>
#include <QWidget>

void FocusRing::clear()
{
    entries_.clear();
    current_ = 0;
    editing_ = false;
}

int FocusRing::add(QWidget* widget, const Styles& styles)
{
    entries_.push_back({widget, styles, true});
    declareLooks(entries_.back());
    apply(entries_.size() - 1);
    return entries_.size() - 1;
}

QWidget* FocusRing::widget(int index) const
{
    return inRange(index) ? entries_[index].widget : nullptr;
}

void FocusRing::setStyles(int index, const Styles& styles)
{
    if (!inRange(index))
        return;
    entries_[index].styles = styles;
    declareLooks(entries_[index]);
    apply(index);
}

void FocusRing::setEnabled(int index, bool enabled)
{
    if (!inRange(index))
        return;
    entries_[index].enabled = enabled;
    apply(index);
}

bool FocusRing::isEnabled(int index) const
{
    return inRange(index) && entries_[index].enabled;
}

void FocusRing::setEditing(bool editing)
{
    editing_ = editing;
    apply(current_);
}

void FocusRing::setCurrent(int index, bool marked)
{
    if (!inRange(index))
        return;
    const int old = current_;
    current_ = index;
    marked_ = marked;
    apply(old);
    apply(current_);
}

int FocusRing::moveTo(int next)
{
    const int old = current_;
    current_ = next;
    marked_ = true;
    apply(old);
    apply(current_);
    return current_;
}

int FocusRing::step(int delta)
{
    const int n = entries_.size();
    if (n == 0 || delta == 0)
        return current_;
    const int dir = delta > 0 ? 1 : -1;
    int next = current_;
    for (int moved = 0, tries = 0; moved < (delta > 0 ? delta : -delta) && tries < n * 4; ++tries) {
        next = ((next + dir) % n + n) % n;
        if (selectable(next))
            ++moved;
    }
    return selectable(next) ? moveTo(next) : current_;
}

int FocusRing::stepClamped(int delta)
{
    const int dir = delta > 0 ? 1 : -1;
    int next = current_;
    for (int left = delta > 0 ? delta : -delta; left > 0;) {
        int probe = next + dir;
        while (inRange(probe) && !selectable(probe))
            probe += dir;
        if (!inRange(probe))
            break;
        next = probe;
        --left;
    }
    return next == current_ ? current_ : moveTo(next);
}

void FocusRing::refresh() const
{
    for (int i = 0; i < entries_.size(); ++i)
        apply(i);
}

void FocusRing::apply(int index) const
{
    if (!inRange(index) || !entries_[index].widget)
        return;
    const Entry& e = entries_[index];
    const Styles& s = e.styles;
    const bool focused = marked_ && index == current_;
    QString style;
    if (focused && editing_)
        style = s.editing.isEmpty() ? s.focus : s.editing;
    else if (!e.enabled && focused)
        style = s.disabledFocus.isEmpty() ? s.focus : s.disabledFocus;
    else if (!e.enabled)
        style = s.disabled.isEmpty() ? s.rest : s.disabled;
    else
        style = focused ? s.focus : s.rest;
    e.widget->setStyleSheet(style);
}

void FocusRing::declareLooks(const Entry& e)
{
    TextFit::setLooks(e.widget, {e.styles.rest, e.styles.focus, e.styles.disabled, e.styles.disabledFocus,
                                 e.styles.editing});
}
