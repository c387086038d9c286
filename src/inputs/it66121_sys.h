#pragma once
#include <cstdint>

class tarvosource;

// The SDI path's IT66121 transmitter as the board manager steps it.
class it66121_sys {
public:
    // The board manager that owns the transmitter (its GPIO lines and
    // chip_presence bits).
    explicit it66121_sys(tarvosource& owner) : owner_(owner) {}
    tarvosource& owner() const { return owner_; }

    int i2c_fd = -1;
    int test_result = 0;
    unsigned test_fail_count = 0;

    void sdi_it66121_init();
    // 1 when the transmitter answered its identity test.
    int IT66121_Test();
    void IT66121_init();
    void HDMITX_DevLoopProc();

private:
    tarvosource& owner_;
};
