#include "protocol/protocol_phy.h"

#include "protocol/PhyFrame.h"

#include <cstring>

namespace kel::protocol {

int protocol_phy::data_transf_meaning(const uint8_t* wire, size_t len, uint8_t* body, size_t cap) const
{
    size_t start = 0;
    while (start < len && wire[start] == kPreamble)
        ++start;
    if (start == 0 || len < start + 1 || wire[len - 1] != kEnd)
        return NoFraming;
    const size_t limit = cap < kMaxBody ? cap : kMaxBody;
    size_t n = 0;
    for (size_t i = start; i + 1 < len; ++i) {
        uint8_t b = wire[i];
        if (b == kPreamble || b == kEnd)
            return RawSpecial;
        if (b == kEscape) {
            if (i + 2 >= len)
                return BadEscape;
            b = uint8_t(wire[++i] ^ kEscapeXor);
            if (!needsEscape(b))
                return BadEscape;
        }
        if (n >= limit)
            return TooLong;
        body[n++] = b;
    }
    if (n < PhyFrame::kMinLength)
        return TooShort;
    if (!PhyFrame::checkOk(body, n))
        return BadCheck;
    return int(n);
}

uint32_t protocol_phy::data_re_transf_meaning(uint8_t* out, const uint8_t* frame, uint32_t len, uint8_t*) const
{
    uint32_t n = 0;
    for (size_t i = 0; i < kPreambleCount; ++i)
        out[n++] = kPreamble;
    for (uint32_t i = 0; i < len; ++i) {
        const uint8_t b = frame[i];
        if (needsEscape(b)) {
            out[n++] = kEscape;
            out[n++] = uint8_t(b ^ kEscapeXor);
        } else {
            out[n++] = b;
        }
    }
    out[n++] = kEnd;
    return n;
}

size_t protocol_phy::swap_phy_head(const uint8_t* request, uint8_t status, const uint8_t* data, size_t n, uint8_t* out)
{
    out[PhyFrame::kTarget] = request[PhyFrame::kSource];
    out[PhyFrame::kTarget + 1] = request[PhyFrame::kSource + 1];
    out[PhyFrame::kSource] = request[PhyFrame::kTarget];
    out[PhyFrame::kSource + 1] = request[PhyFrame::kTarget + 1];
    std::memcpy(out + PhyFrame::kHead, request + PhyFrame::kHead, PhyFrame::kSub - PhyFrame::kHead);
    out[PhyFrame::kSub] = status;
    if (n)
        std::memcpy(out + PhyFrame::kData, data, n);
    const size_t end = PhyFrame::kData + n;
    out[end] = PhyFrame::xorOf(out, end);
    return end + 1;
}

} // namespace kel::protocol
