#include "platform/PathMap.h"
#include "support/SimRootFixture.h"

#include <gtest/gtest.h>

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

} // namespace kel::test
