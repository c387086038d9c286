#include "params/DebugPrint.h"

#include "params/global.h"
#include "platform/LogLine.h"

#include <cstdarg>

void kelDebug(const char* format, ...)
{
    if (g_debugSwitch != kDebugSwitchOn)
        return;
    va_list args;
    va_start(args, format);
    kel::platform::LogLine::debug(format, args);
    va_end(args);
}
