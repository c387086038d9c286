#pragma once
#include "ui/shell/MenuPage.h"

#include <QImage>

// The settings menu (page 5): eight picture entries leading to the output
// menu, crops, screen layout, link menu, picture menu, test pattern, smart
// mapping and advanced menu. Back returns to the main menu.
class Option : public MenuPage {
    Q_OBJECT
public:
    explicit Option(QWidget* parent = nullptr);
    ~Option() override;

    // Back to the main menu. The USB-disk watcher calls it from its own
    // thread: such a call is carried into the GUI thread and acts only if
    // the settings menu is then still open and in front.
    void slot_Button_back_clicked();

    // An 8-bit greyscale copy of an image.
    static QImage converToGrayscale(const QImage& image);
    // The number of plain files (no links) directly in "/mnt/usb1/" whose
    // suffix is exactly "qjfile".
    static int get_file_list_usbpath();

protected:
    QString iconPath(int index) const override;
    QSize iconSize(int index) const override;
    void clearInstancePointer() override;
};
