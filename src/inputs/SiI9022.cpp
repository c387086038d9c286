#include "inputs/SiI9022.h"

#include "inputs/Drv_I2C0.h"
#include "inputs/RegBankBits.h"
#include "inputs/tarvosource.h"
#include "params/DebugPrint.h"

namespace {
constexpr uint32_t kPixelClockHz = 62500000;
constexpr uint32_t kWordMax = 0xFFFF;
constexpr uint32_t kHActiveMax = 0xFFF;  // 0x66 and the low nibble of 0x67
constexpr uint32_t kVActiveMax = 0x7FF;  // 0x68 and the low three bits of 0x69
}

SiI9022* SiI9022::p_9022 = nullptr;

SiI9022* SiI9022::pInstance()
{
    if (!p_9022)
        p_9022 = new SiI9022();
    return p_9022;
}

SiI9022::SiI9022()
{
    SiI9022_para_init();
}

SiI9022::~SiI9022()
{
    if (p_9022 == this)
        p_9022 = nullptr;
}

void SiI9022::SiI9022_para_init()
{
    sii_h_sync = 80;
    sii_h_back = 60;
    sii_v_sync = 43;
    sii_v_back = 20;
    sii_v_blank = 83;
    sii_h_front = 60;
    sii_v_front = 20;
}

int SiI9022::busFd()
{
    if (i2c_fd < 0 && tarvosource::p_tarvo_source)
        i2c_fd = tarvosource::p_tarvo_source->i2c_fd;
    if (i2c_fd < 0)
        i2c_fd = Drv_I2C0::pInstance()->initialize();
    return i2c_fd;
}

int SiI9022::check_9022(int monitor)
{
    // The board manager's descriptor when it has one, else one of our own
    // for this one transfer.
    Drv_I2C0* bus = Drv_I2C0::pInstance();
    const int shared = tarvosource::p_tarvo_source ? tarvosource::p_tarvo_source->i2c_fd : -1;
    const int fd = shared >= 0 ? shared : bus->initialize();
    uint8_t value = 0;
    const bool ok = fd >= 0 && bus->i2c_read(fd, kAddress, 0x62, &value, 1) == 1;
    if (shared < 0 && fd >= 0)
        bus->release(fd);
    RegBankBits::update(RegBankBits::kPresence2, monitor == 0 ? 0x02 : 0x04, ok);
    return ok ? 1 : 0;
}

int SiI9022::I2C_SiI9022A2_Write(uint8_t reg, const uint8_t* buf, unsigned count)
{
    Drv_I2C0* bus = Drv_I2C0::pInstance();
    const int ok = bus->i2c_write(busFd(), kAddress, reg, buf, count);
    uint8_t back[Drv_I2C0::kMaxRead] = {};
    const int n = count > static_cast<unsigned>(Drv_I2C0::kMaxRead) ? Drv_I2C0::kMaxRead : static_cast<int>(count);
    if (bus->i2c_read(busFd(), kAddress, reg, back, n))
        for (int i = 0; i < n; ++i)
            kelDebug("=====num:%d SiI9022A I2C Read Reg0x%X=0x%X data:0x%x=====\n", n, reg, back[i],
                     count ? buf[0] : 0);
    return ok;
}

int SiI9022::SiI9022_ByteWrite(uint8_t reg, uint8_t value)
{
    const int ok = I2C_SiI9022A2_Write(reg, &value, 1);
    if (!ok)
        kelDebug("===== SiI9022A I2C ERROR Write Reg0x%X=%X Error=====\n", reg, value);
    return ok;
}

void SiI9022::WriteBlockTPI(uint8_t reg, unsigned count, const uint8_t* bytes)
{
    for (unsigned i = 0; i < count; ++i)
        SiI9022_ByteWrite(static_cast<uint8_t>(reg + i), bytes[i]);
}

void SiI9022::aviInfoFrame(uint32_t h_start, uint32_t v_start, uint8_t h_sync, uint8_t v_sync,
                           uint8_t out[14])
{
    for (int i = 0; i < 14; ++i)
        out[i] = 0;
    out[1] = 0x11;                                                  // DB1
    out[2] = v_start != 0 && h_start / v_start >= 2 ? 0x28 : 0x18;  // DB2
    out[8] = static_cast<uint8_t>(h_sync + 1);                      // DB8
    out[12] = static_cast<uint8_t>(v_sync + 1);                     // DB12
    // InfoFrame type 0x82, version 2, length 13: all bytes sum to 0.
    unsigned sum = 0x82 + 0x02 + 0x0D;
    for (int i = 1; i < 14; ++i)
        sum += out[i];
    out[0] = static_cast<uint8_t>(0x100 - (sum & 0xFF));
}

bool SiI9022::siHdmiTx_UserDefineSet(uint32_t h_active, uint32_t v_active, uint32_t refresh)
{
    if (refresh < 1 || refresh > kWordMax / 100 || v_active > kVActiveMax || h_active > kHActiveMax)
        return false;
    const uint32_t vtotal = v_active + sii_v_blank;
    const uint32_t htotal = kPixelClockHz / refresh / vtotal;
    if (htotal > kWordMax)
        return false;
    const uint32_t h_start = sii_h_sync + sii_h_back;
    const uint32_t v_start = sii_v_sync + sii_v_back;

    SiI9022_ByteWrite(0xC7, 0x00);
    SiI9022_ByteWrite(0xBC, 0x01);
    SiI9022_ByteWrite(0xBD, 0x82);
    SiI9022_ByteWrite(0xBE, 0x25);
    SiI9022_ByteWrite(0x1E, 0x00);
    const uint64_t pclk = static_cast<uint64_t>(htotal) * (refresh * vtotal) / 10000;
    const uint16_t words[4] = {static_cast<uint16_t>(pclk), static_cast<uint16_t>(100 * refresh),
                               static_cast<uint16_t>(htotal), static_cast<uint16_t>(vtotal)};
    uint8_t timing[8];
    for (int i = 0; i < 4; ++i) {
        timing[2 * i] = static_cast<uint8_t>(words[i] & 0xFF);
        timing[2 * i + 1] = static_cast<uint8_t>(words[i] >> 8);
    }
    WriteBlockTPI(0x00, 8, timing);
    SiI9022_ByteWrite(0x08, 0x70);
    const uint8_t zeros[3] = {0, 0, 0};
    WriteBlockTPI(0x09, 3, zeros);
    SiI9022_ByteWrite(0x60, 0x00);
    const uint8_t de[8] = {static_cast<uint8_t>(h_start & 0xFF),
                           static_cast<uint8_t>(((h_start >> 8) & 0x03) | 0x40),
                           static_cast<uint8_t>(v_start & 0x7F),
                           0,
                           static_cast<uint8_t>(h_active & 0xFF),
                           static_cast<uint8_t>((h_active >> 8) & 0x0F),
                           static_cast<uint8_t>(v_active & 0xFF),
                           static_cast<uint8_t>((v_active >> 8) & 0x07)};
    WriteBlockTPI(0x62, 8, de);
    uint8_t avi[14];
    aviInfoFrame(h_start, v_start, sii_h_sync, sii_v_sync, avi);
    WriteBlockTPI(0x0C, 14, avi);
    SiI9022_ByteWrite(0x1A, 0x00);
    return true;
}

void SiI9022::I2C_set_SiI9022(uint32_t h_active, uint32_t v_active, uint32_t refresh)
{
    siHdmiTx_UserDefineSet(h_active, v_active, refresh);
}
