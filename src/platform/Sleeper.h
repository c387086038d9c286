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

    // The program's stop (SIGINT, SIGTERM, AppStartup::stopLinks). From then
    // on the waits that can be long end at once: pauseUs returns early and
    // the polling loops that check stopping() give up. sleepUs is not
    // touched, so the parameter block's save at exit pauses as always.
    // requestStop only stores a flag: a signal handler may call it.
    static void requestStop();
    static bool stopping();
    // Lets the next start in this process wait again (tests).
    static void clearStop();
    // sleepUs that a stop ends within 10 ms (real sleeping is cut into
    // slices; a hook gets the whole pause at once). False when a stop cut
    // it short or had been asked for before.
    static bool pauseUs(uint64_t micros);
    static bool pauseMs(uint64_t millis) { return pauseUs(millis * 1000ull); }
};

} // namespace kel::platform
