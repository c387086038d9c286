#pragma once
#include <cstdint>

// One row of an IT6805 initialisation table: the register is read, the
// bits of mask replaced by those of value, and written back. A table ends
// at the first row whose register is 0xFF (that row is not applied).
struct iTE6805_INI_REG {
    uint8_t reg;
    uint8_t mask;
    uint8_t value;
};

// The receiver's start-up settings: 133 rows including the end row. Bank
// changes are rows on register 0x0F.
extern const iTE6805_INI_REG iTE6805_INIT_HDMI_TABLE[133];
