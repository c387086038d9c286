#include "inputs/InputBoardFixture.h"

#include "inputs/tarvosource.h"
#include "params/KelRamPara.h"
#include "params/global.h"
#include "platform/Board.h"
#include "platform/RegisterWindow.h"
#include "platform/sim/SimEdidEeprom.h"
#include "platform/sim/SimGpioLines.h"
#include "platform/sim/SimI2cBus.h"
#include "platform/sim/SimInputBoard.h"
#include "platform/sim/SimInputPort.h"
#include "platform/sim/SimRegisterChip.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstring>
#include <string>

using kel::platform::sim::SimInputBoard;

namespace kel::test {
namespace {

class BoardStartup : public InputBoardFixture {
protected:
    // Releases of the IT6602 reset line: one per reset sequence.
    size_t resetSequences()
    {
        size_t n = 0;
        for (auto& e : sim().gpio().edges(SimInputBoard::kIt6602Reset))
            n += e.to == 16 ? 1 : 0;
        return n;
    }
    // The input's factory EDID as documented: its monitor name, its first
    // timing's pixel clock and two blocks that each sum to 0.
    void expectFactoryEdid(int input)
    {
        const char* names[6] = {"KEL-EXT", "KEL-DVI", "KEL-HD1", "KEL-HD2", "KEL_T57HD3", "KEL_T57HD4"};
        const auto img = eeprom(input);
        const uint8_t header[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
        EXPECT_EQ(std::memcmp(img.data(), header, 8), 0) << "input " << input;
        uint8_t base = 0, ext = 0;
        for (int i = 0; i < 128; ++i) {
            base = uint8_t(base + img[i]);
            ext = uint8_t(ext + img[128 + i]);
        }
        EXPECT_EQ(base, 0) << "input " << input;
        EXPECT_EQ(ext, 0) << "input " << input;
        EXPECT_EQ(img[54] | (img[55] << 8), input < 4 ? 14850 : 59400) << "input " << input;
        std::string name;
        for (int d = 54; d < 126; d += 18)
            if (img[d] == 0 && img[d + 1] == 0 && img[d + 3] == 0xFC)
                name.assign(reinterpret_cast<const char*>(img.data() + d + 5), 13);
        EXPECT_EQ(name.substr(0, name.find('\n')), names[input]) << "input " << input;
    }
};

TEST_F(BoardStartup, BlankEepromsGetTheirDefaultEdidAndTheCheckIsRecordedAsDone)
{
    ASSERT_EQ(g_check_edid, "Once");
    ASSERT_TRUE(runUntilState(tarvosource::kSteady));
    for (int k = 0; k < 6; ++k) {
        expectFactoryEdid(k);
        QFile f(QString::fromStdString(sim().eepromFile(k)));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray onDisk = f.readAll();
        ASSERT_EQ(onDisk.size(), 256);
        EXPECT_EQ(std::memcmp(onDisk.data(), eeprom(k).data(), 256), 0);
        if (haveEdidDecode()) {
            std::string report;
            EXPECT_TRUE(edidDecodePasses(sim().eepromFile(k), &report)) << report;
        }
    }
    EXPECT_EQ(configValue("config/EDIDCheck"), "Never");
    EXPECT_EQ(reg(37) & 0x80, 0x80);
    EXPECT_EQ(reg(38) & 0x1F, 0x1F);
    EXPECT_EQ(resetSequences(), 1u);
    // The port is left protecting the EEPROMs, the WP line high.
    EXPECT_EQ(sim().port().value() & 0x01, 0x01);
    run(1);
    EXPECT_EQ(sim().gpio().level(SimInputBoard::kEdidWp), 16);
}

TEST_F(BoardStartup, ResetLinesAreHeldElevenTicksThenReleased)
{
    src().runOnce();  // state 0: hold
    EXPECT_EQ(sim().gpio().level(SimInputBoard::kIt6602Reset), 0);
    EXPECT_EQ(sim().gpio().level(SimInputBoard::kIt6805Reset), 0);
    // Without ticks the sequence waits.
    for (int i = 0; i < 20; ++i)
        src().runOnce();
    EXPECT_EQ(src().thread_state(), tarvosource::kWaitHold);
    G_timeTicks += 10;
    src().runOnce();
    EXPECT_EQ(src().thread_state(), tarvosource::kWaitHold);
    G_timeTicks += 1;
    src().runOnce();
    EXPECT_EQ(src().thread_state(), tarvosource::kRelease);
    src().runOnce();
    EXPECT_EQ(sim().gpio().level(SimInputBoard::kIt6602Reset), 16);
    EXPECT_EQ(sim().gpio().level(SimInputBoard::kIt6805Reset), 16);
    for (uint8_t r : src().receiver_reset_request)
        EXPECT_EQ(r, 0);
}

TEST_F(BoardStartup, SecondStartSkipsTheCheckAndSetsTheEdidBits)
{
    ASSERT_TRUE(runUntilState(tarvosource::kSteady));
    std::array<unsigned, 6> writes;
    for (int k = 0; k < 6; ++k)
        writes[k] = sim().eeprom(k).pageWrites();
    store().LocalRegBank[37] = 0x00;
    store().LocalRegBank[38] = 0x00;
    restartManager();
    ASSERT_EQ(g_check_edid, "Never");
    ASSERT_TRUE(runUntilState(tarvosource::kSteady));
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(sim().eeprom(k).pageWrites(), writes[k]);
    EXPECT_EQ(reg(37), 0x80);
    EXPECT_EQ(reg(38), 0x5F);
}

TEST_F(BoardStartup, AnUnknownCheckValueRunsNoCheckAndSetsNoBits)
{
    g_check_edid = "Sometimes";
    store().LocalRegBank[38] = 0x00;
    ASSERT_TRUE(runUntilState(tarvosource::kSteady));
    EXPECT_EQ(sim().eeprom(0).pageWrites(), 0u);
    EXPECT_EQ(reg(38) & 0x5F, 0x00);
}

TEST_F(BoardStartup, StuckEepromDropsItsBitAndRerunsTheResetSequenceOnce)
{
    sim().eeprom(3).setStuck(true);
    ASSERT_TRUE(runUntilState(tarvosource::kSteady, 1000));
    EXPECT_EQ(resetSequences(), 2u);
    EXPECT_EQ(reg(38) & 0x04, 0);  // input 3's bit
    EXPECT_EQ(reg(38) & 0x1B, 0x1B);
    EXPECT_EQ(reg(37) & 0x80, 0x80);
    expectFactoryEdid(5);
    EXPECT_EQ(configValue("config/EDIDCheck"), "Never");
    run(50);
    EXPECT_EQ(src().thread_state(), tarvosource::kSteady);
    EXPECT_EQ(resetSequences(), 2u);
}

TEST_F(BoardStartup, FailedCheckPassIsNotRecordedAsDone)
{
    sim().eeprom(0).setStuck(true);
    // Run up to the first check pass only.
    while (src().thread_state() != tarvosource::kEdidCheck) {
        src().runOnce();
        ++G_timeTicks;
    }
    src().runOnce();
    EXPECT_EQ(src().thread_state(), tarvosource::kHoldResets);
    EXPECT_EQ(configValue("config/EDIDCheck"), "Once");
    EXPECT_EQ(src().receiver_reset_request[0], 1);
    EXPECT_EQ(src().receiver_reset_request[4], 1);
}

TEST_F(BoardStartup, ValidEepromIsNeverRewrittenWhateverItHolds)
{
    std::array<uint8_t, 256> other{};
    std::memcpy(other.data(), src().edid.edid_table_1080p[2], 256);
    sim().eeprom(1).setContents(other);
    ASSERT_TRUE(runUntilState(tarvosource::kSteady));
    EXPECT_EQ(sim().eeprom(1).pageWrites(), 0u);
    EXPECT_EQ(eeprom(1), other);
}

TEST_F(BoardStartup, AGoodHeaderWithABadChecksumIsRewritten)
{
    std::array<uint8_t, 256> broken{};
    std::memcpy(broken.data(), src().edid.edid_table_1080p[2], 256);
    broken[127] = uint8_t(broken[127] + 1);
    sim().eeprom(1).setContents(broken);
    ASSERT_TRUE(runUntilState(tarvosource::kSteady));
    EXPECT_GT(sim().eeprom(1).pageWrites(), 0u);
    expectFactoryEdid(1);
}

TEST_F(BoardStartup, ReadFailureInTheCheckNeverTriggersARewrite)
{
    std::array<uint8_t, 256> corrupt;
    corrupt.fill(0x11);
    sim().eeprom(2).setContents(corrupt);
    sim().eeprom(2).failReadAt(5);
    ASSERT_TRUE(runUntilState(tarvosource::kSteady));
    EXPECT_EQ(sim().eeprom(2).pageWrites(), 0u);
    EXPECT_EQ(eeprom(2), corrupt);
    EXPECT_EQ(reg(38) & 0x02, 0);  // input 2's bit
    expectFactoryEdid(3);
    EXPECT_EQ(configValue("config/EDIDCheck"), "Never");
}

TEST_F(BoardStartup, FailedSwitchWriteInTheCheckNeverReachesAnotherInputsEeprom)
{
    ASSERT_TRUE(runUntilState(tarvosource::kEdidCheck));
    auto window = platform::Board::newRegisterWindow();
    ASSERT_TRUE(window->open());
    int checked = 0;
    // Each input's check starts with the write-protect line high; the
    // switch write for input 3 fails, so the switch stays on input 2.
    src().gpio.setWriter([&](uint32_t offset, uint16_t value) {
        if (offset == SimInputBoard::kEdidWp && value == 16 && ++checked == 4)
            sim().bus().failNext(SimInputBoard::kEdidSwitch, 1);
        window->write16(offset, value);
    });
    const unsigned writes2 = sim().eeprom(2).pageWrites();
    src().runOnce();
    EXPECT_EQ(src().thread_state(), tarvosource::kSteady);
    EXPECT_EQ(reg(38) & 0x04, 0) << "input 3 could not be checked";
    EXPECT_EQ(sim().eeprom(3).pageWrites(), 0u);
    EXPECT_EQ(sim().eeprom(2).pageWrites(), writes2 + 32) << "input 2 got its own EDID once";
    expectFactoryEdid(2);
}

TEST_F(BoardStartup, StateFileShowsTheBoardAfterStartUp)
{
    ASSERT_TRUE(runUntilState(tarvosource::kSteady));
    run(2);
    QFile f(QString::fromStdString(hostPath("/sim/state.json")));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QJsonObject s = QJsonDocument::fromJson(f.readAll()).object().value("input_board").toObject();
    ASSERT_FALSE(s.isEmpty());
    EXPECT_TRUE(s.value("eeproms").toArray().at(4).toObject().value("rewritten").toBool());
    EXPECT_EQ(s.value("gpio").toObject().value("fpga0_reset").toInt(), 16);
    EXPECT_EQ(s.value("chips_present").toObject().value("d0").toBool(), true);
}

} // namespace
} // namespace kel::test

namespace kel::test {
namespace {

class BoardThread : public InputBoardFixture {};

TEST_F(BoardThread, InitializeStartsTheThreadAndStopEndsIt)
{
    QFile keep(QString::fromStdString(hostPath("/data/edidramtable/host0.bin")));
    ASSERT_TRUE(keep.open(QIODevice::WriteOnly));
    keep.write("x");
    keep.close();
    tarvosource manager;
    EXPECT_EQ(manager.initialize(), 0);
    EXPECT_GE(manager.i2c_fd, 0);
    EXPECT_EQ(manager.source_enable_mask, 255);
    manager.stop();
    EXPECT_TRUE(QFile::exists(QString::fromStdString(hostPath("/data/edidramtable/host0.bin"))));
    manager.stop();  // a second stop is harmless
}

TEST_F(BoardThread, NullArgumentEndsTheThreadBodyAtOnce)
{
    EXPECT_EQ(tarvosource::checksourceThread(nullptr), nullptr);
}

} // namespace
} // namespace kel::test
