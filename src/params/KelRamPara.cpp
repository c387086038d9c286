#include "params/KelRamPara.h"

#include "params/ApplyGate.h"
#include "params/DebugPrint.h"
#include "params/DefaultParaTable.h"
#include "params/ModeFile.h"
#include "params/OfferedLanguages.h"
#include "params/RamDeviceFile.h"
#include "params/SyncUpdate.h"
#include "params/Utils.h"
#include "params/global.h"
#include "platform/Board.h"
#include "platform/CommandRunner.h"
#include "platform/LogLine.h"
#include "platform/PathMap.h"
#include "platform/Sleeper.h"

#include <QCoreApplication>
#include <QDir>
#include <QMetaObject>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstring>

using kel::platform::Board;
using kel::platform::PathMap;
using kel::platform::Sleeper;

KelRamPara* KelRamPara::p_kelrampara_config = nullptr;

namespace {

// True while this thread emits sig_update_para under the lock.
thread_local bool t_emitting = false;

void runSync() { Board::commands().system("sync"); }

} // namespace

KelRamPara::KelRamPara(QObject* parent) : QObject(parent)
{
    pthread_mutex_init(&para_info_mutex, nullptr);
    std::memset(RamBlock, 0, sizeof RamBlock);
    std::memset(RamShadow, 0, sizeof RamShadow);
    std::memset(UserModeSlot, 0, sizeof UserModeSlot);
    std::memset(LocalRegBank, 0, sizeof LocalRegBank);
}

KelRamPara::~KelRamPara()
{
    pthread_mutex_destroy(&para_info_mutex);
}

KelRamPara* KelRamPara::pInstance()
{
    if (!p_kelrampara_config) {
        p_kelrampara_config = new KelRamPara();
        p_kelrampara_config->load();
    }
    return p_kelrampara_config;
}

// ---------------------------------------------------------------- start-up

void KelRamPara::load()
{
    // Nothing else creates the folder of the mode files.
    QDir().mkpath(QString::fromStdString(PathMap::host(std::string("/data/modes"))));
    loadSavedArea();
    Sleeper::sleepMs(100);
    validateLanguageAtStart();
    forceStartFields();
    KelCropSourceInit();
    std::memcpy(RamShadow, RamBlock, sizeof RamShadow);
    loadAllSlots();
    setRegisterStartValues();
}

// Runs before any other thread exists, so it takes no file lock.
void KelRamPara::loadSavedArea()
{
    const char* path = RamDeviceFile::kPath;
    if (RamDeviceFile::exists()) {
        kelDebug("\n %s file exist \n", path);
        uint8_t marker[2];
        switch (RamDeviceFile::read(RamBlock, marker)) {
        case RamDeviceFile::Load::Loaded:
            return;
        case RamDeviceFile::Load::Unopenable:
            Sleeper::sleepMs(100);
            break;
        case RamDeviceFile::Load::BadMarker:
            kelDebug("\n ram_valid = %#x,%#x \n", marker[0], marker[1]);
            RamDeviceFile::remove();
            kelDebug("\n delete %s ,use the default para\n", path);
            Sleeper::sleepMs(100);
            break;
        }
    } else {
        kelDebug("\n %s file un exist \n", path);
    }
    // The defaults reach the block even when the file cannot be written.
    DefaultParaTable::copySavedAreaInto(RamBlock);
    RamDeviceFile::writeDefaults();
    runSync();
    Sleeper::sleepMs(100);
    uint8_t marker[2];
    RamDeviceFile::read(RamBlock, marker);
}

void KelRamPara::validateLanguageAtStart()
{
    g_language = RamBlock[RamLayout::kLcdLanguage];
    uint32_t offered = Utils::configValue(g_lcd_lang_valid);
    if ((offered & 0x1u) && (offered & (1u << 17))) {
        offered &= 0xFFFEu;
        Utils::setConfigValue(g_lcd_lang_valid, offered);
    }
    const int lang = OfferedLanguages::fallback(g_language, offered);
    if (lang >= 0) {
        RamBlock[RamLayout::kLcdLanguage] = static_cast<uint8_t>(lang);
        g_language = static_cast<uint8_t>(lang);
    }
}

void KelRamPara::forceStartFields()
{
    for (int w = 0; w < RamLayout::kWindows; ++w)
        RamBlock[RamLayout::imageRecord(w) + RamLayout::kImgFlags] &= static_cast<uint8_t>(~RamLayout::kFlagFreeze);
    setBlockU16(RamLayout::kLedScreenSwitch, 0);
    RamBlock[RamLayout::kUsermodeSaveReq + 1] = 0;
    setBlockU16(RamLayout::kTestPattern, 0);
    setBlockU16(RamLayout::kCurrentUserMode, 0);
    setBlockU16(RamLayout::kSpliceMode, 0);
    for (int k = 0; k < RamLayout::kValuePairCount; ++k) {
        RamBlock[RamLayout::kValuePairs + 4 * k] = 60;
        RamBlock[RamLayout::kValuePairs + 4 * k + 2] = 60;
    }
}

void KelRamPara::loadAllSlots()
{
    for (unsigned slot = 0; slot < RamLayout::kSlotCount; ++slot) {
        mode_file_deal(slot, 0);
        Sleeper::sleepUs(100);
    }
}

void KelRamPara::setRegisterStartValues()
{
    std::memset(LocalRegBank + RamLayout::kRegChipPresence, 0,
                RamLayout::kRegClearedAtStartEnd - RamLayout::kRegChipPresence + 1);
    LocalRegBank[37] = 0x80;
    LocalRegBank[38] = 0x1F;
    LocalRegBank[39] = 0x07;
}

// ---------------------------------------------------------- protocol writes

int KelRamPara::KelRamParaDeal(const uint8_t* data, uint16_t length, uint32_t address)
{
    // Written so that no sum can wrap.
    if (address > RamLayout::kBlockSize || length > RamLayout::kBlockSize - address)
        return 1;
    if (length == 0)
        return 0;
    std::memcpy(RamBlock + address, data, length);
    return 0;
}

int KelRamPara::KelModeUserRamParaDeal(const uint8_t* data, uint16_t length, uint32_t address)
{
    // Addresses with bits above 19 would alias a slot: refused like mode 0.
    const uint32_t mode = address >> 12;
    if (mode < 1 || mode > RamLayout::kSlotCount)
        return 1;
    const uint32_t offset = address & 0xFFF;
    if (offset + length > RamLayout::kSlotSize)
        return 1;
    if (length)
        std::memcpy(UserModeSlot[mode - 1] + offset, data, length);
    kelDebug("\n write ram_user_mode = %#x \n", mode);
    return 0;
}

void KelRamPara::snapshotBlock(uint8_t out[RamLayout::kBlockSize])
{
    pthread_mutex_t& para = ApplyGate::instance().c331_para_mutex;
    pthread_mutex_lock(&para);
    pthread_mutex_lock(&para_info_mutex);
    std::memcpy(out, RamBlock, RamLayout::kBlockSize);
    pthread_mutex_unlock(&para_info_mutex);
    pthread_mutex_unlock(&para);
}

// -------------------------------------------------------------- reset/save

void KelRamPara::ram_para_reset()
{
    // Each file step under the file lock, each sync and pause after it.
    bool written;
    {
        QMutexLocker locker(&Utils::_file_deal_mutex);
        DefaultParaTable::copySavedAreaInto(RamBlock);
        written = RamDeviceFile::writeDefaults();
    }
    if (written) {
        kelDebug("\n ready to write default para ramlist ");
        runSync();
        Sleeper::sleepMs(100);
    }
    uint8_t marker[2];
    bool opened;
    {
        QMutexLocker locker(&Utils::_file_deal_mutex);
        opened = RamDeviceFile::read(RamBlock, marker) != RamDeviceFile::Load::Unopenable;
    }
    if (opened) {
        runSync();
        Sleeper::sleepMs(100);
    }
    std::memcpy(RamShadow, RamBlock, sizeof RamShadow);
}

void KelRamPara::ram_para_save() { test_signal(SYNC_PARA); }

// -------------------------------------------------------------- mode files

int KelRamPara::mode_file_write(unsigned slot, int kind)
{
    if (slot >= RamLayout::kSlotCount)
        return 0;
    uint8_t* s = UserModeSlot[slot];
    ModeFile::Write result;
    {
        QMutexLocker locker(&Utils::_file_deal_mutex);
        result = ModeFile::write(slot, s, [&] {
            if (kind == 1)
                std::memcpy(s + RamLayout::kSlotDataBegin, RamBlock + RamLayout::kModeBegin, RamLayout::kModeSize);
            s[0] = s[1] = RamLayout::kMarkerSaved;
        });
    }
    if (result == ModeFile::Write::NotCreated)
        return 0;
    runSync();
    Sleeper::sleepMs(100);
    if (result != ModeFile::Write::Written)
        return 0;
    if (kind == 0) {
        const std::string cmd = ModeFile::copyOsdCommand(slot);
        kelDebug("\n %s \n", cmd.c_str());
        if (blockU16(RamLayout::kOsdEnable) == 1)
            Board::commands().system(cmd);
        else // an older copy would show an OSD this mode does not have
            Board::commands().system(ModeFile::removeOsdCopyCommand(slot));
    }
    runSync();
    Sleeper::sleepUs(100);
    return 1;
}

int KelRamPara::mode_file_deal(unsigned slot, int op)
{
    if (slot >= RamLayout::kSlotCount)
        return 0;
    uint8_t* s = UserModeSlot[slot];
    if (op == 1) {
        Board::commands().system(ModeFile::removeCommand(slot));
        Sleeper::sleepUs(100);
        if (RamLayout::u16(s, RamLayout::kSlotOsdEnable) == 1) {
            Board::commands().system(ModeFile::removeOsdCopyCommand(slot));
            RamLayout::setU16(s, RamLayout::kSlotOsdEnable, 0);
        }
        Sleeper::sleepUs(100);
        runSync();
        Sleeper::sleepUs(100);
    }
    ModeFile::Read got;
    {
        QMutexLocker locker(&Utils::_file_deal_mutex);
        got = ModeFile::read(slot, s);
    }
    if (got == ModeFile::Read::Loaded) {
        runSync();
        Sleeper::sleepMs(100);
        return 1;
    }
    if (got == ModeFile::Read::Unreadable) {
        // Marked neither saved nor deleted, so no later pass rewrites or
        // removes a file that may still hold the operator's mode.
        kel::platform::LogLine::error("mode file %s cannot be read; kept as it is\n", ModeFile::path(slot).c_str());
        s[0] = s[1] = 0;
        return 0;
    }
    s[0] = s[1] = RamLayout::kMarkerDeleted;
    return 0;
}

// -------------------------------------------------------------- broadcast

int KelRamPara::test_signal(int reason)
{
    // On the GUI thread a direct emission runs the change pass inside the
    // lock; from inside that pass (or a nested event loop it opened) the
    // announcement is delivered queued instead.
    if (t_emitting || SyncUpdate::inPass()) {
        QMetaObject::invokeMethod(this, [this, reason] { deliverQueued(reason); }, Qt::QueuedConnection);
        return 1;
    }
    emitLocked(reason);
    return 1;
}

void KelRamPara::emitLocked(int reason)
{
    // On the GUI thread the emission runs the change pass at once, with its
    // file write, sync and 100 ms pause: it holds no lock meanwhile, so a
    // link or manager thread that announces a change (a queued post under
    // the lock) never waits for a pass.
    const QCoreApplication* app = QCoreApplication::instance();
    if (app && QThread::currentThread() == app->thread()) {
        t_emitting = true;
        emit sig_update_para(reason);
        t_emitting = false;
        return;
    }
    QMutexLocker locker(&Utils::_test_signal_mutex);
    t_emitting = true;
    emit sig_update_para(reason);
    t_emitting = false;
}

void KelRamPara::deliverQueued(int reason)
{
    // Still inside a direct emission (a nested event loop of the pass):
    // this thread owns the lock already, taking it again would deadlock.
    if (t_emitting) {
        emit sig_update_para(reason);
        return;
    }
    emitLocked(reason);
}

// ------------------------------------------------------- windows and inputs

CropTable KelRamPara::crops() { return CropTable(RamBlock, g_cut_source_state); }

bool KelRamPara::windowEnabled(int w) const
{
    return w >= 0 && w < RamLayout::kWindows && (RamBlock[RamLayout::imageRecord(w) + RamLayout::kImgEnable] & 1);
}

int KelRamPara::imageSource(const uint8_t* data, int w, int view, short* is_crop, uint8_t* row)
{
    if (w < 0 || w >= RamLayout::kWindows) {
        if (is_crop)
            *is_crop = 0;
        return 0;
    }
    // A slot copy (view 1) begins with block byte 896.
    const size_t shift = view ? RamLayout::kModeBegin : 0;
    const uint16_t selector = RamLayout::u16(data, RamLayout::imageRecord(w) + RamLayout::kImgSelector - shift);
    const bool cropped = (selector & RamLayout::kSelectorCrop) != 0;
    if (is_crop)
        *is_crop = cropped ? 1 : 0;
    if (!cropped)
        return selector & 0xFF;
    const uint8_t r = static_cast<uint8_t>(selector & 0xFF);
    if (row)
        *row = r;
    // Rows past 39 still lie inside the block or slot; callers range-check
    // the source.
    return data[RamLayout::cropRow(r) - shift];
}

int KelRamPara::KelGetImageSource(const uint8_t* data, int w, short* is_crop, uint8_t* row, int view)
{
    return imageSource(data, w, view, is_crop, row);
}

int KelRamPara::KelGetSourceNum(int source, int n)
{
    if (n < 1)
        return 0;
    return crops().countRows(source, n);
}

void KelRamPara::toggleFlag(uint16_t flag, bool onlyWhenEnabled)
{
    const int w = g_image_current;
    if (w >= RamLayout::kWindows)
        return;
    const size_t at = RamLayout::imageRecord(w) + RamLayout::kImgFlags;
    const uint16_t flags = blockU16(at);
    if (flag == RamLayout::kFlagFreeze)
        kelDebug("\n set freeze : %s \n", (flags & flag) ? "normal" : "freeze ");
    const bool write = !onlyWhenEnabled || windowEnabled(w);
    ApplyGate::instance().apply([&] {
        if (write)
            setBlockU16(at, flags ^ flag);
    });
}

void KelRamPara::KelSetImageFreeze() { toggleFlag(RamLayout::kFlagFreeze, true); }

void KelRamPara::KelSetImageBlack() { toggleFlag(RamLayout::kFlagBlack, false); }

void KelRamPara::KelSetImageSource(int k, int source, int w)
{
    if (w < 0 || w >= RamLayout::kWindows || !CropTable::validSource(source))
        return;
    uint16_t selector = static_cast<uint16_t>(source);
    if (k != 0) {
        const int row = crops().rowOfCrop(source, k);
        // A crop that does not exist leaves the chosen input uncropped.
        if (row != CropTable::kNotFound)
            selector = static_cast<uint16_t>(RamLayout::kSelectorCrop | row);
    }
    ApplyGate::instance().apply([&] {
        setBlockU16(RamLayout::imageRecord(w) + RamLayout::kImgSelector, selector);
        if (blockU16(RamLayout::kCurrentUserMode) == shadowU16(RamLayout::kCurrentUserMode))
            setBlockU16(RamLayout::kCurrentUserMode, 0);
    });
}

int KelRamPara::KelSourceId_is_on(int device)
{
    for (int w = 0; w < RamLayout::kWindows; ++w) {
        if (!windowEnabled(w))
            continue;
        const int source = imageSource(RamBlock, w, 0, nullptr, nullptr);
        const int mapped = (source >= 1 && source <= 5) ? source : 0;
        kelDebug("\n KelSourceId_is_on  source_id = %d, dev_id1 = %d ,dev_id = %d\n", source, mapped, device);
        if (mapped == device)
            return 1;
    }
    return 0;
}

// ------------------------------------------------------------------- crops

void KelRamPara::KelCropSourceInit() { crops().rebuild(); }

int KelRamPara::KelGetCropID(int source, int k) { return crops().cropId(source, k); }

int KelRamPara::KelAddCropID(int source) { return crops().freeCropId(source); }

void KelRamPara::KelGetCropPara(int source, int k, CROP_PARA* para, int* row)
{
    const int r = crops().rowOfCrop(source, k);
    if (row)
        *row = r;
    if (r != CropTable::kNotFound && para)
        crops().readRow(r, para);
}

void KelRamPara::KelSetCropPara(int source, int k, const CROP_PARA* para)
{
    const int r = crops().rowOfCrop(source, k);
    if (r == CropTable::kNotFound || !para)
        return;
    // Applied like every other crop change: a window showing this crop is
    // reprogrammed and the row persisted by the change pass.
    ApplyGate::instance().apply([&] { crops().writeRect(r, para); });
}

int KelRamPara::KelAddNewCrop(int source, const CROP_PARA* para)
{
    constexpr int kRefused = 255;
    if (!CropTable::validSource(source) || !para)
        return kRefused;
    CropTable table = crops();
    const int c = table.freeCropId(source);
    const int row = table.freeRow();
    // Without a free crop number or a free row nothing is added.
    if (c == 0 || row == CropTable::kNotFound)
        return c != 0 ? c : kRefused;
    const uint16_t selector = static_cast<uint16_t>(RamLayout::kRowInUse | ((c - 1) & 0x7F) << 8 | source);
    ApplyGate::instance().apply([&] { table.writeRow(row, selector, para); });
    return 0;
}

void KelRamPara::KelDeleteCrop(int source, int k)
{
    const int r = crops().rowOfCrop(source, k);
    if (r == CropTable::kNotFound)
        return;
    // A window showing the crop would otherwise name a free row (or a crop
    // added there later): it shows the crop's input, uncropped, from the
    // same hand-off on.
    // A window names a row by bit 15 and the low byte alone (the scaler and
    // the pages ignore bits 8-14), so a selector written with those bits
    // set names the row too.
    ApplyGate::instance().apply([&] {
        crops().setSelector(r, 0);
        for (int w = 0; w < RamLayout::kWindows; ++w) {
            const size_t at = RamLayout::imageRecord(w) + RamLayout::kImgSelector;
            const uint16_t sel = blockU16(at);
            if ((sel & RamLayout::kSelectorCrop) && (sel & 0xFF) == r)
                setBlockU16(at, static_cast<uint16_t>(source));
        }
    });
}

// ------------------------------------------------- EDID, language, modes

void KelRamPara::KelSetEDIDPara(int source, uint16_t width, uint16_t height, uint16_t refresh)
{
    if (!CropTable::validSource(source))
        return;
    const size_t at = RamLayout::edidRecord(source);
    ApplyGate::instance().apply([&] {
        setBlockU16(at, width);
        setBlockU16(at + 2, height);
        setBlockU16(at + 4, refresh);
    });
}

int KelRamPara::KelLanguageChanged()
{
    const uint16_t word = blockU16(RamLayout::kLcdLanguage);
    if (word == shadowU16(RamLayout::kLcdLanguage))
        return 0;
    g_language = static_cast<uint8_t>(word & 0xFF);
    const int lang = OfferedLanguages::fallback(g_language, Utils::configValue(g_lcd_lang_valid));
    if (lang >= 0) {
        setBlockU16(RamLayout::kLcdLanguage, static_cast<uint16_t>(lang));
        g_language = static_cast<uint8_t>(lang);
    }
    return 1;
}

int KelRamPara::KelUserModeSaved(int slot)
{
    if (slot < 0 || slot >= static_cast<int>(RamLayout::kSlotCount))
        return 0;
    return UserModeSlot[slot][0] == RamLayout::kMarkerSaved && UserModeSlot[slot][1] == RamLayout::kMarkerSaved;
}

bool KelRamPara::recallUserMode(int slot, bool clearSaveRequest)
{
    if (!KelUserModeSaved(slot))
        return false;
    const uint8_t* copy = UserModeSlot[slot] + RamLayout::kSlotDataBegin;
    ApplyGate::instance().apply([&] {
        std::memcpy(RamBlock + RamLayout::kModeBegin, copy, RamLayout::kModeSize);
        setBlockU16(RamLayout::kCurrentUserMode, static_cast<uint16_t>(slot + 1));
        if (clearSaveRequest)
            setBlockU16(RamLayout::kUsermodeSaveReq, 0);
    });
    KelCropSourceInit();
    return true;
}

int KelRamPara::KelUserModeIndex(int current, int direction)
{
    constexpr int kNone = 256;
    static constexpr int kLast = RamLayout::kSlotCount - 1;
    auto firstUp = [this](int from, int to) {
        for (int i = std::max(from, 0); i <= std::min(to, kLast); ++i)
            if (KelUserModeSaved(i))
                return i;
        return -1;
    };
    auto firstDown = [this](int from, int to) {
        for (int i = std::min(from, kLast); i >= std::max(to, 0); --i)
            if (KelUserModeSaved(i))
                return i;
        return -1;
    };
    int found = -1;
    switch (direction) {
    case 2:
        if (current >= 0 && current <= kLast && KelUserModeSaved(current))
            return current;
        [[fallthrough]];
    case 1:
        found = firstUp(current + 1, kLast);
        if (found < 0)
            found = firstUp(0, current);
        break;
    case 0:
        found = firstDown(current - 1, 0);
        if (found < 0)
            found = firstDown(kLast, current);
        break;
    default:
        break;
    }
    return found < 0 ? kNone : found;
}

int KelRamPara::KelGetCurrentModeIndex()
{
    const uint8_t mode = RamBlock[RamLayout::kCurrentUserMode];
    return mode <= RamLayout::kSlotCount ? mode : 0;
}
