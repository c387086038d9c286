#pragma once
#include <cstdint>
#include <functional>

class PageBase;

// Opens pages by page number. The pages of the later subsystems register
// a maker at start-up (it constructs the page with a null parent and sets
// its instance pointer); a number without a maker opens a plain placeholder
// page that only knows its number, Back and Mode.
class PageOpener {
public:
    using Maker = std::function<PageBase*()>;

    static void setMaker(uint8_t focus, Maker maker);
    static void clearMakers();
    // The page below a page: where its Back returns.
    static uint8_t parentOf(uint8_t focus);

    // Constructs the page, gives it the focus and runs it: the user-mode
    // page with show(), every dialog page with exec() (nested in the
    // caller's key handler; the caller must do nothing afterwards).
    static void open(uint8_t focus);
    // The Mode key: closes every page above the main menu, marks the
    // shortcut and opens the user-mode page.
    static void openUserModeByModeKey();
    // Back of the page with this number, for calls from other threads once
    // they reach the GUI thread: only while that page is open and in front
    // (a child opened meanwhile keeps it). False when nothing was done.
    static bool backIfInFront(uint8_t focus);
    // Back of the user-mode page: after a Mode-key visit a new home screen
    // (the shortcut mark is cleared), else the main menu.
    static void leaveUserModePage(PageBase& page);
};
