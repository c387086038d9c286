#pragma once
#include "inputs/it66121_hdmitx_drv.h"
#include "inputs/it66121_hdmitx_sys.h"
#include "inputs/sdi_it66121.h"

#include <cstdint>
#include <functional>

class SourceGpio;
class tarvosource;

// The SDI path: a GS2971 SDI receiver whose video an IT66121 transmitter
// turns into HDMI. The board manager steps it: enable the path, probe the
// transmitter, load its tables and select 1920x1080p60, then run the
// transmitter loop. Every wait goes through the sleep hook given at
// construction; the two lines go through the board's GPIO words.
class it66121_sys {
public:
    using SleepMs = std::function<void(unsigned ms)>;

    static constexpr uint16_t kSdiEnableOn = 16;
    static constexpr unsigned kGs2971PulseMs = 50;
    static constexpr uint8_t kOutputModeIndex = 7;  // type 16: 1920x1080p60

    // The board manager that owns the path, its GPIO lines and the sleep hook.
    it66121_sys(tarvosource& owner, SourceGpio& gpio, SleepMs sleep);
    it66121_sys(const it66121_sys&) = delete;
    it66121_sys& operator=(const it66121_sys&) = delete;
    tarvosource& owner() const { return owner_; }

    // SDI enable word := 16, GS2971 reset := 1.
    void sdi_it66121_init();
    // 1 when bank 0 registers 0x01:0x00 read 0x4954.
    int IT66121_Test();
    // Variables, the seven initial tables, output mode, GS2971 reset pulse.
    void IT66121_init();
    void CHANGE_INPUT(uint8_t index);
    void GS2971_Reset();
    void delay1ms(unsigned ms);

    int i2c_fd = -1;
    uint8_t it66121_found = 0;
    uint8_t probe_fail_count = 0;

    sdi_it66121 io{i2c_fd};
    it66121_hdmitx_drv drv;
    it66121_hdmitx_sys sys;

private:
    void InitHDMITX_Variable();
    void InitHDMITX();

    tarvosource& owner_;
    SourceGpio& gpio_;
    SleepMs sleep_;
};
