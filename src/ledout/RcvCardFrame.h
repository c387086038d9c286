#pragma once
#include "params/LittleEndian.h"

#include <cstddef>
#include <cstdint>

// Byte layout of a frame for the receiving cards (the control frame body
// without framing): target, source, head byte 0x10, tag, route, port byte,
// 0, command, data, and an XOR check byte over everything before it.
// Multi-byte fields are little-endian.
class RcvCardFrame {
public:
    static constexpr size_t kTarget = 0;
    static constexpr size_t kSource = 2;
    static constexpr size_t kHead = 4;
    static constexpr size_t kTag = 5;
    static constexpr size_t kRoute = 6;
    static constexpr size_t kPort = 7;
    static constexpr size_t kCmd = 9;
    static constexpr size_t kSub = 10;   // data start; the status in answers
    // Head through the command plus the check byte: the shortest frame.
    static constexpr size_t kMinLength = 11;
    // The FPGA's length registers hold ten bits.
    static constexpr uint32_t kMaxLength = 1024;

    static constexpr uint16_t kControllerSource = 0xF000;
    static constexpr uint16_t kPcSource = 0xF010;
    static constexpr uint16_t kAllCards = 0x0FFF;
    static constexpr uint16_t kSearchAddr = 0x0FFE;
    static constexpr uint8_t kTagCommand = 0x67;
    static constexpr uint8_t kTagSearch = 0xAA;

    static constexpr uint8_t CMD_SEARCH_CARD = 0x10;
    static constexpr uint8_t CMD_WRITE_RAM = 0x60;
    static constexpr uint8_t CMD_READ_RAM = 0x61;
    static constexpr uint8_t CMD_SAVE = 0x81;
    static constexpr uint8_t CMD_RECONFIG = 0x84;
    static constexpr uint8_t CMD_REGISTER = 0xA0;
    static constexpr uint8_t CMD_ACTIVE_FIRMWARE = 0xB4;

    // Target of one card of a port: the port (mod 4) in bits 12-13.
    static uint16_t cardTarget(uint32_t port, uint16_t card) { return uint16_t(((port & 3u) << 12) | (card & 0x0FFF)); }
    // Bytes 0..9 of a controller frame.
    static void head(uint8_t* f, uint16_t target, uint8_t tag, uint8_t route, uint8_t portByte, uint8_t cmd);
    // Stores the check byte of an n-byte frame at n - 1.
    static void seal(uint8_t* f, size_t n);
    static bool checkOk(const uint8_t* f, size_t n);
    // Changes one byte of a sealed frame and corrects its check byte.
    static void patch(uint8_t* f, size_t n, size_t at, uint8_t value);

    static uint16_t u16At(const uint8_t* p, size_t at) { return LittleEndian::u16At(p, at); }
    static uint32_t u32At(const uint8_t* p, size_t at) { return LittleEndian::u32At(p, at); }
    static void putU16(uint8_t* p, size_t at, uint16_t v) { LittleEndian::putU16(p, at, v); }
    static void putU32(uint8_t* p, size_t at, uint32_t v) { LittleEndian::putU32(p, at, v); }
};
