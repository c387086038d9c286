#include "inputs/it66121_hdmitx_drv.h"

#include "inputs/sdi_it66121.h"

#include <cmath>
#include <cstring>

namespace {

constexpr uint8_t kInMode422 = 1;
constexpr uint8_t kInMode444 = 2;
constexpr uint8_t kOutRgb = 0;

// DDC master registers.
constexpr uint8_t kDdcMaster = 0x10;
constexpr uint8_t kDdcHeader = 0x11;
constexpr uint8_t kDdcOffset = 0x12;
constexpr uint8_t kDdcCount = 0x13;
constexpr uint8_t kDdcSegment = 0x14;
constexpr uint8_t kDdcCommand = 0x15;
constexpr uint8_t kDdcStatus = 0x16;
constexpr uint8_t kDdcFifo = 0x17;
constexpr uint8_t kDdcClearFifo = 0x09;
constexpr uint8_t kDdcBurstRead = 0x03;
constexpr uint8_t kDdcAbort = 0x0F;
constexpr uint8_t kDdcDone = 0x80;
constexpr uint8_t kDdcErrors = 0x38;
constexpr int kDdcPiece = 32;

// N values by sample-rate code (codes 15 and above use the last).
const uint16_t kNByCode[16] = {0x1880, 0x1800, 0x1800, 0x1000, 0x1800, 0x1800, 0x1800, 0x1800,
                               0x3100, 0x6000, 0x3000, 0x1800, 0x6200, 0x1800, 0x6000, 0x1800};

// A colour conversion matrix for registers 0x73..0x87: the Y and chroma
// offsets and a zero byte, then three rows of three coefficients, each a
// 14-bit two's complement value in units of 1/2048, low byte first.
// RGB to YUV: rows Y, Cr, Cb over columns G, R, B (the layout of the
// default video table); YUV to RGB: rows G, R, B over columns Y, Cr, Cb.
void cscMatrix(bool toYuv, bool bt709, bool limited, uint8_t out[21])
{
    const double kr = bt709 ? 0.2126 : 0.299;
    const double kb = bt709 ? 0.0722 : 0.114;
    const double kg = 1.0 - kr - kb;
    double m[3][3];
    if (toYuv) {
        const double ys = limited ? 219.0 / 255.0 : 1.0;
        const double cs = limited ? 224.0 / 255.0 : 1.0;
        const double cr = 2.0 * (1.0 - kr), cb = 2.0 * (1.0 - kb);
        const double rows[3][3] = {{kg * ys, kr * ys, kb * ys},
                                   {-kg / cr * cs, 0.5 * cs, -kb / cr * cs},
                                   {-kg / cb * cs, -kr / cb * cs, 0.5 * cs}};
        std::memcpy(m, rows, sizeof m);
    } else {
        const double ys = limited ? 255.0 / 219.0 : 1.0;
        const double cs = limited ? 255.0 / 224.0 : 1.0;
        const double rows[3][3] = {{ys, -2.0 * kr * (1.0 - kr) / kg * cs, -2.0 * kb * (1.0 - kb) / kg * cs},
                                   {ys, 2.0 * (1.0 - kr) * cs, 0.0},
                                   {ys, 0.0, 2.0 * (1.0 - kb) * cs}};
        std::memcpy(m, rows, sizeof m);
    }
    out[0] = limited ? 0x10 : 0x00;
    out[1] = 0x80;
    out[2] = 0x00;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            const unsigned v = static_cast<unsigned>(std::lround(m[r][c] * 2048.0)) & 0x3FFF;
            out[3 + 6 * r + 2 * c] = static_cast<uint8_t>(v & 0xFF);
            out[4 + 6 * r + 2 * c] = static_cast<uint8_t>(v >> 8);
        }
}

} // namespace

const uint8_t it66121_hdmitx_drv::InstanceData[20] = {0x00, 0x98, 0x40, 0x00, 0x01, 0x00, 0x01, 0x02};

it66121_hdmitx_drv::it66121_hdmitx_drv(sdi_it66121& io, Delay delay) : io_(io), delay_(std::move(delay)) {}

void it66121_hdmitx_drv::HDMITX_InitTxDev()
{
    std::memcpy(&hdmiTxDev, InstanceData, sizeof hdmiTxDev);
}

void it66121_hdmitx_drv::hdmitx_LoadRegSetting(const structRegSetEntry* table)
{
    for (const structRegSetEntry* e = table; e; ++e) {
        if (e->invAndMask == 0 && e->OrMask == 0) {
            if (e->offset == 0)
                return;
            delay_(e->offset);
        } else if (e->invAndMask == 0) {
            bool ok = false;
            const uint8_t v = io_.HDMITX_ReadI2C_Byte(e->offset, &ok);
            if (ok)
                io_.HDMITX_WriteI2C_Byte(e->offset, v);
        } else {
            io_.HDMITX_SetI2C_Byte(e->offset, e->invAndMask, e->OrMask);
        }
    }
}

// ---- video ------------------------------------------------------------------

uint8_t it66121_hdmitx_drv::videoPclkLevel(uint32_t tmdsHz)
{
    if (tmdsHz > 80000000u)
        return 2;
    return tmdsHz > 20000000u ? 1 : 0;
}

void it66121_hdmitx_drv::setHDMITX_AVMute(uint8_t mute)
{
    io_.Switch_HDMITX_Bank(0);
    io_.HDMITX_SetI2C_Byte(0xC1, 0x01, mute ? 1 : 0);
    io_.HDMITX_WriteI2C_Byte(0xC6, 0x03);
}

void it66121_hdmitx_drv::HDMITX_EnableVideoOutput(uint8_t level, uint8_t in_mode, uint8_t out_mode, uint8_t hdmi)
{
    io_.HDMITX_WriteI2C_Byte(0x04, 0x1D);
    hdmiTxDev.tx_flags = static_cast<uint8_t>(hdmi ? hdmiTxDev.tx_flags | kFlagHdmi : hdmiTxDev.tx_flags & ~kFlagHdmi);
    io_.Switch_HDMITX_Bank(1);
    io_.HDMITX_WriteI2C_Byte(0x58, 0);
    io_.Switch_HDMITX_Bank(0);
    if (hdmi)
        setHDMITX_AVMute(1);
    hdmitx_SetInputMode(in_mode);
    hdmitx_SetCSCScale(in_mode, out_mode);
    io_.HDMITX_WriteI2C_Byte(0xC0, hdmi ? 1 : 0);
    hdmitx_SetupAFE(level);
    hdmitx_FireAFE();
}

void it66121_hdmitx_drv::hdmitx_SetInputMode(uint8_t in_mode)
{
    bool ok = false;
    const uint8_t old = io_.HDMITX_ReadI2C_Byte(0x70, &ok);
    uint8_t v = static_cast<uint8_t>((old & 0x03) | 0x01);
    if ((in_mode & 0x03) == kInMode422)
        v |= 0x40;
    else if ((in_mode & 0x03) == kInMode444)
        v |= 0x80;
    const uint8_t t = hdmiTxDev.tx_signal_type;
    if (t & 0x01) v |= 0x10;
    if (t & 0x02) v |= 0x08;
    if (t & 0x04) v |= 0x04;
    if (t & 0x08) v |= 0x20;
    io_.HDMITX_WriteI2C_Byte(0x70, v);
}

void it66121_hdmitx_drv::hdmitx_SetCSCScale(uint8_t in_mode, uint8_t out_mode)
{
    const uint8_t in = in_mode & 0x03;
    const bool b6 = in_mode & 0x40, b7 = in_mode & 0x80;
    const uint8_t extra = static_cast<uint8_t>((b6 ? 0x40 : 0) | (b7 ? 0xA0 : 0));
    uint8_t csc = 0;
    int matrix = 0;  // 0 bypass, 1 RGB to YUV, 2 YUV to RGB
    if (in == kInMode422 || in == kInMode444) {
        if (out_mode == kOutRgb) {
            matrix = 2;
            csc = static_cast<uint8_t>(0x03 | (in == kInMode422 ? extra : (b7 ? 0xA0 : 0)));
        } else if (in == kInMode422 && out_mode == kInMode444) {
            csc = extra;
        } else if (in == kInMode444 && out_mode == kInMode422) {
            csc = b6 ? 0x40 : 0;
        }
    } else if (out_mode != kOutRgb) {
        matrix = 1;
        csc = static_cast<uint8_t>(0x02 | (out_mode == kInMode422 ? extra : (b7 ? 0xA0 : 0)));
    }
    if (matrix) {
        uint8_t m[21];
        cscMatrix(matrix == 1, in_mode & 0x10, in_mode & 0x20, m);
        for (int i = 0; i < 21; ++i)
            io_.HDMITX_WriteI2C_Byte(static_cast<uint8_t>(0x73 + i), m[i]);
        io_.HDMITX_AndReg_Byte(0x0F, static_cast<uint8_t>(~0x10));
    } else {
        io_.HDMITX_OrReg_Byte(0x0F, 0x10);
    }
    bool ok = false;
    const uint8_t old = io_.HDMITX_ReadI2C_Byte(0x72, &ok);
    io_.HDMITX_WriteI2C_Byte(0x72, static_cast<uint8_t>((old & 0x1C) | csc));
}

void it66121_hdmitx_drv::hdmitx_SetupAFE(uint8_t level)
{
    io_.HDMITX_WriteI2C_Byte(0x61, 0x10);
    if (level == 2) {
        io_.HDMITX_SetI2C_Byte(0x62, 0x90, 0x80);
        io_.HDMITX_SetI2C_Byte(0x64, 0x89, 0x80);
        io_.HDMITX_SetI2C_Byte(0x68, 0x10, 0x00);
    } else {
        io_.HDMITX_SetI2C_Byte(0x62, 0x90, 0x10);
        io_.HDMITX_SetI2C_Byte(0x64, 0x89, 0x09);
        io_.HDMITX_SetI2C_Byte(0x68, 0x10, 0x10);
    }
    io_.HDMITX_AndReg_Byte(0x04, static_cast<uint8_t>(~0x28));
    io_.HDMITX_WriteI2C_Byte(0x61, 0x00);
    delay_(1);
}

void it66121_hdmitx_drv::hdmitx_FireAFE()
{
    io_.HDMITX_WriteI2C_Byte(0x04, 0x15);
    io_.Switch_HDMITX_Bank(0);
    io_.HDMITX_WriteI2C_Byte(0x61, 0x00);
}

void it66121_hdmitx_drv::HDMITX_DisableVideoOutput()
{
    io_.HDMITX_OrReg_Byte(0x04, 0x08);
    io_.HDMITX_WriteI2C_Byte(0x61, 0x30);
    io_.HDMITX_AndReg_Byte(0x62, static_cast<uint8_t>(~0x90));
    io_.HDMITX_AndReg_Byte(0x64, static_cast<uint8_t>(~0x89));
}

// ---- infoframes --------------------------------------------------------------

void it66121_hdmitx_drv::HDMITX_EnableAVIInfoFrame(uint8_t enable, const uint8_t* frame)
{
    if (!enable || !frame) {
        io_.HDMITX_WriteI2C_Byte(0xCD, 0);
        return;
    }
    // Type 0x82, version 2, length 13: all bytes with the checksum sum to 0.
    unsigned sum = 0x82 + 0x02 + 0x0D;
    for (int i = 0; i < 13; ++i)
        sum += frame[i];
    io_.Switch_HDMITX_Bank(1);
    for (int i = 0; i < 5; ++i)
        io_.HDMITX_WriteI2C_Byte(static_cast<uint8_t>(0x58 + i), frame[i]);
    for (int i = 5; i < 12; ++i)
        io_.HDMITX_WriteI2C_Byte(static_cast<uint8_t>(0x5E + i - 5), frame[i]);
    io_.HDMITX_WriteI2C_Byte(0x65, frame[12]);
    io_.HDMITX_WriteI2C_Byte(0x5D, static_cast<uint8_t>(0x100 - (sum & 0xFF)));
    io_.Switch_HDMITX_Bank(0);
    io_.HDMITX_WriteI2C_Byte(0xCD, 0x03);
}

void it66121_hdmitx_drv::HDMITX_EnableAudioInfoFrame(const uint8_t* frame)
{
    static const uint8_t kRegs[4] = {0x68, 0x69, 0x6B, 0x6C};
    const uint8_t db[4] = {frame[0], frame[1], frame[3], frame[4]};
    io_.Switch_HDMITX_Bank(1);
    unsigned sum = 0;
    for (int i = 0; i < 4; ++i)
        io_.HDMITX_WriteI2C_Byte(kRegs[i], db[i]);
    for (uint8_t r : kRegs)
        sum += io_.HDMITX_ReadI2C_Byte(r);
    io_.HDMITX_WriteI2C_Byte(0x6D, static_cast<uint8_t>(0x71 - sum));
    io_.Switch_HDMITX_Bank(0);
    io_.HDMITX_WriteI2C_Byte(0xCE, 0x03);
}

void it66121_hdmitx_drv::ConfigfHdmiVendorSpecificInfoFrame(uint8_t structure)
{
    const bool carried = structure == 0 || structure == 6 || structure == 8;
    const uint8_t payload[6] = {0x03, 0x0C, 0x00, 0x40, static_cast<uint8_t>(carried ? structure << 4 : 0), 0};
    const int length = structure == 8 ? 6 : 5;
    unsigned sum = 0x81 + 0x01 + length;
    for (int i = 0; i < length; ++i)
        sum += payload[i];
    io_.Switch_HDMITX_Bank(1);
    io_.HDMITX_WriteI2C_Byte(0x80, payload[3]);
    io_.HDMITX_WriteI2C_Byte(0x81, payload[4]);
    if (payload[4] >= 0x80)
        io_.HDMITX_WriteI2C_Byte(0x82, payload[5]);
    io_.HDMITX_WriteI2C_Byte(0x83, static_cast<uint8_t>(0x100 - (sum & 0xFF)));
    io_.Switch_HDMITX_Bank(0);
    io_.HDMITX_WriteI2C_Byte(0xD2, 0x03);
}

void it66121_hdmitx_drv::hdmitx_SetSPDInfoFrame(const uint8_t payload[25])
{
    io_.Switch_HDMITX_Bank(1);
    unsigned sum = 0;
    for (int i = 0; i < 25; ++i) {
        io_.HDMITX_WriteI2C_Byte(static_cast<uint8_t>(0x71 + i), payload[i]);
        sum += payload[i];
    }
    io_.HDMITX_WriteI2C_Byte(0x70, static_cast<uint8_t>(0x63 - sum));
    io_.Switch_HDMITX_Bank(0);
    io_.HDMITX_WriteI2C_Byte(0xCF, 0x03);
}

void it66121_hdmitx_drv::hdmitx_SetMPEGInfoFrame(const uint8_t bytes[6])
{
    io_.Switch_HDMITX_Bank(1);
    for (int i = 0; i < 6; ++i)
        io_.HDMITX_WriteI2C_Byte(static_cast<uint8_t>(0x8A + i), bytes[i]);
    io_.Switch_HDMITX_Bank(0);
    io_.HDMITX_WriteI2C_Byte(0xCF, 0x03);
}

void it66121_hdmitx_drv::hdmitx_Set_GeneralPurpose_PKT(const uint8_t packet[31])
{
    io_.Switch_HDMITX_Bank(1);
    for (int i = 0; i < 31; ++i)
        io_.HDMITX_WriteI2C_Byte(static_cast<uint8_t>(0x38 + i), packet[i]);
    io_.Switch_HDMITX_Bank(0);
    io_.HDMITX_WriteI2C_Byte(0xC9, 0x03);
    io_.HDMITX_WriteI2C_Byte(0xC9, 0x03);
}

// ---- audio --------------------------------------------------------------------

uint8_t it66121_hdmitx_drv::audioRateCode(uint32_t fs)
{
    switch (fs) {
    case 32000: return 3;
    case 44100: return 0;
    case 48000: return 2;
    case 88200: return 8;
    case 96000: return 10;
    case 176400: return 12;
    case 192000: return 14;
    case 768000: return 9;
    default: return 2;
    }
}

uint16_t it66121_hdmitx_drv::audioN(uint8_t code) { return kNByCode[code < 15 ? code : 15]; }

void it66121_hdmitx_drv::setHDMITX_NCTS(uint8_t code)
{
    const uint8_t e5 = io_.HDMITX_ReadI2C_Byte(0xE5);
    const uint16_t n = audioN(code);
    io_.Switch_HDMITX_Bank(1);
    io_.HDMITX_WriteI2C_Byte(0x33, static_cast<uint8_t>(n & 0xFF));
    io_.HDMITX_WriteI2C_Byte(0x34, static_cast<uint8_t>(n >> 8));
    io_.HDMITX_WriteI2C_Byte(0x35, 0);
    for (uint8_t r = 0x30; r <= 0x32; ++r)
        io_.HDMITX_WriteI2C_Byte(r, 0);  // the chip measures CTS itself
    io_.Switch_HDMITX_Bank(0);
    io_.HDMITX_WriteI2C_Byte(0xF8, 0xC3);
    io_.HDMITX_WriteI2C_Byte(0xF8, 0xA5);
    io_.HDMITX_AndReg_Byte(0xC5, static_cast<uint8_t>(~0x02));
    io_.HDMITX_WriteI2C_Byte(0xF8, 0xFF);
    if (!(e5 & 0x08)) {
        io_.Switch_HDMITX_Bank(1);
        io_.HDMITX_WriteI2C_Byte(0x98, 0x09);
        io_.HDMITX_SetI2C_Byte(0x99, 0xF0, 0x60);
    }
    io_.Switch_HDMITX_Bank(0);
}

void it66121_hdmitx_drv::setHDMITX_ChStat(const uint8_t cs[5])
{
    io_.Switch_HDMITX_Bank(1);
    io_.HDMITX_WriteI2C_Byte(0x91, static_cast<uint8_t>((cs[0] << 1) & 0x7C));
    io_.HDMITX_WriteI2C_Byte(0x92, cs[1]);
    io_.HDMITX_WriteI2C_Byte(0x93, cs[2] & 0x0F);
    io_.HDMITX_WriteI2C_Byte(0x94, static_cast<uint8_t>(cs[2] >> 4));
    io_.HDMITX_WriteI2C_Byte(0x98, cs[3]);
    io_.HDMITX_WriteI2C_Byte(0x99, cs[4]);
    io_.Switch_HDMITX_Bank(0);
}

void it66121_hdmitx_drv::setHDMITX_LPCMAudio(uint8_t pairs, uint8_t bits, uint8_t spdif)
{
    (void)bits;
    (void)spdif;
    io_.Switch_HDMITX_Bank(0);
    io_.HDMITX_WriteI2C_Byte(0xE0, 0xC0);
    uint8_t e1 = hdmiTxDev.tx_audio_option;
    e1 = static_cast<uint8_t>(pairs >= 2 && pairs <= 4 ? e1 | 0x40 : e1 & ~0x40);
    io_.HDMITX_WriteI2C_Byte(0xE1, static_cast<uint8_t>(e1 | 0x01));
    io_.HDMITX_WriteI2C_Byte(0xE2, 0xE4);
    for (uint8_t r = 0xE3; r <= 0xE5; ++r)
        io_.HDMITX_WriteI2C_Byte(r, 0);
    static const uint8_t kEnable[5] = {0x01, 0x01, 0x03, 0x07, 0x0F};
    hdmiTxDev.tx_aud_ctrl0 = static_cast<uint8_t>(0xC0 | kEnable[pairs <= 4 ? pairs : 4]);
}

void it66121_hdmitx_drv::setHDMITX_NLPCMAudio(uint8_t spdif)
{
    io_.Switch_HDMITX_Bank(1);
    io_.HDMITX_OrReg_Byte(0x91, 0x04);  // channel-status byte 0 bit 1: not PCM
    setHDMITX_LPCMAudio(1, 16, spdif);
}

void it66121_hdmitx_drv::setHDMITX_UpdateChStatFs(uint32_t fs)
{
    const uint8_t code = audioRateCode(fs);
    io_.Switch_HDMITX_Bank(1);
    io_.HDMITX_WriteI2C_Byte(0x98, code);
    io_.HDMITX_WriteI2C_Byte(0x99, static_cast<uint8_t>((static_cast<uint8_t>(~code) << 4) | 0x0B));
    io_.Switch_HDMITX_Bank(0);
}

void it66121_hdmitx_drv::setHDMITX_AudioChannelEnable(uint8_t enable)
{
    io_.Switch_HDMITX_Bank(0);
    if (enable) {
        io_.HDMITX_WriteI2C_Byte(0xE0, hdmiTxDev.tx_aud_ctrl0);
        io_.HDMITX_AndReg_Byte(0x04, static_cast<uint8_t>(~0x14));
    } else {
        io_.HDMITX_OrReg_Byte(0x04, 0x14);
        io_.HDMITX_AndReg_Byte(0xE0, static_cast<uint8_t>(~0x0F));
    }
}

void it66121_hdmitx_drv::HDMITX_EnableAudioOutput(uint8_t type, uint8_t spdif, uint32_t fs, uint8_t channels,
                                                  uint32_t tmds)
{
    (void)tmds;
    io_.HDMITX_OrReg_Byte(0x04, 0x14);
    io_.HDMITX_WriteI2C_Byte(0x58, 0x15);
    io_.HDMITX_AndReg_Byte(0x0F, static_cast<uint8_t>(~0x10));
    io_.HDMITX_AndReg_Byte(0xE0, static_cast<uint8_t>(~0x10));
    const uint8_t code = audioRateCode(fs);
    setHDMITX_NCTS(code);
    uint8_t cs[5] = {0, 0, 0, code, static_cast<uint8_t>((static_cast<uint8_t>(~code) << 4) | 0x0B)};
    cs[2] = channels == 0 ? 1 : channels <= 6 ? static_cast<uint8_t>((channels + 1) / 2) : 4;
    io_.HDMITX_SetI2C_Byte(0x04, 0x14, 0x10);
    if (type == 0x80) {
        cs[0] &= static_cast<uint8_t>(~0x02);
        setHDMITX_ChStat(cs);
        setHDMITX_LPCMAudio(cs[2], 24, spdif);
    }
    io_.HDMITX_AndReg_Byte(0x09, static_cast<uint8_t>(~0x80));
    io_.HDMITX_WriteI2C_Byte(0xE0, hdmiTxDev.tx_aud_ctrl0);
    io_.HDMITX_AndReg_Byte(0x04, static_cast<uint8_t>(~0x14));
}

// ---- chip service and DDC ---------------------------------------------------------

bool it66121_hdmitx_drv::CheckHDMITX(bool* change)
{
    const uint8_t sys = io_.HDMITX_ReadI2C_Byte(0x0E);
    const bool hpd = sys & 0x40;
    bool changed = hpd != static_cast<bool>(hdmiTxDev.tx_flags & kFlagHpd);
    if (sys & 0x80) {
        const uint8_t int06 = io_.HDMITX_ReadI2C_Byte(0x06);
        if (int06 & 0x80) {
            io_.HDMITX_OrReg_Byte(0x04, 0x14);
            io_.HDMITX_AndReg_Byte(0x04, static_cast<uint8_t>(~0x14));
        }
        if (int06 & 0x10)
            hdmitx_ClearDDCFIFO();
        if (int06 & 0x04)
            hdmitx_AbortDDC();
        if (int06 & 0x01)
            changed = true;
        const uint8_t int07 = io_.HDMITX_ReadI2C_Byte(0x07);
        if (int07 & 0x02)
            io_.HDMITX_OrReg_Byte(0x0A, 0x02);
        if (int07 & 0x01)
            hdmitx_AbortDDC();
        const uint8_t ee = io_.HDMITX_ReadI2C_Byte(0xEE);
        if (ee)
            io_.HDMITX_WriteI2C_Byte(0xEE, ee);
        io_.HDMITX_WriteI2C_Byte(0x0C, 0xFF);
        io_.HDMITX_WriteI2C_Byte(0x0D, 0xFF);
        io_.HDMITX_WriteI2C_Byte(0x0E, static_cast<uint8_t>(sys | 0x03));
        io_.HDMITX_WriteI2C_Byte(0x0E, static_cast<uint8_t>((sys & 0xFE) | 0x02));
    }
    if (changed && !hpd)
        io_.HDMITX_WriteI2C_Byte(0x61, 0x30);
    hdmiTxDev.tx_flags = static_cast<uint8_t>(hpd ? hdmiTxDev.tx_flags | kFlagHpd : hdmiTxDev.tx_flags & ~kFlagHpd);
    if (change)
        *change = changed;
    return hpd;
}

void it66121_hdmitx_drv::hdmitx_ClearDDCFIFO()
{
    io_.HDMITX_WriteI2C_Byte(kDdcMaster, 0x01);
    io_.HDMITX_WriteI2C_Byte(kDdcCommand, kDdcClearFifo);
}

void it66121_hdmitx_drv::hdmitx_AbortDDC()
{
    io_.HDMITX_OrReg_Byte(0x04, 0x01);
    io_.HDMITX_WriteI2C_Byte(kDdcMaster, 0x01);
    for (int round = 0; round < 2; ++round) {
        io_.HDMITX_WriteI2C_Byte(kDdcCommand, kDdcAbort);
        for (int i = 0; i < 200; ++i) {
            const uint8_t st = io_.HDMITX_ReadI2C_Byte(kDdcStatus);
            if (st & (kDdcDone | kDdcErrors))
                break;
            delay_(1);
        }
    }
}

// Polls the DDC status until done; false on an error bit, a failed status
// read or when the polls run out.
bool it66121_hdmitx_drv::waitDdcReady(int polls, bool spaced)
{
    for (int i = 0; i < polls; ++i) {
        bool ok = false;
        const uint8_t st = io_.HDMITX_ReadI2C_Byte(kDdcStatus, &ok);
        if (!ok || (st & kDdcErrors)) {
            hdmitx_AbortDDC();
            return false;
        }
        if (st & kDdcDone)
            return true;
        if (spaced)
            delay_(1);
    }
    return false;
}

bool it66121_hdmitx_drv::getHDMITX_EDIDBytes(uint8_t* buf, uint8_t segment, uint8_t offset, int count)
{
    if (io_.HDMITX_ReadI2C_Byte(0x06) & 0x04)  // bus hang
        hdmitx_AbortDDC();
    hdmitx_ClearDDCFIFO();
    io_.Switch_HDMITX_Bank(0);
    while (count > 0) {
        const int n = count > kDdcPiece ? kDdcPiece : count;
        hdmitx_ClearDDCFIFO();
        if (!waitDdcReady(200, false))
            return false;
        if (io_.HDMITX_ReadI2C_Byte(0x06) & 0x04) {
            hdmitx_AbortDDC();
            return false;
        }
        io_.HDMITX_WriteI2C_Byte(kDdcMaster, 0x01);
        io_.HDMITX_WriteI2C_Byte(kDdcHeader, 0xA0);
        io_.HDMITX_WriteI2C_Byte(kDdcOffset, offset);
        io_.HDMITX_WriteI2C_Byte(kDdcCount, static_cast<uint8_t>(n));
        io_.HDMITX_WriteI2C_Byte(kDdcSegment, segment);
        io_.HDMITX_WriteI2C_Byte(kDdcCommand, kDdcBurstRead);
        if (!waitDdcReady(250, true))
            return false;
        for (int i = 0; i < n; ++i) {
            bool ok = false;
            buf[i] = io_.HDMITX_ReadI2C_Byte(kDdcFifo, &ok);
            if (!ok)
                return false;
        }
        buf += n;
        offset = static_cast<uint8_t>(offset + n);
        count -= n;
    }
    return true;
}

bool it66121_hdmitx_drv::getHDMITX_EDIDBlock(int n, uint8_t* buf)
{
    if (n < 0 || n > 255 || !buf)
        return false;
    return getHDMITX_EDIDBytes(buf, static_cast<uint8_t>(n / 2), static_cast<uint8_t>(kEdidBlock * (n % 2)),
                               kEdidBlock);
}
