#pragma once
#include "platform/sim/SimFlashOp.h"
#include "platform/sim/SimSpiChip.h"

#include <QJsonObject>

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace kel::platform::sim {

class SimRegisterMemory;

// Simulated 8 MiB serial NOR flash behind FPGA 0. Each transfer is one
// command; it answers only while its own select and FPGA 0's select are low
// and FPGA 1's is high. Erase sets 0xFF, page program only clears bits and
// wraps inside its 256-byte page, both need write-enable and leave the chip
// busy for a settable number of status polls. The image can persist in a
// file so that records survive a restart.
class SimNorFlash : public SimSpiChip {
public:
    static constexpr uint32_t kSize = 0x800000;
    struct Select { uint32_t own; uint32_t fpga0; uint32_t fpga1; };
    using ChangeHook = std::function<void(uint32_t addr, uint32_t len)>;

    SimNorFlash(SimRegisterMemory& gpio, Select lines, std::string persistPath = {});

    void transfer(const uint8_t* tx, uint8_t* rx, size_t len) override;

    // Knobs.
    void setBusyPolls(int polls);
    void setStuckBusy(bool stuck);
    void setUid(const std::array<uint8_t, 8>& uid);
    // Power cut: only `bytes` more programmed bytes reach the cells; the
    // program that crosses the limit stops at that byte, and every later
    // program and erase is lost. A negative count restores the power.
    void setPowerCut(int64_t bytes);

    // Back door (no bus traffic, not logged).
    std::vector<uint8_t> read(uint32_t addr, size_t len) const;
    void preload(uint32_t addr, const std::vector<uint8_t>& bytes);
    bool writeEnabled() const;
    int programs() const;
    int erases() const;
    std::vector<std::vector<uint8_t>> statusWrites() const;
    int ignoredWhileBusy() const;
    // Erases and programs since the start (or the last clearOps).
    std::vector<SimFlashOp> ops() const;
    void clearOps();
    void setChangeHook(ChangeHook hook);
    // The first bytes of each record region, for state.json.
    QJsonObject state() const;

private:
    bool selected() const;
    void command(const uint8_t* tx, uint8_t* rx, size_t len, uint32_t& changedAddr, uint32_t& changedLen);
    void erase(uint32_t addr, uint32_t unit);
    void program(uint32_t addr, const uint8_t* data, size_t n);
    void persist(uint32_t addr, uint32_t len) const;
    void load();

    SimRegisterMemory& gpio_;
    const Select lines_;
    const std::string persistPath_;
    mutable std::mutex lock_;
    std::vector<uint8_t> mem_;
    std::array<uint8_t, 8> uid_{{0x4B, 0x45, 0x4C, 0x00, 0x00, 0x00, 0x00, 0x01}};
    bool wel_ = false;
    int busyLeft_ = 0;
    int busyPolls_ = 2;
    bool stuck_ = false;
    int programs_ = 0;
    int erases_ = 0;
    int ignored_ = 0;
    int64_t powerLeft_ = -1;
    std::vector<std::vector<uint8_t>> statusWrites_;
    std::vector<SimFlashOp> ops_;
    ChangeHook changeHook_;
};

} // namespace kel::platform::sim
