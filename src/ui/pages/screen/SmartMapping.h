#pragma once
#include "ui/pages/screen/ScanFileList.h"
#include "ui/shell/FocusRing.h"
#include "ui/shell/PageBase.h"

#include <QDialog>
#include <QMetaObject>

#include <cstdint>

class QFrame;
class QLabel;
class QPushButton;
class QStackedWidget;
class QToolButton;
class QWidget;
class My_lineEdit;

// The smart-mapping wizard (page 24). A main menu on the left picks one of
// four branches: step-by-step mapping of a cabinet grid (cabinet size, port,
// rows/columns/route/offsets), loading a scan file (port, file), curing the
// cards' parameters and switching mapping on or off. Each command fills
// line_type / g_qjfile_name, posts into the FPGA manager's mailbox and opens
// the progress popup; while the popup is open nothing can start another
// command or close the wizard, but the focus still moves.
class SmartMapping : public QDialog, public PageBase {
    Q_OBJECT
public:
    enum Branch : int { Shortcut = 0, LoadScan = 1, ParaWeld = 2, MappingSwitch = 3 };
    enum StackPage : int { StepSize = 0, StepPort = 1, StepGrid = 2, RouteChooser = 3, ScanPort = 4,
                           ScanFiles = 5, Curing = 6, MappingPage = 7 };

    explicit SmartMapping(QWidget* parent = nullptr);
    ~SmartMapping() override;

    void language_changed() override;
    void syncUpdate(int reason) override;
    // Back on the main menu and the close asked for over the control link:
    // refused while the progress popup is open.
    void Button_back_clicked();
    void pressBack() override { Button_back_clicked(); }

    // The branch openers and commands (the buttons' own slots).
    void on_Button_shortcut_clicked();
    void on_Button_loadscan_clicked();
    void on_Button_paraweld_clicked();
    void on_Button_mapping_clicked();
    void on_Button_next_clicked();
    void on_Button_next_2_clicked();
    void on_Button_front_3_clicked();
    void on_Button_send_clicked();
    void on_Button_route_clicked();
    void on_Button_next_5_clicked();
    void on_Button_front_6_clicked();
    void on_Button_load_clicked();
    void on_Button_confirm_clicked();
    void on_Button_mapping_state_clicked();
    void kel_button_wlan_clicked(int cell);
    void kel_button_file_clicked(int place);
    void kel_Button_previous_clicked();
    void kel_Button_next_clicked();
    void line_select(int route);

    // Focus state, for tests and the keys.
    int menuIndex() const { return menu_index; }
    bool branchActive() const { return branch_active; }
    int scanFileCount() const { return scan_file_count; }
    int stackPage() const;
    int currentPage() const { return current_page; }
    int fileCursor() const { return file_cursor; }
    const ScanFileList& fileList() const { return files_; }

signals:
    // Progress of the posted command, forwarded from the FPGA manager's
    // long-lived relay to the popup.
    void sig_qround_bar_update(int value);

public slots:
    void show_numberkeyboard_ui(QString text);
    void confirmString(QString text);

protected:
    void keyPressEvent(QKeyEvent* event) override { handleKeyPress(event); }
    void keyReleaseEvent(QKeyEvent* event) override { handleKeyRelease(event); }
    void onLeft() override { branchKey(-1, false, false); }
    void onRight() override { branchKey(1, false, false); }
    void onOk() override { branchKey(0, true, false); }
    void onBack() override { branchKey(0, false, true); }
    bool modeKeyHeld() const override { return busy(); }
    void clearInstancePointer() override;

private:
    // The wizard's style texts.
    struct Looks {
        static constexpr const char* kNormal =
            "background-color: rgb(33, 36, 53);color:rgb(255, 255, 255);border:1px solid rgb(255, 255, 255);";
        static constexpr const char* kFocus =
            "background-color: rgb(33, 36, 53);color:rgb(255, 255, 255);border:1px solid rgb(255,171,84);";
        static constexpr const char* kGrey =
            "background-color: gray;border:2px;border-radius:10px;padding:2px 4px;color:rgb(255,255,255)";
        static constexpr const char* kBranch = "color:rgb(255, 255, 255);border:1px solid rgb(71, 119, 255);";
        static constexpr const char* kViewTab =
            "background-color: #4777FF;color: rgb(255, 255, 255);border:1px solid rgb(255, 255, 255);";
        static constexpr const char* kField =
            "color:rgb(255, 255, 255);background-color:rgb(33, 36, 53);border:1px solid rgb(255,255,255);";
        static constexpr const char* kFieldFocus =
            "color:rgb(255, 255, 255);background-color: rgb(33, 36, 53);border:1px solid rgb(255,171,84);";
        static constexpr const char* kCellGreen = "background-color: #212435;border:1px solid #00D65B;";
        static constexpr const char* kCellWhite = "background-color: #212435;border:1px solid #FFFFFF;";
        static constexpr const char* kTransparent = "background-color: transparent;";
    };
    // Looks of a file label (Plain, Cursor, Clicked) for a stored or a USB file.
    enum FileLook : int { Plain = 0, Cursor = 1, Clicked = 2 };

    // ---- form (SmartMapping_form.cpp) ----
    void buildForm();
    void buildMenu();
    void buildStepPages();
    void buildScanPages();
    QWidget* addPage(const char* name);
    void setTexts();
    void placeMenu();
    static QString routeText(int route);
    static QString noFileText();
    // The number keyboard's title for a field, by its object name.
    static QString keyboardTitle(const QString& field);

    // ---- line_type (SmartMapping_record.cpp) ----
    static uint8_t portOf();
    static void setPort(uint8_t port);
    static int routeWay();
    static void setRouteWay(uint8_t route);
    static void storeCabinet(const QString& width, const QString& height);
    static void storeGrid(const QString& rows, const QString& columns, const QString& horizontal,
                          const QString& vertical);

    // ---- main menu and commands (SmartMapping.cpp) ----
    void connectButtons();
    static bool busy();
    void branchKey(int step, bool ok, bool back);
    void mainKey(int step, bool ok, bool back);
    void enterBranch();
    void leaveBranch(QWidget* focused);
    void menulist_main_sel(int index);
    void showPage(int page);
    // Posts a card command; opens the popup and joins it to the progress
    // only when the post was taken.
    bool postWithPopup(uint8_t command);
    void countScanFiles();

    // ---- steps, port grid and route chooser (SmartMapping_steps.cpp) ----
    void shortcutKey(int step, bool ok, bool back);
    void step1Key(int step, bool ok, bool back);
    void step2Key(int step, bool ok, bool back);
    void step3Key(int step, bool ok, bool back);
    void routeKey(int step, bool ok, bool back);
    void scanPortKey(int step, bool ok, bool back);
    void startStep3();
    void prepareLoadscan(bool entering);
    // Shows port view 0 (ports 1-8) or 1 (9-16) on the grid of a step.
    void selectView(int view, int tabBase);
    void wlan_init(int gridPage);
    void moveGridCursor(int step, int viewSel, int gridPage);

    // ---- scan-file step (SmartMapping_files.cpp) ----
    void scanFileKey(int step, bool ok, bool back);
    void menulist_loadscan_page2_init();
    void scan_file_list();
    void setFileLook(int place, int look);
    QPushButton* fileButton() const;
    void leaveFileStep();

    // The form.
    QLabel* title_ = nullptr;
    QPushButton* menu_[4] = {};
    QStackedWidget* stack_ = nullptr;
    QWidget* pages_[8] = {};
    QLabel* step1_ = nullptr;
    QLabel* boxWidth_ = nullptr;
    QLabel* boxHeight_ = nullptr;
    My_lineEdit* lineEdit_X = nullptr;
    My_lineEdit* lineEdit_Y = nullptr;
    QPushButton* next_ = nullptr;
    QLabel* step2_ = nullptr;
    QPushButton* wlan_[8] = {};   // Button_wlan1..8 (3, 4, 7, 8 hidden)
    QPushButton* front2_ = nullptr;
    QPushButton* next2_ = nullptr;
    QLabel* step3_ = nullptr;
    QLabel* boxLine_ = nullptr;
    QLabel* boxColumn_ = nullptr;
    QLabel* routeWay_ = nullptr;
    QLabel* horizon_ = nullptr;
    QLabel* vert_ = nullptr;
    My_lineEdit* lineEdit_line = nullptr;
    My_lineEdit* lineEdit_column = nullptr;
    My_lineEdit* lineEdit_horzion = nullptr;
    My_lineEdit* lineEdit_vert = nullptr;
    QPushButton* route_ = nullptr;
    QPushButton* front3_ = nullptr;
    QPushButton* send_ = nullptr;
    QToolButton* routes_[16] = {};
    QToolButton* cancel_ = nullptr;
    QLabel* step1_5_ = nullptr;
    QPushButton* next5_ = nullptr;
    QLabel* step2_6_ = nullptr;
    QLabel* step2_7_ = nullptr;
    QPushButton* front6_ = nullptr;
    QPushButton* load_ = nullptr;
    QLabel* step1_6_ = nullptr;
    QPushButton* confirm_ = nullptr;
    QLabel* step1_7_ = nullptr;
    QPushButton* mappingState_ = nullptr;
    QFrame* grids_[2] = {};       // port grid of step 2 and of Load scan step 1
    QFrame* cells_[2][8] = {};
    QFrame* fileFrame_ = nullptr;
    QLabel* fileLabels_[3] = {};

    // Focus lists.
    FocusRing step1Ring_;
    FocusRing step3Ring_;
    FocusRing routeRing_;
    QPushButton* selectedTab_ = nullptr;

    // Wizard state.
    int menu_index = 0;
    bool branch_active = false;
    int scan_file_count = 0;
    int shortcut_step = 0;
    int port_sel = 0;
    bool port_grid_active = false;
    uint8_t saved_port = 0;
    bool route_picking = false;
    int port_view = 0;
    int port_cursor = 0;
    int loadscan_step = 0;
    int loadscan_port_sel = 0;
    bool loadscan_grid_active = false;
    bool loadscan_port_confirmed = false;

    // Scan-file step.
    ScanFileList files_;
    int current_page = 0;
    int file_select = 0;
    int file_cursor = 0;
    bool file_on_buttons = false;
    int file_button_sel = 0;    // 0 Button_front_6, 1 Button_load

    QMetaObject::Connection popupLink_;
};
