#pragma once
#include "platform/sim/SimI2cDevice.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

namespace kel::platform::sim {

// A plain register-file chip: a write sets the register pointer and stores
// the following bytes with auto-increment; a read returns bytes from the
// pointer on. An absent chip NACKs everything. Every stored byte is logged
// in order.
class SimRegisterChip : public SimI2cDevice {
public:
    bool transfer(I2cMsg* msgs, int count) override;

    // Back doors.
    void setPresent(bool present) { present_ = present; }
    bool present() const { return present_; }
    uint8_t reg(uint8_t r) const;
    void setReg(uint8_t r, uint8_t value);
    std::array<uint8_t, 256> dump() const;
    std::vector<std::pair<uint8_t, uint8_t>> writeLog() const;
    unsigned transfers() const { return transfers_; }

private:
    mutable std::mutex lock_;
    std::array<uint8_t, 256> regs_{};
    std::vector<std::pair<uint8_t, uint8_t>> log_;
    uint8_t pointer_ = 0;
    std::atomic<bool> present_{true};
    std::atomic<unsigned> transfers_{0};
};

} // namespace kel::platform::sim
