#include "platform/Board.h"
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimInputBoard.h"
#include "platform/sim/SimVideoSource.h"
#include "platform/sim/SimVideoTiming.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <array>
#include <cmath>

using kel::platform::sim::SimInputBoard;
using kel::platform::sim::SimVideoSource;
using kel::platform::sim::SimVideoTiming;

namespace kel::test {
namespace {

struct TimingCase {
    const char* text;
    uint16_t hact, vact;
    uint32_t htotal, vtotal, pclkKHz;
    double hz;
    uint8_t vic;
};

// Published CTA-861 / VESA DMT totals and rates.
TEST(SimVideoTiming, CatalogueAndCustomTimings)
{
    const TimingCase cases[] = {
        {"vic:16", 1920, 1080, 2200, 1125, 148500, 60.0, 16},
        {"vic:31", 1920, 1080, 2640, 1125, 148500, 50.0, 31},
        {"vic:4", 1280, 720, 1650, 750, 74250, 60.0, 4},
        {"vic:1", 640, 480, 800, 525, 25175, 59.94, 1},
        {"vic:97", 3840, 2160, 4400, 2250, 594000, 60.0, 97},
        {"dmt:0x52", 1920, 1080, 2200, 1125, 148500, 60.0, 16},
        {"dmt:0x10", 1024, 768, 1344, 806, 65000, 60.0, 0},
        {"custom:118760,1920,48,32,80,1080,3,10,49,+h", 1920, 1080, 2080, 1142, 118760, 50.0, 0},
    };
    for (const TimingCase& c : cases) {
        SimVideoSource::Output s;
        ASSERT_TRUE(SimVideoSource::parse(c.text, &s)) << c.text;
        EXPECT_EQ(s.kind, SimVideoSource::Kind::Timing) << c.text;
        EXPECT_EQ(s.timing.hact, c.hact) << c.text;
        EXPECT_EQ(s.timing.vact, c.vact) << c.text;
        EXPECT_EQ(s.timing.htotal(), c.htotal) << c.text;
        EXPECT_EQ(s.timing.vtotal(), c.vtotal) << c.text;
        EXPECT_EQ(s.timing.pclkKHz, c.pclkKHz) << c.text;
        EXPECT_NEAR(s.timing.refreshHz(), c.hz, 0.02) << c.text;
        EXPECT_EQ(s.timing.vic, c.vic) << c.text;
    }
    for (const char* bad : {"vic:999", "dmt:7", "custom:1,2,3", "custom:0,1920,88,44,148,1080,4,5,36",
                            "custom:148500,1920,88,44,148,1080,4,5,36,x", "hdmi"}) {
        SimVideoSource::Output s;
        EXPECT_FALSE(SimVideoSource::parse(bad, &s)) << bad;
        EXPECT_FALSE(s.plugged()) << bad;
    }
}

TEST(SimVideoTiming, DecodesDetailedTimingDescriptors)
{
    // The 1920x1080p60 descriptor as EDIDs commonly carry it.
    const uint8_t dtd[18] = {0x02, 0x3A, 0x80, 0x18, 0x71, 0x38, 0x2D, 0x40, 0x58,
                             0x2C, 0x45, 0x00, 0x13, 0x8E, 0x21, 0x00, 0x00, 0x1E};
    SimVideoTiming t;
    ASSERT_TRUE(SimVideoTiming::fromDtd(dtd, &t));
    EXPECT_EQ(t.pclkKHz, 148500u);
    EXPECT_EQ(t.hact, 1920);
    EXPECT_EQ(t.hfp, 88);
    EXPECT_EQ(t.hsync, 44);
    EXPECT_EQ(t.hbp, 148);
    EXPECT_EQ(t.vact, 1080);
    EXPECT_EQ(t.vfp, 4);
    EXPECT_EQ(t.vsync, 5);
    EXPECT_EQ(t.vbp, 36);
    EXPECT_TRUE(t.hpos);
    EXPECT_TRUE(t.vpos);
    EXPECT_EQ(t.vic, 16);
    const uint8_t notTiming[18] = {0x00, 0x00, 0x00, 0xFC};
    EXPECT_FALSE(SimVideoTiming::fromDtd(notTiming, &t));
}

TEST(SimVideoSource, AudioClockRegeneration)
{
    // CTS = f_TMDS x N / (128 x fs) with the recommended N.
    const struct { uint32_t fs, n, cts; uint8_t code; } cases[] = {
        {48000, 6144, 148500, 0x2}, {44100, 6272, 165000, 0x0}, {32000, 4096, 148500, 0x3},
        {96000, 12288, 148500, 0xA}, {192000, 24576, 148500, 0xE},
    };
    for (const auto& c : cases) {
        SimVideoSource::Audio a{c.fs, 2};
        EXPECT_EQ(a.n(), c.n) << c.fs;
        EXPECT_EQ(a.cts(148500), c.cts) << c.fs;
        EXPECT_EQ(a.rateCode(), c.code) << c.fs;
    }
    EXPECT_EQ((SimVideoSource::Audio{0, 0}).cts(148500), 0u);
}

std::array<uint8_t, 256> edidWith(const uint8_t* dtd)
{
    std::array<uint8_t, 256> e;
    e.fill(0);
    const uint8_t header[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    std::copy(header, header + 8, e.begin());
    if (dtd)
        std::copy(dtd, dtd + 18, e.begin() + 54);
    return e;
}

TEST(SimVideoSource, FollowsTheEdidOnEachHotPlugRise)
{
    // 1920x1080 at 118.76 MHz with 160 pixels and 62 lines of blanking: 50 Hz.
    const uint8_t dtd50[18] = {0x64, 0x2E, 0x80, 0xA0, 0x70, 0x38, 0x3E, 0x40, 0x30,
                               0x20, 0x3A, 0x00, 0, 0, 0, 0, 0, 0x1A};
    std::array<uint8_t, 256> image = edidWith(nullptr);
    SimVideoSource src;
    src.setEdidReader([&image] { return image; });
    SimVideoSource::Output s;
    ASSERT_TRUE(SimVideoSource::parse("edid", &s));
    src.plug(s);
    EXPECT_TRUE(src.plus5v());
    EXPECT_FALSE(src.sending());
    const unsigned g0 = src.generation();
    src.setHotPlug(true);  // no timing in the EEPROM: VIC 16
    EXPECT_TRUE(src.sending());
    EXPECT_EQ(src.output().timing.vic, 16);
    EXPECT_NE(src.generation(), g0);

    image = edidWith(dtd50);
    src.setHotPlug(true);  // no rise, no new read
    EXPECT_EQ(src.output().timing.vic, 16);
    src.setHotPlug(false);
    EXPECT_FALSE(src.sending());
    src.setHotPlug(true);
    const SimVideoTiming t = src.output().timing;
    EXPECT_EQ(t.pclkKHz, 118760u);
    EXPECT_EQ(t.htotal(), 2080u);
    EXPECT_EQ(t.vtotal(), 1142u);
    EXPECT_NEAR(t.refreshHz(), 50.0, 0.01);

    src.unplug();
    EXPECT_FALSE(src.plus5v());
    EXPECT_FALSE(src.sending());
}

TEST(SimVideoSource, BoardIniPlugsSourcesAtStart)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QDir().mkpath(dir.path() + "/sim");
    {
        QSettings ini(dir.path() + "/sim/board.ini", QSettings::IniFormat);
        ini.setValue("input_board/source1", "vic:4");
        ini.setValue("input_board/source1_link", "dvi");
        ini.setValue("input_board/source1_color", "yuv422");
        ini.setValue("input_board/source1_audio", "none");
        ini.setValue("input_board/source3", "custom:148500,1920,88,44,148,1080,4,5,36,+h,+v");
        ini.setValue("input_board/source3_range", "limited");
        ini.setValue("input_board/source3_colorimetry", "bt709");
        ini.setValue("input_board/source3_depth", "10");
    }
    platform::Board::initSim(dir.path().toStdString());
    SimInputBoard& sim = *SimInputBoard::of(*platform::Board::sim());
    const SimVideoSource::Output s1 = sim.source(1).output();
    EXPECT_EQ(s1.timing.hact, 1280);
    EXPECT_EQ(s1.link, SimVideoSource::Link::Dvi);
    EXPECT_EQ(s1.color, SimVideoSource::ColorFormat::Yuv422);
    EXPECT_FALSE(s1.audio.present());
    const SimVideoSource::Output s3 = sim.source(3).output();
    EXPECT_EQ(s3.timing.vic, 16);
    EXPECT_EQ(s3.range, SimVideoSource::Range::Limited);
    EXPECT_EQ(s3.colorimetry, SimVideoSource::Colorimetry::Bt709);
    EXPECT_EQ(s3.tmdsKHz(), 185625u);
    EXPECT_EQ(s3.audio.fs, 48000u);
    // A fresh board follows the EDID on input 2, the input window 0 shows.
    EXPECT_EQ(sim.source(2).output().kind, SimVideoSource::Kind::FollowEdid);
    EXPECT_FALSE(sim.source(0).plus5v());
    QSettings ini(dir.path() + "/sim/board.ini", QSettings::IniFormat);
    EXPECT_EQ(ini.value("input_board/source2").toString(), "edid");
    EXPECT_EQ(ini.value("input_board/source0").toString(), "none");
    platform::Board::shutdown();
}

} // namespace
} // namespace kel::test

namespace kel::test {
namespace {

// HDMI 2.0: the 1/40 clock ratio and scrambling above a 340 MHz character
// rate; YUV 4:2:0 halves the character rate.
TEST(SimVideoSource, Hdmi20AndYuv420CharacterRates)
{
    struct Case {
        const char* text;
        SimVideoSource::ColorFormat color;
        uint8_t depth;
        uint32_t tmds;
        bool hdmi2;
    };
    const Case cases[] = {
        {"vic:97", SimVideoSource::ColorFormat::Rgb, 8, 594000, true},
        {"vic:97", SimVideoSource::ColorFormat::Yuv420, 8, 297000, false},
        {"vic:97", SimVideoSource::ColorFormat::Yuv420, 12, 445500, true},
        {"vic:16", SimVideoSource::ColorFormat::Rgb, 12, 222750, false},
    };
    for (const Case& c : cases) {
        SimVideoSource::Output s;
        ASSERT_TRUE(SimVideoSource::parse(c.text, &s));
        s.color = c.color;
        s.bitsPerComponent = c.depth;
        EXPECT_EQ(s.tmdsKHz(), c.tmds) << c.text;
        EXPECT_EQ(s.hdmi2(), c.hdmi2) << c.text;
        s.link = SimVideoSource::Link::Dvi;
        EXPECT_FALSE(s.hdmi2());
    }
}

} // namespace
} // namespace kel::test
