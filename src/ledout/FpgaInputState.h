#pragma once
#include <cstdint>
#include <functional>

// What the FPGA manager needs to know of the input board, which lives in a
// library above this one: the state of its first 0xD0 chip (2 = set up, so
// the FPGA resets are released). The input board registers the reader at
// start; without one the board counts as absent.
class FpgaInputState {
public:
    using Reader = std::function<uint8_t()>;
    static void setChipStateReader(Reader reader);
    static bool present();
    static uint8_t chipState();
    static bool ready() { return chipState() == 2; }
};
