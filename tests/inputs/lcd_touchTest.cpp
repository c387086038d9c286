#include "inputs/lcd_touch.h"
#include "platform/sim/SimInputBoard.h"
#include "support/SimRootFixture.h"

#include <csignal>
#include <cstdio>
#include <unistd.h>

using kel::platform::sim::SimInputBoard;

namespace kel::test {
namespace {

class Knob : public SimRootFixture {};

TEST_F(Knob, ReadsOneByteOnEachSignal)
{
    lcd_touch knob;
    ASSERT_GE(knob.ecll_fd, 0);
    const unsigned before = lcd_touch::read_count();
    ASSERT_TRUE(SimInputBoard::of(board())->knobEvent(0x3C));
    // The kernel's notification may land on any thread; one more signal on
    // this one makes sure the byte has been taken before we look.
    std::raise(lcd_touch::kSignal);
    EXPECT_EQ(lcd_touch::read_count(), before + 1);
    EXPECT_EQ(lcd_touch::last_value(), 0x3C);
}

TEST_F(Knob, MissingDeviceInstallsNoHandler)
{
    ::unlink(hostPath("/dev/ec11").c_str());
    lcd_touch knob;
    EXPECT_EQ(knob.ecll_fd, -1);
    struct sigaction current = {};
    sigaction(lcd_touch::kSignal, nullptr, &current);
    EXPECT_EQ(current.sa_handler, SIG_DFL);
}

TEST_F(Knob, IdleCountStopsAboveTheLimit)
{
    lcd_touch knob;
    EXPECT_EQ(knob.lcd_touch_detect(), -1);
    EXPECT_EQ(knob.initialize(), 0);
    knob.g_untouched_time = 99999;
    for (int i = 0; i < 5; ++i)
        knob.auto_timeout_back();
    EXPECT_EQ(knob.g_untouched_time, 100001u);
    EXPECT_EQ(lcd_touch::lcdmanageThread(nullptr), nullptr);
}

} // namespace
} // namespace kel::test
