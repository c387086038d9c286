#pragma once

// printf-style diagnostics on standard output, printed only while
// g_debugSwitch holds 254.
void kelDebug(const char* format, ...) __attribute__((format(printf, 1, 2)));
