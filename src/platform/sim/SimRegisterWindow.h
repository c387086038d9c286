#pragma once
#include "platform/RegisterWindow.h"

namespace kel::platform::sim {

class SimRegisterMemory;

// A handle on the shared simulated register memory.
class SimRegisterWindow : public RegisterWindow {
public:
    explicit SimRegisterWindow(SimRegisterMemory& memory) : memory_(memory) {}
    bool open() override;
    bool isOpen() const override { return open_; }
    OpenStep failedStep() const override { return failed_; }
    void close() override { open_ = false; }
    uint16_t read16(uint32_t offset) override;
    void write16(uint32_t offset, uint16_t value) override;

private:
    SimRegisterMemory& memory_;
    bool open_ = false;
    OpenStep failed_ = OpenStep::None;
};

} // namespace kel::platform::sim
