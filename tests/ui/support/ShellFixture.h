#pragma once
#include "support/SimRootFixture.h"

#include <QColor>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "params/KelRamPara.h"
#include "params/SyncUpdate.h"

class QWidget;

namespace kel::test {

// The front panel on the offscreen platform: a fresh parameter store and
// change pass, the main window (its timer is never started: tests drive
// the tick), the key router, and helpers to script keys into whatever
// modal loop is current.
class ShellFixture : public SimRootFixture {
protected:
    using Step = std::function<void()>;

    void SetUp() override;
    void TearDown() override;

    // Opens the home screen as start-up does (focus 0).
    void openHome();
    // Sends a press and release of the code as the platform would, to the
    // main window; the router takes it from there.
    void key(int code);
    // Runs the steps one after the other, each from a zero timer, so a
    // step runs inside any modal loop the previous one opened. A final
    // step closes every page above the main menu so all loops unwind. A
    // watchdog fails the test and closes every dialog after 10 s.
    void run(std::vector<Step> steps);
    void tick(int n);
    // A step that presses the keys in order.
    Step keys(std::vector<int> codes);
    // Steps that type digits on the open number keyboard and confirm them;
    // an empty text deletes the one digit the field holds.
    void type(std::vector<Step>& steps, const QString& text);
    // Runs posted events, deferred deletes included.
    void settle();
    // Saves a PNG of the widget under the test artefact folder.
    QString grab(QWidget* widget, const QString& name);

    // The widget of that object name on the page in front (the open modal
    // dialog, else the page of g_page_focus), else anywhere on screen.
    static QWidget* find(const QString& objectName);
    // Its style sheet, or "<missing name>" when there is no such widget.
    static QString styleOf(const QString& objectName);
    // The picture it shows ("iconPath" property set by PageForm::setIcon).
    static QString iconOf(const QString& objectName);
    // The colour of one pixel of the widget as drawn now.
    static QColor pixel(QWidget* widget, int x, int y);
    // Saves a PNG of the page in front (the main window when no page is
    // open) under the artefact folder, with the number keyboard drawn over
    // its right half while it is open.
    QString screenshot(const QString& name);
    // Plays the chip manager thread's hand-off: when c331_apply_flag is
    // set, clears it and broadcasts its value. Returns the value (0: no
    // pass was pending).
    int simChipPass();

    KelRamPara& ram() { return *store_; }
    void setU16(size_t off, uint16_t value);
    uint16_t u16(size_t off) const;
    // Block and shadow equal (as after a change pass).
    void syncShadow();
    std::vector<std::string> commands() const;

    std::unique_ptr<KelRamPara> store_;
    std::unique_ptr<SyncUpdate> sync_;

private:
    void closeEverything();
};

} // namespace kel::test
