#pragma once
#include "params/OsdTarget.h"
#include "video/c331_drv.h"
#include "video/c331_osd.h"
#include "video/c331_peers.h"
#include "video/c331_regs.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <pthread.h>

// The scaler chip manager: one thread that brings the chip up, programs the
// input ports from the receivers' timings on every pass, and applies each
// change of the parameter block handed over through c331_para_mutex and
// c331_apply_flag. It is also the OSD target of the menu programming, and
// owns the chip's fonts in its serial flash.
class c331_manage : public OsdTarget {
public:
    static constexpr int kChipIdGoodReads = 5;
    static constexpr int kWindows = 6;
    static constexpr int kInputs = 6;

    static c331_manage* p_c331_manage;
    // First call: creates the manager on the parameter store and the
    // neighbours, opens the chip and starts c331manageThread.
    static c331_manage* pInstance();

    explicit c331_manage(const c331_peers& peers);
    ~c331_manage() override;
    c331_manage(const c331_manage&) = delete;
    c331_manage& operator=(const c331_manage&) = delete;

    // The hand-off, under the names the writers use.
    pthread_mutex_t& c331_para_mutex;
    std::atomic<uint8_t>& c331_apply_flag;
    std::atomic<uint32_t> c331_font_bits{0};
    int c331_dev_index = 0;

    bool openDevice();
    bool start();   // starts the thread
    void stop();    // ends it after its current pass and waits
    static void* c331manageThread(void* arg);

    // ---- the thread's steps (tests drive them one by one) ----
    // Reads the chip ID until five consecutive good answers; false after
    // maxReads reads or a stop.
    bool waitChipReady(int maxReads);
    // Full programming from the block, fonts, and the OSD when it is on.
    void startUp();
    // Input pass, apply pass when the flag is set, one pending EDID
    // restart, OSD programming when it changed.
    void runPass();
    void load_hdmi();
    void check_input_port();
    void c331managerdeal();

    // ---- operations other parts call ----
    void c331_SetColorTemp(int packed);
    int c331_SetPattern(int pattern);
    void c331_SetContrast(int value);
    void c331_SetSharpness(int value);
    void c331_SetSaturation(int value);
    void c331_SetBrightness(int value);
    int kelApi_MultiWinChAlloc(int count);

    int kelApi_OsdSet(int type, int value) override;
    int kelApi_OsdSetUnicode(int count, int lengths[], uint32_t lines[][kLineChars]) override;
    void load_char() override;
    const c331_osd& osd() const { return osd_; }

    // 0 done, -1 the flash did not answer or a byte did not take.
    int read_c331_font(int dev);
    int update_font(int dev);
    int erase_flash(int dev, int sector, int count, char kind);
    int write_flash(int dev, int addr, int len, char* buf);
    // Gives the USB-stick upgrade the flash and font operations of the
    // manager in p_c331_manage at the time of each call.
    static void install_upgrade_services();

    int windowCount() const { return windowCount_; }
    bool chipReady() const { return chipReady_; }

private:
    uint16_t u16(const uint8_t* block, size_t off) const;
    bool differs(size_t off, size_t len) const;
    void programPanel();
    void programPicture();
    void programWindows(bool all);
    void programOsd();
    void applyPicture();
    void applyEdids();
    void applyAudio();
    void applyOsdEnable();
    bool ledSizePending() const;
    void applyLedSize();
    void raisePendingRestart();
    // Waits, with no lock held, while the FPGA side blanks for a new size.
    void waitLedParaHandOver();
    int audioSource(const uint8_t* block) const;
    std::array<uint16_t, c331reg::WIN_WORDS> windowWords(const uint8_t* block, int w) const;
    c331_osd::Screen screen() const;

    c331_peers peers_;
    c331_drv drv_;
    c331_osd osd_;
    // What the chip was last programmed with: the apply pass compares the
    // block with this copy, never with RamShadow, which the persistence pass
    // may overwrite before a change is applied.
    std::array<uint8_t, 4096> applied_{};
    std::array<std::array<uint16_t, 6>, kInputs> inputWords_{};
    uint8_t edidPending_ = 0;
    bool reloadOsd_ = false;
    std::atomic<int> windowCount_{0};
    std::atomic<bool> chipReady_{false};
    std::atomic<bool> stop_{false};
    pthread_t thread_{};
    bool threadStarted_ = false;
};
