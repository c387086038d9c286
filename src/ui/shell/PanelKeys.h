#pragma once

// The five front-panel keys. Each arrives with one of two Qt key codes
// (the letter codes of the panel's own driver or the function-key codes);
// both act the same everywhere.
enum class PanelKey { Left, Right, Ok, Back, Mode, Other };

class PanelKeys {
public:
    static constexpr int kLeft = 83, kLeft2 = 0x01000033;
    static constexpr int kRight = 82, kRight2 = 0x01000034;
    static constexpr int kOk = 81, kOk2 = 0x01000035;
    static constexpr int kBack = 79, kBack2 = 0x010000B7;
    static constexpr int kMode = 77, kMode2 = 0x01000063;

    static PanelKey decode(int code);
    // The code of the other set for a panel key (same code for others).
    static int twin(int code);
};
