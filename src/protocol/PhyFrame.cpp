#include "protocol/PhyFrame.h"

#include "params/Utils.h"

namespace kel::protocol {

uint8_t PhyFrame::xorOf(const uint8_t* p, size_t n) { return Utils::BCC(p, uint32_t(n)); }

bool PhyFrame::checkOk(const uint8_t* body, size_t len)
{
    return len >= kMinLength && xorOf(body, len - 1) == body[len - 1];
}

} // namespace kel::protocol
