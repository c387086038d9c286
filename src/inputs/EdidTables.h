#pragma once
#include <cstdint>

// The built-in EDIDs of the six inputs: the per-input defaults and the two
// preset sets (1080p presets for inputs 0..3, 4k presets for inputs 4..5),
// 256 bytes each (base block + CTA-861 extension). Tables are edited in place
// before they are sent and keep those edits.
class EdidTables {
public:
    static constexpr int kPresets = 8;

    EdidTables();

    uint8_t tarvo_default_edid_6602[4][256];
    uint8_t tarvo_default_edid_6805[2][256];
    uint8_t edid_table_1080p[kPresets][256];  // edid_table_1080p_0 .. _7
    uint8_t edid_table_4k[kPresets][256];     // edid_table_4k_0 .. _7

    // The default block of an input (0..5); null outside.
    uint8_t* defaultFor(int input);
    // Preset N of the set serving the input; null outside.
    uint8_t* presetFor(int input, int n);
    // The preset N of a timing, -1 when there is none.
    static int presetIndex(int width, int height, int refresh);
};
