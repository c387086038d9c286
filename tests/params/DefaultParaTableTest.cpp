#include "params/DefaultParaTable.h"
#include "params/RamLayout.h"
#include "TypedDefaults.h"

#include <gtest/gtest.h>

// The copy helper's offset (table index = block byte - 766) checked at both
// ends of the saved area and on the fields whose stride is easy to get wrong.
TEST(DefaultParaTable, CopyPlacesTheTableAtBlockByte768)
{
    uint8_t block[RamLayout::kBlockSize];
    std::fill(block, block + RamLayout::kBlockSize, 0x77);
    DefaultParaTable::copySavedAreaInto(block);
    EXPECT_EQ(0x77, block[767]);
    EXPECT_EQ(0, RamLayout::u16(block, 768));
    EXPECT_EQ(100, RamLayout::u16(block, 770));
    EXPECT_EQ(60, RamLayout::u16(block, 914 + 4));
    EXPECT_EQ(3840, RamLayout::u16(block, 926));
    EXPECT_EQ(0, RamLayout::u16(block, 1478 + 10 * 62));
    EXPECT_EQ(1920, RamLayout::u16(block, 1478 + 10 * 63));
    EXPECT_EQ(15, RamLayout::u16(block, 2238));
    EXPECT_EQ(1, RamLayout::u16(block, 2272));
    EXPECT_EQ(0, RamLayout::u16(block, 2272 + 26 * 5 + 8));
    EXPECT_EQ(1080, RamLayout::u16(block, 2272 + 26 * 5 + 16));
    EXPECT_EQ(0, RamLayout::u16(block, 4094));
    for (size_t i = 3330; i < 4096; ++i)
        ASSERT_EQ(0, default_para_ramlist[i]) << i;
}

// Every row of the documented default table, typed in, against the table
// the program writes into a fresh ram_device_info.
TEST(DefaultParaTable, EveryEntryMatchesTheDocumentedTable)
{
    const std::vector<uint8_t> expected = kel::test::typedDefaultFile();
    for (size_t i = 0; i < 4096; ++i)
        ASSERT_EQ(int(expected[i]), int(default_para_ramlist[i])) << "table index " << i << ", block byte " << 766 + i;
}
