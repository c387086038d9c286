#pragma once
#include "platform/sim/SimScalerFlash.h"
#include "platform/sim/SimSpiChip.h"

#include <QJsonObject>

#include <array>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

namespace kel::platform::sim {

class SimBoard;

// The scaler chip on "/dev/spidev32766.0" with its serial flash. A
// transfer is one command: byte 0 is 0x02 (write) or 0x03 (read), byte 1 a
// register of the current bank, then 16-bit big-endian words for that
// register and the following ones (port registers do not advance).
// Register 0xFF of every bank selects the bank. docs/scaler.md has the map.
class SimScaler : public SimSpiChip {
public:
    static constexpr const char* kDevPath = "/dev/spidev32766.0";
    static constexpr uint16_t kChipId = 0xC331;
    static constexpr int kBanks = 8;
    static constexpr int kTextChars = 64 * 128;

    // Banks and the registers tests read back.
    enum Bank { Sys = 0, Output = 1, Input = 2, Window = 3, Picture = 4, Osd = 5, OsdText = 6, Flash = 7 };
    enum : uint8_t {
        RegBank = 0xFF,
        SysChipId = 0x00, SysInit = 0x01,
        OutPanelW = 0x00, OutPanelH = 0x01, OutSplice = 0x02, OutApply = 0x03, OutCh0 = 0x10, OutCh1 = 0x18,
        InPortStride = 0x10,
        WinStride = 0x20, WinEnable = 0, WinSource = 1, WinCrop = 2, WinPos = 6, WinMirror = 10, WinFlags = 11,
        WinP2p = 12, WinP2pMode = 13, WinFadeIn = 14, WinFadeOut = 15,
        WinCount = 0xE0, WinSwitchEffect = 0xE1, WinCommit = 0xE2,
        PicContrast = 0, PicSharpness = 1, PicSaturation = 2, PicBrightness = 3,
        PicGainR = 4, PicGainG = 5, PicGainB = 6, PicPattern = 8,
        OsdLineX = 0x40, OsdVAlignValue = 0x80, OsdLineCount = 0x81, OsdCommit = 0x82,
        TextAddr = 0x00, TextData = 0x01,
        SfTx = 0x00, SfRxLen = 0x01, SfGo = 0x02, SfRx = 0x03,
        FontSel = 0x10, FontAddrHi = 0x11, FontAddrLo = 0x12, FontSizeHi = 0x13, FontSizeLo = 0x14, FontLoad = 0x15,
    };

    struct Write { int bank; int reg; uint16_t value; };
    struct Font { uint32_t addr = 0; uint32_t size = 0; uint32_t checksum = 0; int loads = 0; };

    SimScaler();
    // Puts a scaler on the board's SPI bus and its state into state.json;
    // the flash starts from <root>/sim/scaler_flash.bin when that exists.
    static SimScaler& install(SimBoard& board);
    // The scaler installed on a board.
    static SimScaler* on(SimBoard& board);

    void transfer(const uint8_t* tx, uint8_t* rx, size_t len) override;

    // Chip-ID answers: the scripted ones first, then the default (an absent
    // chip reads 0xFFFF).
    void scriptChipId(const std::vector<uint16_t>& answers);
    void setChipIdDefault(uint16_t value);
    int chipIdReads() const;

    uint16_t reg(int bank, int reg) const;
    int bank() const;
    int bankSelects() const;
    int initCount() const;
    int panelApplies() const;
    int windowCommits() const;
    uint16_t textChar(int line, int col) const;
    Font font(int index) const;
    std::vector<Write> writes() const;
    void clearWrites();
    SimScalerFlash& flash() { return flash_; }

    // Called at the start of every transfer (tests check the caller's locks
    // and the shared chip-select lines from here).
    void setTransferProbe(std::function<void()> probe);

    QJsonObject state() const;

private:
    void writeReg(int reg, uint16_t value);
    uint16_t readReg(int reg);
    bool isPort(int reg) const;
    void runFlashCommand();
    void loadFont();

    mutable std::mutex lock_;
    std::array<std::array<uint16_t, 256>, kBanks> regs_{};
    int bank_ = 0;
    int bankSelects_ = 0;
    int initCount_ = 0;
    int panelApplies_ = 0;
    int windowCommits_ = 0;
    int chipIdReads_ = 0;
    std::deque<uint16_t> chipIdScript_;
    uint16_t chipIdDefault_ = kChipId;
    std::vector<uint16_t> text_;
    std::vector<uint8_t> sfTx_;
    std::deque<uint8_t> sfRx_;
    std::array<Font, 4> fonts_{};
    std::vector<Write> writes_;
    std::function<void()> probe_;
    SimScalerFlash flash_;
};

} // namespace kel::platform::sim
