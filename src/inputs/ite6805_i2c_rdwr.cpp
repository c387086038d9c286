#include "inputs/ite6805_i2c_rdwr.h"

#include "inputs/Drv_I2C0.h"
#include "inputs/ite6805_sys.h"
#include "params/DebugPrint.h"

bool ite6805_i2c_rdwr::read(uint8_t page, uint8_t reg, uint8_t* buf, int n)
{
    return Drv_I2C0::pInstance()->i2c_read(sys_.i2c_fd, page, reg, buf, n) == 1;
}

bool ite6805_i2c_rdwr::write(uint8_t page, uint8_t reg, const uint8_t* buf, int n)
{
    return n >= 0 && Drv_I2C0::pInstance()->i2c_write(sys_.i2c_fd, page, reg, buf, static_cast<unsigned>(n)) == 1;
}

bool ite6805_i2c_rdwr::tracing(int dev) const { return sys_.dev(dev).iTE6805_DATA.trace == 1; }

uint8_t ite6805_i2c_rdwr::hdmirxrd(uint8_t reg, int dev)
{
    (void)dev;
    uint8_t v = 0;  // what a failed read gives
    if (!read(kRxPage, reg, &v, 1)) {
        kelDebug("=====HDMI Read ERROR Read Reg0x%X=\n", reg);
        v = 0;
    }
    return v;
}

int ite6805_i2c_rdwr::hdmirxwr(uint8_t reg, uint8_t value, int dev)
{
    if (tracing(dev))
        kelDebug("i2c_single_write(0x90, 0x%02X, 1, 0x%02X);\n", reg, value);
    if (write(kRxPage, reg, &value, 1))
        return 0;
    kelDebug("=====HDMI I2C ERROR Write Reg0x%X=%X =====\n", reg, value);
    return 1;
}

int ite6805_i2c_rdwr::hdmirxset(uint8_t reg, uint8_t mask, uint8_t value, int dev)
{
    const uint8_t old = hdmirxrd(reg, dev);
    return hdmirxwr(reg, static_cast<uint8_t>((old & ~mask) | (value & mask)), dev);
}

int ite6805_i2c_rdwr::hdmirxbwr(uint8_t reg, int n, const uint8_t* buf, int dev)
{
    if (tracing(dev)) {
        kelDebug("KK====  Write byteno=%X =====\n", n);
        for (int i = 0; i < n; ++i)
            kelDebug("KK====  Write Reg0x1 %X=%X =====\n", reg + i, buf[i]);
    }
    // Nothing is sent for an empty burst; it is reported as a failure.
    if (n > 0 && write(kRxPage, reg, buf, n))
        return 1;
    kelDebug("=====IT6805 I2C ERROR Write Reg0x%X=%X =====\n", reg, n > 0 ? buf[0] : 0);
    return 0;
}

int ite6805_i2c_rdwr::hdmirxbrd(uint8_t reg, int n, uint8_t* buf, int dev)
{
    (void)dev;
    if (read(kRxPage, reg, buf, n))
        return 1;
    kelDebug("HDMI Read ERROR !!!");
    kelDebug("=====  Read Reg0x%X=\n", reg);
    return 0;
}

uint8_t ite6805_i2c_rdwr::cecrd_6805(uint8_t reg)
{
    uint8_t v = 0;
    return read(kCecPage, reg, &v, 1) ? v : 0;
}

int ite6805_i2c_rdwr::cecwr_6805(uint8_t reg, uint8_t value) { return write(kCecPage, reg, &value, 1) ? 0 : 1; }

int ite6805_i2c_rdwr::cecset_6805(uint8_t reg, uint8_t mask, uint8_t value)
{
    const uint8_t old = cecrd_6805(reg);
    return cecwr_6805(reg, static_cast<uint8_t>((old & ~mask) | (value & mask)));
}

int ite6805_i2c_rdwr::cecbrd_it6805(uint8_t reg, int n, uint8_t* buf)
{
    if (read(kCecPage, reg, buf, n))
        return 1;
    kelDebug("iTE6805_CEC I2C ERROR !!!");
    kelDebug("=====  Read Reg0x%X=\n", reg);
    return 0;
}

void ite6805_i2c_rdwr::cecbwr_it6805(uint8_t reg, int n, const uint8_t* buf)
{
    if (n > 0)
        write(kCecPage, reg, buf, n);
}

int ite6805_i2c_rdwr::edid_ram_wr(uint8_t reg, int n, const uint8_t* buf, int dev)
{
    if (tracing(dev))
        for (int i = 0; i < n; ++i)
            kelDebug("i2c_single_write(0xA8, 0x%02X, 1, 0x%02X); \n", reg + i, buf[i]);
    return write(kEdidPage, reg, buf, n) ? 0 : 1;
}

int ite6805_i2c_rdwr::lvdsrxwr(uint8_t reg, uint8_t value, int dev)
{
    if (tracing(dev))
        kelDebug("KK====  Write Reg0x%X=%X =====\n", reg, value);
    if (write(kLvdsPage, reg, &value, 1))
        return 0;
    kelDebug("===== HDMI I2C ERROR Write Reg0x%X=%X Error=====\n", reg, value);
    return 1;
}
