#include "params/global.h"
#include "video/ScalerBench.h"

#include <thread>

using kel::platform::sim::SimScaler;

namespace {

class C331Startup : public kel::test::ScalerBench {
protected:
    void SetUp() override
    {
        ScalerBench::SetUp();
        manager = std::make_unique<c331_manage>(peers);
        ASSERT_TRUE(manager->openDevice());
    }
};

} // namespace

TEST_F(C331Startup, InitialisesOnceAfterFiveGoodReadsFollowingFourBadOnes)
{
    chip().scriptChipId({0xFFFF, 0x0000, 0x1234, 0xFFFF});
    ASSERT_TRUE(manager->waitChipReady(100));
    EXPECT_EQ(chip().chipIdReads(), 9);
    manager->startUp();
    EXPECT_EQ(chip().initCount(), 1);
    manager->runPass();
    EXPECT_EQ(chip().initCount(), 1);
}

TEST_F(C331Startup, AGoodReadBetweenBadOnesDoesNotCount)
{
    chip().scriptChipId({SimScaler::kChipId, SimScaler::kChipId, SimScaler::kChipId, SimScaler::kChipId, 0xFFFF});
    ASSERT_TRUE(manager->waitChipReady(100));
    EXPECT_EQ(chip().chipIdReads(), 10);
}

TEST_F(C331Startup, AChipThatNeverAnswersIsNeverInitialisedAndPolledAtABoundedRate)
{
    chip().setChipIdDefault(0xFFFF);
    EXPECT_FALSE(manager->waitChipReady(50));
    EXPECT_EQ(chip().initCount(), 0);
    EXPECT_FALSE(manager->chipReady());
    // 50 reads took at least 49 pauses of 100 ms.
    EXPECT_GE(sleptUs(), 49u * 100000u);
}

TEST_F(C331Startup, StartUpProgramsPanelPictureAndWindowsFromTheBlock)
{
    setU16(1408 + 4, 960);
    setU16(1416 + 4, 960);
    setU16(RamLayout::kSpliceMode, 1);
    setU16(2178, 77);
    setU16(2184, 3);
    block[RamLayout::imageRecord(0)] = 1;
    ASSERT_TRUE(manager->waitChipReady(10));
    manager->startUp();
    EXPECT_EQ(chip().reg(SimScaler::Output, SimScaler::OutPanelW), 1920);
    EXPECT_EQ(chip().reg(SimScaler::Output, SimScaler::OutSplice), 1);
    EXPECT_EQ(chip().reg(SimScaler::Output, SimScaler::OutCh1 + 2), 960);
    EXPECT_EQ(chip().reg(SimScaler::Picture, SimScaler::PicContrast), 77);
    EXPECT_EQ(chip().reg(SimScaler::Picture, SimScaler::PicBrightness), 50);
    EXPECT_EQ(chip().reg(SimScaler::Picture, SimScaler::PicGainB), 10978);
    EXPECT_EQ(chip().reg(SimScaler::Window, SimScaler::WinEnable), 1);
    EXPECT_EQ(manager->windowCount(), 1);
}

TEST_F(C331Startup, StartUpWithTheOsdOnLoadsTheMenu)
{
    setU16(RamLayout::kOsdEnable, 1);
    ASSERT_TRUE(manager->waitChipReady(10));
    manager->startUp();
    EXPECT_EQ(osdReloads, 1);
    EXPECT_EQ(chip().reg(SimScaler::Osd, 0), 1);
}

TEST_F(C331Startup, ThreadBringsTheChipUpAndStops)
{
    chip().scriptChipId({0xFFFF});
    ASSERT_TRUE(manager->start());
    for (int i = 0; i < 1000000 && g_c331_source_online.load() != 1; ++i)
        std::this_thread::yield();
    manager->stop();
    EXPECT_TRUE(manager->chipReady());
    EXPECT_EQ(chip().initCount(), 1);
    EXPECT_EQ(g_c331_source_online.load(), 1);
}
