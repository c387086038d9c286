#include "platform/linux/LinuxRegisterWindow.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace kel::platform::linuxdev {

LinuxRegisterWindow::~LinuxRegisterWindow() { close(); }

namespace {

// The memory-system driver's request record (little-endian, 20 bytes).
struct __attribute__((packed)) MsysRequest {
    uint32_t version;   // 0x4D530100
    uint64_t physBase;  // returned
    uint32_t size;      // returned
    uint32_t recordSize; // 20
};
static_assert(sizeof(MsysRequest) == 20, "the driver expects 20 bytes");
constexpr unsigned long kMsysRequestWindow = 0x5315;

} // namespace

bool LinuxRegisterWindow::map(uint32_t physBase, uint32_t size)
{
    void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, memFd_, physBase);
    if (p == MAP_FAILED) {
        close();
        return false;
    }
    base_ = static_cast<volatile uint8_t*>(p);
    size_ = size;
    return true;
}

bool LinuxRegisterWindow::open()
{
    if (base_)
        return true;
    memFd_ = ::open("/dev/mem", O_RDWR | O_SYNC | O_CLOEXEC);
    if (memFd_ < 0)
        return false;
    return map(kPhysBase, kMapSize);
}

bool LinuxRegisterWindow::openMemorySystem()
{
    if (base_)
        return true;
    failed_ = OpenStep::None;
    msysFd_ = ::open("/dev/msys", O_RDWR | O_SYNC | O_CLOEXEC);
    if (msysFd_ < 0)
        return fail(OpenStep::OpenMsys);
    memFd_ = ::open("/dev/mem", O_RDWR | O_SYNC | O_CLOEXEC);
    if (memFd_ < 0)
        return fail(OpenStep::OpenMem);
    MsysRequest req{};
    req.version = 0x4D530100u;
    req.recordSize = sizeof req;
    if (::ioctl(msysFd_, kMsysRequestWindow, &req) != 0 || req.size == 0)
        return fail(OpenStep::Request);
    if (!map(static_cast<uint32_t>(req.physBase), req.size)) {
        failed_ = OpenStep::Map;
        return false;
    }
    return true;
}

bool LinuxRegisterWindow::fail(OpenStep step)
{
    close();
    failed_ = step;
    return false;
}

void LinuxRegisterWindow::close()
{
    if (base_)
        ::munmap(const_cast<uint8_t*>(base_), size_);
    base_ = nullptr;
    size_ = 0;
    if (memFd_ >= 0)
        ::close(memFd_);
    if (msysFd_ >= 0)
        ::close(msysFd_);
    memFd_ = msysFd_ = -1;
}

uint16_t LinuxRegisterWindow::read16(uint32_t offset)
{
    if (!base_ || offset + 1 >= size_)
        return 0;
    return *reinterpret_cast<volatile uint16_t*>(base_ + offset);
}

void LinuxRegisterWindow::write16(uint32_t offset, uint16_t value)
{
    if (base_ && offset + 1 < size_)
        *reinterpret_cast<volatile uint16_t*>(base_ + offset) = value;
}

bool LinuxRegisterWindow::openPhysical()
{
    if (base_)
        return true;
    failed_ = OpenStep::None;
    memFd_ = ::open("/dev/mem", O_RDWR | O_SYNC | O_CLOEXEC);
    if (memFd_ < 0)
        return fail(OpenStep::OpenMem);
    void* p = ::mmap(nullptr, kMapSize, PROT_READ | PROT_WRITE, MAP_SHARED, memFd_, off_t(kPhysBase));
    if (p == MAP_FAILED)
        return fail(OpenStep::Map);
    base_ = static_cast<volatile uint8_t*>(p);
    size_ = kMapSize;
    return true;
}

} // namespace kel::platform::linuxdev
