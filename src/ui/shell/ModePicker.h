#pragma once
#include <QObject>

class QLabel;
class QPushButton;
class QWidget;

// The grid of the main menu's user-mode picker: a white panel
// "widget_mode" with the sixteen slots (4 by 4) over the main menu, and
// the arrow beside the open tool. The main window decides what is open
// and highlighted; this draws it. Every draw builds a new panel: the old
// one is hidden and deleted later, so a slot button may be clicked into a
// redraw while its own clicked() is still being emitted.
class ModePicker : public QObject {
    Q_OBJECT
public:
    static constexpr int kSlots = 16;

    // host: the main window's central widget.
    explicit ModePicker(QWidget* host);

    // save: the save picker (else recall); highlight: the highlighted slot.
    void draw(bool save, int highlight);
    // The slot's frame shows the just-clicked colour.
    void markClicked(int slot);
    // The slot's frame shows its resting colour (saved or empty).
    void markRest(int slot);
    void hide();
    bool shown() const;
    QWidget* panel() const { return panel_; }

signals:
    void slotClicked(int slot);

private:
    void buildSlot(int i, bool save, int highlight);

    QWidget* host_;
    QWidget* panel_ = nullptr;
    QLabel* arrow_ = nullptr;
    QWidget* frames_[kSlots] = {};
};
