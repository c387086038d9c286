#pragma once
#include "ui/shell/MenuPage.h"

class QLabel;

// The output menu (page 6): the LED screen size page and the output ports
// page, with the current LED screen size as a hint line. Back returns to
// the settings menu.
class OutputSet : public MenuPage {
    Q_OBJECT
public:
    explicit OutputSet(QWidget* parent = nullptr);
    ~OutputSet() override;

protected:
    // The hint shows the LED size at the time of the refresh only.
    void refreshOwn() override;
    void clearInstancePointer() override;

private:
    QLabel* info_ = nullptr;
};
