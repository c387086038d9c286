#include "platform/Board.h"
#include "platform/Clock.h"
#include "platform/CommandRunner.h"
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimCommandRunner.h"
#include "support/SimRootFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

namespace kel::test {
namespace {

using platform::sim::SimCommandRunner;

class SimCommandRunnerTest : public SimRootFixture {
protected:
    int run(const std::string& cmd) { return platform::Board::commands().system(cmd); }
    std::string output(const std::string& cmd, int* status = nullptr)
    {
        std::string out;
        const int rc = platform::Board::commands().capture(cmd, out);
        if (status)
            *status = rc;
        return out;
    }
    QString host(const std::string& logical) { return QString::fromStdString(hostPath(logical)); }
    void write(const std::string& logical, const QByteArray& data)
    {
        QDir().mkpath(QFileInfo(host(logical)).path());
        QFile f(host(logical));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
    }
    QByteArray read(const std::string& logical)
    {
        QFile f(host(logical));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    bool exists(const std::string& logical) { return QFileInfo::exists(host(logical)); }
    SimCommandRunner& sim() { return board().commands(); }
};

TEST_F(SimCommandRunnerTest, RecordsEveryTextInOrderFromAnyThread)
{
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([this, t] {
            for (int i = 0; i < 50; ++i)
                run("sync # " + std::to_string(t));
        });
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(sim().commands().size(), 200u);
    sim().clear();
    run("sync");
    run("unknown-tool --flag");
    EXPECT_EQ(sim().commands(), (std::vector<std::string>{"sync", "unknown-tool --flag"}));
}

TEST_F(SimCommandRunnerTest, RemoveActsInsideTheRoot)
{
    write("/data/modes/custom_mode1", "m");
    write("/data/modes/MO01.json", "{}");
    write("/data/smartmapping/a/b", "x");
    EXPECT_EQ(run("rm  -rf  /data/modes/custom_mode1"), 0);
    EXPECT_FALSE(exists("/data/modes/custom_mode1"));
    EXPECT_EQ(run("rm -rf /data/modes/custom_mode1"), 0);          // -f: missing is fine
    EXPECT_EQ(run("rm /data/modes/none"), SimCommandRunner::kFailed);
    EXPECT_EQ(run("rm /data/smartmapping/a"), SimCommandRunner::kFailed); // a folder needs -r
    EXPECT_TRUE(exists("/data/smartmapping/a/b"));
    EXPECT_EQ(run("rm -rf /data/smartmapping/*"), 0);
    EXPECT_FALSE(exists("/data/smartmapping/a"));
    EXPECT_TRUE(exists("/data/smartmapping"));
    EXPECT_EQ(run("rm -rf '/data/modes/MO01.json'"), 0);
    EXPECT_FALSE(exists("/data/modes/MO01.json"));
}

TEST_F(SimCommandRunnerTest, NothingOutsideTheRootIsTouched)
{
    QTemporaryDir outside;
    ASSERT_TRUE(outside.isValid());
    const std::string victim = outside.path().toStdString() + "/victim";
    {
        QFile f(QString::fromStdString(victim));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("keep\r\n");
    }
    // A link inside the root that points out of it.
    ASSERT_EQ(::symlink(outside.path().toStdString().c_str(), hostPath("/data/escape").c_str()), 0);
    EXPECT_EQ(run("rm -rf /data/escape/victim"), SimCommandRunner::kFailed);
    EXPECT_EQ(run("dos2unix /data/escape/victim"), SimCommandRunner::kFailed);
    EXPECT_EQ(run("chmod 000 /data/escape/victim"), SimCommandRunner::kFailed);
    EXPECT_EQ(run("cp /etc/hostname /data/escape/victim"), SimCommandRunner::kFailed);
    EXPECT_EQ(run("chattr +S /data/escape/victim"), SimCommandRunner::kFailed);
    // A link to the file itself is not followed out of the root either.
    ASSERT_EQ(::symlink(victim.c_str(), hostPath("/data/victim").c_str()), 0);
    EXPECT_EQ(run("dos2unix /data/victim"), SimCommandRunner::kFailed);
    EXPECT_EQ(run("sed -i 's/keep/lost/' /data/victim"), SimCommandRunner::kFailed);
    EXPECT_EQ(run("chattr +S /data/victim"), SimCommandRunner::kFailed);
    EXPECT_EQ(run("rm -rf /data/escape/"), 0); // removes the link, not what it points to
    EXPECT_FALSE(exists("/data/escape"));
    EXPECT_EQ(run("rm -rf /"), SimCommandRunner::kFailed);
    EXPECT_EQ(run("rm -rf relative/path"), SimCommandRunner::kFailed);
    QFile f(QString::fromStdString(victim));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("keep\r\n"));
    EXPECT_TRUE(exists("/data/configs"));
    // ".." never climbs out: it lands inside the root.
    write("/etc/passwd", "sim");
    EXPECT_EQ(run("rm /data/../../../etc/passwd"), 0);
    EXPECT_FALSE(exists("/etc/passwd"));
}

TEST_F(SimCommandRunnerTest, CopyAndMove)
{
    write("/data/configs/omenu.json", "{\"a\":1}");
    EXPECT_EQ(run("cp  /data/configs/omenu.json /data/modes/MO0a.json"), 0);
    EXPECT_EQ(read("/data/modes/MO0a.json"), QByteArray("{\"a\":1}"));
    write("/data/configs/omenu.json", "{\"a\":2}");
    EXPECT_EQ(run("cp /data/configs/omenu.json /data/modes/MO0a.json"), 0); // overwrites
    EXPECT_EQ(read("/data/modes/MO0a.json"), QByteArray("{\"a\":2}"));
    EXPECT_EQ(run("cp /data/configs/omenu.json /mnt/usb1"), 0);           // into a folder
    EXPECT_EQ(read("/mnt/usb1/omenu.json"), QByteArray("{\"a\":2}"));
    EXPECT_EQ(run("cp /data/configs /mnt/usb1/c"), SimCommandRunner::kFailed); // folder needs -r
    EXPECT_EQ(run("cp -r /data/configs /mnt/usb1/c"), 0);
    EXPECT_EQ(read("/mnt/usb1/c/omenu.json"), QByteArray("{\"a\":2}"));
    EXPECT_EQ(run("mv /data/app/none /data/app/x"), SimCommandRunner::kFailed);
    write("/data/app/kelT57N2", "new");
    EXPECT_EQ(run("mv /data/app/kelT57N2 /data/app/kelT57N"), 0);
    EXPECT_EQ(read("/data/app/kelT57N"), QByteArray("new"));
    EXPECT_FALSE(exists("/data/app/kelT57N2"));
}

TEST_F(SimCommandRunnerTest, ChmodOctalAndSymbolic)
{
    write("/data/app/kelT57N", "bin");
    EXPECT_EQ(run("chmod 640 /data/app/kelT57N"), 0);
    struct stat st;
    ASSERT_EQ(::stat(hostPath("/data/app/kelT57N").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(run("chmod +x /data/app/kelT57N"), 0);
    ASSERT_EQ(::stat(hostPath("/data/app/kelT57N").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0751u);
    EXPECT_EQ(run("chmod 777 /data/app/none"), SimCommandRunner::kFailed);

    // -R reaches everything below the folder, but no link out of the root.
    write("/data/app/lib/part.so", "so");
    QTemporaryDir outside;
    const std::string victim = outside.path().toStdString() + "/victim";
    QFile(QString::fromStdString(victim)).open(QIODevice::WriteOnly);
    ::chmod(victim.c_str(), 0600);
    ASSERT_EQ(::symlink(victim.c_str(), hostPath("/data/app/lib/out").c_str()), 0);
    ASSERT_EQ(::symlink(outside.path().toStdString().c_str(), hostPath("/data/outdir").c_str()), 0);
    EXPECT_EQ(run("chmod 777 -R /data/app"), 0);
    for (const char* p : {"/data/app", "/data/app/kelT57N", "/data/app/lib", "/data/app/lib/part.so"}) {
        ASSERT_EQ(::stat(hostPath(p).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0777u) << p;
    }
    EXPECT_EQ(run("chmod -R 777 /data/outdir"), SimCommandRunner::kFailed);
    ASSERT_EQ(::stat(victim.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(SimCommandRunnerTest, LineEndsAndByteOrderMark)
{
    write("/etc/wpa_supplicant.conf", "\xEF\xBB\xBFssid=x\r\nkey=y\r\n\xEF\xBB\xBF");
    EXPECT_EQ(run("dos2unix /etc/wpa_supplicant.conf"), 0);
    EXPECT_EQ(run("sed -i 's/\xEF\xBB\xBF//g' /etc/wpa_supplicant.conf"), 0);
    EXPECT_EQ(read("/etc/wpa_supplicant.conf"), QByteArray("ssid=x\nkey=y\n"));
    EXPECT_EQ(run("dos2unix /etc/none"), SimCommandRunner::kFailed);
    write("/etc/udhcpd.conf", "start 1\nstart 2 start\n");
    EXPECT_EQ(run("sed -i 's/start/begin/' /etc/udhcpd.conf"), 0);
    EXPECT_EQ(read("/etc/udhcpd.conf"), QByteArray("begin 1\nbegin 2 start\n"));
}

TEST_F(SimCommandRunnerTest, ChattrNeedsAnExistingFile)
{
    write("/data/configs/tcpip.ini", "[config]\n");
    EXPECT_EQ(run("chattr +S /data/configs/tcpip.ini"), 0);
    EXPECT_EQ(run("chattr +S /data/configs/none.ini"), SimCommandRunner::kFailed);
}

TEST_F(SimCommandRunnerTest, WiredPortAndRoutes)
{
    EXPECT_EQ(run("ifconfig eth0 &>/dev/null"), 0);
    sim().setWiredPortPresent(false);
    EXPECT_EQ(run("ifconfig eth0 &>/dev/null"), SimCommandRunner::kFailed);
    EXPECT_EQ(run("ifconfig eth0 >/dev/null 2>&1"), SimCommandRunner::kFailed);
    sim().setWiredPortPresent(true);
    EXPECT_EQ(run("ifconfig eth0 10.0.0.5 netmask 255.0.0.0"), 0);
    EXPECT_EQ(sim().interfaceAddress("eth0"), "10.0.0.5 netmask 255.0.0.0");
    EXPECT_NE(output("ifconfig eth0").find("10.0.0.5"), std::string::npos);
    EXPECT_EQ(run("route add default gw 10.0.0.1 metric 100"), 0);
    EXPECT_EQ(sim().routes(), (std::vector<std::string>{"default gw 10.0.0.1 metric 100"}));
    EXPECT_EQ(run("route del default gw 10.0.0.1 metric 100"), 0);
    EXPECT_TRUE(sim().routes().empty());
    EXPECT_EQ(run("route del 255.255.255.255 wlan1"), SimCommandRunner::kFailed);
}

TEST_F(SimCommandRunnerTest, KeepsTheLast256TextsAndShowsThemInTheState)
{
    for (int i = 0; i < 300; ++i)
        run("date +%s # " + std::to_string(i));
    const auto kept = sim().commands();
    ASSERT_EQ(kept.size(), 256u);
    EXPECT_EQ(kept.front(), "date +%s # 44");
    EXPECT_EQ(kept.back(), "date +%s # 299");
    const QJsonObject state = sim().state();
    EXPECT_EQ(state["commandsRun"].toInt(), 300);
    const QJsonArray texts = state["commands"].toArray();
    ASSERT_EQ(texts.size(), 256);
    EXPECT_EQ(texts.last().toString(), "date +%s # 299");
}

TEST_F(SimCommandRunnerTest, RouteTableFollowsAnAddressAndGatewayChange)
{
    // The wired set-up as the device runs it, twice: the second time with a
    // new address and gateway, then once more unchanged.
    auto setUp = [this](const std::string& ip, const std::string& gw) {
        run("route del default wlan0");
        run("ifconfig eth0 " + ip + " netmask 255.255.255.0");
        run("route add -host " + gw + " dev eth0");
        run("route add default gw " + gw + " metric 100");
        run("route add -host 255.255.255.255 eth0");
        run("route del 255.255.255.255 wlan1");
    };
    const std::vector<std::string> second = {"-host 192.168.2.1 dev eth0", "default gw 192.168.2.1 metric 100",
                                             "-host 255.255.255.255 eth0"};
    setUp("192.168.1.50", "192.168.1.1");
    setUp("192.168.2.50", "192.168.2.1");
    EXPECT_EQ(sim().routes(), second);
    setUp("192.168.2.50", "192.168.2.1");
    EXPECT_EQ(sim().routes(), second) << "an identical route is refused, not doubled";

    EXPECT_EQ(run("route del default wlan0"), SimCommandRunner::kFailed) << "the default route is eth0's";
    EXPECT_EQ(run("route add default gw 10.1.1.1 dev wlan0"), 0);
    EXPECT_EQ(run("route del default wlan0"), 0);
    EXPECT_EQ(sim().routes(), second);
    EXPECT_EQ(run("route del default"), 0);
    EXPECT_EQ(sim().routes().size(), 2u);
}

// The board clock is the host's time moved by an offset: tests set it, and
// a recorded "date" that sets the time (with -s or as a bare operand)
// moves it; hwclock is only counted.
TEST_F(SimCommandRunnerTest, DateMovesTheBoardClockNotTheHost)
{
    struct Case {
        const char* command;
        QDateTime expected;
    };
    const Case cases[] = {
        {"date \"2024-1-5 9:7:3\";hwclock -wu", QDateTime(QDate(2024, 1, 5), QTime(9, 7, 3))},
        {"date -s \"2031-12-31 23:59:58\"", QDateTime(QDate(2031, 12, 31), QTime(23, 59, 58))},
        {"date --set '2025-06-01 00:00'", QDateTime(QDate(2025, 6, 1), QTime(0, 0))},
    };
    for (const Case& c : cases) {
        const QDateTime host = QDateTime::currentDateTime();
        EXPECT_EQ(run(c.command), 0) << c.command;
        EXPECT_LE(std::llabs(platform::Board::clock().now().secsTo(c.expected)), 2) << c.command;
        EXPECT_LE(std::llabs(QDateTime::currentDateTime().secsTo(host)), 2) << "the host clock stays";
    }
    EXPECT_EQ(run("date \"2024-13-40 9:7:3\""), SimCommandRunner::kFailed);
    EXPECT_EQ(board().commands().state()["hwclockWrites"].toInt(), 1);

    board().clock().set(QDateTime(QDate(2030, 2, 3), QTime(4, 5, 6)));
    EXPECT_EQ(output("date +%Y-%m-%d"), "2030-02-03\n");
}

TEST_F(SimCommandRunnerTest, ClockRebootAndServices)
{
    EXPECT_EQ(run("date -s \"2030-01-02 03:04:05\""), 0);
    EXPECT_GT(sim().clockOffsetSeconds(), 0);
    EXPECT_EQ(output("date +%Y"), "2030\n");
    EXPECT_EQ(run("date -s 'not a date'"), SimCommandRunner::kFailed);
    EXPECT_EQ(run("hwclock -wu"), 0);

    EXPECT_FALSE(sim().rebootRequested());
    EXPECT_EQ(run("reboot"), 0);
    EXPECT_TRUE(sim().rebootRequested());

    int status = 0;
    EXPECT_EQ(output("pidof hostapd", &status), "");
    EXPECT_EQ(status, SimCommandRunner::kFailed);
    EXPECT_EQ(run("hostapd -B /etc/rtl_hostapd_2G.conf"), 0);
    EXPECT_EQ(run("udhcpd /etc/udhcpd.conf &"), 0);
    EXPECT_TRUE(sim().running("hostapd"));
    const std::string pid = output("pidof hostapd", &status);
    EXPECT_EQ(status, 0);
    ASSERT_FALSE(pid.empty());
    EXPECT_EQ(run("kill -9 " + pid.substr(0, pid.size() - 1)), 0);
    EXPECT_FALSE(sim().running("hostapd"));
    EXPECT_EQ(run("killall udhcpd"), 0);
    EXPECT_FALSE(sim().running("udhcpd"));
    EXPECT_EQ(run("killall udhcpd"), SimCommandRunner::kFailed);
    EXPECT_EQ(run("wpa_supplicant -B -i wlan0 -c /etc/wpa_supplicant.conf"), 0);
    EXPECT_EQ(run("udhcpc -i wlan0"), 0);
    EXPECT_TRUE(sim().running("wpa_supplicant"));
    EXPECT_TRUE(sim().running("udhcpc"));

    const QJsonObject state = sim().state();
    EXPECT_TRUE(state["rebootRequested"].toBool());
    EXPECT_TRUE(state["services"].toObject().contains("wpa_supplicant"));
}

TEST_F(SimCommandRunnerTest, InjectionStaysText)
{
    write("/data/x", "d");
    EXPECT_EQ(run("rm -rf '/data/x; reboot'"), 0);
    EXPECT_FALSE(sim().rebootRequested());
    EXPECT_TRUE(exists("/data/x"));
}

} // namespace
} // namespace kel::test
