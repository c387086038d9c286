#include "ledout/MonitorProbe.h"

#include <mutex>

namespace {
std::mutex g_lock;
MonitorProbe::Probe g_probe;
} // namespace

void MonitorProbe::setProbe(Probe probe)
{
    std::lock_guard<std::mutex> l(g_lock);
    g_probe = std::move(probe);
}

int MonitorProbe::check(int monitor)
{
    Probe p;
    {
        std::lock_guard<std::mutex> l(g_lock);
        p = g_probe;
    }
    return p ? p(monitor) : 0;
}
