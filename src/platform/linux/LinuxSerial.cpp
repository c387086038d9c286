#include "platform/linux/LinuxSerial.h"

#include <fcntl.h>

namespace kel::platform::linuxdev {

int LinuxSerial::open(const std::string& logicalPath, int flags)
{
    return ::open(logicalPath.c_str(), flags | O_CLOEXEC);
}

} // namespace kel::platform::linuxdev
