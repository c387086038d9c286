#include "platform/Board.h"
#include "platform/I2cBus.h"
#include "platform/PathMap.h"
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimEdidEeprom.h"
#include "platform/sim/SimGpioLines.h"
#include "platform/sim/SimI2cBus.h"
#include "platform/sim/SimI2cSwitch.h"
#include "platform/sim/SimInputBoard.h"
#include "platform/sim/SimIt6805.h"
#include "platform/sim/SimInputPort.h"
#include "platform/sim/SimIt6602.h"
#include "platform/sim/SimVideoSource.h"
#include "platform/sim/SimRegisterChip.h"
#include "platform/sim/SimRegisterMemory.h"
#include "support/SimRootFixture.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>

#include <vector>

using kel::platform::I2cMsg;
using kel::platform::sim::SimInputBoard;

namespace kel::test {
namespace {

class InputBoardSim : public SimRootFixture {
protected:
    SimInputBoard& sim() { return *SimInputBoard::of(board()); }
    bool write(uint16_t addr, std::vector<uint8_t> bytes)
    {
        I2cMsg m;
        m.addr = addr;
        m.len = static_cast<uint16_t>(bytes.size());
        m.buf = bytes.data();
        return sim().bus().transfer(&m, 1) == 1;
    }
    bool read(uint16_t addr, uint8_t reg, uint8_t* out, uint16_t n)
    {
        I2cMsg m[2];
        m[0].addr = addr;
        m[0].len = 1;
        m[0].buf = &reg;
        m[1].addr = addr;
        m[1].flags = I2cMsg::kRead;
        m[1].len = n;
        m[1].buf = out;
        return sim().bus().transfer(m, 2) == 2;
    }
    void unprotect()
    {
        board().registers().store(SimInputBoard::kEdidWp, 0);
        write(SimInputBoard::kPort, {0x00, 0x00});
    }
};

TEST_F(InputBoardSim, SwitchTakesTheLastByteOfAWrite)
{
    EXPECT_TRUE(write(SimInputBoard::kEdidSwitch, {0x00, 0x04}));
    EXPECT_EQ(sim().edidSwitch().control(), 0x04);
    EXPECT_TRUE(write(SimInputBoard::kEdidSwitch, {0x20}));
    EXPECT_EQ(sim().edidSwitch().control(), 0x20);
}

TEST_F(InputBoardSim, DevicesBehindASwitchAnswerOnlyOnTheirChannel)
{
    uint8_t b = 0;
    write(SimInputBoard::kEdidSwitch, {0x00, 0x00});
    EXPECT_FALSE(read(SimInputBoard::kEeprom, 0, &b, 1));
    EXPECT_FALSE(read(SimInputBoard::kS5p210, 0, &b, 1));
    write(SimInputBoard::kEdidSwitch, {0x00, 0x80});
    EXPECT_TRUE(read(SimInputBoard::kS5p210, 0, &b, 1));
    EXPECT_FALSE(read(SimInputBoard::kEeprom, 0, &b, 1));
    // Each channel reaches its own EEPROM.
    sim().eeprom(3).setContents([] {
        std::array<uint8_t, 256> a;
        a.fill(0x33);
        return a;
    }());
    write(SimInputBoard::kEdidSwitch, {0x00, 0x08});
    ASSERT_TRUE(read(SimInputBoard::kEeprom, 0, &b, 1));
    EXPECT_EQ(b, 0x33);
    write(SimInputBoard::kEdidSwitch, {0x00, 0x10});  // input 5
    ASSERT_TRUE(read(SimInputBoard::kEeprom, 0, &b, 1));
    EXPECT_EQ(b, 0xFF);
}

TEST_F(InputBoardSim, RootDevicesAnswerWhateverTheSwitches)
{
    uint8_t b = 0;
    EXPECT_TRUE(read(SimInputBoard::kCdce913, 0, &b, 1));
    EXPECT_TRUE(read(SimInputBoard::kSii9022, 0x62, &b, 1));
    EXPECT_TRUE(read(SimInputBoard::kPort, 0, &b, 1));
    EXPECT_FALSE(read(0x48, 0, &b, 1));  // no receiver models yet
}

struct GateCase {
    uint16_t wp;
    uint8_t port;
    bool writes;
};

class EepromGate : public InputBoardSim, public ::testing::WithParamInterface<GateCase> {};

TEST_P(EepromGate, WritesStickOnlyWithBothProtectionsOff)
{
    const GateCase& c = GetParam();
    board().registers().store(SimInputBoard::kEdidWp, c.wp);
    write(SimInputBoard::kPort, {0x00, c.port});
    write(SimInputBoard::kEdidSwitch, {0x00, 0x01});
    EXPECT_TRUE(write(SimInputBoard::kEeprom, {0x10, 1, 2, 3}));  // acknowledged either way
    uint8_t b[3] = {};
    ASSERT_TRUE(read(SimInputBoard::kEeprom, 0x10, b, 3));
    EXPECT_EQ(b[0] == 1 && b[1] == 2 && b[2] == 3, c.writes);
    EXPECT_EQ(sim().eeprom(0).rewritten(), c.writes);
}

INSTANTIATE_TEST_SUITE_P(Lines, EepromGate,
                         ::testing::Values(GateCase{0, 0x00, true}, GateCase{16, 0x00, false},
                                           GateCase{0, 0x01, false}, GateCase{16, 0xFD, false},
                                           GateCase{0, 0xFC, true}));

TEST_F(InputBoardSim, PageWriteWrapsWithinItsEightBytes)
{
    unprotect();
    write(SimInputBoard::kEdidSwitch, {0x00, 0x02});
    write(SimInputBoard::kEeprom, {0x06, 0xA1, 0xA2, 0xA3, 0xA4});
    const auto c = sim().eeprom(1).contents();
    EXPECT_EQ(c[6], 0xA1);
    EXPECT_EQ(c[7], 0xA2);
    EXPECT_EQ(c[0], 0xA3);
    EXPECT_EQ(c[1], 0xA4);
    EXPECT_EQ(c[8], 0xFF);
}

TEST_F(InputBoardSim, RandomReadWrapsAtTheEnd)
{
    std::array<uint8_t, 256> a;
    for (int i = 0; i < 256; ++i)
        a[i] = static_cast<uint8_t>(i);
    sim().eeprom(2).setContents(a);
    write(SimInputBoard::kEdidSwitch, {0x00, 0x04});
    uint8_t b[4] = {};
    ASSERT_TRUE(read(SimInputBoard::kEeprom, 254, b, 4));
    EXPECT_EQ(b[0], 254);
    EXPECT_EQ(b[1], 255);
    EXPECT_EQ(b[2], 0);
    EXPECT_EQ(b[3], 1);
}

TEST_F(InputBoardSim, StuckEepromAcknowledgesAndIgnores)
{
    unprotect();
    sim().eeprom(0).setStuck(true);
    write(SimInputBoard::kEdidSwitch, {0x00, 0x01});
    EXPECT_TRUE(write(SimInputBoard::kEeprom, {0x00, 0x00}));
    EXPECT_EQ(sim().eeprom(0).contents()[0], 0xFF);
    EXPECT_EQ(sim().eeprom(0).ignoredWrites(), 1u);
}

TEST_F(InputBoardSim, ImagesAreFilesThatSurviveARestart)
{
    unprotect();
    write(SimInputBoard::kEdidSwitch, {0x00, 0x20});  // input 4
    write(SimInputBoard::kEeprom, {0x00, 0x00, 0xFF, 0xFF});
    const std::string file = hostPath("/sim/edid/input4.bin");
    QFile f(QString::fromStdString(file));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.size(), 256);
    f.close();
    platform::Board::initSim(root());
    EXPECT_EQ(SimInputBoard::of(board())->eeprom(4).contents()[1], 0xFF);
    EXPECT_EQ(SimInputBoard::of(board())->eeprom(4).contents()[0], 0x00);
}

TEST(InputBoardScenario, BoardIniChoosesImagesStuckEepromsAndAbsentChips)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QDir().mkpath(dir.path() + "/sim");
    {
        QSettings ini(dir.path() + "/sim/board.ini", QSettings::IniFormat);
        ini.setValue("input_board/edid1", "corrupt");
        ini.setValue("input_board/stuck", "2, 5");
        ini.setValue("input_board/d0_present", "no");
        ini.setValue("input_board/sii9022_present", "no");
    }
    platform::Board::initSim(dir.path().toStdString());
    SimInputBoard& sim = *SimInputBoard::of(*platform::Board::sim());
    EXPECT_EQ(sim.eeprom(1).contents()[0], 0x00);
    EXPECT_EQ(sim.eeprom(1).contents()[1], 0xFF);
    EXPECT_NE(sim.eeprom(1).contents()[20], 0xFF);
    EXPECT_EQ(sim.eeprom(0).contents()[0], 0xFF);
    EXPECT_TRUE(sim.eeprom(2).stuck());
    EXPECT_TRUE(sim.eeprom(5).stuck());
    EXPECT_FALSE(sim.eeprom(3).stuck());
    EXPECT_FALSE(sim.s5p210().present());
    EXPECT_FALSE(sim.sii9022().present());
    EXPECT_TRUE(sim.cdce913().present());
    // Missing keys are added with their defaults.
    QSettings ini(dir.path() + "/sim/board.ini", QSettings::IniFormat);
    EXPECT_EQ(ini.value("input_board/edid0").toString(), "blank");
    platform::Board::shutdown();
}

TEST_F(InputBoardSim, GpioEdgesCarryTheirTick)
{
    uint32_t tick = 5;
    sim().gpio().setTickSource([&tick] { return tick; });
    board().registers().store(SimInputBoard::kIt6602Reset, 16);
    tick = 20;
    board().registers().store(SimInputBoard::kIt6602Reset, 16);  // no change, no edge
    board().registers().store(SimInputBoard::kIt6602Reset, 0);
    const auto edges = sim().gpio().edges(SimInputBoard::kIt6602Reset);
    ASSERT_EQ(edges.size(), 2u);
    EXPECT_EQ(edges[0].tick, 5u);
    EXPECT_EQ(edges[1].to, 0);
    EXPECT_EQ(edges[1].tick, 20u);
    EXPECT_EQ(sim().gpio().stores(SimInputBoard::kIt6602Reset), 3u);
}

TEST_F(InputBoardSim, StateFileShowsSwitchesPortLinesAndImages)
{
    write(SimInputBoard::kReceiverSwitch, {0x00, 0x08});
    write(SimInputBoard::kPort, {0x00, 0x21});
    unprotect();
    write(SimInputBoard::kEdidSwitch, {0x00, 0x01});
    write(SimInputBoard::kEeprom, {0x00, 0x00});
    board().registers().store(SimInputBoard::kEdidWp, 16);  // publishes
    QFile f(QString::fromStdString(hostPath("/sim/state.json")));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QJsonObject s = QJsonDocument::fromJson(f.readAll()).object().value("input_board").toObject();
    EXPECT_EQ(s.value("receiver_switch").toString(), "0x08");
    EXPECT_EQ(s.value("edid_switch").toString(), "0x01");
    EXPECT_EQ(s.value("port").toString(), "0x00");
    EXPECT_EQ(s.value("gpio").toObject().value("edid_wp").toInt(), 16);
    EXPECT_TRUE(s.value("eeproms").toArray().at(0).toObject().value("rewritten").toBool());
    EXPECT_FALSE(s.value("eeproms").toArray().at(1).toObject().value("rewritten").toBool());
    EXPECT_EQ(s.value("eeproms").toArray().at(0).toObject().value("file").toString(), "/sim/edid/input0.bin");
}

TEST_F(InputBoardSim, TransferLogKeepsResultsAndChannels)
{
    sim().clearTransfers();
    uint8_t b[8] = {};
    write(SimInputBoard::kEdidSwitch, {0x00, 0x02});
    ASSERT_TRUE(read(SimInputBoard::kEeprom, 0x08, b, 8));
    EXPECT_FALSE(read(0x48, 0x00, b, 1));  // no chip there
    const auto log = sim().transfers();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].addr, SimInputBoard::kEdidSwitch);
    EXPECT_EQ(log[0].written, (std::vector<uint8_t>{0x00, 0x02}));
    EXPECT_EQ(log[1].addr, SimInputBoard::kEeprom);
    EXPECT_EQ(log[1].written, std::vector<uint8_t>{0x08});
    EXPECT_EQ(log[1].readLength, 8);
    EXPECT_TRUE(log[1].ok);
    EXPECT_EQ(log[1].edidChannels, 0x02);
    EXPECT_EQ(log[2].addr, 0x48);
    EXPECT_FALSE(log[2].ok);
}

TEST_F(InputBoardSim, AbsentChipRefusesTransfers)
{
    uint8_t b = 0;
    sim().cdce913().setPresent(false);
    EXPECT_FALSE(read(SimInputBoard::kCdce913, 0, &b, 1));
    sim().port().setPresent(false);
    EXPECT_FALSE(write(SimInputBoard::kPort, {0x00, 0x01}));
}

// The IT6602 model as the driver meets it on input 2's channel.
TEST_F(InputBoardSim, It6602FollowsItsResetLineHotPlugAndTheSource)
{
    const uint16_t rx = 0x48;
    auto rd = [&](uint8_t reg) {
        uint8_t v = 0xEE;
        EXPECT_TRUE(read(rx, reg, &v, 1)) << int(reg);
        return v;
    };
    using platform::sim::SimVideoSource;
    SimVideoSource::Output output;
    ASSERT_TRUE(SimVideoSource::parse("custom:118760,1920,48,32,80,1080,3,10,49,+h", &output));
    sim().source(2).plug(output);
    ASSERT_TRUE(write(SimInputBoard::kReceiverSwitch, {0x00, 0x04}));
    uint8_t id[4] = {};
    EXPECT_FALSE(read(rx, 0x00, id, 4));  // held in reset
    board().registers().store(SimInputBoard::kIt6602Reset, 16);
    ASSERT_TRUE(read(rx, 0x00, id, 4));
    EXPECT_EQ(std::vector<uint8_t>(id, id + 4), (std::vector<uint8_t>{0x54, 0x49, 0x02, 0x68}));
    EXPECT_EQ(rd(0x05) & 0x01, 0x01);   // +5 V latched
    ASSERT_TRUE(write(rx, {0x05, 0x01}));  // write one to clear
    EXPECT_EQ(rd(0x05) & 0x01, 0x00);
    EXPECT_EQ(rd(0x0A), 0x01);           // +5 V, no clock before hot-plug
    // Hot-plug high in bank 1: the source sends, sync follows a status read.
    ASSERT_TRUE(write(rx, {0x0F, 0x01}));
    ASSERT_TRUE(write(rx, {0xB0, 0x03}));
    ASSERT_TRUE(write(rx, {0x0F, 0x00}));
    EXPECT_TRUE(sim().source(2).sending());
    EXPECT_EQ(rd(0x0A), 0x0B);
    EXPECT_EQ(rd(0x0A), 0x8B);
    EXPECT_EQ(rd(0x05) & 0x02, 0x02);    // clock change
    EXPECT_EQ(rd(0x07) & 0x02, 0x02);    // sync change
    EXPECT_EQ(rd(0x9A), 26);             // floor(3162 / 118.76)
    EXPECT_EQ(rd(0x9E) | (rd(0x9F) & 0x3F) << 8, 1920);
    EXPECT_EQ(rd(0x9C) | (rd(0x9D) & 0x3F) << 8, 2080);
    EXPECT_EQ(rd(0xA3) | (rd(0xA4) & 0x0F) << 8, 1142);
    EXPECT_EQ(rd(0xA8) & 0x0C, 0x04);    // H positive, V negative
    ASSERT_TRUE(write(rx, {0x0F, 0x02}));
    const uint32_t cts = (uint32_t(rd(0xC1)) << 12) + rd(0xC2) * 16u + (rd(0xC0) >> 4);
    EXPECT_EQ(cts, 118760u);             // 48 kHz with N 6144: CTS = TMDS kHz
    ASSERT_TRUE(write(rx, {0x0F, 0x00}));
    EXPECT_TRUE(board().state().value("input_board").toObject().value("receivers").toArray()[2]
                    .toObject().value("scdt").toBool());
    // A reset cycle brings the power-on values back and drops hot-plug.
    ASSERT_TRUE(write(rx, {0x53, 0x4F}));
    board().registers().store(SimInputBoard::kIt6602Reset, 0);
    EXPECT_FALSE(sim().source(2).sending());
    board().registers().store(SimInputBoard::kIt6602Reset, 16);
    EXPECT_EQ(rd(0x53), 0x00);
    EXPECT_EQ(sim().it6602(2).hotPlug(), 0);
}

TEST_F(InputBoardSim, It6805FollowsItsResetLineAndDrivesItsSourcesHotPlug)
{
    const uint16_t rx = platform::sim::SimIt6805::kMainPage;
    using platform::sim::SimVideoSource;
    SimVideoSource::Output output;
    ASSERT_TRUE(SimVideoSource::parse("vic:97", &output));
    sim().source(4).plug(output);
    ASSERT_TRUE(write(SimInputBoard::kReceiverSwitch, {0x00, 0x20}));
    uint8_t id[5] = {};
    EXPECT_FALSE(read(rx, 0x00, id, 5));  // held in reset
    board().registers().store(SimInputBoard::kIt6805Reset, 16);
    ASSERT_TRUE(read(rx, 0x00, id, 5));
    EXPECT_EQ(std::vector<uint8_t>(id, id + 5), (std::vector<uint8_t>{0x54, 0x49, 0x05, 0x68, 0xA0}));
    ASSERT_TRUE(write(SimInputBoard::kReceiverSwitch, {0x00, 0x10}));
    EXPECT_TRUE(read(rx, 0x00, id, 1)) << "input 5's chip on its own channel";
    ASSERT_TRUE(write(SimInputBoard::kReceiverSwitch, {0x00, 0x20}));
    ASSERT_TRUE(write(rx, {0x0F, 0x03}));
    ASSERT_TRUE(write(rx, {0xAB, 0xC0}));
    EXPECT_TRUE(sim().source(4).sending());
    const QJsonObject r4 =
        board().state().value("input_board").toObject().value("receivers").toArray()[4].toObject();
    EXPECT_EQ(r4.value("hpd").toInt(), 3);
    EXPECT_TRUE(r4.value("scdt").toBool());
    EXPECT_EQ(r4.value("chip_id").toString(), "0xa0");
    board().registers().store(SimInputBoard::kIt6805Reset, 0);
    EXPECT_FALSE(sim().source(4).sending()) << "hot-plug drops in reset";
    board().registers().store(SimInputBoard::kIt6805Reset, 16);
    ASSERT_TRUE(read(rx, 0x0F, id, 1));
    EXPECT_EQ(id[0], 0x00) << "power-on values";
}

TEST(InputBoardScenario, BoardIniChoosesIt6805RevisionAndPresence)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QDir().mkpath(dir.path() + "/sim");
    {
        QSettings ini(dir.path() + "/sim/board.ini", QSettings::IniFormat);
        ini.setValue("input_board/it6805_chipid1", "0xE0");
        ini.setValue("input_board/it6805_present0", "no");
    }
    platform::Board::initSim(dir.path().toStdString());
    SimInputBoard& sim = *SimInputBoard::of(*platform::Board::sim());
    EXPECT_FALSE(sim.it6805(0).present());
    EXPECT_EQ(sim.it6805(0).chipId(), 0xA0);
    EXPECT_EQ(sim.it6805(1).chipId(), 0xE0);
    platform::Board::shutdown();
}

} // namespace
} // namespace kel::test
