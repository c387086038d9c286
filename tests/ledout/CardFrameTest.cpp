#include "FpgaFixture.h"

#include "ledout/LedGlobals.h"
#include "ledout/fpga_manage.h"

#include <algorithm>
#include <functional>
#include <iterator>

namespace kel::test {
namespace {

using Bytes = std::vector<uint8_t>;

class CardFrameTest : public FpgaFixture {
protected:
    void SetUp() override
    {
        FpgaFixture::SetUp();
        line_type = LineType{};
        g_send_para.send_frame_len = 0;
    }
    static Bytes first(const uint8_t* f, uint32_t n) { return Bytes(f, f + n); }
};

TEST_F(CardFrameTest, BuildersGiveTheDocumentedFramesByteForByte)
{
    uint8_t f[64] = {};
    struct Case {
        const char* name;
        std::function<uint32_t()> build;
        Bytes expected;
        bool storesLength;
    };
    SCAN_PARA reset;
    reset.scan_register = 1;
    reset.scan_mask = 0xFF;
    reset.scan_value = 0xFF;
    const uint8_t user[1] = {0x55};
    const Case cases[] = {
        {"save, port 2", [&] { return m().save_para_cmd_create(f, 2); },
         {0xFF, 0x0F, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x03, 0x00, 0x81, 0xFF, 0x00, 0x0B}, true},
        {"mapping enable, port 0, arg 9",
         [&] {
             g_send_para.send_arg = 9;
             return m().mapping_enable_cmd_create(0, f);
         },
         {0xFF, 0x0F, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x01, 0x00, 0xA0, 0x03, 0x0F, 0x01, 0x09, 0xD3}, true},
        {"register reset, port 1", [&] { return m().ram_reset_cmd_create(f, reset, 1); },
         {0xFE, 0x1F, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x02, 0x00, 0xA0, 0x01, 0xFF, 0x01, 0xFF, 0xC5}, true},
        {"position write, port 0, card 2 at (200, 50)",
         [&] {
             // Route 1 on 2 x 3 cabinets of 100 x 50 puts card 2 at (0, 50).
             line_type = LineType{100, 50, 200, 0, 0, 2, 3, 1};
             g_send_para.send_card_index = 2;
             return m().rcv_card_cmd_create(f, 0);
         },
         {0x02, 0x00, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x01, 0x00, 0x60, 0x80, 0x01,
          0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0xC8, 0x00, 0x32, 0x00, 0x9A}, false},
        {"position write without a route: the offsets alone",
         [&] {
             line_type = LineType{100, 50, 200, 50, 0, 2, 3, 0};
             g_send_para.send_card_index = 2;
             return m().rcv_card_cmd_create(f, 0);
         },
         {0x02, 0x00, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x01, 0x00, 0x60, 0x80, 0x01,
          0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0xC8, 0x00, 0x32, 0x00, 0x9A}, false},
        {"RAM write of 0 bytes", [&] { return m().load_write_ram_cmd_create(0, 0, 0, nullptr, 0, f, sizeof f, false); },
         {0x00, 0x00, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x01, 0x00, 0x60, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
          0xE7}, true},
        {"user-defined 0x55", [&] { return m().load_write_user_defined_cmd_create(0, 0, user, 1, f, sizeof f, false); },
         {0x00, 0x00, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x00, 0x00, 0x55, 0xD3}, true},
    };
    for (const Case& c : cases) {
        std::fill(std::begin(f), std::end(f), 0xEE);
        g_send_para.send_frame_len = 0;
        const uint32_t n = c.build();
        EXPECT_EQ(first(f, n), c.expected) << c.name;
        EXPECT_EQ(g_send_para.send_frame_len, c.storesLength ? c.expected.size() : 0u) << c.name;
    }
}

TEST_F(CardFrameTest, AllFlagAndHighPortsAddressAsDocumented)
{
    uint8_t f[64] = {};
    const uint8_t data[2] = {0xAB, 0xCD};
    // Port 6: only its low two bits reach the target; the port byte keeps 7.
    ASSERT_EQ(m().load_write_ram_cmd_create(6, 5, 0x10, data, 2, f, sizeof f, false), 21u);
    EXPECT_EQ(f[0], 0x05);
    EXPECT_EQ(f[1], 0x20);
    EXPECT_EQ(f[7], 7);
    EXPECT_EQ(f[18], 0xAB);
    // All cards: 0x0FFF without port bits; memory writes keep the port byte,
    // register and flash-save frames carry 0.
    m().load_write_ram_cmd_create(6, 5, 0x10, data, 2, f, sizeof f, true);
    EXPECT_EQ(f[0] | f[1] << 8, 0x0FFF);
    EXPECT_EQ(f[7], 7);
    EXPECT_EQ(m().load_write_reg_cmd_create(6, 5, data, 2, f, sizeof f, true), 13u);
    EXPECT_EQ(f[0] | f[1] << 8, 0x0FFF);
    EXPECT_EQ(f[7], 0);
    EXPECT_EQ(m().save_para2flash_cmd_create(6, 5, f, false), 13u);
    EXPECT_EQ(f[0] | f[1] << 8, 0x2005);
    EXPECT_EQ(f[7], 0);
}

TEST_F(CardFrameTest, FramesLongerThanTheBufferOrTheFpgaAreRefused)
{
    std::vector<uint8_t> data(2000, 0x11);
    std::vector<uint8_t> f(4096);
    struct Case {
        const char* name;
        std::function<uint32_t(uint16_t len, uint32_t cap)> build;
        uint32_t head;   // frame length minus data length
    };
    const Case cases[] = {
        {"RAM write", [&](uint16_t l, uint32_t c) { return m().load_write_ram_cmd_create(1, 0, 0, data.data(), l, f.data(), c, false); }, 19},
        {"register", [&](uint16_t l, uint32_t c) { return m().load_write_reg_cmd_create(1, 0, data.data(), l, f.data(), c, false); }, 11},
        {"firmware", [&](uint16_t l, uint32_t c) { return m().rcv_active_firmware_cmd_create(1, 0, data.data(), l, f.data(), c); }, 11},
        {"reconfigure", [&](uint16_t l, uint32_t c) { return m().rcv_reconfig_cmd_create(1, 0, data.data(), l, f.data(), c); }, 11},
        {"search", [&](uint16_t l, uint32_t c) { return m().load_search_rxc_cmd_create(1, data.data(), l, f.data(), c); }, 11},
        {"user-defined", [&](uint16_t l, uint32_t c) { return m().load_write_user_defined_cmd_create(1, 0, data.data(), l, f.data(), c, false); }, 10},
    };
    for (const Case& c : cases) {
        const uint16_t fits = uint16_t(1024 - c.head);
        EXPECT_EQ(c.build(fits, 4096), 1024u) << c.name;
        g_send_para.send_frame_len = 7;
        EXPECT_EQ(c.build(uint16_t(fits + 1), 4096), 0u) << c.name << ": above 1024 bytes";
        EXPECT_EQ(c.build(20, c.head + 19), 0u) << c.name << ": above the caller's buffer";
        EXPECT_EQ(g_send_para.send_frame_len, 7) << c.name << ": a refused frame stores no length";
    }
}

// Cabinet (c, r) of the route order, typed from the route table: row routes
// walk j = i / K lines of m = i % K cabinets, column routes j = i / R, m = i % R.
struct Cell { int c, r; };
Cell reference(int route, int i, int R, int K)
{
    const int jr = i / K, mr = i % K, jc = i / R, mc = i % R;
    const bool er = jr % 2 == 0, ec = jc % 2 == 0;
    switch (route) {
    case 1: return {er ? K - 1 - mr : mr, R - 1 - jr};
    case 2: return {er ? mr : K - 1 - mr, R - 1 - jr};
    case 3: return {er ? K - 1 - mr : mr, jr};
    case 4: return {er ? mr : K - 1 - mr, jr};
    case 5: return {K - 1 - jc, ec ? R - 1 - mc : mc};
    case 6: return {K - 1 - jc, ec ? mc : R - 1 - mc};
    case 7: return {jc, ec ? mc : R - 1 - mc};
    case 8: return {jc, ec ? R - 1 - mc : mc};
    case 9: return {K - 1 - mr, R - 1 - jr};
    case 10: return {mr, jr};
    case 11: return {mr, R - 1 - jr};
    case 12: return {jc, R - 1 - mc};
    case 13: return {K - 1 - jc, R - 1 - mc};
    case 14: return {jc, mc};
    case 15: return {jc, R - 1 - mc};
    default: return {K - 1 - jc, mc};
    }
}

TEST(CardPositions, EveryRouteOnTwoByThreeAndThreeByThreeGrids)
{
    for (int R : {2, 3}) {
        for (int route = 1; route <= 16; ++route) {
            line_type = LineType{100, 50, 0, 0, 0, uint8_t(R), 3, uint8_t(route)};
            for (int i = 0; i < R * 3; ++i) {
                uint16_t x = 1, y = 1;
                fpga_manage::get_rcvcard_x_y(i, &x, &y);
                const Cell cell = reference(route, i, R, 3);
                EXPECT_EQ(x, cell.c * 100) << "route " << route << " rows " << R << " card " << i;
                EXPECT_EQ(y, cell.r * 50) << "route " << route << " rows " << R << " card " << i;
            }
        }
    }
}

TEST(CardPositions, DocumentedExamplesLastCabinetAndNoPosition)
{
    struct Case { uint8_t route; int index; uint16_t x, y; };
    const Case cases[] = {
        {1, 0, 200, 50}, {1, 2, 0, 50}, {1, 3, 0, 0}, {1, 5, 200, 0},
        {14, 1, 0, 50}, {14, 2, 100, 0},
        {1, 6, 200, 0}, {1, 99, 200, 0},   // beyond the grid: the last cabinet
        {12, 1, 0, 0}, {12, 3, 100, 0},    // route 12 runs like route 15
    };
    for (const Case& c : cases) {
        line_type = LineType{100, 50, 0, 0, 0, 2, 3, c.route};
        uint16_t x = 7, y = 7;
        fpga_manage::get_rcvcard_x_y(c.index, &x, &y);
        EXPECT_EQ(x, c.x) << "route " << int(c.route) << " card " << c.index;
        EXPECT_EQ(y, c.y) << "route " << int(c.route) << " card " << c.index;
    }
    for (const LineType lt : {LineType{100, 50, 0, 0, 0, 2, 3, 0}, LineType{100, 50, 0, 0, 0, 2, 3, 17},
                              LineType{100, 50, 0, 0, 0, 0, 3, 1}, LineType{100, 50, 0, 0, 0, 2, 0, 1}}) {
        line_type = lt;
        uint16_t x = 7, y = 7;
        fpga_manage::get_rcvcard_x_y(0, &x, &y);
        EXPECT_EQ(x, 7);
        EXPECT_EQ(y, 7);
    }
    line_type = LineType{};
}

} // namespace
} // namespace kel::test
