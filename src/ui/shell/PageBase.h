#pragma once
#include "ui/shell/PanelKeys.h"
#include "ui/shell/kel_keyboard.h"

#include <QPoint>
#include <QString>

#include <cstdint>

class QKeyEvent;
class QWidget;

// What every front-panel page shares: its page number, the key decoding
// (both codes of each panel key, handling on release), Back to the parent,
// the Mode key (unless the panel is locked: close the chain and open the
// user-mode page), and passing every released key to the keypad handler.
// A page derives from its Qt class and from this, forwards its
// keyPressEvent/keyReleaseEvent here and overrides the on* hooks it needs.
class PageBase {
public:
    PageBase(QWidget* self, uint8_t focus, const char* className);
    virtual ~PageBase();
    PageBase(const PageBase&) = delete;
    PageBase& operator=(const PageBase&) = delete;

    QWidget* pageWidget() const { return self_; }
    uint8_t pageFocus() const { return focus_; }
    const char* pageClass() const { return class_; }

    virtual void language_changed() {}
    // Refresh after a change broadcast; pages without a reason ignore it.
    virtual void syncUpdate(int reason) { (void)reason; }

    // This page now receives the keys: joins the open pages and the change
    // pass, sets g_page_focus, sits over the main window and is raised.
    void takeFocus();
    // Closes the page for good (deleted by the toolkit once its own loop
    // has returned) and clears its instance pointer.
    void closePage();

    // Back as if the key was pressed (calls from other threads arrive here
    // through the GUI thread). A page whose Back depends on its inner state
    // closes itself here instead.
    virtual void pressBack() { onBack(); }
    // Back: close, refresh the parent with its language_changed and give
    // it the focus number.
    void returnTo(uint8_t parentFocus);

    // panel_key_lock is set: the Mode key and the keypad do nothing.
    static bool panelLocked();
    // Moves a top-level page or popup to the main window's position.
    static void placeOverMain(QWidget* widget);
    // The main window's position ((0, 0) before it exists).
    static QPoint mainOrigin();

protected:
    void handleKeyPress(QKeyEvent* event);
    void handleKeyRelease(QKeyEvent* event);

    virtual void onLeft() {}
    virtual void onRight() {}
    virtual void onOk() {}
    virtual void onBack() {}
    // Closes every page above the main menu and opens the user-mode page.
    virtual void onMode();
    virtual void onOtherKey(int code) { (void)code; }
    // The page holds the Mode key back (for example while its progress
    // popup runs): like a locked panel, the key then reaches nothing.
    virtual bool modeKeyHeld() const { return false; }
    // Clears the page's own global pointer while it still names this page.
    virtual void clearInstancePointer() {}
    // The debug line written for a released panel key.
    virtual QString releaseLine(PanelKey key) const;

    kel_keyboard& keyboard() { return keyboard_; }

private:
    QWidget* self_;
    uint8_t focus_;
    const char* class_;
    bool closed_ = false;
    kel_keyboard keyboard_;
};
