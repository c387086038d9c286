#include "platform/PrivateNetwork.h"

#include <cstring>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kel::platform {

bool PrivateNetwork::enter()
{
    if (::unshare(CLONE_NEWNET) != 0)
        return false;
    // A new namespace's loopback starts down: nothing could reach 127.0.0.1.
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    ifreq req;
    std::memset(&req, 0, sizeof req);
    std::strncpy(req.ifr_name, "lo", IFNAMSIZ - 1);
    bool up = ::ioctl(fd, SIOCGIFFLAGS, &req) == 0;
    if (up) {
        req.ifr_flags = short(req.ifr_flags | IFF_UP | IFF_RUNNING);
        up = ::ioctl(fd, SIOCSIFFLAGS, &req) == 0;
    }
    ::close(fd);
    return up;
}

} // namespace kel::platform
