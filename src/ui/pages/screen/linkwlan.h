#pragma once
#include "ui/shell/FocusRing.h"
#include "ui/shell/PageBase.h"

#include <QDialog>

class QLabel;
class QPushButton;
class My_lineEdit;

// The network address page: twelve octet editors (address, mask, gateway),
// Apply and Cancel. Apply stores the address through NetworkConfig, and
// only when every octet is 0..255 and something changed.
class linkwlan : public QDialog, public PageBase {
    Q_OBJECT
public:
    static constexpr int kOctets = 12;

    explicit linkwlan(QWidget* parent = nullptr);

    void language_changed() override;
    void syncUpdate(int reason) override;
    // False when an octet is refused (nothing written, nothing run).
    bool on_Button_net_apply_clicked();
    int ui_select() const { return ring_.current(); }
    // An octet text the page accepts: one to three digits, value 0..255.
    static bool isOctet(const QString& text);

public slots:
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
    void buildForm();
    void fillRow(int row, const QString& address);
    QString rowText(int row) const;
    void editOctet(int index);

    QLabel* title_ = nullptr;
    QLabel* rowLabels_[3] = {};
    My_lineEdit* octets_[kOctets] = {};
    QPushButton* apply_ = nullptr;
    QPushButton* cancel_ = nullptr;
    FocusRing ring_;
};
