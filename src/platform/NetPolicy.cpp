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
    sockaddr_in out = wanted;
    out.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return out;
}

bool NetPolicy::broadcastAllowed() { return !loopbackOnly(); }

} // namespace kel::platform
