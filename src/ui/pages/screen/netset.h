#pragma once
#include "ui/shell/FocusRing.h"
#include "ui/shell/PageBase.h"

#include <QDialog>

class QFrame;
class QLabel;
class QLineEdit;

// The output ports page: sixteen ports, four in view, each with its link
// icon; the area boxes show the selected port's loaded area. Read only.
// Left and Right do not wrap; at the edge of the view they scroll it.
class netset : public QDialog, public PageBase {
    Q_OBJECT
public:
    static constexpr int kVisible = 4;

    explicit netset(QWidget* parent = nullptr);

    void language_changed() override;
    void syncUpdate(int reason) override;
    void wlan_para_get(unsigned short port);
    void initWlan();
    int ui_select() const { return ui_select_; }
    int ui_sel() const { return ui_sel_; }
    int ui_min_select() const { return ui_min_select_; }

public slots:
    void slot_Button_back_clicked();

protected:
    void keyPressEvent(QKeyEvent* event) override { handleKeyPress(event); }
    void keyReleaseEvent(QKeyEvent* event) override { handleKeyRelease(event); }
    void onLeft() override;
    void onRight() override;
    void onBack() override { slot_Button_back_clicked(); }
    void clearInstancePointer() override;

private:
    void buildForm();
    void menulist_init();
    // After a move: the tab, the selected port's area and the link icons.
    void showSelection();

    int ui_select_ = 0;
    int ui_sel_ = 0;
    int ui_min_select_ = 0;
    QLabel* title_ = nullptr;
    QLabel* wLabel_ = nullptr;
    QLabel* hLabel_ = nullptr;
    QLabel* links_[kVisible] = {};
    QLabel* names_[kVisible] = {};
    QLineEdit* values_[4] = {};
    QFrame* tab_ = nullptr;
    FocusRing buttons_;
};
