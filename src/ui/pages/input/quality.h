#pragma once
#include "ui/pages/input/ValuePage.h"

class QLabel;
class My_lineEdit;
class ValueStepper;

// The picture quality page (19): brightness, sharpness, contrast and
// saturation stepped live 0..100, and a reset to the defaults.
class quality : public ValuePage {
    Q_OBJECT
public:
    explicit quality(QWidget* parent = nullptr);

    void language_changed() override;
    void syncUpdate(int reason) override;
    void para_init();
    void on_Button_reset_clicked();

protected:
    void clearInstancePointer() override;

private:
    QLabel* label_quality = nullptr;
    QLabel* labels_[5] = {};
    ValueStepper* steppers_[4] = {};
    My_lineEdit* lineEdit_Reset = nullptr;
};
