#pragma once
#include <cstdint>

class ite6805_sys;

// The receive equaliser of both IT6805 devices. For now it only records the
// equaliser state it is told to enter; the tuning itself (triggers, error
// checks, manual sweep) fills these same entry points.
class ite6805_eq {
public:
    explicit ite6805_eq(ite6805_sys& sys) : sys_(sys) {}

    // Enters an equaliser state (STATEEQ of the device).
    void iTE6805_EQ_chg(uint32_t state, int dev);
    // One step of the equaliser state machine.
    void iTE6805_EQ_fsm(int dev);
    // The equaliser interrupts of a port.
    void iTE6805_hdmirx_port0_EQ_irq(int dev);
    void iTE6805_hdmirx_port1_EQ_irq(int dev);

private:
    ite6805_sys& sys_;
};
