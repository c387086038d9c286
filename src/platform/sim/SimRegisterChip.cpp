#include "platform/sim/SimRegisterChip.h"

namespace kel::platform::sim {

bool SimRegisterChip::transfer(I2cMsg* msgs, int count)
{
    if (!present_)
        return false;
    std::lock_guard<std::mutex> l(lock_);
    ++transfers_;
    for (int i = 0; i < count; ++i) {
        I2cMsg& m = msgs[i];
        if (m.flags & I2cMsg::kRead) {
            for (uint16_t k = 0; k < m.len; ++k)
                m.buf[k] = regs_[pointer_++];
            continue;
        }
        if (m.len == 0)
            continue;
        pointer_ = m.buf[0];
        for (uint16_t k = 1; k < m.len; ++k) {
            regs_[pointer_] = m.buf[k];
            if (log_.size() < 100000)
                log_.emplace_back(pointer_, m.buf[k]);
            ++pointer_;
        }
    }
    return true;
}

uint8_t SimRegisterChip::reg(uint8_t r) const
{
    std::lock_guard<std::mutex> l(lock_);
    return regs_[r];
}

void SimRegisterChip::setReg(uint8_t r, uint8_t value)
{
    std::lock_guard<std::mutex> l(lock_);
    regs_[r] = value;
}

std::array<uint8_t, 256> SimRegisterChip::dump() const
{
    std::lock_guard<std::mutex> l(lock_);
    return regs_;
}

std::vector<std::pair<uint8_t, uint8_t>> SimRegisterChip::writeLog() const
{
    std::lock_guard<std::mutex> l(lock_);
    return log_;
}

} // namespace kel::platform::sim
