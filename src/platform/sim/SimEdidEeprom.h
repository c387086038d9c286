#pragma once
#include "platform/sim/SimI2cDevice.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

namespace kel::platform::sim {

// A 256-byte 24C02-like EDID EEPROM kept in a file: random reads that wrap at
// 256, 8-byte page writes. Writes are acknowledged but ignored unless the
// write gate is open (write-protect line and input port bit 0 both low) and
// the EEPROM is not stuck.
class SimEdidEeprom : public SimI2cDevice {
public:
    using Gate = std::function<bool()>;
    static constexpr int kSize = 256;
    static constexpr int kPage = 8;

    // Loads the file when it exists; else starts from `initial` and saves it.
    SimEdidEeprom(std::string hostFile, const std::array<uint8_t, kSize>& initial);

    bool transfer(I2cMsg* msgs, int count) override;
    void setGate(Gate gate) { gate_ = std::move(gate); }

    // Back doors.
    std::array<uint8_t, kSize> contents() const;
    void setContents(const std::array<uint8_t, kSize>& data);
    void setStuck(bool stuck) { stuck_ = stuck; }
    // The nth read transfer from now (1 = the next) is not acknowledged.
    void failReadAt(unsigned nth) { failAt_ = nth; }
    bool stuck() const { return stuck_; }
    unsigned pageWrites() const { return pageWrites_; }
    unsigned ignoredWrites() const { return ignoredWrites_; }
    bool rewritten() const { return pageWrites_ > 0; }
    const std::string& file() const { return file_; }

private:
    void writeBytes(const uint8_t* data, int n);
    void save() const;

    std::string file_;
    mutable std::mutex lock_;
    std::array<uint8_t, kSize> mem_{};
    uint8_t pointer_ = 0;
    Gate gate_;
    std::atomic<bool> stuck_{false};
    std::atomic<unsigned> failAt_{0};
    std::atomic<unsigned> pageWrites_{0};
    std::atomic<unsigned> ignoredWrites_{0};
};

} // namespace kel::platform::sim
