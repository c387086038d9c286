#pragma once
#include <QString>
#include <QVector>

class QWidget;

// The focusable entries of a page in focus order, each with its style with
// and without the focus. The focus is drawn with style sheets only.
class EntryList {
public:
    void clear() { entries_.clear(); }
    void add(QWidget* widget, const QString& focusStyle, const QString& restStyle);
    int count() const { return entries_.size(); }
    QWidget* widget(int index) const;
    // Gives entry index its focus or resting style; out of range: nothing.
    void mark(int index, bool focused) const;
    // Moves the focus from index by delta with wrap-around; returns the
    // new index.
    int step(int index, int delta) const;

private:
    struct Entry {
        QWidget* widget;
        QString focusStyle;
        QString restStyle;
    };
    QVector<Entry> entries_;
};
