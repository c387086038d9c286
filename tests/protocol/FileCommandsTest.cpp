#include "DealFixture.h"
#include "params/MD5.h"
#include "params/SyncReason.h"
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimCommandRunner.h"
#include "protocol/ElfCheck.h"
#include "protocol/PanelCalls.h"
#include "protocol/ProtocolCodes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QThread>
#include <gtest/gtest.h>

#include <fstream>
#include <thread>

namespace kel::test {
namespace {

using namespace protocol;

class FileCommands : public DealFixture {
protected:
    const Requester tool{3, "udp 127.0.0.1:4000"};
    const Requester other{2, "tcp#1 127.0.0.1:5000"};

    Bytes start(const char* tag, uint8_t type, uint32_t size, const Requester& who)
    {
        Bytes p = {type, uint8_t(tag[0]), uint8_t(tag[1]), uint8_t(tag[2]), uint8_t(tag[3])};
        return ask(CMD_WRITE_FILE_START, TestFrames::cat({p, TestFrames::u32(size)}), 0xF100, who);
    }
    Bytes block(uint32_t offset, const Bytes& data, const Requester& who)
    {
        return ask(CMD_WRITE_FILE_BLOCK, TestFrames::cat({TestFrames::u32(offset), TestFrames::u16(uint16_t(data.size())), data}),
                   0xF100, who);
    }
    static Bytes md5Of(const Bytes& data)
    {
        MD5 m;
        m.update(data.data(), data.size());
        const unsigned char* d = m.digest();
        return Bytes(d, d + 16);
    }
    // Uploads content in 1024-byte blocks; returns the end answer's status.
    uint8_t upload(const char* tag, uint8_t type, const Bytes& content, const Bytes& digest)
    {
        EXPECT_EQ(TestFrames::status(start(tag, type, uint32_t(content.size()), tool)), ST_OK);
        for (size_t at = 0; at < content.size(); at += 1024) {
            const Bytes piece(content.begin() + long(at), content.begin() + long(std::min(content.size(), at + 1024)));
            EXPECT_EQ(TestFrames::status(block(uint32_t(at), piece, tool)), ST_OK);
        }
        return TestFrames::status(ask(CMD_WRITE_FILE_END, digest, 0xF100, tool));
    }
    std::string readHost(const std::string& logical)
    {
        std::ifstream f(hostPath(logical), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), {});
    }
    bool exists(const std::string& logical) { return QFile::exists(QString::fromStdString(hostPath(logical))); }
};

TEST_F(FileCommands, OsdMenuUploadWithTheRightDigestIsStored)
{
    Bytes content(2500);
    for (size_t i = 0; i < content.size(); ++i)
        content[i] = uint8_t("{\"menu\":[]}\n"[i % 12]);
    EXPECT_EQ(upload("OSDS", 0, content, md5Of(content)), ST_OK);
    EXPECT_EQ(readHost("/data/configs/omenu.json"), std::string(content.begin(), content.end()));
    EXPECT_FALSE(exists("/data/configs/omenu.json.part"));
}

TEST_F(FileCommands, WrongDigestStoresNothingAndAnswersAnError)
{
    const Bytes content(300, 'x');
    Bytes digest = md5Of(content);
    digest[15] ^= 1;
    EXPECT_EQ(upload("ALIS", 0, content, digest), ST_MD5);
    const Bytes again = ask(CMD_WRITE_FILE_END, digest, 0xF100, tool);
    EXPECT_EQ(TestFrames::status(again), ST_SEQUENCE) << "the transfer ended with the failed end";
    EXPECT_TRUE(TestFrames::answerData(again).empty());
    EXPECT_FALSE(exists("/data/configs/alias.json"));
    EXPECT_FALSE(exists("/data/configs/alias.json.part"));
    const auto a = port.announcements();
    EXPECT_EQ(std::count(a.begin(), a.end(), int(SYNC_FILE_END)), 0);
    EXPECT_EQ(port.update.load(), 0) << "the update frame is closed after a failure too";
}

TEST_F(FileCommands, JsonFilesOutsideTheBoundsAreRefused)
{
    EXPECT_EQ(TestFrames::status(start("OSDS", 0, 400 * 1024, tool)), ST_BAD_RANGE);
    EXPECT_EQ(TestFrames::status(start("ALIS", 0, 256 * 1024 + 1, tool)), ST_BAD_RANGE);
    EXPECT_EQ(TestFrames::status(start("QJFX", 9, 400 * 1024, tool)), ST_OK) << "other files keep the 5 MiB limit";
    std::string nested = std::string(50000, '[') + std::string(50000, ']');
    const Bytes content(nested.begin(), nested.end());
    for (const char* tag : {"ALIS", "OSDS"})
        EXPECT_EQ(upload(tag, 0, content, md5Of(content)), ST_BAD_VALUE) << tag;
    EXPECT_FALSE(exists("/data/configs/alias.json"));
    EXPECT_FALSE(exists("/data/configs/omenu.json"));
}

TEST_F(FileCommands, SecondUploadFromAnotherLinkIsBusyUntilTheFirstEnds)
{
    const Bytes content(100, 'a');
    ASSERT_EQ(TestFrames::status(start("OSDS", 0, 100, tool)), ST_OK);
    EXPECT_EQ(TestFrames::status(start("ALIS", 0, 10, other)), ST_BUSY);
    EXPECT_EQ(TestFrames::status(block(0, Bytes(10, 'b'), other)), ST_BUSY);
    EXPECT_EQ(TestFrames::status(block(0, content, tool)), ST_OK);
    EXPECT_EQ(TestFrames::status(ask(CMD_WRITE_FILE_END, md5Of(content), 0xF100, tool)), ST_OK);
    EXPECT_EQ(TestFrames::status(start("ALIS", 0, 10, other)), ST_OK);
}

TEST_F(FileCommands, AnAbandonedTransferCanBeTakenOverAfterAPause)
{
    ASSERT_EQ(TestFrames::status(start("OSDS", 0, 100, tool)), ST_OK);
    port.tickCount += FileTransfer::kStaleTicks;
    EXPECT_EQ(TestFrames::status(start("ALIS", 0, 10, other)), ST_OK);
}

// Once another peer has taken over an abandoned transfer, the old owner's
// blocks are busy (3), like any other peer's; with no transfer running at
// all they are out of sequence (9).
TEST_F(FileCommands, ASilentOwnersLaterBlockIsBusyWhenAnotherPeerHasStarted)
{
    ASSERT_EQ(TestFrames::status(start("OSDS", 0, 100, tool)), ST_OK);
    port.tickCount += FileTransfer::kStaleTicks;
    ASSERT_EQ(TestFrames::status(start("ALIS", 0, 10, other)), ST_OK);
    EXPECT_EQ(TestFrames::status(block(0, Bytes(10, 'a'), tool)), ST_BUSY);
    EXPECT_EQ(TestFrames::status(ask(CMD_WRITE_FILE_END, md5Of(Bytes(10, 'a')), 0xF100, tool)), ST_BUSY);
    // Commands other than the transfer's are served for everyone meanwhile.
    EXPECT_EQ(TestFrames::status(ask(CMD_READ_REGISTER, {0, 0, 1}, 0xF100, tool)), ST_OK);
    EXPECT_EQ(TestFrames::status(ask(CMD_DELETE_FILES, {}, 0xF100, tool)), ST_OK);
    EXPECT_EQ(TestFrames::status(block(0, Bytes(10, 'b'), other)), ST_OK);
}

// 0xD5 before every byte was read ends the read-out with status 9 and no
// data; the next block is out of sequence and anyone may start again.
TEST_F(FileCommands, AReadOutEndedEarlyEndsTheTransfer)
{
    QDir().mkpath(QString::fromStdString(hostPath("/data/smartmapping")));
    std::ofstream(hostPath("/data/smartmapping/QJFR"), std::ios::binary) << std::string(2000, 'm');
    ASSERT_EQ(TestFrames::status(ask(CMD_READ_FILE_START, {13, 'Q', 'J', 'F', 'R'}, 0xF100, tool)), ST_OK);
    ASSERT_EQ(TestFrames::status(ask(CMD_READ_FILE_BLOCK, TestFrames::cat({TestFrames::u32(0), TestFrames::u16(1024)}),
                                     0xF100, tool)),
              ST_OK);
    const Bytes end = ask(CMD_READ_FILE_END, {}, 0xF100, tool);
    EXPECT_EQ(TestFrames::status(end), ST_SEQUENCE);
    EXPECT_TRUE(TestFrames::answerData(end).empty());
    EXPECT_EQ(port.update.load(), 0) << "the update popup closes";
    EXPECT_EQ(TestFrames::status(ask(CMD_READ_FILE_BLOCK, TestFrames::cat({TestFrames::u32(1024), TestFrames::u16(976)}),
                                     0xF100, tool)),
              ST_SEQUENCE);
    EXPECT_EQ(TestFrames::status(start("ALIS", 0, 10, other)), ST_OK);
}

// The type byte of every start answer is the request's own, also where the
// request's type is not looked at (defined starts, configuration files).
TEST_F(FileCommands, StartAnswersEchoTheRequestsTypeByte)
{
    QDir().mkpath(QString::fromStdString(hostPath("/data/rcvrecovery")));
    std::ofstream(hostPath("/data/rcvrecovery/QJFX"), std::ios::binary) << std::string(5, 'r');
    const Bytes read = ask(CMD_READ_DEFINED_FILE_START, {0x42, 'Q', 'J', 'F', 'X'}, 0xF100, tool);
    ASSERT_EQ(TestFrames::status(read), ST_OK);
    EXPECT_EQ(TestFrames::answerData(read), TestFrames::cat({{0x42, 'Q', 'J', 'F', 'X'}, TestFrames::u32(5)}));
    const Bytes up = ask(CMD_WRITE_DEFINED_FILE_START, TestFrames::cat({{0x07, 'O', 'S', 'D', 'S'}, TestFrames::u32(3)}),
                         0xF100, tool);
    ASSERT_EQ(TestFrames::status(up), ST_OK);
    EXPECT_EQ(TestFrames::answerData(up), TestFrames::cat({{0x07, 'O', 'S', 'D', 'S'}, TestFrames::u32(3)}));
}

TEST_F(FileCommands, ASilentTransferIsDroppedAndClosesTheUpdatePopup)
{
    ASSERT_EQ(TestFrames::status(start("OSDS", 0, 100, tool)), ST_OK);
    port.tickCount += FileTransfer::kStaleTicks - 1;
    deal->files().expireStale();
    EXPECT_EQ(port.update.load(), 1) << "still within the pause";
    port.tickCount += 1;
    deal->files().expireStale();
    EXPECT_EQ(port.update.load(), 0);
    EXPECT_EQ(port.events().back(), "announce 106 flag 0");
    EXPECT_EQ(TestFrames::status(block(0, Bytes(10, 'a'), tool)), ST_SEQUENCE);
    deal->files().expireStale();
    EXPECT_EQ(port.events().size(), 4u) << "nothing more to end";
}

TEST_F(FileCommands, BlocksMustArriveInOrderAndWithinTheAnnouncedSize)
{
    ASSERT_EQ(TestFrames::status(start("OSDS", 0, 20, tool)), ST_OK);
    EXPECT_EQ(TestFrames::status(block(10, Bytes(10, 'a'), tool)), ST_SEQUENCE);
    EXPECT_EQ(TestFrames::status(block(0, Bytes(21, 'a'), tool)), ST_BAD_RANGE);
    EXPECT_EQ(TestFrames::status(block(0, Bytes(10, 'a'), tool)), ST_OK);
    EXPECT_EQ(TestFrames::status(ask(CMD_WRITE_FILE_END, md5Of(Bytes(10, 'a')), 0xF100, tool)), ST_SEQUENCE)
        << "an incomplete file is not stored";
    EXPECT_FALSE(exists("/data/configs/omenu.json"));
}

// An ELF header (little-endian, executable) followed by filler.
Bytes elfProgram(uint8_t elfClass, uint16_t type, size_t size)
{
    Bytes p(size, 0x7F);
    const Bytes ident = {0x7F, 'E', 'L', 'F', elfClass, 1, 1, 0};
    std::copy(ident.begin(), ident.end(), p.begin());
    p[16] = uint8_t(type);
    p[17] = 0;
    p[18] = 0x28;  // machine: ARM
    p[19] = 0;
    return p;
}

TEST_F(FileCommands, ProgramUploadTakesTheUpgradeRouteAndRequestsARestart)
{
    const Bytes program = elfProgram(1, 2, 3000);
    ASSERT_EQ(upload("APPL", 1, program, md5Of(program)), ST_OK);
    const auto cmds = board().commands().commands();
    const std::vector<std::string> route = {"chmod 777 -R /data/app", "mv /data/app/kelT57N2  /data/app/kelT57N"};
    EXPECT_TRUE(std::search(cmds.begin(), cmds.end(), route.begin(), route.end()) != cmds.end());
    EXPECT_TRUE(port.reboot.load());
    EXPECT_EQ(TestFrames::status(ask(CMD_READ_FILE_START, {1, 'A', 'P', 'P', 'L'}, 0xF100, tool)), ST_BAD_VALUE)
        << "the program cannot be read out";
}

TEST_F(FileCommands, AFileThatIsNotAProgramIsNotInstalled)
{
    {
        std::ofstream installed(hostPath("/data/app/kelT57N"), std::ios::binary);
        installed << "running program";
    }
    struct Case { const char* name; Bytes content; };
    Bytes badClass = elfProgram(3, 2, 200);
    Bytes relocatable = elfProgram(2, 1, 200);
    const Case cases[] = {
        {"text", Bytes(3000, 'x')}, {"bad class", badClass}, {"object file", relocatable},
        {"header cut short", Bytes(elfProgram(1, 2, 40))},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(upload("APPL", 1, c.content, md5Of(c.content)), ST_BAD_VALUE) << c.name;
        EXPECT_FALSE(port.reboot.load()) << c.name;
        EXPECT_EQ(readHost("/data/app/kelT57N"), "running program") << c.name;
    }
    for (const std::string& cmd : board().commands().commands())
        EXPECT_EQ(cmd.find("kelT57N"), std::string::npos) << cmd;
    ASSERT_EQ(upload("APPL", 1, elfProgram(2, 3, 3000), md5Of(elfProgram(2, 3, 3000))), ST_OK)
        << "a position-independent 64-bit program is taken";
}

TEST(ElfCheck, TheDeviceTakesOnlyItsOwnClassAndMachine)
{
    const Bytes arm32 = elfProgram(1, 2, 64);
    Bytes x86 = arm32;
    x86[18] = 0x03;
    const Bytes arm64Class = elfProgram(2, 2, 64);
    EXPECT_TRUE(ElfCheck::isProgram(arm32.data(), arm32.size(), arm32.data(), arm32.size()));
    EXPECT_FALSE(ElfCheck::isProgram(x86.data(), x86.size(), arm32.data(), arm32.size()));
    EXPECT_FALSE(ElfCheck::isProgram(arm64Class.data(), arm64Class.size(), arm32.data(), arm32.size()));
    EXPECT_TRUE(ElfCheck::isProgram(x86.data(), x86.size()));
}

TEST_F(FileCommands, OnlyTableDestinationsAreAccepted)
{
    EXPECT_EQ(TestFrames::status(start("../x", 9, 10, tool)), ST_BAD_VALUE);
    EXPECT_EQ(TestFrames::status(start("QJFX", 13, 10, tool)), ST_BAD_VALUE) << "tag of another type";
    EXPECT_EQ(TestFrames::status(start("QJFX", 9, 6u * 1024u * 1024u, tool)), ST_BAD_RANGE);
}

TEST_F(FileCommands, UpdateFrameAndAnnouncementsFollowTheTransfer)
{
    const Bytes content(50, 'r');
    ASSERT_EQ(upload("QJFX", 9, content, md5Of(content)), ST_OK);
    EXPECT_EQ(readHost("/data/rcvrecovery/QJFX"), std::string(50, 'r'));
    const std::vector<std::string> expected = {
        "update flag 1", "announce 105 flag 1", "announce 103 flag 1", "update flag 0", "announce 106 flag 0",
    };
    EXPECT_EQ(port.events(), expected);
}

TEST_F(FileCommands, ReadOutSendsTheFileAndItsDigest)
{
    QDir().mkpath(QString::fromStdString(hostPath("/data/smartmapping")));
    Bytes content(1500);
    for (size_t i = 0; i < content.size(); ++i)
        content[i] = uint8_t(i * 7);
    std::ofstream(hostPath("/data/smartmapping/QJFR"), std::ios::binary)
        .write(reinterpret_cast<const char*>(content.data()), long(content.size()));
    Bytes a = ask(CMD_READ_FILE_START, {13, 'Q', 'J', 'F', 'R'}, 0xF100, tool);
    ASSERT_EQ(TestFrames::status(a), ST_OK);
    EXPECT_EQ(TestFrames::answerData(a), TestFrames::cat({{13, 'Q', 'J', 'F', 'R'}, TestFrames::u32(1500)}));
    Bytes got;
    for (uint32_t at = 0; at < 1500; at += 1024) {
        const uint16_t n = uint16_t(std::min<uint32_t>(1024, 1500 - at));
        a = ask(CMD_READ_FILE_BLOCK, TestFrames::cat({TestFrames::u32(at), TestFrames::u16(n)}), 0xF100, tool);
        ASSERT_EQ(TestFrames::status(a), ST_OK);
        const Bytes d = TestFrames::answerData(a);
        got.insert(got.end(), d.begin() + 6, d.end());
    }
    EXPECT_EQ(got, content);
    a = ask(CMD_READ_FILE_END, {}, 0xF100, tool);
    EXPECT_EQ(TestFrames::status(a), ST_OK);
    EXPECT_EQ(TestFrames::answerData(a), md5Of(content));
}

TEST_F(FileCommands, DeleteEmptiesBothFoldersAndClearsTheReaderLists)
{
    for (const char* f : {"/data/smartmapping/QJFR", "/data/smartmapping/old", "/data/rcvrecovery/QJFX"}) {
        QDir().mkpath(QFileInfo(QString::fromStdString(hostPath(f))).absolutePath());
        std::ofstream(hostPath(f)) << "x";
    }
    QDir().mkpath(QString::fromStdString(hostPath("/data/rcvrecovery/sub")));
    const Bytes a = ask(CMD_DELETE_FILES, {});
    EXPECT_EQ(TestFrames::answerData(a), TestFrames::cat({TestFrames::u16(2), TestFrames::u16(2)}));
    EXPECT_TRUE(QDir(QString::fromStdString(hostPath("/data/smartmapping"))).isEmpty());
    EXPECT_TRUE(QDir(QString::fromStdString(hostPath("/data/rcvrecovery"))).isEmpty());
    EXPECT_EQ(port.smartCleared.load(), 1);
    EXPECT_EQ(port.recoveryCleared.load(), 1);
}

TEST_F(FileCommands, PageCallsRunInTheGuiThreadWithTheFocusOfThatMoment)
{
    std::atomic<int> focus{12};
    std::vector<std::string> calls;
    std::vector<bool> inGui;
    PanelCalls::Hooks h;
    h.pageFocus = [&] { return focus.load(); };
    auto note = [&](const char* name) {
        return [&, name] {
            calls.push_back(name);
            inGui.push_back(QThread::currentThread() == QCoreApplication::instance()->thread());
            return true;
        };
    };
    h.updateStart = note("update_start");
    h.updateOver = note("update_over");
    h.advancedOptionLanguageChanged = note("AdvancedOption::language_changed");
    h.optionLanguageChanged = note("Option::language_changed");
    PanelCalls::install(h);

    const Bytes content(10, 'q');
    std::thread link([&] { upload("QJFX", 9, content, md5Of(content)); });
    link.join();
    EXPECT_TRUE(calls.empty()) << "nothing runs on the link thread";
    focus = 5;  // the page in front changed before the GUI thread ran the call
    QCoreApplication::processEvents();
    const std::vector<std::string> expected = {"update_start", "Option::language_changed", "update_over"};
    EXPECT_EQ(calls, expected);
    for (bool g : inGui)
        EXPECT_TRUE(g);
}

TEST_F(FileCommands, EdidWriteStoresTheFileTableAndRecordAndAsksForApply)
{
    Bytes edid(256, 0);
    // First detailed timing: 148.5 MHz, 1920 + 280 by 1080 + 45: 60 Hz.
    const uint8_t dtd[] = {0x02, 0x3A, 0x80, 0x18, 0x71, 0x38, 0x2D, 0x40};
    std::copy(std::begin(dtd), std::end(dtd), edid.begin() + 54);
    const Bytes a = ask(CMD_WRITE_EDID, TestFrames::cat({{2}, TestFrames::u16(256), edid}));
    ASSERT_EQ(TestFrames::status(a), ST_OK);
    EXPECT_EQ(readHost("/data/edidramtable/edid_2.bin"), std::string(edid.begin(), edid.end()));
    EXPECT_EQ(port.edidFrom[2], 1);
    EXPECT_EQ(Bytes(port.block.begin() + 908, port.block.begin() + 914),
              TestFrames::cat({TestFrames::u16(1920), TestFrames::u16(1080), TestFrames::u16(60)}));
    EXPECT_EQ(port.applyFlag.load(), 1);

    const Bytes back = ask(CMD_READ_EDID, {2});
    EXPECT_EQ(TestFrames::answerData(back), TestFrames::cat({{2}, TestFrames::u16(256), edid}));
}

TEST_F(FileCommands, EdidWritesWithABadIndexOrLengthAreRefused)
{
    const Bytes edid(256, 1);
    EXPECT_EQ(TestFrames::status(ask(CMD_WRITE_EDID, TestFrames::cat({{6}, TestFrames::u16(256), edid}))), ST_BAD_RANGE);
    EXPECT_EQ(TestFrames::status(ask(CMD_WRITE_EDID, TestFrames::cat({{2}, TestFrames::u16(255), Bytes(255, 1)}))), ST_BAD_RANGE);
    EXPECT_EQ(TestFrames::status(ask(CMD_WRITE_EDID, TestFrames::cat({{2}, TestFrames::u16(256), Bytes(200, 1)}))), ST_BAD_RANGE);
    EXPECT_EQ(TestFrames::status(ask(CMD_READ_EDID, {6})), ST_BAD_RANGE);
    EXPECT_EQ(port.applyFlag.load(), 0);
    EXPECT_FALSE(exists("/data/edidramtable/edid_6.bin"));
}

TEST_F(FileCommands, EdidWithoutAUsableFirstTimingIsRefused)
{
    Bytes noClock(256, 0);
    noClock[54 + 2] = 0x80;  // sizes but no pixel clock
    noClock[54 + 5] = 0x38;
    Bytes noSize(256, 0);
    noSize[54] = 0x02;       // a pixel clock but no sizes
    noSize[54 + 1] = 0x3A;
    for (const Bytes& edid : {noClock, noSize})
        EXPECT_EQ(TestFrames::status(ask(CMD_WRITE_EDID, TestFrames::cat({{1}, TestFrames::u16(256), edid}))),
                  ST_BAD_VALUE);
    EXPECT_EQ(port.applyFlag.load(), 0);
    EXPECT_FALSE(exists("/data/edidramtable/edid_1.bin"));
}

TEST_F(FileCommands, ClockValuesAreCheckedBeforeTheyReachTheClock)
{
    EXPECT_EQ(TestFrames::status(ask(CMD_WRITE_RTC, {0x26, 0x20, 0x12, 0x07, 0x09, 0x05, 0x03})), ST_OK);
    EXPECT_EQ(port.clockMarks.load(), 1);
    const Bytes bad[] = {
        {0x26, 0x20, 0x13, 0x07, 0x09, 0x05, 0x03},  // month 13
        {0x26, 0x20, 0x02, 0x30, 0x09, 0x05, 0x03},  // 30 February
        {0x26, 0x20, 0x12, 0x07, 0x24, 0x05, 0x03},  // hour 24
        {0x2A, 0x20, 0x12, 0x07, 0x09, 0x05, 0x03},  // not BCD
        {0x26, 0x20, 0x12},                          // too short
    };
    for (const Bytes& b : bad)
        EXPECT_EQ(TestFrames::status(ask(CMD_WRITE_RTC, b)), ST_BAD_VALUE);
    EXPECT_EQ(port.events(), std::vector<std::string>{"clock 2026-12-7 9:5:3"});
}

Bytes texts(std::initializer_list<std::string> parts)
{
    Bytes out;
    for (const std::string& p : parts) {
        out.push_back(uint8_t(p.size()));
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

TEST_F(FileCommands, NetworkAddressesMustBeDottedQuadsWithAContiguousMask)
{
    EXPECT_EQ(TestFrames::status(ask(CMD_SET_NETWORK, texts({"10.0.0.5", "255.255.0.0", "10.0.0.1"}))), ST_OK);
    const std::initializer_list<std::string> bad[] = {
        {"1.2.3.4;reboot", "255.255.255.0", "1.2.3.1"},
        {"1.2.3.4", "255.0.255.0", "1.2.3.1"},
        {"1.2.3.256", "255.255.255.0", "1.2.3.1"},
        {"1.2.3.4", "255.255.255.0", "1.2.3.1\n"},
    };
    for (const auto& b : bad)
        EXPECT_EQ(TestFrames::status(ask(CMD_SET_NETWORK, texts(b))), ST_BAD_VALUE);
    EXPECT_EQ(port.events(), std::vector<std::string>{"network 10.0.0.5 255.255.0.0 10.0.0.1"});
}

TEST_F(FileCommands, ConfigurationValuesAreRangeChecked)
{
    struct Case {
        uint8_t key;
        std::string text;
        uint8_t status;
    };
    const Case cases[] = {
        {0, "5006", ST_OK}, {0, "0", ST_BAD_VALUE}, {0, "65536", ST_BAD_VALUE}, {0, "50;6", ST_BAD_VALUE},
        {6, "SN-0042", ST_OK}, {6, std::string(40, 'a'), ST_BAD_VALUE},
        {17, "0x1001F", ST_OK}, {17, "0x20000", ST_BAD_VALUE},
        {7, "192.168.22.9", ST_OK}, {7, "192.168.22", ST_BAD_VALUE},
        {2, "1.2.3.4", ST_BAD_VALUE},
    };
    for (const Case& c : cases) {
        Bytes p = {c.key};
        const Bytes t = texts({c.text});
        p.insert(p.end(), t.begin(), t.end());
        EXPECT_EQ(TestFrames::status(ask(CMD_WRITE_CONFIG, p)), c.status) << int(c.key) << " " << c.text;
    }
    EXPECT_EQ(port.events().size(), 4u);
}

TEST_F(FileCommands, LanguageMaskIsReadAsDecimalOrHexAndStoredAsDecimal)
{
    const std::pair<std::string, std::string> cases[] = {
        {"010", "config 17 10"}, {"0x10", "config 17 16"}, {"0X1FFFF", "config 17 131071"}, {"131071", "config 17 131071"},
    };
    for (const auto& c : cases) {
        Bytes p = {17};
        const Bytes t = texts({c.first});
        p.insert(p.end(), t.begin(), t.end());
        ASSERT_EQ(TestFrames::status(ask(CMD_WRITE_CONFIG, p)), ST_OK) << c.first;
        EXPECT_EQ(port.events().back(), c.second) << c.first;
    }
    for (const std::string bad : {"131072", "0x", "1e3", "-1"}) {
        Bytes p = {17};
        const Bytes t = texts({bad});
        p.insert(p.end(), t.begin(), t.end());
        EXPECT_EQ(TestFrames::status(ask(CMD_WRITE_CONFIG, p)), ST_BAD_VALUE) << bad;
    }
}

} // namespace
} // namespace kel::test
