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

void realSleep(uint64_t micros)
{
    timespec ts;
    ts.tv_sec = static_cast<time_t>(micros / 1000000ull);
    ts.tv_nsec = static_cast<long>((micros % 1000000ull) * 1000ull);
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}
} // namespace

void Sleeper::sleepUs(uint64_t micros)
{
    Hook hook;
    {
        std::lock_guard<std::mutex> l(g_hookLock);
        hook = g_hook;
    }
    if (hook) {
        hook(micros);
        return;
    }
    const uint64_t floor = g_minimumUs.load();
    realSleep(micros < floor ? floor : micros);
}

void Sleeper::setHook(Hook hook)
{
    std::lock_guard<std::mutex> l(g_hookLock);
    g_hook = std::move(hook);
}

void Sleeper::setMinimumUs(uint64_t micros) { g_minimumUs = micros; }
uint64_t Sleeper::minimumUs() { return g_minimumUs.load(); }

} // namespace kel::platform
