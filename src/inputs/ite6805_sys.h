#pragma once
#include <atomic>
#include <cstdint>

class tarvosource;

// The two IT6805 HDMI 2.0 receivers (inputs 4 and 5, devices 0 and 1) as the
// board manager drives them.
class ite6805_sys {
public:
    struct VideoRecord {
        uint16_t width = 0;
        uint16_t height = 0;
        uint32_t FrameRate = 0;
    };

    // The board manager that owns the receivers: its hdminfo records are
    // what the driver publishes into.
    explicit ite6805_sys(tarvosource& owner) : owner_(owner) {}
    tarvosource& owner() const { return owner_; }

    int i2c_fd = -1;

    void ite6805_sys_reset_init();
    // port 0; level 0 low / 1 high; dev 0 or 1.
    void iTE6805_Set_HPD_Ctrl(int port, int level, int dev);
    void iTE6805_Init_fsm(int dev);
    void iTE6805_FSM(int dev);
    // The device's state byte; 0 restarts its state machine.
    uint8_t device_state(int dev) const;
    void set_device_state(int dev, uint8_t state);
    VideoRecord video(int dev) const;

    // What the board manager asked of each device (diagnostics).
    struct HpdCall { int port, level, dev; };
    HpdCall lastHpd{-1, -1, -1};
    unsigned hpdCalls = 0;
    unsigned initCalls[2] = {0, 0};

private:
    tarvosource& owner_;
    std::atomic<uint8_t> state_[2] = {{0}, {0}};
};
