#include "StoreFixture.h"

#include "params/KelRamPara.h"

#include <cstring>

using namespace kel::test;

struct DealCase {
    uint32_t address;
    uint16_t length;
    int result;
};

void PrintTo(const DealCase& c, std::ostream* os)
{
    *os << "address 0x" << std::hex << c.address << std::dec << " length " << c.length;
}

class BlockWrite : public StoreFixture, public ::testing::WithParamInterface<DealCase> {};

TEST_P(BlockWrite, RefusesWritesPastTheBlockWithoutTouchingIt)
{
    const DealCase c = GetParam();
    std::vector<uint8_t> data(c.length, 0x5C);
    uint8_t before[4096];
    std::memcpy(before, store().RamBlock, sizeof before);
    EXPECT_EQ(c.result, store().KelRamParaDeal(data.data(), c.length, c.address));
    if (c.result != 0 || c.length == 0) {
        EXPECT_EQ(0, std::memcmp(before, store().RamBlock, sizeof before));
    } else {
        EXPECT_EQ(0x5C, store().RamBlock[c.address]);
        EXPECT_EQ(0x5C, store().RamBlock[c.address + c.length - 1]);
    }
}

INSTANTIATE_TEST_SUITE_P(Bounds, BlockWrite,
                         ::testing::Values(DealCase{4090, 6, 0}, DealCase{4090, 7, 1}, DealCase{4096, 0, 0},
                                           DealCase{4097, 0, 1}, DealCase{0, 4096, 0},
                                           DealCase{0xFFFFFFFFu, 2, 1}, DealCase{0xFFFFF000u, 0x1001, 1}));

class SlotWrite : public StoreFixture, public ::testing::WithParamInterface<DealCase> {};

TEST_P(SlotWrite, RefusesModesOutsideOneToSixteenAndWritesPastTheSlot)
{
    const DealCase c = GetParam();
    std::vector<uint8_t> data(c.length, 0x6D);
    std::vector<uint8_t> before(&store().UserModeSlot[0][0], &store().UserModeSlot[0][0] + 16 * 4098);
    EXPECT_EQ(c.result, store().KelModeUserRamParaDeal(data.data(), c.length, c.address));
    std::vector<uint8_t> after(&store().UserModeSlot[0][0], &store().UserModeSlot[0][0] + 16 * 4098);
    if (c.result != 0)
        EXPECT_EQ(before, after);
    else
        EXPECT_NE(before, after);
}

INSTANTIATE_TEST_SUITE_P(Bounds, SlotWrite,
                         ::testing::Values(DealCase{0x1000 + 4095, 3, 0}, DealCase{0x1000 + 4095, 4, 1},
                                           DealCase{0x10000, 1, 0}, DealCase{0x11000, 1, 1},
                                           DealCase{0x0800, 1, 1}, DealCase{0xFFFFFFFFu, 2, 1},
                                           DealCase{0x101000, 1, 1}));

TEST_F(StoreFixture, SlotWriteLandsInTheSlotAndTouchesNoFile)
{
    start();
    clearCommands();
    const uint8_t marker[2] = {0xAA, 0xAA};
    ASSERT_EQ(0, store().KelModeUserRamParaDeal(marker, 2, 0x3000));
    EXPECT_EQ(0xAA, store().UserModeSlot[2][0]);
    EXPECT_FALSE(fileExists("/data/modes/custom_mode3"));
    EXPECT_TRUE(commands().empty());
}
