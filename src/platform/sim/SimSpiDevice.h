#pragma once
#include "platform/SpiDevice.h"

namespace kel::platform::sim {

class SimSpiBus;

class SimSpiDevice : public SpiDevice {
public:
    explicit SimSpiDevice(SimSpiBus& bus) : bus_(bus) {}
    bool open(const std::string& devPath) override;
    bool isOpen() const override { return open_; }
    void close() override { open_ = false; }
    bool configure(uint8_t mode, uint8_t bits, uint32_t speedHz) override;
    bool transfer(const uint8_t* tx, uint8_t* rx, size_t len) override;

    uint8_t mode() const { return mode_; }
    uint8_t bits() const { return bits_; }
    uint32_t speed() const { return speed_; }

private:
    SimSpiBus& bus_;
    std::string path_;
    bool open_ = false;
    uint8_t mode_ = 0;
    uint8_t bits_ = 8;
    uint32_t speed_ = 0;
};

} // namespace kel::platform::sim
