#pragma once
#include <cstdint>

// One record of a transmitter register table: mask 0xFF writes the value,
// masks 0x01..0xFE change only the masked bits, mask 0 with value 0 waits
// `reg` ms (register 0: end of the table), mask 0 with another value reads
// the register and writes it back.
struct structRegSetEntry {
    uint8_t offset;
    uint8_t invAndMask;
    uint8_t OrMask;
};

// The IT66121 transmitter's register tables, each ended by 00/00/00.
struct IT66121Tables {
    static const structRegSetEntry HDMITX_Init_Table[];
    static const structRegSetEntry HDMITX_DefaultVideo_Table[];
    static const structRegSetEntry HDMITX_SetHDMI_Table[];
    static const structRegSetEntry HDMITX_SetDVI_Table[];
    static const structRegSetEntry HDMITX_DefaultAVIInfo_Table[];
    static const structRegSetEntry HDMITX_DeaultAudioInfo_Table[];
    static const structRegSetEntry HDMITX_Aud_CHStatus_LPCM_20bit_48Khz[];
    static const structRegSetEntry HDMITX_AUD_SPDIF_2ch_24bit[];
    static const structRegSetEntry HDMITX_AUD_I2S_2ch_24bit[];
    static const structRegSetEntry HDMITX_DefaultAudio_Table[];
    static const structRegSetEntry HDMITX_PwrOn_Table[];
    static const structRegSetEntry HDMITX_PwrDown_Table[];

    // The initial tables in the order the initialisation loads them.
    static const structRegSetEntry* const kInitOrder[7];
};
