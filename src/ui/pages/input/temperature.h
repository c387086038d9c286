#pragma once
#include "ui/pages/input/ValuePage.h"

#include <memory>

class ChoiceRow;
class QComboBox;
class QLabel;
class ValueStepper;

// The colour temperature page (20): the preset type (custom, warm,
// nature, cool), stored when its edit ends, and the red, green and blue
// values of the custom type, stepped live 0..100.
class temperature : public ValuePage {
    Q_OBJECT
public:
    explicit temperature(QWidget* parent = nullptr);
    ~temperature() override;

    void language_changed() override;
    void syncUpdate(int reason) override;
    void para_init();

protected:
    void clearInstancePointer() override;

private:
    QLabel* label_temperature = nullptr;
    QLabel* labels_[4] = {};
    QComboBox* comboBox_type = nullptr;
    std::unique_ptr<ChoiceRow> type_;
    ValueStepper* steppers_[3] = {};
};
