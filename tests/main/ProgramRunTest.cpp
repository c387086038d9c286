#include "ProgramRunner.h"

#include "params/RamLayout.h"
#include "platform/PrivateNetwork.h"
#include "protocol/LinkClient.h"
#include "protocol/LinkSettings.h"
#include "protocol/ProtocolCodes.h"
#include "protocol/TestFrames.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <thread>

#include <gtest/gtest.h>

namespace kel::test {
namespace {

constexpr qint64 kFlashSize = 0x800000;
constexpr qint64 kHeader = 0x6F3000;
constexpr qint64 kCopyA = 0x6F4000;
constexpr qint64 kCopyB = 0x6F5000;
constexpr qint64 kSeq5Minutes = 0x6F6000 + 5 * 16 + 8;

QByteArray bytesAt(const QString& path, qint64 at, int n)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || !f.seek(at))
        return {};
    return f.read(n);
}

bool putBytes(const QString& path, qint64 at, const QByteArray& data)
{
    QFile f(path);
    return f.open(QIODevice::ReadWrite) && f.seek(at) && f.write(data) == data.size();
}

// The scenario the program starts with, in place before its first start.
bool writeBoardIni(const ProgramRunner& program, const char* text)
{
    QFile ini(program.hostPath("/sim/board.ini"));
    return QDir().mkpath(program.hostPath("/sim")) && ini.open(QIODevice::WriteOnly) && ini.write(text) > 0;
}

// Waits (bounded) until the flash image holds `expected` at `at`.
bool waitForBytes(const QString& path, qint64 at, const QByteArray& expected, int timeoutMs = 40000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (bytesAt(path, at, expected.size()) != expected) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(50);
    }
    return true;
}

// The program killed with SIGKILL while it keeps the running-time log in a
// persistent flash leaves a log the next start accepts: the group found at
// the first start is still there, and the second start reads it again and
// closes its sequence record with the group's 100 minutes.
TEST(ProgramRunTest, KilledProgramLeavesARunningTimeLogTheNextStartAccepts)
{
    ProgramRunner program;
    ASSERT_TRUE(writeBoardIni(program, "[flash]\npersist=yes\n"));

    const QString image = program.hostPath("/sim/flash2.bin");
    {
        QFile f(image);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(int(kFlashSize), char(0xFF)));
    }
    QByteArray group(512, char(0xFF));
    group[0] = char(0xAA);
    group[8] = char(0xE8);   // 1000 minutes before the group
    group[9] = char(0x03);
    group[10] = group[11] = 0;
    group[13] = 5;           // sequence number 5
    group[14] = group[15] = 0;
    group.replace(48, 13, QByteArray(12, char(0x55)) + char(0xF5));   // 100 minutes
    ASSERT_TRUE(putBytes(image, kHeader, QByteArray("\xAA\x5A\xA5", 3)));
    ASSERT_TRUE(putBytes(image, kCopyA, group));
    ASSERT_TRUE(putBytes(image, kCopyB, group));

    const QByteArray hundred("\x64\x00\x00\x00", 4);
    ASSERT_TRUE(program.start());
    ASSERT_TRUE(waitForBytes(image, kSeq5Minutes, hundred)) << program.output().toStdString();
    ASSERT_TRUE(program.signal(SIGKILL));
    program.waitForCleanExit();

    // Blank the closing minutes again so the second start shows it read the
    // group; a log it refused would be erased instead.
    ASSERT_TRUE(putBytes(image, kSeq5Minutes, QByteArray(4, char(0xFF))));
    ASSERT_TRUE(program.start());
    EXPECT_TRUE(waitForBytes(image, kSeq5Minutes, hundred)) << program.output().toStdString();
    EXPECT_EQ(bytesAt(image, kHeader, 3), QByteArray("\xAA\x5A\xA5", 3));
    EXPECT_EQ(bytesAt(image, kCopyA, 512), group);
    EXPECT_EQ(bytesAt(image, kCopyB, 512), group);
    ASSERT_TRUE(program.signal(SIGTERM));
    program.waitForCleanExit();
}

// A board.ini with cards on two output ports, one of each port table: once
// the screen is lit the periodic search counts them, and the counts land in
// the FPGA's parameter RAM at the ports' places. The search only counts:
// positions are written by the smart-mapping wizard, so no card holds one.
TEST(ProgramRunTest, CardsOnTwoPortsAreFoundAndTheirCountsReachTheFpgaRam)
{
    ProgramRunner program;
    ASSERT_TRUE(writeBoardIni(program, "[cards]\nport1=3\nport6=5\n"));

    ASSERT_TRUE(program.start());
    ASSERT_TRUE(program.waitForSignalHandler(SIGUSR1)) << program.output().toStdString();
    ASSERT_TRUE(program.waitForSignalHandler(SIGTERM));
    QJsonObject state;
    auto portCards = [&](int port) { return state.value("fpga0").toObject().value("port_cards").toArray()[port].toInt(); };
    for (int i = 0; i < 120 && !(portCards(1) == 3 && portCards(6) == 5); ++i) {
        ASSERT_TRUE(program.signal(SIGUSR1));
        QTest::qWait(500);
        QFile f(program.hostPath("/sim/state.json"));
        if (f.open(QIODevice::ReadOnly))
            state = QJsonDocument::fromJson(f.readAll()).object();
    }
    const QJsonObject fpga = state.value("fpga0").toObject();
    EXPECT_TRUE(fpga.value("lit").toBool()) << program.output().toStdString();
    EXPECT_EQ(fpga.value("links").toInt(), 0x42) << "ports 1 and 6 linked";
    EXPECT_EQ(portCards(1), 3) << "RAM 102";
    EXPECT_EQ(portCards(6), 5) << "RAM 568";
    for (int port : {0, 2, 3, 4, 5, 7, 8, 15})
        EXPECT_EQ(portCards(port), 0) << "port " << port;

    const QJsonObject cards = state.value("cards").toObject();
    struct Port { int port, count; };
    for (const Port p : {Port{1, 3}, Port{6, 5}, Port{0, 0}, Port{7, 0}}) {
        const QJsonObject chain = cards.value(QString("port%1").arg(p.port)).toObject();
        EXPECT_EQ(chain.value("cards").toInt(-1), p.count) << "port " << p.port;
        EXPECT_EQ(chain.value("linked").toBool(), p.count > 0) << "port " << p.port;
        EXPECT_EQ(chain.value("searches").toInt() > 0, p.count > 0) << "port " << p.port << ": searched when linked";
        const QJsonArray each = chain.value("card").toArray();
        ASSERT_EQ(each.size(), p.count) << "port " << p.port;
        for (const QJsonValue c : each)
            EXPECT_FALSE(c.toObject().value("positioned").toBool()) << "port " << p.port;
    }
    ASSERT_TRUE(program.signal(SIGTERM));
    EXPECT_TRUE(program.waitForCleanExit()) << program.output().toStdString();
}

// Resident memory of a process in kB (0 when unknown).
long residentKb(pid_t pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

// Changes as fast as the answers come (a RAM write and an apply, over UDP)
// for 25 s: state dumps keep being answered, SIGTERM ends the program
// promptly, and the last acknowledged value is in the parameter file after
// the exit. A backlog of change passes would hold the dumps and the exit for
// many seconds. KEL_FLOOD_SECONDS makes it the measured run (bench/README.md):
// dumps within 1 s, memory growth under 2 MB, exit within 2 s.
TEST(ProgramRunTest, ChangeFloodLeavesTheProgramServingAndLosesNothing)
{
    using namespace kel::protocol;
    const int asked = qEnvironmentVariableIntValue("KEL_FLOOD_SECONDS");
    const bool measured = asked > 0;
    const int seconds = measured ? asked : 25;
    platform::PrivateNetwork::enter();   // where allowed, the program's fixed ports stay in this test
    ProgramRunner program;
    program.shareNetwork = true;
    // The simulated input board's own log of I2C transfers is not the program's memory.
    ASSERT_TRUE(writeBoardIni(program, "[input_board]\ntransfer_log=1024\n"));
    ASSERT_TRUE(program.start());
    // The links come up last before the event loop runs.
    const uint32_t address = RamLayout::kWindowFades + 4 * 5;   // shown nowhere on the panel
    LinkClient tool = LinkClient::udp(LinkSettings().udpPort);
    QDeadlineTimer up(30000);
    while (tool.exchange(TestFrames::request(CMD_READ_RAM, TestFrames::ramRead(address, 2))).empty())
        ASSERT_FALSE(up.hasExpired()) << program.output().toStdString();

    std::atomic<bool> flooding{true};
    std::atomic<int> slowestDump{0};
    std::thread dumper([&] {
        while (flooding) {
            const int ms = program.stateDumpMs(5000);
            slowestDump = std::max(slowestDump.load(), ms < 0 ? 5000 : ms);
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
    });
    int acknowledged = -1, changes = 0;
    long rssBefore = 0;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < seconds * 1000) {
        if (!rssBefore && clock.elapsed() > 3000)
            rssBefore = residentKb(program.programPid());
        const uint16_t value = uint16_t(changes + 1);
        const Bytes write = TestFrames::ramWrite(address, TestFrames::u16(value));
        const Bytes answer = tool.exchange(TestFrames::request(CMD_WRITE_RAM, write));
        if (!answer.empty() && TestFrames::status(answer) == ST_OK)
            acknowledged = value;
        tool.exchange(TestFrames::request(CMD_WRITE_REGISTER, {11, 0, 0xFF, 1, 0x02}));
        if (++changes % 256 == 0)
            QCoreApplication::processEvents();   // reads the program's output, which must not fill its pipe
    }
    const long rssAfter = residentKb(program.programPid());
    flooding = false;
    dumper.join();
    EXPECT_GT(changes, seconds * 10) << "changes per second";
    EXPECT_LT(slowestDump.load(), measured ? 1000 : 4000);
    if (measured) {
        EXPECT_LT(rssAfter - rssBefore, 2048) << "kB";
    }

    // The stop as the program counts it: to the end of its main, without a
    // sanitizer build's leak scan after it.
    ASSERT_TRUE(program.signal(SIGTERM));
    EXPECT_TRUE(program.waitForCleanExit(15000)) << program.output().toStdString();
    const long long exitMs = program.ownStopMs();
    EXPECT_GE(exitMs, 0) << program.output().toStdString();
    EXPECT_LT(exitMs, measured ? 2000 : 5000);
    const QString file = program.hostPath("/data/ram_device_info");
    const QByteArray saved = bytesAt(file, 2 + address - RamLayout::kSavedBegin, 2);
    ASSERT_EQ(saved.size(), 2);
    EXPECT_EQ(uint8_t(saved[0]) | uint8_t(saved[1]) << 8, acknowledged);
    std::printf("%d changes in %d s, slowest dump %d ms, RSS %ld -> %ld kB, exit %lld ms\n", changes, seconds,
                slowestDump.load(), rssBefore, rssAfter, exitMs);
}

} // namespace
} // namespace kel::test
