#include "platform/sim/SimStateWriter.h"

namespace kel::platform::sim {

SimStateWriter::SimStateWriter(std::function<void()> write) : write_(std::move(write)) {}

SimStateWriter::~SimStateWriter()
{
    {
        std::lock_guard<std::mutex> l(lock_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void SimStateWriter::changed()
{
    {
        std::lock_guard<std::mutex> l(lock_);
        if (dirty_ || stop_)
            return;
        dirty_ = true;
        if (!thread_.joinable())
            thread_ = std::thread([this] { run(); });
    }
    wake_.notify_all();
}

void SimStateWriter::run()
{
    std::unique_lock<std::mutex> l(lock_);
    auto earliest = std::chrono::steady_clock::now();
    for (;;) {
        wake_.wait(l, [this] { return dirty_ || stop_; });
        // Changes arriving during the gap join this write.
        wake_.wait_until(l, earliest, [this] { return stop_; });
        if (stop_)
            return;
        dirty_ = false;
        l.unlock();
        write_();
        l.lock();
        earliest = std::chrono::steady_clock::now() + kGap;
    }
}

} // namespace kel::platform::sim
