#pragma once
#include "ui/shell/FocusRing.h"
#include "ui/shell/PageBase.h"

#include <QDialog>
#include <QVector>

#include <functional>

class ChoiceRow;
class QFrame;
class QLabel;
class ValueStepper;

// A page of rows edited in place (picture quality, colour temperature):
// Left/Right move between the rows (wrapping); OK starts editing a value
// or choice row (red) or runs an action row; while editing Left/Right
// step, OK keeps and Back restores the value from the start of the edit;
// Back otherwise returns to the parent page.
class ValuePage : public QDialog, public PageBase {
    Q_OBJECT
public:
    ValuePage(uint8_t focus, const char* className, QWidget* parent);

    int focusedRow() const { return ring_.current(); }
    bool editing() const { return edit_state; }

protected:
    void keyPressEvent(QKeyEvent* event) override { handleKeyPress(event); }
    void keyReleaseEvent(QKeyEvent* event) override { handleKeyRelease(event); }
    void onLeft() override { move(-1); }
    void onRight() override { move(1); }
    void onOk() override;
    void onBack() override;
    QString releaseLine(PanelKey key) const override;

    // The title and the framed panel holding the rows (9-point font).
    QLabel* buildTitle();
    QFrame* buildFrame(int height);
    QLabel* rowLabel(const char* name, int y, int width);

    void addValueRow(ValueStepper* stepper);
    // A value row whose read-only field (at 190,y, 100x24 in the frame)
    // shows and steps the block word at offset.
    ValueStepper* addValueField(const char* fieldName, int y, size_t offset, Qt::FocusPolicy focus);
    void addChoiceRow(ChoiceRow* choice, const FocusRing::Styles& styles);
    void addActionRow(QWidget* widget, std::function<void()> action);
    // Focus on the first row, nothing being edited.
    void focusFirst();
    // Ends an edit without storing (the page reloaded what is stored).
    void dropEdit();

    QFrame* frame_ = nullptr;

private:
    struct Row {
        ValueStepper* value = nullptr;
        ChoiceRow* choice = nullptr;
        std::function<void()> action;
    };
    void move(int delta);
    void endEdit(bool keep);

    FocusRing ring_;
    QVector<Row> rows_;
    bool edit_state = false;
};
