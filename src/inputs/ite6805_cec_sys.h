#pragma once

class ite6805_sys;

// The CEC responder of both IT6805 devices. For now its entry points do
// nothing; the CEC engine (queues, commands, replies) fills them.
class ite6805_cec_sys {
public:
    explicit ite6805_cec_sys(ite6805_sys& sys) : sys_(sys) {}

    // Sets up the CEC engine of a device (called by the chip initialisation
    // and on every unplug).
    void iTE6805_CEC_INIT(int dev);
    // Serves the CEC engine's interrupts of a device (every main pass).
    void iTE6805_hdmirx_CEC_irq(int dev);

private:
    ite6805_sys& sys_;
};
