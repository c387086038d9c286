#pragma once
#include <QMutexLocker>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace kel::platform { class SpiDevice; }
class GpioWord;

// Low-level SPI driver of the output FPGAs and of the serial NOR flash
// behind them: spidev transfers, and erase / page program / fast read /
// unique id of the flash with the chip-select routing. The flash operations
// take Utils::_spi_mutex and return 1 done or 0 refused or failed; a flash
// that stays busy ends the operation with 0 after a time limit.
class fpga_drv {
public:
    static constexpr uint32_t kFlashSize = 0x800000;
    static constexpr uint32_t kSectorCount = 2048;
    static constexpr uint32_t kSectorSize = 4096;
    static constexpr uint32_t kPageSize = 256;
    static constexpr uint32_t kReadChunk = 2048;
    static constexpr uint8_t kSpiMode = 3;
    static constexpr uint8_t kSpiBits = 8;
    static constexpr uint32_t kSpiSpeedHz = 10000000;
    // Status polls without a pause, then polls paced by kBusyPauseUs up to
    // kBusyPausedPolls: about 4 s, longer than the slowest 64 KiB erase.
    static constexpr int kBusyFastPolls = 64;
    static constexpr int kBusyPausedPolls = 4000;
    static constexpr uint64_t kBusyPauseUs = 1000;

    fpga_drv();
    ~fpga_drv();

    // Opens spidev index 0..3 and sets mode 3, 8 bits, 10 MHz. Returns the
    // descriptor (-1 when the index is out of range or the open failed).
    int initialize_vbyne1(uint8_t index);
    // One full-duplex (or write-only) transfer; len on success, -1 on failure.
    int SPI_Transfer(int fd, const uint8_t* tx, uint8_t* rx, int len);
    int SPI_Transfer_Write(int fd, const uint8_t* tx, int len);
    // 1 once the flash reports not busy, 0 on a failed poll or the time limit.
    // pause (when given) runs in place of the paced polls' sleep.
    uint32_t FPGA_SPI_WAIT_BUSY(int fd, const std::function<void()>& pause = {});

    uint32_t FPGA_SPI_FLASH_VBYONE_ERASE(uint8_t flash_id, uint32_t first_sector, uint8_t erase_type, uint32_t count);
    // buffer: 4 bytes of head room, then length data bytes. The head room is
    // only skipped: each page command is built in a private buffer.
    uint32_t FPGA_SPI_FLASH_VBYONE_WRITE(uint8_t flash_id, uint32_t address, const uint8_t* buffer, uint32_t length);
    uint32_t FPGA_SPI_FLASH_VBYONE_READ(uint8_t flash_id, uint32_t address, uint32_t length, uint8_t* out);
    uint32_t FPGA_SPI_FLASH_SSTF016B_RD_UID(uint8_t flash_id, uint8_t* out);
    // Clears the flash write protection; the caller locks and selects.
    void FPGA_SPI_Disable_WP(int fd);

    // Closes every device this driver opened.
    void closeAll();

private:
    struct FlashRoute;
    FlashRoute route(uint8_t flash_id) const;
    void select(const FlashRoute& r);
    void deselect(const FlashRoute& r);
    // Waits out a program or erase in flight; past the fast polls it gives
    // the bus up (deselects, releases Utils::_spi_mutex) while it sleeps,
    // because the links, the pages and the scaler need the bus meanwhile.
    bool waitBusyReleasingBus(const FlashRoute& r, QMutexLocker& lock);
    bool rangeOk(uint32_t address, uint32_t length) const;
    bool programPage(const FlashRoute& r, QMutexLocker& lock, uint32_t address, const uint8_t* data, uint32_t n);
    bool writeEnable(int fd);
    kel::platform::SpiDevice* device(int fd);

    std::mutex devLock_;
    std::array<std::unique_ptr<kel::platform::SpiDevice>, 4> devices_;
};
