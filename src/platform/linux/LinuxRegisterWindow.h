#pragma once
#include "platform/RegisterWindow.h"

namespace kel::platform::linuxdev {

// /dev/msys opened (the memory-system driver must be present), then
// /dev/mem mapped MAP_SHARED at the physical base with O_SYNC.
class LinuxRegisterWindow : public RegisterWindow {
public:
    ~LinuxRegisterWindow() override;
    bool open() override;
    bool isOpen() const override { return base_ != nullptr; }
    void close() override;
    uint16_t read16(uint32_t offset) override;
    void write16(uint32_t offset, uint16_t value) override;

private:
    int msysFd_ = -1;
    int memFd_ = -1;
    volatile uint8_t* base_ = nullptr;
};

} // namespace kel::platform::linuxdev
