#include "FpgaFixture.h"

#include "ledout/LedGlobals.h"
#include "ledout/LedSize.h"
#include "ledout/fpga_manage.h"
#include "params/ApplyGate.h"
#include "params/KelRamPara.h"
#include "params/RamLayout.h"

#include <gtest/gtest.h>

#include <cstring>

namespace kel::test {
namespace {

using Dim = LedSize::Dimension;

TEST(LedSizeBound, EntriesGiveTheFieldTextsOfTheTable)
{
    struct Case {
        Dim dim;
        const char* entry;
        const char* partner;
        const char* edited;
        const char* partnerAfter;
    };
    const Case cases[] = {
        {Dim::Width, "63", "1080", "64", "1080"},
        {Dim::Width, "8188", "1080", "8188", "1080"},
        {Dim::Width, "8189", "1080", "8188", "1080"},
        {Dim::Width, "9000", "1281", "8188", "1280"},
        {Dim::Width, "9000", "1280", "8188", "1280"},
        {Dim::Width, "4096", "2600", "4096", "2560"},
        {Dim::Height, "2600", "5000", "2600", "5000"},
        {Dim::Height, "2601", "5000", "2601", "4998"},
        {Dim::Height, "9000", "1281", "8188", "1280"},
        {Dim::Width, "0100", "1080", "0100", "1080"},
        {Dim::Width, "", "1080", "64", "1080"},
        {Dim::Width, "99999999999", "1080", "64", "1080"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.entry) + " / " + c.partner);
        const LedSize::Texts t = LedSize::bound(c.dim, c.entry, c.partner);
        EXPECT_EQ(t.edited, c.edited);
        EXPECT_EQ(t.partner, c.partnerAfter);
    }
}

class LedSizeApply : public FpgaFixture {
protected:
    uint16_t block(size_t off) { return store().blockU16(off); }
    void setRunning(bool running)
    {
        m().reg_images[0][fpga_manage::FPGA_REG_STATE] = running ? fpga_manage::kStateRunning : 0;
    }
};

TEST_F(LedSizeApply, NewSizeWritesTheBlockFillsWindowZeroAndHandsOverWhileTheFpgaRuns)
{
    for (bool running : {false, true}) {
        SCOPED_TRACE(running);
        store().setBlockU16(RamLayout::kLedWidth, 1920);
        store().setBlockU16(RamLayout::kLedHeight, 1080);
        std::memcpy(store().RamShadow, store().RamBlock, RamLayout::kBlockSize);
        for (int w = 0; w < 6; ++w)
            store().setBlockU16(RamLayout::imageRecord(w), 1);
        g_set_led_para = 0;
        g_set_led_setup = 7;
        ApplyGate::instance().c331_apply_flag = 0;
        setRunning(running);

        EXPECT_TRUE(LedSize::apply(1024, 512));
        EXPECT_EQ(block(1376), 0);
        EXPECT_EQ(block(1378), 1024);
        EXPECT_EQ(block(1380), 512);
        for (size_t och : {size_t(1408), size_t(1416)}) {
            EXPECT_EQ(block(och), 0);
            EXPECT_EQ(block(och + 2), 0);
            EXPECT_EQ(block(och + 4), 1024);
            EXPECT_EQ(block(och + 6), 512);
        }
        EXPECT_EQ(block(2272), 1) << "window 0 keeps its on word";
        EXPECT_EQ(block(2282), 0);
        EXPECT_EQ(block(2284), 0);
        EXPECT_EQ(block(2286), 1024);
        EXPECT_EQ(block(2288), 512);
        for (size_t on : {2298, 2324, 2350, 2376, 2402})
            EXPECT_EQ(block(on), 0) << on;
        EXPECT_EQ(g_set_led_para, running ? 1 : 0);
        EXPECT_EQ(g_set_led_setup, running ? 0 : 7);
        EXPECT_EQ(ApplyGate::instance().c331_apply_flag, 1);
    }
}

TEST_F(LedSizeApply, TheSameSizeAgainTouchesNoWindowAndHandsNothingOver)
{
    setRunning(true);
    store().setBlockU16(RamLayout::kLedWidth, 1920);
    store().setBlockU16(RamLayout::kLedHeight, 1080);
    store().setBlockU16(RamLayout::kOch1Window + 4, 77);
    std::memcpy(store().RamShadow, store().RamBlock, RamLayout::kBlockSize);
    store().setBlockU16(RamLayout::imageRecord(3), 1);
    g_set_led_para = 0;
    ApplyGate::instance().c331_apply_flag = 0;

    EXPECT_FALSE(LedSize::apply(1920, 1080));
    EXPECT_EQ(block(RamLayout::kOch1Window + 4), 1920) << "the channel windows are still rewritten";
    EXPECT_EQ(block(RamLayout::imageRecord(3)), 1);
    EXPECT_EQ(g_set_led_para, 0);
    EXPECT_EQ(ApplyGate::instance().c331_apply_flag, 1);
}

TEST_F(LedSizeApply, AStoredSizeOutsideTheFieldsIsBroughtIntoRangeNotAppliedAsZero)
{
    EXPECT_TRUE(LedSize::apply(40000, 20));
    EXPECT_EQ(block(RamLayout::kLedWidth), 8188);
    EXPECT_EQ(block(RamLayout::kLedHeight), 64);
}

// A new size is posted only when no hand-over is in progress and the scaler
// has not programmed it yet: a later apply must not restart the blanking
// (and clear the word) after the scaler's part of the hand-over is done.
TEST_F(LedSizeApply, AHandOverInProgressOrAnAlreadyProgrammedSizeIsNotPostedAgain)
{
    setRunning(true);
    const struct {
        uint8_t para;
        bool programmed;
        uint8_t expectPara, expectSetup;
    } cases[] = {
        {0, false, 1, 0},
        {0, true, 0, 2},
        {1, false, 1, 2},   // blanking under way: not restarted
        {2, false, 2, 2},   // the scaler is done, the reset not yet taken
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.para * 10 + c.programmed);
        store().setBlockU16(RamLayout::kLedWidth, 1920);
        LedSize::noteProgrammed(store().RamBlock);
        store().setBlockU16(RamLayout::kLedWidth, c.programmed ? 1920 : 1024);
        g_set_led_para = c.para;
        g_set_led_setup = 2;
        LedSize::handOver();
        EXPECT_EQ(g_set_led_para, c.expectPara);
        EXPECT_EQ(g_set_led_setup, c.expectSetup);
    }
    // Later tests in this program start from a size no one applies.
    store().setBlockU16(RamLayout::kLedWidth, 77);
    LedSize::noteProgrammed(store().RamBlock);
    g_set_led_para = 0;
}

} // namespace
} // namespace kel::test
