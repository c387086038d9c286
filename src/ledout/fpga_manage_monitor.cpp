// The local monitor output of an FPGA: its size in the parameter RAM, the
// row and column masks, and the monitor's state steps.
#include "ledout/fpga_manage.h"

#include "ledout/MonitorProbe.h"
#include "params/RamLayout.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr uint8_t kColumnBuffer = 35;
constexpr uint8_t kRowBuffer = 34;
constexpr uint32_t kColumnLines = 1024;
constexpr uint32_t kRowLines = 768;
constexpr uint32_t kColumnRamSize = 1024 + 976;
constexpr uint32_t kRowRamSize = 512;
constexpr uint32_t kRamWriteMax = 1024;
constexpr uint32_t kMonitorArea = 424;   // x, y, width, height (u16 each)
constexpr uint8_t kMonitorOutputBit = 4; // register 23

enum MonitorState : uint32_t { MONITOR_OFF = 1, MONITOR_PROBE = 3, MONITOR_PROGRAM = 4, MONITOR_ON = 5 };

} // namespace

void fpga_manage::row_col_calcul_ram(uint32_t n, uint32_t total, uint8_t* out)
{
    std::fill(out, out + (total + 7) / 8, 0xFF);
    if (n >= total)
        return;
    // Line i is used when the running share i * n / total steps up on it.
    for (uint32_t i = 0; i < total; ++i) {
        if ((uint64_t(i) + 1) * n / total != uint64_t(i) * n / total)
            out[i / 8] = uint8_t(out[i / 8] & ~(1u << (i % 8)));
    }
}

void fpga_manage::set_fpga_row_col_ram(uint16_t width, uint16_t height, uint8_t f)
{
    std::vector<uint8_t> columns(kColumnRamSize), rows(kRowRamSize);
    {
        // MCU_RAM_DEFAULT is the protocol's window on the row/column RAM.
        std::lock_guard<std::mutex> l(reg_image_mutex);
        std::fill(MCU_RAM_DEFAULT, MCU_RAM_DEFAULT + kRamDefaultSize, 0);
        row_col_calcul_ram(width, kColumnLines, MCU_RAM_DEFAULT);
        std::copy(MCU_RAM_DEFAULT, MCU_RAM_DEFAULT + kColumnRamSize, columns.begin());
        // Cleared again, so the column mask does not show through the rows.
        std::fill(MCU_RAM_DEFAULT, MCU_RAM_DEFAULT + kRamDefaultSize, 0);
        row_col_calcul_ram(height, kRowLines, MCU_RAM_DEFAULT);
        std::copy(MCU_RAM_DEFAULT, MCU_RAM_DEFAULT + kRowRamSize, rows.begin());
    }
    write_fpga_ram(columns.data(), 0, kRamWriteMax, kColumnBuffer, f);
    write_fpga_ram(columns.data() + kRamWriteMax, kRamWriteMax, kColumnRamSize - kRamWriteMax, kColumnBuffer, f);
    write_fpga_ram(rows.data(), 0, kRowRamSize, kRowBuffer, f);
}

void fpga_manage::set_fpga_lcd_wh(uint8_t f)
{
    if (f > 1)
        return;
    const uint16_t w = block_u16(RamLayout::kLedWidth), h = block_u16(RamLayout::kLedHeight);
    const uint8_t area[8] = {0, 0, 0, 0, uint8_t(w), uint8_t(w >> 8), uint8_t(h), uint8_t(h >> 8)};
    {
        std::lock_guard<std::mutex> l(reg_image_mutex);
        std::memcpy(ram_para_image[f] + kMonitorArea, area, sizeof area);
    }
    write_fpga_ram(area, kMonitorArea, sizeof area, kParaBuffer, f);
    set_fpga_row_col_ram(w, h, f);
}

void fpga_manage::set_9022_para(uint8_t monitor)
{
    if (monitor > 1 || monitor_state[monitor] != MONITOR_PROBE)
        return;
    // A transmitter that does not answer keeps the monitor here; the next
    // step probes again.
    if (MonitorProbe::check(monitor))
        monitor_state[monitor] = MONITOR_PROGRAM;
}

void fpga_manage::check_monitor_change(uint8_t f)
{
    if (f > 1)
        return;
    switch (monitor_state[f]) {
    case MONITOR_OFF:
        set_bit(FPGA_REG_VBO_CTRL, kMonitorOutputBit, false, f);
        monitor_state[f] = MONITOR_PROBE;
        break;
    case MONITOR_PROBE:
        set_9022_para(f);
        break;
    case MONITOR_PROGRAM:
        set_fpga_lcd_wh(f);
        set_bit(FPGA_REG_LOAD, 0, true, f);
        set_bit(FPGA_REG_VBO_CTRL, kMonitorOutputBit, true, f);
        monitor_state[f] = MONITOR_ON;
        break;
    default:
        break;
    }
}
