#include "platform/ShellWords.h"

#include <gtest/gtest.h>

namespace kel::test {
namespace {

using platform::ShellWords;
using Words = std::vector<std::string>;

TEST(ShellWordsTest, QuotedWordsSplitBackToThemselves)
{
    const char* const words[] = {"plain", "with blank", "it's", "a;b", "$(reboot)", "`x`", "\"q\"", "", "\\"};
    for (const char* w : words) {
        Words out;
        ASSERT_TRUE(ShellWords::split("cmd " + ShellWords::quote(w), out)) << w;
        EXPECT_EQ(out, (Words{"cmd", w})) << w;
    }
}

struct ParseCase {
    const char* text;
    std::vector<Words> commands;
};

TEST(ShellWordsTest, ParsesListsAndDropsRedirections)
{
    const ParseCase cases[] = {
        {"ifconfig eth0 &>/dev/null", {{"ifconfig", "eth0"}}},
        {"ifconfig eth0 >/dev/null 2>&1", {{"ifconfig", "eth0"}}},
        {"cat a 2> /tmp/err", {{"cat", "a"}}},
        {"rm -rf /data/x; reboot", {{"rm", "-rf", "/data/x"}, {"reboot"}}},
        {"a && b || c | d", {{"a"}, {"b"}, {"c"}, {"d"}}},
        {"hostapd /etc/x.conf &", {{"hostapd", "/etc/x.conf"}}},
        {"echo \"a \\\"b\\\"\" 'c d'", {{"echo", "a \"b\"", "c d"}}},
        {"  ", {}},
    };
    for (const auto& c : cases) {
        std::vector<Words> out;
        ASSERT_TRUE(ShellWords::parse(c.text, out)) << c.text;
        EXPECT_EQ(out, c.commands) << c.text;
    }
}

TEST(ShellWordsTest, UnterminatedQuoteIsAnError)
{
    std::vector<Words> out;
    EXPECT_FALSE(ShellWords::parse("rm 'abc", out));
    EXPECT_FALSE(ShellWords::parse("rm \"abc", out));
}

} // namespace
} // namespace kel::test
