#include "platform/sim/SimIt6805.h"
#include "platform/sim/SimVideoSource.h"

#include <QJsonArray>
#include <QJsonObject>

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
        SimVideoSource::Output s;
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

// The CEC page as the driver uses it: burst from the page pointer; the
// operand FIFO at 0x50 does not move the pointer.
class SimIt6805Cec : public SimIt6805Chip {
protected:
    bool cecWrite(uint8_t reg, std::vector<uint8_t> bytes)
    {
        bytes.insert(bytes.begin(), reg);
        I2cMsg m{SimIt6805::kCecPage, 0, static_cast<uint16_t>(bytes.size()), bytes.data()};
        return chip.page(SimIt6805::kCecPage)->transfer(&m, 1);
    }
    std::vector<uint8_t> cecRead(uint8_t reg, uint16_t n)
    {
        std::vector<uint8_t> v(n, 0xEE);
        I2cMsg m[2] = {{SimIt6805::kCecPage, 0, 1, &reg}, {SimIt6805::kCecPage, I2cMsg::kRead, n, v.data()}};
        EXPECT_TRUE(chip.page(SimIt6805::kCecPage)->transfer(m, 2));
        return v;
    }
};

TEST_F(SimIt6805Cec, ReceiveQueueHeadAndOperandFifo)
{
    chip.injectCec({0x40, 0x44, 0x41, 0x42});
    chip.injectCec({0x4F, 0x85});
    EXPECT_EQ(cecRead(0x4C, 1)[0] & 0x10, 0x10) << "arrival latched";
    EXPECT_EQ(cecRead(0x52, 1)[0] & 0x0F, 2);
    EXPECT_EQ(cecRead(0x4D, 3), (std::vector<uint8_t>{0x40, 0x44, 0x04}));
    EXPECT_EQ(cecRead(0x52, 1)[0] & 0x0F, 1) << "counted down when the head is read";
    EXPECT_EQ(cecRead(0x50, 2), (std::vector<uint8_t>{0x41, 0x42}));
    cecWrite(0x4C, {0x10});
    EXPECT_EQ(cecRead(0x4C, 1)[0] & 0x10, 0) << "write one to clear";
    chip.setCecRxErrors(0x08);
    EXPECT_EQ(cecRead(0x51, 1)[0], 0x08);
    cecWrite(0x52, {0x60});
    EXPECT_EQ(cecRead(0x51, 1)[0], 0) << "a FIFO reset clears errors and frames";
    EXPECT_EQ(chip.cecRxPending(), 0u);
}

TEST_F(SimIt6805Cec, FireLogsTheFrameAndReportsTheResult)
{
    for (bool noAck : {false, true}) {
        chip.setCecNoAck(noAck);
        cecWrite(0x23, {3});
        cecWrite(0x10, {0x04, 0x90, 0x00});
        cecWrite(0x08, {0x08});
        cecWrite(0x08, {0x88});
        EXPECT_EQ(chip.cecTxLog().back(), (std::vector<uint8_t>{0x04, 0x90, 0x00}));
        EXPECT_EQ(cecRead(0x4C, 1)[0] & 0x20, 0x20);
        EXPECT_EQ(cecRead(0x54, 1)[0] & 0x03, noAck ? 2 : 3);
        EXPECT_EQ(cecRead(0x44, 1)[0] & 0x01, 0x01) << "busy until the interrupt is taken";
        cecWrite(0x4C, {0x20});
        EXPECT_EQ(cecRead(0x44, 1)[0] & 0x01, 0);
    }
    EXPECT_EQ(chip.cecTxLog().size(), 2u);
    chip.injectCec({0x40, 0x8F});
    const QJsonObject cec = chip.state().value("cec").toObject();
    EXPECT_EQ(cec.value("rx_pending").toArray().at(0).toString(), "40 8F");
    EXPECT_EQ(cec.value("tx_log").toArray().size(), 2);
}

TEST_F(SimIt6805Chip, EqualiserTriggersCountersAndBackDoors)
{
    bank(3);
    write(0x22, 0x38);
    write(0x22, 0x3C);
    bank(0);
    EXPECT_EQ(read(0x07), 0x40) << "automatic equaliser done";
    write(0x07, 0xFF);
    bank(3);
    write(0x22, 0x00);
    write(0x22, 0x04);
    EXPECT_EQ(read(0xD5), 0x1F);
    bank(0);
    EXPECT_EQ(read(0x07), 0x10) << "successive approximation done";
    // Channel 1 at 0x3F counts 0x123, the others are clean.
    chip.setBitErrors(1, 0x3F, 0x123);
    bank(3);
    write(0x28, 0xBF);
    write(0xE9, 0x80);
    write(0xE9, 0x20);
    EXPECT_EQ(read(0xEA), 0x23);
    EXPECT_EQ(read(0xEB), 0x81);
    write(0xE9, 0x00);
    EXPECT_EQ(read(0xEA), 0x02);
    EXPECT_EQ(read(0xEB), 0x80);
    bank(0);
    write(0xB9, 0xFF);
    EXPECT_NE(read(0xB9), 0) << "errors count again";
    chip.setSarResultInvalid(true);
    bank(3);
    write(0x37, 0x40);
    EXPECT_EQ(read(0x63), 0xFF);
    EXPECT_EQ(read(0x64), 0x3F);
    chip.setEqNoDone(true);
    bank(0);
    write(0x07, 0xFF);
    bank(3);
    write(0x22, 0x00);
    write(0x22, 0x04);
    bank(0);
    EXPECT_EQ(read(0x07), 0x00) << "no done";
}

} // namespace
} // namespace kel::test
