#include "params/DebugPrint.h"

#include "params/global.h"

#include <cstdarg>
#include <cstdio>

void kelDebug(const char* format, ...)
{
    if (g_debugSwitch != kDebugSwitchOn)
        return;
    va_list args;
    va_start(args, format);
    std::vfprintf(stdout, format, args);
    va_end(args);
    std::fflush(stdout);
}
