#include "platform/PrivateNetwork.h"

#include <cstring>
#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kel::platform {

namespace {

// Writes "<id> <id> 1" (or the text alone when id is negative) to a file
// of /proc/self, with no allocation: a forked child calls this before exec.
bool writeProc(const char* path, const char* text, long id = -1)
{
    char buf[64];
    size_t n = 0;
    if (id < 0) {
        n = std::strlen(text);
        std::memcpy(buf, text, n);
    } else {
        char digits[24];
        size_t d = 0;
        do {
            digits[d++] = char('0' + id % 10);
            id /= 10;
        } while (id > 0);
        for (int twice = 0; twice < 2; ++twice) {
            for (size_t i = d; i > 0; --i)
                buf[n++] = digits[i - 1];
            buf[n++] = ' ';
        }
        buf[n++] = '1';
    }
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, buf, n) == ssize_t(n);
    ::close(fd);
    return ok;
}

// Without root: a user namespace of the caller's own, in which it keeps
// its user and group ids (its files stay its own) and may make the network.
bool enterAsOwnUser()
{
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0)
        return false;
    return writeProc("/proc/self/uid_map", nullptr, long(uid)) && writeProc("/proc/self/setgroups", "deny") &&
           writeProc("/proc/self/gid_map", nullptr, long(gid));
}

} // namespace

bool PrivateNetwork::enter()
{
    if (::unshare(CLONE_NEWNET) != 0 && !enterAsOwnUser())
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
