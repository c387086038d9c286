#pragma once
#include "ledout/GpioWord.h"

// The GPIO lines around the FPGAs (and a few of the input board) that the
// FPGA manager maps; subsystems 2, 3 and 4 drive them (16 high, 0 low;
// gpio_start_line and gpio_gs2971_reset use bit 0).
struct fpga_gpio_words {
    GpioWord gpio_fpga1_cs;
    GpioWord gpio_fpga0_cs;
    GpioWord gpio_fpga0_cmd;
    GpioWord gpio_fpga0_reset;
    GpioWord gpio_flash2_cs;
    GpioWord gpio_fpga1_reset;
    GpioWord gpio_it6602_reset;
    GpioWord gpio_it6805_reset;
    GpioWord gpio_edid_wp;
    GpioWord gpio_fpga1_cmd;
    GpioWord gpio_start_line;
    GpioWord gpio_gs2971_reset;
    GpioWord gpio_fpga0_irq;
    GpioWord gpio_fpga1_irq;
    GpioWord gpio_flash3_cs;
    GpioWord gpio_sdi_enable;
};
