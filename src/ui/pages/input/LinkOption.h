#pragma once
#include "ui/shell/MenuPage.h"

// The link menu (page 10): the serial link, network address and USB-stick
// upgrade pages. Back returns to the settings menu.
class LinkOption : public MenuPage {
    Q_OBJECT
public:
    explicit LinkOption(QWidget* parent = nullptr);
    ~LinkOption() override;

protected:
    void clearInstancePointer() override;
};
