#pragma once
#include "platform/sim/SimSpiChip.h"

#include <QJsonObject>

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace kel::platform::sim {

class SimRegisterMemory;
class SimCardChain;

// Simulated output FPGA 0. A transfer is taken while its chip select is low:
// with the command strobe high it is the 4-byte command word (LSB first),
// with the strobe low the data phase of the last command. Register writes
// merge (old & ~mask) | (value & mask); RAM buffers hold 4096 bytes.
// While the reset line is low reads give 0xFF and writes are ignored; the
// rising edge restores the power-on state and is counted.
class SimFpga : public SimSpiChip {
public:
    static constexpr size_t kRamSize = 4096;
    static constexpr uint32_t kMeasureAddr = 116;

    struct Knobs {
        // Register 31: the program version, which the FPGA manager accepts
        // from 25 to 48, and the year of the version line (BCD, 0x25: 2025).
        uint8_t version31 = 0x25;
        int vboErrorReads = 0;       // reads of register 22 that report bit 3
        int lockAfterReads = 0;      // register 22 bit 4 once this many reads passed
        bool videoPresent = true;    // register 22 bit 7
        bool reg23Bit1Stuck = false; // register 23 bit 1 reads 1 whatever is written
        int corruptEchoReads = 0;    // parameter RAM reads answered with flipped bytes
        uint16_t width = 1920;       // measurement at RAM buffer 1, bytes 116..123
        uint16_t height = 1080;
        uint32_t count = 833333;
        uint8_t reg40 = 0x1C;
        int reg40BadOf8 = 0;         // of every 8 reads of register 40, this many miss bits 2-4
        uint8_t resetReadValue = 0xFF;
        int txBusyPolls = 0;         // status reads a started transmitter reports busy
        bool txStuckBusy = false;    // a started transmitter never frees
    };

    using ChangeHook = std::function<void()>;

    SimFpga(SimRegisterMemory& gpio, uint32_t csWord, uint32_t cmdWord, uint32_t resetWord);

    void transfer(const uint8_t* tx, uint8_t* rx, size_t len) override;

    // Called by the board when the reset line changes level.
    void resetLine(bool high);

    // Back door for tests and the board.
    Knobs knobs() const;
    void setKnobs(const Knobs& k);
    uint8_t reg(uint8_t r) const;
    void setReg(uint8_t r, uint8_t value);
    std::vector<uint8_t> ram(uint8_t buffer, uint32_t addr, size_t len) const;
    void setRam(uint8_t buffer, uint32_t addr, const std::vector<uint8_t>& bytes);
    void raiseEvent();                 // register 22 bit 6, seen on the IRQ line
    // The interrupt line; each look at it is a poll that ages delayed answers.
    bool irqLevel();
    int resets() const;
    bool inReset() const;
    bool lit() const;                  // register 0 bit 2 clear and register 3 bit 5 set
    int ramOverruns() const;
    std::set<std::string> milestones() const;
    void setChangeHook(ChangeHook hook);
    QJsonObject state() const;

    // Output ports. A start strobe (register 130/146 bits 4-7) sends the
    // pair's TX buffer 3 + 2p out of the selected port (132/148) to the
    // port's card chain. An answer arrives after its delay (status polls
    // from the send) and shows in RX buffer 2 + 2p with its length and the
    // full bit of 129/145 until a release strobe (bits 0-3). What the
    // device holds beside that one buffer is each port's last answer: one
    // arriving while the buffer is full waits in its port's receiver, and
    // replaces (loses) an older one waiting there; the release shows the
    // earliest waiting. Link bits (128/144) come from the chains.
    void attachChain(int port, SimCardChain* chain);
    std::vector<std::vector<uint8_t>> sentFrames(int port) const;
    void clearSentFrames();
    // Answers of the pair not yet released: shown, waiting or on their way.
    size_t queuedAnswers(int pair) const;
    // Answers lost so far: arrived while their port's receiver held
    // one, or sent while kInFlightMax answers of the pair were on their way.
    int lostAnswers() const;

    // Answers of one pair on their way at once; more are lost on the wire.
    static constexpr size_t kInFlightMax = 16;

private:
    enum class Phase { None, RegRead, RegWrite, RamRead, RamWrite };

    void powerOnState();
    void command(const uint8_t* tx, size_t len);
    void data(const uint8_t* tx, uint8_t* rx, size_t len);
    uint8_t readReg(uint8_t r);
    void writeReg(uint8_t r, uint8_t value, uint8_t mask);
    uint8_t readRam(uint8_t buffer, uint32_t addr) const;
    std::vector<uint8_t>& buffer(uint8_t b);
    void noteMilestones();
    bool litLocked() const;
    uint8_t linkBits(int group) const;
    std::array<uint16_t, 16> portCards() const;
    uint8_t statusRead(int group);
    void strobe(int group, uint8_t bits);
    void transmit(int pair);
    // One status poll: answers on their way age, those due arrive.
    void ageAnswers();
    void arrive(int pair, int side, std::vector<uint8_t> bytes);
    void showNextWaiting(int pair);
    void show(int pair, const std::vector<uint8_t>& bytes);

    SimRegisterMemory& gpio_;
    const uint32_t csWord_, cmdWord_, resetWord_;
    mutable std::mutex lock_;
    Knobs knobs_;
    std::array<uint8_t, 256> regs_{};
    std::map<uint8_t, std::vector<uint8_t>> ram_;
    Phase phase_ = Phase::None;
    uint8_t target_ = 0;  // register number or RAM buffer
    uint8_t mask_ = 0;
    uint32_t addr_ = 0;
    bool held_ = true;    // reset line low
    int resets_ = 0;
    // Wall time of the last hold of the reset line, for a watcher that
    // samples the state less often than a hold lasts.
    std::chrono::steady_clock::time_point heldSince_ = std::chrono::steady_clock::now();
    qint64 lastHoldMs_ = -1;
    // Stores of a low reset line, those while it is already low included.
    int pulls_ = 0;
    int reads22_ = 0;
    int overruns_ = 0;
    bool wasLit_ = false;
    std::set<std::string> milestones_;
    ChangeHook changeHook_;
    int reads40_ = 0;
    bool chainTouched_ = false;
    std::array<uint16_t, 16> portCardsSeen_{};
    std::array<SimCardChain*, 16> chains_{};
    std::array<std::vector<std::vector<uint8_t>>, 16> sent_;
    struct InFlight {
        std::vector<uint8_t> bytes;
        int delayPolls;
        int side;   // port of the pair: 0 even, 1 odd
    };
    struct Waiting {
        std::vector<uint8_t> bytes;
        uint64_t arrived = 0;   // order of arrival
        bool held = false;
    };
    std::array<std::vector<InFlight>, 8> inFlight_;
    std::array<std::array<Waiting, 2>, 8> waiting_;
    std::array<bool, 8> rxFull_{};
    uint64_t arrivals_ = 0;
    int lost_ = 0;
    std::array<int, 8> txBusy_{};   // polls left; -1 stuck
};

} // namespace kel::platform::sim
