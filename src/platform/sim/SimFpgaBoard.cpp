#include "platform/sim/SimFpgaBoard.h"

#include "platform/FpgaBoardMap.h"
#include "platform/PathMap.h"
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimCardChain.h"
#include "platform/sim/SimFpga.h"
#include "platform/sim/SimNorFlash.h"
#include "platform/sim/SimRegisterMemory.h"
#include "platform/sim/SimSpiBus.h"


#include <QJsonArray>

#include <atomic>

namespace kel::platform::sim {
namespace {

using Map = FpgaBoardMap;
std::atomic<SimFpgaBoard*> g_current{nullptr};

} // namespace

SimFpgaBoard& SimFpgaBoard::install(SimBoard& board)
{
    return board.own<SimFpgaBoard>(board);
}

SimFpgaBoard* SimFpgaBoard::current() { return g_current.load(); }

SimFpgaBoard::SimFpgaBoard(SimBoard& board) : board_(board)
{
    auto& gpio = board.registers();
    fpga0_ = std::make_unique<SimFpga>(gpio, Map::kFpga0Cs, Map::kFpga0Cmd, Map::kFpga0Reset);
    const bool persist = board.scenarioFlag("flash/persist", false, "keep flash 2 in sim/flash2.bin across runs");
    flash2_ = std::make_unique<SimNorFlash>(gpio, SimNorFlash::Select{Map::kFlash2Cs, Map::kFpga0Cs, Map::kFpga1Cs},
                                            persist ? PathMap::host(std::string("/sim/flash2.bin")) : std::string());
    for (int port = 0; port < 16; ++port) {
        chains_[size_t(port)] = std::make_unique<SimCardChain>(port);
        fpga0_->attachChain(port, chains_[size_t(port)].get());
    }
    applyIni();
    wireLines();
    board.spi().attach(Map::kSpiPaths[0], fpga0_.get());
    board.spi().attach(Map::kSpiPaths[2], flash2_.get());
    // The hooks run on the thread that drives the chip, inside the
    // program's bus and port locks: they only mark the state changed.
    fpga0_->setChangeHook([this] { board_.stateChanged(); });
    flash2_->setChangeHook([this](uint32_t, uint32_t) { board_.stateChanged(); });
    board.addStateWriter("fpga0", [this] { return fpga0_->state(); });
    board.addStateWriter("flash2", [this] { return flash2_->state(); });
    board.addStateWriter("cards", [this] {
        QJsonObject o;
        for (int port = 0; port < 16; ++port)
            o[QString("port%1").arg(port)] = chains_[size_t(port)]->state();
        return o;
    });
    g_current = this;
}

SimFpgaBoard::~SimFpgaBoard()
{
    board_.spi().detach(Map::kSpiPaths[0]);
    board_.spi().detach(Map::kSpiPaths[2]);
    board_.removeStateWriter("fpga0");
    board_.removeStateWriter("flash2");
    board_.removeStateWriter("cards");
    for (int port = 0; port < 16; ++port)
        fpga0_->attachChain(port, nullptr);
    auto& gpio = board_.registers();
    gpio.unwatch(watchId_);
    gpio.setLoadHook(Map::kFpga0Irq, {});
    gpio.setLoadHook(Map::kFpga1Irq, {});
    SimFpgaBoard* self = this;
    g_current.compare_exchange_strong(self, nullptr);
}

void SimFpgaBoard::applyIni()
{
    SimFpga::Knobs k = fpga0_->knobs();
    auto number = [this](const char* key, uint32_t def, const char* comment) {
        return board_.scenarioNumber(QString("fpga/") + key, def, comment);
    };
    auto flag = [this](const char* key, bool def, const char* comment) {
        return board_.scenarioFlag(QString("fpga/") + key, def, comment);
    };
    k.version31 = uint8_t(number("version", k.version31, "register 31, the program version (25..48 is good) and its year in BCD (0x25: 2025)"));
    k.vboErrorReads = int(number("vbo_error_reads", uint32_t(k.vboErrorReads), "reads of register 22 that report a V-by-One error"));
    k.lockAfterReads = int(number("vbo_lock_after_reads", uint32_t(k.lockAfterReads), "reads of register 22 before V-by-One locks"));
    k.videoPresent = flag("video_present", k.videoPresent, "register 22 reports video");
    k.reg23Bit1Stuck = flag("reg23_bit1_stuck", k.reg23Bit1Stuck, "register 23 bit 1 reads 1 whatever is written");
    k.width = uint16_t(number("width", k.width, "measured input width"));
    k.height = uint16_t(number("height", k.height, "measured input height"));
    k.count = number("count", k.count, "measured frame count");
    k.reg40BadOf8 = int(number("reg40_bad_of_8", uint32_t(k.reg40BadOf8), "of every 8 reads of register 40, how many report a V-by-One fault"));
    k.txBusyPolls = int(number("tx_busy_polls", uint32_t(k.txBusyPolls), "status reads a started transmitter reports busy"));
    k.txStuckBusy = flag("tx_stuck_busy", k.txStuckBusy, "a started transmitter never reports free");
    fpga0_->setKnobs(k);
    for (int port = 0; port < 16; ++port) {
        const std::string comment =
            port == 0 ? "cards on output port 0: count, then knobs drop, bad_check, wrong_tag, zero_port_byte, "
                        "all_answer, unlinked, status=N, delay=N (status polls), port_status=N, recovery=N, config=N, truncate=N, power=N"
                      : "cards on output port " + std::to_string(port) + ", as for port 0";
        const QVariant value = board_.scenario(QString("cards/port%1").arg(port), "0", comment.c_str());
        // "3, drop" reads back as a list.
        const QString text = value.type() == QVariant::StringList ? value.toStringList().join(',') : value.toString();
        chains_[size_t(port)]->setKnobs(SimCardChain::parse(text));
    }
    flash2_->setBusyPolls(int(board_.scenarioNumber("flash/busy_polls", 2, "status reads that report busy after a program or erase")));
    flash2_->setStuckBusy(board_.scenarioFlag("flash/stuck_busy", false, "flash 2 never finishes a program or erase"));
}

void SimFpgaBoard::wireLines()
{
    auto& gpio = board_.registers();
    // Power-on levels: selects and strobes idle high/low, FPGAs held in
    // reset until the input board releases them, no interrupt.
    for (uint32_t cs : {Map::kFpga0Cs, Map::kFpga1Cs, Map::kFlash2Cs, Map::kFlash3Cs})
        gpio.poke(cs, Map::kHigh);
    for (uint32_t low : {Map::kFpga0Cmd, Map::kFpga1Cmd, Map::kFpga0Reset, Map::kFpga1Reset})
        gpio.poke(low, Map::kLow);
    watchId_ = gpio.watchStores(Map::kFpga0Reset, Map::kFpga0Reset, [this](uint32_t, uint16_t, uint16_t now) {
        fpga0_->resetLine(Map::isHigh(now));
    });
    gpio.setLoadHook(Map::kFpga0Irq, [this](uint32_t, uint16_t) -> uint16_t { return fpga0_->irqLevel() ? 1 : 0; });
    gpio.setLoadHook(Map::kFpga1Irq, [](uint32_t, uint16_t) -> uint16_t { return 0; });
}

} // namespace kel::platform::sim
