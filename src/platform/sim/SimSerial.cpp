#include "platform/sim/SimSerial.h"

#include "platform/PathMap.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace kel::platform::sim {

SimSerial::~SimSerial()
{
    for (auto& [name, fd] : keepOpen_)
        ::close(fd);
}

int SimSerial::open(const std::string& logicalPath, int flags)
{
    int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | (flags & O_NONBLOCK));
    if (master < 0)
        return -1;
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        ::close(master);
        return -1;
    }
    const char* slave = ::ptsname(master);
    if (!slave) {
        ::close(master);
        return -1;
    }
    const std::string slavePath = slave;
    // Holding the slave open keeps the master readable (no EIO) while no
    // peer is attached.
    int hold = ::open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    const std::string name = logicalPath.substr(logicalPath.find_last_of('/') + 1);
    const std::string link = PathMap::host("/sim/" + name);
    ::unlink(link.c_str());
    if (::symlink(slavePath.c_str(), link.c_str()) != 0) {
        // The link is a convenience; the port still works without it.
    }
    std::lock_guard<std::mutex> l(lock_);
    peers_[logicalPath] = slavePath;
    auto old = keepOpen_.find(logicalPath);
    if (old != keepOpen_.end())
        ::close(old->second);
    keepOpen_[logicalPath] = hold;
    return master;
}

std::string SimSerial::peerPath(const std::string& logicalPath) const
{
    std::lock_guard<std::mutex> l(lock_);
    auto it = peers_.find(logicalPath);
    return it == peers_.end() ? std::string() : it->second;
}

} // namespace kel::platform::sim
