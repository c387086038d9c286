#include "inputs/ite6805_drv.h"

#include "inputs/ite6805_cec_sys.h"
#include "inputs/ite6805_i2c_rdwr.h"
#include "inputs/ite6805_sys.h"
#include "inputs/tarvosource.h"
#include "params/DebugPrint.h"
#include "params/KelRamPara.h"
#include "params/RamLayout.h"
#include "params/SyncReason.h"
#include "params/Utils.h"

#include <QMutexLocker>

#include <cstring>

namespace {

constexpr uint32_t kTypicalRclk = 19000;  // kHz, when the stored value is implausible
constexpr int kCaofRounds = 6;
constexpr int kPclkSamples = 20;

bool revision10OrE0(uint8_t id) { return id == 0x10 || id == 0xE0; }

// A port's front end made ready for the offset calibration (bank 3 or 7).
const iTE6805_INI_REG kCaofFrontEnd[] = {
    {0x3A, 0x80, 0x00}, {0xA0, 0x80, 0x80}, {0xA1, 0x80, 0x80}, {0xA2, 0x80, 0x80}, {0xA4, 0x08, 0x08},
    {0x3B, 0xC0, 0x00}, {0xA7, 0x10, 0x10}, {0x48, 0x80, 0x80}, {0xFF, 0xFF, 0xFF}};

} // namespace

ite6805_drv::ite6805_drv(ite6805_sys& sys) : sys_(sys), io_(sys.rdwr()) {}

uint8_t ite6805_drv::rd(uint8_t reg, int dev) { return io_.hdmirxrd(reg, dev); }

void ite6805_drv::wr(uint8_t reg, uint8_t value, int dev) { io_.hdmirxwr(reg, value, dev); }

void ite6805_drv::set(uint8_t reg, uint8_t mask, uint8_t value, int dev) { io_.hdmirxset(reg, mask, value, dev); }

void ite6805_drv::pulse(uint8_t reg, uint8_t bit, unsigned ms, int dev)
{
    set(reg, bit, bit, dev);
    if (ms)
        sys_.delay1ms(ms);
    set(reg, bit, 0, dev);
}

// ---- access and initialisation ------------------------------------------------

void ite6805_drv::chgbank(uint8_t bank, int dev) { set(0x0F, 0x07, static_cast<uint8_t>(bank & 7), dev); }

void ite6805_drv::hdimrx_write_init(const iTE6805_INI_REG* table, int dev)
{
    for (int i = 0; table[i].reg != 0xFF; ++i)
        set(table[i].reg, table[i].mask, table[i].value, dev);
}

void ite6805_drv::iTE6805_Init_fsm(int dev)
{
    ite6805_dev::Data& d = sys_.dev(dev).iTE6805_DATA;
    d.ChipID = rd(0x04, dev);
    kelDebug("iTE6805_DATA.ChipID = %X !!!\n", d.ChipID);
    d.STATEV = ite6805_dev::STATEV_Unplug;
    d.STATEA = ite6805_dev::STATEA_Off;
    d.STATEEQ = ite6805_dev::STATEEQ_Off;
    d.trace = 0;
    d.lastLaneCount = ite6805_dev::kNoLaneCount;
    hdimrx_write_init(iTE6805_INIT_HDMI_TABLE, dev);
    set(0x3E, 0x20, revision10OrE0(d.ChipID) ? 0x00 : 0x20, dev);
    set(0x3D, 0x02, 0x02, dev);
    wr(0x3F, 0x57, dev);
    set(0x41, 0xC0, 0x40, dev);
    iTE6805_Init_CAOF(dev);
    chgbank(0, dev);
    wr(0x28, 0x88, dev);
    iTE6805_Set_Video_Tristate(1, dev);
    iTE6805_OCLK_Cal(dev);
    d.portSelectPending = 0;
    d.portResetPending = 0;
    set(0xC5, 0x01, 0x01, dev);
    chgbank(4, dev);
    set(0xC5, 0x01, 0x01, dev);
    chgbank(0, dev);
    iTE6805_Init_TTL_VideoOutputConfigure(dev);
    sys_.cec().iTE6805_CEC_INIT(dev);
    d.portSelect = 0;
    d.portSelectPending = 1;
    d.CurrentPort = 0;
    sys_.iTE6805_Port_Select_Body(dev);
    sys_.iTE6805_INT_5VPWR_Chg(d.CurrentPort, dev);
}

void ite6805_drv::caofFrontEnd(uint8_t bank, int dev)
{
    chgbank(bank, dev);
    hdimrx_write_init(kCaofFrontEnd, dev);
    chgbank(0, dev);
}

// Starts the calibration of a port and waits for its done bit; six rounds
// without it abandon the calibration.
void ite6805_drv::caofWait(uint8_t port, int dev)
{
    const uint8_t bank = port ? 7 : 3;
    const uint8_t done = port ? 0x0D : 0x08;
    const uint8_t kick = port ? 0x32 : 0x2A;
    chgbank(bank, dev);
    set(0x3A, 0x80, 0x80, dev);
    chgbank(0, dev);
    int polls = 0, limit = 6, failures = 0;
    for (;;) {
        kelDebug(port ? "Wait for PORT1 CAOF Done!!!!!!" : "Wait for PORT0 CAOF Done!!!!!!");
        const uint8_t v = rd(done, dev);
        kelDebug(port ? "Reg0Dh=%x\n" : "Reg08h=%x\n", v);
        if (v & 0x10) {
            kelDebug(port ? "PORT1 CAOF Done!!!!!!" : "PORT0 CAOF Done!!!!!!");
            return;
        }
        sys_.delay1ms(10);
        if (++polls < limit)
            continue;
        polls = 0;
        limit = 5;
        if (++failures >= kCaofRounds) {
            kelDebug("CAOF Fail !! ");
            chgbank(bank, dev);
            set(0x3A, 0x80, 0x00, dev);
            chgbank(0, dev);
            pulse(kick, 0x40, 10, dev);
            return;
        }
        kelDebug("\n");
        kelDebug("CAOF Fail to Finish!! ");
        pulse(kick, 0x40, 10, dev);
    }
}

void ite6805_drv::iTE6805_Init_CAOF(int dev)
{
    caofFrontEnd(3, dev);
    set(0x29, 0x01, 0x01, dev);
    set(0x2A, 0x41, 0x41, dev);
    sys_.delay1ms(10);
    set(0x2A, 0x40, 0x00, dev);
    set(0x24, 0x04, 0x04, dev);
    for (uint8_t r = 0x25; r <= 0x28; ++r)
        wr(r, 0x00, dev);
    set(0x3C, 0x10, 0x00, dev);

    caofFrontEnd(7, dev);
    set(0x32, 0x41, 0x41, dev);
    sys_.delay1ms(10);
    set(0x32, 0x40, 0x00, dev);
    set(0x2C, 0x04, 0x04, dev);
    set(0x2D, 0x6F, 0x00, dev);
    for (uint8_t r = 0x2E; r <= 0x30; ++r)
        wr(r, 0x00, dev);
    chgbank(4, dev);
    set(0x3C, 0x10, 0x00, dev);
    chgbank(0, dev);

    caofWait(0, dev);
    caofWait(1, dev);

    uint8_t r59[2], r5a[2];
    for (int p = 0; p < 2; ++p) {
        chgbank(p ? 7 : 3, dev);
        r5a[p] = rd(0x5A, dev);
        r59[p] = rd(0x59, dev);
    }
    chgbank(0, dev);
    kelDebug("CAOF     CAOF    CAOF     CAOF    CAOF     CAOF");
    for (int p = 0; p < 2; ++p)
        kelDebug(p ? "Port 1 CAOF Int =%x , CAOF Status=%3x\n" : "Port 0 CAOF Int =%x , CAOF Status=%3x\n",
                 r59[p] >> 6, static_cast<uint8_t>((r5a[p] << 4) + (r59[p] & 0x0F)));

    set(0x08, 0x30, 0x30, dev);
    set(0x0D, 0x30, 0x30, dev);
    set(0x29, 0x01, 0x00, dev);
    set(0x24, 0x04, 0x00, dev);
    set(0x3C, 0x10, 0x10, dev);
    set(0x2C, 0x04, 0x00, dev);
    chgbank(4, dev);
    set(0x3C, 0x10, 0x10, dev);
    for (uint8_t bank : {3, 7}) {
        chgbank(bank, dev);
        for (uint8_t r : {0x3A, 0xA0, 0xA1, 0xA2})
            set(r, 0x80, 0x00, dev);
    }
    chgbank(0, dev);
}

void ite6805_drv::efuseRead(uint8_t high, uint8_t low, uint8_t* a, uint8_t* b, int dev)
{
    wr(0x50, high, dev);
    wr(0x51, low, dev);
    wr(0x54, 0x04, dev);
    *a = rd(0x61, dev);
    *b = rd(0x62, dev);
}

uint32_t ite6805_drv::iTE6805_OCLK_Load(int dev)
{
    chgbank(0, dev);
    wr(0xF8, 0xC3, dev);
    wr(0xF8, 0xA5, dev);
    wr(0x34, 0x00, dev);
    chgbank(1, dev);
    wr(0x5F, 0x04, dev);
    wr(0x5F, 0x05, dev);
    wr(0x58, 0x12, dev);
    wr(0x58, 0x02, dev);
    if (rd(0x60, dev) != 0x19) {
        chgbank(0, dev);
        wr(0xF8, 0xC3, dev);
        wr(0xF8, 0xA5, dev);
        chgbank(1, dev);
        wr(0x5F, 0x04, dev);
        wr(0x58, 0x12, dev);
        wr(0x58, 0x02, dev);
        for (int i = 0; i < 5000 && rd(0x60, dev) != 0x19 && sys_.delay1ms(1); ++i) {
        }
        sys_.delay1ms(10);
        chgbank(0, dev);
        set(0xCF, 0x01, 0x01, dev);
        chgbank(1, dev);
    }
    wr(0x57, 0x01, dev);
    uint8_t a, b, c, d;
    efuseRead(0x00, 0x00, &a, &b, dev);
    efuseRead(0x00, 0x01, &c, &d, dev);
    const uint8_t h = (c == 0 && d == 0 && (a & b) == 0xFF) ? 4 : 0;
    uint8_t b1, b2, b3, b4;
    efuseRead(h, 0xB0, &b1, &b2, dev);
    efuseRead(h, 0xB1, &b3, &b4, dev);
    for (uint8_t v : {b1, b2, b3, b4})
        kelDebug("read 0x61=0x%02X, \n", v);
    uint32_t value = (static_cast<uint32_t>(b3) << 16) + (static_cast<uint32_t>(b2) << 8) + b1;
    if ((b4 & 0xC0) == 0xC0)
        value /= 100;
    if (value < 13000 || value > 27000) {
        kelDebug(" Readback value invalid: 0x%08lX, use typical value instead.\n", static_cast<unsigned long>(value));
        value = kTypicalRclk;
    } else {
        kelDebug(" Readback value valid: 0x%08lX(%ldKHz)\n", static_cast<unsigned long>(value), static_cast<long>(value));
    }
    wr(0x5F, 0x00, dev);
    chgbank(0, dev);
    wr(0xF8, 0x00, dev);
    return value;
}

void ite6805_drv::iTE6805_OCLK_Cal(int dev)
{
    const uint32_t value = iTE6805_OCLK_Load(dev);
    const int d = dev & 1;
    kelDebug("CPRCLK=%ld.%03ldMHz\n", static_cast<long>(value / 1000), static_cast<long>(value % 1000));
    chgbank(3, dev);
    set(0xAA, 0x1F, 0x0C, dev);
    kelDebug("adjust AA from 0x0C to 0x%02X\n", 12);
    RCLKVALUE[d] = value;
    const uint32_t osc = 2 * value;
    kelDebug("iTE6807 , OSCCLK=%ld.%03ldMHz \n", static_cast<long>(osc / 1000), static_cast<long>(osc % 1000));
    CEC_timeunit[d] = static_cast<uint8_t>(value / 160);
    kelDebug("CEC_timeunit (T100us) = %X\n", CEC_timeunit[d]);
    kelDebug("RCLKVALUE_6805=%ld.%02ldMHz\n", static_cast<long>(value / 1000), static_cast<long>((value % 1000) / 10));
    chgbank(0, dev);
    set(0x91, 0x3F, static_cast<uint8_t>(value / 1000), dev);
    wr(0x92, static_cast<uint8_t>(((value % 1000) * 256) / 1000), dev);
    kelDebug("1us Timer reg91=%02X, reg92=%02X \n", rd(0x91, dev), rd(0x92, dev));
    chgbank(3, dev);
    wr(0xE1, static_cast<uint8_t>(value / 100), dev);
    chgbank(0, dev);
    wr(0x45, static_cast<uint8_t>(osc / 312), dev);
    wr(0x44, static_cast<uint8_t>(osc / 1560), dev);
    wr(0x46, static_cast<uint8_t>(osc / 2320), dev);
    wr(0x47, static_cast<uint8_t>(osc / 5312), dev);
    chgbank(5, dev);
    const uint8_t t = static_cast<uint8_t>((2560ull * (osc / 4)) / 1000000ull);
    wr(0xD3, static_cast<uint8_t>((2 * t) & 0xFE), dev);
    wr(0xD4, t, dev);
    chgbank(0, dev);
    for (uint8_t r : {0x91, 0x92, 0x44, 0x45, 0x46, 0x47})
        kelDebug("read 0x%02X=0x%02X, \n", r, rd(r, dev));
}

void ite6805_drv::iTE6805_Init_TTL_VideoOutputConfigure(int dev)
{
    sys_.dev(dev).iTE6805_DATA.US_Output_ColorFormat = 0;  // RGB, TTL output path off
    iTE6805_Set_TTL_Video_Path(dev);
}

void ite6805_drv::iTE6805_Set_TTL_Video_Path(int dev)
{
    set(0x6B, 0x0C, static_cast<uint8_t>((sys_.dev(dev).iTE6805_DATA.US_Output_ColorFormat & 3) << 2), dev);
}

// ---- port queries ----------------------------------------------------------------

uint8_t ite6805_drv::portReg(int dev) { return rd(sys_.dev(dev).iTE6805_DATA.CurrentPort ? 0x16 : 0x13, dev); }

uint8_t ite6805_drv::portStatus(int dev) { return rd(sys_.dev(dev).iTE6805_DATA.CurrentPort ? 0x17 : 0x14, dev); }

uint8_t ite6805_drv::iTE6805_Check_5V_State(uint8_t port, int dev) { return rd(port ? 0x16 : 0x13, dev) & 0x01; }

uint8_t ite6805_drv::iTE6805_Check_CLK_Vaild(int dev) { return (portReg(dev) >> 3) & 1; }

uint8_t ite6805_drv::iTE6805_Check_CLK_Stable(int dev) { return (portReg(dev) >> 4) & 1; }

uint8_t ite6805_drv::iTE6805_Check_PORT0_IS_MHL_Mode(uint8_t port, int dev)
{
    return port == 0 ? (rd(0x13, dev) >> 6) & 1 : 0;
}

uint8_t ite6805_drv::iTE6805_Check_HDMI_OR_DVI_Mode(uint8_t port, int dev)
{
    if (port > 1)
        return 2;
    return (rd(port ? 0x16 : 0x13, dev) & 0x02) ? 0 : 2;
}

uint8_t ite6805_drv::iTE6805_Check_HDMI2(int dev) { return (portStatus(dev) >> 6) & 1; }

uint8_t ite6805_drv::iTE6805_Check_TMDS_Bigger_Than_1G(int dev) { return portStatus(dev) & 1; }

uint8_t ite6805_drv::iTE6805_Check_SCDT(int dev) { return (rd(0x19, dev) >> 7) & 1; }

uint8_t ite6805_drv::iTE6805_Check_AUDT(int dev)
{
    return (rd(0xB1, dev) & 0x80) && !(rd(0x10, dev) & 0x80) ? 1 : 0;
}

uint8_t ite6805_drv::iTE6805_Check_AVMute(int dev)
{
    const bool port1 = sys_.dev(dev).iTE6805_DATA.CurrentPort == 1;
    if (port1)
        chgbank(4, dev);
    const uint8_t v = (rd(0xAA, dev) >> 3) & 1;
    if (port1)
        chgbank(0, dev);
    return v;
}

uint8_t ite6805_drv::iTE6805_Check_Single_Dual_Mode(int dev)
{
    chgbank(1, dev);
    const uint8_t v = rd(0xC0, dev) & 1;
    chgbank(0, dev);
    return v;
}

uint8_t ite6805_drv::iTE6805_Check_4K_Resolution(int dev)
{
    iTE6805_Get_PCLK(dev);
    const ite6805_dev& d = sys_.dev(dev);
    const uint32_t pclk = d.iTE6805_VidTiming.PCLK;
    kelDebug("PCLK = %ld.%03ldMHz\n", static_cast<long>(pclk / 1000), static_cast<long>(pclk % 1000));
    const bool is4k = pclk > 320000 || (pclk > 160000 && d.iTE6805_DATA.yuv420);
    kelDebug(is4k ? "iTE6805_Check_4K_Resolution = TRUE!!!" : "iTE6805_Check_4K_Resolution = FALSE!!!");
    return is4k ? 1 : 0;
}

void ite6805_drv::iTE6805_GET_InputType(int dev)
{
    ite6805_dev::Data& d = sys_.dev(dev).iTE6805_DATA;
    const uint8_t port = d.CurrentPort;
    if (port == 1)
        d.inputType = iTE6805_Check_HDMI_OR_DVI_Mode(1, dev) ? 2 : 0;
    else if (iTE6805_Check_PORT0_IS_MHL_Mode(0, dev))
        d.inputType = 1;
    else
        d.inputType = iTE6805_Check_HDMI_OR_DVI_Mode(0, dev) ? 2 : 0;
}

// ---- measurement --------------------------------------------------------------------

uint32_t ite6805_drv::tmdsFromCounts(uint32_t rclk, int samples, uint32_t multiplier, uint32_t sum)
{
    if (sum == 0 || samples <= 0)
        return 0;
    return static_cast<uint32_t>(uint64_t{rclk} * static_cast<uint64_t>(samples) * multiplier / sum);
}

uint32_t ite6805_drv::pclkFromCounts(uint32_t rclk, uint32_t sum)
{
    return sum ? static_cast<uint32_t>(10240ull * rclk / sum) : 0;
}

uint32_t ite6805_drv::frameRate(uint32_t pclk, uint32_t htotal, uint32_t vtotal)
{
    const uint64_t area = uint64_t{htotal} * vtotal;
    return area ? static_cast<uint32_t>(1000ull * pclk / area) : 0;
}

uint16_t ite6805_drv::samplingFrequency(uint32_t tmds, uint32_t n, uint32_t cts)
{
    const uint64_t den = uint64_t{cts} * 128;
    return den ? static_cast<uint16_t>(uint64_t{tmds} * n / den) : 0;
}

int ite6805_drv::samplingFrequencyCode(uint16_t khz)
{
    struct Range { uint16_t lo, hi; uint8_t code; };
    static const Range kRanges[] = {
        {26, 38, 3}, {39, 45, 0}, {46, 58, 2}, {59, 78, 11}, {79, 91, 8}, {92, 106, 10}, {107, 166, 43},
        {167, 182, 12}, {183, 202, 14}, {225, 320, 27}, {321, 448, 5}, {449, 638, 59}, {639, 894, 9},
        {895, 1324, 53}};
    for (const Range& r : kRanges)
        if (khz >= r.lo && khz <= r.hi)
            return r.code;
    return -1;
}

void ite6805_drv::iTE6805_Get_TMDS(int samples, int dev)
{
    ite6805_dev& d = sys_.dev(dev);
    chgbank(d.iTE6805_DATA.CurrentPort == 1 ? 4 : 0, dev);
    uint32_t sum = 0;
    for (int i = 0; i < samples; ++i) {
        sys_.delay1ms(3);
        sum += (rd(0x48, dev) + 1u) & 0xFF;
    }
    const uint8_t r43 = rd(0x43, dev);
    const uint32_t mult = (r43 & 0x80) ? 1024 : (r43 & 0x40) ? 512 : (r43 & 0x20) ? 256 : 128;
    d.iTE6805_VidTiming.TMDSCLK = tmdsFromCounts(RCLKVALUE[dev & 1], samples, mult, sum);
    chgbank(0, dev);
}

void ite6805_drv::iTE6805_Get_PCLK(int dev)
{
    chgbank(0, dev);
    uint32_t sum = 0;
    for (int i = 1; i <= kPclkSamples; ++i) {
        sys_.delay1ms(10u * static_cast<unsigned>(i));
        set(0x9A, 0x80, 0x00, dev);
        const uint8_t low = rd(0x99, dev);
        const uint8_t high = rd(0x9A, dev);
        sum += (static_cast<uint32_t>(high & 0x03) << 8) + low;
        set(0x9A, 0x80, 0x80, dev);
    }
    sys_.dev(dev).iTE6805_VidTiming.PCLK = pclkFromCounts(RCLKVALUE[dev & 1], sum);
}

void ite6805_drv::readTiming(int dev)
{
    ite6805_dev::VidTiming& t = sys_.dev(dev).iTE6805_VidTiming;
    const auto pair = [&](uint8_t low, uint8_t high) {
        return static_cast<uint16_t>(((rd(high, dev) & 0x3F) << 8) + rd(low, dev));
    };
    t.HTotal = pair(0x9B, 0x9C);
    t.HActive = pair(0x9D, 0x9E);
    if (revision10OrE0(sys_.dev(dev).iTE6805_DATA.ChipID)) {
        t.HFrontPorch = pair(0xA1, 0xA2);
        t.HSyncWidth = pair(0x9F, 0xA0);
        t.VTotal = pair(0xA3, 0xA4);
        t.VActive = pair(0xA5, 0xA6);
        t.VFrontPorch = pair(0xA9, 0xAB);
        t.VSyncWidth = pair(0xA7, 0xA8);
    } else {
        const uint8_t a1 = rd(0xA1, dev), a8 = rd(0xA8, dev);
        t.HFrontPorch = static_cast<uint16_t>(((a1 & 0xF0) << 4) + rd(0xA0, dev));
        t.HSyncWidth = static_cast<uint16_t>(((a1 & 0x01) << 8) + rd(0x9F, dev));
        t.VTotal = pair(0xA2, 0xA3);
        t.VActive = pair(0xA4, 0xA5);
        t.VFrontPorch = static_cast<uint16_t>(((a8 & 0xF0) << 4) + rd(0xA7, dev));
        t.VSyncWidth = static_cast<uint16_t>(((a8 & 0x01) << 8) + rd(0xA6, dev));
    }
}

void ite6805_drv::iTE6805_Get_VID_Info(int dev)
{
    ite6805_dev& d = sys_.dev(dev);
    iTE6805_Get_TMDS(1, dev);
    iTE6805_Get_PCLK(dev);
    chgbank(0, dev);
    readTiming(dev);
    ite6805_dev::VidTiming& t = d.iTE6805_VidTiming;
    uint8_t pol;
    if (d.iTE6805_DATA.CurrentPort == 1) {
        chgbank(4, dev);
        pol = rd(0xAA, dev);
        kelDebug("hdmirxrd(0xAA) = 0x%02X \n", pol);
        chgbank(0, dev);
    } else {
        pol = rd(0xAA, dev);
    }
    t.HBackPorch = static_cast<uint16_t>(t.HTotal - t.HActive - t.HFrontPorch - t.HSyncWidth);
    t.VBackPorch = static_cast<uint16_t>(t.VTotal - t.VActive - t.VFrontPorch - t.VSyncWidth);
    const uint8_t r98 = rd(0x98, dev);
    t.ScanMode = (r98 >> 1) & 1;
    t.ColorDepth = r98 & 0xF0;
    t.VSyncPol = (pol >> 6) & 1;
    t.HSyncPol = (pol >> 5) & 1;
    t.FrameRate = frameRate(t.PCLK, t.HTotal, t.VTotal);
    d.hDoubled = false;
}

uint8_t ite6805_drv::aviDataByte1(int dev)
{
    chgbank(2, dev);
    const uint8_t v = rd(0x15, dev);
    chgbank(0, dev);
    return v;
}

void ite6805_drv::iTE6805_Get_AVIInfoFrame_Info(int dev)
{
    ite6805_dev::Data& d = sys_.dev(dev).iTE6805_DATA;
    chgbank(2, dev);
    const uint8_t db1 = rd(0x15, dev), db2 = rd(0x16, dev), db3 = rd(0x17, dev);
    const uint8_t db4 = rd(0x18, dev), db5 = rd(0x19, dev);
    chgbank(0, dev);
    d.AVIInfoFrame_Input_ColorFormat = (db1 >> 5) & 3;
    d.Colorimetry = db2 >> 6;
    d.ExtendedColorimetry = (db3 >> 4) & 7;
    d.RGBQuantizationRange = (db3 >> 2) & 3;
    d.VIC = db4 & 0x7F;
    d.YUVQuantizationRange = db5 >> 6;
    d.scanInfo = db1 & 3;
    if (d.RGBQuantizationRange == 0)
        d.RGBQuantizationRange = d.VIC < 2 ? 2 : 1;
    d.yuv420 = d.AVIInfoFrame_Input_ColorFormat == 3 ? 1 : 0;
}

// ---- set-up by the measured signal ---------------------------------------------------

void ite6805_drv::setVboRevisionRegisters(int dev)
{
    chgbank(5, dev);
    set(0xC9, 0xF7, 0x78, dev);
    wr(0xD5, 0x80, dev);
    wr(0xD7, 0x0C, dev);
    wr(0xDF, 0x87, dev);
    set(0xE1, 0x80, 0x80, dev);
    set(0xC9, 0x02, (rd(0xDB, dev) & 0x08) ? 0x02 : 0x00, dev);
}

void ite6805_drv::iTE6805_Set_ColorDepth(int dev)
{
    ite6805_dev& d = sys_.dev(dev);
    chgbank(5, dev);
    wr(0xC7, d.iTE6805_VidTiming.PCLK < 30000 ? 0x49 : 0x00, dev);
    chgbank(0, dev);
    set(0x6B, 0x03, 0x01, dev);
    d.iTE6805_DATA.VBO_ByteMode = 1;
    kelDebug("Force ByteMode = 4B (variable iTE6805_DATA.VBO_ByteMode = 1)");
    if (revision10OrE0(d.iTE6805_DATA.ChipID)) {
        setVboRevisionRegisters(dev);
        chgbank(0, dev);
    }
}

void ite6805_drv::iTE6805_Set_1B0_By_PixelClock(int dev)
{
    ite6805_dev& d = sys_.dev(dev);
    const uint8_t rep = (rd(0x1B, dev) >> 4) & 3;
    d.iTE6805_DATA.pixelRepetition = rep == 1 ? 2 : rep == 3 ? 4 : 1;
    const bool dual = iTE6805_Check_Single_Dual_Mode(dev);
    chgbank(1, dev);
    set(0xB0, 0x01, d.iTE6805_VidTiming.PCLK / d.iTE6805_DATA.pixelRepetition >= 25000 ? 0x01 : 0x00, dev);
    if (!dual)
        set(0xB0, 0x01, 0x00, dev);
    set(0xB0, 0x01, d.iTE6805_DATA.VBO_LaneCount != 0 ? 0x01 : 0x00, dev);
    chgbank(0, dev);
    const bool over1g = iTE6805_Check_TMDS_Bigger_Than_1G(dev);
    chgbank(3, dev);
    set(0xB0, 0x08, over1g ? 0x00 : 0x08, dev);
    chgbank(0, dev);
    if (iTE6805_Check_PORT0_IS_MHL_Mode(0, dev) && d.iTE6805_VidTiming.HActive == 640 &&
        d.iTE6805_VidTiming.VActive == 480) {
        chgbank(3, dev);
        wr(0xA7, 0x1F, dev);
        chgbank(0, dev);
    }
}

void ite6805_drv::iTE6805_Set_47_By_TMDS(int dev)
{
    chgbank(0, dev);
    const uint8_t r43 = rd(0x43, dev);
    uint8_t ref = rd(0x48, dev);
    ref = static_cast<uint8_t>((r43 & 0x80) ? ref >> 3 : (r43 & 0x40) ? ref >> 2 : (r43 & 0x20) ? ref >> 1 : ref);
    const uint8_t rclkMhz = static_cast<uint8_t>(RCLKVALUE[dev & 1] / 1000);
    kelDebug("RefSUM = %d \n", ref);
    kelDebug("RCLKVALUE = %d \n", rclkMhz);
    if (!(portStatus(dev) & 0x02) && ref < rclkMhz) {
        kelDebug("OverWrite IPLL/OPLL ");
        wr(0x47, rd(0x47, dev), dev);
    }
}

// ---- input records -----------------------------------------------------------------

uint16_t ite6805_drv::publishedWidth(int dev) const
{
    const ite6805_dev& d = sys_.dev(dev);
    const uint16_t w = d.iTE6805_VidTiming.HActive;
    return d.iTE6805_DATA.yuv420 && !d.hDoubled ? static_cast<uint16_t>(2 * w) : w;
}

void ite6805_drv::iTE6805_Get_Hdmi(int dev)
{
    SourceHdmiInfo& h = sys_.owner().hdminfo[4 + (dev & 1)];
    if (h.signal == 1) {
        const uint32_t stable = h.stable;
        h = SourceHdmiInfo{};
        h.TYPE = 1;
        h.DATAMOD = 1;
        h.Lanes = 1;
        h.signal = 1;
        h.stable = stable;
        return;
    }
    const ite6805_dev& d = sys_.dev(dev);
    const ite6805_dev::VidTiming& t = d.iTE6805_VidTiming;
    const uint32_t k = d.iTE6805_DATA.yuv420 ? 2 : 1;
    h.Hact = publishedWidth(dev);
    h.Hsync = t.HSyncWidth * k;
    h.Hback = t.HBackPorch * k;
    h.Hpol = t.HSyncPol;
    h.Htotal = t.HTotal * k;
    h.Vact = t.VActive;
    h.Vsync = t.VSyncWidth;
    h.Vback = t.VBackPorch;
    h.Vpol = t.VSyncPol;
    h.Vtotal = t.VTotal;
    h.pfreq = static_cast<float>(t.PCLK) / 1000.0f;
    h.TYPE = 1;
    h.DATAMOD = 1;
    h.Lanes = 1u << (d.iTE6805_DATA.VBO_LaneCount & 3);
    h.IP = t.ScanMode;
}

void ite6805_drv::iTE6805_Set_Stable(int dev, int stable)
{
    sys_.owner().hdminfo[4 + (dev & 1)].stable = stable != 0 ? 1 : 0;
}

void ite6805_drv::iTE6805_update_hdmi(int dev)
{
    const uint8_t r19 = rd(0x19, dev);
    rd(0x36, dev);
    if (!(r19 & 0x02))
        return;
    QMutexLocker l(&Utils::_source_hdminfo_mutex);
    iTE6805_Set_Stable(dev, 0);
    sys_.owner().hdminfo[4 + (dev & 1)].signal = 0;
    iTE6805_Get_Hdmi(dev);
    iTE6805_Set_Stable(dev, 1);
}

void ite6805_drv::iTE6805_Show_VID_Info(int dev, int on)
{
    ite6805_dev& d = sys_.dev(dev);
    ite6805_dev::VidTiming& t = d.iTE6805_VidTiming;
    const uint32_t k = d.iTE6805_DATA.yuv420 ? 2 : 1;
    if (d.iTE6805_DATA.yuv420 && !d.hDoubled) {
        // The full width is kept for the delayed update, once per measurement.
        t.HActive = static_cast<uint16_t>(2 * t.HActive);
        d.hDoubled = true;
    }
    kelDebug("\n\n dev_id:%d -------Video Timing-------%d\n", dev, on);
    kelDebug((rd(0x15, dev) & 0x02) ? "HDMI2 Scramble Enable !! " : "HDMI2 Scramble Disable !! ");
    kelDebug((portStatus(dev) & 0x40) ? "HDMI2 CLK Ratio 1/40 !! " : "HDMI CLK Ratio 1/10  !! ");
    kelDebug("TMDSCLK = %lu.%03luMHz\n", static_cast<unsigned long>(t.TMDSCLK / 1000),
             static_cast<unsigned long>(t.TMDSCLK % 1000));
    kelDebug("PCLK = %ld.%03ldMHz\n", static_cast<long>(t.PCLK / 1000), static_cast<long>(t.PCLK % 1000));
    kelDebug("HActive = %d\n", t.HActive);
    kelDebug("HTotal = %d\n", static_cast<int>(t.HTotal * k));
    kelDebug("VActive = %d\n", t.VActive);
    kelDebug("VTotal = %d\n", t.VTotal);
    kelDebug("HFrontPorch = %d\n", static_cast<int>(t.HFrontPorch * k));
    kelDebug("HSyncWidth = %d\n", static_cast<int>(t.HSyncWidth * k));
    kelDebug("HBackPorch = %d\n", static_cast<int>(t.HBackPorch * k));
    kelDebug("VFrontPorch = %d\n", t.VFrontPorch);
    kelDebug("VSyncWidth = %d\n", t.VSyncWidth);
    kelDebug("VBackPorch = %d\n", t.VBackPorch);
    kelDebug("FrameRate = %ld\n", static_cast<long>(t.FrameRate));
    kelDebug(t.ScanMode ? "ScanMode = InterLaced" : "ScanMode = Progressive");
    kelDebug(t.VSyncPol ? "VSyncPol = Positive" : "VSyncPol = Negative");
    kelDebug(t.HSyncPol ? "HSyncPol = Positive" : "HSyncPol = Negative");
    const uint8_t r19 = rd(0x19, dev);
    const int lvpclk = (rd(0x36, dev) >> 2) & 3;
    if (!(r19 & 0x02)) {
        kelDebug("Video Output Detect Non-Stable   LVPCLK_HS=%d\n", lvpclk);
        iTE6805_Set_HPD_Ctrl(0, 0, dev);
        sys_.delay1ms(100);
        iTE6805_Set_HPD_Ctrl(0, 1, dev);
        sys_.delay1ms(100);
        return;
    }
    kelDebug("Video Output Detect Stable   LVPCLK_HS=%d\n", lvpclk);
    if (on != 0)
        return;
    KelRamPara* s = KelRamPara::p_kelrampara_config;
    if (!s)
        return;
    pthread_mutex_lock(&s->para_info_mutex);
    uint8_t* rec = s->RamBlock + RamLayout::srcVideoInfo(4 + (dev & 1));
    RamLayout::setU16(rec, 0, publishedWidth(dev));
    RamLayout::setU16(rec, 2, t.VActive);
    rec[4] = tarvosource::stored_refresh(t.FrameRate);
    rec[5] = 0;
    pthread_mutex_unlock(&s->para_info_mutex);
    s->test_signal(SYNC_INPUT_INFO);
}

void ite6805_drv::iTE6805_Show_AVIInfoFrame_Info(int dev)
{
    const ite6805_dev::Data& d = sys_.dev(dev).iTE6805_DATA;
    kelDebug("AVI ColorFormat = %u, Colorimetry = %u, ExtendedColorimetry = %u\n",
             static_cast<unsigned>(d.AVIInfoFrame_Input_ColorFormat), static_cast<unsigned>(d.Colorimetry),
             d.ExtendedColorimetry);
    kelDebug("AVI RGBQuantizationRange = %u, YUVQuantizationRange = %u, VIC = %u\n",
             static_cast<unsigned>(d.RGBQuantizationRange), static_cast<unsigned>(d.YUVQuantizationRange), d.VIC);
}

void ite6805_drv::iTE6805_Show_AUD_Info(int dev)
{
    ite6805_dev::Data& d = sys_.dev(dev).iTE6805_DATA;
    const uint8_t b0 = rd(0xB0, dev);
    const uint8_t b1 = rd(0xB1, dev);
    const bool hbr = b0 & 0x40, oneBit = b0 & 0x80;
    if (b0 & 0x10)
        kelDebug(oneBit ? "\n One Bit 3D Audio " : "\n 3D Audio ");
    else if (b0 & 0x20)
        kelDebug(oneBit ? "\n One Bit Multi-Stream Audio " : "\n Multi-Stream Audio ");
    else if (hbr)
        kelDebug("\n High BitRate Audio ");
    else
        kelDebug(oneBit ? "\n One Bit Audio " : "\n Audio Sample ");
    static const std::pair<uint8_t, uint8_t> kChannels[] = {{0x01, 2}, {0x03, 4}, {0x07, 6},
                                                            {0x0F, 8}, {0x1F, 10}, {0x3F, 12}};
    bool known = false;
    for (auto& [layout, count] : kChannels)
        if ((b1 & 0x3F) == layout) {
            d.audioChannels = count;
            known = true;
        }
    if (hbr) {
        d.audioChannels = 2;
        known = true;
    }
    if (!known)
        kelDebug("\r\nAudCh Error !!!\r");
    if (oneBit) {
        chgbank(2, dev);
        static const char* const kOneBit[8] = {"Refer to Stream Header", "32K", "44.1K", "48K",
                                               "88.2K", "96K", "176.4K", "192K"};
        kelDebug("AudFs=%s\n", kOneBit[(rd(0x46, dev) >> 2) & 7]);
        chgbank(0, dev);
        return;
    }
    const uint8_t b5 = rd(0xB5, dev);
    const uint8_t code = static_cast<uint8_t>(((b5 >> 2) & 0x30) | (b5 & 0x0F));
    static const std::pair<uint8_t, const char*> kNames[] = {{0, "44.1K"}, {2, "48K"},  {3, "32K"},
                                                             {8, "88.2K"}, {10, "96K"}, {12, "176.4K"},
                                                             {14, "192K"}, {9, "768K"}};
    for (auto& [c, name] : kNames)
        if (c == code) {
            kelDebug("AudFs=%s\n", name);
            return;
        }
    kelDebug("AudFs= Error !!!\n");
}

void ite6805_drv::publishNoSignal(int dev, bool stableAfter)
{
    KelRamPara* s = KelRamPara::p_kelrampara_config;
    if (s) {
        pthread_mutex_lock(&s->para_info_mutex);
        std::memset(s->RamBlock + RamLayout::srcVideoInfo(4 + (dev & 1)), 0, RamLayout::kSrcVideoInfoSize);
        pthread_mutex_unlock(&s->para_info_mutex);
    }
    {
        QMutexLocker l(&Utils::_source_hdminfo_mutex);
        iTE6805_Set_Stable(dev, 0);
        sys_.owner().hdminfo[4 + (dev & 1)].signal = 1;
        iTE6805_Get_Hdmi(dev);
        if (stableAfter)
            iTE6805_Set_Stable(dev, 1);
    }
    if (s)
        s->test_signal(SYNC_INPUT_INFO);
}

// ---- link control -----------------------------------------------------------------

void ite6805_drv::iTE6805_Set_HPD_Ctrl(uint8_t port, uint8_t level, int dev)
{
    kelDebug("iTE6805_Set_HPD_Ctrl PORT%d_HPD = %d \r\n", port, level);
    ite6805_dev::Data& d = sys_.dev(dev).iTE6805_DATA;
    if (port == 1) {
        d.inputType = 0;
        return;
    }
    if (!iTE6805_Check_5V_State(0, dev)) {
        chgbank(3, dev);
        set(0xAB, 0xC0, 0x00, dev);
        chgbank(0, dev);
        if (level == 0)
            publishNoSignal(dev, true);
        return;
    }
    if (iTE6805_Check_PORT0_IS_MHL_Mode(0, dev))
        return;
    d.inputType = 0;
    chgbank(3, dev);
    set(0xAB, 0xC0, level ? 0xC0 : 0x40, dev);
    set(0xAC, 0x7C, 0x40, dev);
    chgbank(0, dev);
}

void ite6805_drv::iTE6805_Set_AVMute(uint8_t on, int dev)
{
    if (on) {
        chgbank(0, dev);
        set(0x4F, 0xA0, 0xA0, dev);
        chgbank(1, dev);
        set(0xC5, 0x80, 0x80, dev);
        chgbank(0, dev);
        kelDebug("+++++++++++ iTE6805_Set_AVMute -> On");
        return;
    }
    kelDebug("+++++++++++  iTE6805_Set_AVMute -> Off");
    if (sys_.dev(dev).iTE6805_DATA.STATEV != ite6805_dev::STATEV_VidStable)
        return;
    if (iTE6805_Check_AVMute(dev)) {
        set(0x4F, 0x80, 0x80, dev);
        return;
    }
    const bool dual = iTE6805_Check_Single_Dual_Mode(dev);
    chgbank(1, dev);
    set(0xC5, 0x01, 0x01, dev);
    set(0xC5, 0x01, 0x00, dev);
    if (dual)
        set(0xC5, 0x01, 0x01, dev);
    chgbank(0, dev);
    set(0x4F, 0xA0, 0xA0, dev);
    set(0x4F, 0xA0, 0x80, dev);
}

void ite6805_drv::iTE6805_Set_Video_Tristate(uint8_t on, int dev)
{
    const uint8_t depth = rd(0x98, dev) & 0xF0;
    chgbank(1, dev);
    if (on) {
        wr(0xC5, 0xFF, dev);
        wr(0xC6, 0xFF, dev);
        chgbank(0, dev);
        kelDebug("---------------- iTE6805_Set_Video_Tristate -> VIDEO_OFF = Tristate on");
        return;
    }
    set(0xC5, 0x80, 0x00, dev);
    set(0xC6, 0x80, 0x00, dev);
    const uint8_t c0 = rd(0xC0, dev);
    if (c0 & 0x01) {
        wr(0xC6, depth == 0x10 ? 0x40 : 0x00, dev);
    } else {
        const uint8_t mode = c0 >> 6;
        if (mode <= 1)
            wr(0xC5, depth == 0x10 ? 0x78 : depth == 0x20 ? 0x38 : 0x18, dev);
        else if (mode == 2)
            wr(0xC5, depth == 0x10 ? 0x63 : depth == 0x20 ? 0x23 : 0x03, dev);
    }
    chgbank(0, dev);
    kelDebug("---------------- iTE6805_Set_Video_Tristate -> VIDEO_ON = Tristate off");
}

void ite6805_drv::iTE6805_Reset_Video_Logic(int dev)
{
    chgbank(0, dev);
    pulse(0x22, 0x01, 1, dev);
    set(0x10, 0x02, 0x02, dev);
    set(0x12, 0x80, 0x80, dev);
}

void ite6805_drv::iTE6805_Reset_Audio_Logic(int dev)
{
    chgbank(0, dev);
    pulse(0x22, 0x02, 0, dev);
    for (int i = 0; i < 4; ++i)
        wr(0x8A, rd(0x8A, dev), dev);
}

void ite6805_drv::iTE6805_Reset_ALL_Logic(uint8_t port, int dev)
{
    kelDebug("******* iTE6805_Reset_ALL_Logic *******");
    iTE6805_Set_HPD_Ctrl(port, 0, dev);
    sys_.delay1ms(100);
    chgbank(0, dev);
    wr(port ? 0x0D : 0x08, 0x04, dev);
    wr(0x22, 0x12, dev);
    wr(0x22, 0x10, dev);
    const uint8_t r = port ? 0x2B : 0x23;
    set(r, 0xFD, 0xAC, dev);
    set(r, 0xFD, 0xA0, dev);
    sys_.iTE6805_INT_5VPWR_Chg(port, dev);
}
