#include "ProgramRunner.h"
#include "StraceAudit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

#include <gtest/gtest.h>

namespace kel::test {
namespace {

TEST(ProgramSafetyTest, AuditFlagsWhatTheProgramMustNotDo)
{
    StraceAudit audit("/tmp/r");
    audit.audit("10 execve(\"/build/kelT57N\", [\"kelT57N\"], 0x0 /* 3 vars */) = 0\n"
                "10 openat(AT_FDCWD, \"/tmp/r/data/configs/tcpip.ini\", O_RDWR|O_CREAT|O_CLOEXEC, 0666) = 3\n"
                "10 openat(AT_FDCWD, \"/etc/passwd\", O_RDONLY|O_CLOEXEC) = 4\n"
                "10 openat(AT_FDCWD, \"/dev/null\", O_WRONLY) = 5\n"
                "11 connect(6, {sa_family=AF_INET, sin_port=htons(5008), sin_addr=inet_addr(\"127.0.0.1\")}, 16) = 0\n");
    EXPECT_TRUE(audit.violations().isEmpty()) << audit.violations().join('\n').toStdString();

    StraceAudit bad("/tmp/r");
    bad.audit("10 execve(\"/build/kelT57N\", [\"kelT57N\"], 0x0) = 0\n"
              "12 execve(\"/bin/sh\", [\"sh\", \"-c\", \"reboot\"], 0x0) = 0\n"
              "10 openat(AT_FDCWD, \"/data/configs/tcpip.ini\", O_WRONLY|O_CREAT, 0666) = 3\n"
              "10 unlinkat(AT_FDCWD, \"/etc/x\", 0) = -1 ENOENT (No such file or directory)\n"
              "10 sendto(6, \"\\xa5\", 1, 0, {sa_family=AF_INET, sin_port=htons(5008), "
              "sin_addr=inet_addr(\"255.255.255.255\")}, 16) = 1\n"
              "10 bind(7, {sa_family=AF_INET, sin_port=htons(5005), sin_addr=inet_addr(\"0.0.0.0\")}, 16) = 0\n"
              "10 mkdir(\"/tmp/runtime-root\", 0700) = 0\n");
    EXPECT_EQ(bad.violations().size(), 6) << bad.violations().join('\n').toStdString();
}

// Started as on a clean machine, without XDG_RUNTIME_DIR: the program makes
// its runtime folder under the root too.
TEST(ProgramSafetyTest, RunsOnTheSimulatedBoardWithoutTouchingTheHost)
{
    if (QStandardPaths::findExecutable("strace").isEmpty())
        GTEST_SKIP() << "strace is not installed";
    QTemporaryDir logDir;
    ASSERT_TRUE(logDir.isValid());
    const QString log = logDir.path() + "/trace.txt";
    ProgramRunner program;
    program.unset << "XDG_RUNTIME_DIR";
    ASSERT_TRUE(program.start(StraceAudit::straceArguments(log)));
    ASSERT_TRUE(program.waitForFile("/data/configs/tcpip.ini")) << program.output().toStdString();
    ASSERT_TRUE(program.waitForSignalHandler(SIGTERM));
    // Let the program run a while, as on the device, before it is stopped.
    QTest::qWait(2000);
    ASSERT_TRUE(program.signal(SIGTERM));
    EXPECT_TRUE(program.waitForCleanExit()) << program.output().toStdString();

    QFile f(log);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    StraceAudit audit(program.root());
    audit.audit(QString::fromLocal8Bit(f.readAll()));
    EXPECT_EQ(audit.execCount(), 1);
    EXPECT_TRUE(audit.violations().isEmpty()) << audit.violations().join('\n').toStdString();
}

TEST(ProgramSafetyTest, AuditFollowsLinksLeftInTheRoot)
{
    QTemporaryDir root, outside;
    ASSERT_TRUE(QFile::link(outside.path() + "/victim", root.path() + "/state.json"));
    ASSERT_TRUE(QFile::link(outside.path(), root.path() + "/modes"));
    StraceAudit audit(root.path());
    audit.forbid(outside.path());
    const QString r = root.path();
    audit.audit("10 openat(AT_FDCWD, \"" + r + "/state.json\", O_WRONLY|O_CREAT|O_TRUNC, 0666) = 3\n"
                "10 openat(AT_FDCWD, \"" + r + "/modes/custom_mode1.tmp\", O_WRONLY|O_CREAT, 0644) = 3\n"
                "10 renameat2(AT_FDCWD, \"" + r + "/a\", AT_FDCWD, \"" + r + "/modes/b\", 0) = 0\n"
                "10 unlink(\"" + r + "/state.json\") = 0\n"
                "10 openat(AT_FDCWD, \"" + r + "/state.json\", O_RDONLY) = 3\n");
    EXPECT_EQ(audit.violations().size(), 3) << audit.violations().join('\n').toStdString();
}

// Links planted in the root towards a folder outside it, for every file the
// program writes: the program starts, runs and stops, and nothing outside
// changes.
TEST(ProgramSafetyTest, PlantedLinksDoNotLeadWritesOutOfTheRoot)
{
    if (QStandardPaths::findExecutable("strace").isEmpty())
        GTEST_SKIP() << "strace is not installed";
    QTemporaryDir logDir, outside;
    ASSERT_TRUE(logDir.isValid() && outside.isValid());
    ProgramRunner program;
    const QStringList planted = {"/data/ram_device_info", "/data/modes/custom_mode1", "/data/configs/tcpip.ini",
                                 "/sim/board.ini", "/sim/state.json"};
    for (const QString& logical : planted) {
        const QString victim = outside.path() + "/" + QFileInfo(logical).fileName();
        QFile v(victim);
        ASSERT_TRUE(v.open(QIODevice::WriteOnly));
        v.write("outside\n");
        v.close();
        ASSERT_TRUE(QDir().mkpath(QFileInfo(program.hostPath(logical)).path()));
        ASSERT_TRUE(QFile::link(victim, program.hostPath(logical)));
    }
    const QString log = logDir.path() + "/trace.txt";
    ASSERT_TRUE(program.start(StraceAudit::straceArguments(log)));
    ASSERT_TRUE(program.waitForSignalHandler(SIGUSR1)) << program.output().toStdString();
    ASSERT_TRUE(program.waitForSignalHandler(SIGTERM));
    ASSERT_TRUE(program.signal(SIGUSR1));
    QTest::qWait(2000);
    ASSERT_TRUE(program.signal(SIGTERM));
    EXPECT_TRUE(program.waitForCleanExit()) << program.output().toStdString();
    EXPECT_TRUE(program.output().contains("resolves outside the root")) << program.output().toStdString();

    for (const QString& logical : planted) {
        QFile v(outside.path() + "/" + QFileInfo(logical).fileName());
        ASSERT_TRUE(v.open(QIODevice::ReadOnly));
        EXPECT_EQ(v.readAll(), QByteArray("outside\n")) << logical.toStdString();
    }
    QFile f(log);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    StraceAudit audit(program.root());
    audit.forbid(outside.path());
    audit.audit(QString::fromLocal8Bit(f.readAll()));
    EXPECT_TRUE(audit.violations().isEmpty()) << audit.violations().join('\n').toStdString();
}

TEST(ProgramSafetyTest, StaysUpWritesItsStateOnRequestAndStopsCleanly)
{
    for (int sig : {SIGINT, SIGTERM}) {
        ProgramRunner program;
        ASSERT_TRUE(program.start());
        ASSERT_TRUE(program.waitForFile("/data/configs/tcpip.ini")) << program.output().toStdString();
        EXPECT_TRUE(QFile::exists(program.hostPath("/sim/board.ini")));
        ASSERT_TRUE(program.waitForSignalHandler(SIGUSR1));
        ASSERT_TRUE(program.waitForSignalHandler(sig));
        if (::geteuid() == 0) {
            // Run as root, the program has a network of its own: its fixed
            // ports meet no other controller on this machine.
            const QString mine = QFileInfo("/proc/self/ns/net").symLinkTarget();
            const QString its = QFileInfo(QString("/proc/%1/ns/net").arg(program.programPid())).symLinkTarget();
            EXPECT_FALSE(its.isEmpty());
            EXPECT_NE(its, mine);
        }
        ASSERT_TRUE(program.signal(SIGUSR1));
        ASSERT_TRUE(program.waitForFile("/sim/state.json"));
        ASSERT_TRUE(QFile::remove(program.hostPath("/sim/state.json")));
        ASSERT_TRUE(program.signal(sig));
        EXPECT_TRUE(program.waitForCleanExit()) << program.output().toStdString();
        // Written again at exit.
        QFile state(program.hostPath("/sim/state.json"));
        ASSERT_TRUE(state.open(QIODevice::ReadOnly));
        const QJsonObject o = QJsonDocument::fromJson(state.readAll()).object();
        EXPECT_TRUE(o.contains("system"));
        // A fresh device shows its home screen in Simplified Chinese.
        const QJsonObject panel = o.value("panel").toObject();
        EXPECT_EQ(panel.value("g_page_focus").toInt(-1), 0);
        EXPECT_EQ(panel.value("window").toString(), "LockWindow");
        EXPECT_EQ(panel.value("g_language").toInt(-1), 0);
        EXPECT_EQ(panel.value("language").toString(), "Simplified Chinese");
    }
}

// A fresh root's board.ini plugs a follow-EDID source into input 2, the input
// window 0 shows: the program lights the screen with no help, and the scaler
// takes the input's 1080p60 timing.
TEST(ProgramSafetyTest, FreshRootReachesALitScreenFromThePluggedSource)
{
    ProgramRunner program;
    ASSERT_TRUE(program.start());
    ASSERT_TRUE(program.waitForSignalHandler(SIGUSR1)) << program.output().toStdString();
    ASSERT_TRUE(program.waitForSignalHandler(SIGTERM));
    QJsonObject state;
    auto lit = [&] {
        const QJsonObject input = state.value("scaler").toObject().value("inputs").toArray()[2].toObject();
        return state.value("fpga0").toObject().value("lit").toBool() && input.value("hact").toInt() == 1920;
    };
    for (int i = 0; i < 120 && !lit(); ++i) {
        ASSERT_TRUE(program.signal(SIGUSR1));
        QTest::qWait(500);
        QFile f(program.hostPath("/sim/state.json"));
        if (f.open(QIODevice::ReadOnly))
            state = QJsonDocument::fromJson(f.readAll()).object();
    }
    EXPECT_TRUE(lit()) << program.output().toStdString();
    const QJsonObject input = state.value("scaler").toObject().value("inputs").toArray()[2].toObject();
    EXPECT_EQ(input.value("vact").toInt(), 1080);
    EXPECT_EQ(input.value("htotal").toInt(), 2200);
    EXPECT_EQ(input.value("vtotal").toInt(), 1125);
    const QJsonObject receiver = state.value("input_board").toObject().value("receivers").toArray()[2].toObject();
    EXPECT_TRUE(receiver.value("scdt").toBool());
    EXPECT_EQ(receiver.value("hpd").toInt(), 3);
    ASSERT_TRUE(program.signal(SIGTERM));
    EXPECT_TRUE(program.waitForCleanExit()) << program.output().toStdString();
}

} // namespace
} // namespace kel::test
