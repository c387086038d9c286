#include "platform/sim/SimVideoTiming.h"

#include <QStringList>

#include <cstring>

namespace kel::platform::sim {
namespace {

struct Row {
    int id;
    SimVideoTiming t;
};

SimVideoTiming make(uint32_t khz, uint16_t ha, uint16_t hf, uint16_t hs, uint16_t hb, uint16_t va, uint16_t vf,
                    uint16_t vs, uint16_t vb, bool hpos, bool vpos, bool inter = false)
{
    SimVideoTiming t;
    t.pclkKHz = khz;
    t.hact = ha; t.hfp = hf; t.hsync = hs; t.hbp = hb;
    t.vact = va; t.vfp = vf; t.vsync = vs; t.vbp = vb;
    t.hpos = hpos; t.vpos = vpos; t.interlaced = inter;
    return t;
}

// CTA-861 formats the board is tried with (vertical values per field).
const Row kCta[] = {
    {1, make(25175, 640, 16, 96, 48, 480, 10, 2, 33, false, false)},
    {2, make(27000, 720, 16, 62, 60, 480, 9, 6, 30, false, false)},
    {3, make(27000, 720, 16, 62, 60, 480, 9, 6, 30, false, false)},
    {4, make(74250, 1280, 110, 40, 220, 720, 5, 5, 20, true, true)},
    {5, make(74250, 1920, 88, 44, 148, 540, 2, 5, 15, true, true, true)},
    {16, make(148500, 1920, 88, 44, 148, 1080, 4, 5, 36, true, true)},
    {17, make(27000, 720, 12, 64, 68, 576, 5, 5, 39, false, false)},
    {18, make(27000, 720, 12, 64, 68, 576, 5, 5, 39, false, false)},
    {19, make(74250, 1280, 440, 40, 220, 720, 5, 5, 20, true, true)},
    {20, make(74250, 1920, 528, 44, 148, 540, 2, 5, 15, true, true, true)},
    {31, make(148500, 1920, 528, 44, 148, 1080, 4, 5, 36, true, true)},
    {32, make(74250, 1920, 638, 44, 148, 1080, 4, 5, 36, true, true)},
    {33, make(74250, 1920, 528, 44, 148, 1080, 4, 5, 36, true, true)},
    {34, make(74250, 1920, 88, 44, 148, 1080, 4, 5, 36, true, true)},
    {93, make(297000, 3840, 1276, 88, 296, 2160, 8, 10, 72, true, true)},
    {94, make(297000, 3840, 1056, 88, 296, 2160, 8, 10, 72, true, true)},
    {95, make(297000, 3840, 176, 88, 296, 2160, 8, 10, 72, true, true)},
    {96, make(594000, 3840, 1056, 88, 296, 2160, 8, 10, 72, true, true)},
    {97, make(594000, 3840, 176, 88, 296, 2160, 8, 10, 72, true, true)},
};

// VESA DMT formats, by DMT id.
const Row kDmt[] = {
    {0x04, make(25175, 640, 16, 96, 48, 480, 10, 2, 33, false, false)},
    {0x09, make(40000, 800, 40, 128, 88, 600, 1, 4, 23, true, true)},
    {0x10, make(65000, 1024, 24, 136, 160, 768, 3, 6, 29, false, false)},
    {0x23, make(108000, 1280, 48, 112, 248, 1024, 1, 3, 38, true, true)},
    {0x27, make(85500, 1360, 64, 112, 256, 768, 3, 6, 18, true, true)},
    {0x3A, make(146250, 1680, 104, 176, 280, 1050, 3, 6, 30, false, true)},
    {0x51, make(85500, 1366, 70, 143, 213, 768, 3, 3, 24, true, true)},
    {0x52, make(148500, 1920, 88, 44, 148, 1080, 4, 5, 36, true, true)},
    {0x55, make(74250, 1280, 110, 40, 220, 720, 5, 5, 20, true, true)},
};

template <size_t N>
bool lookup(const Row (&rows)[N], int id, SimVideoTiming* out)
{
    for (const Row& r : rows)
        if (r.id == id) {
            *out = r.t;
            return true;
        }
    return false;
}

bool sameTiming(const SimVideoTiming& a, const SimVideoTiming& b)
{
    return a.pclkKHz == b.pclkKHz && a.hact == b.hact && a.hfp == b.hfp && a.hsync == b.hsync && a.hbp == b.hbp &&
           a.vact == b.vact && a.vfp == b.vfp && a.vsync == b.vsync && a.vbp == b.vbp && a.interlaced == b.interlaced;
}

} // namespace

double SimVideoTiming::refreshHz() const
{
    const double area = double(htotal()) * vtotal();
    return area > 0 ? pclkKHz * 1000.0 / area : 0.0;
}

QString SimVideoTiming::text() const
{
    return QStringLiteral("%1x%2%3@%4 %5kHz")
        .arg(hact).arg(vact).arg(interlaced ? "i" : "").arg(refreshHz(), 0, 'f', 2).arg(pclkKHz);
}

bool SimVideoTiming::cta(int vic, SimVideoTiming* out)
{
    if (!lookup(kCta, vic, out))
        return false;
    out->vic = static_cast<uint8_t>(vic);
    return true;
}

bool SimVideoTiming::dmt(int id, SimVideoTiming* out)
{
    if (!lookup(kDmt, id, out))
        return false;
    out->vic = out->matchVic();
    return true;
}

bool SimVideoTiming::custom(const QString& text, SimVideoTiming* out)
{
    const QStringList parts = text.split(',', Qt::SkipEmptyParts);
    if (parts.size() < 9)
        return false;
    uint32_t v[9];
    for (int i = 0; i < 9; ++i) {
        bool ok = false;
        const uint32_t n = parts[i].trimmed().toUInt(&ok);
        // Every length but the pixel clock must fit the 16-bit fields.
        if (!ok || (i > 0 && n > 0xFFFF))
            return false;
        v[i] = n;
    }
    SimVideoTiming t = make(v[0], uint16_t(v[1]), uint16_t(v[2]), uint16_t(v[3]), uint16_t(v[4]), uint16_t(v[5]),
                            uint16_t(v[6]), uint16_t(v[7]), uint16_t(v[8]), false, false);
    for (int i = 9; i < parts.size(); ++i) {
        const QString flag = parts[i].trimmed();
        if (flag == "i")
            t.interlaced = true;
        else if (flag == "+h")
            t.hpos = true;
        else if (flag == "+v")
            t.vpos = true;
        else
            return false;
    }
    if (!t.valid())
        return false;
    t.vic = t.matchVic();
    *out = t;
    return true;
}

bool SimVideoTiming::fromDtd(const uint8_t* d, SimVideoTiming* out)
{
    const uint32_t pclk10k = d[0] | (d[1] << 8);
    if (pclk10k == 0)
        return false;
    SimVideoTiming t;
    t.pclkKHz = pclk10k * 10;
    t.hact = static_cast<uint16_t>(d[2] | ((d[4] & 0xF0) << 4));
    const uint16_t hblank = static_cast<uint16_t>(d[3] | ((d[4] & 0x0F) << 8));
    t.vact = static_cast<uint16_t>(d[5] | ((d[7] & 0xF0) << 4));
    const uint16_t vblank = static_cast<uint16_t>(d[6] | ((d[7] & 0x0F) << 8));
    t.hfp = static_cast<uint16_t>(d[8] | ((d[11] & 0xC0) << 2));
    t.hsync = static_cast<uint16_t>(d[9] | ((d[11] & 0x30) << 4));
    t.vfp = static_cast<uint16_t>((d[10] >> 4) | ((d[11] & 0x0C) << 2));
    t.vsync = static_cast<uint16_t>((d[10] & 0x0F) | ((d[11] & 0x03) << 4));
    // A descriptor whose porch and sync overrun the blanking is no timing.
    if (t.hact == 0 || t.vact == 0 || t.hfp + t.hsync > hblank || t.vfp + t.vsync > vblank)
        return false;
    t.hbp = static_cast<uint16_t>(hblank - t.hfp - t.hsync);
    t.vbp = static_cast<uint16_t>(vblank - t.vfp - t.vsync);
    t.interlaced = d[17] & 0x80;
    if ((d[17] & 0x18) == 0x18) {  // digital separate sync carries both polarities
        t.vpos = d[17] & 0x04;
        t.hpos = d[17] & 0x02;
    }
    t.vic = t.matchVic();
    *out = t;
    return true;
}

bool SimVideoTiming::firstDtd(const uint8_t* edid, SimVideoTiming* out)
{
    static const uint8_t header[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    return std::memcmp(edid, header, 8) == 0 && fromDtd(edid + 54, out);
}

uint8_t SimVideoTiming::matchVic() const
{
    for (const Row& r : kCta)
        if (sameTiming(r.t, *this))
            return static_cast<uint8_t>(r.id);
    return 0;
}

} // namespace kel::platform::sim
