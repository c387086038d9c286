#include "protocol/EdidTiming.h"

namespace kel::protocol {

bool EdidTiming::parse(const uint8_t* edid, EdidTiming& out)
{
    const uint8_t* d = edid + 54;
    const uint32_t clock10k = uint32_t(d[0] | d[1] << 8);
    if (clock10k == 0)
        return false;
    const uint32_t hActive = uint32_t(d[2] | (d[4] & 0xF0) << 4);
    const uint32_t hBlank = uint32_t(d[3] | (d[4] & 0x0F) << 8);
    const uint32_t vActive = uint32_t(d[5] | (d[7] & 0xF0) << 4);
    const uint32_t vBlank = uint32_t(d[6] | (d[7] & 0x0F) << 8);
    const uint64_t total = uint64_t(hActive + hBlank) * (vActive + vBlank);
    if (total == 0)
        return false;
    out.width = uint16_t(hActive);
    out.height = uint16_t(vActive);
    out.refresh = uint16_t((uint64_t(clock10k) * 10000 + total / 2) / total);
    return true;
}

} // namespace kel::protocol
