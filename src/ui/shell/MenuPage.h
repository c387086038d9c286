#pragma once
#include "ui/shell/FocusRing.h"
#include "ui/shell/PageBase.h"

#include <QDialog>
#include <QRect>
#include <QSize>

#include <functional>
#include <vector>

class QLabel;
class QPushButton;

// A menu page: a table of entries, each a button with a picture and/or a
// text that opens a child page. Left/Right move the focus with wrap-around,
// OK opens the focused entry's child (nothing when it is disabled), Back
// returns to the page below. language_changed re-texts, re-pictures and
// re-evaluates which entries are enabled.
class MenuPage : public QDialog, public PageBase {
    Q_OBJECT
public:
    using Texts = const char* const[5];

    struct Entry {
        const char* name;                   // the button's object name
        QRect geometry;
        uint8_t child;                      // page number OK opens
        const char* icon = nullptr;         // per-language picture base (L10n::icon)
        QSize iconSize{64, 64};
        const char* const* texts = nullptr; // five-language text row, or none
        std::function<bool()> enabled;      // empty: always enabled
    };

    MenuPage(uint8_t focus, const char* className, QWidget* parent = nullptr);

    // From any thread: a call from another thread is carried into the GUI
    // thread and acts only if this page is then still open and in front.
    void language_changed() override;
    // A change broadcast re-texts the menu only when the language changed.
    void syncUpdate(int reason) override;
    int current() const { return ring_.current(); }
    QPushButton* entryButton(int index) const;
    FocusRing& ring() { return ring_; }

    // The looks of the main menu's large entries, with a grey disabled pair.
    static FocusRing::Styles defaultStyles();
    // The looks of the settings and advanced menus' entries, with a grey
    // disabled pair.
    static FocusRing::Styles settingsEntryStyles();
    // The looks of the small menus' text entries (white text, orange frame).
    static FocusRing::Styles textEntryStyles();

protected:
    // Builds the buttons and the ring; focus on entry 0.
    void setEntries(std::vector<Entry> entries, const FocusRing::Styles& styles = defaultStyles());
    // The centred white title, re-texted with the menu.
    void setTitle(const QRect& geometry, int pointSize, const char* const* texts, const char* family = nullptr);
    // The point size of every entry button's text.
    void setEntryPointSize(int pointSize);
    // What a menu refreshes of its own before its entries are re-texted.
    virtual void refreshOwn() {}
    // The picture of an entry in the current language.
    virtual QString iconPath(int index) const;
    // The picture size of an entry in the current language.
    virtual QSize iconSize(int index) const;
    // What OK does on an enabled entry: opens its child page.
    virtual void openEntry(int index);

    void keyPressEvent(QKeyEvent* event) override { handleKeyPress(event); }
    void keyReleaseEvent(QKeyEvent* event) override { handleKeyRelease(event); }
    void onLeft() override { ring_.step(-1); }
    void onRight() override { ring_.step(1); }
    void onOk() override;
    void onBack() override;

    QLabel* title_ = nullptr;

private:
    const char* const* titleTexts_ = nullptr;
    std::vector<Entry> entries_;
    std::vector<QPushButton*> buttons_;
    FocusRing ring_;
};
