#include "support/SimRootFixture.h"

#include "platform/Board.h"
#include "platform/FpgaBoardMap.h"
#include "platform/SpiDevice.h"
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimFpga.h"
#include "platform/sim/SimFpgaBoard.h"
#include "platform/sim/SimNorFlash.h"
#include "platform/sim/SimRegisterMemory.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>
#include <functional>
#include <fstream>
#include <thread>

namespace kel::test {
namespace {

using Map = platform::FpgaBoardMap;
using Bytes = std::vector<uint8_t>;

class SimFpgaBoardTest : public SimRootFixture {
protected:
    void SetUp() override
    {
        SimRootFixture::SetUp();
        fpgaDev = platform::Board::newSpi();
        flashDev = platform::Board::newSpi();
        ASSERT_TRUE(fpgaDev->open(Map::kSpiPaths[0]));
        ASSERT_TRUE(flashDev->open(Map::kSpiPaths[2]));
    }
    platform::sim::SimFpgaBoard& part() { return *platform::sim::SimFpgaBoard::current(); }
    platform::sim::SimRegisterMemory& gpio() { return board().registers(); }
    void line(uint32_t offset, bool high) { gpio().store(offset, high ? Map::kHigh : Map::kLow); }
    Bytes fpgaXfer(bool cmd, Bytes tx)
    {
        line(Map::kFpga0Cmd, cmd);
        Bytes rx(tx.size());
        fpgaDev->transfer(tx.data(), rx.data(), tx.size());
        return rx;
    }
    uint8_t readReg(uint8_t r)
    {
        line(Map::kFpga0Cs, false);
        fpgaXfer(true, {0x05, 0x00, r, 0x00});
        const uint8_t v = fpgaXfer(false, {0xFF})[0];
        line(Map::kFpga0Cs, true);
        return v;
    }
    void writeReg(uint8_t r, uint8_t v, uint8_t mask)
    {
        line(Map::kFpga0Cs, false);
        fpgaXfer(true, {0x04, 0x00, r, mask});
        fpgaXfer(false, {v});
        line(Map::kFpga0Cs, true);
    }
    Bytes flashXfer(Bytes tx)
    {
        line(Map::kFlash2Cs, false);
        line(Map::kFpga0Cs, false);
        Bytes rx(tx.size());
        flashDev->transfer(tx.data(), rx.data(), tx.size());
        line(Map::kFlash2Cs, true);
        line(Map::kFpga0Cs, true);
        return rx;
    }
    std::unique_ptr<platform::SpiDevice> fpgaDev, flashDev;
};

TEST_F(SimFpgaBoardTest, FpgaOneAndTheSecondFlashAreAbsent)
{
    auto dev = platform::Board::newSpi();
    EXPECT_FALSE(dev->open(Map::kSpiPaths[1]));
    EXPECT_FALSE(dev->open(Map::kSpiPaths[3]));
    EXPECT_EQ(gpio().load(Map::kFpga1Irq), 0);
}

TEST_F(SimFpgaBoardTest, HeldInResetReadsFFAndTheReleaseIsCounted)
{
    EXPECT_EQ(readReg(31), 0xFF);
    writeReg(6, 0x12, 0xFF);
    line(Map::kFpga0Reset, true);
    EXPECT_EQ(part().fpga0().resets(), 1);
    EXPECT_EQ(readReg(6), 0x00) << "write while held was ignored";
    EXPECT_EQ(readReg(31), 0x25) << "the version's year, two BCD digits: 2025";
    writeReg(6, 0x12, 0xFF);
    writeReg(6, 0xFF, 0x0F);
    EXPECT_EQ(readReg(6), 0x1F) << "masked merge";
    line(Map::kFpga0Reset, false);
    line(Map::kFpga0Reset, true);
    EXPECT_EQ(part().fpga0().resets(), 2);
    EXPECT_EQ(readReg(6), 0x00) << "release restores the power-on state";
}

TEST_F(SimFpgaBoardTest, DeselectedTransfersAndStrobesAreIgnored)
{
    line(Map::kFpga0Reset, true);
    fpgaXfer(true, {0x04, 0x00, 0x06, 0xFF});
    fpgaXfer(false, {0x55});
    EXPECT_EQ(part().fpga0().reg(6), 0);
    writeReg(130, 0xF0, 0xFF);
    EXPECT_EQ(readReg(130), 0) << "strobes read back 0";
}

TEST_F(SimFpgaBoardTest, ParameterRamEchoesButMeasurementIsReadOnly)
{
    line(Map::kFpga0Reset, true);
    line(Map::kFpga0Cs, false);
    fpgaXfer(true, {0x02, 0x01, 112, 0x00});
    fpgaXfer(false, Bytes(12, 0xAB));
    fpgaXfer(true, {0x03, 0x01, 112, 0x00});
    const Bytes got = fpgaXfer(false, Bytes(12, 0xFF));
    EXPECT_EQ(got, (Bytes{0xAB, 0xAB, 0xAB, 0xAB, 0x80, 0x07, 0x38, 0x04, 0x35, 0xB7, 0x0C, 0x00}));
    fpgaXfer(true, {0x02, 0x05, 0xF0, 0x0F});   // address 0xFF0, 32 bytes: runs off the end
    fpgaXfer(false, Bytes(32, 1));
    line(Map::kFpga0Cs, true);
    EXPECT_EQ(part().fpga0().ramOverruns(), 1);
}

TEST_F(SimFpgaBoardTest, EventRaisesTheInterruptLine)
{
    line(Map::kFpga0Reset, true);
    EXPECT_EQ(gpio().load(Map::kFpga0Irq), 0);
    part().fpga0().raiseEvent();
    EXPECT_EQ(gpio().load(Map::kFpga0Irq), 1);
}

TEST_F(SimFpgaBoardTest, NorFlashNeedsWriteEnableAndOnlyClearsBits)
{
    auto& flash = part().flash2();
    flash.setBusyPolls(0);
    flashXfer({0x02, 0x00, 0x10, 0x00, 0x0F});
    EXPECT_EQ(flash.read(0x1000, 1), Bytes{0xFF}) << "no write enable";
    flashXfer({0x06});
    flashXfer({0x02, 0x00, 0x10, 0x00, 0x0F});
    flashXfer({0x06});
    flashXfer({0x02, 0x00, 0x10, 0x00, 0xF3});
    EXPECT_EQ(flash.read(0x1000, 1), Bytes{0x03});
    flashXfer({0x06});
    flashXfer({0x02, 0x00, 0x10, 0xFF, 0x11, 0x22});
    EXPECT_EQ(flash.read(0x10FF, 1), Bytes{0x11});
    EXPECT_EQ(flash.read(0x1000, 1), Bytes{0x02}) << "wrapped inside the page";
    flashXfer({0x06});
    flashXfer({0x20, 0x00, 0x10, 0x00});
    EXPECT_EQ(flash.read(0x1000, 256), Bytes(256, 0xFF));
    EXPECT_EQ(flashXfer({0x0B, 0x00, 0x10, 0x00, 0x00, 0x00})[5], 0xFF);
}

TEST_F(SimFpgaBoardTest, NorFlashIsBusyForTheSetPollsAndAnswersOnlyWhenRouted)
{
    auto& flash = part().flash2();
    flash.setBusyPolls(2);
    flashXfer({0x06});
    flashXfer({0x20, 0x00, 0x00, 0x00});
    EXPECT_EQ(flashXfer({0x05, 0xFF})[1] & 1, 1);
    flashXfer({0x06});
    EXPECT_EQ(flash.ignoredWhileBusy(), 1);
    EXPECT_EQ(flashXfer({0x05, 0xFF})[1] & 1, 1);
    EXPECT_EQ(flashXfer({0x05, 0xFF})[1] & 1, 0);
    line(Map::kFpga1Cs, false);
    EXPECT_EQ(flashXfer({0x05, 0xFF})[1], 0) << "FPGA 1 selected: flash not routed";
}

TEST_F(SimFpgaBoardTest, PersistedFlashAndKnobsComeFromBoardIni)
{
    {
        std::ofstream ini(hostPath("/sim/board.ini"));
        ini << "[fpga]\nversion=24\nvideo_present=false\n[flash]\npersist=true\n";
    }
    platform::Board::initSim(root());
    auto* p = platform::sim::SimFpgaBoard::current();
    EXPECT_EQ(p->fpga0().knobs().version31, 24);
    EXPECT_FALSE(p->fpga0().knobs().videoPresent);
    p->flash2().preload(0x6CE000, Bytes{0xAA, 3});
    platform::Board::initSim(root());
    EXPECT_EQ(platform::sim::SimFpgaBoard::current()->flash2().read(0x6CE000, 2), (Bytes{0xAA, 3}));
}

// The file follows the flash and the FPGA by themselves, a little later
// (the board's writer thread), without SIGUSR1.
TEST_F(SimFpgaBoardTest, StateFileShowsTheFpgaAndTheFlashRecords)
{
    auto stateWhen = [this](const std::function<bool(const QJsonObject&)>& shown) {
        QJsonObject state;
        for (int i = 0; i < 500 && !shown(state); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            QFile f(QString::fromStdString(hostPath("/sim/state.json")));
            if (f.open(QIODevice::ReadOnly))
                state = QJsonDocument::fromJson(f.readAll()).object();
        }
        return state;
    };
    flashXfer({0x06});
    flashXfer({0x02, 0x6C, 0xE0, 0x00, 0xAA});
    auto record = [](const QJsonObject& s) { return s["flash2"].toObject()["brightness_record"].toObject(); };
    EXPECT_TRUE(record(stateWhen([&](const QJsonObject& s) { return record(s)["present"].toBool(); }))["present"].toBool())
        << "a flash write alone";

    line(Map::kFpga0Reset, true);
    writeReg(3, 0x20, 0x20);
    const QJsonObject state = stateWhen([](const QJsonObject& s) { return s["fpga0"].toObject()["lit"].toBool(); });
    EXPECT_TRUE(state["fpga0"].toObject()["lit"].toBool());
    EXPECT_EQ(state["fpga0"].toObject()["resets"].toInt(), 1);

    // The board times each hold of the reset line for watchers that sample
    // the file less often, and counts every pull, one while held included
    // (it renews the controller's hold).
    const int pullsBefore = state["fpga0"].toObject()["pulls"].toInt();
    line(Map::kFpga0Reset, false);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    line(Map::kFpga0Reset, false);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    line(Map::kFpga0Reset, true);
    const QJsonObject held = stateWhen([](const QJsonObject& s) { return s["fpga0"].toObject()["resets"].toInt() == 2; });
    EXPECT_GE(held["fpga0"].toObject()["last_hold_ms"].toInt(), 40);
    EXPECT_EQ(held["fpga0"].toObject()["pulls"].toInt(), pullsBefore + 2);
}

} // namespace
} // namespace kel::test
