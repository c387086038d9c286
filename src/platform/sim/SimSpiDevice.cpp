#include "platform/sim/SimSpiDevice.h"

#include "platform/sim/SimSpiBus.h"

namespace kel::platform::sim {

bool SimSpiDevice::open(const std::string& devPath)
{
    path_ = devPath;
    open_ = bus_.exists(devPath) && !bus_.openFails(devPath);
    return open_;
}

bool SimSpiDevice::configure(uint8_t mode, uint8_t bits, uint32_t speedHz)
{
    if (!open_ || mode > 3)
        return false;
    mode_ = mode;
    bits_ = bits;
    speed_ = speedHz;
    return true;
}

bool SimSpiDevice::transfer(const uint8_t* tx, uint8_t* rx, size_t len)
{
    return open_ && bus_.transfer(path_, tx, rx, len);
}

} // namespace kel::platform::sim
