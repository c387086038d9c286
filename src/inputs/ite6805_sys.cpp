#include "inputs/ite6805_sys.h"

// The receiver driver proper replaces these bodies; until then the calls
// are recorded so the board manager's use of them can be checked.

void ite6805_sys::ite6805_sys_reset_init()
{
    for (auto& s : state_)
        s = 0;
}

void ite6805_sys::iTE6805_Set_HPD_Ctrl(int port, int level, int dev)
{
    lastHpd = HpdCall{port, level, dev};
    ++hpdCalls;
}

void ite6805_sys::iTE6805_Init_fsm(int dev)
{
    if (dev == 0 || dev == 1)
        ++initCalls[dev];
}

void ite6805_sys::iTE6805_FSM(int dev) { (void)dev; }

uint8_t ite6805_sys::device_state(int dev) const { return (dev == 0 || dev == 1) ? state_[dev].load() : 0; }

void ite6805_sys::set_device_state(int dev, uint8_t state)
{
    if (dev == 0 || dev == 1)
        state_[dev] = state;
}

ite6805_sys::VideoRecord ite6805_sys::video(int dev) const
{
    (void)dev;
    return VideoRecord{};
}
