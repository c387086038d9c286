#include "platform/linux/LinuxClock.h"

namespace kel::platform::linuxdev {

QDateTime LinuxClock::now() const { return QDateTime::currentDateTime(); }

} // namespace kel::platform::linuxdev
