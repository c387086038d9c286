#pragma once
#include "ui/shell/PageBase.h"

#include <QDialog>

class QLabel;

// Stands for a page whose own code is not part of this build: it holds the
// page's number, shows the page's title in the panel language, and handles
// Back (to the page below) and Mode like any page. The user-mode page's Back
// returns to a new home screen after a Mode-key visit, else to the main menu.
class PlaceholderPage : public QDialog, public PageBase {
    Q_OBJECT
public:
    explicit PlaceholderPage(uint8_t focus, QWidget* parent = nullptr);

    static const char* pageName(uint8_t focus);
    void language_changed() override;

protected:
    void keyPressEvent(QKeyEvent* event) override { handleKeyPress(event); }
    void keyReleaseEvent(QKeyEvent* event) override { handleKeyRelease(event); }
    void onBack() override;

private:
    QLabel* title_;
};
