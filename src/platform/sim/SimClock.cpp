#include "platform/sim/SimClock.h"

namespace kel::platform::sim {

QDateTime SimClock::now() const { return QDateTime::currentDateTime().addSecs(offset_.load()); }

void SimClock::set(const QDateTime& time)
{
    offset_ = time.toSecsSinceEpoch() - QDateTime::currentSecsSinceEpoch();
}

} // namespace kel::platform::sim
