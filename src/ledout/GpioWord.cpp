#include "ledout/GpioWord.h"

#include "platform/RegisterWindow.h"

void GpioWord::bind(kel::platform::RegisterWindow* window, uint32_t offset)
{
    offset_ = offset;
    window_ = window;
}

void GpioWord::store(uint16_t value)
{
    if (auto* w = window_.load())
        w->write16(offset_, value);
    else
        dummy_ = value;
}

uint16_t GpioWord::load() const
{
    if (auto* w = window_.load())
        return w->read16(offset_);
    return dummy_.load();
}
