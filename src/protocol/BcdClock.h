#pragma once
#include "protocol/ControllerPort.h"

#include <QDateTime>
#include <cstdint>

namespace kel::protocol {

// Date and time as seven BCD bytes, in the order of the host command RAM:
// year low two digits, century, month, day, hour, minute, second.
class BcdClock {
public:
    static constexpr int kBytes = 7;

    // False when a byte is not BCD or a value is out of range (years
    // 2000..2099, real calendar days).
    static bool decode(const uint8_t* bcd, ClockValue& value);
    // The seven bytes of decode plus the weekday (1 Monday .. 7 Sunday).
    static void encode(const QDateTime& time, uint8_t* out8);
    static uint8_t toBcd(int v) { return uint8_t((v / 10) << 4 | (v % 10)); }
};

} // namespace kel::protocol
