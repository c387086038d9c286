#include "params/DefaultParaTable.h"

#include "params/RamLayout.h"

#include <cstring>

namespace {

using Table = std::array<uint8_t, 4096>;

// One run of u16 values: count values starting at block byte `at`, spaced
// `stride` bytes apart, value + step * i.
struct Run {
    int at;
    int count;
    int stride;
    uint16_t value;
    uint16_t step;
};

// Non-zero defaults by block byte; every other byte is 0.
constexpr Run kRuns[] = {
    {770, 1, 2, 100, 0},
    // EdidSourceRecord 0..3: 1920 x 1080 @ 60; 4..5: 3840 x 2160 @ 60
    {896, 4, 6, 1920, 0}, {898, 4, 6, 1080, 0}, {900, 4, 6, 60, 0},
    {920, 2, 6, 3840, 0}, {922, 2, 6, 2160, 0}, {924, 2, 6, 60, 0},
    {1378, 1, 2, 1920, 0}, {1380, 1, 2, 1080, 0},   // LED screen size
    {1386, 2, 2, 1, 0},
    {1390, 1, 2, 1920, 0}, {1392, 1, 2, 1080, 0},
    {1412, 1, 2, 1920, 0}, {1414, 1, 2, 1080, 0},
    {1420, 1, 2, 1920, 0}, {1422, 1, 2, 1080, 0},
    // 64 crop-sized rows (selector 2, 0, 0, 1920, 1080); row 62 has width 0
    {1472, 64, 10, 2, 0}, {1478, 64, 10, 1920, 0}, {1480, 64, 10, 1080, 0},
    {1472 + 10 * 62 + 6, 1, 2, 0, 0},
    {2176, 1, 2, 100, 0}, {2178, 1, 2, 50, 0}, {2180, 1, 2, 10, 0}, {2182, 1, 2, 50, 0},
    {2184, 1, 2, 2, 0},
    {2186, 3, 2, 64, 0},
    {2210, 15, 2, 1, 1},
    {2270, 1, 2, 1, 0},
    // ImageRecord 0 enabled; selectors 2, 5, 3, 4, 1, 0; all 1920 x 1080
    {2272, 1, 2, 1, 0},
    {2272 + 8, 1, 2, 2, 0}, {2272 + 26 + 8, 1, 2, 5, 0}, {2272 + 52 + 8, 1, 2, 3, 0},
    {2272 + 78 + 8, 1, 2, 4, 0}, {2272 + 104 + 8, 1, 2, 1, 0}, {2272 + 130 + 8, 1, 2, 0, 0},
    {2272 + 14, 6, 26, 1920, 0}, {2272 + 16, 6, 26, 1080, 0},
};

constexpr Table build()
{
    Table t{};
    t[0] = RamLayout::kMarkerSaved;
    t[1] = RamLayout::kMarkerSaved;
    for (const Run& r : kRuns) {
        for (int i = 0; i < r.count; ++i) {
            const int index = r.at + r.stride * i - 766;
            const uint16_t v = static_cast<uint16_t>(r.value + r.step * i);
            t[static_cast<size_t>(index)] = static_cast<uint8_t>(v & 0xFF);
            t[static_cast<size_t>(index) + 1] = static_cast<uint8_t>(v >> 8);
        }
    }
    return t;
}

constexpr size_t kTableOffset = RamLayout::kSavedBegin - RamLayout::kFileMarkerSize;  // 766

} // namespace

const std::array<uint8_t, 4096> default_para_ramlist = build();

void DefaultParaTable::copySavedAreaInto(uint8_t* block)
{
    copySavedTailInto(block, RamLayout::kSavedBegin);
}

void DefaultParaTable::copySavedTailInto(uint8_t* block, size_t fromBlockByte)
{
    if (fromBlockByte < RamLayout::kSavedBegin)
        fromBlockByte = RamLayout::kSavedBegin;
    if (fromBlockByte >= RamLayout::kBlockSize)
        return;
    std::memcpy(block + fromBlockByte, default_para_ramlist.data() + (fromBlockByte - kTableOffset),
                RamLayout::kBlockSize - fromBlockByte);
}

void DefaultParaTable::copyRangeInto(uint8_t* block, size_t fromBlockByte, size_t count)
{
    if (fromBlockByte < RamLayout::kSavedBegin || fromBlockByte >= RamLayout::kBlockSize)
        return;
    if (count > RamLayout::kBlockSize - fromBlockByte)
        count = RamLayout::kBlockSize - fromBlockByte;
    std::memcpy(block + fromBlockByte, default_para_ramlist.data() + (fromBlockByte - kTableOffset), count);
}
