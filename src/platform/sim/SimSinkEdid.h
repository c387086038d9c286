#pragma once
#include <cstdint>
#include <vector>

namespace kel::platform::sim {

// EDIDs of the sinks the simulated SDI transmitter can drive.
//  hdmi: an E-EDID 1.3 base block with 1920x1080p60 and one CTA-861
//        extension: VICs 16 (native), 4, 31, 3; LPCM 2 channels at 32, 44.1
//        and 48 kHz; speakers FL/FR; the HDMI vendor block (address 1.0.0.0,
//        deep colour 30/36 bits, 225 MHz, 3D present); a video capability
//        block; basic audio, YCbCr 4:4:4 and 4:2:2 supported.
//  dvi:  the base block alone.
class SimSinkEdid {
public:
    static std::vector<uint8_t> hdmi();
    static std::vector<uint8_t> dvi();
    // Sets the last byte of each 128-byte block so the block sums to 0.
    static void fixChecksums(std::vector<uint8_t>& edid);
};

} // namespace kel::platform::sim
