#include "protocol/NetlinkUeventSource.h"

#include "platform/Sleeper.h"
#include "protocol/UeventParser.h"

#include <linux/netlink.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kel::protocol {

NetlinkUeventSource::NetlinkUeventSource()
{
    fd_ = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_KOBJECT_UEVENT);
    if (fd_ < 0)
        return;
    sockaddr_nl addr{};
    addr.nl_family = AF_NETLINK;
    addr.nl_groups = 1;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

NetlinkUeventSource::~NetlinkUeventSource()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool NetlinkUeventSource::wait(UsbEvent& event, int timeoutMs)
{
    if (fd_ < 0) {
        kel::platform::Sleeper::sleepMs(static_cast<uint64_t>(timeoutMs));
        return false;
    }
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0 || !(p.revents & POLLIN))
        return false;
    char buf[4096];
    const ssize_t n = ::recv(fd_, buf, sizeof(buf), 0);
    return n > 0 && UeventParser::parse(buf, static_cast<size_t>(n), event);
}

} // namespace kel::protocol
