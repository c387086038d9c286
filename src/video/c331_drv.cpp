#include "video/c331_drv.h"

#include "params/DebugPrint.h"
#include "params/Utils.h"
#include "platform/Board.h"
#include "platform/RegisterWindow.h"
#include "platform/SpiDevice.h"
#include "platform/Sleeper.h"
#include "video/c331_regs.h"

#include <QMutexLocker>

#include <algorithm>

using namespace c331reg;

namespace {
constexpr uint8_t kSpiMode = 3;
constexpr uint8_t kSpiBits = 8;
constexpr uint32_t kSpiSpeedHz = 10000000;
// A 64 KiB erase takes up to about 2 s on the part; the polls are 1 ms apart.
constexpr int kFlashReadyPolls = 3000;
constexpr uint64_t kFlashPollUs = 1000;
// Flash bytes read back per bridge command.
constexpr size_t kFlashReadChunk = 256;

std::vector<uint8_t> frame(uint8_t cmd, uint8_t reg, const uint16_t* words, size_t count)
{
    std::vector<uint8_t> tx{cmd, reg};
    tx.reserve(2 + 2 * count);
    for (size_t i = 0; i < count; ++i) {
        tx.push_back(uint8_t(words ? words[i] >> 8 : 0));
        tx.push_back(uint8_t(words ? words[i] : 0));
    }
    return tx;
}

std::vector<uint8_t> addressed(uint8_t cmd, uint32_t addr)
{
    return {cmd, uint8_t(addr >> 16), uint8_t(addr >> 8), uint8_t(addr)};
}
} // namespace

c331_drv::c331_drv() = default;
c331_drv::~c331_drv() = default;

bool c331_drv::open()
{
    spi_ = kel::platform::Board::newSpi();
    if (!spi_->open(kDevPath) || !spi_->configure(kSpiMode, kSpiBits, kSpiSpeedHz)) {
        kelDebug("c331: cannot open %s\n", kDevPath);
        spi_.reset();
        return false;
    }
    if (!fpgaDeselect_) {
        gpio_ = kel::platform::Board::newRegisterWindow();
        if (!gpio_->open())
            gpio_.reset();
    }
    return true;
}

bool c331_drv::isOpen() const { return spi_ && spi_->isOpen(); }

void c331_drv::setFpgaDeselect(std::function<void()> deselect) { fpgaDeselect_ = std::move(deselect); }

void c331_drv::deselectFpgas()
{
    if (fpgaDeselect_) {
        fpgaDeselect_();
        return;
    }
    // Without a mapped window there is nothing valid to store through.
    if (gpio_ && gpio_->isOpen()) {
        gpio_->write16(kGpioFpga0Cs, kCsHigh);
        gpio_->write16(kGpioFpga1Cs, kCsHigh);
    }
}

bool c331_drv::transferLocked(const std::vector<uint8_t>& tx, std::vector<uint8_t>* rx)
{
    if (!isOpen())
        return false;
    QMutexLocker spiLock(&Utils::_spi_mutex);
    deselectFpgas();
    std::vector<uint8_t> in(tx.size(), 0);
    if (!spi_->transfer(tx.data(), in.data(), tx.size()))
        return false;
    if (rx)
        *rx = std::move(in);
    return true;
}

bool c331_drv::selectBankLocked(int bank)
{
    if (bank == bank_)
        return true;
    const uint16_t value = uint16_t(bank);
    if (!transferLocked(frame(kCmdWrite, kBankSelect, &value, 1), nullptr)) {
        bank_ = -1;
        return false;
    }
    bank_ = bank;
    return true;
}

void c331_drv::invalidateBank()
{
    QMutexLocker l(&Utils::_c331_bnk_mutex);
    bank_ = -1;
}

bool c331_drv::writeReg(int bank, uint8_t reg, uint16_t value) { return writeRegs(bank, reg, &value, 1); }

bool c331_drv::writeRegs(int bank, uint8_t reg, const uint16_t* words, size_t count)
{
    QMutexLocker l(&Utils::_c331_bnk_mutex);
    return writeRegsLocked(bank, reg, words, count);
}

bool c331_drv::writeRegsLocked(int bank, uint8_t reg, const uint16_t* words, size_t count)
{
    return selectBankLocked(bank) && transferLocked(frame(kCmdWrite, reg, words, count), nullptr);
}

bool c331_drv::readReg(int bank, uint8_t reg, uint16_t& value) { return readRegs(bank, reg, &value, 1); }

bool c331_drv::readRegs(int bank, uint8_t reg, uint16_t* words, size_t count)
{
    QMutexLocker l(&Utils::_c331_bnk_mutex);
    return readRegsLocked(bank, reg, words, count);
}

bool c331_drv::readRegsLocked(int bank, uint8_t reg, uint16_t* words, size_t count)
{
    std::vector<uint8_t> rx;
    if (!selectBankLocked(bank) || !transferLocked(frame(kCmdRead, reg, nullptr, count), &rx))
        return false;
    for (size_t i = 0; i < count; ++i)
        words[i] = uint16_t((rx[2 + 2 * i] << 8) | rx[3 + 2 * i]);
    return true;
}

bool c331_drv::flashCommand(const std::vector<uint8_t>& tx, size_t rxLen, std::vector<uint8_t>* rx)
{
    // One bridge command is several register accesses: keep other users of
    // the chip out until its answer is read.
    QMutexLocker l(&Utils::_c331_bnk_mutex);
    std::vector<uint16_t> words(tx.begin(), tx.end());
    const uint16_t len = uint16_t(rxLen);
    const uint16_t go = 1;
    if (!writeRegsLocked(Flash, SF_TX, words.data(), words.size()) || !writeRegsLocked(Flash, SF_RXLEN, &len, 1)
        || !writeRegsLocked(Flash, SF_GO, &go, 1))
        return false;
    if (rxLen == 0)
        return true;
    std::vector<uint16_t> in(rxLen, 0);
    if (!readRegsLocked(Flash, SF_RX, in.data(), rxLen))
        return false;
    if (rx)
        rx->assign(in.begin(), in.end());
    return true;
}

bool c331_drv::flashWaitReady()
{
    std::vector<uint8_t> status;
    for (int i = 0; i < kFlashReadyPolls; ++i) {
        if (!flashCommand({SF_READ_STATUS}, 1, &status))
            return false;
        if (!(status[0] & SF_STATUS_BUSY))
            return true;
        kel::platform::Sleeper::sleepUs(kFlashPollUs);
    }
    kelDebug("c331: serial flash still busy after %d polls\n", kFlashReadyPolls);
    return false;
}

bool c331_drv::flashRead(uint32_t addr, uint8_t* out, size_t len)
{
    std::vector<uint8_t> rx;
    for (size_t done = 0; done < len; done += rx.size()) {
        const size_t n = std::min(kFlashReadChunk, len - done);
        if (!flashCommand(addressed(SF_READ, uint32_t(addr + done)), n, &rx))
            return false;
        std::copy(rx.begin(), rx.end(), out + done);
    }
    return true;
}

bool c331_drv::flashErase(uint32_t addr, uint8_t eraseCommand)
{
    return flashCommand({SF_WRITE_ENABLE}, 0, nullptr) && flashCommand(addressed(eraseCommand, addr), 0, nullptr)
        && flashWaitReady();
}

bool c331_drv::flashProgramPage(uint32_t addr, const uint8_t* data, size_t len)
{
    std::vector<uint8_t> tx = addressed(SF_PAGE_PROGRAM, addr);
    tx.insert(tx.end(), data, data + len);
    return flashCommand({SF_WRITE_ENABLE}, 0, nullptr) && flashCommand(tx, 0, nullptr) && flashWaitReady();
}
