#pragma once
#include <cstdint>

// Register map of the scaler chip as the driver and the manager use it
// (docs/scaler.md). A transfer is [0x02 write | 0x03 read, register, then
// 16-bit big-endian words]; the register advances per word except on the
// port registers. Register 0xFF of every bank selects the bank.
namespace c331reg {

constexpr uint8_t kCmdWrite = 0x02;
constexpr uint8_t kCmdRead = 0x03;
constexpr uint8_t kBankSelect = 0xFF;
constexpr uint16_t kChipId = 0xC331;

enum Bank : int { Sys = 0, Output = 1, Input = 2, Window = 3, Picture = 4, Osd = 5, OsdText = 6, Flash = 7 };

// Bank Sys
constexpr uint8_t SYS_CHIP_ID = 0x00;
constexpr uint8_t SYS_INIT = 0x01;

// Bank Output: panel size, splice, apply strobe and the two output channels
constexpr uint8_t OUT_PANEL_W = 0x00;
constexpr uint8_t OUT_PANEL_H = 0x01;
constexpr uint8_t OUT_SPLICE = 0x02;
constexpr uint8_t OUT_APPLY = 0x03;
constexpr uint8_t OUT_CH0 = 0x10;   // x, y, w, h
constexpr uint8_t OUT_CH1 = 0x18;   // x, y, w, h

// Bank Input: port p at 0x10 * p: hact, vact, htotal, vtotal, pclk (10 kHz), flags
constexpr uint8_t IN_PORT_STRIDE = 0x10;
constexpr uint16_t IN_FLAG_ACTIVE = 0x0001;
constexpr uint16_t IN_FLAG_INTERLACED = 0x0002;
constexpr uint16_t IN_FLAG_DDR = 0x0004;
constexpr uint16_t IN_FLAG_VBYONE = 0x0008;
constexpr int IN_FLAG_LANES_SHIFT = 8;

// Bank Window: window w at 0x20 * w, 16 words in this order
constexpr uint8_t WIN_STRIDE = 0x20;
constexpr uint8_t WIN_ENABLE = 0;   // enable, source, crop x/y/w/h, x/y/w/h,
                                    // mirror, flags, p2p, p2p mode, fade in, fade out
constexpr int WIN_WORDS = 16;
constexpr uint16_t WIN_FLAG_BLACK = 0x0001;
constexpr uint16_t WIN_FLAG_FREEZE = 0x0002;
constexpr uint16_t WIN_FLAG_FADE = 0x0004;
constexpr uint8_t WIN_COUNT = 0xE0;
constexpr uint8_t WIN_SWITCH_EFFECT = 0xE1;
constexpr uint8_t WIN_COMMIT = 0xE2;
constexpr uint8_t WIN_P2P_SWITCH = 0xE3;

// Bank Picture
constexpr uint8_t PIC_CONTRAST = 0x00;
constexpr uint8_t PIC_SHARPNESS = 0x01;
constexpr uint8_t PIC_SATURATION = 0x02;
constexpr uint8_t PIC_BRIGHTNESS = 0x03;
constexpr uint8_t PIC_GAIN_R = 0x04;   // then G, B
constexpr uint8_t PIC_PATTERN = 0x08;

// Bank Osd: registers 0x00..0x3F carry the OSD properties (the register is
// the property's type code; colours keep their high byte at 0x38/0x39).
constexpr uint8_t OSD_BG_COLOR_HI = 0x38;
constexpr uint8_t OSD_CHAR_COLOR_HI = 0x39;
constexpr uint8_t OSD_BG_W = 0x3A;
constexpr uint8_t OSD_BG_H = 0x3B;
constexpr uint8_t OSD_LINE_X = 0x40;   // 64 line starts
constexpr uint8_t OSD_V_ALIGN_VALUE = 0x80;
constexpr uint8_t OSD_LINE_COUNT = 0x81;
constexpr uint8_t OSD_COMMIT = 0x82;
constexpr uint8_t OSD_FONT_LAYOUT = 0x90;   // 4 fonts x (addr hi, lo, size hi, lo)

// Bank OsdText: 64 lines x 128 characters
constexpr uint8_t TEXT_ADDR = 0x00;
constexpr uint8_t TEXT_DATA = 0x01;

// Bank Flash: the serial-flash bridge and the font loader
constexpr uint8_t SF_TX = 0x00;
constexpr uint8_t SF_RXLEN = 0x01;
constexpr uint8_t SF_GO = 0x02;
constexpr uint8_t SF_RX = 0x03;
constexpr uint8_t FONT_SEL = 0x10;   // sel, addr hi, addr lo, size hi, size lo, load

// Serial flash commands
constexpr uint8_t SF_WRITE_ENABLE = 0x06;
constexpr uint8_t SF_READ_STATUS = 0x05;
constexpr uint8_t SF_READ = 0x03;
constexpr uint8_t SF_PAGE_PROGRAM = 0x02;
constexpr uint8_t SF_ERASE_4K = 0x20;
constexpr uint8_t SF_ERASE_32K = 0x52;
constexpr uint8_t SF_ERASE_64K = 0xD8;
constexpr uint8_t SF_STATUS_BUSY = 0x01;
constexpr uint32_t SF_PAGE = 256;
// 8 MiB: the chip sends 3 address bytes, so a larger address would wrap
// onto the fonts at the start.
constexpr uint32_t SF_SIZE = 0x800000;

} // namespace c331reg
