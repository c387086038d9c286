#include "ledout/RcvCardFrame.h"

#include "params/Utils.h"

void RcvCardFrame::head(uint8_t* f, uint16_t target, uint8_t tag, uint8_t route, uint8_t portByte, uint8_t cmd)
{
    putU16(f, kTarget, target);
    putU16(f, kSource, kControllerSource);
    f[kHead] = 0x10;
    f[kTag] = tag;
    f[kRoute] = route;
    f[kPort] = portByte;
    f[8] = 0;
    f[kCmd] = cmd;
}

void RcvCardFrame::seal(uint8_t* f, size_t n) { f[n - 1] = Utils::BCC(f, uint32_t(n - 1)); }

bool RcvCardFrame::checkOk(const uint8_t* f, size_t n) { return n >= 1 && f[n - 1] == Utils::BCC(f, uint32_t(n - 1)); }

void RcvCardFrame::patch(uint8_t* f, size_t n, size_t at, uint8_t value)
{
    f[n - 1] = uint8_t(f[n - 1] ^ f[at] ^ value);
    f[at] = value;
}
