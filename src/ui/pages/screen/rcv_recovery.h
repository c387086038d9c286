#pragma once
#include "ui/shell/PageBase.h"

#include <QDialog>
#include <QMetaObject>
#include <QStringList>

#include <cstdint>

class QFrame;
class QLabel;
class QPushButton;

// The receiving-card self-recovery page (page 25): Query posts the card
// check, Recovery replays the stored operations of the card the check
// found. The FPGA manager does the work; this page shows its progress popup
// and the result list, which it reads from the LED side when it redraws.
class rcv_recovery : public QDialog, public PageBase {
    Q_OBJECT
public:
    enum Row : uint8_t { RowQuery = 0, RowRecovery = 1 };
    static constexpr int kRowsPerPage = 4;

    explicit rcv_recovery(QWidget* parent = nullptr);
    ~rcv_recovery() override;

    void menulist_init();
    void language_changed() override;
    void syncUpdate(int reason) override;
    void rcv_self_recovery_file_list();
    void menulist_sel_left();
    void menulist_sel_right();
    void menulist_button_ok_page();
    void menulist_back_page();

    uint8_t selected() const { return ui_select; }
    bool notInFile() const { return rcv_not_in_file != 0; }
    QStringList shownRows() const;

signals:
    void sig_qround_bar_update(int value);

public slots:
    void kel_Button_previous_clicked();
    void kel_Button_next_clicked();
    void kel_button_file_clicked();

protected:
    void keyPressEvent(QKeyEvent* event) override { handleKeyPress(event); }
    void keyReleaseEvent(QKeyEvent* event) override { handleKeyRelease(event); }
    void onLeft() override { menulist_sel_left(); }
    void onRight() override { menulist_sel_right(); }
    void onOk() override { menulist_button_ok_page(); }
    void onBack() override { menulist_back_page(); }
    bool modeKeyHeld() const override;
    void clearInstancePointer() override;
    QString releaseLine(PanelKey key) const override;

private:
    static bool busy();
    void focusRow(uint8_t row);
    // Posts a card command; only a taken post opens the popup.
    void postWithPopup(uint8_t command);
    void drawEntry(const QString& entry, int index, int row);
    QPushButton* pageButton(const QRect& geometry, const char* icon);

    QStringList rcv_result_list;   // the entries drawn last
    uint8_t ui_select = RowQuery;
    uint32_t rcv_not_in_file = 0;
    int8_t current_page = 0;
    uint8_t max_page = 0;
    uint8_t rcv_result_num = 0;
    int file_select = 0;           // the first row starts chosen

    QLabel* label_title = nullptr;
    QFrame* frame = nullptr;
    QLabel* label_para_file = nullptr;
    QPushButton* Button_closetest = nullptr;
    QLabel* label_rcv_update = nullptr;
    QFrame* frame_file = nullptr;
    QPushButton* Button_check = nullptr;
    QPushButton* Button_self_covery = nullptr;
    QPushButton* menu_rows[2] = {};
    QLabel* row_labels[kRowsPerPage] = {};
    QString row_texts[kRowsPerPage];
    QMetaObject::Connection popup_link_;
};
