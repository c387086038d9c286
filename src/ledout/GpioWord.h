#pragma once
#include <atomic>
#include <cstdint>

namespace kel::platform { class RegisterWindow; }

// One 16-bit GPIO control word of the SoC register window. Loads and stores
// go through the platform's window, so the simulated board sees every edge.
// Until it is bound (or when the window could not be mapped) the word is a
// harmless dummy that keeps the last value stored.
class GpioWord {
public:
    static constexpr uint16_t kHigh = 16;
    static constexpr uint16_t kLow = 0;

    void bind(kel::platform::RegisterWindow* window, uint32_t offset);
    bool bound() const { return window_.load() != nullptr; }
    uint32_t offset() const { return offset_; }

    void store(uint16_t value);
    uint16_t load() const;
    void high() { store(kHigh); }
    void low() { store(kLow); }

private:
    std::atomic<kel::platform::RegisterWindow*> window_{nullptr};
    uint32_t offset_ = 0;
    std::atomic<uint16_t> dummy_{0};
};
