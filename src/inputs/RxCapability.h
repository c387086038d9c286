#pragma once
#include <cstdint>

// What the sink on the transmitter's HDMI output can take, as parsed from
// its EDID.
struct RxCapability {
    static constexpr int kMaxAudioDescriptors = 4;

    uint8_t cea_flags = 0;        // bit 6 basic audio, 5 YCbCr 4:4:4, 4 YCbCr 4:2:2
    uint8_t native_vic = 255;     // 255: none
    uint8_t VDOMode[8] = {};      // VIC v is bit v % 8 of byte v / 8 (VICs 0..63)
    uint8_t AUDDesCount = 0;      // as the sink stated it (may exceed the kept ones)
    uint8_t AUDDes[kMaxAudioDescriptors][3] = {};
    uint32_t IEEEOUI = 0;
    uint8_t vsdb_address[2] = {};
    uint8_t vsdb_dc_flags = 0;
    uint8_t vsdb_max_tmds = 0;
    uint8_t speaker_alloc[3] = {};
    uint8_t rx_valid = 0;         // bit 0 parsed, bit 1 HDMI sink, bit 2 3D present

    bool hasVic(unsigned vic) const { return vic < 64 && (VDOMode[vic / 8] >> (vic % 8) & 1); }
};
