#pragma once
#include "ui/shell/PageBase.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <cstdint>

class QFrame;
class QLabel;
class QPushButton;

// The USB upgrade page (page 26): lists the upgrade packages on the stick
// four to a row page, with the first "KEL" and every "KELZK" package
// highlighted; OK starts the upgrade engine in the FPGA manager thread
// once per page instance, and the end of the run (104) shows its start
// and end times. The run goes on when the page closes.
class firmware_usbgrade : public QDialog, public PageBase {
    Q_OBJECT
public:
    static constexpr int kRows = 4;
    static constexpr int kListMax = 100;

    explicit firmware_usbgrade(QWidget* parent = nullptr);
    ~firmware_usbgrade() override;

    void language_changed() override;
    void syncUpdate(int reason) override;
    void get_file_list_smartpath();
    void upgrade_file_list();
    void menulist_button_ok_page();
    void menulist_back_page();

    // An upgrade may start: none runs and no card procedure is posted.
    static bool upgradeMayStart();

    QStringList file_list;
    uint8_t file_count = 0;
    uint8_t file_marks[kListMax] = {};
    uint8_t kel_count = 0;
    uint8_t kelzk_count = 0;
    int8_t current_page = 0;
    uint8_t last_page = 0;
    uint8_t file_select = 0;
    uint8_t file_downing = 0;
    uint8_t ui_select = 0;
    QString upgrade_log_text;

public slots:
    void kel_Button_previous_clicked();
    void kel_Button_next_clicked();
    void kel_button_file_clicked();
    void on_Button_grade_clicked();

protected:
    void keyPressEvent(QKeyEvent* event) override { handleKeyPress(event); }
    void keyReleaseEvent(QKeyEvent* event) override { handleKeyRelease(event); }
    void onOk() override;
    void onBack() override { menulist_back_page(); }
    void onMode() override;
    void clearInstancePointer() override;
    QString releaseLine(PanelKey key) const override;

private:
    void buildForm();
    // The red "do not power off" message with a time stamp.
    void showDowning(const QString& stamp);

    QFrame* frame = nullptr;
    QFrame* frame_file = nullptr;
    QLabel* label_usb_update = nullptr;
    QLabel* label_log = nullptr;
    QPushButton* Button_grade = nullptr;
    QLabel* row_labels[kRows] = {};
    QString row_texts[kRows];
};
