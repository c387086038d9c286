#include "platform/NetPolicy.h"

#include <arpa/inet.h>
#include <atomic>

namespace kel::platform {
namespace {
std::atomic<bool> g_loopbackOnly{true};
}

void NetPolicy::setLoopbackOnly(bool on) { g_loopbackOnly = on; }
bool NetPolicy::loopbackOnly() { return g_loopbackOnly.load(); }

in_addr_t NetPolicy::listenAddress()
{
    return loopbackOnly() ? htonl(INADDR_LOOPBACK) : htonl(INADDR_ANY);
}

sockaddr_in NetPolicy::destination(const sockaddr_in& wanted)
{
    if (!loopbackOnly())
        return wanted;
    // A loopback sender (any 127.x.y.z) is answered at its own address, so
    // tools can stand for several PCs; anything else goes to 127.0.0.1.
    if ((ntohl(wanted.sin_addr.s_addr) >> 24) == IN_LOOPBACKNET)
        return wanted;
    sockaddr_in out = wanted;
    out.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return out;
}

bool NetPolicy::broadcastAllowed() { return !loopbackOnly(); }

} // namespace kel::platform
