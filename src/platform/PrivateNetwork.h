#pragma once

namespace kel::platform {

// A network of the calling process's own: a new network namespace holding
// only a loopback interface, brought up. The harnesses that start the whole
// program (end-to-end tests, benchmarks) put it there so that its fixed
// ports (UDP 5008, TCP 5005, UDP 13769) never meet another controller or
// test suite on the same machine. Needs root, or, for another user, a user
// namespace of its own (a single-threaded caller where the kernel allows
// them); without either nothing changes and enter() returns false.
class PrivateNetwork {
public:
    // Call before any thread starts (a namespace belongs to the thread that
    // made it and to the processes forked after). Async-signal-safe, so a
    // forked child may call it before exec.
    static bool enter();
};

} // namespace kel::platform
