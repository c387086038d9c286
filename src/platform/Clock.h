#pragma once
#include <QDateTime>

namespace kel::platform {

// The wall clock of the board (local time). On the device it is the system
// clock, which the program sets only through the shell ("date ...",
// "hwclock -wu"); on the simulated board it is the host's time moved by an
// offset, and the host clock itself is never touched.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

} // namespace kel::platform
