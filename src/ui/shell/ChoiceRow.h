#pragma once
#include "ui/shell/FocusRing.h"

#include <QStringList>

#include <cstddef>
#include <functional>

class QComboBox;

// A choice row of a value page: a box showing one of a few named values.
// While it is edited Left and Right only change the shown choice (with
// wrap-around); OK stores it, Back shows and stores the choice from the
// start of the edit. The store is the page's (a hand-off, no flag test).
class ChoiceRow {
public:
    using Store = std::function<void(int choice)>;

    // The white, orange (focused) and red (being edited) looks of a box
    // without its drop-down arrow.
    static FocusRing::Styles boxStyles();
    // A store writing the choice into the low byte of a block word through
    // the hand-off.
    static Store lowByteStore(size_t offset);

    ChoiceRow(QComboBox* box, Store store);

    QComboBox* box() const { return box_; }
    // Refills the names and shows stored; a value outside them shows the
    // first name and is not rewritten.
    void load(const QStringList& names, int stored);
    void begin();
    void step(int delta);
    void commit();
    void revert();
    int choice() const { return choice_; }

private:
    void show();

    QComboBox* box_;
    Store store_;
    int choice_ = 0;
    int saved_ = 0;
};
