#pragma once
#include <cstdint>

class tarvosource;

// The four IT6602 HDMI/DVI receivers (inputs 0..3) as the board manager
// drives them. The calls below are the whole surface the detection thread
// uses; the receiver behaviour behind them lives in this class.
class tarvo_it6602 {
public:
    // Measured video of one input, as update_vid_info_delay publishes it.
    struct VideoRecord {
        uint16_t width = 0;
        uint16_t height = 0;
        uint32_t htotal = 0;
        uint32_t vtotal = 0;
        uint32_t pclkMHz = 0;  // whole MHz
    };

    // The board manager that owns the receivers: its hdminfo records are
    // what the driver publishes into.
    explicit tarvo_it6602(tarvosource& owner) : owner_(owner) {}
    tarvosource& owner() const { return owner_; }

    int i2c_fd = -1;

    // Identifies and resets input k's receiver; non-zero when found.
    int IT6602_fsm_init(int input);
    int IT6602_fsm_init_1(int input);
    void IT6602_fsm(int input);
    void IT6602HPDCtrl(uint8_t port, uint8_t level);
    // Does not wait: every input shares the detection thread.
    void delay1ms(unsigned ms);
    VideoRecord video(int input) const;

    // Counters of the calls the detection thread made (diagnostics).
    unsigned hpdLowCount = 0;

private:
    tarvosource& owner_;
};
