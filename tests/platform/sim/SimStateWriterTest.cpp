#include "platform/sim/SimStateWriter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace kel::test {
namespace {

using platform::sim::SimStateWriter;
using Clock = std::chrono::steady_clock;

// A stream of changes for 600 ms: the writes stay within one per gap, and
// the last change is written without another one after it.
TEST(SimStateWriterTest, ChangesCoalesceAndTheLastOneIsWritten)
{
    std::atomic<int> value{0}, written{-1}, writes{0};
    SimStateWriter writer([&] {
        written = value.load();
        ++writes;
    });
    const auto start = Clock::now();
    while (Clock::now() - start < std::chrono::milliseconds(600)) {
        ++value;
        writer.changed();
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    const auto busy = Clock::now() - start;
    for (int i = 0; i < 300 && written != value; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(written.load(), value.load());
    EXPECT_LE(writes.load(), int(busy / SimStateWriter::kGap) + 2) << "at most one write per gap";
    EXPECT_GE(writes.load(), 2);
}

} // namespace
} // namespace kel::test
