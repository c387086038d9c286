#include "platform/Board.h"
#include "platform/HidService.h"
#include "platform/NetPolicy.h"
#include "platform/PathMap.h"
#include "platform/RegisterWindow.h"
#include "platform/Sleeper.h"
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimCommandRunner.h"
#include "platform/sim/SimFpga.h"
#include "platform/sim/SimFpgaBoard.h"
#include "platform/sim/SimHid.h"
#include "platform/sim/SimRegisterMemory.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include <gtest/gtest.h>

namespace kel::test {
namespace {

using platform::Board;

// Set on a thread whose state write the test holds up.
thread_local bool t_holdState = false;

class SimBoardTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        Board::shutdown();
        ::unsetenv("KEL_ROOT");
        ::setenv("KEL_BOARD", "sim", 1);
    }
    std::string root() { return dir_.path().toStdString(); }
    QTemporaryDir dir_;
};

TEST_F(SimBoardTest, FreshRootGetsItsFoldersAndADefaultScenario)
{
    Board::initSim(root());
    for (const char* f : {"/data", "/data/configs", "/data/modes", "/data/app", "/data/edidramtable",
                          "/data/rcvrecovery", "/data/smartmapping", "/mnt/usb1", "/etc", "/sim"})
        EXPECT_TRUE(QDir(QString::fromStdString(root() + f)).exists()) << f;
    QSettings ini(QString::fromStdString(root() + "/sim/board.ini"), QSettings::IniFormat);
    EXPECT_EQ(ini.value("system/wired_port").toString(), "yes");
    EXPECT_EQ(ini.value("keypad/present").toString(), "yes");
    EXPECT_EQ(ini.value("soc/unique_id_x").toString(), "0x1234");
    auto w = Board::newRegisterWindow();
    ASSERT_TRUE(w->open());
    EXPECT_EQ(w->read16(0x4058), 0x1234);
}

TEST_F(SimBoardTest, ScenarioFileDecidesWhatIsPresent)
{
    QDir().mkpath(QString::fromStdString(root() + "/sim"));
    {
        QSettings ini(QString::fromStdString(root() + "/sim/board.ini"), QSettings::IniFormat);
        ini.setValue("system/wired_port", "no");
        ini.setValue("keypad/present", "no");
        ini.setValue("soc/register_window", "no");
        ini.setValue("soc/unique_id_y", "0x00ff");
    }
    Board::initSim(root());
    EXPECT_FALSE(Board::sim()->commands().wiredPortPresent());
    EXPECT_FALSE(Board::hid().present(0x28E9, 0x0380));
    EXPECT_FALSE(Board::newRegisterWindow()->open());
    EXPECT_EQ(Board::sim()->registers().peek(0x405C), 0x00ff);
    // Keys the file lacked were added with their defaults.
    QSettings ini(QString::fromStdString(root() + "/sim/board.ini"), QSettings::IniFormat);
    EXPECT_EQ(ini.value("soc/unique_id_x").toString(), "0x1234");
    EXPECT_EQ(ini.value("system/wired_port").toString(), "no");
}

TEST_F(SimBoardTest, EveryScenarioFlagReadsTheSameWords)
{
    struct Case { const char* text; bool videoPresent; bool logged; };
    const Case cases[] = {
        {"yes", true, false}, {"No", false, false}, {"TRUE", true, false}, {"false", false, false},
        {"On", true, false},  {"OFF", false, false}, {"1", true, false},   {"0", false, false},
        {"maybe", true, true},
    };
    for (const auto& c : cases) {
        QDir().mkpath(QString::fromStdString(root() + "/sim"));
        QFile f(QString::fromStdString(root() + "/sim/board.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QByteArray("[fpga]\nvideo_present=") + c.text + "\n[flash]\nstuck_busy=" + c.text + "\n");
        f.close();
        ::testing::internal::CaptureStderr();
        Board::initSim(root());
        const std::string log = ::testing::internal::GetCapturedStderr();
        auto* fpga = platform::sim::SimFpgaBoard::current();
        ASSERT_NE(fpga, nullptr);
        EXPECT_EQ(fpga->fpga0().knobs().videoPresent, c.videoPresent) << c.text;
        const std::string line = root() + "/sim/board.ini: [fpga] video_present=" + c.text;
        EXPECT_EQ(log.find(line) != std::string::npos, c.logged) << c.text << ": " << log;
        Board::shutdown();
    }
}

TEST_F(SimBoardTest, FreshScenarioListsEveryKeyWithAComment)
{
    Board::initSim(root());
    QFile f(QString::fromStdString(root() + "/sim/board.ini"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    QStringList keys;
    QString group;
    for (int i = 0; i < lines.size(); ++i) {
        const QString l = QString::fromUtf8(lines[i]).trimmed();
        if (l.startsWith('['))
            group = l.mid(1, l.size() - 2);
        else if (!l.isEmpty() && !l.startsWith(';')) {
            keys << group + "/" + l.left(l.indexOf('='));
            EXPECT_TRUE(i > 0 && lines[i - 1].startsWith("; ")) << "no comment above " << l.toStdString();
        }
    }
    for (const char* k : {"system/wired_port", "keypad/present", "soc/unique_id_x", "flash_mtd8/size",
                          "input_board/edid0", "input_board/port_present", "fpga/version", "fpga/vbo_error_reads",
                          "fpga/vbo_lock_after_reads", "fpga/video_present", "fpga/reg23_bit1_stuck", "fpga/width",
                          "fpga/height", "fpga/count", "flash/persist", "flash/busy_polls", "flash/stuck_busy"})
        EXPECT_TRUE(keys.contains(k)) << k;
    QSettings ini(f.fileName(), QSettings::IniFormat);
    EXPECT_EQ(ini.value("fpga/video_present").toString(), "yes");
    EXPECT_EQ(ini.value("flash/persist").toString(), "no");
}

TEST_F(SimBoardTest, AddedKeysKeepTheFilesOwnComments)
{
    QDir().mkpath(QString::fromStdString(root() + "/sim"));
    {
        QFile f(QString::fromStdString(root() + "/sim/board.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("; my own note\n[keypad]\n; unplugged today\npresent=no\n");
    }
    Board::initSim(root());
    EXPECT_FALSE(Board::hid().present(0x28E9, 0x0380));
    QFile f(QString::fromStdString(root() + "/sim/board.ini"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    EXPECT_TRUE(text.startsWith("; my own note\n[keypad]\n; unplugged today\npresent=no\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("wired_port=yes"));
}

TEST_F(SimBoardTest, StateFileShowsEveryPart)
{
    Board::initSim(root());
    Board::commands().system("reboot");
    Board::sim()->addStateWriter("chip", [] { return QJsonObject{{"reg", 5}}; });
    ASSERT_TRUE(Board::sim()->writeState());
    QFile f(QString::fromStdString(root() + "/sim/state.json"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QJsonObject o = QJsonDocument::fromJson(f.readAll()).object();
    EXPECT_TRUE(o["system"].toObject()["rebootRequested"].toBool());
    EXPECT_EQ(o["chip"].toObject()["reg"].toInt(), 5);
    EXPECT_TRUE(o.contains("keypad"));

    // Two writes at once: the one that took its state first and finishes
    // last leaves the newer file in place.
    std::atomic<int> reg{6};
    std::atomic<bool> taken{false}, release{false};
    Board::sim()->addStateWriter("chip", [&] {
        const int now = reg;
        if (t_holdState) {
            taken = true;
            while (!release)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return QJsonObject{{"reg", now}};
    });
    std::thread older([] {
        t_holdState = true;
        Board::sim()->writeState();
    });
    while (!taken)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    reg = 7;
    EXPECT_TRUE(Board::sim()->writeState());
    release = true;
    older.join();
    f.close();
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(QJsonDocument::fromJson(f.readAll()).object()["chip"].toObject()["reg"].toInt(), 7);
}

TEST_F(SimBoardTest, EnvironmentChoosesTheBoard)
{
    std::string error;
    ::setenv("KEL_BOARD", "bogus", 1);
    EXPECT_FALSE(Board::initFromEnvironment(&error));
    EXPECT_NE(error.find("bogus"), std::string::npos);

    ::setenv("KEL_BOARD", "sim", 1);
    ::unsetenv("KEL_ROOT");
    EXPECT_FALSE(Board::initFromEnvironment(&error));
    ::setenv("KEL_ROOT", "/", 1);
    EXPECT_FALSE(Board::initFromEnvironment(&error));

    ::setenv("KEL_ROOT", root().c_str(), 1);
    ASSERT_TRUE(Board::initFromEnvironment(&error));
    EXPECT_TRUE(Board::isSim());
    EXPECT_EQ(platform::PathMap::root(), root());
    EXPECT_EQ(platform::PathMap::host(std::string("/data")), platform::PathMap::root() + "/data");
}

TEST_F(SimBoardTest, SimulatedBoardKeepsTheNetworkOnLoopback)
{
    Board::initSim(root());
    using platform::NetPolicy;
    EXPECT_EQ(NetPolicy::listenAddress(), htonl(INADDR_LOOPBACK));
    EXPECT_FALSE(NetPolicy::broadcastAllowed());
    // A loopback sender is answered at its own address (a second PC in a
    // test); anything else at 127.0.0.1.
    const struct {
        uint32_t wanted, sent;
    } cases[] = {{INADDR_BROADCAST, INADDR_LOOPBACK}, {0x0A010203, INADDR_LOOPBACK}, {0xC0A80001, INADDR_LOOPBACK},
                 {0x7F000002, 0x7F000002}, {0x7F050607, 0x7F050607}, {0x80000001, INADDR_LOOPBACK}};
    for (const auto& c : cases) {
        sockaddr_in wanted{};
        wanted.sin_family = AF_INET;
        wanted.sin_port = htons(5008);
        wanted.sin_addr.s_addr = htonl(c.wanted);
        const sockaddr_in to = NetPolicy::destination(wanted);
        EXPECT_EQ(to.sin_addr.s_addr, htonl(c.sent)) << std::hex << c.wanted;
        EXPECT_EQ(to.sin_port, htons(5008));
    }
}

TEST_F(SimBoardTest, SleepsHaveAFloorOnTheSimulatedBoardAndAHookForTests)
{
    Board::initSim(root());
    EXPECT_GE(platform::Sleeper::minimumUs(), 1000u);
    uint64_t total = 0;
    platform::Sleeper::setHook([&](uint64_t us) { total += us; });
    platform::Sleeper::sleepMs(4000);
    platform::Sleeper::sleepUs(1);
    platform::Sleeper::setHook({});
    EXPECT_EQ(total, 4000001u);
}

TEST_F(SimBoardTest, KeypadRecordsReportsAndCanFail)
{
    Board::initSim(root());
    auto& hid = Board::sim()->hid();
    const uint8_t report[5] = {1, 2, 3, 4, 5};
    EXPECT_EQ(Board::hid().writeReport(0x28E9, 0x0380, report, 5), 5);
    EXPECT_EQ(Board::hid().writeReport(0x1234, 0x0380, report, 5), -1);
    hid.setWriteFails(true);
    EXPECT_EQ(Board::hid().writeReport(0x28E9, 0x0380, report, 5), -1);
    hid.setWriteFails(false);
    hid.setPresent(false);
    EXPECT_FALSE(Board::hid().present(0x28E9, 0x0380));
    EXPECT_EQ(Board::hid().writeReport(0x28E9, 0x0380, report, 5), -1);
    ASSERT_EQ(hid.reports().size(), 1u);
    EXPECT_EQ(hid.reports()[0], (std::vector<uint8_t>{1, 2, 3, 4, 5}));
}

} // namespace
} // namespace kel::test

namespace kel::test {
namespace {

// A process may end without Board::shutdown(): the simulated board then dies
// among the other statics, in whatever order the linker chose.
TEST(SimBoardExitTest, ProcessThatNeverShutsTheBoardDownExitsCleanly)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string root = dir.path().toStdString();
    EXPECT_EXIT(
        {
            platform::Board::initSim(root);
            ASSERT_NE(platform::Board::sim(), nullptr);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
} // namespace kel::test
