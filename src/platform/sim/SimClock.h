#pragma once
#include "platform/Clock.h"

#include <atomic>
#include <cstdint>

namespace kel::platform::sim {

// The simulated board's wall clock: host time plus an offset in seconds.
// Tests set it; a recorded "date" command that sets the time moves it.
class SimClock : public Clock {
public:
    QDateTime now() const override;
    // The clock reads `time` from now on (and runs on from there).
    void set(const QDateTime& time);
    void setOffsetSeconds(int64_t seconds) { offset_ = seconds; }
    int64_t offsetSeconds() const { return offset_.load(); }

private:
    std::atomic<int64_t> offset_{0};
};

} // namespace kel::platform::sim
