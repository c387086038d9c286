#pragma once
#include "platform/CommandRunner.h"

namespace kel::platform::linuxdev {

// Runs the exact command text through the system shell.
class LinuxCommandRunner : public CommandRunner {
public:
    int system(const std::string& command) override;
    int capture(const std::string& command, std::string& output) override;
};

} // namespace kel::platform::linuxdev
