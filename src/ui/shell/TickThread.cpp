#include "ui/shell/TickThread.h"

#include "params/TickClock.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {

// Joins the thread at exit too, so a process that ends without stop()
// does not end with a running std::thread.
struct Runner {
    std::thread thread;
    std::atomic<bool> stopping{false};
    std::atomic<bool> running{false};

    ~Runner() { halt(); }

    void halt()
    {
        stopping = true;
        if (thread.joinable())
            thread.join();
        running = false;
    }
};

Runner& runner()
{
    static Runner r;
    return r;
}

void count()
{
    using namespace std::chrono;
    TickClock clock;
    while (!runner().stopping.load()) {
        std::this_thread::sleep_until(steady_clock::time_point(microseconds(clock.nextDueUs())));
        clock.advance();
    }
}

} // namespace

void TickThread::start()
{
    Runner& r = runner();
    if (r.running.load())
        return;
    r.stopping = false;
    r.running = true;
    r.thread = std::thread(count);
}

void TickThread::stop() { runner().halt(); }

bool TickThread::running() { return runner().running.load(); }
