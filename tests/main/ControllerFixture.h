#pragma once
#include "support/SimRootFixture.h"

#include <functional>

namespace kel::test {

// The whole controller started in this process as main starts it, on a
// fresh simulated board, with the tick driven by the test. The start-up's
// own pauses return at once; the manager threads pause for real but briefly,
// so they make progress without spinning the host.
class ControllerFixture : public SimRootFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs ticks of the 10 ms timer (with the GUI events between them) until
    // pred holds; false when it still does not after maxTicks.
    bool tickUntil(const std::function<bool()>& pred, int maxTicks = 20000);
    // FPGA 0 powered up with its output on, and the scaler initialised.
    static bool screenLit();
};

} // namespace kel::test
