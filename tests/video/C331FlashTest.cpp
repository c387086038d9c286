#include "platform/Board.h"
#include "video/ScalerBench.h"

#include <fstream>

using kel::platform::sim::SimScaler;

namespace {

class C331Flash : public kel::test::ScalerBench {
protected:
    void SetUp() override
    {
        ScalerBench::SetUp();
        bringUp();
    }
    void putHead(uint32_t addr) { chip().flash().poke(addr, {'P', 0, 0, 0, 0, 1}); }
};

} // namespace

TEST_F(C331Flash, FontBitsAndRegister43KeepTheirOwnOrders)
{
    struct Case { std::vector<uint32_t> heads; uint32_t bits; uint8_t reg43; };
    const Case cases[] = {
        {{}, 0x0, 0x00},
        {{0x000000}, 0x2, 0x01},
        {{0x010000}, 0x1, 0x02},
        {{0x410000}, 0x8, 0x54},
        {{0x450000}, 0x4, 0xA8},
        {{0x000000, 0x450000}, 0x6, 0xA9},
        {{0x000000, 0x010000, 0x410000, 0x450000}, 0xF, 0xFF},
    };
    for (const Case& c : cases) {
        for (uint32_t addr : {0x000000u, 0x010000u, 0x410000u, 0x450000u})
            chip().flash().poke(addr, {0xFF});
        for (uint32_t addr : c.heads)
            putHead(addr);
        regBank[43] = 0;
        EXPECT_EQ(manager->read_c331_font(manager->c331_dev_index), 0);
        EXPECT_EQ(manager->c331_font_bits.load(), c.bits) << c.heads.size();
        EXPECT_EQ(regBank[43], c.reg43) << c.heads.size();
    }
}

TEST_F(C331Flash, FontsOnAFlashPreloadedFromTheRootAreFoundAtStartUp)
{
    std::vector<char> image(0x410000 + 35, char(0xFF));
    image[0x410000] = 'P';
    {
        std::ofstream out(hostPath("/sim/scaler_flash.bin"), std::ios::binary);
        out.write(image.data(), std::streamsize(image.size()));
    }
    // A fresh board on the same root picks the file up.
    kel::platform::Board::initSim(root());
    peers.fpgaDeselect = nullptr;
    manager = std::make_unique<c331_manage>(peers);
    ASSERT_TRUE(manager->openDevice());
    ASSERT_TRUE(manager->waitChipReady(10));
    manager->startUp();
    EXPECT_EQ(manager->c331_font_bits.load(), 0x8u);
    EXPECT_EQ(regBank[43], 0x54);
}

TEST_F(C331Flash, EraseAndWriteRoundTripThroughTheNorFlash)
{
    chip().flash().setBusyPolls(5);
    chip().flash().poke(0x20000, std::vector<uint8_t>(0x300, 0x00));
    ASSERT_EQ(manager->erase_flash(manager->c331_dev_index, 0x20, 1, 0), 0);
    EXPECT_EQ(chip().flash().peek(0x20000, 1)[0], 0xFF);
    std::vector<char> data(600);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = char(i * 7);
    ASSERT_EQ(manager->write_flash(0, 0x20010, int(data.size()), data.data()), 0);
    const auto back = chip().flash().peek(0x20010, uint32_t(data.size()));
    EXPECT_TRUE(std::equal(back.begin(), back.end(), reinterpret_cast<uint8_t*>(data.data())));
    EXPECT_EQ(chip().flash().counters().programs, 3);
    EXPECT_EQ(chip().flash().counters().ignoredBusy, 0);
    EXPECT_EQ(chip().flash().counters().refused, 0);
}

TEST_F(C331Flash, EraseKindsPickTheirUnit)
{
    struct Case { char kind; uint32_t lastErased; };
    for (Case c : {Case{0, 0x11FFF}, Case{1, 0x1FFFF}, Case{2, 0x2FFFF}, Case{7, 0x2FFFF}}) {
        chip().flash().poke(0, std::vector<uint8_t>(0x40000, 0));
        ASSERT_EQ(manager->erase_flash(0, 0x10, 2, c.kind), 0);
        EXPECT_EQ(chip().flash().peek(0x10000, 1)[0], 0xFF) << int(c.kind);
        EXPECT_EQ(chip().flash().peek(c.lastErased, 1)[0], 0xFF) << int(c.kind);
        EXPECT_EQ(chip().flash().peek(c.lastErased + 1, 1)[0], 0x00) << int(c.kind);
    }
}

TEST_F(C331Flash, AWriteIntoAnUnerasedAreaIsDetected)
{
    chip().flash().poke(0x30000, std::vector<uint8_t>(16, 0x0F));
    char data[16];
    std::fill(std::begin(data), std::end(data), char(0xF0));
    EXPECT_EQ(manager->write_flash(0, 0x30000, 16, data), -1);
}

TEST_F(C331Flash, NothingReachesPastTheEndOfTheFlash)
{
    chip().flash().poke(0, std::vector<uint8_t>(0x10000, 0x00));
    chip().flash().poke(0x7F0000, std::vector<uint8_t>(0x10000, 0x00));
    std::vector<char> data(0x100, 0x12);
    EXPECT_EQ(manager->write_flash(0, 0x7FFF80, int(data.size()), data.data()), -1);
    EXPECT_EQ(manager->erase_flash(0, 0x800, 1, 0), -1);
    EXPECT_EQ(manager->erase_flash(0, 0x7F0, 2, 2), -1);
    EXPECT_EQ(manager->erase_flash(0, 0, -1, 0), -1);
    EXPECT_EQ(chip().flash().counters().programs, 0);
    EXPECT_EQ(chip().flash().peek(0, 1)[0], 0x00) << "the first font is untouched";
    // The last block and the last page are still reachable.
    EXPECT_EQ(manager->erase_flash(0, 0x7F8, 1, 2), 0);
    EXPECT_EQ(chip().flash().peek(0x7F0000, 1)[0], 0xFF);
    EXPECT_EQ(manager->write_flash(0, 0x7FFF00, int(data.size()), data.data()), 0);
    EXPECT_EQ(chip().flash().peek(0x7FFFFF, 1)[0], 0x12);
}

TEST_F(C331Flash, AFlashThatStaysBusyEndsTheEraseWithAFailure)
{
    chip().flash().setBusyPolls(1000000);
    EXPECT_EQ(manager->erase_flash(0, 0, 1, 0), -1);
}

TEST_F(C331Flash, UpdateFontLoadsAllFourFontsIntoTheChip)
{
    chip().flash().poke(0x410000, {'P', 1, 2});
    ASSERT_EQ(manager->update_font(0), 0);
    const struct { int index; uint32_t addr, size; } expected[] = {
        {0, 0x000000, 0x010000}, {1, 0x010000, 0x400000}, {2, 0x410000, 0x040000}, {3, 0x450000, 0x3B0000}};
    for (const auto& e : expected) {
        const SimScaler::Font f = chip().font(e.index);
        EXPECT_EQ(f.addr, e.addr);
        EXPECT_EQ(f.size, e.size);
        EXPECT_EQ(f.loads, 1);
    }
    EXPECT_EQ(chip().font(2).checksum, 'P' + 1u + 2u + 0xFFu * (0x40000 - 3));
}
