#include "protocol/CardPortTally.h"

#include "protocol/ControllerPort.h"

namespace kel::protocol {
namespace {

constexpr uint8_t kPorts = 16;
constexpr size_t kAllSlot = kPorts;

} // namespace

void CardPortTally::add(uint8_t port, int n)
{
    if (port < kPorts)
        count_[port] += n;
    else if (port == ControllerPort::kAllCardPorts)
        count_[kAllSlot] += n;
}

bool CardPortTally::overlapping(uint8_t port, int mine) const
{
    int n = 0;
    if (port < kPorts)
        n = count_[port] + count_[kAllSlot];
    else if (port == ControllerPort::kAllCardPorts)
        for (int c : count_)
            n += c;
    return n - mine > 0;
}

bool CardPortTally::overlaps(uint8_t a, uint8_t b)
{
    const auto real = [](uint8_t p) { return p < kPorts || p == ControllerPort::kAllCardPorts; };
    return real(a) && real(b) && (a == b || a == ControllerPort::kAllCardPorts || b == ControllerPort::kAllCardPorts);
}

} // namespace kel::protocol
