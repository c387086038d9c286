#include "platform/sim/SimInputPort.h"

namespace kel::platform::sim {

bool SimInputPort::transfer(I2cMsg* msgs, int count)
{
    if (!present_)
        return false;
    for (int i = 0; i < count; ++i) {
        I2cMsg& m = msgs[i];
        if (m.flags & I2cMsg::kRead) {
            for (uint16_t k = 0; k < m.len; ++k)
                m.buf[k] = value_;
        } else if (m.len > 0) {
            value_ = m.buf[m.len - 1];
            ++writes_;
        }
    }
    return true;
}

} // namespace kel::platform::sim
