#include "params/DefaultParaTable.h"
#include "params/RamLayout.h"

#include <gtest/gtest.h>

namespace {
uint16_t at(const uint8_t* block, size_t b) { return RamLayout::u16(block, b); }
} // namespace

TEST(DefaultParaTable, MarkerTailAndIndexOffset)
{
    EXPECT_EQ(0xAA, default_para_ramlist[0]);
    EXPECT_EQ(0xAA, default_para_ramlist[1]);
    for (size_t i = 3330; i < 4096; ++i)
        ASSERT_EQ(0, default_para_ramlist[i]) << i;
    // Index i is block byte i + 766: block byte 770 holds 100.
    EXPECT_EQ(100, default_para_ramlist[4]);
}

TEST(DefaultParaTable, CopyGivesTheListedFieldsAndLeavesTheLiveAreaAlone)
{
    uint8_t block[RamLayout::kBlockSize];
    std::fill(block, block + RamLayout::kBlockSize, 0x77);
    DefaultParaTable::copySavedAreaInto(block);
    EXPECT_EQ(0x77, block[767]);
    EXPECT_EQ(0, at(block, 768));
    EXPECT_EQ(100, at(block, 770));
    const uint16_t edid[6][3] = {{1920, 1080, 60}, {1920, 1080, 60}, {1920, 1080, 60},
                                 {1920, 1080, 60}, {3840, 2160, 60}, {3840, 2160, 60}};
    for (int s = 0; s < 6; ++s)
        for (int f = 0; f < 3; ++f)
            EXPECT_EQ(edid[s][f], at(block, 896 + 6 * s + 2 * f));
    EXPECT_EQ(1920, at(block, 1378));
    EXPECT_EQ(1080, at(block, 1380));
    EXPECT_EQ(1, at(block, 1386));
    EXPECT_EQ(1, at(block, 1388));
    EXPECT_EQ(1080, at(block, 1422));
    for (int r = 0; r < 64; ++r) {
        EXPECT_EQ(2, at(block, 1472 + 10 * r));
        EXPECT_EQ(r == 62 ? 0 : 1920, at(block, 1478 + 10 * r)) << r;
        EXPECT_EQ(1080, at(block, 1480 + 10 * r));
    }
    EXPECT_EQ(0, at(block, 2112));
    EXPECT_EQ(50, at(block, 2182));
    EXPECT_EQ(2, at(block, 2184));
    EXPECT_EQ(64, at(block, 2190));
    for (int j = 0; j < 15; ++j)
        EXPECT_EQ(j + 1, at(block, 2210 + 2 * j));
    EXPECT_EQ(1, at(block, 2270));
    const uint16_t selectors[6] = {2, 5, 3, 4, 1, 0};
    for (int w = 0; w < 6; ++w) {
        const size_t rec = 2272 + 26 * w;
        EXPECT_EQ(w == 0 ? 1 : 0, at(block, rec));
        EXPECT_EQ(selectors[w], at(block, rec + 8));
        EXPECT_EQ(1920, at(block, rec + 14));
        EXPECT_EQ(1080, at(block, rec + 16));
    }
    EXPECT_EQ(0, at(block, 2124));
    EXPECT_EQ(0, at(block, 4094));
}
