#pragma once
#include "ui/shell/FocusRing.h"
#include "ui/shell/PageBase.h"

#include <QDialog>

#include <memory>

class QFrame;
class QLabel;
class QPushButton;
class My_lineEdit;
class SourceTabs;

// The EDID page: the six inputs in list order, the stored EDID timing of
// the focused one, and a form that edits width, height and the refresh
// choice (60 or 30) and saves them into the input's EdidSourceRecord
// through the hand-off.
class EDIDset : public QDialog, public PageBase {
    Q_OBJECT
public:
    enum State : uint8_t { List = 0, Rows = 1, RefreshChoice = 2 };
    enum Row : int { RowW = 0, RowH, RowRate, RowDelete, RowCancel, RowSave, RowCount };
    // An EDID detailed timing holds at most 4095 pixels per axis.
    static constexpr int kMaxSize = 4095;

    explicit EDIDset(QWidget* parent = nullptr);
    ~EDIDset() override;

    void language_changed() override;
    void syncUpdate(int reason) override;

    void source_init();
    void kel_button_input_clicked();
    void kel_button_source_clicked();
    void on_Button_freq_clicked();
    // Save: false (and the record unchanged) when width or height is
    // empty, not a number, 0 or above kMaxSize.
    bool kel_button_ok_clicked();
    void kel_button_cancel_clicked();

    uint8_t state() const { return ui_seltype; }
    int row() const { return ring_.current(); }
    uint8_t shownSource() const { return shown_source; }
    // A width or height as Save takes it: 1..kMaxSize, else none.
    static int parseSize(const QString& text);

protected:
    void keyPressEvent(QKeyEvent* event) override { handleKeyPress(event); }
    void keyReleaseEvent(QKeyEvent* event) override { handleKeyRelease(event); }
    void onLeft() override { step(-1); }
    void onRight() override { step(1); }
    void onOk() override;
    void onBack() override;
    void clearInstancePointer() override;

private:
    void buildForm();
    void step(int delta);
    void setLooks(bool listFocused);
    void closeForm();
    void save();
    const uint8_t* block() const;

    uint8_t ui_select = 0;
    uint8_t ui_seltype = List;
    uint8_t freq_select = 0;
    uint8_t freq_select_saved = 0;
    uint8_t shown_source = 2;
    QString shown_source_name;

    std::unique_ptr<SourceTabs> tabs_;
    FocusRing ring_;
    QLabel* label_title = nullptr;
    QFrame* source_cursor = nullptr;
    QFrame* frame_source = nullptr;
    QFrame* frame_add = nullptr;
    QLabel* label_edid_source = nullptr;
    QLabel* label_W = nullptr;
    QLabel* label_H = nullptr;
    QLabel* label_freq = nullptr;
    QLabel* label_rate = nullptr;
    QLabel* summary_ = nullptr;
    My_lineEdit* lineEdit_W = nullptr;
    My_lineEdit* lineEdit_H = nullptr;
    QPushButton* button_delete = nullptr;
    QPushButton* button_cancel = nullptr;
    QPushButton* button_save = nullptr;
};
