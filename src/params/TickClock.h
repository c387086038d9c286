#pragma once
#include <cstdint>
#include <functional>

// Advances G_timeTicks by real 10 ms periods. Each advance adds every whole
// period that passed on a monotonic clock since the previous one and keeps
// the remainder, so a caller that runs late or was blocked loses no period:
// the counter catches up at its next advance.
class TickClock {
public:
    static constexpr uint64_t kPeriodUs = 10000;
    // Microseconds on a clock that never steps back (tests pass their own).
    using Source = std::function<uint64_t()>;

    // Counting starts now: the first period ends kPeriodUs after this.
    explicit TickClock(Source source = monotonicUs);

    // Adds the periods due to G_timeTicks (wrapping at 2^32) and returns
    // how many were added.
    uint32_t advance();
    // The monotonic time at which the next period ends.
    uint64_t nextDueUs() const { return base_ + kPeriodUs; }

    static uint64_t monotonicUs();

private:
    Source source_;
    uint64_t base_;   // the end of the last period counted
};
