#pragma once
#include <cstdint>

namespace kel::protocol {

// The picture an EDID announces first: its first detailed timing
// descriptor (bytes 54-71).
class EdidTiming {
public:
    static constexpr int kEdidSize = 256;

    uint16_t width = 0;
    uint16_t height = 0;
    uint16_t refresh = 0;

    // False when the first descriptor is not a timing (pixel clock 0).
    static bool parse(const uint8_t* edid, EdidTiming& out);
};

} // namespace kel::protocol
