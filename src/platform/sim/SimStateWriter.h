#pragma once
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace kel::platform::sim {

// Writes the simulated board's state file on a thread of its own, so that a
// simulated chip reporting a change (from whatever thread drives it, with
// whatever locks that thread holds) never waits for the file. Changes
// coalesce: the write comes at most kGap after the previous one and carries
// the state at the moment it is made, so traffic costs at most a few writes
// a second. The thread starts with the first change.
class SimStateWriter {
public:
    static constexpr std::chrono::milliseconds kGap{250};

    explicit SimStateWriter(std::function<void()> write);
    // Stops the thread; a change still waiting is not written.
    ~SimStateWriter();
    SimStateWriter(const SimStateWriter&) = delete;
    SimStateWriter& operator=(const SimStateWriter&) = delete;

    // Marks the state changed; returns at once.
    void changed();

private:
    void run();

    std::function<void()> write_;
    std::mutex lock_;
    std::condition_variable wake_;
    bool dirty_ = false;
    bool stop_ = false;
    std::thread thread_;
};

} // namespace kel::platform::sim
