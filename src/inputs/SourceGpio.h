#pragma once
#include <cstdint>
#include <functional>
#include <memory>

namespace kel::platform { class RegisterWindow; }

// The GPIO lines of the input board: 16-bit stores into the SoC register
// window. Every store goes through write() so the simulated board sees each
// edge. The FPGA manager may install its own writer (it maps the window);
// until then a window of our own is used.
class SourceGpio {
public:
    static constexpr uint32_t kIt6602Reset = 0x207940;  // 0 holds, 16 releases
    static constexpr uint32_t kIt6805Reset = 0x207944;
    static constexpr uint32_t kEdidWp = 0x207948;       // 0 writable, 16 protected
    static constexpr uint32_t kGs2971Reset = 0x2848;    // level in bit 0
    static constexpr uint32_t kFpga0Reset = 0x207858;
    static constexpr uint32_t kFpga1Reset = 0x207864;
    static constexpr uint32_t kSdiEnable = 0x207800;
    static constexpr uint16_t kHigh = 16;
    static constexpr uint16_t kLow = 0;

    using Writer = std::function<void(uint32_t offset, uint16_t value)>;

    SourceGpio();
    ~SourceGpio();
    void write(uint32_t offset, uint16_t value);
    // Replaces the store path (empty: back to the own window).
    void setWriter(Writer writer);

private:
    Writer writer_;
    std::unique_ptr<kel::platform::RegisterWindow> window_;
};
