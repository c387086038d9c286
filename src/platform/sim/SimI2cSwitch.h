#pragma once
#include "platform/sim/SimI2cDevice.h"

#include <atomic>
#include <cstdint>
#include <map>

namespace kel::platform::sim {

// An I2C switch: the control value is the last byte of any write, so both a
// [reg 0, channel] write and a bare one-byte write select the channel. A
// device behind it answers only while its channel bit is set.
class SimI2cSwitch : public SimI2cDevice {
public:
    bool transfer(I2cMsg* msgs, int count) override;

    // Called under the bus lock (the bus serialises transfers).
    void attach(uint8_t channel, uint16_t addr, SimI2cDevice* device);
    SimI2cDevice* route(uint16_t addr) const;

    uint8_t control() const { return control_.load(); }
    void setControl(uint8_t value) { control_ = value; }
    unsigned writes() const { return writes_.load(); }

private:
    std::atomic<uint8_t> control_{0};
    std::atomic<unsigned> writes_{0};
    std::multimap<uint16_t, std::pair<uint8_t, SimI2cDevice*>> devices_;
};

} // namespace kel::platform::sim
