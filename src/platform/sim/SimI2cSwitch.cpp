#include "platform/sim/SimI2cSwitch.h"

namespace kel::platform::sim {

bool SimI2cSwitch::transfer(I2cMsg* msgs, int count)
{
    for (int i = 0; i < count; ++i) {
        I2cMsg& m = msgs[i];
        if (m.flags & I2cMsg::kRead) {
            for (uint16_t k = 0; k < m.len; ++k)
                m.buf[k] = control_;
        } else if (m.len > 0) {
            control_ = m.buf[m.len - 1];
            ++writes_;
        }
    }
    return true;
}

void SimI2cSwitch::attach(uint8_t channel, uint16_t addr, SimI2cDevice* device)
{
    devices_.emplace(addr, std::make_pair(channel, device));
}

SimI2cDevice* SimI2cSwitch::route(uint16_t addr) const
{
    const uint8_t ctl = control_;
    auto range = devices_.equal_range(addr);
    for (auto it = range.first; it != range.second; ++it)
        if (ctl & it->second.first)
            return it->second.second;
    return nullptr;
}

} // namespace kel::platform::sim
