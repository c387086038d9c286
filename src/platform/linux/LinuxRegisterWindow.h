#pragma once
#include "platform/RegisterWindow.h"

#include <cstddef>

namespace kel::platform::linuxdev {

// The memory-system driver (/dev/msys, request 0x5315) tells the window's
// physical base and size, which are then mapped from /dev/mem, shared and
// synchronous.
class LinuxRegisterWindow : public RegisterWindow {
public:
    ~LinuxRegisterWindow() override;
    bool open() override;
    bool isOpen() const override { return base_ != nullptr; }
    OpenStep failedStep() const override { return failed_; }
    void close() override;
    uint16_t read16(uint32_t offset) override;
    void write16(uint32_t offset, uint16_t value) override;

private:
    bool fail(OpenStep step);

    int msysFd_ = -1;
    int memFd_ = -1;
    volatile uint8_t* base_ = nullptr;
    size_t size_ = 0;
    OpenStep failed_ = OpenStep::None;
};

} // namespace kel::platform::linuxdev
