#pragma once
#include "platform/FpgaBoardMap.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace kel::platform { class RegisterWindow; }
class GpioWord;

// The GPIO lines of the input board: 16-bit stores into the SoC register
// window. Every store goes through write() so the simulated board sees each
// edge. The words are those the FPGA manager maps; before it has mapped
// them (or without it) a window of our own is used. A test may install its
// own writer.
class SourceGpio {
public:
    using Map = kel::platform::FpgaBoardMap;
    static constexpr uint32_t kIt6602Reset = Map::kIt6602Reset;  // 0 holds, 16 releases
    static constexpr uint32_t kIt6805Reset = Map::kIt6805Reset;
    static constexpr uint32_t kEdidWp = Map::kEdidWp;            // 0 writable, 16 protected
    static constexpr uint32_t kGs2971Reset = Map::kGs2971Reset;  // level in bit 0
    static constexpr uint32_t kFpga0Reset = Map::kFpga0Reset;
    static constexpr uint32_t kFpga1Reset = Map::kFpga1Reset;
    static constexpr uint32_t kSdiEnable = Map::kSdiEnable;
    static constexpr uint16_t kHigh = Map::kHigh;
    static constexpr uint16_t kLow = Map::kLow;

    using Writer = std::function<void(uint32_t offset, uint16_t value)>;

    SourceGpio();
    ~SourceGpio();
    void write(uint32_t offset, uint16_t value);
    // Replaces the store path (empty: back to the own window).
    void setWriter(Writer writer);

private:
    static GpioWord* managerWord(uint32_t offset);

    Writer writer_;
    std::unique_ptr<kel::platform::RegisterWindow> window_;
};
