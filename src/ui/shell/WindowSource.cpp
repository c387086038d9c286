#include "ui/shell/WindowSource.h"

#include "params/RamLayout.h"

WindowSource WindowSource::of(const uint8_t* block, int window)
{
    return read(block, 0, window);
}

WindowSource WindowSource::ofSlot(const uint8_t* slot, int window)
{
    return read(slot, RamLayout::kModeBegin - RamLayout::kSlotDataBegin, window);
}

WindowSource WindowSource::read(const uint8_t* block, size_t shift, int window)
{
    WindowSource ws;
    const uint16_t selector = RamLayout::u16(block, RamLayout::imageRecord(window) + RamLayout::kImgSelector - shift);
    if (!(selector & RamLayout::kSelectorCrop)) {
        ws.source = selector & 0xFF;
        return ws;
    }
    ws.crop = true;
    ws.row = selector & 0xFF;
    if (ws.row >= RamLayout::kCropRows) {
        ws.source = 0xFF;
        return ws;
    }
    const size_t at = RamLayout::cropRow(ws.row) - shift;
    const uint16_t rowSelector = RamLayout::u16(block, at);
    ws.source = rowSelector & 0xFF;
    if (!(rowSelector & RamLayout::kRowInUse))
        return ws;
    ws.cropValid = true;
    ws.cropNumber = ((rowSelector >> 8) & 0x7F) + 1;
    ws.x = RamLayout::u16(block, at + 2);
    ws.y = RamLayout::u16(block, at + 4);
    ws.width = RamLayout::u16(block, at + 6);
    ws.height = RamLayout::u16(block, at + 8);
    return ws;
}
