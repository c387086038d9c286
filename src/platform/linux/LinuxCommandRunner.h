#pragma once
#include "platform/CommandRunner.h"

namespace kel::platform::linuxdev {

// Runs the exact command text through the system shell.
class LinuxCommandRunner : public CommandRunner {
public:
    int system(const std::string& command) override;
    int capture(const std::string& command, std::string& output) override;

    // The text as /bin/sh understands it: the bash form "&>FILE" becomes
    // ">FILE 2>&1" (under dash "&>" would background the command and report
    // success whatever happened). Everything else is left exactly as given.
    static std::string portableText(const std::string& command);
};

} // namespace kel::platform::linuxdev
