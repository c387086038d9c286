#pragma once
#include "platform/SpiDevice.h"

namespace kel::platform::linuxdev {

class LinuxSpiDevice : public SpiDevice {
public:
    ~LinuxSpiDevice() override;
    bool open(const std::string& devPath) override;
    bool isOpen() const override { return fd_ >= 0; }
    void close() override;
    bool configure(uint8_t mode, uint8_t bits, uint32_t speedHz) override;
    bool transfer(const uint8_t* tx, uint8_t* rx, size_t len) override;

private:
    int fd_ = -1;
    uint8_t bits_ = 8;
    uint32_t speed_ = 0;
};

} // namespace kel::platform::linuxdev
