#include "platform/sim/SimRegisterWindow.h"

#include "platform/sim/SimRegisterMemory.h"

namespace kel::platform::sim {

bool SimRegisterWindow::open()
{
    failed_ = memory_.openFailStep();
    open_ = failed_ == OpenStep::None;
    return open_;
}

uint16_t SimRegisterWindow::read16(uint32_t offset)
{
    return (open_ && offset + 1 < kMapSize) ? memory_.load(offset) : 0;
}

void SimRegisterWindow::write16(uint32_t offset, uint16_t value)
{
    if (open_ && offset + 1 < kMapSize)
        memory_.store(offset, value);
}

} // namespace kel::platform::sim
