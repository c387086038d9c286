#pragma once
#include "support/SimRootFixture.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class KelRamPara;
class fpga_manage;
namespace kel::platform::sim {
class SimFpga;
class SimNorFlash;
class SimFpgaBoard;
}

namespace kel::test {

// A simulated board with the FPGA manager created on it, a fresh parameter
// store (LED size 1920 x 1080), the LED globals at their start values and a
// tick counter the test advances. The thread is never started: the test
// runs the management pass itself.
class FpgaFixture : public SimRootFixture {
protected:
    FpgaFixture();
    ~FpgaFixture() override;
    void SetUp() override;
    void TearDown() override;

    fpga_manage& m();
    platform::sim::SimFpga& fpga();
    platform::sim::SimNorFlash& flash();
    KelRamPara& store() { return *store_; }

    // The input board reports its 0xD0 chip set up and releases the resets.
    void inputBoardReady();
    void advance(uint32_t ticks);
    // Powers up to the lit screen; returns the ticks it took.
    uint32_t powerUp();
    // One pass per tick until done() or maxTicks; returns the ticks used.
    // Every status and V-by-One step entered is recorded.
    uint32_t runUntil(const std::function<bool()>& done, uint32_t maxTicks);
    void pass();
    // Bytes sent to a spidev path, one vector per transfer.
    std::vector<std::vector<uint8_t>> sent(const std::string& path) const;
    void clearLog();

    std::vector<int> reasons;          // change announcements seen
    std::vector<int> statusSteps;      // status steps in order of entry
    std::vector<int> vboSteps;         // V-by-One steps in order of entry
    uint8_t chipState = 0;

private:
    void recordSteps();
    std::unique_ptr<KelRamPara> store_;

};

} // namespace kel::test
