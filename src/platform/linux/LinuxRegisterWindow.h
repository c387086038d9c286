#pragma once
#include "platform/RegisterWindow.h"

namespace kel::platform::linuxdev {

// "/dev/mem" mapped MAP_SHARED with O_SYNC, either at the fixed physical
// base or where the memory-system driver "/dev/msys" says.
class LinuxRegisterWindow : public RegisterWindow {
public:
    ~LinuxRegisterWindow() override;
    bool open() override;
    bool openMemorySystem() override;
    uint32_t size() const override { return base_ ? size_ : 0; }
    bool isOpen() const override { return base_ != nullptr; }
    OpenStep failedStep() const override { return failed_; }
    void close() override;
    uint16_t read16(uint32_t offset) override;
    void write16(uint32_t offset, uint16_t value) override;
    bool openPhysical() override;

private:
    int msysFd_ = -1;
    int memFd_ = -1;
    volatile uint8_t* base_ = nullptr;
    uint32_t size_ = 0;
    bool map(uint32_t physBase, uint32_t size);
    bool fail(OpenStep step);
    OpenStep failed_ = OpenStep::None;
};

} // namespace kel::platform::linuxdev
