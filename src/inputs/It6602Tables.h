#pragma once
#include <cstdint>

// The IT6602 register tables the driver writes, kept as data: the
// initialisation rows, the colour-space matrices (21 bytes for bank 1
// registers 0x70..0x84) and the three equaliser values.
struct IT6602_REG_INI {
    uint8_t reg;
    uint8_t mask;
    uint8_t value;
};

class It6602Tables {
public:
    static constexpr int kInitRows = 82;  // 81 rows and the end row
    static const IT6602_REG_INI IT6602_HDMI_INIT_TABLE[kInitRows];

    static constexpr int kCscBytes = 21;
    static const uint8_t bCSCMtx_YUV2RGB_ITU709_0_255[kCscBytes];
    static const uint8_t bCSCMtx_YUV2RGB_ITU601_0_255[kCscBytes];
    static const uint8_t bCSCMtx_RGB_16_235_RGB_0_255[kCscBytes];

    static const uint8_t IT6602EQTable[3];
};
