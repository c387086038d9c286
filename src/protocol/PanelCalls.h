#pragma once
#include <functional>

namespace kel::protocol {

// The front-panel calls the protocol handlers make. Pages live in the GUI
// thread, so every call is queued there; the page in front and the page
// pointers are checked when the call runs, not when it is posted. The
// shell installs the hooks at start-up; a hook returns false when its page
// does not exist.
class PanelCalls {
public:
    enum class Event {
        UpdateStart,
        UpdateOver,
        RecoveryFileStored,
        SmartFileStored,
        ConfigFileStored,
        SmartFilesDeleted,
        RecoveryFilesDeleted,
    };

    struct Hooks {
        std::function<int()> pageFocus;
        std::function<bool()> updateStart;                  // MainWindow::update_start
        std::function<bool()> updateOver;                   // MainWindow::update_over
        std::function<bool()> optionLanguageChanged;        // Option::language_changed
        std::function<bool()> advancedOptionLanguageChanged; // AdvancedOption::language_changed
        std::function<bool()> smartMappingBack;             // SmartMapping::Button_back_clicked
        std::function<bool()> rcvRecoveryBack;              // rcv_recovery::menulist_back_page
        std::function<bool()> fpgaManagerPresent;           // fpga_manage::p_fpga_manage set
    };

    // Page numbers (g_page_focus) the calls depend on.
    static constexpr int kFocusOption = 5;
    static constexpr int kFocusAdvancedOption = 12;
    static constexpr int kFocusSmartMapping = 24;
    static constexpr int kFocusRcvRecovery = 25;

    static void install(Hooks hooks);
    static void clear();
    // Queues the event into the GUI thread (runs at once when there is no
    // application object, as in a headless tool).
    static void post(Event event);
    // The GUI-thread part: picks and calls the page function.
    static void deliver(Event event);
};

} // namespace kel::protocol
