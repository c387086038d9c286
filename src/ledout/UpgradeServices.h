#pragma once
#include <functional>

// What the USB-stick upgrade reaches outside the LED-output library: the
// scaler's serial flash and fonts, and the shell's upgrade popup. Start-up
// installs them; an unset entry counts as a failure (scaler) or does
// nothing (popup). The scaler entries return 0 on success, as the scaler
// manager does.
struct UpgradeServices {
    std::function<int(int sector, int count, char kind)> scalerErase;
    std::function<int(int addr, int len, char* buf)> scalerWrite;
    std::function<int()> scalerReadFonts;
    std::function<int()> scalerUpdateFonts;
    std::function<void()> popupStart;   // safe from any thread
    std::function<void()> popupOver;

    static UpgradeServices& instance();
};
