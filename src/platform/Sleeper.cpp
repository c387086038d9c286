#include "platform/Sleeper.h"

#include <atomic>
#include <cerrno>
#include <mutex>
#include <time.h>

namespace kel::platform {
namespace {
std::mutex g_hookLock;
Sleeper::Hook g_hook;
std::atomic<uint64_t> g_minimumUs{0};
std::atomic<bool> g_stopping{false};
static_assert(std::atomic<bool>::is_always_lock_free, "requestStop is called from signal handlers");

// The longest a stop waits for a pause in progress.
constexpr uint64_t kPauseSliceUs = 10000;

void realSleep(uint64_t micros)
{
    timespec ts;
    ts.tv_sec = static_cast<time_t>(micros / 1000000ull);
    ts.tv_nsec = static_cast<long>((micros % 1000000ull) * 1000ull);
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

Sleeper::Hook currentHook()
{
    std::lock_guard<std::mutex> l(g_hookLock);
    return g_hook;
}

uint64_t atLeastMinimum(uint64_t micros)
{
    const uint64_t floor = g_minimumUs.load();
    return micros < floor ? floor : micros;
}
} // namespace

void Sleeper::sleepUs(uint64_t micros)
{
    if (Hook hook = currentHook()) {
        hook(micros);
        return;
    }
    realSleep(atLeastMinimum(micros));
}

bool Sleeper::pauseUs(uint64_t micros)
{
    if (stopping())
        return false;
    if (Hook hook = currentHook()) {
        hook(micros);
        return !stopping();
    }
    for (uint64_t left = atLeastMinimum(micros); left > 0;) {
        const uint64_t slice = left < kPauseSliceUs ? left : kPauseSliceUs;
        realSleep(slice);
        left -= slice;
        if (stopping())
            return false;
    }
    return true;
}

void Sleeper::requestStop() { g_stopping.store(true); }
bool Sleeper::stopping() { return g_stopping.load(); }
void Sleeper::clearStop() { g_stopping.store(false); }

void Sleeper::setHook(Hook hook)
{
    std::lock_guard<std::mutex> l(g_hookLock);
    g_hook = std::move(hook);
}

void Sleeper::setMinimumUs(uint64_t micros) { g_minimumUs = micros; }
uint64_t Sleeper::minimumUs() { return g_minimumUs.load(); }

} // namespace kel::platform
