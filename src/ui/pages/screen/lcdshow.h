#pragma once
#include "ui/shell/FocusRing.h"
#include "ui/shell/PageBase.h"

#include <QDialog>

class QComboBox;
class QLabel;

// The LCD display page: two rows, the time until the panel returns to the
// main window and the time until it locks itself. OK starts editing the
// focused row, Left/Right step its three choices, OK again stores the
// choice in its global. Back leaves at once, storing nothing.
class lcdshow : public QDialog, public PageBase {
    Q_OBJECT
public:
    static constexpr int kRows = 2;
    static constexpr int kChoices = 3;

    explicit lcdshow(QWidget* parent = nullptr);

    void para_init();
    void language_changed() override;
    void syncUpdate(int reason) override;
    void on_button_backtolock_clicked();
    void on_button_autolock_clicked();
    int ui_select() const { return ring_.current(); }
    bool editing() const { return ring_.editing(); }

public slots:
    void slot_Button_back_clicked();

protected:
    void keyPressEvent(QKeyEvent* event) override { handleKeyPress(event); }
    void keyReleaseEvent(QKeyEvent* event) override { handleKeyRelease(event); }
    void onLeft() override;
    void onRight() override;
    void onOk() override;
    void onBack() override { slot_Button_back_clicked(); }
    void clearInstancePointer() override;

private:
    void stepChoice(int delta);

    QLabel* title_ = nullptr;
    QLabel* rowLabels_[kRows] = {};
    QComboBox* rows_[kRows] = {};
    int edit_value_ = 0;
    FocusRing ring_;
};
