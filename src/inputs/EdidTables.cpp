#include "inputs/EdidTables.h"

#include "inputs/EdidBlock.h"

#include <cstring>
#include <string>

namespace {

using Timing = EdidBlock::Timing;

// Image size of every built-in timing: a 160 x 90 cm screen.
constexpr uint16_t kHmm = 1600;
constexpr uint16_t kVmm = 900;

Timing timing(uint32_t pclk10k, uint16_t hact, uint16_t hblank, uint16_t hfp, uint16_t hsync, uint16_t vact,
              uint16_t vblank, uint16_t vfp, uint16_t vsync, bool hpos = true, bool vpos = true)
{
    Timing t;
    t.pclk10k = pclk10k;
    t.hact = hact;
    t.hblank = hblank;
    t.hfp = hfp;
    t.hsync = hsync;
    t.vact = vact;
    t.vblank = vblank;
    t.vfp = vfp;
    t.vsync = vsync;
    t.hmm = kHmm;
    t.vmm = kVmm;
    t.hpos = hpos;
    t.vpos = vpos;
    return t;
}

struct PresetRow {
    int width, height, refresh;
    uint16_t product;
    Timing t;
};

const PresetRow kPresetRows[EdidTables::kPresets] = {
    {1280, 720, 60, 0x0041, timing(7425, 1280, 370, 110, 40, 720, 30, 5, 5)},
    {1440, 480, 60, 0x0040, timing(5405, 1440, 276, 32, 124, 480, 45, 9, 6, false, false)},
    {1680, 720, 60, 0x0039, timing(9900, 1680, 520, 260, 40, 720, 30, 5, 5)},
    {1920, 1080, 60, 0x0043, timing(14850, 1920, 280, 88, 44, 1080, 45, 4, 5)},
    {2560, 1080, 60, 0x0039, timing(19800, 2560, 440, 248, 44, 1080, 20, 4, 5)},
    {2880, 480, 60, 0x0039, timing(10811, 2880, 552, 64, 248, 480, 45, 9, 6, false, false)},
    {3840, 2160, 30, 0x0038, timing(29700, 3840, 560, 176, 88, 2160, 90, 8, 10)},
    {3840, 2160, 60, 0x0037, timing(59400, 3840, 560, 176, 88, 2160, 90, 8, 10)},
};

// CTA VICs offered by each table family, most important first.
const uint8_t kVics6602[] = {16, 4, 31, 19, 2, 3, 1, 17, 18, 5, 20, 32, 33, 34};
const uint8_t kVicsHdmi20[] = {97, 96, 95, 94, 93, 102, 101, 100, 99, 98, 16, 31, 34, 33, 32, 4, 19,
                               62, 61, 60, 5, 20, 1, 2, 3, 17, 18, 6, 7, 21, 22};

const uint8_t kVicsPreset[] = {16, 4, 31, 19, 2, 3, 1, 17, 18, 5, 20, 32, 33, 34, 60, 61, 62, 14, 15, 29,
                                30, 35, 36, 37, 38, 6, 7, 21, 22, 95, 94, 93, 97, 96};
const char* const kNames6602[4] = {"KEL-EXT", "KEL-DVI", "KEL-HD1", "KEL-HD2"};
const char* const kNames6805[2] = {"KEL_T57HD3", "KEL_T57HD4"};

void buildDefault6602(int k, uint8_t out[256])
{
    EdidBlock::Base b;
    b.product = 0x0001;
    b.serial = 0x01010101;
    b.week = 4;
    b.year = 2018;
    b.revision = 4;
    b.first = timing(14850, 1920, 280, 88, 44, 1080, 45, 4, 5);
    // Detailed timings come before the display descriptors.
    EdidBlock::encodeDtd(timing(26850, 2560, 160, 48, 32, 1600, 46, 3, 6, true, false), b.desc[0]);
    EdidBlock::rangeDescriptor({23, 76, 15, 100, 27, false}, b.desc[1]);
    EdidBlock::nameDescriptor(kNames6602[k], b.desc[2]);
    EdidBlock::buildBase(b, out);
    EdidBlock::buildCta(kVics6602, sizeof kVics6602, nullptr, 0, 28, 0, out + 128);
}

void buildDefault6805(int dev, uint8_t out[256])
{
    EdidBlock::Base b;
    b.product = 0x6805;
    b.serial = 0x87654321;
    b.week = 46;
    b.year = 2015;
    b.revision = 3;
    b.first = timing(59400, 3840, 560, 176, 88, 2160, 90, 8, 10);
    EdidBlock::serialDescriptor("KEL_T57HDMI20", b.desc[0]);
    EdidBlock::nameDescriptor(kNames6805[dev], b.desc[1]);
    EdidBlock::rangeDescriptor({23, 76, 15, 160, 60, true}, b.desc[2]);
    EdidBlock::buildBase(b, out);
    EdidBlock::buildCta(kVicsHdmi20, sizeof kVicsHdmi20, nullptr, 0, 60, 600, out + 128);
}

void buildPreset(int n, uint8_t dtdOffset, uint8_t out[256])
{
    EdidBlock::Base b;
    b.product = kPresetRows[n].product;
    b.serial = 0x01010101;
    b.week = 42;
    b.year = 2024;
    b.revision = 4;
    b.first = kPresetRows[n].t;
    EdidBlock::dummyDescriptor(b.desc[0]);
    EdidBlock::dummyDescriptor(b.desc[1]);
    EdidBlock::nameDescriptor("KEL-HDMI", b.desc[2]);
    EdidBlock::buildBase(b, out);
    EdidBlock::buildCta(kVicsPreset, sizeof kVicsPreset, nullptr, 0, dtdOffset, 0, out + 128);
}

} // namespace

EdidTables::EdidTables()
{
    for (int k = 0; k < 4; ++k)
        buildDefault6602(k, tarvo_default_edid_6602[k]);
    for (int d = 0; d < 2; ++d)
        buildDefault6805(d, tarvo_default_edid_6805[d]);
    for (int n = 0; n < kPresets; ++n) {
        buildPreset(n, 53, edid_table_1080p[n]);
        buildPreset(n, 63, edid_table_4k[n]);
    }
}

uint8_t* EdidTables::defaultFor(int input)
{
    if (input >= 0 && input < 4)
        return tarvo_default_edid_6602[input];
    if (input == 4 || input == 5)
        return tarvo_default_edid_6805[input - 4];
    return nullptr;
}

uint8_t* EdidTables::presetFor(int input, int n)
{
    if (n < 0 || n >= kPresets)
        return nullptr;
    if (input >= 0 && input < 4)
        return edid_table_1080p[n];
    if (input == 4 || input == 5)
        return edid_table_4k[n];
    return nullptr;
}

int EdidTables::presetIndex(int width, int height, int refresh)
{
    for (int n = 0; n < kPresets; ++n)
        if (kPresetRows[n].width == width && kPresetRows[n].height == height && kPresetRows[n].refresh == refresh)
            return n;
    return -1;
}
