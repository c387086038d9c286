#pragma once
#include "platform/I2cBus.h"

namespace kel::platform::sim {

// A simulated chip at one I2C address. It receives, in order, the messages
// of one combined transfer that are addressed to it; returning false NACKs
// the transfer.
class SimI2cDevice {
public:
    virtual ~SimI2cDevice() = default;
    virtual bool transfer(I2cMsg* msgs, int count) = 0;
};

} // namespace kel::platform::sim
