#include "StoreFixture.h"

#include "params/ApplyGate.h"
#include "params/KelRamPara.h"
#include "params/RamLayout.h"
#include "params/SyncUpdate.h"
#include "params/global.h"
#include "platform/AtomicFile.h"

#include "params/ConfigEngine.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstring>
#include <unistd.h>

using namespace kel::test;

namespace {

class UserModes : public StoreFixture {
protected:
    void SetUp() override
    {
        StoreFixture::SetUp();
        start();
        writeText("/data/configs/omenu.json", "{\"name\":\"m\",\"osdcount\":0,\"oactcount\":0}");
        clearCommands();
    }

    void saveThroughRequest(uint16_t mode)
    {
        store().setBlockU16(RamLayout::kUsermodeSaveReq, mode);
        sync.para_sync(SYNC_PARA);
    }

    bool ran(const std::string& cmd) const
    {
        const auto c = commands();
        return std::find(c.begin(), c.end(), cmd) != c.end();
    }

    SyncUpdate sync;
};

} // namespace

TEST_F(UserModes, SaveRequestWritesTheModeFileAndTheOsdCopy)
{
    store().setBlockU16(RamLayout::kOsdEnable, 1);
    store().RamBlock[1000] = 0x42;
    saveThroughRequest(10);

    const std::vector<uint8_t> file = readFile("/data/modes/custom_mode10");
    ASSERT_EQ(4096u, file.size());
    EXPECT_EQ(0xAA, file[0]);
    EXPECT_EQ(0xAA, file[1]);
    EXPECT_EQ(0, std::memcmp(file.data() + 2, store().RamBlock + 896, 3200));
    EXPECT_EQ(0x42, file[1000 - 894]);
    EXPECT_TRUE(ran("cp  /data/configs/omenu.json /data/modes/MO0a.json"));
    EXPECT_EQ(readFile("/data/configs/omenu.json"), readFile("/data/modes/MO0a.json"));
    EXPECT_EQ(10, store().blockU16(RamLayout::kCurrentUserMode));
    EXPECT_EQ(0, store().blockU16(RamLayout::kUsermodeSaveReq));
    EXPECT_TRUE(store().KelUserModeSaved(9));
    // The changed current mode was persisted as well.
    EXPECT_EQ(10, readFile("/data/ram_device_info")[866 - 766]);
}

TEST_F(UserModes, SaveWithTheOsdOffWritesOnlyTheModeFile)
{
    saveThroughRequest(10);
    EXPECT_TRUE(fileExists("/data/modes/custom_mode10"));
    EXPECT_FALSE(fileExists("/data/modes/MO0a.json"));
    for (const auto& c : commands())
        EXPECT_EQ(std::string::npos, c.find("cp ")) << c;
}

TEST_F(UserModes, SavingAgainWithTheOsdOffRemovesTheOlderCopy)
{
    store().setBlockU16(RamLayout::kOsdEnable, 1);
    saveThroughRequest(10);
    ASSERT_TRUE(fileExists("/data/modes/MO0a.json"));

    store().setBlockU16(RamLayout::kOsdEnable, 0);
    clearCommands();
    saveThroughRequest(10);
    EXPECT_TRUE(ran("rm  -rf  /data/modes/MO0a.json"));
    EXPECT_FALSE(fileExists("/data/modes/MO0a.json"));
    EXPECT_TRUE(fileExists("/data/modes/custom_mode10"));
}

TEST_F(UserModes, ProtocolWriteOfTheOsdSwitchReachesTheSlotOnlyAtTheNextSave)
{
    const uint8_t on[2] = {1, 0};
    ASSERT_EQ(0, store().KelRamParaDeal(on, 2, RamLayout::kOsdEnable));
    sync.para_sync(SYNC_PARA);
    EXPECT_EQ(0, RamLayout::u16(store().UserModeSlot[1], RamLayout::kSlotOsdEnable));
    saveThroughRequest(2);
    EXPECT_EQ(1, RamLayout::u16(store().UserModeSlot[1], RamLayout::kSlotOsdEnable));
    EXPECT_EQ(1, readFile("/data/modes/custom_mode2")[1230]);
}

TEST_F(UserModes, RequestEqualToTheShadowOrOutOfRangeIsNotServed)
{
    store().setBlockU16(RamLayout::kUsermodeSaveReq, 3);
    store().setBlockU16(RamLayout::kCurrentUserMode, 0);
    std::memcpy(store().RamShadow, store().RamBlock, 4096);
    sync.para_sync(SYNC_PARA);
    EXPECT_FALSE(fileExists("/data/modes/custom_mode3"));
    EXPECT_EQ(3, store().blockU16(RamLayout::kUsermodeSaveReq));

    saveThroughRequest(17);
    EXPECT_EQ(0, QDir(QString::fromStdString(hostPath("/data/modes"))).entryList(QDir::Files).size());
}

TEST_F(UserModes, DeleteRemovesOnlyTheModeFileWhenItsOsdWasOff)
{
    saveThroughRequest(4);
    clearCommands();
    store().UserModeSlot[3][100] = 0x99;
    EXPECT_EQ(0, store().mode_file_deal(3, 1));
    EXPECT_EQ(std::vector<std::string>({"rm  -rf  /data/modes/custom_mode4", "sync"}), commands());
    EXPECT_FALSE(fileExists("/data/modes/custom_mode4"));
    EXPECT_EQ(0xFF, store().UserModeSlot[3][0]);
    EXPECT_EQ(0xFF, store().UserModeSlot[3][1]);
    EXPECT_EQ(0x99, store().UserModeSlot[3][100]);
}

TEST_F(UserModes, DeleteOfAModeSavedWithTheOsdAlsoRemovesItsCopy)
{
    store().setBlockU16(RamLayout::kOsdEnable, 1);
    saveThroughRequest(16);
    ASSERT_TRUE(fileExists("/data/modes/MO10.json"));
    clearCommands();
    EXPECT_EQ(0, store().mode_file_deal(15, 1));
    EXPECT_EQ(std::vector<std::string>({"rm  -rf  /data/modes/custom_mode16", "rm  -rf  /data/modes/MO10.json", "sync"}),
              commands());
    EXPECT_FALSE(fileExists("/data/modes/MO10.json"));
    EXPECT_EQ(0, RamLayout::u16(store().UserModeSlot[15], RamLayout::kSlotOsdEnable));
}

TEST_F(UserModes, SlotsOutsideZeroToFifteenRunNothing)
{
    EXPECT_EQ(0, store().mode_file_deal(16, 1));
    EXPECT_EQ(0, store().mode_file_write(16, 1));
    EXPECT_EQ(0, store().mode_file_write(static_cast<unsigned>(-1), 1));
    EXPECT_TRUE(commands().empty());
}

TEST_F(UserModes, ModeThatCannotBeStoredIsReportedAndLeavesItsSlot)
{
    QDir(QString::fromStdString(hostPath("/data/modes"))).removeRecursively();
    writeText("/data/modes", "not a folder");
    uint8_t* slot = store().UserModeSlot[0];
    slot[0] = slot[1] = 0xFF;
    slot[2] = 0x11;
    store().RamBlock[896] = 0x22;
    EXPECT_EQ(0, store().mode_file_write(0, 1));
    // A mode that could not be stored is not marked saved nor overwritten.
    EXPECT_EQ(0xFF, slot[0]);
    EXPECT_EQ(0xFF, slot[1]);
    EXPECT_EQ(0x11, slot[2]);
    EXPECT_FALSE(store().KelUserModeSaved(0));
}

TEST_F(UserModes, KindOneCopiesTheBlockIntoTheSlot)
{
    store().RamBlock[4095] = 0x3E;
    ASSERT_EQ(1, store().mode_file_write(0, 1));
    EXPECT_EQ(0x3E, store().UserModeSlot[0][3201]);
    EXPECT_EQ(0x3E, readFile("/data/modes/custom_mode1")[3201]);
}

TEST_F(UserModes, ReasonTwoWalkDeletesWritesAndSkipsBySlotMarker)
{
    uint8_t* base = &store().UserModeSlot[0][0];
    auto mark = [&](int slot, uint8_t a, uint8_t b) {
        base[slot * 4098] = a;
        base[slot * 4098 + 1] = b;
    };
    for (int i = 0; i < 16; ++i)
        mark(i, 0, 0);
    mark(1, 0xAA, 0xAA);
    mark(2, 0x00, 0xAA);
    mark(5, 0xFF, 0xFF);
    mark(6, 0xAA, 0xFF);
    store().UserModeSlot[1][500] = 0x21;
    writeText("/data/modes/custom_mode6", "old");
    store().setBlockU16(RamLayout::kUsermodeSaveReq, 0);

    sync.para_sync(SYNC_USER_MODE);
    EXPECT_TRUE(ran("rm  -rf  /data/modes/custom_mode6"));
    EXPECT_TRUE(ran("rm  -rf  /data/modes/custom_mode7"));
    EXPECT_FALSE(fileExists("/data/modes/custom_mode6"));
    EXPECT_EQ(0x21, readFile("/data/modes/custom_mode2")[500]);
    EXPECT_TRUE(fileExists("/data/modes/custom_mode3"));
    EXPECT_EQ(0xAA, store().UserModeSlot[2][0]);   // marked saved by the write
    EXPECT_FALSE(fileExists("/data/modes/custom_mode1"));
    EXPECT_FALSE(fileExists("/data/modes/custom_mode4"));

    clearCommands();
    sync.para_sync(SYNC_USER_MODE);
    EXPECT_TRUE(ran("rm  -rf  /data/modes/custom_mode6"));
}

// A recall copies the slot into the block in one hand-off, marks the mode
// in use and rebuilds the crop bitmap from the recalled crop table.
TEST_F(UserModes, RecallCopiesTheSlotSetsTheModeAndRebuildsTheCropBitmap)
{
    struct Case {
        bool clearSaveRequest;
        uint16_t saveReqAfter;
    };
    for (const Case& c : {Case{true, 0}, Case{false, 7}}) {
        SCOPED_TRACE(c.clearSaveRequest);
        uint8_t* slot = store().UserModeSlot[4];
        slot[0] = slot[1] = 0xAA;
        for (size_t p = 0; p < 3200; ++p)
            slot[2 + p] = static_cast<uint8_t>(p * 7 + 3);
        // Crop row 0 of the copy: in use, crop number 3 of input 2.
        const size_t row0 = 1472 - 896 + 2;
        slot[row0] = 2;
        slot[row0 + 1] = 0x80 | 2;
        for (int r = 1; r < 40; ++r)
            slot[row0 + 10 * r + 1] = 0;
        store().setBlockU16(RamLayout::kUsermodeSaveReq, 7);
        ApplyGate::instance().c331_apply_flag = 0;

        EXPECT_TRUE(store().recallUserMode(4, c.clearSaveRequest));
        EXPECT_EQ(0, std::memcmp(store().RamBlock + 896, slot + 2, 3200));
        EXPECT_EQ(5, store().blockU16(866));
        EXPECT_EQ(c.saveReqAfter, store().blockU16(868));
        EXPECT_EQ(1, ApplyGate::instance().c331_apply_flag.load());
        EXPECT_EQ(3, store().KelGetCropID(2, 1));
    }
}

TEST_F(UserModes, RecallOfAnEmptySlotChangesNothing)
{
    store().UserModeSlot[2][0] = 0xFF;
    ApplyGate::instance().c331_apply_flag = 0;
    const std::vector<uint8_t> before(store().RamBlock, store().RamBlock + 4096);
    EXPECT_FALSE(store().recallUserMode(2, true));
    EXPECT_FALSE(store().recallUserMode(16, true));
    EXPECT_TRUE(std::equal(before.begin(), before.end(), store().RamBlock));
    EXPECT_EQ(0, ApplyGate::instance().c331_apply_flag.load());
}

TEST_F(UserModes, CrashWhileRewritingAModeLeavesTheOldFileWhole)
{
    store().RamBlock[1000] = 0x41;
    ASSERT_EQ(1, store().mode_file_write(4, 1));
    const std::vector<uint8_t> before = readFile("/data/modes/custom_mode5");
    ASSERT_EQ(4096u, before.size());
    store().RamBlock[1000] = 0x42;
    kel::platform::AtomicFile::crashBeforeWrite(1);
    EXPECT_EQ(0, store().mode_file_write(4, 1));
    EXPECT_EQ(before, readFile("/data/modes/custom_mode5"));
    store().mode_file_deal(4, 0);
    EXPECT_EQ(0x41, store().UserModeSlot[4][1000 - 896 + 2]);
    EXPECT_TRUE(store().KelUserModeSaved(4));
}

// A mode file that exists but cannot be read whole (a torn write, a folder
// in its place) is reported by name and survives the next passes.
TEST_F(UserModes, UnreadableModeFileIsReportedAndNeverDeleted)
{
    writeText("/data/modes/custom_mode3", std::string(100, 'x'));
    QDir().mkpath(QString::fromStdString(hostPath("/data/modes/custom_mode4")));
    for (unsigned slot : {2u, 3u}) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(0, store().mode_file_deal(slot, 0));
        const std::string log = testing::internal::GetCapturedStderr();
        EXPECT_NE(std::string::npos, log.find("/data/modes/custom_mode" + std::to_string(slot + 1))) << log;
        EXPECT_FALSE(store().KelUserModeSaved(slot));
    }
    sync.para_sync(SYNC_USER_MODE);
    EXPECT_FALSE(ran("rm  -rf  /data/modes/custom_mode3"));
    EXPECT_FALSE(ran("rm  -rf  /data/modes/custom_mode4"));
    EXPECT_EQ(100u, readFile("/data/modes/custom_mode3").size());
}

// Links planted in the root towards a file outside it: the store's files
// are refused and the outside file keeps its bytes.
TEST_F(UserModes, StoreFilesLinkedOutsideTheRootAreNotWritten)
{
    QTemporaryDir outside;
    const std::string victim = outside.path().toStdString() + "/victim";
    std::vector<uint8_t> marked(4096, 0x5A);
    marked[0] = marked[1] = 0xAA;
    {
        QFile f(QString::fromStdString(victim));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(marked.data()), int(marked.size()));
    }
    for (const char* file : {"/data/ram_device_info", "/data/modes/custom_mode2", "/data/configs/tcpip.ini"}) {
        ::unlink(hostPath(file).c_str());
        ASSERT_EQ(0, ::symlink(victim.c_str(), hostPath(file).c_str()));
    }
    testing::internal::CaptureStderr();
    store().RamBlock[2000] ^= 0xFF;
    sync.para_sync(SYNC_PARA);
    EXPECT_EQ(0, store().mode_file_write(1, 1));
    ConfigEngine::pInstance()->write_config_variant(ConfigItem::IPAddress, "10.9.8.7");
    ConfigEngine::destroyInstance();
    const std::string log = testing::internal::GetCapturedStderr();
    for (const char* name : {"ram_device_info", "custom_mode2", "tcpip.ini"})
        EXPECT_NE(std::string::npos, log.find(name)) << name << ": " << log;
    QFile f(QString::fromStdString(victim));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray now = f.readAll();
    EXPECT_EQ(std::vector<uint8_t>(now.begin(), now.end()), marked);
}
