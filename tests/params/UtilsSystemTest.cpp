#include "params/Utils.h"
#include "params/global.h"
#include "platform/Board.h"
#include "platform/MtdService.h"
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimCommandRunner.h"
#include "platform/sim/SimMtd.h"
#include "support/SimRootFixture.h"

#include <QDir>
#include <QFile>

#include <cstring>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace kel::test {
namespace {

using platform::sim::SimCommandRunner;
using platform::sim::SimMtd;

class UtilsSystemTest : public SimRootFixture {
protected:
    void writeFile(const std::string& logical, const QByteArray& data)
    {
        QFile f(QString::fromStdString(hostPath(logical)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
    }
    QByteArray readFile(const std::string& logical)
    {
        QFile f(QString::fromStdString(hostPath(logical)));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    SimCommandRunner& runner() { return board().commands(); }
};

TEST_F(UtilsSystemTest, GetTimeSpaceCountsTicksAndLosesOneAtTheWrap)
{
    G_timeTicks = 5;
    EXPECT_EQ(Utils::getTimeSpace(5), 0u);
    EXPECT_EQ(Utils::getTimeSpace(2), 3u);
    G_timeTicks = 2;
    EXPECT_EQ(Utils::getTimeSpace(0xFFFFFFFFu), 2u);
    // A stamp in the future looks like a very long wait.
    EXPECT_GT(Utils::getTimeSpace(3), 0xFFFFFF00u);
    G_timeTicks = 0;
}

TEST_F(UtilsSystemTest, SystemMutexGivesZeroOr255AndTheRawStatus)
{
    runner().setResponder([](const std::string& cmd, int& status, std::string&) {
        if (cmd != "exit 1")
            return false;
        status = 256;
        return true;
    });
    int status = -7;
    EXPECT_EQ(Utils::system_mutex("exit 1", &status), 255);
    EXPECT_EQ(status, 256);
    EXPECT_EQ(Utils::system_mutex("exit 1"), 255);
    EXPECT_EQ(Utils::system_mutex("sync", &status), 0);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(runner().commands(), (std::vector<std::string>{"exit 1", "exit 1", "sync"}));
}

TEST_F(UtilsSystemTest, ShellExecCollectsOutputWhateverTheLineSize)
{
    runner().setResponder([](const std::string&, int& status, std::string& out) {
        out = "line one\nline two\n";
        status = 0;
        return true;
    });
    for (uint32_t size : {0u, 1u, 2u, 128u})
        EXPECT_EQ(Utils::shell_exec("cat x", size), "line one\nline two\n") << size;
}

TEST_F(UtilsSystemTest, SleepsGoThroughTheHook)
{
    EXPECT_EQ(Utils::usleep_mutex(1500), 0);
    EXPECT_EQ(Utils::msleep_mutex(5000000), 0); // above the 32-bit microsecond range
    EXPECT_EQ(sleptUs(), 1500u + 5000000000ull);
}

TEST_F(UtilsSystemTest, FileTestsUseTheFileType)
{
    writeFile("/data/plain", "x");
    EXPECT_EQ(Utils::isFileExists("/data/plain", true), 1);
    EXPECT_EQ(Utils::isFileExists("/data/plain", false), 1);
    EXPECT_EQ(Utils::isDirExists("/data/plain"), 0);
    EXPECT_EQ(Utils::isFileExists("/data", true), 0);
    EXPECT_EQ(Utils::isFileExists("/data", false), 1);
    EXPECT_EQ(Utils::isDirExists("/data"), 1);
    EXPECT_EQ(Utils::isFileExists("/data/none", false), 0);
    EXPECT_EQ(Utils::isDirExists("/data/none"), 0);

    // A socket is neither a regular file nor a directory.
    const std::string sockPath = hostPath("/data/sock");
    int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (sockPath.size() < sizeof addr.sun_path) {
        std::strcpy(addr.sun_path, sockPath.c_str());
        ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        EXPECT_EQ(Utils::isFileExists("/data/sock", true), 0);
        EXPECT_EQ(Utils::isDirExists("/data/sock"), 0);
        EXPECT_EQ(Utils::isFileExists("/data/sock", false), 1);
    }
    ::close(s);
}

TEST_F(UtilsSystemTest, SmartPathListsPlainFilesWithTheSuffix)
{
    for (const char* name : {"x.qjfile", "a.b.qjfile", "x.QJFILE", "qjfile", "other.txt"})
        writeFile(std::string("/mnt/usb1/") + name, "d");
    QDir().mkpath(QString::fromStdString(hostPath("/mnt/usb1/dir.qjfile")));
    ASSERT_EQ(::symlink(hostPath("/mnt/usb1/x.qjfile").c_str(), hostPath("/mnt/usb1/l.qjfile").c_str()), 0);

    QStringList list{"/kept"};
    Utils::get_file_list_smartpath(list, "/mnt/usb1/", "qjfile");
    list.sort();
    EXPECT_EQ(list, (QStringList{"/kept", "/mnt/usb1/a.b.qjfile", "/mnt/usb1/x.qjfile"}));
}

TEST_F(UtilsSystemTest, ChangeFileFormatStripsCarriageReturnsAndTheMark)
{
    writeFile("/mnt/usb1/it's a.txt", "\xEF\xBB\xBF" "a\r\nb\r\n");
    EXPECT_EQ(Utils::change_file_formt("/mnt/usb1/it's a.txt"), 0);
    EXPECT_EQ(readFile("/mnt/usb1/it's a.txt"), QByteArray("a\nb\n"));
    const auto cmds = runner().commands();
    ASSERT_EQ(cmds.size(), 4u);
    // The path is quoted, so its blank and quote stay one word.
    EXPECT_EQ(cmds[0], "dos2unix '/mnt/usb1/it'\\''s a.txt'");
    EXPECT_EQ(cmds[1], "sync");
    EXPECT_EQ(cmds[2], "sed -i 's/\xEF\xBB\xBF//g' '/mnt/usb1/it'\\''s a.txt'");
    EXPECT_EQ(cmds[3], "sync");
}

TEST_F(UtilsSystemTest, ChangeFileFormatOfAMissingFileRunsNothing)
{
    EXPECT_EQ(Utils::change_file_formt("/mnt/usb1/none.txt"), -1);
    EXPECT_TRUE(runner().commands().empty());
}

TEST_F(UtilsSystemTest, ChangeFileFormatCannotBeTurnedIntoAnotherCommand)
{
    const std::string evil = "/mnt/usb1/x; reboot";
    writeFile(evil, "a\r\n");
    EXPECT_EQ(Utils::change_file_formt(evil), 0);
    EXPECT_FALSE(runner().rebootRequested());
    EXPECT_EQ(readFile(evil), QByteArray("a\n"));
}

class UtilsMtdTest : public UtilsSystemTest {
protected:
    void SetUp() override
    {
        UtilsSystemTest::SetUp();
        board().mtd().define("/dev/mtdtest", 0x40000, 0x10000, 2048);
        fd_ = platform::Board::mtd().open("/dev/mtdtest", O_RDWR);
        ASSERT_GE(fd_, 0);
        board().mtd().clearCalls();
    }
    void TearDown() override
    {
        platform::Board::mtd().close(fd_);
        UtilsSystemTest::TearDown();
    }
    std::vector<SimMtd::Call> calls(SimMtd::Op op)
    {
        std::vector<SimMtd::Call> out;
        for (const auto& c : board().mtd().calls())
            if (c.op == op)
                out.push_back(c);
        return out;
    }
    int fd_ = -1;
};

TEST_F(UtilsMtdTest, WriteSplitsIntoPagesAndARemainder)
{
    std::vector<uint8_t> data(5000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 7);
    EXPECT_EQ(Utils::non_region_write(fd_, data.data(), 5000, 0x10000), 0);
    const auto writes = calls(SimMtd::Op::Write);
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[0].offset, 0x10000u);
    EXPECT_EQ(writes[0].length, 2048u);
    EXPECT_EQ(writes[1].offset, 0x10000u + 2048);
    EXPECT_EQ(writes[2].offset, 0x10000u + 4096);
    EXPECT_EQ(writes[2].length, 904u);
    std::vector<uint8_t> back(5000);
    ASSERT_EQ(platform::Board::mtd().pread(fd_, back.data(), back.size(), 0x10000), 5000);
    EXPECT_EQ(back, data);
}

TEST_F(UtilsMtdTest, WriteOfWholePagesOrNothing)
{
    std::vector<uint8_t> data(4096, 0x11);
    EXPECT_EQ(Utils::non_region_write(fd_, data.data(), 4096, 0), 0);
    EXPECT_EQ(calls(SimMtd::Op::Write).size(), 2u);
    board().mtd().clearCalls();
    EXPECT_EQ(Utils::non_region_write(fd_, data.data(), 0, 0), 0);
    EXPECT_EQ(calls(SimMtd::Op::Write).size(), 0u);
}

TEST_F(UtilsMtdTest, WriteFailures)
{
    std::vector<uint8_t> data(5000, 0x22);
    board().mtd().setShortWrite(1);
    EXPECT_EQ(Utils::non_region_write(fd_, data.data(), 5000, 0), 1);
    board().mtd().failAfter(SimMtd::Op::Write, 2);
    EXPECT_EQ(Utils::non_region_write(fd_, data.data(), 5000, 0), 1);
    board().mtd().failAfter(SimMtd::Op::GetInfo, 0);
    EXPECT_EQ(Utils::non_region_write(fd_, data.data(), 5000, 0), 1);
}

TEST_F(UtilsMtdTest, EraseRoundsUpToWholeBlocksAndUnlocksFirst)
{
    std::vector<uint8_t> data(2048, 0x00);
    ASSERT_EQ(Utils::non_region_write(fd_, data.data(), 2048, 0x20000), 0);
    board().mtd().clearCalls();
    EXPECT_EQ(Utils::non_region_erase(fd_, 0x10000, 0x18000, 1), 0);
    const auto all = board().mtd().calls();
    ASSERT_EQ(all.size(), 5u);
    EXPECT_EQ(all[1].op, SimMtd::Op::Unlock);
    EXPECT_EQ(all[2].op, SimMtd::Op::Erase);
    EXPECT_EQ(all[2].offset, 0x10000u);
    EXPECT_EQ(all[3].op, SimMtd::Op::Unlock);
    EXPECT_EQ(all[4].offset, 0x20000u);
    uint8_t b = 0;
    ASSERT_EQ(platform::Board::mtd().pread(fd_, &b, 1, 0x20000), 1);
    EXPECT_EQ(b, 0xFF);
}

TEST_F(UtilsMtdTest, EraseOfNothingAndWithoutUnlock)
{
    EXPECT_EQ(Utils::non_region_erase(fd_, 0, 0, 1), 0);
    EXPECT_TRUE(calls(SimMtd::Op::Erase).empty());
    EXPECT_EQ(Utils::non_region_erase(fd_, 0, 0x10000, 0), 0);
    EXPECT_TRUE(calls(SimMtd::Op::Unlock).empty());
    EXPECT_EQ(calls(SimMtd::Op::Erase).size(), 1u);
}

TEST_F(UtilsMtdTest, EraseFailuresAreReportedAndTheDescriptorStaysOpen)
{
    board().mtd().failAfter(SimMtd::Op::Erase, 1);
    EXPECT_EQ(Utils::non_region_erase(fd_, 0, 0x30000, 0), 8);
    EXPECT_GE(::fcntl(fd_, F_GETFD), 0);
    board().mtd().failAfter(SimMtd::Op::Unlock, 0);
    EXPECT_EQ(Utils::non_region_erase(fd_, 0, 0x10000, 1), 8);
    board().mtd().failAfter(SimMtd::Op::GetInfo, 0);
    EXPECT_EQ(Utils::non_region_erase(fd_, 0, 0x10000, 0), 8);
    EXPECT_TRUE(calls(SimMtd::Op::Erase).size() == 2u);
    EXPECT_GE(::fcntl(fd_, F_GETFD), 0);
}

} // namespace
} // namespace kel::test
