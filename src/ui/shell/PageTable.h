#pragma once
#include <cstdint>

class PageBase;

// The open pages by page number. Pages join when they take the focus and
// leave when they close; the change pass of the parameter store reaches
// the page in front through the same entries.
class PageTable {
public:
    static void enter(PageBase* page);
    // Leaves only while the entry still names this page.
    static void leave(PageBase* page);
    static PageBase* at(int focus);
    // The page named by g_page_focus, or null.
    static PageBase* focused();
    // The class name of the open page with this number, or null. Safe from
    // any thread (the simulated board's state report reads it).
    static const char* classAt(int focus);
    // Closes every open page but the main menu, innermost first.
    static void closeAllButMain();
    // Forgets every entry (tests).
    static void reset();
};
