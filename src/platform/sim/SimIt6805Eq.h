#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>

namespace kel::platform::sim {

// The receive equaliser of a simulated IT6805, in the port banks (3 for
// port 0, 7 for port 1) of the main page. Not locked: SimIt6805 calls it
// under its own lock, after storing each main-page write.
// - A rise of 0x22 bit 2 runs the equaliser: with 0x22 bits 5:3 all set the
//   automatic one (latches bank 0 0x07 bit 6, port 1 0x0C), otherwise the
//   successive-approximation one (bit 4). Results 0xD5..0xD7 (0x1F).
// - 0x63/0x64: result validity of the channel in 0x37 bits 7:6 (0x3FFF
//   invalid); 0x5D..0x60: DFE values of the index in 0x36 bits 3:0.
// - Error counters: writing 0xE9 with bit 7 measures all three channels at
//   their current setting (0x27..0x29 with bit 7 set, else the result);
//   0xE9 bits 6:5 select the channel shown in 0xEA (low) and 0xEB (0x80 |
//   high bits; 0 when nothing was measured). A clean channel counts 2.
// - Bank 0 (port 1: bank 4) 0xB9 and 0xBE clear when written and count
//   again at once while a channel counts 240 or more or measures nothing.
class SimIt6805Eq {
public:
    using Banks = std::array<std::array<uint8_t, 256>, 8>;
    static constexpr int kClean = 2;
    static constexpr int kNotMeasured = -1;

    void powerOn(Banks& b) const;
    void written(Banks& b, int bank, uint8_t r, uint8_t old, uint8_t v);

    // Back doors.
    // The count of a channel at a setting (rs < 0: every setting without a
    // count of its own); kNotMeasured leaves 0xEB at 0.
    void setBitErrors(int channel, int rs, int count);
    void setNoDone(bool never) { noDone_ = never; }
    void setSarInvalid(bool invalid) { sarInvalid_ = invalid; }
    void setResult(int channel, uint8_t value) { result_[static_cast<size_t>(channel % 3)] = value; }
    void setDfe(int index, std::array<uint8_t, 4> values) { dfe_[index & 0x0F] = values; }

private:
    int count(int channel, uint8_t rs) const;
    int effectiveRs(const Banks& b, int bank, int channel) const;
    bool linkErrors(const Banks& b, int bank) const;
    void showValidity(Banks& b, int bank) const;

    std::map<std::pair<int, int>, int> counts_;
    std::array<int, 3> measured_{kNotMeasured, kNotMeasured, kNotMeasured};
    std::array<uint8_t, 3> result_{0x1F, 0x1F, 0x1F};
    std::array<std::array<uint8_t, 4>, 16> dfe_{};
    bool noDone_ = false;
    bool sarInvalid_ = false;
};

} // namespace kel::platform::sim
