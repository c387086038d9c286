#pragma once
#include <cstdarg>

namespace kel::platform {

// The program's diagnostics on its two streams. Debug messages begin with
// a line break and leave their line open; an error message printed after
// one would be joined to it. Errors therefore end an open debug line first.
class LogLine {
public:
    // printf-style on standard output, flushed.
    static void debug(const char* format, va_list args);
    // printf-style on standard error, on a line of its own.
    static void error(const char* format, ...) __attribute__((format(printf, 1, 2)));
};

} // namespace kel::platform
