#pragma once
#include <QString>
#include <QVector>

class QWidget;

// The focusable entries of a page in focus order and which one holds the
// focus, drawn with style sheets only. Each entry has its own styles: at
// rest, focused, disabled, disabled and focused, and editing (a value being
// changed; red on the pages). Disabled entries keep the focus unless the
// ring skips them.
class FocusRing {
public:
    struct Styles {
        QString rest;
        QString focus;
        QString disabled;       // empty: as rest
        QString disabledFocus;  // empty: as focus
        QString editing;        // empty: as focus
    };

    void clear();
    // Appends an entry (enabled) and returns its index.
    int add(QWidget* widget, const Styles& styles);
    int count() const { return entries_.size(); }
    QWidget* widget(int index) const;
    int current() const { return current_; }

    void setStyles(int index, const Styles& styles);
    void setEnabled(int index, bool enabled);
    bool isEnabled(int index) const;
    // Disabled entries are passed over by the steps (default: they take
    // the focus and show their disabled-and-focused style).
    void setSkipDisabled(bool skip) { skipDisabled_ = skip; }
    // The focused entry shows the editing style while set.
    void setEditing(bool editing);
    bool editing() const { return editing_; }

    // Moves the focus to index; marked false leaves every entry at rest
    // (no frame until the first step).
    void setCurrent(int index, bool marked = true);
    // Moves the focus by delta with wrap-around; returns the new index.
    int step(int delta);
    // Moves the focus by delta, stopping at the first and last entry.
    int stepClamped(int delta);
    // Re-applies every entry's style (after enables or styles changed).
    void refresh() const;

private:
    struct Entry {
        QWidget* widget;
        Styles styles;
        bool enabled;
    };
    bool inRange(int index) const { return index >= 0 && index < entries_.size(); }
    bool selectable(int index) const { return !skipDisabled_ || entries_[index].enabled; }
    void apply(int index) const;
    // Texts fitted to the entry keep clear of the edges of each of its looks.
    static void declareLooks(const Entry& e);
    int moveTo(int next);

    QVector<Entry> entries_;
    int current_ = 0;
    bool marked_ = true;
    bool editing_ = false;
    bool skipDisabled_ = false;
};
