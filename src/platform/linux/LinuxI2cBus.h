#pragma once
#include "platform/I2cBus.h"

namespace kel::platform::linuxdev {

class LinuxI2cBus : public I2cBus {
public:
    ~LinuxI2cBus() override;
    bool open(const std::string& devPath) override;
    bool isOpen() const override { return fd_ >= 0; }
    void close() override;
    int transfer(I2cMsg* msgs, int count) override;

private:
    int fd_ = -1;
};

} // namespace kel::platform::linuxdev
