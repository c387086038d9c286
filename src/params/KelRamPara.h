#pragma once
#include "params/CropTable.h"
#include "params/RamLayout.h"
#include "params/SyncReason.h"

#include <QObject>

#include <cstdint>
#include <pthread.h>

// The parameter store: the live block, its shadow (as last persisted and
// applied), the sixteen user-mode slots and the local register bank, with
// the stored file /data/ram_device_info, the user-mode files under
// /data/modes and the change broadcast.
class KelRamPara : public QObject {
    Q_OBJECT
public:
    static KelRamPara* p_kelrampara_config;
    // First call: creates the store and runs the start-up load.
    static KelRamPara* pInstance();

    // Clears src_video_info in block and shadow and registers 32..36; the
    // rest starts zero. load() is the start-up load of pInstance.
    explicit KelRamPara(QObject* parent = nullptr);
    ~KelRamPara() override;
    void load();

    // ---- members, in this order ----
    pthread_mutex_t para_info_mutex;   // held by the input side while it writes src_video_info
    uint8_t RamBlock[RamLayout::kBlockSize];
    uint8_t RamShadow[RamLayout::kBlockSize];
    uint8_t UserModeSlot[RamLayout::kSlotCount][RamLayout::kSlotSize];
    uint8_t LocalRegBank[RamLayout::kRegBankSize];

    // ---- protocol writes: 0 done, 1 refused (nothing changed) ----
    int KelRamParaDeal(const uint8_t* data, uint16_t length, uint32_t address);
    // address 0x1000 * m + offset, m = mode 1..16.
    int KelModeUserRamParaDeal(const uint8_t* data, uint16_t length, uint32_t address);

    // Rewrites the file from the defaults, reloads the saved area and copies
    // the block into the shadow. Announces nothing and forces no start-up
    // field; since the shadow equals the block afterwards, the scaler
    // manager sees no difference: a caller that wants the reset applied
    // must tell the scaler side itself.
    void ram_para_reset();
    // Announces SYNC_PARA; the change pass persists.
    void ram_para_save();
    // kind 0: save request (slot already filled; copies omenu.json when the
    // OSD is on), 1: copy the block's mode area first, 2: store the slot as
    // it is. 1 written, 0 not written.
    int mode_file_write(unsigned slot, int kind);
    // op 1: delete the mode's files, then load; any other op: load.
    // 1 loaded, 0 not loaded (the slot is then marked 0xFF 0xFF).
    int mode_file_deal(unsigned slot, int op);

    // ---- change broadcast ----
    // Emits sig_update_para(reason): from another thread a queued post under
    // Utils::_test_signal_mutex, on the GUI thread the change pass at once,
    // with no lock held. Never call it while holding another lock. A call from inside the change pass
    // on the GUI thread is delivered queued instead. Returns 1.
    int test_signal(int reason);

    // ---- windows and inputs ----
    // data: block byte 0 (view 0) or slot byte 2 (view 1). Returns the
    // source_id; is_crop 0/1 and row (crop row) when the selector names a
    // crop. A window above 5 gives 0.
    int KelGetImageSource(const uint8_t* data, int w, short* is_crop, uint8_t* row, int view);
    // The same without a store (is_crop and row may be null).
    static int imageSource(const uint8_t* data, int w, int view, short* is_crop, uint8_t* row);
    int KelGetSourceNum(int source, int n);
    void KelSetImageFreeze();
    void KelSetImageBlack();
    // k: crop ordinal (0 = uncropped). An unknown crop leaves the input
    // uncropped; a window or source out of range changes nothing.
    void KelSetImageSource(int k, int source, int w);
    // 1 if an enabled window shows the input of this device id.
    int KelSourceId_is_on(int device);

    // ---- crops ----
    void KelCropSourceInit();
    int KelGetCropID(int source, int k);
    int KelAddCropID(int source);
    // row = 40 when not found (para untouched).
    void KelGetCropPara(int source, int k, CROP_PARA* para, int* row);
    // Rewrites the rectangle of the k-th crop through the hand-off.
    void KelSetCropPara(int source, int k, const CROP_PARA* para);
    // 0 added; else non-zero (nothing changed). The caller rebuilds the
    // bitmap with KelCropSourceInit afterwards.
    int KelAddNewCrop(int source, const CROP_PARA* para);
    // Frees the k-th crop's row; windows showing it show its input
    // uncropped, in the same hand-off. The caller rebuilds the bitmap.
    void KelDeleteCrop(int source, int k);

    // ---- EDID, language, user modes ----
    void KelSetEDIDPara(int source, uint16_t width, uint16_t height, uint16_t refresh);
    // 0 if lcd_language equals the shadow's word, else 1 (after fixing it).
    int KelLanguageChanged();
    int KelUserModeSaved(int slot);
    // direction 0 previous, 1 next, 2 this or next; 256 when none.
    int KelUserModeIndex(int current, int direction);
    int KelGetCurrentModeIndex();
    // Recalls a saved mode: in one hand-off copies the slot into the mode
    // area, sets current_user_mode to slot + 1 and, when asked, clears
    // usermode_save_req; then rebuilds the crop bitmap from the recalled
    // table. false (nothing changed) for a slot that is not saved.
    bool recallUserMode(int slot, bool clearSaveRequest);

    // ---- field access ----
    uint16_t blockU16(size_t off) const { return RamLayout::u16(RamBlock, off); }
    void setBlockU16(size_t off, uint16_t v) { RamLayout::setU16(RamBlock, off, v); }
    uint16_t shadowU16(size_t off) const { return RamLayout::u16(RamShadow, off); }
    // A copy of the whole block taken under the locks that its writers on
    // other threads hold (the scaler's parameter lock, then para_info_mutex).
    void snapshotBlock(uint8_t out[RamLayout::kBlockSize]);

signals:
    void sig_update_para(int reason);

private:
    void loadSavedArea();
    void validateLanguageAtStart();
    void forceStartFields();
    void loadAllSlots();
    void setRegisterStartValues();
    CropTable crops();
    bool windowEnabled(int w) const;
    void toggleFlag(uint16_t flag, bool onlyWhenEnabled);
    void emitLocked(int reason);
    void deliverQueued(int reason);
};
