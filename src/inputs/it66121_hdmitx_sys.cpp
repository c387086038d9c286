#include "inputs/it66121_hdmitx_sys.h"

#include "inputs/IT66121Tables.h"
#include "inputs/it66121_hdmitx_drv.h"
#include "inputs/sdi_it66121.h"
#include "params/DebugPrint.h"

#include <algorithm>
#include <cstring>

namespace {

struct DisplayMode {
    uint8_t type;
    uint8_t vic;
    uint8_t pixel_rep;
    uint32_t pclk;
    uint8_t aspect;       // 0 4:3, 1 16:9
    uint8_t colorimetry;  // 0 BT.601, 1 BT.709
};

const DisplayMode kModes[] = {
    {1, 1, 0, 25000000, 0, 0},    {2, 2, 0, 27000000, 0, 0},    {3, 3, 0, 27000000, 1, 0},
    {4, 4, 0, 74250000, 1, 1},    {5, 5, 0, 74250000, 1, 1},    {6, 6, 1, 13500000, 0, 0},
    {7, 7, 1, 13500000, 1, 0},    {16, 16, 0, 148500000, 1, 1}, {17, 17, 0, 27000000, 0, 0},
    {18, 18, 0, 27000000, 1, 0},  {19, 19, 0, 74250000, 1, 1},  {20, 20, 0, 74250000, 1, 1},
    {21, 21, 1, 13500000, 0, 0},  {22, 22, 1, 13500000, 1, 0},  {31, 31, 0, 148500000, 1, 1},
    {32, 32, 0, 74250000, 1, 1},  {33, 33, 0, 74250000, 1, 1},  {34, 34, 0, 74250000, 1, 1},
    {61, 0, 0, 74250000, 1, 1}};

const uint8_t kEdidHeader[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
constexpr int kMaxExtensions = 4;
constexpr uint32_t kHdmiOui = 0x000C03;

enum CtaTag : uint8_t { kAudioTag = 1, kVideoTag = 2, kVendorTag = 3, kSpeakerTag = 4 };

void parseVendorBlock(const uint8_t* b, int len, RxCapability& cap)
{
    if (len < 3)
        return;
    cap.IEEEOUI = b[1] | (b[2] << 8) | (static_cast<uint32_t>(b[3]) << 16);
    kelDebug("IEEEOUI = %02X %02X %02X %lx\n", b[1], b[2], b[3], static_cast<unsigned long>(cap.IEEEOUI));
    if (cap.IEEEOUI != kHdmiOui)
        return;
    cap.rx_valid |= 0x02;
    if (len >= 5) {
        cap.vsdb_address[0] = b[4];
        cap.vsdb_address[1] = b[5];
    }
    if (len > 5)
        cap.vsdb_dc_flags = b[6] & 0x70;
    if (len > 6)
        cap.vsdb_max_tmds = b[7];
    if (len >= 8 && (b[8] & 0x20)) {
        int p = 9 + ((b[8] & 0x80) ? 2 : 0) + ((b[8] & 0x40) ? 2 : 0);
        kelDebug("next offset = %d", p - 1);
        // The 3D flag counts only when the block really holds that byte.
        if (p <= len && (b[p] & 0x80))
            cap.rx_valid |= 0x04;
        else
            cap.rx_valid &= static_cast<uint8_t>(~0x04);
    }
}

void parseDataBlock(uint8_t tag, const uint8_t* b, int len, RxCapability& cap)
{
    switch (tag) {
    case kAudioTag: {
        cap.AUDDesCount = static_cast<uint8_t>(len / 3);
        kelDebug("RxCapability.AUDDesCount = %d\n", cap.AUDDesCount);
        const int kept = std::min<int>(cap.AUDDesCount, RxCapability::kMaxAudioDescriptors);
        for (int i = 0; i < kept; ++i)
            std::memcpy(cap.AUDDes[i], b + 1 + 3 * i, 3);
        break;
    }
    case kVideoTag:
        for (int i = 1; i <= len; ++i) {
            if (b[i] & 0x40)
                continue;
            const uint8_t vic = b[i] & 0x3F;
            cap.VDOMode[vic / 8] |= static_cast<uint8_t>(1u << (vic % 8));
            kelDebug("VIC = %d, RxCapability.VDOMode[%d]=%02X\n", vic, vic / 8, cap.VDOMode[vic / 8]);
            if ((b[i] & 0x80) && cap.native_vic == 255) {
                cap.native_vic = vic;
                kelDebug("native = %d\n", vic);
            }
        }
        break;
    case kVendorTag:
        parseVendorBlock(b, len, cap);
        break;
    case kSpeakerTag:
        if (len >= 3)
            std::memcpy(cap.speaker_alloc, b + 1, 3);
        break;
    default:
        break;
    }
}

} // namespace

uint8_t it66121_hdmitx_sys::DevLoopCount = 0;

void it66121_hdmitx_sys::HDMITX_ChangeDisplayOption(uint8_t type, uint8_t output_color)
{
    const DisplayMode* mode = nullptr;
    for (const DisplayMode& m : kModes)
        if (m.type == type)
            mode = &m;
    if (!mode) {
        tx_mode_changed = 0;
        return;
    }
    tx_vic = mode->vic;
    tx_pixel_rep = mode->pixel_rep;
    tx_pclk = mode->pclk;
    tx_aspect = mode->aspect;
    tx_colorimetry = mode->colorimetry;
    tx_mode_changed = 1;
    if (tx_output_color_mode != kRgb)
        tx_output_color_mode = output_color == 1 ? kYuv444 : output_color == 2 ? kYuv422 : kRgb;
    tx_input_color_mode = static_cast<uint8_t>((tx_input_color_mode & ~0x30) | (mode->colorimetry ? 0x10 : 0) |
                                               (type != 1 ? 0x20 : 0));
}

void it66121_hdmitx_sys::HDMITX_ChangeAudioOption(uint8_t type, uint8_t channels, uint8_t rate_code)
{
    if (type == 0xC0) {
        tx_audio_type = 0xC0;
        tx_audio_fs = 768000;
        tx_audio_channels = 8;
        return;
    }
    if (type == 0x90) {
        tx_audio_type = 0x90;
        tx_audio_channels = 2;
    } else {
        tx_audio_type = 0x80;
        tx_audio_channels = std::min<uint8_t>(std::max<uint8_t>(channels, 1), 8);
    }
    switch (rate_code) {
    case 0: tx_audio_fs = 44100; break;
    case 3: tx_audio_fs = 32000; break;
    case 8: tx_audio_fs = 88200; break;
    case 9: tx_audio_fs = 768000; break;
    case 10: tx_audio_fs = 96000; break;
    case 12: tx_audio_fs = 176400; break;
    case 14: tx_audio_fs = 192000; break;
    default: tx_audio_fs = 48000; break;
    }
    tx_audio_changed = 1;
}

void it66121_hdmitx_sys::HDMITX_DevLoopProc()
{
    if (!tx_loop_enable)
        return;
    bool change = false;
    const bool hpd = drv_.CheckHDMITX(&change);
    tx_hpd_status = hpd;
    tx_hpd_change = change;
    if (change && hpd) {
        drv_.hdmitx_LoadRegSetting(IT66121Tables::HDMITX_PwrOn_Table);
        ParseEDID();
        tx_output_color_mode = kRgb;
        if (RxCapability_.rx_valid & 0x02) {
            tx_hdmi_mode = 1;
            tx_audio_enable = (RxCapability_.cea_flags & 0x40) ? 1 : 0;
            if (RxCapability_.cea_flags & 0x20)
                tx_output_color_mode = kYuv444;
            else if (RxCapability_.cea_flags & 0x10)
                tx_output_color_mode = kYuv422;
        } else {
            tx_hdmi_mode = 0;
            tx_audio_enable = 0;
        }
        tx_color_depth = 0;
        tx_mode_changed = 1;
        tx_audio_changed = 1;
    } else if (change) {
        drv_.HDMITX_DisableVideoOutput();
        drv_.hdmitx_LoadRegSetting(IT66121Tables::HDMITX_PwrDown_Table);
        tx_audio_changed = 0;
    } else {
        if (DevLoopCount > 19)
            DevLoopCount = 0;
        if (hpd) {
            if (tx_mode_changed)
                HDMITX_SetOutput();
            if (tx_audio_changed)
                HDMITX_SetAudioOutput();
        }
    }
    ++DevLoopCount;
}

void it66121_hdmitx_sys::ConfigAVIInfoFrame(uint8_t vic, uint8_t pixel_rep, uint8_t frame[13]) const
{
    std::memset(frame, 0, 13);
    frame[0] = tx_output_color_mode == kYuv422 ? 0x30 : tx_output_color_mode == kYuv444 ? 0x50 : 0x10;
    frame[1] = static_cast<uint8_t>(0x08 | (tx_aspect ? 0x20 : 0x10) | (tx_colorimetry ? 0x80 : 0x40));
    frame[3] = vic;
    frame[4] = pixel_rep & 3;
}

void it66121_hdmitx_sys::HDMITX_SetOutput()
{
    // Audio off while the video changes.
    io_.HDMITX_OrReg_Byte(0x04, 0x14);
    io_.HDMITX_OrReg_Byte(0x0F, 0x10);
    const uint32_t tmds = tx_pclk * (1u + tx_pixel_rep);
    drv_.setHDMITX_VideoSignalType(0);
    drv_.HDMITX_EnableVideoOutput(it66121_hdmitx_drv::videoPclkLevel(tmds), tx_input_color_mode,
                                  tx_output_color_mode, tx_hdmi_mode);
    if (tx_hdmi_mode) {
        uint8_t avi[13];
        ConfigAVIInfoFrame(tx_vic, tx_pixel_rep, avi);
        drv_.HDMITX_EnableAVIInfoFrame(1, avi);
        HDMITX_SetAudioOutput();
    } else {
        io_.HDMITX_WriteI2C_Byte(0xCD, 0);
        io_.HDMITX_WriteI2C_Byte(0xD2, 0);
    }
    drv_.setHDMITX_AVMute(0);
    tx_mode_changed = 0;
}

void it66121_hdmitx_sys::HDMITX_SetAudioOutput()
{
    if (!tx_audio_enable)
        return;
    const uint8_t audioInfo[5] = {1, 0, 0, 0, 0};  // DB1: two channels
    drv_.HDMITX_EnableAudioInfoFrame(audioInfo);
    drv_.HDMITX_EnableAudioOutput(tx_audio_type, 0, tx_audio_fs, tx_audio_channels,
                                  tx_pclk * (1u + tx_pixel_rep));
    tx_audio_changed = 0;
}

void it66121_hdmitx_sys::AudioModeDetect() { drv_.setHDMITX_AudioChannelEnable(tx_audio_enable); }

bool it66121_hdmitx_sys::ParseEDID()
{
    RxCapability& cap = RxCapability_;
    cap.IEEEOUI = 0;
    cap.vsdb_dc_flags = 0;
    cap.rx_valid &= static_cast<uint8_t>(~0x03);
    if (!drv_.getHDMITX_EDIDBlock(0, edid_buf))
        return false;
    unsigned sum = 0;
    for (uint8_t b : edid_buf)
        sum += b;
    if ((sum & 0xFF) != 0 || std::memcmp(edid_buf, kEdidHeader, sizeof kEdidHeader) != 0)
        return false;
    const int extensions = std::min<int>(edid_buf[126], kMaxExtensions);
    for (int n = 1; n <= extensions; ++n) {
        if (!drv_.getHDMITX_EDIDBlock(n, edid_buf)) {
            // A failed read leaves no capability: the sink is driven as DVI
            // even when an earlier block named it HDMI.
            cap.rx_valid &= static_cast<uint8_t>(~0x03);
            return false;
        }
        if ((cap.rx_valid & 0x02) || edid_buf[0] != 0x02 || edid_buf[1] != 0x03)
            continue;
        const bool ok = ParseCEAEDID(edid_buf, cap);
        kelDebug("ParseCEAEDID err = %s\n", ok ? "SUCCESS" : "FAIL");
        kelDebug("RxCapability.IEEEOUI = %lx\n", static_cast<unsigned long>(cap.IEEEOUI));
    }
    return true;
}

bool it66121_hdmitx_sys::ParseCEAEDID(const uint8_t* block, RxCapability& cap)
{
    std::memset(cap.VDOMode, 0, sizeof cap.VDOMode);
    std::memset(cap.vsdb_address, 0, sizeof cap.vsdb_address);
    cap.cea_flags = block[3];
    cap.native_vic = 255;
    const int dtd = block[2];
    if (dtd < 5) {
        cap.rx_valid |= 0x01;
        return true;
    }
    // Byte 127 is the checksum; a DTD offset past it ends the walk there.
    const int end = std::min(dtd, 127);
    bool fits = true;
    for (int pos = 4; pos < end;) {
        const uint8_t tag = block[pos] >> 5;
        int len = block[pos] & 0x1F;
        if (pos + len >= end) {
            len = end - pos - 1;
            fits = false;
        }
        parseDataBlock(tag, block + pos, len, cap);
        pos += len + 1;
    }
    cap.rx_valid |= 0x01;
    return fits;
}
