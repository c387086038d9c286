#include "ui/shell/PanelFields.h"

#include "params/RamLayout.h"

int PanelFields::audioWindow(const uint8_t* block)
{
    const int w = block[kAudioImageIndex];
    return w >= 6 ? 0 : w;
}

bool PanelFields::windowOn(const uint8_t* block, int w)
{
    return w >= 0 && w < RamLayout::kWindows && RamLayout::u16(block, RamLayout::imageRecord(w)) != 0;
}

int PanelFields::listedAudioWindow(const uint8_t* block)
{
    const int w = RamLayout::u16(block, kAudioImageIndex);
    return windowOn(block, w) ? w : 0;
}

bool PanelFields::soundOn(const uint8_t* block)
{
    return (block[RamLayout::imageRecord(audioWindow(block)) + kImgAudio] & kAudioOn) != 0;
}

bool PanelFields::audioChanged(const uint8_t* block, const uint8_t* shadow)
{
    const size_t word = RamLayout::imageRecord(audioWindow(block)) + kImgVolume;
    return RamLayout::u16(block, word) != RamLayout::u16(shadow, word) || audioWindow(block) != audioWindow(shadow);
}
