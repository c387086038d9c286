#pragma once
#include <cstdint>

// Register access of the SDI path's IT66121 transmitter at 0x98 on the
// board's I2C bus, through the descriptor its owner keeps. Holds no state of
// its own: the bank is register 0x0F bit 0 of the chip.
class sdi_it66121 {
public:
    static constexpr uint8_t kAddress = 0x98;
    static constexpr uint8_t kBankReg = 0x0F;

    explicit sdi_it66121(const int& fd) : fd_(fd) {}

    // One combined transfer; 1 ok, 0 failure (buf untouched).
    int I2C2_IT66121_Read(uint8_t addr, uint8_t reg, int count, uint8_t* buf);
    int I2C2_IT66121_Write(uint8_t addr, uint8_t reg, unsigned count, const uint8_t* buf);

    // The byte read; 0 when the read failed (*ok tells which).
    uint8_t HDMITX_ReadI2C_Byte(uint8_t reg, bool* ok = nullptr);
    int HDMITX_ReadI2C_ByteN(uint8_t reg, uint8_t* buf, int n);
    int HDMITX_WriteI2C_Byte(uint8_t reg, uint8_t value);
    // Mask 0xFF writes; other masks replace the masked bits of the value
    // read. A failed read writes nothing: the other bits are unknown.
    int HDMITX_SetI2C_Byte(uint8_t reg, uint8_t mask, uint8_t value);
    int HDMITX_OrReg_Byte(uint8_t reg, uint8_t bits);
    int HDMITX_AndReg_Byte(uint8_t reg, uint8_t mask);
    int Switch_HDMITX_Bank(uint8_t bank);

private:
    const int& fd_;
};
