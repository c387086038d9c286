#include "platform/linux/LinuxCommandRunner.h"

#include <cstdio>
#include <cstdlib>

namespace kel::platform::linuxdev {

int LinuxCommandRunner::system(const std::string& command)
{
    return ::system(command.c_str());
}

int LinuxCommandRunner::capture(const std::string& command, std::string& output)
{
    output.clear();
    FILE* f = ::popen(command.c_str(), "r");
    if (!f)
        return -1;
    char buf[512];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        output.append(buf, n);
    return ::pclose(f);
}

} // namespace kel::platform::linuxdev
