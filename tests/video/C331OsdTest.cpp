#include "params/global.h"
#include "video/ScalerBench.h"

using kel::platform::sim::SimScaler;

namespace {

class C331Osd : public kel::test::ScalerBench {
protected:
    void SetUp() override
    {
        ScalerBench::SetUp();
        setU16(1382, 8);   // screen x offset
        bringUp();
    }
    uint32_t osdValue(int type) { return manager->osd().value(type); }
    void setText(std::vector<std::vector<uint32_t>> text)
    {
        static uint32_t lines[64][128];
        int lengths[64] = {};
        for (size_t i = 0; i < text.size(); ++i) {
            lengths[i] = int(text[i].size());
            std::copy_n(text[i].begin(), std::min<size_t>(text[i].size(), 128), lines[i]);
        }
        manager->kelApi_OsdSetUnicode(int(text.size()), lengths, lines);
    }
};

} // namespace

TEST_F(C331Osd, PropertiesFollowTheirTypes)
{
    struct Case { int type; int value; uint32_t stored; };
    // Screen 1920 x 1080, background 1920 x 1080 from osd_char_txt.
    const Case cases[] = {
        {0, 1, 1}, {1, 5, 1}, {2, 0, 0}, {3, 1, 1}, {4, 13, 4},
        {5, 100, 108},            // + screen x offset
        {6, 800, 1012},           // 1920 - 800 - 108
        {7, 50, 50},
        {8, 200, 830},            // 1080 - 200 - 50
        {9, 77, 0},
        {10, 800, 1120},          // background 1920 - window 800
        {11, 50, 50},
        {12, 200, 830},           // background 1080 - 200 - top 50
        {13, 300, 44}, {14, 1, 1},
        {16, 0x12345678, 0x345678}, {17, 0xFF, 0xFF}, {18, 1, 1},
        {21, 12, 12}, {22, 34, 34}, {33, 1, 1}, {48, 1, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(manager->kelApi_OsdSet(c.type, c.value), 1) << "type " << c.type;
        EXPECT_EQ(osdValue(c.type), c.stored) << "type " << c.type;
    }
}

TEST_F(C331Osd, TypesWithoutACaseAreRefused)
{
    for (int type : {-1, 15, 19, 20, 23, 32, 36, 47, 49, 200})
        EXPECT_EQ(manager->kelApi_OsdSet(type, 1), 0) << "type " << type;
}

TEST_F(C331Osd, OffsetsNeverGoNegative)
{
    manager->kelApi_OsdSet(5, 1900);
    manager->kelApi_OsdSet(6, 800);
    EXPECT_EQ(osdValue(6), 0u);
}

TEST_F(C331Osd, UnicodeStoresHighByteFirstAndClampsTheLines)
{
    EXPECT_EQ(manager->kelApi_OsdSetUnicode(0, nullptr, nullptr), 0);
    setText({{'A', 'B'}, {0x4E2D}});
    const auto text = manager->osd().text();
    EXPECT_EQ(std::vector<uint8_t>(text.begin(), text.begin() + 4), (std::vector<uint8_t>{0x00, 0x41, 0x00, 0x42}));
    EXPECT_EQ(text[256], 0x4E);
    EXPECT_EQ(text[257], 0x2D);
    EXPECT_EQ(manager->osd().lineCount(), 2);
    std::vector<std::vector<uint32_t>> many(64, std::vector<uint32_t>(200, 'x'));
    setText(many);
    EXPECT_EQ(manager->osd().text()[2 * 128 - 1], 'x');
    EXPECT_EQ(manager->osd().lineCount(), 64);
}

TEST_F(C331Osd, HorizontalAlignmentUsesTheCellWidths)
{
    struct Case { int size, hzoom, dbl, mode; int x; };
    // One line of 2 narrow + 1 wide characters in an 800 wide window.
    const Case cases[] = {
        {0, 0, 0, 1, (800 - 64) / 2},   // 16/32
        {1, 0, 0, 2, 800 - 128},        // 32/64
        {1, 1, 0, 2, 800 - 256},        // 64/128
        {1, 1, 1, 1, (800 - 512) / 2},  // 128/256
        {1, 1, 1, 0, 0},
        {1, 1, 1, 3, 0},
    };
    setText({{'a', 'b', 0x4E2D}});
    manager->osd_line_en[0] = 2;
    manager->osd_line_cn[0] = 1;
    for (const Case& c : cases) {
        manager->kelApi_OsdSet(14, c.size);
        manager->kelApi_OsdSet(1, c.hzoom);
        manager->kelApi_OsdSet(48, c.dbl);
        manager->kelApi_OsdSet(6, 800);
        manager->kelApi_OsdSet(34, c.mode);
        EXPECT_EQ(manager->g_osd_max_line_x_tarvo[0], c.x) << c.size << c.hzoom << c.dbl << c.mode;
        EXPECT_EQ(manager->g_osd_h_alignment_tarvo, c.mode);
    }
}

TEST_F(C331Osd, VerticalAlignmentUsesTheLineCountAndCellHeight)
{
    setText({{'a'}, {'b'}, {'c'}});
    manager->kelApi_OsdSet(14, 1);
    manager->kelApi_OsdSet(8, 400);
    manager->kelApi_OsdSet(35, 1);
    EXPECT_EQ(manager->g_osd_v_alignment_value_tarvo, (400 - 3 * 64) / 2);
    manager->kelApi_OsdSet(35, 2);
    EXPECT_EQ(manager->g_osd_v_alignment_value_tarvo, 400 - 3 * 64);
}

TEST_F(C331Osd, WideLinesWidenTheBackgroundWithTheLargeFontOnly)
{
    setText({{'a'}});
    manager->osd_line_en[0] = 100;
    manager->kelApi_OsdSet(14, 0);
    manager->kelApi_OsdSet(10, 800);
    EXPECT_EQ(osdValue(0x3A), 1920u);
    manager->kelApi_OsdSet(14, 1);
    manager->kelApi_OsdSet(10, 800);
    EXPECT_EQ(osdValue(0x3A), 3200u);
    EXPECT_EQ(osdValue(10), 2400u);
    manager->osd_line_en[0] = 1000;
    manager->kelApi_OsdSet(10, 800);
    EXPECT_EQ(osdValue(0x3A), 8191u);
    manager->load_char();
    EXPECT_EQ(osdValue(0x3A), 1920u);
}

TEST_F(C331Osd, TheThreadProgramsTheOsdStateIntoTheChip)
{
    manager->kelApi_OsdSet(0, 1);
    manager->kelApi_OsdSet(17, 0x0000FF);
    manager->kelApi_OsdSet(16, 0xFF0000);
    setText({{'H', 'i'}});
    manager->runPass();
    EXPECT_EQ(chip().reg(SimScaler::Osd, 0), 1);
    EXPECT_EQ(chip().reg(SimScaler::Osd, 17), 0x00FF);
    EXPECT_EQ(chip().reg(SimScaler::Osd, 0x38), 0x00FF);
    EXPECT_EQ(chip().textChar(0, 1), 'i');
    EXPECT_EQ(chip().reg(SimScaler::Osd, SimScaler::OsdLineCount), 1);
    chip().clearWrites();
    manager->runPass();
    EXPECT_TRUE(chip().writes().empty());
}

TEST_F(C331Osd, TurningTheOsdOnReloadsTheMenuOnce)
{
    handOff(2124, 1);
    manager->runPass();
    manager->runPass();
    EXPECT_EQ(osdReloads, 1);
    EXPECT_EQ(osdValue(0), 1u);
    EXPECT_EQ(g_osd_update, 0);
    handOff(2124, 0);
    manager->runPass();
    EXPECT_EQ(osdReloads, 1);
    EXPECT_EQ(osdValue(0), 0u);
}

TEST_F(C331Osd, ARequestedReloadRunsOnceInTheApplyPass)
{
    // What a register-11 write with bit 3 does while the OSD is on.
    pthread_mutex_lock(&mutex);
    g_osd_update = 1;
    flag = 1;
    pthread_mutex_unlock(&mutex);
    manager->runPass();
    manager->runPass();
    EXPECT_EQ(osdReloads, 1);
}
