#include "params/KeypadReport.h"
#include "params/RamLayout.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct ReportCase {
    const char* name;
    int window;           // current window
    bool enabled;
    uint16_t selector;    // the window's input selector
    bool signal;          // the input has width, height and refresh
    uint16_t flags;
    bool updating;
    KeypadReport::Bytes expected;
};

void PrintTo(const ReportCase& c, std::ostream* os) { *os << c.name; }

class KeypadReportBytes : public ::testing::TestWithParam<ReportCase> {};

TEST_P(KeypadReportBytes, FollowTheByteTable)
{
    const ReportCase c = GetParam();
    uint8_t block[RamLayout::kBlockSize] = {};
    const size_t rec = RamLayout::imageRecord(c.window);
    RamLayout::setU16(block, rec, c.enabled ? 1 : 0);
    RamLayout::setU16(block, rec + 8, c.selector);
    RamLayout::setU16(block, rec + 18, c.flags);
    // Crop row 7 belongs to input 4.
    RamLayout::setU16(block, RamLayout::cropRow(7), 0x8004);
    int source = c.selector & 0x8000 ? 4 : c.selector & 0xFF;
    if (c.signal && source < 6) {
        RamLayout::setU16(block, RamLayout::srcVideoInfo(source), 1920);
        RamLayout::setU16(block, RamLayout::srcVideoInfo(source) + 2, 1080);
        block[RamLayout::srcVideoInfo(source) + 4] = 60;
    } else if (source < 6) {
        // Width and height but no refresh: still no signal.
        RamLayout::setU16(block, RamLayout::srcVideoInfo(source), 1920);
        RamLayout::setU16(block, RamLayout::srcVideoInfo(source) + 2, 1080);
    }
    EXPECT_EQ(c.expected, KeypadReport::build(block, static_cast<uint8_t>(c.window), c.updating));
}

INSTANTIATE_TEST_SUITE_P(
    Table, KeypadReportBytes,
    ::testing::Values(
        ReportCase{"w0_src0_signal", 0, true, 0, true, 0, false, {0xA5, 0x01, 0x10, 0x00, 0x00}},
        ReportCase{"w3_src1_none", 3, true, 1, false, 0, false, {0xA5, 0x40, 0x80, 0x00, 0x00}},
        ReportCase{"w4_src4_signal", 4, true, 4, true, 0, false, {0xA5, 0x00, 0x01, 0x01, 0x00}},
        ReportCase{"w5_src5_none", 5, true, 5, false, 0, false, {0xA5, 0x00, 0x04, 0x08, 0x00}},
        ReportCase{"w2_src2_signal", 2, true, 2, true, 0, false, {0xA5, 0x10, 0x00, 0x10, 0x00}},
        ReportCase{"w1_src3_none", 1, true, 3, false, 0, false, {0xA5, 0x04, 0x00, 0x80, 0x00}},
        ReportCase{"disabled_window", 1, false, 3, true, 0, false, {0xA5, 0x00, 0x00, 0x40, 0x00}},
        ReportCase{"frozen_black", 0, true, 0, true, 0x0003, false, {0xA5, 0x01, 0x10, 0x00, 0x05}},
        ReportCase{"crop_followed", 0, true, 0x8007, true, 0, false, {0xA5, 0x01, 0x00, 0x01, 0x00}},
        ReportCase{"updating", 0, true, 0, true, 0, true, {0x5A, 0x01, 0x10, 0x00, 0x00}},
        ReportCase{"no_such_input", 0, true, 9, true, 0, false, {0xA5, 0x01, 0x00, 0x00, 0x00}}));

TEST(KeypadReport, WindowOutOfRangeLightsNothing)
{
    uint8_t block[RamLayout::kBlockSize] = {};
    EXPECT_EQ((KeypadReport::Bytes{0xA5, 0, 0, 0, 0}), KeypadReport::build(block, 6, false));
}

} // namespace
