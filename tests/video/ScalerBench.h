#pragma once
#include "params/RamLayout.h"
#include "platform/sim/SimScaler.h"
#include "support/SimRootFixture.h"
#include "video/c331_manage.h"

#include <memory>
#include <vector>

namespace kel::test {

// A scaler manager on the simulated chip, with its own parameter block,
// hand-off and recording neighbours.
class ScalerBench : public SimRootFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the manager as its thread would, without the thread.
    void bringUp();
    // A writer's hand-off: lock, write, raise the flag, unlock.
    void handOff(size_t off, uint16_t value, uint8_t flag = 1);
    void setU16(size_t off, uint16_t value) { RamLayout::setU16(block, off, value); }
    int writesTo(int bank, int reg) const;

    platform::sim::SimScaler& chip() { return *chip_; }

    uint8_t block[RamLayout::kBlockSize] = {};
    uint8_t regBank[RamLayout::kRegBankSize] = {};
    pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
    std::atomic<uint8_t> flag{0};
    c331_peers peers;
    std::unique_ptr<c331_manage> manager;

    std::vector<int> announced, restarts;
    int audioRequests = 0, brightnessRequests = 0, outputRequests = 0, osdReloads = 0;
    int ledParaDone = 0;

private:
    platform::sim::SimScaler* chip_ = nullptr;
};

} // namespace kel::test
