#pragma once
#include <cstdint>
#include <functional>

namespace kel::platform {

// Every pause of the system goes through here, so tests can run long waits
// instantly and the simulated board never spins the host's CPU.
class Sleeper {
public:
    using Hook = std::function<void(uint64_t micros)>;

    static void sleepUs(uint64_t micros);
    static void sleepMs(uint64_t millis) { sleepUs(millis * 1000ull); }

    // Replaces real sleeping (tests install a hook that advances a virtual
    // clock or returns at once). An empty hook restores real sleeping.
    static void setHook(Hook hook);
    // Shortest real pause; the simulated board raises 1 us polls to this.
    static void setMinimumUs(uint64_t micros);
    static uint64_t minimumUs();
};

} // namespace kel::platform
