#pragma once
#include "ui/shell/ChoiceRow.h"
#include "ui/shell/FocusRing.h"
#include "ui/shell/PageBase.h"

#include <QDialog>

#include <memory>
#include <vector>

class QComboBox;
class QLabel;

// The other settings page (page 17): six choice rows, the window whose
// audio plays and its audio on/off, the switching effect, a projection row
// without function, WiFi on/off and pixel-to-pixel. OK edits a row (red
// frame), Left/Right change the shown choice, OK commits it to the block,
// Back abandons the edit without writing.
class othersetup : public QDialog, public PageBase {
    Q_OBJECT
public:
    enum Row { RowWindow = 0, RowVolume, RowSwitch, RowMode, RowWifi, RowP2p, RowCount };

    explicit othersetup(QWidget* parent = nullptr);
    ~othersetup() override;

    void menulist_init();
    void language_changed() override;
    void para_init();
    void syncUpdate(int reason) override;
    // Commits the choice of the row in focus.
    void on_button_box_clicked();

    int current() const { return ring_.current(); }
    bool editing() const { return ring_.editing(); }

protected:
    void keyPressEvent(QKeyEvent* event) override { handleKeyPress(event); }
    void keyReleaseEvent(QKeyEvent* event) override { handleKeyRelease(event); }
    QString releaseLine(PanelKey key) const override;
    void onLeft() override { move(-1); }
    void onRight() override { move(1); }
    void onOk() override;
    void onBack() override;
    void clearInstancePointer() override;

private:
    void buildForm();
    void move(int direction);
    void commitVolume(bool on);
    void commitSwitch(bool fade);
    void commitWifi(bool off);
    void commitP2p(uint8_t on);

    QComboBox* boxes_[RowCount] = {};
    QLabel* labels_[6] = {};
    std::vector<std::unique_ptr<ChoiceRow>> rows_;
    FocusRing ring_;
};
