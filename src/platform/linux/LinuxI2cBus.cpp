#include "platform/linux/LinuxI2cBus.h"

#include <fcntl.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <vector>

namespace kel::platform::linuxdev {

LinuxI2cBus::~LinuxI2cBus() { close(); }

bool LinuxI2cBus::open(const std::string& devPath)
{
    close();
    fd_ = ::open(devPath.c_str(), O_RDWR | O_CLOEXEC);
    return fd_ >= 0;
}

void LinuxI2cBus::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

int LinuxI2cBus::transfer(I2cMsg* msgs, int count)
{
    if (fd_ < 0 || !msgs || count <= 0)
        return -1;
    std::vector<i2c_msg> km(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        km[i].addr = msgs[i].addr;
        km[i].flags = (msgs[i].flags & I2cMsg::kRead) ? I2C_M_RD : 0;
        km[i].len = msgs[i].len;
        km[i].buf = msgs[i].buf;
    }
    i2c_rdwr_ioctl_data data;
    data.msgs = km.data();
    data.nmsgs = static_cast<uint32_t>(count);
    return ::ioctl(fd_, I2C_RDWR, &data);
}

} // namespace kel::platform::linuxdev
