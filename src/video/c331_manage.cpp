#include "video/c331_manage.h"

#include "params/DebugPrint.h"
#include "params/RamLayout.h"
#include "params/SyncReason.h"
#include "params/global.h"
#include "platform/Board.h"
#include "platform/Sleeper.h"
#include "video/c331_regs.h"

#include <algorithm>
#include <chrono>
#include <cstring>

using namespace c331reg;

namespace {
constexpr int kFixedBrightness = 50;

// Colour-temperature gains, 8192 = 1.0: custom, warm, nature, cool.
constexpr uint16_t kGains[4][3] = {{0, 0, 0}, {8845, 8113, 7056}, {8192, 8192, 8192}, {6944, 8282, 10978}};
constexpr int kCustomGainUnit = 64;

// A chip that does not answer is asked again at this pace.
constexpr uint64_t kChipIdRetryUs = 100000;
constexpr uint64_t kLedWaitStepUs = 10;
constexpr uint64_t kLedWaitLimitUs = 3000000;
// On the device a pass pauses 1 us; on a development host an idle manager
// must cost next to nothing.
constexpr uint64_t kDevicePassUs = 1;
constexpr uint64_t kSimPassUs = 20000;
constexpr uint32_t kFontHeadSize = 35;
constexpr uint8_t kFontMark = 'P';
constexpr size_t kRegFonts = 43;

// type | blue << 8 | green << 16 | red << 24, the low byte of each word.
int packedColorTemp(const uint8_t* b)
{
    return int(uint32_t(b[RamLayout::kColortemp]) | uint32_t(b[RamLayout::kColortemp + 6]) << 8 | uint32_t(b[RamLayout::kColortemp + 4]) << 16
               | uint32_t(b[RamLayout::kColortemp + 2]) << 24);
}

struct FontHead { uint32_t addr; uint32_t fontBit; uint8_t regBits; };
// c331_font_bits and register 43 number the fonts differently.
constexpr FontHead kFontHeads[4] = {
    {0x010000, 0x1, 0x02},   // CN32
    {0x000000, 0x2, 0x01},   // EN32
    {0x450000, 0x4, 0xA8},   // CN64
    {0x410000, 0x8, 0x54},   // EN64
};
} // namespace

c331_manage* c331_manage::p_c331_manage = nullptr;

c331_manage::c331_manage(const c331_peers& peers)
    : c331_para_mutex(*peers.paraMutex), c331_apply_flag(*peers.applyFlag), peers_(peers), osd_(*this)
{
    if (peers_.fpgaDeselect)
        drv_.setFpgaDeselect(peers_.fpgaDeselect);
}

c331_manage::~c331_manage() { stop(); }

bool c331_manage::openDevice() { return drv_.open(); }

uint16_t c331_manage::u16(const uint8_t* block, size_t off) const { return RamLayout::u16(block, off); }

bool c331_manage::differs(size_t off, size_t len) const
{
    return std::memcmp(peers_.block + off, applied_.data() + off, len) != 0;
}

c331_osd::Screen c331_manage::screen() const
{
    const uint8_t* b = peers_.block;
    return {u16(b, RamLayout::kLedWidth), u16(b, RamLayout::kLedHeight), u16(b, RamLayout::kScreenXOffset)};
}

// ---------------------------------------------------------------- thread

bool c331_manage::start()
{
    stop_ = false;
    threadStarted_ = pthread_create(&thread_, nullptr, &c331_manage::c331manageThread, this) == 0;
    return threadStarted_;
}

void c331_manage::stop()
{
    stop_ = true;
    if (threadStarted_) {
        pthread_join(thread_, nullptr);
        threadStarted_ = false;
    }
}

void* c331_manage::c331manageThread(void* arg)
{
    auto* self = static_cast<c331_manage*>(arg);
    while (!self->stop_ && !self->waitChipReady(1000)) {
    }
    if (self->stop_)
        return nullptr;
    self->startUp();
    const uint64_t pause = kel::platform::Board::isSim() ? kSimPassUs : kDevicePassUs;
    while (!self->stop_) {
        self->runPass();
        kel::platform::Sleeper::sleepUs(pause);
    }
    return nullptr;
}

bool c331_manage::waitChipReady(int maxReads)
{
    int good = 0;
    for (int i = 0; i < maxReads && !stop_; ++i) {
        uint16_t id = 0;
        good = drv_.readReg(Sys, SYS_CHIP_ID, id) && id == kChipId ? good + 1 : 0;
        if (good == kChipIdGoodReads)
            return true;
        // The bank cache cannot be trusted while the chip does not answer.
        if (!good)
            drv_.invalidateBank();
        kel::platform::Sleeper::sleepUs(good ? 1000 : kChipIdRetryUs);
    }
    return false;
}

void c331_manage::startUp()
{
    drv_.writeReg(Sys, SYS_INIT, 1);
    pthread_mutex_lock(&c331_para_mutex);
    programPanel();
    programPicture();
    programWindows(true);
    std::memcpy(applied_.data(), peers_.block, applied_.size());
    const bool osdOn = u16(peers_.block, RamLayout::kOsdEnable) == 1;
    pthread_mutex_unlock(&c331_para_mutex);
    chipReady_ = true;
    read_c331_font(c331_dev_index);
    if (osdOn) {
        kelApi_OsdSet(0, 1);
        if (peers_.reloadOsdMenu)
            peers_.reloadOsdMenu();
    }
    programOsd();
}

void c331_manage::runPass()
{
    load_hdmi();
    check_input_port();
    if (c331_apply_flag.load())
        c331managerdeal();
    raisePendingRestart();
    programOsd();
}

// ---------------------------------------------------------------- inputs

void c331_manage::load_hdmi()
{
    if (!peers_.readInput)
        return;
    for (int k = 0; k < kInputs; ++k) {
        SourceHdmiInfo info;
        if (!peers_.readInput(k, info))
            continue;
        std::array<uint16_t, 6> words{};
        if (info.signal == 0) {
            const uint16_t flags = uint16_t(IN_FLAG_ACTIVE | (info.IP ? IN_FLAG_INTERLACED : 0)
                                            | (info.DATAMOD ? IN_FLAG_DDR : 0) | (info.TYPE ? IN_FLAG_VBYONE : 0)
                                            | ((info.Lanes & 0xF) << IN_FLAG_LANES_SHIFT));
            words = {uint16_t(info.Hact), uint16_t(info.Vact), uint16_t(info.Htotal), uint16_t(info.Vtotal),
                     uint16_t(info.pfreq * 100.0f + 0.5f), flags};
        }
        if (words != inputWords_[size_t(k)]
            && drv_.writeRegs(Input, uint8_t(IN_PORT_STRIDE * k), words.data(), words.size()))
            inputWords_[size_t(k)] = words;
    }
}

void c331_manage::check_input_port() { g_c331_source_online = 1; }

// ---------------------------------------------------------------- apply pass

void c331_manage::c331managerdeal()
{
    pthread_mutex_lock(&c331_para_mutex);
    if (!c331_apply_flag.load()) {
        pthread_mutex_unlock(&c331_para_mutex);
        return;
    }
    if (ledSizePending() && peers_.ledParaState && peers_.ledParaState() == 1) {
        // The FPGA side blanks the screen before the panel changes (about
        // 0.42 s). The links' writes and applies and the GUI thread's change
        // pass need this mutex: the wait runs without it, and the pass then
        // compares the block as it stands (a size written meanwhile is
        // programmed now).
        pthread_mutex_unlock(&c331_para_mutex);
        waitLedParaHandOver();
        pthread_mutex_lock(&c331_para_mutex);
    }
    const uint8_t flag = c331_apply_flag.load();
    applyPicture();
    if (differs(RamLayout::kLedScreenSwitch, 2) && peers_.requestFpgaOutput)
        peers_.requestFpgaOutput();
    applyEdids();
    applyAudio();
    applyOsdEnable();
    applyLedSize();
    programWindows(false);
    if (applied_[RamLayout::kTestPattern] != peers_.block[RamLayout::kTestPattern])
        c331_SetPattern(peers_.block[RamLayout::kTestPattern]);
    std::memcpy(applied_.data(), peers_.block, applied_.size());
    if (g_osd_update == 1) {
        g_osd_update = 0;
        if (peers_.reloadOsdMenu)
            peers_.reloadOsdMenu();
    }
    c331_apply_flag = 0;
    pthread_mutex_unlock(&c331_para_mutex);
    if (peers_.testSignal)
        peers_.testSignal(flag == 2 ? SYNC_USER_MODE : SYNC_PARA);
}

void c331_manage::applyPicture()
{
    const uint8_t* b = peers_.block;
    if (differs(RamLayout::kQualityContrast, 2))
        c331_SetContrast(u16(b, RamLayout::kQualityContrast));
    if (differs(RamLayout::kQualitySharpness, 2))
        c331_SetSharpness(u16(b, RamLayout::kQualitySharpness));
    if (differs(RamLayout::kQualitySaturation, 2))
        c331_SetSaturation(u16(b, RamLayout::kQualitySaturation));
    if (differs(RamLayout::kQualityBright, 2)) {
        c331_SetBrightness(kFixedBrightness);
        if (peers_.requestFpgaBrightness)
            peers_.requestFpgaBrightness();
    }
    if (differs(RamLayout::kColortemp, 8))
        c331_SetColorTemp(packedColorTemp(b));
}

void c331_manage::applyEdids()
{
    for (int k = 0; k < kInputs; ++k) {
        const bool changed = differs(RamLayout::edidRecord(k), RamLayout::kEdidRecordSize);
        if (changed || (peers_.edidUploadPending && peers_.edidUploadPending(k)))
            edidPending_ |= uint8_t(1u << k);
    }
}

void c331_manage::raisePendingRestart()
{
    // One input per pass, lowest first, until every changed one had its turn.
    for (int k = 0; k < kInputs; ++k) {
        if (edidPending_ & (1u << k)) {
            edidPending_ &= uint8_t(~(1u << k));
            if (peers_.restartInput)
                peers_.restartInput(k);
            return;
        }
    }
}

int c331_manage::audioSource(const uint8_t* block) const
{
    int w = u16(block, RamLayout::kAudioImageIndex);
    if (w >= kWindows)
        w = 0;
    return windowWords(block, w)[1];
}

void c331_manage::applyAudio()
{
    bool changed = audioSource(peers_.block) != audioSource(applied_.data());
    for (int w = 0; w < kWindows && !changed; ++w) {
        const size_t rec = RamLayout::imageRecord(w);
        changed = peers_.block[rec + RamLayout::kImgVolume] != applied_[rec + RamLayout::kImgVolume]
            || ((peers_.block[rec + RamLayout::kImgAudio] ^ applied_[rec + RamLayout::kImgAudio]) & RamLayout::kImgAudioOn);
    }
    if (changed && peers_.requestAudioRoute)
        peers_.requestAudioRoute();
}

void c331_manage::applyOsdEnable()
{
    if (!differs(RamLayout::kOsdEnable, 2))
        return;
    const uint16_t on = u16(peers_.block, RamLayout::kOsdEnable);
    kelApi_OsdSet(0, on);
    if (on)
        g_osd_update = 1;
}

// ---------------------------------------------------------------- LED size

bool c331_manage::ledSizePending() const
{
    return differs(RamLayout::kSpliceMode, 6) || differs(RamLayout::kOch0Window + 4, 4);
}

void c331_manage::applyLedSize()
{
    if (!ledSizePending())
        return;
    programPanel();
    if (peers_.ledParaReprogrammed)
        peers_.ledParaReprogrammed();
}

void c331_manage::waitLedParaHandOver()
{
    if (!peers_.ledParaState)
        return;
    // The FPGA side blanks the screen first and then clears the word. It
    // may be absent or busy with an upgrade: the wait ends after a bounded
    // time, or at once on a stop (the FPGA side may have stopped already).
    // The caller holds no lock.
    // Sleeps are counted at their nominal length (so a test's instant sleeps
    // end the wait too); a real 10 us sleep lasts several times that, so the
    // clock bounds the wait as well.
    const uint64_t step = std::max(kLedWaitStepUs, kel::platform::Sleeper::minimumUs());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::microseconds(kLedWaitLimitUs);
    for (uint64_t waited = 0; peers_.ledParaState() == 1; waited += step) {
        if (stop_ || kel::platform::Sleeper::stopping())
            return;
        if (waited >= kLedWaitLimitUs || std::chrono::steady_clock::now() >= deadline) {
            kelDebug("c331: LED size hand-over not cleared by the FPGA side, reprogramming anyway\n");
            return;
        }
        kel::platform::Sleeper::sleepUs(kLedWaitStepUs);
    }
}

void c331_manage::programPanel()
{
    const uint8_t* b = peers_.block;
    const uint16_t panel[3] = {u16(b, RamLayout::kLedWidth), u16(b, RamLayout::kLedHeight),
                               u16(b, RamLayout::kSpliceMode)};
    uint16_t ch0[4], ch1[4];
    for (int i = 0; i < 4; ++i) {
        ch0[i] = u16(b, RamLayout::kOch0Window + 2 * size_t(i));
        ch1[i] = u16(b, RamLayout::kOch1Window + 2 * size_t(i));
    }
    drv_.writeRegs(Output, OUT_PANEL_W, panel, 3);
    drv_.writeRegs(Output, OUT_CH0, ch0, 4);
    drv_.writeRegs(Output, OUT_CH1, ch1, 4);
    drv_.writeReg(Output, OUT_APPLY, 1);
    if (peers_.panelProgrammed)
        peers_.panelProgrammed();
}

// ---------------------------------------------------------------- picture

void c331_manage::programPicture()
{
    const uint8_t* b = peers_.block;
    c331_SetContrast(u16(b, RamLayout::kQualityContrast));
    c331_SetSharpness(u16(b, RamLayout::kQualitySharpness));
    c331_SetSaturation(u16(b, RamLayout::kQualitySaturation));
    c331_SetBrightness(kFixedBrightness);
    c331_SetColorTemp(packedColorTemp(b));
}

void c331_manage::c331_SetContrast(int value) { drv_.writeReg(Picture, PIC_CONTRAST, uint16_t(value & 0xFF)); }
void c331_manage::c331_SetSharpness(int value) { drv_.writeReg(Picture, PIC_SHARPNESS, uint16_t(value & 0xFF)); }
void c331_manage::c331_SetSaturation(int value) { drv_.writeReg(Picture, PIC_SATURATION, uint16_t(value & 0xFF)); }
void c331_manage::c331_SetBrightness(int value) { drv_.writeReg(Picture, PIC_BRIGHTNESS, uint16_t(value & 0xFF)); }

void c331_manage::c331_SetColorTemp(int packed)
{
    const uint32_t p = uint32_t(packed);
    const int type = int(p & 3);
    uint16_t gains[3] = {kGains[type][0], kGains[type][1], kGains[type][2]};
    if (type == 0) {
        gains[0] = uint16_t(((p >> 24) & 0xFF) * kCustomGainUnit);
        gains[1] = uint16_t(((p >> 16) & 0xFF) * kCustomGainUnit);
        gains[2] = uint16_t(((p >> 8) & 0xFF) * kCustomGainUnit);
    }
    drv_.writeRegs(Picture, PIC_GAIN_R, gains, 3);
}

int c331_manage::c331_SetPattern(int pattern)
{
    if (windowCount_ > 1)
        return -1;
    drv_.writeReg(Picture, PIC_PATTERN, uint16_t(pattern));
    return 0;
}

// ---------------------------------------------------------------- windows

std::array<uint16_t, WIN_WORDS> c331_manage::windowWords(const uint8_t* b, int w) const
{
    const size_t rec = RamLayout::imageRecord(w);
    const uint16_t selector = u16(b, rec + RamLayout::kImgSelector);
    uint16_t source = selector & 0xFF;
    uint16_t crop[4] = {0, 0, 0, 0};
    if ((selector & RamLayout::kSelectorCrop) && (selector & 0xFF) < RamLayout::kCropRows) {
        const size_t row = RamLayout::cropRow(selector & 0xFF);
        source = u16(b, row) & 0xFF;
        for (int i = 0; i < 4; ++i)
            crop[i] = u16(b, row + 2 + 2 * size_t(i));
    }
    const uint16_t flags = u16(b, rec + RamLayout::kImgFlags);
    const uint16_t winFlags = uint16_t((flags & RamLayout::kFlagBlack ? WIN_FLAG_BLACK : 0)
                                       | (flags & RamLayout::kFlagFreeze ? WIN_FLAG_FREEZE : 0)
                                       | (flags & RamLayout::kFlagFadeSwitch ? WIN_FLAG_FADE : 0));
    const size_t fade = RamLayout::kWindowFades + 4 * size_t(w);
    return {uint16_t(b[rec + RamLayout::kImgEnable] & 1), source, crop[0], crop[1], crop[2], crop[3],
            u16(b, rec + RamLayout::kImgX), u16(b, rec + RamLayout::kImgY), u16(b, rec + RamLayout::kImgW),
            u16(b, rec + RamLayout::kImgH), uint16_t(u16(b, rec + RamLayout::kImgMirror) & 3), winFlags,
            uint16_t(b[rec + RamLayout::kImgFlags + 1]), u16(b, rec + RamLayout::kImgP2pMode), u16(b, fade),
            u16(b, fade + 2)};
}

int c331_manage::kelApi_MultiWinChAlloc(int count)
{
    windowCount_ = count;
    return drv_.writeReg(Window, WIN_COUNT, uint16_t(count)) ? 0 : -1;
}

void c331_manage::programWindows(bool all)
{
    bool changed = all;
    int enabled = 0;
    for (int w = 0; w < kWindows; ++w) {
        const auto now = windowWords(peers_.block, w);
        enabled += now[0];
        if (all || now != windowWords(applied_.data(), w)) {
            drv_.writeRegs(Window, uint8_t(WIN_STRIDE * w + WIN_ENABLE), now.data(), now.size());
            changed = true;
        }
    }
    if (all || differs(RamLayout::kSwitchEffect, 2) || differs(RamLayout::kP2pSwitch, 2)) {
        drv_.writeReg(Window, WIN_SWITCH_EFFECT, u16(peers_.block, RamLayout::kSwitchEffect));
        drv_.writeReg(Window, WIN_P2P_SWITCH, u16(peers_.block, RamLayout::kP2pSwitch));
        changed = true;
    }
    if (!changed)
        return;
    if (all || enabled != windowCount_)
        kelApi_MultiWinChAlloc(enabled);
    drv_.writeReg(Window, WIN_COMMIT, 1);
}

// ---------------------------------------------------------------- OSD

int c331_manage::kelApi_OsdSet(int type, int value) { return osd_.set(type, value, screen()); }

int c331_manage::kelApi_OsdSetUnicode(int count, int lengths[], uint32_t lines[][kLineChars])
{
    osd_.setText(count, lengths, lines);
    return 0;
}

void c331_manage::load_char() { osd_.loadChar(); }

void c331_manage::programOsd()
{
    if (!chipReady_ || !osd_.takeDirty())
        return;
    const auto props = osd_.propertyWords();
    const auto lines = osd_.lineWords();
    const auto fonts = osd_.fontWords();
    const auto text = osd_.textWords();
    const uint16_t origin = 0;
    drv_.writeRegs(Osd, 0, props.data(), props.size());
    drv_.writeRegs(Osd, OSD_LINE_X, lines.data(), lines.size());
    drv_.writeRegs(Osd, OSD_FONT_LAYOUT, fonts.data(), fonts.size());
    drv_.writeRegs(OsdText, TEXT_ADDR, &origin, 1);
    drv_.writeRegs(OsdText, TEXT_DATA, text.data(), text.size());
    drv_.writeReg(Osd, OSD_COMMIT, 1);
}

// ---------------------------------------------------------------- fonts and flash

int c331_manage::read_c331_font(int dev)
{
    (void)dev;
    int result = 0;
    for (const FontHead& f : kFontHeads) {
        uint8_t head[kFontHeadSize] = {};
        const bool read = drv_.flashRead(f.addr, head, sizeof head);
        const bool present = read && head[0] == kFontMark;
        if (!read)
            result = -1;
        if (present) {
            c331_font_bits.fetch_or(f.fontBit);
        } else {
            c331_font_bits.fetch_and(~f.fontBit);
        }
        if (peers_.regBank) {
            uint8_t& reg = peers_.regBank[kRegFonts];
            reg = present ? uint8_t(reg | f.regBits) : uint8_t(reg & ~f.regBits);
        }
    }
    return result;
}

int c331_manage::update_font(int dev)
{
    (void)dev;
    const auto fonts = osd_.fonts();
    bool ok = true;
    for (int i = 0; i < c331_osd::kFonts; ++i) {
        const uint16_t words[6] = {uint16_t(i), uint16_t(fonts[size_t(i)].addr >> 16),
                                   uint16_t(fonts[size_t(i)].addr), uint16_t(fonts[size_t(i)].size >> 16),
                                   uint16_t(fonts[size_t(i)].size), 1};
        ok = drv_.writeRegs(Flash, FONT_SEL, words, 6) && ok;
    }
    return ok ? 0 : -1;
}

int c331_manage::erase_flash(int dev, int sector, int count, char kind)
{
    (void)dev;
    const uint8_t cmd = kind == 0 ? SF_ERASE_4K : kind == 1 ? SF_ERASE_32K : SF_ERASE_64K;
    const uint32_t unit = kind == 0 ? 0x1000 : kind == 1 ? 0x8000 : 0x10000;
    if (sector < 0 || count < 0)
        return -1;
    // Each unit erases the aligned block around its address.
    const uint64_t first = (uint64_t(sector) * 0x1000) & ~uint64_t(unit - 1);
    if (first + uint64_t(count) * unit > SF_SIZE)
        return -1;
    for (int i = 0; i < count; ++i)
        if (!drv_.flashErase(uint32_t(sector) * 0x1000 + uint32_t(i) * unit, cmd))
            return -1;
    return 0;
}

int c331_manage::write_flash(int dev, int addr, int len, char* buf)
{
    (void)dev;
    if (addr < 0 || len < 0 || (len > 0 && !buf) || uint64_t(addr) + uint64_t(len) > SF_SIZE)
        return -1;
    const auto* data = reinterpret_cast<const uint8_t*>(buf);
    for (int done = 0; done < len;) {
        const uint32_t at = uint32_t(addr + done);
        const int n = std::min(len - done, int(SF_PAGE - at % SF_PAGE));
        if (!drv_.flashProgramPage(at, data + done, size_t(n)))
            return -1;
        done += n;
    }
    // Programming only clears bits: a byte that did not take shows an
    // area that was not erased first.
    std::vector<uint8_t> back(size_t(len), 0);
    if (!drv_.flashRead(uint32_t(addr), back.data(), back.size()) || !std::equal(back.begin(), back.end(), data)) {
        kelDebug("c331: serial flash write at 0x%x did not verify\n", addr);
        return -1;
    }
    return 0;
}
