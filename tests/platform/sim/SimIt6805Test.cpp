#include "platform/sim/SimIt6805.h"
#include "platform/sim/SimVideoSource.h"

#include <gtest/gtest.h>

#include <vector>

using kel::platform::I2cMsg;
using kel::platform::sim::SimIt6805;
using kel::platform::sim::SimVideoSource;

namespace kel::test {
namespace {

// Talks to the main page as the driver does: register then data.
class SimIt6805Chip : public ::testing::Test {
protected:
    void SetUp() override { chip.setSource(&source); }
    bool write(uint8_t reg, uint8_t value)
    {
        uint8_t b[2] = {reg, value};
        I2cMsg m{SimIt6805::kMainPage, 0, 2, b};
        return chip.page(SimIt6805::kMainPage)->transfer(&m, 1);
    }
    uint8_t read(uint8_t reg)
    {
        uint8_t v = 0xEE;
        I2cMsg m[2] = {{SimIt6805::kMainPage, 0, 1, &reg}, {SimIt6805::kMainPage, I2cMsg::kRead, 1, &v}};
        EXPECT_TRUE(chip.page(SimIt6805::kMainPage)->transfer(m, 2));
        return v;
    }
    void bank(uint8_t b) { write(0x0F, b); }
    void hotPlug(bool high)
    {
        bank(3);
        write(0xAB, high ? 0xC0 : 0x40);
        bank(0);
    }
    void plug(const char* text, SimVideoSource::ColorFormat color = SimVideoSource::ColorFormat::Rgb)
    {
        SimVideoSource::Spec s;
        ASSERT_TRUE(SimVideoSource::parse(text, &s));
        s.color = color;
        s.audio = {48000, 2};
        source.plug(s);
    }
    // The 20 pixel-clock samples as the driver takes them.
    unsigned pixelCountSum()
    {
        unsigned sum = 0;
        for (int i = 0; i < 20; ++i) {
            write(0x9A, 0x00);
            sum += read(0x99) + ((read(0x9A) & 3u) << 8);
            write(0x9A, 0x80);
        }
        return sum;
    }

    SimVideoSource source;
    SimIt6805 chip;
};

TEST_F(SimIt6805Chip, IdentityAndDefaultRevision)
{
    EXPECT_EQ((std::vector<uint8_t>{read(0), read(1), read(2), read(3), read(4)}),
              (std::vector<uint8_t>{0x54, 0x49, 0x05, 0x68, 0xA0}));
    bool held = true;
    chip.setResetHeld([&] { return held; });
    uint8_t reg = 0, v = 0;
    I2cMsg m[2] = {{SimIt6805::kMainPage, 0, 1, &reg}, {SimIt6805::kMainPage, I2cMsg::kRead, 1, &v}};
    EXPECT_FALSE(chip.page(SimIt6805::kMainPage)->transfer(m, 2)) << "no answer in reset";
    held = false;
    EXPECT_EQ(read(0x0F), 0) << "bank 0 after the release";
}

TEST_F(SimIt6805Chip, LinkNeedsFiveVoltsAndHotPlug)
{
    plug("vic:16");
    EXPECT_EQ(read(0x13), 0x01) << "+5 V only";
    EXPECT_EQ(read(0x05) & 0x01, 0x01) << "+5 V change latched";
    hotPlug(true);
    EXPECT_TRUE(source.hotPlug());
    EXPECT_EQ(read(0x13), 0xBF) << "a clean HDMI link";
    EXPECT_EQ(read(0x14), 0x38);
    EXPECT_EQ(read(0x19) & 0x82, 0x82);
    EXPECT_EQ(read(0x10) & 0x02, 0x02) << "sync change latched";
    write(0x10, 0x02);
    EXPECT_EQ(read(0x10) & 0x02, 0) << "write one to clear";
    hotPlug(false);
    EXPECT_EQ(read(0x19) & 0x80, 0);
    EXPECT_EQ(read(0x48), 0xFF) << "no clock counts nothing";
}

TEST_F(SimIt6805Chip, AboveThreeHundredFortyMegahertzTheLinkIsHdmi20)
{
    plug("vic:97");
    hotPlug(true);
    EXPECT_EQ(read(0x14) & 0xC0, 0xC0) << "1/40 clock ratio, scrambled";
    EXPECT_EQ(read(0x15) & 0x02, 0x02);
    plug("vic:97", SimVideoSource::ColorFormat::Yuv420);
    EXPECT_EQ(read(0x14) & 0xC0, 0) << "4:2:0 at 297 MHz stays HDMI 1.4";
}

struct CounterCase {
    const char* source;
    SimVideoSource::ColorFormat color;
    unsigned pixelSum;   // floor(10240 x 20000 / measured pixel clock)
    uint8_t multiplier;  // 0x43 bits 7:5
    uint8_t count;       // 0x48
};

TEST_F(SimIt6805Chip, CountersFollowTheirEncodings)
{
    const CounterCase cases[] = {
        {"vic:16", SimVideoSource::ColorFormat::Rgb, 1379, 0x80, 136},    // 148.5 MHz: 20000 x 1024 / 148500 = 137
        {"vic:97", SimVideoSource::ColorFormat::Rgb, 344, 0x80, 33},      // 594 MHz: 34
        {"vic:97", SimVideoSource::ColorFormat::Yuv420, 689, 0x80, 67},   // measured at 297 MHz: 68
        {"vic:2", SimVideoSource::ColorFormat::Rgb, 7585, 0x20, 188},     // 27 MHz: 20000 x 256 / 27000 = 189
    };
    hotPlug(true);
    for (const CounterCase& c : cases) {
        plug(c.source, c.color);
        EXPECT_EQ(pixelCountSum(), c.pixelSum) << c.source;
        EXPECT_EQ(read(0x43) & 0xE0, c.multiplier) << c.source;
        EXPECT_EQ(read(0x48), c.count) << c.source;
    }
}

TEST_F(SimIt6805Chip, AudioClockRegenerationInTheDriversOrderOfShifts)
{
    plug("vic:16");
    hotPlug(true);
    EXPECT_EQ(read(0xB1), 0x81);
    EXPECT_EQ(read(0xB5) & 0x0F, 2) << "48 kHz";
    bank(2);
    const uint32_t n = (read(0xBE) << 12) + (read(0xBF) << 4) + (read(0xC0) & 0x0F);
    const uint32_t cts = (read(0xC0) >> 4) + (read(0xC1) << 12) + (read(0xC2) << 4);
    EXPECT_EQ(n, 6144u);
    EXPECT_EQ(cts, 148500u);
}

TEST_F(SimIt6805Chip, CalibrationAndTransmitterClockAnswerTheirTriggers)
{
    bank(3);
    write(0x3A, 0x80);
    bank(0);
    EXPECT_EQ(read(0x08) & 0x10, 0x10);
    write(0x08, 0x30);
    EXPECT_EQ(read(0x08) & 0x30, 0);
    bank(5);
    EXPECT_EQ(read(0xDB) & 0x1C, 0x0C);
    write(0xD2, 0x00);
    write(0xD2, 0x10);
    EXPECT_EQ(read(0xDB) & 0x10, 0x10);
    bank(1);
    EXPECT_EQ(read(0x60), 0x19);
    write(0x50, 0x00);
    write(0x51, 0xB0);
    write(0x54, 0x04);
    EXPECT_EQ(read(0x61), 0x20);
    EXPECT_EQ(read(0x62), 0x4E) << "20000 kHz stored";
}

} // namespace
} // namespace kel::test
