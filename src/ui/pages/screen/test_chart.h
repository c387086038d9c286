#pragma once
#include "ui/shell/FocusRing.h"
#include "ui/shell/PageBase.h"

#include <QDialog>

class QLabel;
class QPushButton;

// The test pattern page: eight pattern previews and Close. OK on a preview
// puts its pattern on the LED screen (test_pattern 1..8); Close and Back
// take it off (0) and leave. The Mode key leaves the pattern on.
class test_chart : public QDialog, public PageBase {
    Q_OBJECT
public:
    static constexpr int kPatterns = 8;

    explicit test_chart(QWidget* parent = nullptr);

    void language_changed() override;
    void syncUpdate(int reason) override;
    int ui_select() const { return ring_.current(); }

public slots:
    void slot_Button_on_clicked();
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
    // Writes test_pattern together with the apply flag.
    static void setPattern(uint8_t value);

    QLabel* title_ = nullptr;
    QLabel* names_[kPatterns] = {};
    QPushButton* close_ = nullptr;
    FocusRing ring_;
};
