#pragma once
#include <cstdint>
#include <string>

namespace kel::platform {

// One message of an I2C_RDWR transfer, as the kernel's struct i2c_msg.
struct I2cMsg {
    static constexpr uint16_t kRead = 0x0001;  // I2C_M_RD
    uint16_t addr = 0;   // 7-bit address
    uint16_t flags = 0;
    uint16_t len = 0;
    uint8_t* buf = nullptr;
};

// An i2c-dev adapter ("/dev/i2c-0").
class I2cBus {
public:
    virtual ~I2cBus() = default;
    virtual bool open(const std::string& devPath) = 0;
    virtual bool isOpen() const = 0;
    virtual void close() = 0;
    // Runs the messages as one combined transfer (repeated starts).
    // Returns the number of messages done, or -1 on failure (e.g. NACK).
    virtual int transfer(I2cMsg* msgs, int count) = 0;
};

} // namespace kel::platform
