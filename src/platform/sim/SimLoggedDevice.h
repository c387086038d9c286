#pragma once
#include "platform/sim/SimI2cDevice.h"

#include <functional>

namespace kel::platform::sim {

// Stands in front of a simulated chip and reports each run of messages it
// served, with the chip's answer, to a recorder.
class SimLoggedDevice : public SimI2cDevice {
public:
    using Recorder = std::function<void(uint16_t addr, const I2cMsg* msgs, int count, bool ok)>;

    SimLoggedDevice(uint16_t addr, SimI2cDevice* device, Recorder recorder)
        : addr_(addr), device_(device), recorder_(std::move(recorder)) {}

    bool transfer(I2cMsg* msgs, int count) override
    {
        const bool ok = device_->transfer(msgs, count);
        recorder_(addr_, msgs, count, ok);
        return ok;
    }

private:
    uint16_t addr_;
    SimI2cDevice* device_;
    Recorder recorder_;
};

} // namespace kel::platform::sim
