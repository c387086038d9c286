#include "platform/sim/SimI2cAdapter.h"

#include "platform/sim/SimBoard.h"
#include "platform/sim/SimI2cBus.h"

namespace kel::platform::sim {

bool SimI2cAdapter::open(const std::string& devPath)
{
    bus_ = board_.i2cBus(devPath);
    return bus_ != nullptr;
}

int SimI2cAdapter::transfer(I2cMsg* msgs, int count)
{
    return bus_ ? bus_->transfer(msgs, count) : -1;
}

} // namespace kel::platform::sim
