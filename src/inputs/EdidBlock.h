#pragma once
#include <cstdint>
#include <string>

// Builds and checks 128-byte EDID blocks: base blocks (E-EDID 1.3/1.4),
// detailed timings and CTA-861 extensions.
class EdidBlock {
public:
    struct Timing {
        uint32_t pclk10k = 0;  // pixel clock, 10 kHz units
        uint16_t hact = 0, hblank = 0, hfp = 0, hsync = 0;
        uint16_t vact = 0, vblank = 0, vfp = 0, vsync = 0;
        uint16_t hmm = 0, vmm = 0;  // image size
        bool hpos = true, vpos = true;
    };
    struct RangeLimits {
        uint8_t vmin, vmax, hminKHz, hmaxKHz, pclkMax10MHz;
        bool gtfDefault;  // EDID 1.3: default GTF instead of "range limits only"
    };
    struct Base {
        const char* maker = "KEL";
        uint16_t product = 0;
        uint32_t serial = 0;
        uint8_t week = 0;
        uint16_t year = 2018;
        uint8_t revision = 4;  // 1.x
        Timing first;
        // Descriptors 2..4 are given as 18 raw bytes each (see below).
        uint8_t desc[3][18] = {};
    };

    // True when bytes 0..7 are the EDID header.
    static bool headerValid(const uint8_t* block);
    // Header valid and bytes 0..127 sum to 0.
    static bool baseValid(const uint8_t* block);
    static uint8_t sum(const uint8_t* data, unsigned long length, uint8_t init = 0);
    // Byte 127 := what makes the block sum to 0.
    static void setChecksum(uint8_t* block);

    // The 12 timing bytes of a detailed timing descriptor; false (out
    // untouched) when the timing does not fit its fields.
    static bool encodeTimingBytes(const Timing& t, uint8_t out[12]);
    static bool encodeDtd(const Timing& t, uint8_t out[18]);
    static void nameDescriptor(const std::string& name, uint8_t out[18]);
    static void serialDescriptor(const std::string& text, uint8_t out[18]);
    static void rangeDescriptor(const RangeLimits& r, uint8_t out[18]);
    static void dummyDescriptor(uint8_t out[18]);

    static void buildBase(const Base& base, uint8_t out[128]);
    // A CTA-861 revision 3 extension: video, audio, speaker, HDMI (and, above
    // 340 MHz, HDMI Forum) and video capability data blocks, the DTDs from
    // dtdOffset on, and the checksum. The video block takes as many of the
    // offered VICs as it needs to end the data blocks exactly at dtdOffset.
    // maxTmdsMHz 0 leaves the HDMI blocks out (they need a 1.3 base block).
    static void buildCta(const uint8_t* vics, int vicCount, const Timing* dtds, int dtdCount,
                         uint8_t dtdOffset, uint32_t maxTmdsMHz, uint8_t out[128]);
};
