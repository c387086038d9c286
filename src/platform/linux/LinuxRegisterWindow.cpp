#include "platform/linux/LinuxRegisterWindow.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>

namespace kel::platform::linuxdev {
namespace {

constexpr unsigned long kMsysRequest = 0x5315;
constexpr uint32_t kMsysTag = 0x4D530100;

// The driver's 20-byte record, little-endian: tag, 64-bit physical base,
// 32-bit size, record size.
struct MsysRecord {
    uint8_t bytes[20];
    uint32_t u32(size_t at) const
    {
        return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (uint32_t(bytes[at + 3]) << 24);
    }
    void setU32(size_t at, uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = uint8_t(v >> (8 * i));
    }
};

} // namespace

LinuxRegisterWindow::~LinuxRegisterWindow() { close(); }

bool LinuxRegisterWindow::fail(OpenStep step)
{
    close();
    failed_ = step;
    return false;
}

bool LinuxRegisterWindow::open()
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
    MsysRecord rec;
    std::memset(&rec, 0, sizeof rec);
    rec.setU32(0, kMsysTag);
    rec.setU32(16, sizeof rec.bytes);
    if (::ioctl(msysFd_, kMsysRequest, rec.bytes) != 0)
        return fail(OpenStep::Request);
    const uint32_t base = rec.u32(4);
    size_ = rec.u32(12);
    void* p = ::mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_SHARED, memFd_, off_t(base));
    if (p == MAP_FAILED || size_ == 0)
        return fail(OpenStep::Map);
    base_ = static_cast<volatile uint8_t*>(p);
    return true;
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
    if (!base_ || size_t(offset) + 1 >= size_)
        return 0;
    return *reinterpret_cast<volatile uint16_t*>(base_ + offset);
}

void LinuxRegisterWindow::write16(uint32_t offset, uint16_t value)
{
    if (base_ && size_t(offset) + 1 < size_)
        *reinterpret_cast<volatile uint16_t*>(base_ + offset) = value;
}

} // namespace kel::platform::linuxdev
