#pragma once
#include "platform/Clock.h"

namespace kel::platform::linuxdev {

// The system clock.
class LinuxClock : public Clock {
public:
    QDateTime now() const override;
};

} // namespace kel::platform::linuxdev
