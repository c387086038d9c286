#pragma once
#include "inputs/RxCapability.h"

#include <cstdint>

class it66121_hdmitx_drv;
class sdi_it66121;

// The transmitter's system layer: the output mode, the sink's capability
// and the loop pass that follows the sink's hot-plug, reads its EDID and
// programs video, infoframes and audio. The loop runs only while
// tx_loop_enable is set, which nothing in the system does: after the
// initialisation the chip keeps what its tables gave it.
class it66121_hdmitx_sys {
public:
    enum OutputColor : uint8_t { kRgb = 0, kYuv422 = 1, kYuv444 = 2 };

    it66121_hdmitx_sys(it66121_hdmitx_drv& drv, sdi_it66121& io) : drv_(drv), io_(io) {}

    void HDMITX_ChangeDisplayOption(uint8_t type, uint8_t output_color);
    // 0x90 non-LPCM (2 channels), 0xC0 HBR (768 kHz, 8 channels, no
    // reprogramming asked), anything else LPCM with 1..8 channels.
    void HDMITX_ChangeAudioOption(uint8_t type, uint8_t channels, uint8_t rate_code);
    void HDMITX_ChangeColorDepth() { tx_color_depth = 0; }
    void HDMITX_DevLoopProc();
    void HDMITX_SetOutput();
    void HDMITX_SetAudioOutput();
    // Audio channels on while the sink takes audio, off otherwise.
    void AudioModeDetect();
    // Reads and parses the sink's EDID into RxCapability; false when block 0
    // cannot be read or is not an EDID, or an extension cannot be read (then
    // rx_valid holds neither "parsed" nor "HDMI").
    bool ParseEDID();
    // Parses one CTA-861 extension block of 128 bytes. Never reads outside
    // the block: the data blocks are walked only below min(DTD offset, 127)
    // and each is read only within its stated length. False when a data
    // block runs past that end.
    static bool ParseCEAEDID(const uint8_t* block, RxCapability& cap);
    // DB1..DB13 of the AVI infoframe for the current output.
    void ConfigAVIInfoFrame(uint8_t vic, uint8_t pixel_rep, uint8_t frame[13]) const;

    RxCapability RxCapability_{};
    uint8_t tx_mode_changed = 0;
    uint8_t tx_audio_changed = 0;
    uint8_t tx_input_color_mode = 1;
    uint8_t tx_color_depth = 0x18;
    uint8_t tx_output_color_mode = kRgb;
    uint32_t tx_pclk = 0;
    uint8_t tx_vic = 0;
    uint8_t tx_pixel_rep = 0;
    uint32_t tx_aspect = 0;        // 0 4:3, 1 16:9
    uint32_t tx_colorimetry = 0;   // 0 BT.601, 1 BT.709
    uint32_t tx_audio_fs = 48000;
    uint8_t tx_audio_channels = 2;
    uint8_t tx_hdmi_mode = 0;
    uint8_t tx_audio_enable = 0;
    uint8_t tx_hpd_status = 0;
    uint8_t tx_hpd_change = 0;
    uint8_t tx_audio_type = 0x80;  // LPCM
    uint8_t tx_loop_enable = 0;
    uint8_t edid_buf[128] = {};

    static uint8_t DevLoopCount;

private:
    it66121_hdmitx_drv& drv_;
    sdi_it66121& io_;
};
