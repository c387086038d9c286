#include "platform/linux/LinuxSpiDevice.h"

#include <fcntl.h>
#include <linux/spi/spidev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstring>

namespace kel::platform::linuxdev {

LinuxSpiDevice::~LinuxSpiDevice() { close(); }

bool LinuxSpiDevice::open(const std::string& devPath)
{
    close();
    fd_ = ::open(devPath.c_str(), O_RDWR | O_CLOEXEC);
    return fd_ >= 0;
}

void LinuxSpiDevice::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool LinuxSpiDevice::configure(uint8_t mode, uint8_t bits, uint32_t speedHz)
{
    if (fd_ < 0)
        return false;
    if (::ioctl(fd_, SPI_IOC_WR_MODE, &mode) < 0 || ::ioctl(fd_, SPI_IOC_WR_BITS_PER_WORD, &bits) < 0 ||
        ::ioctl(fd_, SPI_IOC_WR_MAX_SPEED_HZ, &speedHz) < 0)
        return false;
    bits_ = bits;
    speed_ = speedHz;
    return true;
}

bool LinuxSpiDevice::transfer(const uint8_t* tx, uint8_t* rx, size_t len)
{
    if (fd_ < 0)
        return false;
    spi_ioc_transfer tr;
    std::memset(&tr, 0, sizeof tr);
    tr.tx_buf = reinterpret_cast<uintptr_t>(tx);
    tr.rx_buf = reinterpret_cast<uintptr_t>(rx);
    tr.len = static_cast<uint32_t>(len);
    tr.speed_hz = speed_;
    tr.bits_per_word = bits_;
    return ::ioctl(fd_, SPI_IOC_MESSAGE(1), &tr) >= 0;
}

} // namespace kel::platform::linuxdev
