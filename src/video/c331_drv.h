#pragma once
#include "platform/FpgaBoardMap.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace kel::platform {
class RegisterWindow;
class SpiDevice;
}

// The scaler chip's driver: banked 16-bit registers over the shared SPI bus
// and the chip's serial flash behind its flash bridge. Every transfer runs
// under Utils::_spi_mutex with both FPGA chip selects driven high first;
// the bank cache and each bank-select-plus-access run under
// Utils::_c331_bnk_mutex (taken before the SPI lock).
class c331_drv {
public:
    static constexpr const char* kDevPath = "/dev/spidev32766.0";
    static constexpr uint32_t kGpioFpga0Cs = kel::platform::FpgaBoardMap::kFpga0Cs;
    static constexpr uint32_t kGpioFpga1Cs = kel::platform::FpgaBoardMap::kFpga1Cs;
    static constexpr uint16_t kCsHigh = kel::platform::FpgaBoardMap::kHigh;

    c331_drv();
    ~c331_drv();

    // Opens the device (mode 3, 8-bit words, 10 MHz) and, unless a chip
    // select hook is set, the register window for the FPGA selects.
    bool open();
    bool isOpen() const;
    // Replaces the driver's own FPGA chip-select stores (the FPGA manager's
    // GPIO words once they exist). Called under the SPI lock.
    void setFpgaDeselect(std::function<void()> deselect);

    bool writeReg(int bank, uint8_t reg, uint16_t value);
    // Consecutive registers (or repeated writes of a port register).
    bool writeRegs(int bank, uint8_t reg, const uint16_t* words, size_t count);
    bool readReg(int bank, uint8_t reg, uint16_t& value);
    bool readRegs(int bank, uint8_t reg, uint16_t* words, size_t count);
    // Forgets the cached bank (the next access selects again).
    void invalidateBank();

    // ---- serial flash ----
    bool flashRead(uint32_t addr, uint8_t* out, size_t len);
    // Write enable, erase one unit, and wait until the flash is ready.
    bool flashErase(uint32_t addr, uint8_t eraseCommand);
    // Write enable, program inside one page, and wait until ready.
    bool flashProgramPage(uint32_t addr, const uint8_t* data, size_t len);
    // Polls the status until not busy; false after the time limit.
    bool flashWaitReady();

private:
    bool flashCommand(const std::vector<uint8_t>& tx, size_t rxLen, std::vector<uint8_t>* rx);
    bool writeRegsLocked(int bank, uint8_t reg, const uint16_t* words, size_t count);
    bool readRegsLocked(int bank, uint8_t reg, uint16_t* words, size_t count);
    bool transferLocked(const std::vector<uint8_t>& tx, std::vector<uint8_t>* rx);
    bool selectBankLocked(int bank);
    void deselectFpgas();

    std::unique_ptr<kel::platform::SpiDevice> spi_;
    std::unique_ptr<kel::platform::RegisterWindow> gpio_;
    std::function<void()> fpgaDeselect_;
    int bank_ = -1;
};
