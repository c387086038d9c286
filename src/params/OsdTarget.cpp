#include "params/OsdTarget.h"

#include <atomic>

namespace {
std::atomic<OsdTarget*> g_target{nullptr};
}

void OsdTarget::install(OsdTarget* target) { g_target.store(target); }

OsdTarget* OsdTarget::installed() { return g_target.load(); }
