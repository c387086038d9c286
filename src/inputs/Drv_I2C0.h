#pragma once
#include <cstdint>

// The one gateway to the board's I2C bus "/dev/i2c-0". Chips are named by
// their 8-bit bus address (7-bit address << 1); each call is exactly one
// combined transfer, with no retry, sleep or lock. The descriptor returned by
// initialize() is kept by the callers.
class Drv_I2C0 {
public:
    static constexpr unsigned kMaxWrite = 255;  // data bytes after the register
    static constexpr int kMaxRead = 100;         // the read staging buffer

    static Drv_I2C0* p_drv_i2c0;
    static Drv_I2C0* pInstance();

    // Opens the bus read-write; the descriptor, negative on failure.
    int initialize();
    // Releases a descriptor returned by initialize().
    void release(int fd);

    // One message: reg then n data bytes. 1 on success, 0 on failure or when
    // n is above kMaxWrite (then nothing is sent).
    int i2c_write(int fd, uint8_t addr, uint8_t reg, const uint8_t* data, unsigned n);
    // Register write then repeated-start read of n bytes. 1 on success (n
    // bytes copied, none for n < 1), 0 on failure with data untouched; n above
    // kMaxRead is refused without a transfer.
    int i2c_read(int fd, uint8_t addr, uint8_t reg, uint8_t* data, int n);
};
