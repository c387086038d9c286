#include "platform/PathMap.h"
#include "support/SimRootFixture.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

namespace kel::test {

class PathMapTest : public SimRootFixture {};

TEST_F(PathMapTest, MapsLogicalPathsUnderTheRootAndBack)
{
    using platform::PathMap;
    EXPECT_EQ(PathMap::host(std::string("/data/ram_device_info")), root() + "/data/ram_device_info");
    EXPECT_EQ(PathMap::logical(root() + "/data/configs/tcpip.ini"), "/data/configs/tcpip.ini");
    EXPECT_EQ(PathMap::logical(root()), "/");
}

TEST_F(PathMapTest, DotDotNeverLeavesTheRoot)
{
    using platform::PathMap;
    EXPECT_EQ(PathMap::host(std::string("/data/../../../etc/passwd")), root() + "/etc/passwd");
    EXPECT_TRUE(PathMap::insideRoot(PathMap::host(std::string("/../../x"))));
    EXPECT_FALSE(PathMap::insideRoot("/etc/passwd"));
}

// Links planted in the root: a write may follow them only while it stays
// inside the root.
TEST_F(PathMapTest, WritesThroughLinksStayInsideTheRoot)
{
    using platform::PathMap;
    QTemporaryDir outside;
    ASSERT_TRUE(outside.isValid());
    const std::string out = outside.path().toStdString();
    QDir().mkpath(QString::fromStdString(hostPath("/data/configs")));
    QDir(QString::fromStdString(hostPath("/data/modes"))).removeRecursively();
    ::unlink(hostPath("/sim/board.ini").c_str());
    ASSERT_EQ(0, ::symlink((out + "/victim").c_str(), hostPath("/data/ram_device_info").c_str()));
    ASSERT_EQ(0, ::symlink(out.c_str(), hostPath("/data/modes").c_str()));
    ASSERT_EQ(0, ::symlink("../../../../../../../../../../etc/board.ini", hostPath("/sim/board.ini").c_str()));
    ASSERT_EQ(0, ::symlink((hostPath("/data/configs") + "/real.ini").c_str(), hostPath("/data/configs/tcpip.ini").c_str()));
    ASSERT_EQ(0, ::symlink("configs", hostPath("/data/cfg").c_str()));
    ASSERT_EQ(0, ::symlink("loop", hostPath("/tmp/loop").c_str()));

    const struct {
        const char* logical;
        bool allowed;
    } cases[] = {
        {"/data/ram_device_info", false},        // a file link leading out
        {"/data/modes/custom_mode1", false},      // a folder link leading out
        {"/sim/board.ini", false},                // a relative link climbing out
        {"/tmp/loop", false},                     // a link that never ends
        {"/data/configs/tcpip.ini", true},        // a link to a file inside
        {"/data/cfg/alias.json", true},           // a folder link inside
        {"/data/configs/omenu.json", true},       // no link
        {"/data/new/folder/file", true},          // folders not made yet
    };
    for (const auto& c : cases) {
        testing::internal::CaptureStderr();
        const std::string host = PathMap::hostForWrite(std::string(c.logical));
        const std::string log = testing::internal::GetCapturedStderr();
        EXPECT_EQ(c.allowed, !host.empty()) << c.logical;
        EXPECT_EQ(c.allowed, log.empty()) << c.logical << ": " << log;
    }
}

} // namespace kel::test
