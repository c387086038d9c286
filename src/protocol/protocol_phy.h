#pragma once
#include <cstddef>
#include <cstdint>

namespace kel::protocol {

// The wire codec of the control links, one object per link. A frame on the
// wire is three 0xA5, the escaped body, and 0x5A. Inside the escaped body
// the bytes 0xA5, 0x5A and the escape byte 0xAA never appear raw: each is
// sent as 0xAA followed by the byte XOR 0x20 (0xA5 -> AA 85, 0x5A -> AA 7A,
// 0xAA -> AA 8A). All knowledge of the wire format stays in this class so
// it can be replaced as one unit.
class protocol_phy {
public:
    static constexpr uint8_t kPreamble = 0xA5;
    static constexpr uint8_t kEnd = 0x5A;
    static constexpr uint8_t kEscape = 0xAA;
    static constexpr uint8_t kEscapeXor = 0x20;
    static constexpr size_t kPreambleCount = 3;

    // Largest body accepted or produced (header, 4 KiB of data, headroom).
    static constexpr size_t kMaxBody = 4096 + 64;
    // Largest wire frame accepted by the receivers (every body byte
    // escaped, a few extra preamble bytes).
    static constexpr size_t kMaxWire = 2 * kMaxBody + 16;

    enum Result : int {
        NoFraming = -1,      // does not start with 0xA5 or end with 0x5A
        TooShort = -2,       // fewer bytes than a header and check byte
        TooLong = -3,        // body longer than kMaxBody or the output
        BadEscape = -4,      // escape at the end or followed by a wrong byte
        RawSpecial = -5,     // 0xA5 or 0x5A inside the body
        BadCheck = -6,       // last byte is not the XOR of the others
    };

    // Room data_re_transf_meaning needs for a body of len bytes.
    static constexpr size_t framedCapacity(size_t len) { return kPreambleCount + 2 * len + 1; }

    // Removes the framing (one or more 0xA5 ... 0x5A) and the escapes of
    // one wire frame and checks the XOR byte. Returns the body length
    // (check byte included) or a negative Result. body must hold cap bytes.
    int data_transf_meaning(const uint8_t* wire, size_t len, uint8_t* body, size_t cap) const;

    // Frames a body (check byte included) into out, which must hold
    // framedCapacity(len) bytes; returns the framed length. work is not
    // needed by this scheme and may be null.
    uint32_t data_re_transf_meaning(uint8_t* out, const uint8_t* frame, uint32_t len, uint8_t* work = nullptr) const;

    // Builds the answer to a request body: target and source swapped,
    // head bytes 4-9 kept, byte 10 = status, then n bytes of data and a
    // new XOR byte. out must hold kData + n + 1 bytes; returns the length.
    static size_t swap_phy_head(const uint8_t* request, uint8_t status, const uint8_t* data, size_t n, uint8_t* out);

    static bool needsEscape(uint8_t b) { return b == kPreamble || b == kEnd || b == kEscape; }
};

} // namespace kel::protocol
