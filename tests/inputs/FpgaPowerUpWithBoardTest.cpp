#include "inputs/InputBoardFixture.h"

#include "ledout/FpgaInputState.h"
#include "ledout/fpga_manage.h"
#include "params/RamLayout.h"
#include "params/global.h"
#include "platform/sim/SimFpga.h"
#include "platform/sim/SimFpgaBoard.h"
#include "platform/sim/SimGpioLines.h"
#include "platform/sim/SimInputBoard.h"
#include "platform/sim/SimRegisterChip.h"

#include <functional>

using kel::platform::sim::SimInputBoard;

namespace kel::test {
namespace {

// The input board and the FPGA manager on one simulated board: the FPGA
// side waits for the 0xD0 chip, then powers up to the lit screen.
class FpgaWithInputBoard : public InputBoardFixture {
protected:
    void SetUp() override
    {
        InputBoardFixture::SetUp();
        store().setBlockU16(RamLayout::kLedWidth, 1920);
        store().setBlockU16(RamLayout::kLedHeight, 1080);
        fpga_manage::pInstance()->softinit();
    }
    void TearDown() override
    {
        fpga_manage::destroyInstance();
        InputBoardFixture::TearDown();
    }
    fpga_manage& m() { return *fpga_manage::pInstance(); }
    // One pass of both threads per tick.
    bool runBoth(const std::function<bool()>& done, int maxTicks)
    {
        for (int t = 0; t < maxTicks; ++t) {
            if (done())
                return true;
            src().runOnce();
            m().fpga_manage_deal();
            ++G_timeTicks;
        }
        return done();
    }
};

TEST_F(FpgaWithInputBoard, FpgaPowersUpToTheLitScreenOnceThe0xD0ChipIsSetUp)
{
    EXPECT_FALSE(FpgaInputState::ready());
    ASSERT_TRUE(runBoth([this] { return src().s5p210_state[0] == 2; }, 500));
    EXPECT_TRUE(FpgaInputState::ready());
    EXPECT_EQ(sim().gpio().level(SimInputBoard::kFpga0Reset), 16);
    ASSERT_TRUE(runBoth([this] { return m().status_step[0] == 16; }, 3000));
    g_source_online = 2;
    ASSERT_TRUE(runBoth([this] { return m().get_fpga_status() == 1; }, 300));
    EXPECT_TRUE(platform::sim::SimFpgaBoard::current()->fpga0().lit());
}

TEST_F(FpgaWithInputBoard, WithoutThe0xD0ChipTheFpgaSideWaits)
{
    sim().s5p210().setPresent(false);
    ASSERT_TRUE(runBoth([this] { return src().thread_state() == tarvosource::kSteady; }, 500));
    runBoth([] { return false; }, 300);
    EXPECT_FALSE(FpgaInputState::ready());
    EXPECT_NE(m().get_fpga_status(), 1u);
    EXPECT_FALSE(platform::sim::SimFpgaBoard::current()->fpga0().lit());
}

} // namespace
} // namespace kel::test
