#include "platform/linux/LinuxRegisterWindow.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace kel::platform::linuxdev {

LinuxRegisterWindow::~LinuxRegisterWindow() { close(); }

bool LinuxRegisterWindow::open()
{
    if (base_)
        return true;
    msysFd_ = ::open("/dev/msys", O_RDWR | O_SYNC | O_CLOEXEC);
    memFd_ = ::open("/dev/mem", O_RDWR | O_SYNC | O_CLOEXEC);
    if (memFd_ < 0) {
        close();
        return false;
    }
    void* p = ::mmap(nullptr, kMapSize, PROT_READ | PROT_WRITE, MAP_SHARED, memFd_, kPhysBase);
    if (p == MAP_FAILED) {
        close();
        return false;
    }
    base_ = static_cast<volatile uint8_t*>(p);
    return true;
}

void LinuxRegisterWindow::close()
{
    if (base_)
        ::munmap(const_cast<uint8_t*>(base_), kMapSize);
    base_ = nullptr;
    if (memFd_ >= 0)
        ::close(memFd_);
    if (msysFd_ >= 0)
        ::close(msysFd_);
    memFd_ = msysFd_ = -1;
}

uint16_t LinuxRegisterWindow::read16(uint32_t offset)
{
    if (!base_ || offset + 1 >= kMapSize)
        return 0;
    return *reinterpret_cast<volatile uint16_t*>(base_ + offset);
}

void LinuxRegisterWindow::write16(uint32_t offset, uint16_t value)
{
    if (base_ && offset + 1 < kMapSize)
        *reinterpret_cast<volatile uint16_t*>(base_ + offset) = value;
}

} // namespace kel::platform::linuxdev
