#pragma once
#include "platform/sim/SimFlashOp.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace kel::platform::sim {

// The scaler's serial NOR flash, reached through the chip's flash bridge: one call of
// command() is one selection of the chip. It keeps the properties a driver
// must respect: erased bytes read 0xFF, programming only clears bits, a page
// program wraps inside its 256-byte page, erase and program need a write
// enable first, and the chip stays busy for a settable number of status
// polls after each erase or program (commands other than a status read are
// ignored while busy).
class SimScalerFlash {
public:
    static constexpr uint32_t kPageSize = 256;
    static constexpr uint8_t kStatusBusy = 0x01;
    static constexpr uint8_t kStatusWel = 0x02;

    explicit SimScalerFlash(uint32_t size = 8u * 1024u * 1024u);

    // One selection: the bytes sent, and the number of bytes clocked back
    // after them. Returns the bytes read (rxLen of them).
    std::vector<uint8_t> command(const std::vector<uint8_t>& tx, size_t rxLen);

    // Back door for tests and for the board's preload.
    uint32_t size() const { return static_cast<uint32_t>(data_.size()); }
    std::vector<uint8_t> peek(uint32_t addr, uint32_t len) const;
    void poke(uint32_t addr, const std::vector<uint8_t>& bytes);
    // Copies a host file's bytes in at addr; false when it cannot be read.
    bool preloadFile(const std::string& hostPath, uint32_t addr = 0);
    void setBusyPolls(int polls);
    bool busy() const;

    struct Counters {
        int erases = 0;
        int programs = 0;
        int refused = 0;       // erase/program without write enable
        int ignoredBusy = 0;   // commands sent while busy
    };
    Counters counters() const;
    // Erases and programs since the start (or the last clearOps).
    std::vector<SimFlashOp> ops() const;
    void clearOps();

private:
    void erase(uint32_t addr, uint32_t unit);
    void program(uint32_t addr, const uint8_t* bytes, size_t len);
    bool startsWrite(uint8_t op);
    static uint32_t address(const std::vector<uint8_t>& tx);

    mutable std::mutex lock_;
    std::vector<uint8_t> data_;
    bool wel_ = false;
    int busyLeft_ = 0;
    int busyPolls_ = 3;
    Counters counters_;
    std::vector<SimFlashOp> ops_;
};

} // namespace kel::platform::sim
