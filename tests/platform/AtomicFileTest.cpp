#include "platform/AtomicFile.h"
#include "platform/PathMap.h"
#include "support/SimRootFixture.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <unistd.h>

namespace kel::test {
namespace {

using platform::AtomicFile;

class AtomicFileTest : public SimRootFixture {
protected:
    static std::string read(const std::string& host)
    {
        std::ifstream f(host, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), {});
    }
    bool put(const std::string& text) { return AtomicFile::replace(kPath, text.data(), text.size()); }
    const char* const kPath = "/data/configs/omenu.json";
};

TEST_F(AtomicFileTest, PlantedLinksAreNeverFollowed)
{
    QTemporaryDir outside;
    const std::string victim = outside.path().toStdString() + "/victim";
    std::ofstream(victim) << "outside";
    ASSERT_EQ(0, ::symlink(victim.c_str(), hostPath(kPath).c_str()));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(put("written"));
    EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find("omenu.json"));
    ::unlink(hostPath(kPath).c_str());
    // A link under the temporary file's name is replaced, not written through.
    ASSERT_EQ(0, ::symlink(victim.c_str(), AtomicFile::tempPath(hostPath(kPath)).c_str()));
    EXPECT_TRUE(put("written"));
    EXPECT_EQ("outside", read(victim));
    EXPECT_EQ("written", read(hostPath(kPath)));
}

} // namespace
} // namespace kel::test
