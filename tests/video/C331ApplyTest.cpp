#include "params/SyncReason.h"
#include "params/global.h"
#include "platform/Sleeper.h"
#include "video/ScalerBench.h"

#include <cstring>
#include <functional>

using kel::platform::sim::SimScaler;

namespace {

constexpr size_t kBright = 2176, kContrast = 2178, kSharpness = 2180, kSaturation = 2182;
constexpr size_t kColorType = 2184, kRed = 2186, kGreen = 2188, kBlue = 2190;
constexpr size_t kScreenSwitch = 2116, kAudioIndex = 2112;

class C331Apply : public kel::test::ScalerBench {
protected:
    void SetUp() override
    {
        ScalerBench::SetUp();
        bringUp();
    }
    std::vector<uint16_t> gains()
    {
        return {chip().reg(SimScaler::Picture, SimScaler::PicGainR), chip().reg(SimScaler::Picture, SimScaler::PicGainG),
                chip().reg(SimScaler::Picture, SimScaler::PicGainB)};
    }
};

} // namespace

TEST_F(C331Apply, ColourTemperatureGivesItsGains)
{
    struct Case { uint16_t type, red, green, blue; std::vector<uint16_t> gains; };
    const Case cases[] = {
        {1, 0, 0, 0, {8845, 8113, 7056}},
        {3, 0, 0, 0, {6944, 8282, 10978}},
        {2, 0, 0, 0, {8192, 8192, 8192}},
        {0, 100, 50, 0, {6400, 3200, 0}},
        {0, 255, 200, 1, {16320, 12800, 64}},
        {4 | 1, 0, 0, 0, {8845, 8113, 7056}},   // only the low two bits select
    };
    for (const Case& c : cases) {
        pthread_mutex_lock(&mutex);
        setU16(kColorType, c.type);
        setU16(kRed, c.red);
        setU16(kGreen, c.green);
        setU16(kBlue, c.blue);
        flag = 1;
        pthread_mutex_unlock(&mutex);
        manager->runPass();
        EXPECT_EQ(gains(), c.gains) << "type " << c.type;
    }
}

TEST_F(C331Apply, OnePassWritesTheGainsOnceAnnouncesOnceAndClearsTheFlag)
{
    pthread_mutex_lock(&mutex);
    setU16(kColorType, 0);
    setU16(kRed, 10);
    setU16(kGreen, 20);
    flag = 1;
    pthread_mutex_unlock(&mutex);
    manager->runPass();
    manager->runPass();
    EXPECT_EQ(writesTo(SimScaler::Picture, SimScaler::PicGainR), 1);
    EXPECT_EQ(writesTo(SimScaler::Picture, SimScaler::PicGainB), 1);
    EXPECT_EQ(announced, std::vector<int>{SYNC_PARA});
    EXPECT_EQ(flag.load(), 0);
}

TEST_F(C331Apply, FlagTwoAnnouncesUserMode)
{
    handOff(kContrast, 30, 2);
    manager->runPass();
    EXPECT_EQ(announced, std::vector<int>{SYNC_USER_MODE});
}

TEST_F(C331Apply, NothingHappensWithoutTheFlag)
{
    setU16(kContrast, 30);
    manager->runPass();
    EXPECT_EQ(writesTo(SimScaler::Picture, SimScaler::PicContrast), 0);
    EXPECT_TRUE(announced.empty());
}

TEST_F(C331Apply, PictureWordsReachTheChipAndBrightnessGoesToTheLeds)
{
    pthread_mutex_lock(&mutex);
    setU16(kContrast, 61);
    setU16(kSharpness, 62);
    setU16(kSaturation, 63);
    setU16(kBright, 90);
    flag = 1;
    pthread_mutex_unlock(&mutex);
    manager->runPass();
    EXPECT_EQ(chip().reg(SimScaler::Picture, SimScaler::PicContrast), 61);
    EXPECT_EQ(chip().reg(SimScaler::Picture, SimScaler::PicSharpness), 62);
    EXPECT_EQ(chip().reg(SimScaler::Picture, SimScaler::PicSaturation), 63);
    EXPECT_EQ(chip().reg(SimScaler::Picture, SimScaler::PicBrightness), 50);
    EXPECT_EQ(writesTo(SimScaler::Picture, SimScaler::PicBrightness), 1);
    EXPECT_EQ(brightnessRequests, 1);
    EXPECT_EQ(outputRequests, 0);
}

TEST_F(C331Apply, ScreenSwitchRaisesTheOutputRequest)
{
    handOff(kScreenSwitch, 1);
    manager->runPass();
    EXPECT_EQ(outputRequests, 1);
    EXPECT_EQ(brightnessRequests, 0);
}

TEST_F(C331Apply, EveryChangedEdidRecordGetsItsRestartOnePerPass)
{
    pthread_mutex_lock(&mutex);
    setU16(RamLayout::edidRecord(1), 1280);
    setU16(RamLayout::edidRecord(4) + 4, 50);
    flag = 1;
    pthread_mutex_unlock(&mutex);
    manager->runPass();
    EXPECT_EQ(restarts, std::vector<int>{1});
    manager->runPass();
    EXPECT_EQ(restarts, (std::vector<int>{1, 4}));
    manager->runPass();
    EXPECT_EQ(restarts.size(), 2u);
}

TEST_F(C331Apply, PendingHostEdidRestartsItsInput)
{
    peers.edidUploadPending = [](int k) { return k == 2; };
    manager = std::make_unique<c331_manage>(peers);
    ASSERT_TRUE(manager->openDevice());
    manager->startUp();
    handOff(kContrast, 1);
    manager->runPass();
    EXPECT_EQ(restarts, std::vector<int>{2});
}

TEST_F(C331Apply, AudioWindowInputOrAudioBytesRaiseTheAudioRoute)
{
    struct Case { const char* what; size_t off; uint16_t value; int expected; };
    const size_t rec0 = RamLayout::imageRecord(0), rec3 = RamLayout::imageRecord(3);
    const Case cases[] = {
        {"input of the audio window", rec0 + RamLayout::kImgSelector, 2, 1},
        {"volume of a window", rec3 + 20, 40, 1},
        {"audio on of a window", rec3 + 20, 0x8000 | 40, 1},
        {"input of another window", rec3 + RamLayout::kImgSelector, 5, 0},
        {"audio window index beyond 5 means window 0", kAudioIndex, 9, 0},
    };
    for (const Case& c : cases) {
        audioRequests = 0;
        handOff(c.off, c.value);
        manager->runPass();
        EXPECT_EQ(audioRequests, c.expected) << c.what;
    }
}

TEST_F(C331Apply, InputPassProgramsTimingsAndMarksTheScalerOnline)
{
    peers.readInput = [](int k, SourceHdmiInfo& info) {
        if (k == 2) {
            info.signal = 0;
            info.Hact = 1920;
            info.Vact = 1080;
            info.Htotal = 2200;
            info.Vtotal = 1125;
            info.pfreq = 148.5f;
            info.IP = 0;
        }
        return true;
    };
    manager = std::make_unique<c331_manage>(peers);
    ASSERT_TRUE(manager->openDevice());
    EXPECT_EQ(g_c331_source_online.load(), 0);
    manager->runPass();
    EXPECT_EQ(g_c331_source_online.load(), 1);
    const int base = 2 * SimScaler::InPortStride;
    EXPECT_EQ(chip().reg(SimScaler::Input, base), 1920);
    EXPECT_EQ(chip().reg(SimScaler::Input, base + 3), 1125);
    EXPECT_EQ(chip().reg(SimScaler::Input, base + 4), 14850);
    EXPECT_EQ(chip().reg(SimScaler::Input, base + 5), 1);
    chip().clearWrites();
    manager->runPass();
    EXPECT_TRUE(chip().writes().empty());
}

TEST_F(C331Apply, TestPatternDrawsOnceAndNotWithTwoWindows)
{
    handOff(RamLayout::kTestPattern, 6);
    manager->runPass();
    EXPECT_EQ(chip().reg(SimScaler::Picture, SimScaler::PicPattern), 6);
    handOff(RamLayout::kTestPattern, 6);
    manager->runPass();
    EXPECT_EQ(writesTo(SimScaler::Picture, SimScaler::PicPattern), 1);
    handOff(RamLayout::kTestPattern, 0);
    manager->runPass();
    EXPECT_EQ(chip().reg(SimScaler::Picture, SimScaler::PicPattern), 0);

    pthread_mutex_lock(&mutex);
    block[RamLayout::imageRecord(0)] = 1;
    block[RamLayout::imageRecord(1)] = 1;
    setU16(RamLayout::kTestPattern, 3);
    flag = 1;
    pthread_mutex_unlock(&mutex);
    manager->runPass();
    EXPECT_EQ(manager->windowCount(), 2);
    EXPECT_EQ(chip().reg(SimScaler::Picture, SimScaler::PicPattern), 0);
    EXPECT_EQ(manager->c331_SetPattern(1), -1);
}

TEST_F(C331Apply, WindowsFollowTheirRecordsAndCrops)
{
    const size_t rec = RamLayout::imageRecord(1);
    const size_t row = RamLayout::cropRow(7);
    pthread_mutex_lock(&mutex);
    block[rec] = 1;
    setU16(rec + 4, 2);
    setU16(rec + RamLayout::kImgSelector, RamLayout::kSelectorCrop | 7);
    setU16(row, RamLayout::kRowInUse | 3);
    setU16(row + 2, 100);
    setU16(row + 8, 540);
    setU16(rec + RamLayout::kImgX, 10);
    setU16(rec + RamLayout::kImgW, 640);
    setU16(rec + RamLayout::kImgFlags, RamLayout::kFlagFreeze | RamLayout::kFlagPointToPoint);
    setU16(2816 + 4, 60);
    flag = 1;
    pthread_mutex_unlock(&mutex);
    manager->runPass();
    const int w = SimScaler::WinStride;
    EXPECT_EQ(chip().reg(SimScaler::Window, w + SimScaler::WinEnable), 1);
    EXPECT_EQ(chip().reg(SimScaler::Window, w + SimScaler::WinSource), 3);
    EXPECT_EQ(chip().reg(SimScaler::Window, w + SimScaler::WinCrop), 100);
    EXPECT_EQ(chip().reg(SimScaler::Window, w + SimScaler::WinCrop + 3), 540);
    EXPECT_EQ(chip().reg(SimScaler::Window, w + SimScaler::WinPos + 2), 640);
    EXPECT_EQ(chip().reg(SimScaler::Window, w + SimScaler::WinMirror), 2);
    EXPECT_EQ(chip().reg(SimScaler::Window, w + SimScaler::WinFlags), 2);
    EXPECT_EQ(chip().reg(SimScaler::Window, w + SimScaler::WinP2p), 1);
    EXPECT_EQ(chip().reg(SimScaler::Window, w + SimScaler::WinFadeIn), 60);
    // Start-up committed once; the change commits once, rewriting only window 1.
    EXPECT_EQ(chip().windowCommits(), 2);
    EXPECT_EQ(writesTo(SimScaler::Window, w + SimScaler::WinEnable), 1);
    EXPECT_EQ(writesTo(SimScaler::Window, SimScaler::WinEnable), 0);
}

TEST_F(C331Apply, ABroadcastBeforeTheApplyPassDoesNotLoseTheChange)
{
    uint8_t shadow[RamLayout::kBlockSize];
    handOff(kContrast, 44);
    // The persistence pass copies the block into the shadow on any
    // broadcast, here one from the input side, before the chip is served.
    std::memcpy(shadow, block, sizeof shadow);
    manager->runPass();
    EXPECT_EQ(chip().reg(SimScaler::Picture, SimScaler::PicContrast), 44);
}

TEST_F(C331Apply, LedSizeWaitsForTheFpgaSideThenHandsOver)
{
    int polls = 0, appliesWhileWaiting = -1, heldWhileWaiting = 0;
    const int appliesBefore = chip().panelApplies();
    peers.ledParaState = [&]() -> uint8_t {
        if (++polls < 5) {
            appliesWhileWaiting = chip().panelApplies();
            // The first look is under the mutex; the wait runs without it,
            // so the links and the GUI thread can go on writing.
            if (polls > 1 && pthread_mutex_trylock(&mutex) == 0)
                pthread_mutex_unlock(&mutex);
            else if (polls > 1)
                ++heldWhileWaiting;
            return 1;
        }
        return 0;
    };
    manager = std::make_unique<c331_manage>(peers);
    ASSERT_TRUE(manager->openDevice());
    manager->startUp();
    const int afterStart = chip().panelApplies();
    handOff(RamLayout::kLedWidth, 1024);
    manager->runPass();
    EXPECT_GT(afterStart, appliesBefore);
    EXPECT_EQ(appliesWhileWaiting, afterStart);
    EXPECT_EQ(chip().panelApplies(), afterStart + 1);
    EXPECT_EQ(chip().reg(SimScaler::Output, SimScaler::OutPanelW), 1024);
    EXPECT_EQ(ledParaDone, 1);
    EXPECT_EQ(heldWhileWaiting, 0);
}

TEST_F(C331Apply, LedSizeWaitEndsWithoutAnFpgaSideAndFreesTheMutex)
{
    peers.ledParaState = []() -> uint8_t { return 1; };
    manager = std::make_unique<c331_manage>(peers);
    ASSERT_TRUE(manager->openDevice());
    manager->startUp();
    handOff(RamLayout::kSpliceMode, 2);
    manager->runPass();
    EXPECT_EQ(chip().reg(SimScaler::Output, SimScaler::OutSplice), 2);
    EXPECT_EQ(ledParaDone, 1);
    EXPECT_EQ(pthread_mutex_trylock(&mutex), 0);
    pthread_mutex_unlock(&mutex);
    EXPECT_EQ(announced, std::vector<int>{SYNC_PARA});
}

// The FPGA side never clears the word (on a stop it may be gone already):
// the manager's stop or the program's ends the wait at the next look, and
// the pass programs the new size as after the bounded wait.
TEST_F(C331Apply, LedSizeWaitEndsOnAStop)
{
    struct Case {
        const char* name;
        std::function<void(c331_manage&)> stop;
    };
    const Case cases[] = {
        {"program", [](c331_manage&) { kel::platform::Sleeper::requestStop(); }},
        {"manager", [](c331_manage& m) { m.stop(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int polls = 0;
        peers.ledParaState = [&]() -> uint8_t {
            if (++polls == 3)
                c.stop(*manager);
            return 1;
        };
        manager = std::make_unique<c331_manage>(peers);
        ASSERT_TRUE(manager->openDevice());
        manager->startUp();
        handOff(RamLayout::kLedWidth, 1024);
        manager->runPass();
        kel::platform::Sleeper::clearStop();
        EXPECT_EQ(polls, 3);
        EXPECT_EQ(chip().reg(SimScaler::Output, SimScaler::OutPanelW), 1024);
        EXPECT_EQ(pthread_mutex_trylock(&mutex), 0);
        pthread_mutex_unlock(&mutex);
        setU16(RamLayout::kLedWidth, 1920);
    }
}

TEST_F(C331Apply, UnrelatedChangesDoNotTouchThePanel)
{
    const int applies = chip().panelApplies();
    handOff(kContrast, 5);
    manager->runPass();
    EXPECT_EQ(chip().panelApplies(), applies);
    EXPECT_EQ(ledParaDone, 0);
}
