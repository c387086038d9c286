#include "ui/shell/SlotView.h"

#include "params/KelRamPara.h"
#include "params/RamLayout.h"

namespace {
constexpr size_t kShift = RamLayout::kModeBegin - RamLayout::kSlotDataBegin;
}

SlotView::SlotView(int slot) : slot_(slot)
{
    KelRamPara* ram = KelRamPara::p_kelrampara_config;
    if (ram && slot >= 0 && slot < static_cast<int>(RamLayout::kSlotCount))
        data_ = ram->UserModeSlot[slot];
}

bool SlotView::saved() const
{
    return data_ && KelRamPara::p_kelrampara_config->KelUserModeSaved(slot_);
}

bool SlotView::inUse() const
{
    return data_ && KelRamPara::p_kelrampara_config->KelGetCurrentModeIndex() == slot_ + 1;
}

uint16_t SlotView::u16(size_t blockOffset) const
{
    if (!data_ || blockOffset < RamLayout::kModeBegin || blockOffset + 1 >= RamLayout::kBlockSize)
        return 0;
    return RamLayout::u16(data_, blockOffset - kShift);
}

uint16_t SlotView::windowWord(int w, size_t field) const
{
    if (w < 0 || w >= RamLayout::kWindows)
        return 0;
    return u16(RamLayout::imageRecord(w) + field);
}

WindowSource SlotView::window(int w) const
{
    if (!data_ || w < 0 || w >= RamLayout::kWindows)
        return WindowSource{};
    return WindowSource::ofSlot(data_, w);
}

int SlotView::audioWindow() const
{
    const int k = u16(RamLayout::kAudioImageIndex);
    return k >= RamLayout::kWindows ? 0 : k;
}

bool SlotView::soundOn() const
{
    return windowWord(audioWindow(), RamLayout::kImgVolume) & 0x8000;
}

bool SlotView::osdEnabled() const
{
    return u16(RamLayout::kOsdEnable) != 0;
}
