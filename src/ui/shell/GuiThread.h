#pragma once
#include <functional>

class QObject;

// Carries a call from any thread into the GUI thread. The call is always
// queued (never blocking: a caller may hold a lock the GUI thread takes),
// and the function must re-read the globals it depends on when it runs.
class GuiThread {
public:
    // The object whose thread runs the calls (the main window); the
    // application object when none is set.
    static void setContext(QObject* context);
    static void run(std::function<void()> fn);
    static bool isGuiThread();
};
