#include "params/TickClock.h"

#include "params/global.h"

#include <chrono>

TickClock::TickClock(Source source) : source_(std::move(source)), base_(source_()) {}

uint32_t TickClock::advance()
{
    const uint64_t now = source_();
    if (now < base_ + kPeriodUs)
        return 0;
    const uint64_t periods = (now - base_) / kPeriodUs;
    base_ += periods * kPeriodUs;
    // The counter wraps as it would after that many single steps.
    const auto added = static_cast<uint32_t>(periods);
    G_timeTicks.fetch_add(added);
    return added;
}

uint64_t TickClock::monotonicUs()
{
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}
