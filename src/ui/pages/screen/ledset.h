#pragma once
#include "ui/shell/FocusRing.h"
#include "ui/shell/PageBase.h"

#include <QDialog>

class QLabel;
class QPushButton;
class My_lineEdit;

// The LED screen size page: width and height fields edited on the number
// keyboard, Apply and Cancel. Apply stores the size through LedSize and
// shows the saved notice when the size changed.
class ledset : public QDialog, public PageBase {
    Q_OBJECT
public:
    explicit ledset(QWidget* parent = nullptr);

    void para_init();
    void language_changed() override;
    void syncUpdate(int reason) override;
    void on_Button_apply1_clicked();
    int ui_select() const { return ring_.current(); }

public slots:
    void slot_Button_back_clicked();

protected:
    void keyPressEvent(QKeyEvent* event) override { handleKeyPress(event); }
    void keyReleaseEvent(QKeyEvent* event) override { handleKeyRelease(event); }
    void onLeft() override { ring_.step(-1); }
    void onRight() override { ring_.step(1); }
    void onOk() override;
    void onBack() override { slot_Button_back_clicked(); }
    void clearInstancePointer() override;

private:
    void buildForm();
    void menulist_init();
    // Runs the keyboard for field 0 (width) or 1 (height) and bounds the
    // entry into both fields.
    void editField(int index);

    QLabel* title_ = nullptr;
    QLabel* note_ = nullptr;
    QLabel* labelW_ = nullptr;
    QLabel* labelH_ = nullptr;
    QLabel* tip_ = nullptr;
    My_lineEdit* fields_[2] = {};
    QPushButton* apply_ = nullptr;
    QPushButton* cancel_ = nullptr;
    FocusRing ring_;
};
