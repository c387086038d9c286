#include "inputs/sdi_it66121.h"

#include "inputs/Drv_I2C0.h"

int sdi_it66121::I2C2_IT66121_Read(uint8_t addr, uint8_t reg, int count, uint8_t* buf)
{
    return Drv_I2C0::pInstance()->i2c_read(fd_, addr, reg, buf, count);
}

int sdi_it66121::I2C2_IT66121_Write(uint8_t addr, uint8_t reg, unsigned count, const uint8_t* buf)
{
    return Drv_I2C0::pInstance()->i2c_write(fd_, addr, reg, buf, count);
}

uint8_t sdi_it66121::HDMITX_ReadI2C_Byte(uint8_t reg, bool* ok)
{
    uint8_t value = 0;
    const bool done = I2C2_IT66121_Read(kAddress, reg, 1, &value) == 1;
    if (ok)
        *ok = done;
    return done ? value : 0;
}

int sdi_it66121::HDMITX_ReadI2C_ByteN(uint8_t reg, uint8_t* buf, int n)
{
    return I2C2_IT66121_Read(kAddress, reg, n, buf);
}

int sdi_it66121::HDMITX_WriteI2C_Byte(uint8_t reg, uint8_t value)
{
    return I2C2_IT66121_Write(kAddress, reg, 1, &value);
}

int sdi_it66121::HDMITX_SetI2C_Byte(uint8_t reg, uint8_t mask, uint8_t value)
{
    if (mask == 0xFF)
        return HDMITX_WriteI2C_Byte(reg, value);
    bool ok = false;
    const uint8_t old = HDMITX_ReadI2C_Byte(reg, &ok);
    if (!ok)
        return 0;
    return HDMITX_WriteI2C_Byte(reg, static_cast<uint8_t>((old & ~mask) | (value & mask)));
}

int sdi_it66121::HDMITX_OrReg_Byte(uint8_t reg, uint8_t bits)
{
    return HDMITX_SetI2C_Byte(reg, bits, bits);
}

int sdi_it66121::HDMITX_AndReg_Byte(uint8_t reg, uint8_t mask)
{
    return HDMITX_SetI2C_Byte(reg, static_cast<uint8_t>(~mask), 0);
}

int sdi_it66121::Switch_HDMITX_Bank(uint8_t bank)
{
    return HDMITX_SetI2C_Byte(kBankReg, 0x01, bank & 1);
}
