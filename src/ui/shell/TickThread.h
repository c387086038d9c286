#pragma once

// The thread that advances G_timeTicks on the device. It only sleeps to
// the end of the next 10 ms period and counts (TickClock): it takes no lock
// and waits on no other thread, so the time base runs at 100 ticks a second
// whatever the GUI thread or any other thread is doing. While it does not
// run (tests drive the tick by hand) each call of
// MainWindow::slot_update_timer_ticks counts one period itself.
class TickThread {
public:
    // Starts counting from now; a second start does nothing.
    static void start();
    // Stops and joins the thread; the counter keeps its value.
    static void stop();
    static bool running();
};
