#pragma once
#include "platform/sim/SimI2cDevice.h"

#include <atomic>
#include <cstdint>

namespace kel::platform::sim {

// The input board's control port at 0x40: its value is the last byte
// written. Bit 0 set protects the EDID EEPROMs; bits 2..7 select the audio.
class SimInputPort : public SimI2cDevice {
public:
    bool transfer(I2cMsg* msgs, int count) override;

    uint8_t value() const { return value_.load(); }
    void setValue(uint8_t v) { value_ = v; }
    unsigned writes() const { return writes_.load(); }
    void setPresent(bool present) { present_ = present; }

private:
    // Protected until the controller says otherwise.
    std::atomic<uint8_t> value_{0x01};
    std::atomic<unsigned> writes_{0};
    std::atomic<bool> present_{true};
};

} // namespace kel::platform::sim
