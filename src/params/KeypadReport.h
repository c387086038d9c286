#pragma once
#include <array>
#include <cstdint>

// The 5-byte output report that lights the USB keypad's LEDs: update
// marker, the current window, the current window's input and its signal,
// and the freeze/black state of that window.
class KeypadReport {
public:
    static constexpr uint16_t kVendor = 0x28E9;
    static constexpr uint16_t kProduct = 0x0380;
    using Bytes = std::array<uint8_t, 5>;

    // block: RamBlock; current: g_image_current; updating: g_update_flag.
    static Bytes build(const uint8_t* block, uint8_t current, bool updating);
};
