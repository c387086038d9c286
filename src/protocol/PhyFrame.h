#pragma once
#include "params/LittleEndian.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kel::protocol {

// Field offsets and accessors of a control frame body (the bytes between
// the framing, escapes removed). Multi-byte values are little-endian. The
// last byte of a body is the XOR of every byte before it.
class PhyFrame {
public:
    static constexpr size_t kTarget = 0;
    static constexpr size_t kSource = 2;
    static constexpr size_t kHead = 4;
    static constexpr size_t kTag = 5;
    static constexpr size_t kRoute = 6;
    static constexpr size_t kPort = 7;
    static constexpr size_t kHead8 = 8;
    static constexpr size_t kCmd = 9;
    static constexpr size_t kSub = 10;
    static constexpr size_t kData = 11;
    // Header through frame_sub plus the check byte.
    static constexpr size_t kMinLength = 12;

    // Targets that mean this controller.
    static constexpr uint16_t kLocalTarget0 = 0xF100;
    static constexpr uint16_t kLocalTarget1 = 0xF101;
    // Source address of the PC tool when it talks to the receiving cards.
    static constexpr uint16_t kPcSource = 0xF010;
    // Targets below this address are receiving cards.
    static constexpr uint16_t kCardTargetLimit = 0xF000;

    static uint16_t u16At(const uint8_t* p, size_t at) { return LittleEndian::u16At(p, at); }
    static uint32_t u32At(const uint8_t* p, size_t at) { return LittleEndian::u32At(p, at); }
    static void putU16(uint8_t* p, size_t at, uint16_t v) { LittleEndian::putU16(p, at, v); }
    static void putU32(uint8_t* p, size_t at, uint32_t v) { LittleEndian::putU32(p, at, v); }

    static void appendU16(std::vector<uint8_t>& out, uint16_t v)
    {
        out.push_back(uint8_t(v));
        out.push_back(uint8_t(v >> 8));
    }
    static void appendU32(std::vector<uint8_t>& out, uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            out.push_back(uint8_t(v >> (8 * i)));
    }

    static uint16_t target(const uint8_t* body) { return u16At(body, kTarget); }
    static uint16_t source(const uint8_t* body) { return u16At(body, kSource); }
    static bool isLocalTarget(uint16_t target) { return target == kLocalTarget0 || target == kLocalTarget1; }
    // A request of the PC tool for the receiving cards, passed through.
    static bool isPassThrough(const uint8_t* body)
    {
        return target(body) < kCardTargetLimit && source(body) == kPcSource;
    }

    // XOR of n bytes.
    static uint8_t xorOf(const uint8_t* p, size_t n);
    // True when the body is long enough and its last byte checks.
    static bool checkOk(const uint8_t* body, size_t len);
};

} // namespace kel::protocol
