#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace kel::platform {

// One spidev device: configured once, then one full-duplex transfer per
// message (SPI_IOC_MESSAGE(1)).
class SpiDevice {
public:
    virtual ~SpiDevice() = default;
    virtual bool open(const std::string& devPath) = 0;
    virtual bool isOpen() const = 0;
    virtual void close() = 0;
    // mode 0..3, bits per word, speed in Hz. False when the device refuses.
    virtual bool configure(uint8_t mode, uint8_t bits, uint32_t speedHz) = 0;
    // tx may be null (zeros are sent), rx may be null. False on failure.
    virtual bool transfer(const uint8_t* tx, uint8_t* rx, size_t len) = 0;
};

} // namespace kel::platform
