#pragma once
#include <cstdint>

namespace kel::platform {

// Wiring of the LED-output board: where its GPIO lines sit in the SoC
// register window, and which spidev device reaches which chip. Both the
// FPGA manager and the simulated board read this one table.
class FpgaBoardMap {
public:
    // 16-bit line words; in the 0x2078xx-0x2079xx range a store of 16
    // drives the line high and 0 drives it low.
    static constexpr uint32_t kFpga1Cs = 0x207900;
    static constexpr uint32_t kFpga0Cs = 0x207810;
    static constexpr uint32_t kFpga0Cmd = 0x207838;
    static constexpr uint32_t kFpga0Reset = 0x207858;
    static constexpr uint32_t kFlash2Cs = 0x207860;
    static constexpr uint32_t kFpga1Reset = 0x207864;
    static constexpr uint32_t kIt6602Reset = 0x207940;
    static constexpr uint32_t kIt6805Reset = 0x207944;
    static constexpr uint32_t kEdidWp = 0x207948;
    static constexpr uint32_t kFpga1Cmd = 0x20794C;
    // These two lines keep their level in bit 0.
    static constexpr uint32_t kStartLine = 0x1F1C;
    static constexpr uint32_t kGs2971Reset = 0x2848;
    // Interrupt inputs, level in bit 0.
    static constexpr uint32_t kFpga0Irq = 0x207908;
    static constexpr uint32_t kFpga1Irq = 0x207910;
    static constexpr uint32_t kFlash3Cs = 0x20790C;
    static constexpr uint32_t kSdiEnable = 0x207800;

    static constexpr uint16_t kHigh = 16;
    static constexpr uint16_t kLow = 0;
    static bool isHigh(uint16_t word) { return (word & kHigh) != 0; }

    // spidev device of each driver index (0 FPGA 0, 1 FPGA 1, 2 flash 2,
    // 3 the second flash path).
    static constexpr const char* kSpiPaths[4] = {"/dev/spidev32766.1", "/dev/spidev32766.2",
                                                 "/dev/spidev32766.3", "/dev/spidev32766.4"};
};

} // namespace kel::platform
