#include "protocol/PhyFrame.h"

namespace kel::protocol {

uint8_t PhyFrame::xorOf(const uint8_t* p, size_t n)
{
    uint8_t x = 0;
    for (size_t i = 0; i < n; ++i)
        x ^= p[i];
    return x;
}

bool PhyFrame::checkOk(const uint8_t* body, size_t len)
{
    return len >= kMinLength && xorOf(body, len - 1) == body[len - 1];
}

} // namespace kel::protocol
