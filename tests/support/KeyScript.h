#pragma once
#include <functional>
#include <vector>

class QObject;

namespace kel::test {

// Scripts for the front panel. Each step runs from a zero timer queued
// before it, so a step that opens a modal loop (a page, the keyboard, a
// notice) has the next step run inside that loop. A watchdog calls
// closeAll after timeoutMs so a stuck script fails instead of hanging.
// False when the watchdog fired.
bool runKeyScript(std::vector<std::function<void()>> steps, const std::function<void()>& closeAll,
                  int timeoutMs = 10000);
// A press and release of a key code, sent to target as the platform
// delivers keys (through the application's event filters).
void sendPanelKey(QObject* target, int code);

} // namespace kel::test
