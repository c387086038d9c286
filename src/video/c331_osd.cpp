#include "video/c331_osd.h"

#include "params/OsdTarget.h"
#include "video/c331_regs.h"

#include <algorithm>

namespace {
// Property type codes; each is also the OSD register that holds it.
enum Type : int {
    kEnable = 0, kHZoom = 1, kVZoom = 2, kDataMode = 3, kScrollMode = 4,
    kOutLeft = 5, kOutRight = 6, kOutTop = 7, kOutBottom = 8,
    kIn0 = 9, kIn1 = 10, kIn2 = 11, kIn3 = 12, kScrollSpeed = 13, kCharSize = 14,
    kBgColor = 16, kCharColor = 17, kTransparent = 18, kCharX = 21, kCharY = 22,
    kLayer = 33, kHAlign = 34, kVAlign = 35, kDoubleCell = 48,
};
constexpr int kMaxType = 48;

int flag(int value) { return value ? 1 : 0; }
int nonNegative(int value) { return value < 0 ? 0 : value; }
uint16_t word(uint32_t value) { return uint16_t(std::min<uint32_t>(value, 0xFFFF)); }
} // namespace

// Background 1920 x 1080, black behind white characters, and the four fonts
// where the chip's serial flash holds them.
const c331_osd::Row c331_osd::osd_char_txt[] = {
    {c331reg::OSD_BG_W, 1920},
    {c331reg::OSD_BG_H, 1080},
    {kBgColor, 0x000000},
    {kCharColor, 0xFFFFFF},
};

// EN32, CN32, EN64, CN64.
const c331_osd::FontLayout c331_osd::kFontLayout[kFonts] = {
    {0x000000, 0x010000},
    {0x010000, 0x400000},
    {0x410000, 0x040000},
    {0x450000, 0x3B0000},
};

c331_osd::c331_osd(OsdTarget& lines) : lines_(lines), text_(size_t(kLines) * kLineChars * 2, 0)
{
    std::lock_guard<std::mutex> l(lock_);
    for (const Row& r : osd_char_txt)
        regs_[r.reg] = r.value;
    std::copy(std::begin(kFontLayout), std::end(kFontLayout), fonts_.begin());
}

c331_osd::Cell c331_osd::cell() const
{
    if (!regs_[kCharSize])
        return {16, 32, 32};
    Cell c{32, 64, 64};
    if (regs_[kHZoom]) {
        c.narrow *= 2;
        c.wide *= 2;
        if (regs_[kDoubleCell]) {
            c.narrow *= 2;
            c.wide *= 2;
        }
    }
    if (regs_[kVZoom])
        c.height *= regs_[kDoubleCell] ? 4 : 2;
    return c;
}

int c331_osd::lineWidth(int line, const Cell& c) const
{
    return lines_.osd_line_en[line] * c.narrow + lines_.osd_line_cn[line] * c.wide;
}

int c331_osd::widestLine(const Cell& c) const
{
    int widest = 0;
    for (int i = 0; i < lineCount_; ++i)
        widest = std::max(widest, lineWidth(i, c));
    return widest;
}

void c331_osd::alignLines(int mode)
{
    const Cell c = cell();
    lines_.g_osd_h_alignment_tarvo = mode;
    for (int i = 0; i < lineCount_; ++i) {
        const int room = nonNegative(windowW_ - lineWidth(i, c));
        lines_.g_osd_max_line_x_tarvo[i] = mode == 1 ? room / 2 : mode == 2 ? room : 0;
    }
}

void c331_osd::alignVertically(int mode)
{
    const int room = nonNegative(windowH_ - lineCount_ * cell().height);
    lines_.g_osd_v_alignment_value_tarvo = mode == 1 ? room / 2 : mode == 2 ? room : 0;
}

int c331_osd::inputOffset1(int windowWidth)
{
    // With the 64x64 font a line may be wider than the background: widen
    // the background to it, within what the chip can address.
    if (regs_[kCharSize]) {
        const int widest = std::min(widestLine(cell()), kMaxBackgroundWidth);
        if (widest > int(regs_[c331reg::OSD_BG_W]))
            regs_[c331reg::OSD_BG_W] = uint32_t(widest);
    }
    return nonNegative(int(regs_[c331reg::OSD_BG_W]) - windowWidth);
}

int c331_osd::set(int type, int value, const Screen& screen)
{
    std::lock_guard<std::mutex> l(lock_);
    switch (type) {
    case kEnable: case kHZoom: case kVZoom: case kDataMode: case kCharSize:
    case kTransparent: case kLayer: case kDoubleCell:
        regs_[size_t(type)] = uint32_t(flag(value));
        break;
    case kScrollMode: regs_[kScrollMode] = uint32_t(((value % 9) + 9) % 9); break;
    case kOutLeft: regs_[kOutLeft] = uint32_t(nonNegative(value + screen.xOffset)); break;
    case kOutRight:
        windowW_ = nonNegative(value);
        regs_[kOutRight] = uint32_t(nonNegative(screen.width - value - int(regs_[kOutLeft])));
        break;
    case kOutTop: regs_[kOutTop] = uint32_t(nonNegative(value)); break;
    case kOutBottom:
        windowH_ = nonNegative(value);
        regs_[kOutBottom] = uint32_t(nonNegative(screen.height - value - int(regs_[kOutTop])));
        break;
    case kIn0: regs_[kIn0] = 0; break;
    case kIn1: regs_[kIn1] = uint32_t(inputOffset1(value)); break;
    case kIn2: regs_[kIn2] = uint32_t(nonNegative(value)); break;
    case kIn3:
        regs_[kIn3] = uint32_t(nonNegative(int(regs_[c331reg::OSD_BG_H]) - value - int(regs_[kOutTop])));
        break;
    case kScrollSpeed: regs_[kScrollSpeed] = uint32_t(((value % 256) + 256) % 256); break;
    case kBgColor: case kCharColor: regs_[size_t(type)] = uint32_t(value) & 0xFFFFFFu; break;
    case kCharX: case kCharY: regs_[size_t(type)] = uint32_t(nonNegative(value)); break;
    case kHAlign:
        regs_[kHAlign] = uint32_t(nonNegative(value));
        alignLines(value);
        break;
    case kVAlign:
        regs_[kVAlign] = uint32_t(nonNegative(value));
        alignVertically(value);
        break;
    default:
        return 0;
    }
    dirty_ = true;
    return type <= kMaxType ? 1 : 0;
}

void c331_osd::setText(int count, const int lengths[], const uint32_t lines[][kLineChars])
{
    std::lock_guard<std::mutex> l(lock_);
    std::fill(text_.begin(), text_.end(), uint8_t(0));
    lineCount_ = std::clamp(count, 0, kLines);
    for (int i = 0; i < lineCount_; ++i) {
        const int n = std::clamp(lengths[i], 0, kLineChars);
        for (int c = 0; c < n; ++c) {
            const size_t at = (size_t(i) * kLineChars + size_t(c)) * 2;
            text_[at] = uint8_t(lines[i][c] >> 8);
            text_[at + 1] = uint8_t(lines[i][c]);
        }
    }
    dirty_ = true;
}

void c331_osd::loadChar()
{
    std::lock_guard<std::mutex> l(lock_);
    for (const Row& r : osd_char_txt)
        regs_[r.reg] = r.value;
    std::copy(std::begin(kFontLayout), std::end(kFontLayout), fonts_.begin());
    dirty_ = true;
}

uint32_t c331_osd::value(int reg) const
{
    std::lock_guard<std::mutex> l(lock_);
    return reg >= 0 && reg < kRegisters ? regs_[size_t(reg)] : 0;
}

int c331_osd::lineCount() const
{
    std::lock_guard<std::mutex> l(lock_);
    return lineCount_;
}

std::vector<uint8_t> c331_osd::text() const
{
    std::lock_guard<std::mutex> l(lock_);
    return text_;
}

std::array<c331_osd::FontLayout, c331_osd::kFonts> c331_osd::fonts() const
{
    std::lock_guard<std::mutex> l(lock_);
    return fonts_;
}

std::vector<uint16_t> c331_osd::propertyWords() const
{
    std::lock_guard<std::mutex> l(lock_);
    std::vector<uint16_t> words(kRegisters, 0);
    for (int r = 0; r < kRegisters; ++r)
        words[size_t(r)] = word(regs_[size_t(r)]);
    // Colours are 24-bit: their low 16 bits in their own register, the
    // blue byte in its high register.
    words[c331reg::OSD_BG_COLOR_HI] = uint16_t(regs_[kBgColor] >> 16);
    words[c331reg::OSD_CHAR_COLOR_HI] = uint16_t(regs_[kCharColor] >> 16);
    words[kBgColor] = uint16_t(regs_[kBgColor]);
    words[kCharColor] = uint16_t(regs_[kCharColor]);
    return words;
}

std::vector<uint16_t> c331_osd::lineWords() const
{
    std::lock_guard<std::mutex> l(lock_);
    std::vector<uint16_t> words;
    for (int i = 0; i < kLines; ++i)
        words.push_back(word(uint32_t(nonNegative(lines_.g_osd_max_line_x_tarvo[i]))));
    words.push_back(word(uint32_t(nonNegative(lines_.g_osd_v_alignment_value_tarvo))));
    words.push_back(uint16_t(lineCount_));
    return words;
}

std::vector<uint16_t> c331_osd::textWords() const
{
    std::lock_guard<std::mutex> l(lock_);
    std::vector<uint16_t> words(text_.size() / 2);
    for (size_t i = 0; i < words.size(); ++i)
        words[i] = uint16_t((text_[2 * i] << 8) | text_[2 * i + 1]);
    return words;
}

std::vector<uint16_t> c331_osd::fontWords() const
{
    std::lock_guard<std::mutex> l(lock_);
    std::vector<uint16_t> words;
    for (const FontLayout& f : fonts_)
        for (uint32_t v : {f.addr >> 16, f.addr & 0xFFFF, f.size >> 16, f.size & 0xFFFF})
            words.push_back(uint16_t(v));
    return words;
}

bool c331_osd::takeDirty()
{
    std::lock_guard<std::mutex> l(lock_);
    const bool was = dirty_;
    dirty_ = false;
    return was;
}
