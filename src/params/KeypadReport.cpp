#include "params/KeypadReport.h"

#include "params/KelRamPara.h"
#include "params/RamLayout.h"

namespace {

// Byte and bit pair (signal, no signal) of each input's LED.
struct SourceLed {
    int byte;
    uint8_t signal;
    uint8_t noSignal;
};
constexpr SourceLed kSourceLeds[RamLayout::kSources] = {
    {2, 0x10, 0x20}, {2, 0x40, 0x80}, {3, 0x10, 0x20},
    {3, 0x40, 0x80}, {3, 0x01, 0x02}, {3, 0x04, 0x08},
};

// Byte and bit of each window's LED.
struct WindowLed {
    int byte;
    uint8_t bit;
};
constexpr WindowLed kWindowLeds[RamLayout::kWindows] = {
    {1, 0x01}, {1, 0x04}, {1, 0x10}, {1, 0x40}, {2, 0x01}, {2, 0x04},
};

bool hasSignal(const uint8_t* block, int source)
{
    const size_t at = RamLayout::srcVideoInfo(source);
    return RamLayout::u16(block, at) != 0 && RamLayout::u16(block, at + 2) != 0 && block[at + 4] != 0;
}

} // namespace

KeypadReport::Bytes KeypadReport::build(const uint8_t* block, uint8_t current, bool updating)
{
    Bytes r{};
    r[0] = updating ? 0x5A : 0xA5;
    if (current >= RamLayout::kWindows)
        return r;
    const size_t rec = RamLayout::imageRecord(current);
    if (RamLayout::u16(block, rec + RamLayout::kImgEnable) & 1)
        r[kWindowLeds[current].byte] |= kWindowLeds[current].bit;

    const int source = KelRamPara::imageSource(block, current, 0, nullptr, nullptr);
    if (source >= 0 && source < RamLayout::kSources) {
        const SourceLed& led = kSourceLeds[source];
        r[led.byte] |= hasSignal(block, source) ? led.signal : led.noSignal;
    }

    const uint16_t flags = RamLayout::u16(block, rec + RamLayout::kImgFlags);
    if (flags & RamLayout::kFlagFreeze)
        r[4] |= 0x01;
    if (flags & RamLayout::kFlagBlack)
        r[4] |= 0x04;
    return r;
}
