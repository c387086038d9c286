#include "ui/shell/PanelFields.h"

int PanelFields::audioWindow(const uint8_t* block)
{
    const int w = block[kAudioImageIndex];
    return w >= 6 ? 0 : w;
}
