#include "params/SyncUpdate.h"

#include "params/DebugPrint.h"
#include "params/KelRamPara.h"
#include "params/PageRegistry.h"
#include "params/RamDeviceFile.h"
#include "params/Utils.h"
#include "params/global.h"
#include "platform/Board.h"
#include "platform/CommandRunner.h"
#include "platform/HidService.h"
#include "platform/Sleeper.h"

#include <QThread>

#include <algorithm>
#include <cstring>
#include <utility>

using kel::platform::Board;
using kel::platform::Sleeper;

SyncUpdate* SyncUpdate::p_SyncUpdate = nullptr;

namespace {

constexpr int kFocusMainWindow = 1;
constexpr int kFocusImageLayout = 9;
constexpr int kFocusLinkOption = 10;
constexpr int kFocusSmartMapping = 24;
constexpr int kFocusUsbUpgrade = 26;

// Depth of para_sync on this thread (a page may open a nested event loop).
thread_local int t_passDepth = 0;

struct PassScope {
    PassScope() { ++t_passDepth; }
    ~PassScope() { --t_passDepth; }
};

KelRamPara& store() { return *KelRamPara::p_kelrampara_config; }

} // namespace

SyncUpdate::SyncUpdate(QObject* parent) : QObject(parent) {}

SyncUpdate* SyncUpdate::pInstance()
{
    if (!p_SyncUpdate)
        p_SyncUpdate = new SyncUpdate();
    return p_SyncUpdate;
}

bool SyncUpdate::inPass() { return t_passDepth > 0; }

void SyncUpdate::para_sync(int reason) { runPass({reason}); }

void SyncUpdate::addReason(Reasons& reasons, int reason)
{
    if (std::find(reasons.begin(), reasons.end(), reason) == reasons.end())
        reasons.push_back(reason);
}

void SyncUpdate::announce(int reason)
{
    if (QThread::currentThread() == thread() && !inPass()) {
        // Reasons still waiting arrived first; this pass serves them too.
        Reasons reasons = takePending();
        addReason(reasons, reason);
        runPass(reasons);
        return;
    }
    {
        std::lock_guard<std::mutex> l(pendingLock_);
        addReason(pending_, reason);
        if (queued_)
            return;
        queued_ = true;
    }
    QMetaObject::invokeMethod(this, [this] { runPending(); }, Qt::QueuedConnection);
}

SyncUpdate::Reasons SyncUpdate::takePending()
{
    std::lock_guard<std::mutex> l(pendingLock_);
    return std::exchange(pending_, {});
}

void SyncUpdate::finishPending()
{
    const Reasons reasons = takePending();
    if (!reasons.empty())
        runPass(reasons);
    saveSnapshot();
}

void SyncUpdate::runPending()
{
    {
        // Reasons arriving from here on queue the next pass (which finds
        // nothing to do if this one took them).
        std::lock_guard<std::mutex> l(pendingLock_);
        queued_ = false;
    }
    const Reasons reasons = takePending();
    if (!reasons.empty())
        runPass(reasons);
}

// The steps of one pass, each once, with every reason it serves: the page
// in front is refreshed once per reason (pages react to some of them), and
// the persistence step writes one snapshot of the whole block.
void SyncUpdate::runPass(const Reasons& reasons)
{
    if (!KelRamPara::p_kelrampara_config)
        return;
    PassScope scope;
    fixCurrentWindow();
    if (g_kel_keys)
        update_usb_keyLed();
    Reasons full;
    for (int reason : reasons)
        if (reason != SYNC_UPDATE_START && reason != SYNC_UPDATE_OVER)
            full.push_back(reason);
    if (full.empty())
        return;
    for (int reason : full)
        refreshPage(reason);
    serveSaveRequest();
    if (std::find(full.begin(), full.end(), int(SYNC_USER_MODE)) != full.end())
        walkSlots();
    persist();
}

void SyncUpdate::fixCurrentWindow()
{
    if (g_page_focus == kFocusImageLayout)
        return;
    const int w = g_image_current;
    const bool enabled = w < RamLayout::kWindows &&
                         (store().RamBlock[RamLayout::imageRecord(w) + RamLayout::kImgEnable] & 1);
    if (!enabled)
        g_image_current = 0;
}

void SyncUpdate::update_usb_keyLed()
{
    const KeypadReport::Bytes report =
        KeypadReport::build(store().RamBlock, g_image_current, g_update_flag.load() != 0);
    if (report == keyled_cache)
        return;
    // A report that did not reach the keypad stays out of the cache, so the
    // next pass tries again.
    auto& hid = Board::hid();
    if (!hid.present(KeypadReport::kVendor, KeypadReport::kProduct)) {
        kelDebug("handle error\n");
        return;
    }
    if (hid.writeReport(KeypadReport::kVendor, KeypadReport::kProduct, report.data(), report.size()) < 0) {
        kelDebug("handle write error\n");
        return;
    }
    keyled_cache = report;
    kelDebug("\n report[1] = %#x report[2] = %#x report[3] = %#x report[4] = %#x\n", report[1], report[2],
             report[3], report[4]);
    kelDebug("\n keyLed[0] = %#x keyLed[1] = %#x keyLed[2] = %#x keyLed[3] = %#x\n", keyled_cache[0],
             keyled_cache[1], keyled_cache[2], keyled_cache[3]);
}

void SyncUpdate::refreshPage(int reason)
{
    PageRegistry& pages = PageRegistry::instance();
    const int focus = g_page_focus;
    if (focus >= PageRegistry::kPages) {
        store().KelLanguageChanged();
        return;
    }
    // A page that went away between the announcement and its delivery is
    // skipped, and so is its notice.
    if (!pages.refresh(focus, reason))
        return;
    if (focus == kFocusMainWindow) {
        if (pages.takeModeTip())
            pages.notice(TIP_SAVED);
    } else if (focus == kFocusSmartMapping || focus == kFocusUsbUpgrade) {
        if (reason == SYNC_USB_ADD) {
            kelDebug("\n yes ,got the usb in");
            pages.notice(TIP_USB_IN);
        } else if (reason == SYNC_USB_REMOVE) {
            kelDebug("\n yes ,got the usb out");
            pages.notice(TIP_USB_OUT);
        } else if (reason == SYNC_USB_READING) {
            pages.notice(TIP_USB_READING);
        }
    }
}

void SyncUpdate::serveSaveRequest()
{
    KelRamPara& s = store();
    const uint16_t n = s.blockU16(RamLayout::kUsermodeSaveReq);
    if (n == 0 || n == s.shadowU16(RamLayout::kUsermodeSaveReq) || n > RamLayout::kSlotCount)
        return;
    uint8_t* slot = s.UserModeSlot[n - 1];
    slot[0] = slot[1] = RamLayout::kMarkerSaved;
    s.setBlockU16(RamLayout::kCurrentUserMode, n);
    std::memcpy(slot + RamLayout::kSlotDataBegin, s.RamBlock + RamLayout::kModeBegin, RamLayout::kModeSize);
    s.mode_file_write(n - 1u, 0);
    s.setBlockU16(RamLayout::kUsermodeSaveReq, 0);
    kelDebug("\n user mode save change ,%#x \n", slot[0]);
}

void SyncUpdate::walkSlots()
{
    KelRamPara& s = store();
    for (unsigned i = 0; i < RamLayout::kSlotCount; ++i) {
        const uint8_t* m = s.UserModeSlot[i];
        if (m[0] == RamLayout::kMarkerDeleted || m[1] == RamLayout::kMarkerDeleted) {
            s.mode_file_deal(i, 1);
            s.setBlockU16(RamLayout::kUsermodeSaveReq, 0);
        } else if (m[0] == RamLayout::kMarkerSaved || m[1] == RamLayout::kMarkerSaved) {
            s.mode_file_write(i, 2);
        }
    }
}

void SyncUpdate::persist()
{
    saveSnapshot();
    // The link menu shows the saved notice once per pass, after saving.
    if (g_page_focus == kFocusLinkOption && PageRegistry::instance().has(kFocusLinkOption))
        PageRegistry::instance().notice(TIP_SAVED);
}

void SyncUpdate::saveSnapshot()
{
    if (!KelRamPara::p_kelrampara_config)
        return;
    KelRamPara& s = store();
    // The pass compares, writes and keeps as its shadow one copy of the
    // block taken under the writers' locks. A change that lands after the
    // copy (during the write, the sync or the pause) therefore still differs
    // from the shadow, and the next pass saves it.
    uint8_t written[RamLayout::kBlockSize];
    s.snapshotBlock(written);
    size_t diff = RamLayout::kSavedBegin;
    while (diff < RamLayout::kBlockSize && written[diff] == s.RamShadow[diff])
        ++diff;
    if (diff < RamLayout::kBlockSize) {
        kelDebug("\n ram_para diffrent %d,%d,%d!\n", static_cast<int>(diff), s.RamShadow[diff], written[diff]);
        {
            QMutexLocker locker(&Utils::_file_deal_mutex);
            // A missing file is created anew rather than losing the change.
            if (!RamDeviceFile::writeSaved(written))
                kelDebug("\n write %s failed \n", RamDeviceFile::kPath);
        }
        // The sync and the pause hold no lock: the links' file requests and
        // the FPGA manager's file reads go on meanwhile.
        Board::commands().system("sync");
        Sleeper::sleepMs(100);
        std::memcpy(s.RamShadow, written, sizeof s.RamShadow);
    }
}
