#pragma once
#include "ui/shell/PageBase.h"

#include <QDialog>

class QLabel;

// The serial link page: shows the fixed settings of the serial control
// link (115200 baud, 8 data bits, 1 stop bit). Only Back and Mode act.
class linkcom : public QDialog, public PageBase {
    Q_OBJECT
public:
    explicit linkcom(QWidget* parent = nullptr);

    void language_changed() override;
    void syncUpdate(int reason) override;

public slots:
    void slot_Button_back_clicked();

protected:
    void keyPressEvent(QKeyEvent* event) override { handleKeyPress(event); }
    void keyReleaseEvent(QKeyEvent* event) override { handleKeyRelease(event); }
    void onBack() override { slot_Button_back_clicked(); }
    void clearInstancePointer() override;

private:
    QLabel* title_ = nullptr;
    QLabel* labels_[3] = {};
};
