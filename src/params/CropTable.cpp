#include "params/CropTable.h"

#include "params/RamLayout.h"

#include <cstring>

uint8_t g_cut_source_state[30];

namespace {
constexpr int kMaxCropNumber = RamLayout::kCropsPerSource;

int cropNumberOf(uint16_t selector) { return ((selector >> 8) & 0x7F) + 1; }
int sourceOf(uint16_t selector) { return selector & 0xFF; }
bool inUse(uint16_t selector) { return (selector & RamLayout::kRowInUse) != 0; }
} // namespace

uint16_t CropTable::selector(int row) const
{
    return RamLayout::u16(block_, RamLayout::cropRow(row));
}

void CropTable::setSelector(int row, uint16_t sel)
{
    RamLayout::setU16(block_, RamLayout::cropRow(row), sel);
}

void CropTable::rebuild()
{
    std::memset(bitmap_, 0, 30);
    for (int row = 0; row < RamLayout::kCropRows; ++row) {
        const uint16_t sel = selector(row);
        const int source = sourceOf(sel);
        const int number = cropNumberOf(sel);
        // A number above 40 (from the protocol or a stored file) would mark
        // another source's crop or lie past the bitmap.
        if (!inUse(sel) || !validSource(source) || number > kMaxCropNumber)
            continue;
        const int bitIndex = kMaxCropNumber * source + number - 1;
        bitmap_[bitIndex / 8] |= static_cast<uint8_t>(1u << (bitIndex % 8));
    }
}

bool CropTable::bit(int source, int cropNumber) const
{
    const int bitIndex = kMaxCropNumber * source + cropNumber - 1;
    return (bitmap_[bitIndex / 8] >> (bitIndex % 8)) & 1;
}

int CropTable::cropId(int source, int k) const
{
    if (!validSource(source) || k < 1)
        return 0;
    int count = 0;
    for (int c = 1; c <= kMaxCropNumber; ++c) {
        if (bit(source, c) && ++count == k)
            return c;
    }
    return 0;
}

int CropTable::rankOf(int source, int cropNumber) const
{
    if (!validSource(source) || cropNumber < 1 || cropNumber > kMaxCropNumber || !bit(source, cropNumber))
        return 0;
    int rank = 0;
    for (int c = 1; c <= cropNumber; ++c)
        rank += bit(source, c) ? 1 : 0;
    return rank;
}

int CropTable::freeCropId(int source) const
{
    if (!validSource(source))
        return 0;
    for (int c = 1; c <= kMaxCropNumber; ++c) {
        if (!bit(source, c))
            return c;
    }
    return 0;
}

int CropTable::findRow(int source, int cropNumber) const
{
    if (!validSource(source) || cropNumber < 1 || cropNumber > kMaxCropNumber)
        return kNotFound;
    for (int row = 0; row < RamLayout::kCropRows; ++row) {
        const uint16_t sel = selector(row);
        if (inUse(sel) && sourceOf(sel) == source && cropNumberOf(sel) == cropNumber)
            return row;
    }
    return kNotFound;
}

int CropTable::rowOfCrop(int source, int k) const
{
    return findRow(source, cropId(source, k));
}

int CropTable::freeRow() const
{
    for (int row = 0; row < RamLayout::kCropRows; ++row) {
        if (!inUse(selector(row)))
            return row;
    }
    return kNotFound;
}

int CropTable::countRows(int source, int n) const
{
    if (n > RamLayout::kCropRows)
        n = RamLayout::kCropRows;
    int count = 0;
    for (int row = 0; row < n; ++row) {
        const uint16_t sel = selector(row);
        if (inUse(sel) && sourceOf(sel) == source)
            ++count;
    }
    return count;
}

void CropTable::readRow(int row, CROP_PARA* para) const
{
    const size_t at = RamLayout::cropRow(row);
    para->selector = RamLayout::u16(block_, at);
    para->x = RamLayout::u16(block_, at + 2);
    para->y = RamLayout::u16(block_, at + 4);
    para->width = RamLayout::u16(block_, at + 6);
    para->height = RamLayout::u16(block_, at + 8);
}

void CropTable::writeRect(int row, const CROP_PARA* para)
{
    const size_t at = RamLayout::cropRow(row);
    RamLayout::setU16(block_, at + 2, static_cast<uint16_t>(para->x));
    RamLayout::setU16(block_, at + 4, static_cast<uint16_t>(para->y));
    RamLayout::setU16(block_, at + 6, static_cast<uint16_t>(para->width));
    RamLayout::setU16(block_, at + 8, static_cast<uint16_t>(para->height));
}

void CropTable::writeRow(int row, uint16_t sel, const CROP_PARA* para)
{
    setSelector(row, sel);
    writeRect(row, para);
}
