#pragma once
#include <cstdint>

class ite6805_sys;

// Register access of the IT6805: one I2C transfer per call on the board's
// bus, through the descriptor of ite6805_sys. Pages are 8-bit addresses:
// 0x90 the receiver (banks through register 0x0F), 0xC8 CEC, 0xA8 EDID RAM,
// 0xB4 a second receiver page. No call retries; failures are printed.
class ite6805_i2c_rdwr {
public:
    static constexpr uint8_t kRxPage = 0x90;
    static constexpr uint8_t kCecPage = 0xC8;
    static constexpr uint8_t kEdidPage = 0xA8;
    static constexpr uint8_t kLvdsPage = 0xB4;

    explicit ite6805_i2c_rdwr(ite6805_sys& sys) : sys_(sys) {}

    // A failed read gives 0.
    uint8_t hdmirxrd(uint8_t reg, int dev);
    // 0 written, 1 failed.
    int hdmirxwr(uint8_t reg, uint8_t value, int dev);
    int hdmirxset(uint8_t reg, uint8_t mask, uint8_t value, int dev);
    // Nonzero when written or read.
    int hdmirxbwr(uint8_t reg, int n, const uint8_t* buf, int dev);
    int hdmirxbrd(uint8_t reg, int n, uint8_t* buf, int dev);

    uint8_t cecrd_6805(uint8_t reg);
    int cecwr_6805(uint8_t reg, uint8_t value);
    int cecset_6805(uint8_t reg, uint8_t mask, uint8_t value);
    int cecbrd_it6805(uint8_t reg, int n, uint8_t* buf);
    void cecbwr_it6805(uint8_t reg, int n, const uint8_t* buf);

    int edid_ram_wr(uint8_t reg, int n, const uint8_t* buf, int dev);
    int lvdsrxwr(uint8_t reg, uint8_t value, int dev);

private:
    bool read(uint8_t page, uint8_t reg, uint8_t* buf, int n);
    bool write(uint8_t page, uint8_t reg, const uint8_t* buf, int n);
    bool tracing(int dev) const;

    ite6805_sys& sys_;
};
