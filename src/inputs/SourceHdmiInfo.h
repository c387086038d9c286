#pragma once
#include <cstdint>

// The timing record of one input as its receiver measured it, read by the
// scaler manager under Utils::_source_hdminfo_mutex.
struct SourceHdmiInfo {
    uint32_t Hact = 0;
    uint32_t Hsync = 0;
    uint32_t Hback = 0;
    uint32_t Hpol = 0;
    uint32_t Htotal = 0;
    uint32_t Vact = 0;
    uint32_t Vsync = 0;
    uint32_t Vback = 0;
    uint32_t Vpol = 0;
    uint32_t Vtotal = 0;
    float pfreq = 0.0f;     // MHz
    uint32_t TYPE = 0;      // 0 "IT6602", 1 "IT6807"
    uint32_t DATAMOD = 0;   // 0 "SDR", 1 "DDR"
    uint32_t Lanes = 0;     // V-by-One lanes, 0 on IT6602 inputs
    uint32_t IP = 0;        // 1 interlaced
    uint32_t signal = 1;    // 1 = no input signal
    uint32_t stable = 0;    // 1 once the receiver reports stable video
};
