#pragma once
#include <array>
#include <memory>

namespace kel::platform::sim {

class SimBoard;
class SimFpga;
class SimNorFlash;
class SimCardChain;

// The LED-output part of the simulated board: FPGA 0 on spidev ".1", its
// serial flash (flash 2) on ".3"; FPGA 1 (".2") and the second flash (".4")
// are absent, so opening them fails. Watches the FPGA lines in the register
// memory (reset edges, selects) and drives the interrupt inputs. Its knobs
// come from group [fpga] and [flash] of <root>/sim/board.ini when present;
// group [cards] says what card chain each output port has ("portN=count"
// with knobs, see SimCardChain::parse).
class SimFpgaBoard {
public:
    // Installs the part on the board (the board owns it) and returns it.
    static SimFpgaBoard& install(SimBoard& board);
    // The part of the board that is current, or null.
    static SimFpgaBoard* current();

    explicit SimFpgaBoard(SimBoard& board);
    ~SimFpgaBoard();
    SimFpgaBoard(const SimFpgaBoard&) = delete;
    SimFpgaBoard& operator=(const SimFpgaBoard&) = delete;

    SimFpga& fpga0() { return *fpga0_; }
    SimNorFlash& flash2() { return *flash2_; }
    SimCardChain& chain(int port) { return *chains_[size_t(port & 15)]; }

private:
    void applyIni();
    void wireLines();

    SimBoard& board_;
    std::unique_ptr<SimFpga> fpga0_;
    std::unique_ptr<SimNorFlash> flash2_;
    std::array<std::unique_ptr<SimCardChain>, 16> chains_;
    int watchId_ = 0;
};

} // namespace kel::platform::sim
