#include "inputs/InputBoardFixture.h"

#include "inputs/EdidBlock.h"
#include "inputs/EdidTables.h"
#include "inputs/tarvosource.h"

#include <cstring>
#include <string>

namespace kel::test {
namespace {

std::string name(const uint8_t* t)
{
    for (int d = 54; d < 126; d += 18)
        if (t[d] == 0 && t[d + 1] == 0 && t[d + 3] == 0xFC) {
            std::string s(reinterpret_cast<const char*>(t + d + 5), 13);
            return s.substr(0, s.find('\n'));
        }
    return {};
}

uint16_t u16(const uint8_t* t, int off) { return static_cast<uint16_t>(t[off] | (t[off + 1] << 8)); }

void expectWellFormed(const uint8_t* t, const std::string& what)
{
    EXPECT_TRUE(EdidBlock::baseValid(t)) << what;
    EXPECT_EQ(EdidBlock::sum(t + 128, 128), 0) << what << " extension";
    EXPECT_EQ(t[128], 0x02) << what;
    EXPECT_EQ(t[129], 0x03) << what;
    EXPECT_EQ(t[126], 1) << what;
}

TEST(EdidTables, DefaultsCarryTheirIdentity)
{
    EdidTables t;
    const char* names[4] = {"KEL-EXT", "KEL-DVI", "KEL-HD1", "KEL-HD2"};
    for (int k = 0; k < 4; ++k) {
        const uint8_t* e = t.tarvo_default_edid_6602[k];
        expectWellFormed(e, names[k]);
        EXPECT_EQ(name(e), names[k]);
        EXPECT_EQ(u16(e, 10), 0x0001);
        EXPECT_EQ(e[16], 4);
        EXPECT_EQ(e[17], 0x1C);  // 2018
        EXPECT_EQ(e[18], 1);
        EXPECT_EQ(e[19], 4);
        EXPECT_EQ(u16(e, 54), 14850);
        EXPECT_EQ(e[128 + 2], 28);
    }
    const char* names6805[2] = {"KEL_T57HD3", "KEL_T57HD4"};
    for (int d = 0; d < 2; ++d) {
        const uint8_t* e = t.tarvo_default_edid_6805[d];
        expectWellFormed(e, names6805[d]);
        EXPECT_EQ(name(e), names6805[d]);
        EXPECT_EQ(e[8], 0x2C);  // "KEL"
        EXPECT_EQ(e[9], 0xAC);
        EXPECT_EQ(e[10], 0x05);
        EXPECT_EQ(e[11], 0x68);
        EXPECT_EQ(e[12], 0x21);
        EXPECT_EQ(e[15], 0x87);
        EXPECT_EQ(e[16], 46);
        EXPECT_EQ(e[17], 0x19);  // 2015
        EXPECT_EQ(e[19], 3);
        EXPECT_EQ(u16(e, 54), 59400);
        EXPECT_EQ(e[128 + 2], 60);
    }
}

TEST(EdidTables, PresetsCarryTheirTimingAndProductCode)
{
    struct Row { int w, h, r; uint16_t pclk, product; };
    const Row rows[8] = {{1280, 720, 60, 7425, 0x41},   {1440, 480, 60, 5405, 0x40},  {1680, 720, 60, 9900, 0x39},
                         {1920, 1080, 60, 14850, 0x43}, {2560, 1080, 60, 19800, 0x39}, {2880, 480, 60, 10811, 0x39},
                         {3840, 2160, 30, 29700, 0x38}, {3840, 2160, 60, 59400, 0x37}};
    EdidTables t;
    for (int n = 0; n < 8; ++n) {
        EXPECT_EQ(EdidTables::presetIndex(rows[n].w, rows[n].h, rows[n].r), n);
        for (const uint8_t* e : {t.edid_table_1080p[n], t.edid_table_4k[n]}) {
            expectWellFormed(e, "preset " + std::to_string(n));
            EXPECT_EQ(name(e), "KEL-HDMI");
            EXPECT_EQ(u16(e, 54), rows[n].pclk);
            EXPECT_EQ(u16(e, 10), rows[n].product);
            EXPECT_EQ(e[56] | ((e[58] >> 4) << 8), rows[n].w);
            EXPECT_EQ(e[59] | ((e[61] >> 4) << 8), rows[n].h);
            EXPECT_EQ(e[17], 0x22);  // 2024
        }
        EXPECT_EQ(t.edid_table_1080p[n][130], 53);
        EXPECT_EQ(t.edid_table_4k[n][130], 63);
    }
    EXPECT_EQ(EdidTables::presetIndex(1920, 1080, 59), -1);
    EXPECT_EQ(EdidTables::presetIndex(1920, 1080, 50), -1);
}

TEST(EdidTables, ChecksumHelperSumsModulo256)
{
    const uint8_t data[3] = {0xF0, 0x20, 0x01};
    EXPECT_EQ(tarvosource::CalcSum4LCD(0, data, 3), 0x11);
    EXPECT_EQ(tarvosource::CalcSum4LCD(0x10, data, 0), 0x10);
}

class CustomEdid : public InputBoardFixture {};

struct PresetCase { int input, w, h, r; const char* name; uint8_t product0, product1; bool fourK; int n; };

TEST_F(CustomEdid, PresetsAreNamedForTheirInput)
{
    const PresetCase cases[] = {
        {0, 1280, 720, 60, "KEL-EXT", 0x41, 0x00, false, 0}, {1, 3840, 2160, 30, "KEL-DVI", 0x38, 0x00, false, 6},
        {2, 1440, 480, 60, "KEL-HD1", 0x40, 0x00, false, 1}, {3, 2880, 480, 60, "KEL-HD2", 0x39, 0x00, false, 5},
        {4, 2560, 1080, 60, "KEL-HD3", 0x14, 0x00, true, 4}, {5, 1920, 1080, 60, "KEL-HD4", 0x14, 0x01, true, 3},
        {4, 1680, 720, 60, "KEL-HD3", 0x14, 0x00, true, 2},  {5, 3840, 2160, 60, "KEL-HD4", 0x14, 0x01, true, 7}};
    for (const PresetCase& c : cases) {
        src().Set_Custom_HDMI_EDID(c.w, c.h, c.r, c.input);
        const uint8_t* t = src().edidTable;
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t, c.fourK ? src().edid.edid_table_4k[c.n] : src().edid.edid_table_1080p[c.n]);
        EXPECT_EQ(name(t), c.name);
        EXPECT_EQ(t[121], 0x20);
        EXPECT_EQ(t[10], c.product0);
        EXPECT_EQ(t[11], c.product1);
        EXPECT_TRUE(EdidBlock::baseValid(t)) << c.name;
    }
}

TEST_F(CustomEdid, SharedPresetIsRenamedByTheLastInput)
{
    src().Set_Custom_HDMI_EDID(1920, 1080, 60, 0);
    src().Set_Custom_HDMI_EDID(1920, 1080, 60, 1);
    EXPECT_EQ(name(src().edid.edid_table_1080p[3]), "KEL-DVI");
}

TEST_F(CustomEdid, ComputedTimingFillsBothDescriptors)
{
    src().Set_Custom_HDMI_EDID(1920, 1080, 50, 2);
    const uint8_t* t = src().edidTable;
    ASSERT_EQ(t, src().edid.tarvo_default_edid_6602[2]);
    EXPECT_EQ(u16(t, 54), 11876);
    EXPECT_EQ(t[56] | ((t[58] >> 4) << 8), 1920);
    EXPECT_EQ(t[57] | ((t[58] & 0x0F) << 8), 160);   // H total 2080
    EXPECT_EQ(t[59] | ((t[61] >> 4) << 8), 1080);
    EXPECT_EQ(t[60], 62);                            // V total 1142
    EXPECT_EQ(t[62], 48);
    EXPECT_EQ(t[63], 32);
    EXPECT_EQ(t[64], 0x3A);
    EXPECT_EQ(std::memcmp(t + 54, t + 72, 18), 0);   // exact copy
    EXPECT_EQ(name(t), "KEL-HD1");
    EXPECT_TRUE(EdidBlock::baseValid(t));
    EdidTables pristine;
    EXPECT_EQ(std::memcmp(t + 128, pristine.tarvo_default_edid_6602[2] + 128, 128), 0);

    src().Set_Custom_HDMI_EDID(1920, 1080, 59, 4);
    const uint8_t* h = src().edidTable;
    ASSERT_EQ(h, src().edid.tarvo_default_edid_6805[0]);
    EXPECT_EQ(u16(h, 54), static_cast<uint16_t>(59ull * (1920 + 560) * (1080 + 90) / 10000));
    EXPECT_EQ(std::memcmp(h + 54, h + 72, 18), 0);
    EXPECT_EQ(name(h), "KEL_T57HD3");
}

TEST_F(CustomEdid, TimingsADescriptorCannotHoldLeaveTheDefault)
{
    struct Bad { int w, h, r; };
    const Bad bad[] = {{4096, 1080, 60}, {1920, 4096, 60}, {1920, 1080, 0}, {3840, 2160, 120},
                       {65535, 65535, 65535}, {0, 1080, 60}, {1920, 1080, -5}};
    for (const Bad& b : bad)
        for (int input : {0, 5}) {
            EdidTables pristine;
            src().Set_Custom_HDMI_EDID(b.w, b.h, b.r, input);
            const uint8_t* t = src().edidTable;
            ASSERT_EQ(t, src().edid.defaultFor(input));
            EXPECT_EQ(std::memcmp(t, pristine.defaultFor(input), 256), 0) << b.w << "x" << b.h << "@" << b.r;
            EXPECT_TRUE(EdidBlock::baseValid(t));
        }
}

TEST_F(CustomEdid, OutOfRangeInputLeavesThePointer)
{
    src().edidTable = nullptr;
    src().Set_Custom_HDMI_EDID(1920, 1080, 60, 6);
    EXPECT_EQ(src().edidTable, nullptr);
}

TEST_F(CustomEdid, EveryProducedEdidPassesEdidDecode)
{
    if (!haveEdidDecode())
        GTEST_SKIP() << "edid-decode is not installed";
    int n = 0;
    auto check = [&](const uint8_t* t, const std::string& what) {
        std::string report;
        const std::string file = writeTemp(t, 256, "edid" + std::to_string(n++) + ".bin");
        EXPECT_TRUE(edidDecodePasses(file, &report)) << what << "\n" << report;
    };
    EdidTables tables;
    for (int k = 0; k < 6; ++k)
        check(tables.defaultFor(k), "default " + std::to_string(k));
    for (int p = 0; p < 8; ++p) {
        check(tables.edid_table_1080p[p], "1080p preset " + std::to_string(p));
        check(tables.edid_table_4k[p], "4k preset " + std::to_string(p));
    }
    struct T { int w, h, r; };
    const T timings[] = {{1920, 1080, 50}, {1920, 1080, 59}, {1280, 1024, 60}, {1024, 768, 75},
                         {2560, 1440, 30}, {800, 600, 60},   {3000, 2000, 60}, {1920, 1200, 24}};
    for (int input = 0; input < 6; ++input)
        for (const T& t : timings) {
            src().Set_Custom_HDMI_EDID(t.w, t.h, t.r, input);
            check(src().edidTable, "input " + std::to_string(input) + " " + std::to_string(t.w) + "x" +
                                       std::to_string(t.h) + "@" + std::to_string(t.r));
        }
    for (int input = 0; input < 6; ++input) {
        src().Set_Custom_HDMI_EDID(1920, 1080, 60, input);
        check(src().edidTable, "preset on input " + std::to_string(input));
    }
}

} // namespace
} // namespace kel::test
