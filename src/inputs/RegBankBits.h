#pragma once
#include <cstdint>

// Atomic access to single registers of the parameter store's LocalRegBank:
// the detection thread, the link threads and the FPGA thread all update bits
// of registers 0, 17, 32 and 37..39. Without a store every call is a no-op
// (reads give 0).
class RegBankBits {
public:
    static constexpr int kMaintenance = 0;
    static constexpr int kMaintenance6805 = 32;
    static constexpr int kPresence0 = 37;
    static constexpr int kPresence1 = 38;
    static constexpr int kPresence2 = 39;

    static uint8_t load(int reg);
    static void store(int reg, uint8_t value);
    // Reads and clears in one step, so bits written meanwhile are not lost.
    static uint8_t take(int reg);
    static void set(int reg, uint8_t mask);
    static void clear(int reg, uint8_t mask);
    static void update(int reg, uint8_t mask, bool on);

private:
    static uint8_t* reg(int index);
};
