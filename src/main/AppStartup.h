#pragma once
#include <QStringList>

#include <cstdint>
#include <functional>

// The program's start-up in its fixed order: keypad probe, the parameter
// and configuration singletons, (the application object, made by the
// caller), the main window and its 10 ms tick, the hardware managers and
// their threads, the settling pause, the home screen, the change
// broadcast, the USB watcher and the control links.
class AppStartup {
public:
    struct Options {
        uint32_t settleMs = 4000;   // the pause before the home screen
        bool startTimer = true;     // tests drive the tick by hand
        // The control and WiFi links on ports the system picks, not the
        // device's (tests beside a running controller).
        bool anyFreePorts = false;
    };

    // Steps 1 and 2, after removing the temporary files of replacements
    // cut short by the previous run; before the QApplication exists.
    static void beforeApplication();
    // Steps 4 to 15; the caller then runs the event loop (step 16).
    static void afterApplication(const Options& options);
    // Names of the singletons created, threads started and connections
    // made so far, in order (for the tests).
    static QStringList created();

    // Start-up steps of parts that are linked in later; each one, when set,
    // runs at its place in the order.
    struct Hooks {
        std::function<void()> registerPages;      // makers of the later pages
    };
    static Hooks& hooks();
    // The settings menu's Back for the USB watcher (GUI thread; re-checks
    // that the menu is open and in front).
    static bool settingsMenuBack();
    // Stops the threads of every singleton the start-up created and deletes
    // them, links first, hardware next, the tick last (tests and SIGTERM on
    // the simulated board; the device never stops).
    static void stopAll();
    // Requests the program's stop (Sleeper::requestStop: the long waits end
    // at once) and stops the control links: no change is acknowledged
    // afterwards.
    static void stopLinks();

private:
    static void note(const char* name);
    static void removeStaleTemporaries();
    static void createMainWindow();
    static void createHardware();
    static void showHomeScreen();
    static void connectBroadcast();
    static void connectShell();
    static void createUsbWatcher();
    static void createLinks(bool anyFreePorts);
};
