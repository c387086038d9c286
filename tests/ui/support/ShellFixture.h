#pragma once
#include "support/SimRootFixture.h"

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
    // Runs posted events, deferred deletes included.
    void settle();
    // Saves a PNG of the widget under the test artefact folder.
    QString grab(QWidget* widget, const QString& name);

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
