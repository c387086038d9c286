#include "platform/linux/LinuxCommandRunner.h"

#include <cstdio>
#include <cstdlib>

namespace kel::platform::linuxdev {

std::string LinuxCommandRunner::portableText(const std::string& command)
{
    std::string out;
    char quote = 0;
    for (size_t i = 0; i < command.size(); ++i) {
        const char c = command[i];
        if (quote) {
            if (c == quote)
                quote = 0;
            out += c;
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
            out += c;
            continue;
        }
        if (c == '&' && i + 1 < command.size() && command[i + 1] == '>' &&
            (i == 0 || command[i - 1] != '>')) {
            size_t j = i + 2;
            while (j < command.size() && command[j] == ' ')
                ++j;
            size_t end = j;
            while (end < command.size() && command[end] != ' ' && command[end] != ';' && command[end] != '&' &&
                   command[end] != '|')
                ++end;
            out += ">" + command.substr(j, end - j) + " 2>&1";
            i = end - 1;
            continue;
        }
        out += c;
    }
    return out;
}

int LinuxCommandRunner::system(const std::string& command)
{
    return ::system(portableText(command).c_str());
}

int LinuxCommandRunner::capture(const std::string& command, std::string& output)
{
    output.clear();
    FILE* f = ::popen(portableText(command).c_str(), "r");
    if (!f)
        return -1;
    char buf[512];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        output.append(buf, n);
    return ::pclose(f);
}

} // namespace kel::platform::linuxdev
