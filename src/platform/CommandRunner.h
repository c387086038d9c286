#pragma once
#include <string>

namespace kel::platform {

// Runs shell command texts. The device backend hands the exact text to
// system()/popen(); the simulated backend never executes anything.
class CommandRunner {
public:
    virtual ~CommandRunner() = default;
    // Raw wait status as system() returns it (exit code 1 gives 256).
    virtual int system(const std::string& command) = 0;
    // Runs the command and collects its standard output; returns the
    // raw status like system(), or -1 when the command could not start.
    virtual int capture(const std::string& command, std::string& output) = 0;
};

} // namespace kel::platform
