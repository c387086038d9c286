#include "inputs/EdidBlock.h"

#include <cstring>

namespace {
const uint8_t kHeader[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
// sRGB primaries and white point, as most monitors report them.
const uint8_t kChromaticity[10] = {0xEE, 0x91, 0xA3, 0x54, 0x4C, 0x99, 0x26, 0x0F, 0x50, 0x54};

void textDescriptor(uint8_t tag, const std::string& text, uint8_t out[18])
{
    std::memset(out, 0, 18);
    out[3] = tag;
    size_t i = 0;
    for (; i < 13 && i < text.size(); ++i)
        out[5 + i] = static_cast<uint8_t>(text[i]);
    if (i < 13)
        out[5 + i++] = 0x0A;
    for (; i < 13; ++i)
        out[5 + i] = 0x20;
}

// Appends one CTA data block (tag, payload) at pos; returns the new pos.
int dataBlock(uint8_t* out, int pos, uint8_t tag, const uint8_t* payload, int len)
{
    out[pos++] = static_cast<uint8_t>((tag << 5) | len);
    std::memcpy(out + pos, payload, len);
    return pos + len;
}
} // namespace

bool EdidBlock::headerValid(const uint8_t* block) { return std::memcmp(block, kHeader, 8) == 0; }

uint8_t EdidBlock::sum(const uint8_t* data, unsigned long length, uint8_t init)
{
    unsigned s = init;
    for (unsigned long i = 0; i < length; ++i)
        s += data[i];
    return static_cast<uint8_t>(s);
}

bool EdidBlock::baseValid(const uint8_t* block) { return headerValid(block) && sum(block, 128) == 0; }

void EdidBlock::setChecksum(uint8_t* block)
{
    block[127] = static_cast<uint8_t>(256 - sum(block, 127));
}

bool EdidBlock::encodeTimingBytes(const Timing& t, uint8_t out[12])
{
    if (t.pclk10k < 1 || t.pclk10k > 0xFFFF || t.hact > 4095 || t.vact > 4095 || t.hblank > 4095 ||
        t.vblank > 4095 || t.hfp > 1023 || t.hsync > 1023 || t.vfp > 63 || t.vsync > 63)
        return false;
    out[0] = static_cast<uint8_t>(t.pclk10k & 0xFF);
    out[1] = static_cast<uint8_t>(t.pclk10k >> 8);
    out[2] = static_cast<uint8_t>(t.hact & 0xFF);
    out[3] = static_cast<uint8_t>(t.hblank & 0xFF);
    out[4] = static_cast<uint8_t>(((t.hact >> 8) << 4) | (t.hblank >> 8));
    out[5] = static_cast<uint8_t>(t.vact & 0xFF);
    out[6] = static_cast<uint8_t>(t.vblank & 0xFF);
    out[7] = static_cast<uint8_t>(((t.vact >> 8) << 4) | (t.vblank >> 8));
    out[8] = static_cast<uint8_t>(t.hfp & 0xFF);
    out[9] = static_cast<uint8_t>(t.hsync & 0xFF);
    out[10] = static_cast<uint8_t>(((t.vfp & 0x0F) << 4) | (t.vsync & 0x0F));
    out[11] = static_cast<uint8_t>(((t.hfp >> 8) << 6) | ((t.hsync >> 8) << 4) | ((t.vfp >> 4) << 2) |
                                   (t.vsync >> 4));
    return true;
}

bool EdidBlock::encodeDtd(const Timing& t, uint8_t out[18])
{
    uint8_t timing[12];
    if (!encodeTimingBytes(t, timing))
        return false;
    std::memcpy(out, timing, 12);
    out[12] = static_cast<uint8_t>(t.hmm & 0xFF);
    out[13] = static_cast<uint8_t>(t.vmm & 0xFF);
    out[14] = static_cast<uint8_t>(((t.hmm >> 8) << 4) | ((t.vmm >> 8) & 0x0F));
    out[15] = 0;
    out[16] = 0;
    // Digital separate sync with the given polarities.
    out[17] = static_cast<uint8_t>(0x18 | (t.vpos ? 0x04 : 0) | (t.hpos ? 0x02 : 0));
    return true;
}

void EdidBlock::nameDescriptor(const std::string& name, uint8_t out[18]) { textDescriptor(0xFC, name, out); }

void EdidBlock::serialDescriptor(const std::string& text, uint8_t out[18]) { textDescriptor(0xFF, text, out); }

void EdidBlock::rangeDescriptor(const RangeLimits& r, uint8_t out[18])
{
    std::memset(out, 0, 18);
    out[3] = 0xFD;
    out[5] = r.vmin;
    out[6] = r.vmax;
    out[7] = r.hminKHz;
    out[8] = r.hmaxKHz;
    out[9] = r.pclkMax10MHz;
    out[10] = r.gtfDefault ? 0x00 : 0x01;
    out[11] = 0x0A;
    for (int i = 12; i < 18; ++i)
        out[i] = 0x20;
}

void EdidBlock::dummyDescriptor(uint8_t out[18])
{
    std::memset(out, 0, 18);
    out[3] = 0x10;
}

void EdidBlock::buildBase(const Base& base, uint8_t out[128])
{
    std::memset(out, 0, 128);
    std::memcpy(out, kHeader, 8);
    const uint16_t id = static_cast<uint16_t>(((base.maker[0] - '@') << 10) | ((base.maker[1] - '@') << 5) |
                                              (base.maker[2] - '@'));
    out[8] = static_cast<uint8_t>(id >> 8);
    out[9] = static_cast<uint8_t>(id & 0xFF);
    out[10] = static_cast<uint8_t>(base.product & 0xFF);
    out[11] = static_cast<uint8_t>(base.product >> 8);
    for (int i = 0; i < 4; ++i)
        out[12 + i] = static_cast<uint8_t>(base.serial >> (8 * i));
    out[16] = base.week;
    out[17] = static_cast<uint8_t>(base.year - 1990);
    out[18] = 1;
    out[19] = base.revision;
    // Digital input (1.4: 8 bits per colour, HDMI-a), 160 x 90 cm, gamma 2.2.
    out[20] = base.revision >= 4 ? 0xA2 : 0x80;
    out[21] = 160;
    out[22] = 90;
    out[23] = 0x78;
    // 1.4: RGB 4:4:4 plus YCbCr 4:4:4 and 4:2:2; 1.3: RGB colour display with
    // default GTF. sRGB colour space; the first timing is preferred.
    out[24] = base.revision >= 4 ? 0x1E : 0x0F;
    std::memcpy(out + 25, kChromaticity, 10);
    out[35] = 0x20;  // 640x480 at 60 Hz
    for (int i = 38; i < 54; ++i)
        out[i] = 0x01;  // no standard timings
    encodeDtd(base.first, out + 54);
    for (int d = 0; d < 3; ++d)
        std::memcpy(out + 72 + 18 * d, base.desc[d], 18);
    out[126] = 1;
    setChecksum(out);
}

void EdidBlock::buildCta(const uint8_t* vics, int vicCount, const Timing* dtds, int dtdCount,
                         uint8_t dtdOffset, uint32_t maxTmdsMHz, uint8_t out[128])
{
    // Short audio descriptors offered, in order: LPCM 2 ch, AC-3, DTS,
    // LPCM 8 ch, MPEG-1, MP3, AAC, Dolby TrueHD, DTS-HD.
    static const uint8_t kSads[][3] = {{0x09, 0x07, 0x07}, {0x15, 0x07, 0x50}, {0x3D, 0x07, 0xC0},
                                       {0x0F, 0x7F, 0x07}, {0x19, 0x07, 0x28}, {0x21, 0x07, 0x28},
                                       {0x31, 0x07, 0x50}, {0x67, 0x7E, 0x00}, {0x5F, 0x7E, 0x01}};
    constexpr int kSadCount = sizeof kSads / sizeof kSads[0];

    std::memset(out, 0, 128);
    out[0] = 0x02;
    out[1] = 0x03;
    out[2] = dtdOffset;
    // Underscan, basic audio, YCbCr 4:4:4 and 4:2:2; one native timing.
    out[3] = 0xF1;
    // The HDMI blocks need an EDID 1.3 base block; a 1.4 one passes 0.
    const bool hdmi14 = maxTmdsMHz > 0;
    const bool forum = maxTmdsMHz > 340;
    // The data blocks fill bytes 4 .. dtdOffset-1 exactly: the video and
    // audio blocks share the room left by the fixed blocks.
    const int fixed = 4 + 3 + (hdmi14 ? 6 : 0) + (forum ? 8 : 0);
    const int room = dtdOffset - 4 - fixed;
    int sads = 1;
    int used = room - 2 - 3 * sads;
    while (used > 31 || used > vicCount) {
        ++sads;
        used = room - 2 - 3 * sads;
    }
    if (sads > kSadCount || used < 1)
        return;  // a table layout that cannot be filled: left all zero
    int pos = 4;
    pos = dataBlock(out, pos, 2, vics, used);
    out[pos++] = static_cast<uint8_t>((1 << 5) | (3 * sads));
    for (int i = 0; i < sads; ++i, pos += 3)
        std::memcpy(out + pos, kSads[i], 3);
    const uint8_t speakers[3] = {static_cast<uint8_t>(sads > 1 ? 0x0F : 0x01), 0x00, 0x00};
    pos = dataBlock(out, pos, 4, speakers, 3);
    const uint8_t hdmi[5] = {0x03, 0x0C, 0x00, 0x10, 0x00};  // HDMI, address 1.0.0.0
    if (hdmi14)
        pos = dataBlock(out, pos, 3, hdmi, 5);
    if (forum) {
        const uint8_t hf[7] = {0xD8, 0x5D, 0xC4, 0x01, static_cast<uint8_t>(maxTmdsMHz / 5), 0x80, 0x00};
        pos = dataBlock(out, pos, 3, hf, 7);
    }
    const uint8_t vcdb[2] = {0x00, 0xCA};  // both ranges selectable, IT and CE underscanned
    dataBlock(out, pos, 7, vcdb, 2);
    pos = dtdOffset;
    for (int i = 0; i < dtdCount && pos + 18 <= 127; ++i, pos += 18)
        encodeDtd(dtds[i], out + pos);
    out[127] = static_cast<uint8_t>(256 - sum(out, 127));
}
