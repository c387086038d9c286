#include "platform/linux/LinuxMtd.h"

#include <fcntl.h>
#include <mtd/mtd-user.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace kel::platform::linuxdev {

int LinuxMtd::open(const std::string& logicalPath, int flags)
{
    return ::open(logicalPath.c_str(), flags | O_CLOEXEC);
}

int LinuxMtd::close(int fd) { return ::close(fd); }

int LinuxMtd::getInfo(int fd, MtdInfo& info)
{
    mtd_info_user mi{};
    if (::ioctl(fd, MEMGETINFO, &mi) < 0)
        return -1;
    info.type = mi.type;
    info.flags = mi.flags;
    info.size = mi.size;
    info.erasesize = mi.erasesize;
    info.writesize = mi.writesize;
    return 0;
}

int LinuxMtd::unlock(int fd, uint32_t start, uint32_t length)
{
    erase_info_user ei{start, length};
    return ::ioctl(fd, MEMUNLOCK, &ei) < 0 ? -1 : 0;
}

int LinuxMtd::erase(int fd, uint32_t start, uint32_t length)
{
    erase_info_user ei{start, length};
    return ::ioctl(fd, MEMERASE, &ei) < 0 ? -1 : 0;
}

ssize_t LinuxMtd::pwrite(int fd, const void* data, size_t len, off_t offset)
{
    return ::pwrite(fd, data, len, offset);
}

ssize_t LinuxMtd::pread(int fd, void* data, size_t len, off_t offset)
{
    return ::pread(fd, data, len, offset);
}

} // namespace kel::platform::linuxdev
