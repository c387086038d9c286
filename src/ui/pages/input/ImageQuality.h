#pragma once
#include "ui/shell/MenuPage.h"

// The picture menu (page 11): the picture quality and colour temperature
// pages. Back returns to the settings menu.
class ImageQuality : public MenuPage {
    Q_OBJECT
public:
    explicit ImageQuality(QWidget* parent = nullptr);
    ~ImageQuality() override;

protected:
    void clearInstancePointer() override;
};
