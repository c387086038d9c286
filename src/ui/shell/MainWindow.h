#pragma once
#include "ui/shell/EntryList.h"
#include "ui/shell/PageBase.h"

#include <QMainWindow>

#include <cstdint>
#include <functional>

class ModePicker;
class QLabel;
class QPushButton;

// The main menu (page 1) and the one window that lives for the whole run:
// four menu entries, the panel-lock button, the tools column (LED off,
// mute, recall and save a user mode) and the IP address. It owns the 10 ms
// tick and creates the number keyboard and the notice popup.
class MainWindow : public QMainWindow, public PageBase {
    Q_OBJECT
public:
    // What the tick and the upgrade calls reach outside the shell. Unset
    // entries do nothing (no FPGA: no ageing sample).
    struct Hooks {
        std::function<bool()> fpgaRunning;                     // FPGA 0 up, manager present
        std::function<void(uint8_t regs[3])> readAgeingRegs;   // refreshed registers 42, 40, 43
        std::function<void()> ageingPageRefresh;               // the open ageing-log page
        std::function<void()> upgradeTick;                     // the upgrade popup's animation
        std::function<void()> upgradeStart;                    // show the upgrade popup
        std::function<void()> upgradeOver;                     // close it
    };
    static Hooks& hooks();

    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    void menulist_init();
    void language_changed() override;
    void para_init();
    void ip_changed();
    void syncUpdate(int reason) override;
    void mode_window_close();
    // Safe from any thread: carried into the GUI thread.
    void update_start();
    void update_over();

    uint8_t notice_pending = 0;
    uint8_t l_call_state = 0;
    uint8_t save_state = 0;
    uint8_t l_lock_state = 0;
    uint8_t ui_select = 0;
    uint8_t mode_select = 0;

    bool toolsShown() const;
    ModePicker* picker() const { return picker_; }

public slots:
    void on_option_clicked();
    void on_machinestate_clicked();
    void on_inputchoose_clicked();
    void on_custommode_clicked();
    void on_tools_clicked();
    void on_toolButton1_clicked();
    void on_toolButton2_clicked();
    void on_toolButton3_clicked();
    void on_toolButton4_clicked();
    void on_Button_lock_clicked();
    // OK in an open picker: the highlighted slot is clicked.
    void kel_button_mode_clicked();
    void slot_update_timer_ticks();

protected:
    void keyPressEvent(QKeyEvent* event) override { handleKeyPress(event); }
    void keyReleaseEvent(QKeyEvent* event) override;
    void onLeft() override;
    void onRight() override;
    void onOk() override;
    void onBack() override;
    void onMode() override;

private:
    void buildForm();
    QPushButton* menuButton(const char* name, const QRect& geometry, const char* style);
    QPushButton* smallButton(QWidget* parent, const char* name, const QRect& geometry, const char* style);
    void setIcon(QPushButton* button, const QString& path, int w, int h);
    // The call and save tools show their resting pictures.
    void showPickerIdle();
    void moveFocus(int delta);
    bool pickerOpen() const { return l_call_state || save_state; }
    void getagelog();
    void agePeriod();
    // Periods the tick has to serve: those G_timeTicks advanced since the
    // last call while the tick thread counts, else one, counted here.
    uint32_t countPeriods();
    void openPage(uint8_t focus);
    // The user-mode picker: open (recall or save), move, choose a slot.
    void openPicker(bool save);
    void stepPicker(int direction);
    void choosePickerSlot(int slot);

    EntryList menu_;
    EntryList toolList_;
    QPushButton* machinestate = nullptr;
    QPushButton* inputchoose = nullptr;
    QPushButton* custommode = nullptr;
    QPushButton* option = nullptr;
    QPushButton* Button_lock = nullptr;
    QPushButton* tools = nullptr;
    QWidget* widget = nullptr;
    QPushButton* toolButton[4] = {};
    QLabel* label_IP = nullptr;
    QLabel* label_IPaddr = nullptr;
    ModePicker* picker_ = nullptr;
    bool rebootIssued_ = false;
    uint32_t lastRebootTick_ = 0;
    uint32_t dutyTick_ = 0;   // the counter at the last served call
};
