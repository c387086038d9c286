#pragma once
#include <cstddef>
#include <cstdint>

namespace kel::platform::sim {

// A simulated chip on a spidev device path. transfer() gets one full-duplex
// message: rx has the same length as tx and starts zeroed.
class SimSpiChip {
public:
    virtual ~SimSpiChip() = default;
    virtual void transfer(const uint8_t* tx, uint8_t* rx, size_t len) = 0;
};

} // namespace kel::platform::sim
