#include "FpgaFixture.h"

#include "ledout/LedGlobals.h"
#include "ledout/clock_record_run.h"
#include "ledout/fpga_manage.h"
#include "platform/Board.h"
#include "platform/Clock.h"
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimNorFlash.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace kel::test {
namespace {

using Bytes = std::vector<uint8_t>;

// Flash 2 addresses of the log.
constexpr uint32_t kHeader = 0x6F3000;
constexpr uint32_t kCopyA = 0x6F4000;
constexpr uint32_t kCopyB = 0x6F5000;
constexpr uint32_t kSeq0 = 0x6F6000;
constexpr uint32_t kAreaEnd = 0x734000;

class ClockRecordTest : public FpgaFixture {
protected:
    void SetUp() override
    {
        FpgaFixture::SetUp();
        board().clock().set(QDateTime(QDate(2024, 1, 5), QTime(9, 7, 0)));
    }
    // FPGA 0 running as the pass sees it (state image 80 = 3).
    void markRunning() { m().reg_images[0][fpga_manage::FPGA_REG_STATE] = fpga_manage::kStateRunning; }
    void minutes(int n)
    {
        for (int i = 0; i < n; ++i) {
            advance(6001);
            m().run_clock_record();
        }
    }
    // A new program on the same flash, the log read at its first pass.
    void restart()
    {
        fpga_manage::destroyInstance();
        fpga_manage::pInstance()->softinit();
        markRunning();
        m().run_clock_record();
    }
    Bytes at(uint32_t addr, size_t n) { return flash().read(addr, n); }
    uint8_t byte(uint32_t addr) { return at(addr, 1)[0]; }
    // The record as the FPGA manager thread keeps it (the export's copy
    // follows at the end of each pass).
    ClockRecordState state() { return g_clock_record; }
    // The clock command, and the pass that makes its mark.
    void clockCommandAndPass()
    {
        runHostCommand();
        m().run_clock_record();
    }
    clock_record_run& rec() { return *m().clock_record; }
};

Bytes u32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }

// A valid group record: total minutes, sequence number and mark bytes.
Bytes groupRecord(uint32_t total, uint32_t seq, const Bytes& marks)
{
    Bytes g(512, 0xFF);
    g[0] = 0xAA;
    const Bytes start = {0x24, 0x20, 0x01, 0x05, 0x09, 0x07, 0x00};
    std::copy(start.begin(), start.end(), g.begin() + 1);
    const Bytes t = u32(total);
    std::copy(t.begin(), t.end(), g.begin() + 8);
    g[13] = uint8_t(seq);
    g[14] = uint8_t(seq >> 8);
    g[15] = uint8_t(seq >> 16);
    std::copy(marks.begin(), marks.end(), g.begin() + 48);
    return g;
}

TEST_F(ClockRecordTest, BlankFlashWritesTheHeaderAndStartsGroupZeroAfterThirtyMinutes)
{
    inputBoardReady();
    runUntil([this] { return m().clock_record->record_ready != 0; }, 3000);
    ASSERT_EQ(m().reg_image(fpga_manage::FPGA_REG_STATE), fpga_manage::kStateRunning);
    EXPECT_EQ(at(kHeader, 3), (Bytes{0xAA, 0x5A, 0xA5}));

    minutes(29);
    EXPECT_EQ(byte(kCopyA), 0xFF) << "nothing recorded in the first phase";
    minutes(1);
    for (uint32_t copy : {kCopyA, kCopyB}) {
        SCOPED_TRACE(copy);
        EXPECT_EQ(byte(copy), 0xAA);
        EXPECT_EQ(at(copy + 1, 6), (Bytes{0x24, 0x20, 0x01, 0x05, 0x09, 0x07})) << "start time in BCD";
        EXPECT_EQ(at(copy + 8, 8), (Bytes{0, 0, 0, 0, 0xFF, 0, 0, 0}));
        EXPECT_EQ(at(copy + 33, 6), (Bytes{0x24, 0x20, 0x01, 0x05, 0x09, 0x07})) << "power-on time";
        EXPECT_EQ(at(copy + 48, 5), (Bytes{0x55, 0x55, 0x55, 0xD5, 0xFF}));
    }
    EXPECT_EQ(byte(kSeq0), 0xAA);
    EXPECT_EQ(at(kSeq0 + 1, 6), (Bytes{0x24, 0x20, 0x01, 0x05, 0x09, 0x07})) << "the sequence record's start time";
    EXPECT_EQ(at(kSeq0 + 13, 3), (Bytes{0, 0, 0}));

    // One mark per two minutes, two bits at a time from bit 0 up.
    const Bytes steps = {0x55, 0xFD, 0xF5, 0xD5, 0x55};
    minutes(2);
    EXPECT_EQ(byte(kCopyA + 51), steps[0]);
    for (int i = 1; i <= 4; ++i) {
        minutes(2);
        EXPECT_EQ(byte(kCopyA + 52), steps[size_t(i)]) << i;
        EXPECT_EQ(byte(kCopyB + 52), steps[size_t(i)]) << i;
    }
    EXPECT_EQ(state().rec_minutes_boot, 40u);
    EXPECT_EQ(state().rec_marks, 20u);
}

TEST_F(ClockRecordTest, RestartRecoversTheTotalsFromTheLastGroup)
{
    struct Case {
        const char* name;
        Bytes marks;
        uint32_t minutes;
    };
    Bytes hundred(12, 0x55);
    hundred.push_back(0xF5);
    const Case cases[] = {
        {"12 full bytes and 0xF5", hundred, 100},
        {"a full group", Bytes(360, 0x55), 2880},
        {"5 full bytes", Bytes(5, 0x55), 40},
        {"0xFD after none", Bytes{0xFD}, 2},
        {"0xD5 after one", Bytes{0x55, 0xD5}, 14},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        flash().preload(kCopyA, Bytes(0x3000, 0xFF));
        const Bytes g = groupRecord(1000, 5, c.marks);
        flash().preload(kCopyA, g);
        flash().preload(kCopyB, g);
        restart();
        EXPECT_EQ(state().rec_group, 1);
        EXPECT_EQ(state().rec_total, 1000 + c.minutes);
        EXPECT_EQ(state().rec_seq, 6u);
        EXPECT_EQ(at(kSeq0 + 5 * 16 + 8, 4), u32(c.minutes)) << "the group's minutes close its sequence record";
    }
    // The next group starts from the recovered totals.
    minutes(30);
    EXPECT_EQ(byte(kCopyA + 512), 0xAA);
    EXPECT_EQ(at(kCopyB + 512 + 8, 8), (Bytes{0xF6, 0x03, 0, 0, 0xFF, 6, 0, 0})) << "1000 + 14 minutes, seq 6";
}

TEST_F(ClockRecordTest, SequenceNumbersStepEraseTheirSectorAndWrap)
{
    struct Case {
        const char* name;
        uint32_t q;
        uint32_t next;
        uint32_t erased;   // flash address of the sector erased first
    };
    const Case cases[] = {
        {"into the second sector", 0x0000FF, 0x000100, 0x6F7000},
        {"last record", 15615, 15616, 0x733000},
        {"ring end", 15616, 1u << 20, kSeq0},
        {"ring end of a later wrap", (3u << 20) | 15616, 4u << 20, kSeq0},
        {"inside a sector", 0x10, 0x11, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.erased) {
            flash().preload(c.erased, Bytes(16, 0x00));
        }
        EXPECT_EQ(rec().get_new_seq(2880, c.q), c.next);
        if (c.erased) {
            EXPECT_EQ(at(c.erased, 16), Bytes(16, 0xFF));
        }
        EXPECT_EQ(state().rec_seq_addr, clock_record_run::seq_address(c.next));
    }
    EXPECT_EQ(clock_record_run::seq_address(0x000100), 0x484000u) << "logical 0x484000 is flash 0x6F7000";
    EXPECT_EQ(at(kSeq0 + 0x10 * 16 + 8, 4), (Bytes{0x40, 0x0B, 0, 0})) << "2880 little-endian";
}

// A damaged sequence number in a group never leads a write or erase
// outside the log's area.
TEST_F(ClockRecordTest, CorruptSequenceNumberStaysInsideTheArea)
{
    for (uint32_t q : {0xFFFFFFu, 20000u, 15617u}) {
        SCOPED_TRACE(q);
        flash().preload(kCopyA, Bytes(0x3000, 0xFF));
        const Bytes g = groupRecord(0, q, Bytes(4, 0x55));
        flash().preload(kCopyA, g);
        flash().preload(kCopyB, g);
        const Bytes before = at(0, kHeader), after = at(kAreaEnd, 0x800000 - kAreaEnd);
        restart();
        minutes(40);
        EXPECT_EQ((state().rec_seq & 0xFFFFF), 0u) << "the ring starts again";
        EXPECT_TRUE(at(0, kHeader) == before);
        EXPECT_TRUE(at(kAreaEnd, 0x800000 - kAreaEnd) == after);
    }
    // The flash access itself refuses anything outside.
    const uint8_t b = 0;
    EXPECT_EQ(rec().ExFlash_WR(0, kAreaEnd - 0x273000, &b, 1), 0u);
    EXPECT_EQ(rec().ExFlash_WR(0, 0x483FFF, Bytes(2, 0).data(), 2), 0u) << "a write crossing its sector";
    EXPECT_EQ(rec().ExFlash_Erase_Format(0, 1217, 0, 1), 0u);
    EXPECT_EQ(rec().ExFlash_Erase_Format(0, 1216, 0, 2), 0u);
}

TEST_F(ClockRecordTest, CopyRepairAtStart)
{
    const Bytes valid = groupRecord(10, 1, Bytes(2, 0x55));
    Bytes torn = valid;
    torn[0] = 0xFF;
    struct Case {
        const char* name;
        Bytes a, b;
        uint8_t groups;
        Bytes aAfter, bAfter;
    };
    const Case cases[] = {
        {"copy B lost: the group counts", valid, Bytes(512, 0xFF), 1, valid, valid},
        {"both torn", torn, Bytes(512, 0xFF), 0, Bytes(512, 0xFF), Bytes(512, 0xFF)},
        {"unused", Bytes(512, 0xFF), Bytes(512, 0xFF), 0, Bytes(512, 0xFF), Bytes(512, 0xFF)},
    };
    markRunning();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        flash().preload(kCopyA, Bytes(0x2000, 0xFF));
        flash().preload(kCopyA, c.a);
        flash().preload(kCopyB, c.b);
        EXPECT_EQ(rec().check_record_sec(), c.groups);
        EXPECT_EQ(at(kCopyA, 512), c.aAfter);
        EXPECT_EQ(at(kCopyB, 512), c.bAfter);
    }
    // Eight valid groups: the next one starts again at group 0.
    for (uint32_t g = 0; g < 8; ++g) {
        flash().preload(kCopyA + 512 * g, valid);
        flash().preload(kCopyB + 512 * g, valid);
    }
    EXPECT_EQ(rec().check_record_sec(), 8);
    restart();
    minutes(30);
    EXPECT_EQ(state().rec_group, 0);
    EXPECT_EQ(byte(kCopyA), 0xAA);
    EXPECT_EQ(byte(kCopyA + 512), 0xFF) << "the other groups were erased";
    EXPECT_EQ(byte(kCopyB + 512), 0xFF);
}

// With all eight groups used, a clock change in the first phase erases
// copy A for the log's new start; a restart before that group is written
// still reads the totals of the last group, from copy B.
TEST_F(ClockRecordTest, RestartAfterCopyAWasErasedForTheLogsNewStart)
{
    Bytes hundred(12, 0x55);
    hundred.push_back(0xF5);
    for (uint8_t g = 0; g < 8; ++g) {
        const Bytes r = g == 7 ? groupRecord(1000, 5, hundred) : groupRecord(10, g, Bytes(2, 0x55));
        flash().preload(kCopyA + 512 * g, r);
        flash().preload(kCopyB + 512 * g, r);
    }
    restart();
    hostCommand(1, 0, 7, {0x24, 0x20, 0x01, 0x05, 0x09, 0x07, 0x03});
    clockCommandAndPass();
    ASSERT_EQ(byte(kCopyA), 0xFF);
    ASSERT_EQ(byte(kCopyA + 512 * 7), 0xFF);
    restart();
    EXPECT_EQ(state().rec_group, 8);
    EXPECT_EQ(state().rec_total, 1100u);
    EXPECT_EQ(state().rec_seq, 6u);
}

TEST_F(ClockRecordTest, ClockCommandMovesTheClockAndMarksTheRecord)
{
    markRunning();
    m().run_clock_record();
    hostCommand(1, 0, 7, {0x24, 0x20, 0x01, 0x05, 0x09, 0x07, 0x03});
    clockCommandAndPass();
    EXPECT_LE(std::llabs(platform::Board::clock().now().secsTo(QDateTime(QDate(2024, 1, 5), QTime(9, 7, 3)))), 2);
    EXPECT_EQ(byte(kCopyA + 44), 0x5A) << "first phase: copy A only";
    EXPECT_EQ(byte(kCopyB + 44), 0xFF);
    minutes(30);
    EXPECT_EQ(byte(kCopyB + 44), 0x5A) << "the group init carries it to copy B";

    flash().preload(kCopyA, Bytes(0x3000, 0xFF));
    restart();
    minutes(30);
    EXPECT_EQ(byte(kSeq0 + 12), 0xFF);
    clockCommandAndPass();
    EXPECT_EQ(byte(kSeq0 + 12), 0x5A) << "after the first phase: the sequence record";
    EXPECT_EQ(byte(kCopyA + 44), 0x5A);
}

// A power cut at any byte of the writes that open group 0 leaves a log the
// next start accepts: every group it counts has both copies equal.
TEST_F(ClockRecordTest, PowerCutDuringARecordWriteLeavesAnAcceptedLog)
{
    for (int64_t cut : {0, 1, 7, 8, 15, 16, 23, 30, 40, 60}) {
        SCOPED_TRACE(cut);
        flash().setPowerCut(-1);
        flash().preload(kHeader, Bytes(0x4000, 0xFF));
        restart();
        minutes(29);
        flash().setPowerCut(cut);
        minutes(1);
        flash().setPowerCut(-1);
        restart();
        const uint8_t g = state().rec_group;
        EXPECT_LE(g, 1);
        if (g == 1) {
            EXPECT_EQ(at(kCopyA, 16), at(kCopyB, 16));
        }
        EXPECT_EQ(at(kHeader, 3), (Bytes{0xAA, 0x5A, 0xA5}));
        minutes(30);
        EXPECT_EQ(byte(kCopyA + 512 * g), 0xAA);
        EXPECT_EQ(byte(kCopyB + 512 * g), 0xAA);
    }
}

// The group closes with its 1440th mark (the last byte of the mark field)
// and the next group starts from the new totals.
TEST_F(ClockRecordTest, FullGroupRollsOverAtItsLastMark)
{
    markRunning();
    m().run_clock_record();
    minutes(30);
    g_clock_record.rec_marks = 1438;
    minutes(2);
    EXPECT_EQ(state().rec_group, 0);
    minutes(2);
    EXPECT_EQ(state().rec_group, 1);
    EXPECT_EQ(state().rec_marks, 0u);
    EXPECT_EQ(state().rec_total, 2880u);
    EXPECT_EQ(state().rec_seq, 1u);
    EXPECT_EQ(byte(kCopyA + 407), 0x55) << "marks 1436..1439";
    EXPECT_EQ(byte(kCopyA + 408), 0xFF) << "nothing past the mark field";
    EXPECT_EQ(at(kSeq0 + 8, 4), (Bytes{0x40, 0x0B, 0, 0}));
    EXPECT_EQ(byte(kCopyB + 512), 0xAA);
    EXPECT_EQ(at(kCopyB + 512 + 8, 8), (Bytes{0x40, 0x0B, 0, 0, 0xFF, 1, 0, 0}));
    // The new group's own sequence record: valid, no clock mark, number 1.
    EXPECT_EQ(byte(kSeq0 + 16), 0xAA);
    EXPECT_EQ(at(kSeq0 + 16 + 12, 4), (Bytes{0xFF, 1, 0, 0}));
}

TEST_F(ClockRecordTest, NothingIsRecordedWhileTheFpgaIsDown)
{
    m().run_clock_record();
    minutes(40);
    EXPECT_EQ(m().clock_record->record_ready, 0);
    EXPECT_EQ(at(kHeader, 3), Bytes(3, 0xFF));
}

// Folder and file helpers of the record, on logical paths in the root.
TEST_F(ClockRecordTest, FolderAndFileHelpersStayInTheRoot)
{
    EXPECT_EQ(rec().check_file_dir("/data/runlog"), 1) << "created";
    EXPECT_TRUE(QDir(QString::fromStdString(hostPath("/data/runlog"))).exists());
    EXPECT_EQ(rec().check_file_dir("/data/runlog"), 0) << "already there";
    EXPECT_EQ(rec().check_file_dir("/data/none/deeper"), 0) << "parent missing";

    const QString dir = QString::fromStdString(hostPath("/data/runlog"));
    for (const char* name : {"b.bin", "a.ini"}) {
        QFile f(dir + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(QDir(dir).mkdir("sub"));
    ASSERT_TRUE(QFile::link(dir + "/a.ini", dir + "/link.ini"));
    EXPECT_EQ(rec().get_file_list_path("/data/runlog"), 2);
    EXPECT_EQ(rec().file_list, (QStringList{"a.ini", "b.bin"}));
    EXPECT_EQ(rec().get_file_list_path("/data/none"), -1);

    EXPECT_EQ(rec().issetDefaultpara("/data/runlog/a.ini"), 1);
    EXPECT_EQ(rec().issetDefaultpara("/data/runlog/missing.ini"), 0);
    EXPECT_EQ(rec().issetDefaultpara("/data/runlog/sub"), 0) << "a folder is no file";
}

} // namespace
} // namespace kel::test
