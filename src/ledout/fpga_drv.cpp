#include "ledout/fpga_drv.h"

#include "ledout/fpga_manage.h"
#include "params/DebugPrint.h"
#include "params/Utils.h"
#include "platform/Board.h"
#include "platform/FpgaBoardMap.h"
#include "platform/LogLine.h"
#include "platform/Sleeper.h"
#include "platform/SpiDevice.h"

#include <QMutexLocker>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr uint8_t kWren = 0x06;
constexpr uint8_t kRdsr = 0x05;
constexpr uint8_t kWrsr = 0x01;
constexpr uint8_t kWrsr2 = 0x31;
constexpr uint8_t kProgram = 0x02;
constexpr uint8_t kFastRead = 0x0B;
constexpr uint8_t kReadUid = 0x4B;
constexpr uint8_t kFlashMain = 2;

struct EraseKind {
    uint8_t command;
    uint32_t sectors;
};
constexpr EraseKind kEraseKinds[] = {{0x20, 1}, {0x52, 8}, {0xD8, 16}};

void addressBytes(uint8_t* out, uint32_t address)
{
    out[0] = uint8_t(address >> 16);
    out[1] = uint8_t(address >> 8);
    out[2] = uint8_t(address);
}

} // namespace

// Which select lines and descriptor reach a flash.
struct fpga_drv::FlashRoute {
    int fd;
    GpioWord* flashCs;
    GpioWord* selectLow;   // the FPGA select that stays low with the flash
    GpioWord* otherHigh;   // the other FPGA select, kept high
};

fpga_drv::fpga_drv() { kelDebug("====fpga_drv::fpga_drv()====\n"); }

fpga_drv::~fpga_drv() = default;

int fpga_drv::initialize_vbyne1(uint8_t index)
{
    if (index > 3)
        return -1;
    auto dev = kel::platform::Board::newSpi();
    const bool opened = dev->open(kel::platform::FpgaBoardMap::kSpiPaths[index]);
    kelDebug("\n fpga_drv SPI - Open Succeed. Start Init SPI...");
    if (!dev->configure(kSpiMode, kSpiBits, kSpiSpeedHz)) {
        kel::platform::LogLine::error("can't set spi mode\n");
        kelDebug("can't set bits per word");
        kelDebug("can't set max speed hz");
    }
    if (!opened)
        return -1;
    std::lock_guard<std::mutex> l(devLock_);
    devices_[index] = std::move(dev);
    return index;
}

kel::platform::SpiDevice* fpga_drv::device(int fd)
{
    std::lock_guard<std::mutex> l(devLock_);
    if (fd < 0 || fd >= int(devices_.size()))
        return nullptr;
    return devices_[fd].get();
}

void fpga_drv::closeAll()
{
    std::lock_guard<std::mutex> l(devLock_);
    for (auto& d : devices_)
        d.reset();
}

int fpga_drv::SPI_Transfer(int fd, const uint8_t* tx, uint8_t* rx, int len)
{
    auto* dev = device(fd);
    const bool ok = len > 0 && dev && dev->transfer(tx, rx, size_t(len));
    if (!ok) {
        kel::platform::LogLine::error("can't send spi message\n");
        return -1;
    }
    return len;
}

int fpga_drv::SPI_Transfer_Write(int fd, const uint8_t* tx, int len)
{
    return SPI_Transfer(fd, tx, nullptr, len);
}

uint32_t fpga_drv::FPGA_SPI_WAIT_BUSY(int fd, const std::function<void()>& pause)
{
    for (int poll = 0; poll < kBusyFastPolls + kBusyPausedPolls; ++poll) {
        const uint8_t tx[2] = {kRdsr, 0xFF};
        uint8_t rx[2] = {0xFF, 0xFF};
        if (SPI_Transfer(fd, tx, rx, 2) <= 0)
            return 0;
        if (!(rx[1] & 0x01))
            return 1;
        if (poll >= kBusyFastPolls) {
            if (pause)
                pause();
            else
                kel::platform::Sleeper::sleepUs(kBusyPauseUs);
        }
    }
    kel::platform::LogLine::error("flash stays busy\n");
    return 0;
}

fpga_drv::FlashRoute fpga_drv::route(uint8_t flash_id) const
{
    fpga_manage* m = fpga_manage::p_fpga_manage;
    if (flash_id == kFlashMain)
        return {m->spi_fd_flash2, &m->gpio.gpio_flash2_cs, &m->gpio.gpio_fpga0_cs, &m->gpio.gpio_fpga1_cs};
    return {m->spi_fd_flash3, &m->gpio.gpio_flash3_cs, &m->gpio.gpio_fpga1_cs, &m->gpio.gpio_fpga0_cs};
}

void fpga_drv::select(const FlashRoute& r)
{
    r.otherHigh->high();
    r.selectLow->low();
    r.flashCs->low();
}

bool fpga_drv::waitBusyReleasingBus(const FlashRoute& r, QMutexLocker& lock)
{
    return FPGA_SPI_WAIT_BUSY(r.fd, [&] {
        deselect(r);
        lock.unlock();
        kel::platform::Sleeper::sleepUs(kBusyPauseUs);
        lock.relock();
        select(r);
    }) != 0;
}

void fpga_drv::deselect(const FlashRoute& r)
{
    fpga_manage* m = fpga_manage::p_fpga_manage;
    r.flashCs->high();
    m->gpio.gpio_fpga1_cs.high();
    m->gpio.gpio_fpga0_cs.high();
}

bool fpga_drv::rangeOk(uint32_t address, uint32_t length) const
{
    return length != 0 && address <= kFlashSize && length <= kFlashSize - address;
}

bool fpga_drv::writeEnable(int fd)
{
    const uint8_t cmd = kWren;
    return SPI_Transfer_Write(fd, &cmd, 1) > 0;
}

uint32_t fpga_drv::FPGA_SPI_FLASH_VBYONE_ERASE(uint8_t flash_id, uint32_t first_sector, uint8_t erase_type,
                                              uint32_t count)
{
    if (erase_type >= sizeof kEraseKinds / sizeof kEraseKinds[0] || !fpga_manage::p_fpga_manage)
        return 0;
    const EraseKind kind = kEraseKinds[erase_type];
    // 64-bit so that a huge count cannot wrap past the check.
    if (uint64_t(first_sector) + uint64_t(count) * kind.sectors > kSectorCount)
        return 0;
    QMutexLocker lock(&Utils::_spi_mutex);
    const FlashRoute r = route(flash_id);
    select(r);
    bool ok = waitBusyReleasingBus(r, lock);
    for (uint32_t i = 0; ok && i < count; ++i) {
        const uint32_t address = (first_sector % 65536) * kSectorSize + i * kind.sectors * kSectorSize;
        uint8_t cmd[4] = {kind.command, 0, 0, 0};
        addressBytes(cmd + 1, address);
        ok = writeEnable(r.fd) && FPGA_SPI_WAIT_BUSY(r.fd) && SPI_Transfer_Write(r.fd, cmd, 4) > 0 &&
             waitBusyReleasingBus(r, lock);
    }
    deselect(r);
    return ok ? 1 : 0;
}

bool fpga_drv::programPage(const FlashRoute& r, QMutexLocker& lock, uint32_t address, const uint8_t* data, uint32_t n)
{
    uint8_t page[4 + kPageSize];
    page[0] = kProgram;
    addressBytes(page + 1, address);
    std::copy(data, data + n, page + 4);
    return writeEnable(r.fd) && SPI_Transfer_Write(r.fd, page, int(n + 4)) > 0 && waitBusyReleasingBus(r, lock);
}

uint32_t fpga_drv::FPGA_SPI_FLASH_VBYONE_WRITE(uint8_t flash_id, uint32_t address, const uint8_t* buffer,
                                              uint32_t length)
{
    if (!buffer || !rangeOk(address, length) || !fpga_manage::p_fpga_manage)
        return 0;
    const uint8_t* data = buffer + 4;
    QMutexLocker lock(&Utils::_spi_mutex);
    const FlashRoute r = route(flash_id);
    select(r);
    bool ok = true;
    uint32_t done = 0;
    const uint32_t first = kPageSize - (address % kPageSize);
    if (length >= first) {
        ok = programPage(r, lock, address, data, first);
        done = first;
    }
    while (ok && length - done >= kPageSize) {
        ok = programPage(r, lock, address + done, data + done, kPageSize);
        done += kPageSize;
    }
    if (ok && done < length)
        ok = programPage(r, lock, address + done, data + done, length - done);
    deselect(r);
    return ok ? 1 : 0;
}

uint32_t fpga_drv::FPGA_SPI_FLASH_VBYONE_READ(uint8_t flash_id, uint32_t address, uint32_t length, uint8_t* out)
{
    if (!out || !rangeOk(address, length) || !fpga_manage::p_fpga_manage)
        return 0;
    QMutexLocker lock(&Utils::_spi_mutex);
    const FlashRoute r = route(flash_id);
    select(r);
    // A flash still busy with a program or erase ignores the read; waiting
    // first keeps its 0xFF from being returned as data. Whatever fails, the
    // caller finds erased-flash bytes rather than stale memory.
    std::fill(out, out + length, 0xFF);
    bool ok = waitBusyReleasingBus(r, lock);
    std::vector<uint8_t> tx(kReadChunk + 5, 0xFF), rx(kReadChunk + 5, 0xFF);
    for (uint32_t done = 0; ok && done < length;) {
        const uint32_t n = std::min(kReadChunk, length - done);
        tx[0] = kFastRead;
        addressBytes(&tx[1], address + done);
        tx[4] = 0xFF;
        std::fill(rx.begin(), rx.end(), 0xFF);
        ok = SPI_Transfer(r.fd, tx.data(), rx.data(), int(n + 5)) > 0;
        std::copy(rx.begin() + 5, rx.begin() + 5 + n, out + done);
        done += n;
    }
    deselect(r);
    return ok ? 1 : 0;
}

uint32_t fpga_drv::FPGA_SPI_FLASH_SSTF016B_RD_UID(uint8_t flash_id, uint8_t* out)
{
    if (!out || !fpga_manage::p_fpga_manage)
        return 0;
    QMutexLocker lock(&Utils::_spi_mutex);
    const FlashRoute r = route(flash_id);
    select(r);
    uint8_t tx[13] = {kReadUid, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    uint8_t rx[13];
    std::fill(rx, rx + 13, 0xFF);
    const bool ok = SPI_Transfer(r.fd, tx, rx, 13) > 0;
    std::copy(rx + 5, rx + 13, out);
    deselect(r);
    return ok ? 1 : 0;
}

void fpga_drv::FPGA_SPI_Disable_WP(int fd)
{
    auto send = [&](std::initializer_list<uint8_t> bytes) {
        std::vector<uint8_t> tx(bytes), rx(tx.size(), 0xFF);
        SPI_Transfer(fd, tx.data(), rx.data(), int(tx.size()));
        return rx.size() > 1 ? rx[1] : rx[0];
    };
    send({kWren});
    send({kWrsr, 0xFF, 0xFF});
    kelDebug("\n FPGA_SPI_Disable_WP  01 busy=%#x \n", send({0xFF, 0xFF}));
    send({kWren});
    send({kWrsr2, 0x00});
    send({kWren});
    kelDebug("\n FPGA_SPI_Disable_WP  02  busy=%#x \n", send({0xFF, 0x00}));
    send({kWren});
    kelDebug("\n FPGA_SPI_Disable_WP  03  busy=%#x \n", send({0xFF, 0x00}));
    kelDebug("\n FPGA_SPI_Disable_WP  04  busy=%#x \n", send({0xFF, 0x00}));
}
