#include "StoreFixture.h"

#include "params/ApplyGate.h"
#include "params/KelRamPara.h"
#include "params/RamLayout.h"
#include "params/global.h"

#include <cstring>

using namespace kel::test;

namespace {

class StoreOps : public StoreFixture {
protected:
    void SetUp() override
    {
        StoreFixture::SetUp();
        start();
        std::memcpy(bitmapBefore, g_cut_source_state, sizeof bitmapBefore);
    }
    uint8_t flag() const { return ApplyGate::instance().c331_apply_flag.load(); }
    void clearFlag() { ApplyGate::instance().c331_apply_flag = 0; }
    uint16_t rowSelector(int r) { return store().blockU16(RamLayout::cropRow(r)); }
    void setRow(int r, uint16_t sel) { store().setBlockU16(RamLayout::cropRow(r), sel); }
    uint16_t windowSelector(int w) { return store().blockU16(RamLayout::imageRecord(w) + 8); }
    uint16_t windowFlags(int w) { return store().blockU16(RamLayout::imageRecord(w) + 18); }

    uint8_t bitmapBefore[30];
    const CROP_PARA rect{0, 10, 20, 640, 360};
};

} // namespace

TEST_F(StoreOps, NoCropsGiveNoIdAndFirstFreeNumberOne)
{
    EXPECT_EQ(0, store().KelGetCropID(2, 1));
    EXPECT_EQ(1, store().KelAddCropID(2));
    int row = -1;
    CROP_PARA para{7, 7, 7, 7, 7};
    store().KelGetCropPara(2, 1, &para, &row);
    EXPECT_EQ(40, row);
    EXPECT_EQ(7, para.x);
}

TEST_F(StoreOps, AddDeleteAndRebuildGiveTheCropSelectors)
{
    setRow(0, 0x8001);   // a crop of source 1 already in row 0
    store().KelCropSourceInit();
    for (int i = 0; i < 3; ++i) {
        clearFlag();
        ASSERT_EQ(0, store().KelAddNewCrop(2, &rect));
        EXPECT_EQ(1, flag());
        store().KelCropSourceInit();
    }
    EXPECT_EQ(0x8002, rowSelector(1));
    EXPECT_EQ(0x8102, rowSelector(2));
    EXPECT_EQ(0x8202, rowSelector(3));
    EXPECT_EQ(640, store().blockU16(RamLayout::cropRow(2) + 6));
    // Source 2, crop 1 is bit 80: byte 10, bit 0.
    EXPECT_EQ(0x07, g_cut_source_state[10]);

    store().KelDeleteCrop(2, 2);
    EXPECT_EQ(0, rowSelector(2));
    EXPECT_EQ(640, store().blockU16(RamLayout::cropRow(2) + 6));
    store().KelCropSourceInit();
    EXPECT_EQ(2, store().KelAddCropID(2));
    EXPECT_EQ(3, store().KelGetCropID(2, 2));

    CROP_PARA para{};
    int row = -1;
    store().KelGetCropPara(2, 2, &para, &row);
    EXPECT_EQ(3, row);
    EXPECT_EQ(0x8202, para.selector);
    EXPECT_EQ(20, para.y);
}

TEST_F(StoreOps, WithoutRebuildEveryAddReusesCropNumberOne)
{
    store().KelAddNewCrop(4, &rect);
    store().KelAddNewCrop(4, &rect);
    EXPECT_EQ(0x8004, rowSelector(0));
    EXPECT_EQ(0x8004, rowSelector(1));
}

TEST_F(StoreOps, CropNumbersAboveFortyNeverReachTheBitmap)
{
    setRow(0, 0xFF05);   // source 5, crop number 128
    setRow(1, 0xA800);   // source 0, crop number 41
    setRow(2, 0x8007);   // source 7 does not exist
    // Source 5 with number 128 would set a bit of byte 40 (sanitizer build).
    store().KelCropSourceInit();
    for (uint8_t b : g_cut_source_state)
        EXPECT_EQ(0, b);
}

TEST_F(StoreOps, FortyFirstCropOfOneInputIsRefused)
{
    for (int i = 0; i < 40; ++i) {
        ASSERT_EQ(0, store().KelAddNewCrop(3, &rect)) << i;
        store().KelCropSourceInit();
    }
    EXPECT_EQ(0, store().KelAddCropID(3));
    uint8_t before[4096];
    std::memcpy(before, store().RamBlock, sizeof before);
    EXPECT_NE(0, store().KelAddNewCrop(3, &rect));
    // Another input finds every row in use: refused with its crop number.
    EXPECT_EQ(1, store().KelAddNewCrop(1, &rect));
    EXPECT_EQ(0, std::memcmp(before, store().RamBlock, sizeof before));
}

TEST_F(StoreOps, SetCropParaWritesTheRectThroughTheHandOff)
{
    store().KelAddNewCrop(1, &rect);
    store().KelCropSourceInit();
    clearFlag();
    const CROP_PARA moved{0x1234, 1, 2, 3, 4};
    store().KelSetCropPara(1, 1, &moved);
    EXPECT_EQ(0x8001, rowSelector(0));
    EXPECT_EQ(3, store().blockU16(RamLayout::cropRow(0) + 6));
    EXPECT_EQ(1, flag());
}

TEST_F(StoreOps, DeletingAShownCropMovesItsWindowsToTheInputInOneHandOff)
{
    for (int i = 0; i < 2; ++i) {
        store().KelAddNewCrop(4, &rect);
        store().KelCropSourceInit();
    }
    store().setBlockU16(RamLayout::imageRecord(0) + 8, 0x8001);   // crop 2 of HDMI3
    store().setBlockU16(RamLayout::imageRecord(3) + 8, 0x8701);   // row 1 too: bits 8-14 name nothing
    store().setBlockU16(RamLayout::imageRecord(1) + 8, 0x8000);   // crop 1 stays
    clearFlag();
    store().KelDeleteCrop(4, 2);
    EXPECT_EQ(0, rowSelector(1));
    EXPECT_EQ(4, windowSelector(0));
    EXPECT_EQ(4, windowSelector(3));
    EXPECT_EQ(0x8000, windowSelector(1));
    EXPECT_EQ(1, flag());
}

TEST_F(StoreOps, RankOfIsTheEntryOfACropNumber)
{
    // HDMI1 with crops 1 and 3 (row order 3, 1), HDMI2 with crop 1.
    setRow(0, 0x8202);
    setRow(1, 0x8003);
    setRow(2, 0x8002);
    store().KelCropSourceInit();
    CropTable table(store().RamBlock, g_cut_source_state);
    const struct {
        int source, cropNumber, rank;
    } cases[] = {{2, 1, 1}, {2, 3, 2}, {2, 2, 0}, {3, 1, 1}, {3, 2, 0}, {2, 0, 0}, {2, 41, 0}, {6, 1, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.rank, table.rankOf(c.source, c.cropNumber)) << c.source << "/" << c.cropNumber;
        if (c.rank) {
            EXPECT_EQ(c.cropNumber, table.cropId(c.source, c.rank));
        }
    }
}

TEST_F(StoreOps, SourceChoiceUsesTheCropRowOrStaysUncropped)
{
    store().KelAddNewCrop(2, &rect);
    store().KelCropSourceInit();
    store().KelSetImageSource(1, 2, 1);
    EXPECT_EQ(0x8000, windowSelector(1));
    short isCrop = 0;
    uint8_t row = 99;
    EXPECT_EQ(2, store().KelGetImageSource(store().RamBlock, 1, &isCrop, &row, 0));
    EXPECT_EQ(1, isCrop);
    EXPECT_EQ(0, row);

    // A crop that does not exist: the input itself, not input 0.
    store().KelSetImageSource(5, 3, 1);
    EXPECT_EQ(3, windowSelector(1));
    EXPECT_EQ(3, store().KelGetImageSource(store().RamBlock, 1, &isCrop, &row, 0));
    EXPECT_EQ(0, isCrop);
}

TEST_F(StoreOps, OutOfRangeWindowsAndSourcesChangeNothing)
{
    uint8_t before[4096];
    std::memcpy(before, store().RamBlock, sizeof before);
    clearFlag();
    store().KelSetImageSource(0, 2, 6);
    store().KelSetImageSource(0, 2, 127);
    store().KelSetImageSource(0, 6, 0);
    store().KelSetEDIDPara(6, 1, 2, 3);
    store().KelSetEDIDPara(255, 1, 2, 3);
    store().KelDeleteCrop(9, 1);
    g_image_current = 9;
    store().KelSetImageBlack();
    store().KelSetImageFreeze();
    EXPECT_EQ(0, std::memcmp(before, store().RamBlock, sizeof before));
    EXPECT_EQ(0, flag());
    EXPECT_EQ(0, store().KelGetCropID(6, 1));
    EXPECT_EQ(0, store().KelAddCropID(30));
    EXPECT_EQ(0, store().KelGetImageSource(store().RamBlock, 6, nullptr, nullptr, 0));
}

TEST_F(StoreOps, SourceChoiceClearsTheUserModeOnlyWhenItMatchesTheShadow)
{
    store().setBlockU16(RamLayout::kCurrentUserMode, 4);
    store().KelSetImageSource(0, 1, 0);
    EXPECT_EQ(4, store().blockU16(RamLayout::kCurrentUserMode));
    std::memcpy(store().RamShadow, store().RamBlock, 4096);
    store().KelSetImageSource(0, 2, 0);
    EXPECT_EQ(0, store().blockU16(RamLayout::kCurrentUserMode));
    EXPECT_EQ(1, flag());
}

TEST_F(StoreOps, FreezeTogglesOnlyEnabledWindowsButBlackAlways)
{
    g_image_current = 0;
    clearFlag();
    store().KelSetImageFreeze();
    EXPECT_EQ(RamLayout::kFlagFreeze, windowFlags(0));
    EXPECT_EQ(1, flag());
    store().KelSetImageFreeze();
    EXPECT_EQ(0, windowFlags(0));

    g_image_current = 2;   // disabled
    clearFlag();
    store().KelSetImageFreeze();
    EXPECT_EQ(0, windowFlags(2));
    EXPECT_EQ(1, flag());
    store().KelSetImageBlack();
    EXPECT_EQ(RamLayout::kFlagBlack, windowFlags(2));
}

TEST_F(StoreOps, EdidParaIsStoredAndApplied)
{
    clearFlag();
    store().KelSetEDIDPara(5, 1280, 720, 50);
    EXPECT_EQ(1280, store().blockU16(926));
    EXPECT_EQ(720, store().blockU16(928));
    EXPECT_EQ(50, store().blockU16(930));
    EXPECT_EQ(1, flag());
}

TEST_F(StoreOps, SourceIsOnFollowsEnabledWindowsAndCrops)
{
    // Window 0 shows input 2; the others are disabled.
    EXPECT_EQ(1, store().KelSourceId_is_on(2));
    EXPECT_EQ(0, store().KelSourceId_is_on(5));
    store().KelAddNewCrop(5, &rect);
    store().KelCropSourceInit();
    store().KelSetImageSource(1, 5, 0);
    EXPECT_EQ(1, store().KelSourceId_is_on(5));
    store().KelSetImageSource(0, 0, 0);
    EXPECT_EQ(1, store().KelSourceId_is_on(0));
}

TEST_F(StoreOps, SourceNumCountsRowsOfOneSourceUpToForty)
{
    setRow(0, 0x8002);
    setRow(3, 0x8102);
    setRow(39, 0x8202);
    setRow(40, 0x8302);   // past the crop table
    EXPECT_EQ(1, store().KelGetSourceNum(2, 1));
    EXPECT_EQ(3, store().KelGetSourceNum(2, 40));
    EXPECT_EQ(3, store().KelGetSourceNum(2, 200));
    EXPECT_EQ(0, store().KelGetSourceNum(2, 0));
}

TEST_F(StoreOps, LanguageChangeFallsBackToAnOfferedLanguage)
{
    g_lcd_lang_valid = 0x1001B;
    store().setBlockU16(RamLayout::kLcdLanguage, 2);
    EXPECT_EQ(1, store().KelLanguageChanged());
    EXPECT_EQ(0, store().blockU16(RamLayout::kLcdLanguage));
    EXPECT_EQ(0, g_language);
    std::memcpy(store().RamShadow, store().RamBlock, 4096);
    EXPECT_EQ(0, store().KelLanguageChanged());

    store().setBlockU16(RamLayout::kLcdLanguage, 4);
    EXPECT_EQ(1, store().KelLanguageChanged());
    EXPECT_EQ(4, g_language);

    g_lcd_lang_valid = 0;
    store().setBlockU16(RamLayout::kLcdLanguage, 200);
    EXPECT_EQ(1, store().KelLanguageChanged());
    EXPECT_EQ(1, g_language);
}

struct IndexCase {
    std::vector<int> saved;
    int current;
    int direction;
    int expected;
};

void PrintTo(const IndexCase& c, std::ostream* os)
{
    *os << "current " << c.current << " direction " << c.direction;
}

class ModeIndex : public StoreFixture, public ::testing::WithParamInterface<IndexCase> {};

TEST_P(ModeIndex, FindsTheSavedSlotInTheGivenDirection)
{
    const IndexCase c = GetParam();
    for (int slot : c.saved)
        store().UserModeSlot[slot][0] = store().UserModeSlot[slot][1] = 0xAA;
    EXPECT_EQ(c.expected, store().KelUserModeIndex(c.current, c.direction));
}

INSTANTIATE_TEST_SUITE_P(Cases, ModeIndex,
                         ::testing::Values(IndexCase{{1}, 3, 1, 1}, IndexCase{{}, 3, 1, 256},
                                           IndexCase{{15}, 15, 1, 15}, IndexCase{{0}, 0, 0, 0},
                                           IndexCase{{3}, 3, 2, 3}, IndexCase{{3}, 3, 3, 256},
                                           IndexCase{{2, 7}, 5, 0, 2}, IndexCase{{7}, 5, 0, 7},
                                           IndexCase{{4}, -1, 1, 4}, IndexCase{{4}, 16, 0, 4},
                                           IndexCase{{9}, 20, 2, 9}));

TEST_F(StoreFixture, CurrentModeIndexUsesTheLowByteUpToSixteen)
{
    store().setBlockU16(RamLayout::kCurrentUserMode, 17);
    EXPECT_EQ(0, store().KelGetCurrentModeIndex());
    store().setBlockU16(RamLayout::kCurrentUserMode, 0x0103);
    EXPECT_EQ(3, store().KelGetCurrentModeIndex());
    store().setBlockU16(RamLayout::kCurrentUserMode, 16);
    EXPECT_EQ(16, store().KelGetCurrentModeIndex());
    EXPECT_EQ(0, store().KelUserModeSaved(16));
    EXPECT_EQ(0, store().KelUserModeSaved(-1));
}
