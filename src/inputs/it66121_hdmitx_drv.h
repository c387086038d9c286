#pragma once
#include "inputs/IT66121Tables.h"

#include <cstdint>
#include <functional>

class sdi_it66121;

// The IT66121 transmitter's register driver: its device record, the table
// loader and the register sequences for video, infoframes, audio, the chip
// service and the DDC master that reads the sink's EDID.
class it66121_hdmitx_drv {
public:
    using Delay = std::function<void(unsigned ms)>;

    // The 20-byte device record, loaded from InstanceData.
    struct _HDMITXDEV_STRUCT {
        uint8_t I2CDev;
        uint8_t I2CAddr;
        uint8_t int_type;
        uint8_t tx_signal_type;   // video signal type bits of register 0x70
        uint8_t tx_audio_option;  // base value of audio register 0xE1
        uint8_t channel_swap;
        uint8_t channel_enable;
        uint8_t audio_fs_code;
        uint8_t tx_aud_ctrl0;     // register 0xE0 as the audio enable leaves it
        uint8_t tx_flags;         // bit 1 HDMI mode, bit 3 hot-plug level
        uint8_t reserved[10];
    };
    static_assert(sizeof(_HDMITXDEV_STRUCT) == 20, "the device record is 20 bytes");
    static const uint8_t InstanceData[20];

    static constexpr uint8_t kFlagHdmi = 0x02;
    static constexpr uint8_t kFlagHpd = 0x08;
    static constexpr int kEdidBlock = 128;

    it66121_hdmitx_drv(sdi_it66121& io, Delay delay);

    void HDMITX_InitTxDev();
    void hdmitx_LoadRegSetting(const structRegSetEntry* table);

    void HDMITX_EnableVideoOutput(uint8_t level, uint8_t in_mode, uint8_t out_mode, uint8_t hdmi);
    void HDMITX_DisableVideoOutput();
    void setHDMITX_AVMute(uint8_t mute);
    void setHDMITX_VideoSignalType(uint8_t type) { hdmiTxDev.tx_signal_type = type; }
    // Writes DB1..DB13 of an AVI infoframe (frame[0..12]) with its checksum
    // and enables it; enable 0 only disables.
    void HDMITX_EnableAVIInfoFrame(uint8_t enable, const uint8_t* frame);
    // The audio infoframe (DB1..DB5 in frame[0..4]).
    void HDMITX_EnableAudioInfoFrame(const uint8_t* frame);
    // The HDMI vendor-specific infoframe for a 3D structure (0, 6 or 8
    // carry it; others send 0).
    void ConfigfHdmiVendorSpecificInfoFrame(uint8_t structure);
    void hdmitx_SetSPDInfoFrame(const uint8_t payload[25]);
    // The six MPEG infoframe bytes as the caller built them.
    void hdmitx_SetMPEGInfoFrame(const uint8_t bytes[6]);
    void hdmitx_Set_GeneralPurpose_PKT(const uint8_t packet[31]);
    void HDMITX_EnableAudioOutput(uint8_t type, uint8_t spdif, uint32_t fs, uint8_t channels, uint32_t tmds);
    void setHDMITX_NCTS(uint8_t code);
    void setHDMITX_ChStat(const uint8_t cs[5]);
    void setHDMITX_LPCMAudio(uint8_t pairs, uint8_t bits, uint8_t spdif);
    // Two-channel compressed audio: the channel status marked not PCM, then
    // the input set up as one LPCM pair.
    void setHDMITX_NLPCMAudio(uint8_t spdif);
    // The sample-rate fields of the channel status (bank 1 0x98, 0x99) for
    // a new rate, nothing else changed.
    void setHDMITX_UpdateChStatFs(uint32_t fs);
    // Non-zero: the pairs the last input set-up chose run (0xE0) and the
    // audio leaves reset; zero: audio held in reset, every pair off.
    void setHDMITX_AudioChannelEnable(uint8_t enable);

    // Services the chip's hot-plug and interrupt registers: true when the
    // sink is present; *change when the level changed since the last call.
    bool CheckHDMITX(bool* change);
    void hdmitx_AbortDDC();
    void hdmitx_ClearDDCFIFO();
    // 128 bytes of EDID block n; false when the DDC read failed.
    bool getHDMITX_EDIDBlock(int n, uint8_t* buf);

    static uint8_t audioRateCode(uint32_t fs);
    static uint16_t audioN(uint8_t code);
    static uint8_t videoPclkLevel(uint32_t tmdsHz);

    _HDMITXDEV_STRUCT hdmiTxDev{};

private:
    bool getHDMITX_EDIDBytes(uint8_t* buf, uint8_t segment, uint8_t offset, int count);
    bool waitDdcReady(int polls, bool spaced);
    void hdmitx_SetInputMode(uint8_t in_mode);
    void hdmitx_SetCSCScale(uint8_t in_mode, uint8_t out_mode);
    void hdmitx_SetupAFE(uint8_t level);
    void hdmitx_FireAFE();

    sdi_it66121& io_;
    Delay delay_;
};
