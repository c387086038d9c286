#pragma once
#include "inputs/tarvosource.h"
#include "params/KelRamPara.h"
#include "support/SimRootFixture.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kel::platform::sim { class SimInputBoard; }

namespace kel::test {

// A simulated root with the input board, a loaded parameter store, the
// configuration store and a board manager that the test steps by hand
// (no thread); ticks advance only when the test says so.
class InputBoardFixture : public SimRootFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    platform::sim::SimInputBoard& sim();
    KelRamPara& store() { return *store_; }
    tarvosource& src() { return *src_; }
    // A new board manager, as after a restart of the program.
    void restartManager();

    // Runs iterations, one tick each, until the thread state is reached;
    // false when it is not reached within the limit.
    bool runUntilState(uint8_t state, int maxIterations = 500);
    // Runs iterations with one tick each.
    void run(int iterations);
    // Plugs a source given as a board.ini source<k> value ("vic:16", ...).
    void plug(int input, const std::string& source);
    // Hot-plug drops of input 0..3's receiver in the transfer log: writes of
    // bank 1 register 0xB0 that leave the high level 3.
    unsigned hpdDrops(int input);
    uint8_t reg(int index) const;
    void setReg(int index, uint8_t value);
    std::array<uint8_t, 256> eeprom(int input);
    std::string configValue(const std::string& key) const;
    // edid-decode --check on a file; empty when the tool is absent,
    // else its verdict line.
    static bool haveEdidDecode();
    static bool edidDecodePasses(const std::string& hostFile, std::string* report = nullptr);
    std::string writeTemp(const uint8_t* data, size_t size, const std::string& name);

    std::unique_ptr<KelRamPara> store_;
    std::unique_ptr<tarvosource> src_;
};

} // namespace kel::test
