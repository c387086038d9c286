#pragma once
#include <QString>

#include <cstdint>

namespace kel::platform::sim {

// One video timing as a source sends it: pixel clock, the horizontal and
// vertical active/porch/sync lengths (for an interlaced timing the vertical
// values are those of one field) and the sync polarities. The simulated
// board keeps its own small catalogue of CTA-861 and VESA DMT timings and
// its own detailed-timing decoder.
struct SimVideoTiming {
    uint32_t pclkKHz = 0;
    uint16_t hact = 0, hfp = 0, hsync = 0, hbp = 0;
    uint16_t vact = 0, vfp = 0, vsync = 0, vbp = 0;
    bool interlaced = false;
    bool hpos = false;  // positive horizontal sync
    bool vpos = false;  // positive vertical sync
    uint8_t vic = 0;    // CTA-861 video identification code, 0 when none

    uint32_t htotal() const { return uint32_t(hact) + hfp + hsync + hbp; }
    uint32_t vtotal() const { return uint32_t(vact) + vfp + vsync + vbp; }
    bool valid() const { return pclkKHz > 0 && hact > 0 && vact > 0; }
    // Frames (fields when interlaced) per second; 0 for an empty timing.
    double refreshHz() const;
    QString text() const;  // e.g. "1920x1080@60.00 148500kHz"

    // CTA-861 timing by VIC; false when the catalogue lacks it.
    static bool cta(int vic, SimVideoTiming* out);
    // VESA DMT timing by its DMT id; false when the catalogue lacks it.
    static bool dmt(int id, SimVideoTiming* out);
    // "<pclk kHz>,<hact>,<hfp>,<hs>,<hbp>,<vact>,<vfp>,<vs>,<vbp>[,i][,+h][,+v]".
    static bool custom(const QString& text, SimVideoTiming* out);
    // An 18-byte EDID detailed timing descriptor; false for a descriptor
    // that is no timing (pixel clock 0) or has no active area.
    static bool fromDtd(const uint8_t* d, SimVideoTiming* out);
    // The first detailed timing of a 128-byte EDID base block; false when
    // the block has no header or no timing in its first descriptor.
    static bool firstDtd(const uint8_t* edid, SimVideoTiming* out);
    // The VIC of the catalogue timing that matches this one, 0 when none.
    uint8_t matchVic() const;
};

} // namespace kel::platform::sim
