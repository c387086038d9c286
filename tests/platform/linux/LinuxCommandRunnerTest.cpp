#include "platform/linux/LinuxCommandRunner.h"

#include <gtest/gtest.h>

namespace kel::test {
namespace {

using platform::linuxdev::LinuxCommandRunner;

TEST(LinuxCommandRunnerTest, BashRedirectionBecomesPortable)
{
    const std::pair<const char*, const char*> cases[] = {
        {"ifconfig eth0 &>/dev/null", "ifconfig eth0 >/dev/null 2>&1"},
        {"ifconfig eth0 &> /dev/null; echo", "ifconfig eth0 >/dev/null 2>&1; echo"},
        {"a >/dev/null 2>&1", "a >/dev/null 2>&1"},
        {"hostapd x &", "hostapd x &"},
        {"echo '&>x'", "echo '&>x'"},
        {"route add default gw 1.2.3.4 metric 100", "route add default gw 1.2.3.4 metric 100"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(LinuxCommandRunner::portableText(in), out) << in;
}

} // namespace
} // namespace kel::test
