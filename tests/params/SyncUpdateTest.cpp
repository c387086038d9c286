#include "StoreFixture.h"

#include "params/ApplyGate.h"
#include "params/KelRamPara.h"
#include "params/PageRegistry.h"
#include "params/RamLayout.h"
#include "params/SyncUpdate.h"
#include "params/global.h"
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimHid.h"
#include "platform/Sleeper.h"

#include <QCoreApplication>
#include <QThread>
#include <cstring>
#include <thread>

using namespace kel::test;

namespace {

const char* const kParamFile = "/data/ram_device_info";

class ChangePass : public StoreFixture {
protected:
    void SetUp() override
    {
        StoreFixture::SetUp();
        start();
        clearCommands();
        PageRegistry::instance().setNoticeSink([this](int kind) { notices.push_back(kind); });
    }

    void joinPage(int focus)
    {
        PageRegistry::instance().join(focus, [this](int reason) { refreshed.push_back(reason); });
    }

    bool ranSync() const
    {
        for (const auto& c : commands())
            if (c == "sync")
                return true;
        return false;
    }

    SyncUpdate sync;
    std::vector<int> refreshed;
    std::vector<int> notices;
};

} // namespace

TEST_F(ChangePass, RefreshesTheFocusedPageWithTheReason)
{
    joinPage(3);
    g_page_focus = 3;
    sync.para_sync(SYNC_INPUT_INFO);
    EXPECT_EQ(std::vector<int>({SYNC_INPUT_INFO}), refreshed);
}

TEST_F(ChangePass, MissingPageIsSkippedWithItsNotice)
{
    g_page_focus = 10;
    sync.para_sync(SYNC_PARA);
    EXPECT_TRUE(notices.empty());
    joinPage(10);
    sync.para_sync(SYNC_PARA);
    // Page 10 shows "saved" once per pass.
    EXPECT_EQ(std::vector<int>({TIP_SAVED}), notices);
    PageRegistry::instance().leave(10);
    sync.para_sync(SYNC_PARA);
    EXPECT_EQ(1u, refreshed.size());
}

TEST_F(ChangePass, UsbReasonsShowTheirNoticesOnTheUsbPages)
{
    joinPage(24);
    g_page_focus = 24;
    for (int reason : {SYNC_USB_ADD, SYNC_USB_REMOVE, SYNC_USB_READING, SYNC_PARA})
        sync.para_sync(reason);
    EXPECT_EQ(std::vector<int>({TIP_USB_IN, TIP_USB_OUT, TIP_USB_READING}), notices);
}

TEST_F(ChangePass, MainWindowShowsTheModeNoticeOnceWhenPending)
{
    joinPage(1);
    g_page_focus = 1;
    bool pending = true;
    PageRegistry::instance().setModeTipSource([&] { return std::exchange(pending, false); });
    sync.para_sync(SYNC_PARA);
    sync.para_sync(SYNC_PARA);
    EXPECT_EQ(std::vector<int>({TIP_SAVED}), notices);
}

TEST_F(ChangePass, FocusBeyondThePagesChecksTheLanguage)
{
    g_page_focus = 27;
    g_lcd_lang_valid = 0x1001B;
    store().setBlockU16(RamLayout::kLcdLanguage, 2);
    sync.para_sync(SYNC_PARA);
    EXPECT_EQ(0, g_language);
    EXPECT_EQ(0, store().blockU16(RamLayout::kLcdLanguage));
}

TEST_F(ChangePass, UpdateReasonsOnlyRefreshTheKeypad)
{
    joinPage(0);
    g_kel_keys = 1;
    store().RamBlock[1000] ^= 0xFF;
    for (int reason : {SYNC_UPDATE_START, SYNC_UPDATE_OVER}) {
        g_update_flag = reason == SYNC_UPDATE_START;
        sync.para_sync(reason);
    }
    EXPECT_TRUE(refreshed.empty());
    EXPECT_FALSE(ranSync());
    EXPECT_NE(store().RamBlock[1000], store().RamShadow[1000]);
    const auto reports = board().hid().reports();
    ASSERT_EQ(2u, reports.size());
    EXPECT_EQ(0x5A, reports[0][0]);
    EXPECT_EQ(0xA5, reports[1][0]);
}

TEST_F(ChangePass, LiveAreaChangeWritesNoFileAndKeepsTheShadow)
{
    store().setBlockU16(RamLayout::srcVideoInfo(2), 1920);
    sync.para_sync(SYNC_INPUT_INFO);
    EXPECT_FALSE(ranSync());
    EXPECT_EQ(0, store().shadowU16(RamLayout::srcVideoInfo(2)));
}

TEST_F(ChangePass, SavedAreaChangeRewritesOnlyTheStoredBytes)
{
    std::vector<uint8_t> file = readFile(kParamFile);
    std::fill(file.begin() + 3330, file.end(), 0x77);
    writeFile(kParamFile, file);
    store().RamBlock[1000] = 0xC3;
    store().RamBlock[200] = 0x11;   // live area rides along into the shadow
    sync.para_sync(SYNC_PARA);

    const std::vector<uint8_t> after = readFile(kParamFile);
    ASSERT_EQ(4096u, after.size());
    EXPECT_EQ(0xAA, after[0]);
    EXPECT_EQ(0xAA, after[1]);
    EXPECT_EQ(0xC3, after[234]);
    EXPECT_EQ(0, std::memcmp(after.data() + 2, store().RamBlock + 768, 3328));
    EXPECT_TRUE(std::all_of(after.begin() + 3330, after.end(), [](uint8_t b) { return b == 0x77; }));
    EXPECT_EQ(0, std::memcmp(store().RamBlock, store().RamShadow, 4096));
    EXPECT_TRUE(ranSync());
}

TEST_F(ChangePass, AChangeAtEitherEndOfTheStoredBytesIsSaved)
{
    // Block byte 768 (the panel language) is file byte 2; block byte 4095 is file byte 3329.
    struct Case { size_t blockByte; size_t fileByte; };
    for (const Case c : {Case{768, 2}, Case{769, 3}, Case{4095, 3329}}) {
        const uint8_t value = uint8_t(store().RamBlock[c.blockByte] ^ 0x03);
        store().RamBlock[c.blockByte] = value;
        sync.para_sync(SYNC_PARA);
        EXPECT_EQ(readFile(kParamFile).at(c.fileByte), value) << "block byte " << c.blockByte;
        EXPECT_EQ(store().RamShadow[c.blockByte], value) << "block byte " << c.blockByte;
    }
}

TEST_F(ChangePass, DeletedParameterFileIsRecreated)
{
    std::remove(hostPath(kParamFile).c_str());
    store().RamBlock[2000] = 0x5E;
    sync.para_sync(SYNC_PARA);
    const std::vector<uint8_t> after = readFile(kParamFile);
    ASSERT_EQ(4096u, after.size());
    EXPECT_EQ(0xAA, after[0]);
    EXPECT_EQ(0x5E, after[2000 - 766]);
    EXPECT_EQ(0, std::memcmp(after.data() + 2, store().RamBlock + 768, 3328));
    EXPECT_TRUE(std::all_of(after.begin() + 3330, after.end(), [](uint8_t b) { return b == 0; }));

    // The next start loads what was saved.
    KelRamPara again;
    KelRamPara::p_kelrampara_config = &again;
    again.load();
    EXPECT_EQ(0x5E, again.RamBlock[2000]);
    KelRamPara::p_kelrampara_config = store_.get();
}

TEST_F(ChangePass, DisabledCurrentWindowFallsBackToWindowZeroUnlessOnTheLayoutPage)
{
    g_image_current = 3;   // window 3 is disabled by default
    g_page_focus = 9;
    sync.para_sync(SYNC_PARA);
    EXPECT_EQ(3, g_image_current);
    g_page_focus = 0;
    sync.para_sync(SYNC_PARA);
    EXPECT_EQ(0, g_image_current);
}

TEST_F(ChangePass, SameKeypadStateSendsOneReportAndAFailedWriteIsRetried)
{
    g_kel_keys = 1;
    board().hid().setWriteFails(true);
    sync.para_sync(SYNC_PARA);
    EXPECT_TRUE(board().hid().reports().empty());
    board().hid().setWriteFails(false);
    sync.para_sync(SYNC_PARA);
    sync.para_sync(SYNC_PARA);
    const auto reports = board().hid().reports();
    ASSERT_EQ(1u, reports.size());
    // Window 0 enabled showing input 2 without signal.
    EXPECT_EQ(std::vector<uint8_t>({0xA5, 0x01, 0x00, 0x20, 0x00}), reports[0]);
}

TEST_F(ChangePass, WorkerThreadAnnouncementRunsInTheGuiThread)
{
    QObject::connect(&store(), &KelRamPara::sig_update_para, &sync, &SyncUpdate::para_sync);
    Qt::HANDLE ranOn = nullptr;
    PageRegistry::instance().join(0, [&](int) { ranOn = QThread::currentThreadId(); });
    std::thread worker([&] { store().test_signal(SYNC_INPUT_INFO); });
    worker.join();
    EXPECT_EQ(nullptr, ranOn);
    QCoreApplication::processEvents();
    EXPECT_EQ(QThread::currentThreadId(), ranOn);
}

TEST_F(ChangePass, AnnouncementFromInsideThePassIsQueuedNotDeadlocked)
{
    QObject::connect(&store(), &KelRamPara::sig_update_para, &sync, &SyncUpdate::para_sync);
    int passes = 0;
    PageRegistry::instance().join(0, [&](int reason) {
        ++passes;
        if (reason == SYNC_PARA)
            store().test_signal(SYNC_INPUT_INFO);
    });
    store().test_signal(SYNC_PARA);
    EXPECT_EQ(1, passes);
    QCoreApplication::processEvents();
    EXPECT_EQ(2, passes);
}

TEST_F(ChangePass, AnnouncementFromANestedEventLoopOfThePassIsDelivered)
{
    QObject::connect(&store(), &KelRamPara::sig_update_para, &sync, &SyncUpdate::para_sync);
    std::vector<int> reasons;
    PageRegistry::instance().join(0, [&](int reason) {
        reasons.push_back(reason);
        if (reason != SYNC_PARA)
            return;
        // A page that runs a modal loop while the pass holds the lock.
        store().test_signal(SYNC_INPUT_INFO);
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    });
    store().test_signal(SYNC_PARA);
    EXPECT_EQ(std::vector<int>({SYNC_PARA, SYNC_INPUT_INFO}), reasons);
}

// A link thread announcing changes faster than passes run: the pending
// pass takes them all, each reason once in the order of arrival, and saves
// the last value; no second pass is left queued.
TEST_F(ChangePass, AnnouncementsFromAWorkerJoinTheOnePendingPass)
{
    QObject::connect(&store(), &KelRamPara::sig_update_para, &sync, &SyncUpdate::announce, Qt::DirectConnection);
    joinPage(3);
    g_page_focus = 3;
    std::thread link([&] {
        for (int i = 0; i < 200; ++i) {
            store().RamBlock[1000] = uint8_t(i);
            store().test_signal(i == 100 ? SYNC_USER_MODE : i % 2 ? SYNC_PARA : SYNC_INPUT_INFO);
        }
    });
    link.join();
    QCoreApplication::processEvents();
    EXPECT_EQ(std::vector<int>({SYNC_INPUT_INFO, SYNC_PARA, SYNC_USER_MODE}), refreshed);
    EXPECT_EQ(199, readFile(kParamFile)[1000 - 766]);
    QCoreApplication::processEvents();
    EXPECT_EQ(3u, refreshed.size());
}

// A stop with a pass still queued runs it: the host's user-mode save
// reaches its slot, and the queued run later finds nothing left to do.
TEST_F(ChangePass, ExitRunsThePendingPassSoAUserModeSaveIsKept)
{
    QObject::connect(&store(), &KelRamPara::sig_update_para, &sync, &SyncUpdate::announce, Qt::DirectConnection);
    joinPage(3);
    g_page_focus = 3;
    std::thread link([&] {
        store().setBlockU16(RamLayout::kUsermodeSaveReq, 2);
        store().test_signal(SYNC_USER_MODE);
    });
    link.join();
    sync.finishPending();
    EXPECT_EQ(RamLayout::kMarkerSaved, store().UserModeSlot[1][0]);
    EXPECT_EQ(0, store().blockU16(RamLayout::kUsermodeSaveReq));
    QCoreApplication::processEvents();
    EXPECT_EQ(std::vector<int>({SYNC_USER_MODE}), refreshed);
}

// A protocol write lands on a link thread 0, 20, 50 or 90 ms after a save
// started, while the pass still pauses after its "sync": the next pass must
// write it, whatever moment of the save it met.
TEST_F(ChangePass, ChangeDuringTheSavesPauseIsWrittenByTheNextPass)
{
    constexpr size_t kByte = 1500;
    for (const uint64_t atMs : {0u, 20u, 50u, 90u}) {
        SCOPED_TRACE(atMs);
        const uint8_t first = uint8_t(0x10 + atMs), second = uint8_t(first + 1);
        uint64_t clockUs = 0;
        bool landed = false;
        kel::platform::Sleeper::setHook([&](uint64_t us) {
            clockUs += us;
            if (landed || clockUs < atMs * 1000)
                return;
            landed = true;
            std::thread link([&] {
                pthread_mutex_lock(&ApplyGate::instance().c331_para_mutex);
                store().KelRamParaDeal(&second, 1, kByte);
                pthread_mutex_unlock(&ApplyGate::instance().c331_para_mutex);
            });
            link.join();
        });
        store().RamBlock[kByte] = first;
        sync.para_sync(SYNC_PARA);
        ASSERT_TRUE(landed);
        EXPECT_EQ(first, readFile(kParamFile)[kByte - 766]);

        kel::platform::Sleeper::setHook([](uint64_t) {});
        sync.para_sync(SYNC_PARA);
        EXPECT_EQ(second, readFile(kParamFile)[kByte - 766]);
        EXPECT_EQ(second, store().RamShadow[kByte]);
    }
}
