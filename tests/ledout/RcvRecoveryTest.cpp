#include "RecoveryFileBytes.h"
#include "ledout/rcvRecovery.h"
#include "support/SimRootFixture.h"

#include <QDir>
#include <QFile>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <thread>

namespace kel::test {
namespace {

const QString kQjfx = "/data/rcvrecovery/QJFX";

// The small recovery file laid out byte by byte: one screen, one port, two
// cards, one stored operation of 8 data bytes.
FileBytes workedExample()
{
    FileBytes b(178, 0);
    putLe(b, 3, 2, 1);                                  // pack_file_num
    putLe(b, 4, 10, 1), putLe(b, 12, 28, 4);            // screen section at 28
    putLe(b, 16, 11, 1), putLe(b, 24, 112, 4);          // XY section at 112
    putLe(b, 48, 1, 1);                                 // screen_num
    putLe(b, 104, 16, 4), putLe(b, 108, 50, 4);         // rcv_xy_offset, rcv_xy_len
    putLe(b, 128, 1, 2);                                // screen_net_num
    putLe(b, 134, 2, 2), putLe(b, 136, 16, 4);          // net_rcv_num, net_para_offset
    putLe(b, 144, 1, 2);                                // card 0: one operation
    putLe(b, 148, 26, 4), putLe(b, 152, 8, 4);          // offset, dataLen
    putLe(b, 164, 1, 1), putLe(b, 165, 1, 1);           // write to ram
    for (int i = 0; i < 8; ++i)
        b[170 + i] = uint8_t(0xA0 + i);
    return b;
}

class RcvRecoveryTest : public SimRootFixture {
protected:
    // Reads the directory as the procedure does.
    void readHead(const QString& path)
    {
        ASSERT_EQ(r.get_rcvPackedFileNum(path), 0);
        for (int i = 0; i < r.pack_file_num(); ++i)
            r.get_rcvPackedFileInfo(path, uint8_t(i));
    }
    // Directory, screen 0 and its port record 0.
    bool readToPort(const QString& path)
    {
        readHead(path);
        return r.update_rcvScreenHead(path) == 0 && r.update_rcvScreenIDinfo(path, 0) == 0 &&
               r.update_rcvXYscreenNetnum(path) == 0 && r.update_rcvXYscreenNetpara(path, 0) == 0;
    }
    rcvRecovery r;
};

TEST_F(RcvRecoveryTest, ReadsTheWorkedExampleAtItsOffsets)
{
    writeFile(kQjfx.toStdString(), workedExample());
    ASSERT_TRUE(readToPort(kQjfx));
    EXPECT_EQ(r.section_base(RCV_FILE_SCREEN), 28u);
    EXPECT_EQ(r.section_base(RCV_FILE_XY), 112u);
    EXPECT_EQ(r.screen_info.rcv_xy_len, 50u);
    EXPECT_EQ(r.screen_net_num, 1);
    EXPECT_EQ(r.net_para.net_rcv_num, 2);

    ASSERT_EQ(r.update_rcvXYrcvOperateTimes(kQjfx, 1, false), 0);
    EXPECT_EQ(r.fseek_offset, 22u);
    EXPECT_EQ(r.rcv_operate_times, 0);

    ASSERT_EQ(r.update_rcvXYrcvOperateTimes(kQjfx, 0, false), 0);
    EXPECT_EQ(r.rcv_operate_times, 1);
    ASSERT_EQ(r.update_rcvXYrcvOperatepara(kQjfx, 0, false), 0);
    EXPECT_EQ(r.operate_deal_para.offset, 26u);
    EXPECT_EQ(r.operate_deal_para.dataLen, 8u);

    uint8_t data[8] = {};
    ASSERT_EQ(r.update_rcvOperatedata(kQjfx, 112 + 16 + 16 + 26, data, 8), 0);
    EXPECT_EQ(data[0], 0xA0);
    EXPECT_EQ(data[7], 0xA7);
}

// Edge cases of the directory, the screens and the card-block walk.
TEST_F(RcvRecoveryTest, DirectoryScreensAndBlockWalk)
{
    // Entry 2 (the smart-debugging section) retyped as a second XY section.
    FileBytes b = recoveryFile({{1, {{0, {CardSpec{}}}}, {}}});
    putLe(b, 4 + 24, RCV_FILE_XY, 1);
    putLe(b, 4 + 24 + 8, 999, 4);
    writeFile(kQjfx.toStdString(), b);
    readHead(kQjfx);
    EXPECT_EQ(r.section_base(RCV_FILE_XY), 999u) << "the last entry of a kind wins";

    // screen_num 2: indexes 0 and 1 are read, 2 is refused.
    writeFile(kQjfx.toStdString(), workedExample());
    readHead(kQjfx);
    r.screen_head.screen_num = 2;
    EXPECT_EQ(r.update_rcvScreenIDinfo(kQjfx, 0), 0);
    EXPECT_EQ(r.update_rcvScreenIDinfo(kQjfx, 1), 0);
    EXPECT_EQ(r.update_rcvScreenIDinfo(kQjfx, 2), 1);
    r.screen_head.screen_num = 0;
    EXPECT_EQ(r.update_rcvScreenIDinfo(kQjfx, 0), 1);

    // Card blocks of 3, 0 and 5 operations: card 2 at 4 + 54 + 4 = 62.
    OpSpec op;
    op.type = 9;   // unknown kinds are read all the same
    const FileBytes walk = recoveryFile(
        {{1, {{0, {CardSpec{{op, op, op}}, CardSpec{}, CardSpec{{op, op, op, op, op}}}}}, {}}});
    writeFile(kQjfx.toStdString(), walk);
    ASSERT_TRUE(readToPort(kQjfx));
    ASSERT_EQ(r.update_rcvXYrcvOperateTimes(kQjfx, 2, false), 0);
    EXPECT_EQ(r.fseek_offset, 62u);
    EXPECT_EQ(r.rcv_operate_times, 5);
    EXPECT_EQ(r.update_rcvXYrcvOperatepara(kQjfx, 4, false), 0);
    EXPECT_EQ(r.operate_deal_para.type, 9);
    EXPECT_EQ(r.update_rcvXYrcvOperateTimes(kQjfx, 3, false), 1) << "no block beyond the stored cards";
}

TEST_F(RcvRecoveryTest, FolderListsFollowTheirOwnFolderOnly)
{
    writeFile("/data/rcvrecovery/QJFX", workedExample());
    writeFile("/data/rcvrecovery/.hidden", {1});
    EXPECT_EQ(r.get_dir_file("/data/rcvrecovery/"), 0);
    EXPECT_EQ(r.recoveryFileCount(), 0) << "the folder with a slash names no list";
    EXPECT_EQ(r.get_dir_file("/data/rcvrecovery"), 0);
    EXPECT_EQ(r.recoveryFiles(), QStringList{"QJFX"});

    writeFile("/mnt/usb1/a.qjfile", {1});
    EXPECT_EQ(r.get_dir_file("/mnt/usb1/"), 0);
    EXPECT_EQ(r.smartFileCount(), 1);
    EXPECT_EQ(r.get_dir_file("/data/smartmapping"), 0);
    EXPECT_EQ(r.smartFileCount(), 0) << "an empty folder empties the list";

    writeFile("/mnt/usb1/b.qjfile", {1});
    r.get_dir_file("/mnt/usb1/");
    QDir(QString::fromStdString(hostPath("/data/smartmapping"))).removeRecursively();
    EXPECT_EQ(r.get_dir_file("/data/smartmapping"), 1);
    EXPECT_EQ(r.smartFileCount(), 2) << "a missing folder leaves the list";
    EXPECT_EQ(r.check_file_dir("/data/smartmapping"), 1);
    EXPECT_EQ(r.check_file_dir("/data/smartmapping"), 0);

    r.clearSmartFiles();
    r.clearRecoveryFiles();
    EXPECT_EQ(r.smartFileCount() + r.recoveryFileCount(), 0);
}

TEST_F(RcvRecoveryTest, SmartMappingFileReadsFromByte16)
{
    OpSpec a;
    a.data = {1, 2, 3};
    OpSpec b;
    b.type = 3;
    b.data = {9, 8};
    const QString path = "/data/smartmapping/QJFR";
    writeFile(path.toStdString(), smartMappingFile({a, b}));
    r.init_para();
    ASSERT_EQ(r.update_smartDebugingOperateTimes(path, true), 0);
    EXPECT_EQ(r.rcv_operate_times, 2);
    ASSERT_EQ(r.update_smartDebugingOperatepara(path, 1, true), 0);
    EXPECT_EQ(r.operate_deal_para.type, 3);
    // Two records (20..55) precede the data; offsets count from byte 16.
    EXPECT_EQ(r.operate_deal_para.offset, 56u - 16 + 3);
    uint8_t data[2] = {};
    ASSERT_EQ(r.update_rcvOperatedata(path, 16 + r.operate_deal_para.offset, data, 2), 0);
    EXPECT_EQ(data[0], 9);
}

// A scan load opens only a file directly in /data/smartmapping or /mnt/usb1.
TEST_F(RcvRecoveryTest, ScanFilePathStaysInTheScanFolders)
{
    struct Case {
        QString path;
        bool allowed;
    };
    // Cleaned, this reads as a stick file; opened, the NUL cuts it to the recovery file.
    const QString cut = QString("/data/rcvrecovery/QJFX") + QChar(0) + "/../../../mnt/usb1/x.qjfile";
    for (const Case& c : {Case{"/mnt/usb1/x.qjfile", true}, Case{"/data/smartmapping/QJFR", true},
                          Case{"/data/smartmapping/../rcvrecovery/QJFX", false},
                          Case{"/mnt/usb1/../../data/rcvrecovery/QJFX", false},
                          Case{"/data/smartmapping2/x.qjfile", false}, Case{"/mnt/usb10/x.qjfile", false},
                          Case{"/mnt/usb1/sub/x.qjfile", false}, Case{"/mnt/usb1/./x.qjfile", false},
                          Case{"/mnt/usb1//x.qjfile", false}, Case{"mnt/usb1/x.qjfile", false},
                          Case{"/mnt/usb1", false}, Case{"/mnt/usb1/", false}, Case{"", false},
                          Case{cut, false}})
        EXPECT_EQ(rcvRecovery::isScanFilePath(c.path), c.allowed) << c.path.toStdString();
}

// A file cut inside a record reports failure and keeps the unread tail; a
// directory longer than the kept table is read no further.
TEST_F(RcvRecoveryTest, TruncatedAndOversizedFilesAreSafe)
{
    FileBytes b = workedExample();
    b.resize(155);   // cut inside operation 0 of card 0 (148..165)
    writeFile(kQjfx.toStdString(), b);
    ASSERT_TRUE(readToPort(kQjfx));
    ASSERT_EQ(r.update_rcvXYrcvOperateTimes(kQjfx, 0, false), 0);
    r.operate_deal_para.timeticks = 0x55555555;
    EXPECT_EQ(r.update_rcvXYrcvOperatepara(kQjfx, 0, false), 1);
    EXPECT_EQ(r.operate_deal_para.offset, 26u);
    EXPECT_EQ(r.operate_deal_para.timeticks, 0x55555555u);
    uint8_t data[8] = {};
    EXPECT_EQ(r.update_rcvOperatedata(kQjfx, 170, data, 8), 1);
    EXPECT_EQ(r.update_rcvXYrcvOperateTimes(kQjfx, 1, false), 1) << "card 1 lies past the end";

    FileBytes big = workedExample();
    putLe(big, 3, 200, 1);
    big.resize(4 + 12 * 200, 0);
    writeFile(kQjfx.toStdString(), big);
    ASSERT_EQ(r.get_rcvPackedFileNum(kQjfx), 0);
    for (int i = 0; i < 200; ++i)
        EXPECT_EQ(r.get_rcvPackedFileInfo(kQjfx, uint8_t(i)), i < 6 ? 0 : 1) << i;
    EXPECT_EQ(r.section_base(RCV_FILE_XY), 112u);

    uint8_t room[4];
    uint32_t len = sizeof room;
    r.operate_deal_para.dataLen = 5;
    EXPECT_EQ(r.update_rcvDealData(kQjfx, room, &len), 1) << "data larger than the buffer";
    EXPECT_EQ(r.get_rcvPackedFileNum("/data/rcvrecovery/none"), 1);
}

// Drops the calling thread's right to override file permissions, so a
// privileged test run still sees them.
bool dropFileOverride()
{
    __user_cap_header_struct hdr{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    if (syscall(SYS_capget, &hdr, data) != 0)
        return false;
    data[CAP_DAC_OVERRIDE / 32].effective &= ~(1u << (CAP_DAC_OVERRIDE % 32));
    return syscall(SYS_capset, &hdr, data) == 0;
}

TEST_F(RcvRecoveryTest, ReadOnlyFileCanBeRead)
{
    writeFile(kQjfx.toStdString(), workedExample());
    QFile::setPermissions(QString::fromStdString(hostPath(kQjfx.toStdString())), QFile::ReadOwner | QFile::ReadGroup);
    int result = -1;
    std::thread reader([&] {
        dropFileOverride();
        result = r.get_rcvPackedFileNum(kQjfx);
    });
    reader.join();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(r.pack_file_num(), 2);
}

} // namespace
} // namespace kel::test
