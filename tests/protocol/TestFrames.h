#pragma once
#include "protocol/PhyFrame.h"
#include "protocol/protocol_phy.h"

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace kel::test {

using Bytes = std::vector<uint8_t>;

// Builds request bodies and wire frames the way a PC tool would.
class TestFrames {
public:
    // Body: target, source, head 0x10 tag route port 0, cmd, then the
    // payload from byte 10 on, and the XOR byte.
    static Bytes body(uint16_t target, uint16_t source, uint8_t cmd, const Bytes& payload, uint8_t tag = 0x21);
    static Bytes wire(const Bytes& body);
    static Bytes request(uint8_t cmd, const Bytes& payload, uint16_t target = 0xF100);
    // Unframes an answer (empty on any error).
    static Bytes unframe(const Bytes& wire);

    static Bytes u16(uint16_t v) { return {uint8_t(v), uint8_t(v >> 8)}; }
    static Bytes u32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }
    static Bytes cat(std::initializer_list<Bytes> parts);
    // 0x60 / 0x61 payloads.
    static Bytes ramWrite(uint32_t address, const Bytes& data, int declared = -1);
    static Bytes ramRead(uint32_t address, uint16_t n);
    // Answer data: the bytes after the status byte, check byte excluded.
    static Bytes answerData(const Bytes& answerBody);
    static uint8_t status(const Bytes& answerBody) { return answerBody.at(protocol::PhyFrame::kSub); }
};

} // namespace kel::test
