#include "platform/LogLine.h"

#include <atomic>
#include <cstdio>
#include <string>

namespace kel::platform {
namespace {
// The last debug message left its line open.
std::atomic<bool> g_debugLineOpen{false};
} // namespace

void LogLine::debug(const char* format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n <= 0)
        return;
    std::string text(size_t(n) + 1, '\0');
    std::vsnprintf(&text[0], text.size(), format, args);
    text.pop_back();
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    g_debugLineOpen = text.back() != '\n';
}

void LogLine::error(const char* format, ...)
{
    if (g_debugLineOpen.exchange(false))
        std::fputc('\n', stderr);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
}

} // namespace kel::platform
