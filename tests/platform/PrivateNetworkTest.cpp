#include "platform/PrivateNetwork.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace kel::platform {
namespace {

int boundUdp(uint16_t port, uint16_t* chosen)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    if (chosen)
        *chosen = ntohs(a.sin_port);
    return fd;
}

// A child in its own network binds the very port this process holds, and
// its loopback carries a datagram to itself.
TEST(PrivateNetworkTest, AChildGetsItsOwnPortsAndAWorkingLoopback)
{
    uint16_t port = 0;
    const int held = boundUdp(0, &port);
    ASSERT_GE(held, 0);
    ASSERT_LT(boundUdp(port, nullptr), 0) << "the port is taken in this network";
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (!PrivateNetwork::enter())
            ::_exit(2);
        const int fd = boundUdp(port, nullptr);
        if (fd < 0)
            ::_exit(3);
        sockaddr_in self{};
        self.sin_family = AF_INET;
        self.sin_port = htons(port);
        self.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const char ping = 'p';
        char got = 0;
        const bool echoed = ::sendto(fd, &ping, 1, 0, reinterpret_cast<sockaddr*>(&self), sizeof self) == 1
            && ::recv(fd, &got, 1, 0) == 1 && got == ping;
        ::_exit(echoed ? 0 : 4);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ::close(held);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 2)
        GTEST_SKIP() << "network namespaces are not allowed here";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

} // namespace
} // namespace kel::platform
