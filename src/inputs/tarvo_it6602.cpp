#include "inputs/tarvo_it6602.h"

#include "inputs/Drv_I2C0.h"
#include "inputs/It6602Tables.h"
#include "inputs/RegBankBits.h"
#include "inputs/tarvosource.h"
#include "params/DebugPrint.h"
#include "params/KelRamPara.h"
#include "params/RamLayout.h"
#include "params/SyncReason.h"
#include "params/Utils.h"
#include "params/global.h"

#include <QMutexLocker>

#include <algorithm>
#include <cassert>
#include <cstring>

namespace {

constexpr uint8_t kChipId[4] = {0x54, 0x49, 0x02, 0x68};
constexpr uint8_t kAddrFirst = 0x90;
constexpr uint8_t kAddrSecond = 0x94;
// chip_presence register 37 bit of inputs 0..3.
constexpr uint8_t kPresenceBit[4] = {0x01, 0x04, 0x08, 0x10};
constexpr uint16_t kSyncCheckTimer = 101;
constexpr uint16_t kAudioReadyTimer = 201;
constexpr uint16_t kAudioRecheckTimer = 151;
constexpr uint8_t kSyncWaitLimit = 21;
// The oscillator count (scaled by 1/100) taken when the chip's own is off.
constexpr uint32_t kOscNominal = 48696;
constexpr uint32_t kOscTolerance = 24348;

Drv_I2C0& bus() { return *Drv_I2C0::pInstance(); }

} // namespace

const char* const tarvo_it6602::VStateStr[14] = {
    "VSTATE_Off", "VSTATE_TerminationOff", "VSTATE_TerminationOn", "VSTATE_5VOff", "VSTATE_SyncWait",
    "VSTATE_SWReset", "VSTATE_SyncChecking", "VSTATE_HDCPSet", "VSTATE_HDCP_Reset", "VSTATE_ModeDetecting",
    "VSTATE_VideoOn", "VSTATE_ColorDetectReset", "VSTATE_HDMI_OFF", "VSTATE_Reserved"};
const char* const tarvo_it6602::AStateStr[6] = {"ASTATE_AudioOff", "ASTATE_RequestAudio", "ASTATE_ResetAudio",
                                                "ASTATE_WaitForReady", "ASTATE_AudioOn", "ASTATE_Reserved"};

// ---- register access -----------------------------------------------------------

uint8_t tarvo_it6602::hdmirxrd_it6602(int fd, uint8_t reg)
{
    // A failed read acts on nothing: 0, never a stale staging byte.
    uint8_t v = 0;
    if (!bus().i2c_read(fd, chip_addr, reg, &v, 1))
        v = 0;
    return v;
}

int tarvo_it6602::hdmirxwr_it6602(int fd, uint8_t reg, uint8_t value)
{
    return bus().i2c_write(fd, chip_addr, reg, &value, 1) == 1 ? 0 : 1;
}

int tarvo_it6602::hdmirxset_it6602(int fd, uint8_t reg, uint8_t mask, uint8_t value)
{
    const uint8_t old = hdmirxrd_it6602(fd, reg);
    return hdmirxwr_it6602(fd, reg, static_cast<uint8_t>((old & ~mask) | (value & mask)));
}

int tarvo_it6602::hdmirxbwr_it6602(int fd, uint8_t reg, uint8_t n, const uint8_t* data)
{
    if (n == 0)
        return 0;
    return bus().i2c_write(fd, chip_addr, reg, data, n) == 1 ? 0 : 1;
}

void tarvo_it6602::chgbank_it6602(int fd, uint8_t bank)
{
    hdmirxset_it6602(fd, 0x0F, 0x03, bank & 3);
}

void tarvo_it6602::hdimrx_write_init_it6602(int fd, const IT6602_REG_INI* table)
{
    for (const IT6602_REG_INI* row = table; row->reg != 0xFF; ++row)
        hdmirxset_it6602(fd, row->reg, row->mask, row->value);
}

void tarvo_it6602::delay1ms(unsigned ms) { (void)ms; }

// ---- bring-up ------------------------------------------------------------------------

int tarvo_it6602::IT6602_fsm_init(int input)
{
    cur_ = clampInput(input);
    const int found = IT6602_Identify_Chip(cur_);
    IT6602_Rst(cur_);
    return found;
}

int tarvo_it6602::IT6602_fsm_init_1(int input)
{
    cur_ = clampInput(input);
    set(0xC0, 0x03, 0x03);
    IT6602PortSelect(0);
    return 0;
}

void tarvo_it6602::IT6602_fsm(int input)
{
    cur_ = clampInput(input);
    IT6602HDMIInterruptHandler();
    IT6602VideoHandler();
    IT6602AudioHandler();
    for (uint8_t port = 0; port < 2; ++port)
        if (dev().EQPort[port].ucIsActive)
            HDMIAdjustEQ(port);
    IT6602HDMIEventManager();
}

int tarvo_it6602::IT6602_Identify_Chip(int input)
{
    for (uint8_t addr : {kAddrFirst, kAddrSecond}) {
        chip_addr = addr;
        bool same = true;
        for (uint8_t r = 0; r < 4 && same; ++r)
            same = rd(r) == kChipId[r];
        if (same) {
            kelDebug("OK , Find IT6602 Chip I2C Addr %X !!!\n", addr);
            RegBankBits::set(RegBankBits::kPresence0, kPresenceBit[input]);
            return 1;
        }
        kelDebug("I2C Addr %X Error: Can not find IT6602 Chip !!!\n", addr);
        RegBankBits::clear(RegBankBits::kPresence0, kPresenceBit[input]);
        // Kept at its top rather than wrapping to a count that looks healthy.
        if (IT6602_fail_count[input] < 255)
            ++IT6602_fail_count[input];
    }
    return 0;
}

void tarvo_it6602::hdmirx_Var_init()
{
    dev() = IT6602_dev_data{};
    // States no switch starts from, so the following switches take effect.
    dev().m_VState = VSTATE_Reserved;
    dev().m_AState = ASTATE_Reserved;
    dev().m_ucCurrentHDMIPort = 255;
}

void tarvo_it6602::IT6602_Rst(int input)
{
    (void)input;
    hdmirx_Var_init();
    hdimrx_write_init_it6602(i2c_fd, It6602Tables::IT6602_HDMI_INIT_TABLE);
    Cal_oclk();
    IT6602SwitchVideoState(VSTATE_SWReset);
    IT6602SwitchAudioState(ASTATE_AudioOff);
}

void tarvo_it6602::Cal_oclk()
{
    const uint32_t count = CP_OCLK();
    if (!OSCvalueCompare(count))
        kelDebug("IT6602 oscillator count %u out of range, nominal used\n", count);
}

uint32_t tarvo_it6602::CP_OCLK()
{
    bank(0);
    wr(0x73, 0x05);
    bank(1);
    wr(0x57, 0x12);
    wr(0x57, 0x02);
    wr(0x56, 0x01);
    wr(0x50, 0x00);
    wr(0x51, 0x00);
    wr(0x53, 0x04);
    const uint8_t a = rd(0x61), b = rd(0x61), c = rd(0x61);
    uint32_t count = a;
    const bool marker = a == 2 && b == 2 && c == 2;
    if (marker || ((a & c) == 0xFF && b == 0)) {
        wr(0x50, marker ? 1 : 3);
        wr(0x51, 0x60);
        wr(0x53, 0x04);
        const uint32_t lo = rd(0x61), mid = rd(0x61), hi = rd(0x61);
        count = lo | (mid << 8) | (hi << 16);
    }
    bank(0);
    wr(0x73, 0x00);
    return count;
}

bool tarvo_it6602::OSCvalueCompare(uint32_t count)
{
    const int64_t scaled = count / 100;
    return scaled != 0 && std::llabs(scaled - int64_t(kOscNominal)) <= kOscTolerance;
}

void tarvo_it6602::IT6602PortSelect(uint8_t port)
{
    set(0x51, 0x01, 0x00);
    dev().m_ucCurrentHDMIPort = 0;
    if (port != 0) {
        // Port 1 is never selected on this board; kept for completeness.
        IT6602SwitchVideoState(VSTATE_SyncWait);
        dev().m_ucCurrentHDMIPort = port;
        dev().m_ucAviId[0] = dev().m_ucAviId[1] = 0;
    }
}

void tarvo_it6602::IT6602HPDCtrl(uint8_t port, uint8_t level)
{
    if (port != 0)
        return;
    const bool plus5v = rd(0x0A) & 0x01;
    bank(1);
    set(0xB0, 0x03, plus5v ? (level ? 3 : 1) : 0);
    bank(0);
}

// ---- video state machine ----------------------------------------------------------

void tarvo_it6602::IT6602SwitchVideoState(uint8_t state)
{
    if (dev().m_VState == state)
        return;
    dev().m_VState = state;
    kelDebug("IT6602[%d] %s\n", cur_, VStateStr[std::min<int>(state, VSTATE_Reserved)]);
    switch (state) {
    case VSTATE_Off:
        IT6602HPDCtrl(0, 0);
        IT6602HPDCtrl(1, 0);
        break;
    case VSTATE_SyncWait:
        IT6602VideoOutputEnable(false);
        dev().m_ucFlags &= ~kFlagNewAvi;
        dev().m_ucDe3DDone = 0;
        wr(0x6A, 0x82);
        break;
    case VSTATE_SWReset:
        IT6602VideoOutputEnable(false);
        IT6602_AFE_Rst();
        IT6602HPDCtrl(0, rd(0x0A) & 0x01);
        IT6602HPDCtrl(1, rd(0x0B) & 0x01);
        break;
    case VSTATE_SyncChecking:
        dev().m_VideoCountingTimer = kSyncCheckTimer;
        wr(0x6A, 0x82);
        break;
    case VSTATE_VideoOn:
        publishVideoOn();
        break;
    default:
        break;
    }
}

void tarvo_it6602::publishVideoOn()
{
    IT6602VideoOutputConfigure();
    IT6602VideoOutputEnable(true);
    IT6602SwitchAudioState(ASTATE_RequestAudio);
    get_vid_info();
    // The registers are read before the record's lock: the scaler thread
    // reads the records under it.
    const float pfreq = measurePfreq();
    {
        QMutexLocker l(&Utils::_source_hdminfo_mutex);
        owner_.hdminfo[cur_].signal = 0;
        it6602_Get_Hdmi(pfreq);
        owner_.hdminfo[cur_].stable = 1;
    }
    kelDebug("\t VSTATE_VideoOn %d stable=1\n", cur_);
    KelRamPara* store = KelRamPara::p_kelrampara_config;
    if (g_source_online == 2) {
        it6602_update_vid_info();
        emitInputInfo();
    } else {
        g_source_online = 1;
        // An input on screen is published by the board manager's delayed
        // update, once the LED side and the scaler are up.
        if (!store || !store->KelSourceId_is_on(cur_)) {
            it6602_update_vid_info();
            emitInputInfo();
        }
    }
    wr(0x84, 0x8F);
    wr(0x6A, 0x81);
    dev().m_ucSCDTOffCount = 0;
}

void tarvo_it6602::IT6602VideoOutputEnable(bool on)
{
    if (on) {
        set(0x64, 0x80, 0x80);
        set(0x64, 0x80, 0x00);
        set(0x53, 0x0F, 0x00);
        return;
    }
    set(0x53, 0x0F, 0x0F);
    if (KelRamPara* store = KelRamPara::p_kelrampara_config) {
        pthread_mutex_lock(&store->para_info_mutex);
        std::memset(store->RamBlock + RamLayout::srcVideoInfo(cur_), 0, RamLayout::kSrcVideoInfoSize);
        pthread_mutex_unlock(&store->para_info_mutex);
    }
    {
        QMutexLocker l(&Utils::_source_hdminfo_mutex);
        owner_.hdminfo[cur_].signal = 1;
        it6602_Get_Hdmi(owner_.hdminfo[cur_].pfreq);
    }
    emitInputInfo();
}

void tarvo_it6602::emitInputInfo()
{
    if (KelRamPara* store = KelRamPara::p_kelrampara_config)
        store->test_signal(SYNC_INPUT_INFO);
}

void tarvo_it6602::IT6602VideoHandler()
{
    IT6602_dev_data& d = dev();
    if (d.m_VideoCountingTimer >= kSyncCheckTimer) {
        d.m_VideoCountingTimer -= 100;
    } else {
        d.m_VideoCountingTimer = 0;
        if (d.m_VState == VSTATE_SyncChecking) {
            IT6602SwitchVideoState(VSTATE_VideoOn);
            return;
        }
    }
    if (d.m_VState == VSTATE_SyncWait)
        WaitingForSCDT();
    if (d.m_VState == VSTATE_VideoOn) {
        if (d.m_ucFlags & kFlagNewAvi) {
            IT6602VideoOutputConfigure();
            d.m_ucFlags &= ~kFlagNewAvi;
        }
        if ((rd(0x53) & 0x80) && !d.m_ucOutputOff && !CheckAVMute())
            IT6602_SetVideoMute(false);
    }
}

void tarvo_it6602::WaitingForSCDT()
{
    const uint8_t st0 = rd(0x0A), st1 = rd(0x0B);
    const uint8_t port = rd(0x51) & 0x01;
    IPLLOvw_chk(port);
    if (st0 & 0x80) {
        IT6602SwitchVideoState(VSTATE_SyncChecking);
        return;
    }
    if (dev().EQPort[port].ucIsActive)
        return;
    const uint8_t st = port ? st1 : st0;
    if ((st & 0x09) == 0x09 && ++dev().m_ucSCDTOffCount > kSyncWaitLimit) {
        dev().m_ucSCDTOffCount = 0;
        hdmirx_ECCTimingOut(port);
        DisableOverWriteRS(port);
        TMDSCheck(port);
    }
}

void tarvo_it6602::IT6602_SetVideoMute(bool on)
{
    if (on) {
        set(0x53, 0xC0, 0xC0);
        set(0x52, 0x20, 0x20);
        set(0x53, 0x0E, 0x00);
        return;
    }
    if (dev().m_VState != VSTATE_VideoOn)
        return;
    set(0x53, 0x0F, 0x00);
    if (CheckAVMute()) {
        set(0x52, 0x20, 0x20);
        return;
    }
    set(0x64, 0x80, 0x80);
    set(0x64, 0x80, 0x00);
    set(0x53, 0x0E, 0x0E);
    set(0x53, 0x0E, 0x00);
    set(0x53, 0xC0, 0xC0);
    set(0x53, 0xC0, 0x40);
}

bool tarvo_it6602::CheckAVMute()
{
    // The source's AV mute as the chip reports it: register 0xA8 bit 0.
    return rd(0xA8) & 0x01;
}

void tarvo_it6602::IT6602_AFE_Rst()
{
    const uint8_t port = dev().m_ucCurrentHDMIPort == 1 ? 1 : 0;
    const uint8_t reg = port ? 0x18 : 0x11;
    set(reg, 0x01, 0x01);
    set(reg, 0x01, 0x00);
    DisableOverWriteRS(port);
}

// ---- audio -------------------------------------------------------------------------------

void tarvo_it6602::IT6602SwitchAudioState(uint8_t state)
{
    IT6602_dev_data& d = dev();
    if (d.m_AState == state)
        return;
    d.m_AState = state;
    kelDebug("%s\n", AStateStr[std::min<int>(state, ASTATE_Reserved)]);
    switch (state) {
    case ASTATE_AudioOff:
        set(0x10, 0x02, 0x02);
        SetAudioOutput(false);
        break;
    case ASTATE_RequestAudio:
        SetAudioOutput(false);
        break;
    case ASTATE_WaitForReady:
        set(0x7D, 0x10, 0x10);
        set(0x7D, 0x10, 0x00);
        d.m_AudioCountingTimer = kAudioReadyTimer;
        break;
    case ASTATE_AudioOn:
        SetAudioOutput(true);
        kelDebug("Audio on: flag %02X channels %02X rate %02X\n", d.m_RxAudioCaps.AudioFlag,
                 d.m_RxAudioCaps.AudSrcEnable, d.m_RxAudioCaps.SampleFreq);
        break;
    default:
        break;
    }
}

void tarvo_it6602::SetAudioOutput(bool on)
{
    set(0x52, 0x1F, on ? 0x00 : 0x1F);
}

void tarvo_it6602::IT6602AudioHandler()
{
    IT6602_dev_data& d = dev();
    d.m_AudioCountingTimer = d.m_AudioCountingTimer > 100 ? d.m_AudioCountingTimer - 100 : 0;
    switch (d.m_AState) {
    case ASTATE_WaitForReady:
        if (d.m_AudioCountingTimer == 0)
            IT6602SwitchAudioState(ASTATE_AudioOn);
        break;
    case ASTATE_AudioOn:
        if (d.m_AudioCountingTimer == 0) {
            d.m_AudioCountingTimer = kAudioRecheckTimer;
            AUDIO_CAPS now;
            getHDMIRXInputAudio(&now);
            if (now.AudioFlag != d.m_RxAudioCaps.AudioFlag || now.AudSrcEnable != d.m_RxAudioCaps.AudSrcEnable ||
                now.SampleFreq != d.m_RxAudioCaps.SampleFreq)
                IT6602SwitchAudioState(ASTATE_RequestAudio);
        }
        break;
    case ASTATE_RequestAudio:
        getHDMIRXInputAudio(&d.m_RxAudioCaps);
        if (!(d.m_RxAudioCaps.AudioFlag & 0x80))
            break;
        set(0x54, 0x70, 0x10);
        if (d.m_RxAudioCaps.AudioFlag & 0x40) {
            kelDebug("+++++++++++ B_CAP_HBR_AUDIO +++++++++++++++++\n");
            set(0x54, 0x70, 0x00);
        } else if (!(d.m_RxAudioCaps.AudioFlag & 0x20)) {
            set(0x7D, 0x10, 0x00);
        }
        set(0x7D, 0x20, 0x20);
        hdmirx_ResetAudio();
        IT6602SwitchAudioState(ASTATE_WaitForReady);
        break;
    default:
        break;
    }
}

void tarvo_it6602::getHDMIRXInputAudio(AUDIO_CAPS* caps)
{
    caps->SampleFreq = rd(0xAE) & 0x0F;
    const uint8_t aa = rd(0xAA);
    caps->AudioFlag = aa & 0xF0;
    if (!(aa & 0x60) && !(rd(0xAB) & 0x01))
        caps->AudioFlag |= 0x01;
    caps->AudSrcEnable = (aa | rd(0xAA)) & 0x0F;
}

void tarvo_it6602::hdmirx_ResetAudio()
{
    set(0x10, 0x02, 0x02);
    set(0x10, 0x02, 0x00);
    const uint8_t v = rd(0x7B);
    for (int i = 0; i < 4; ++i)
        wr(0x7B, v);
}

// ---- measurement -------------------------------------------------------------------------

uint32_t tarvo_it6602::pixelClockMHz(uint8_t reg9A)
{
    return reg9A ? 31620u / reg9A / 10u : 0u;
}

float tarvo_it6602::oscillatorEstimate(uint32_t scaledCount, uint8_t reg9A)
{
    // A float division by zero gives inf, not a trap: guard it here.
    if (reg9A == 0)
        return 0.0f;
    const float pfreq = scaledCount / 400.0f * 255.0f / reg9A / 10.0f;
    assert(pfreq == pfreq && pfreq < 1e9f);
    return pfreq;
}

uint32_t tarvo_it6602::portTmdsClock(uint8_t port)
{
    const uint8_t mode = port ? (rd(0x90) >> 2) & 3 : rd(0x90) & 3;
    const uint8_t count = rd(port ? 0x92 : 0x91);
    const uint32_t numerator = (mode & 1) ? 12288 : (mode & 2) ? 3072 : 6144;
    return count ? numerator / count : 0;
}

void tarvo_it6602::get_vid_info()
{
    it6602_vid_info& v = vid_[cur_];
    v.PCLK = pixelClockMHz(rd(0x9A));
    tmds_clock[cur_] = portTmdsClock(rd(0x51) & 0x01) * 1000;
    v.HActive = static_cast<uint16_t>((rd(0x9F) & 0x3F) << 8 | rd(0x9E));
    v.HTotal = static_cast<uint16_t>((rd(0x9D) & 0x3F) << 8 | rd(0x9C));
    const uint8_t a1 = rd(0xA1);
    v.HFrontPorch = static_cast<uint16_t>(((a1 >> 4) & 0x0F) << 8 | rd(0xA2));
    v.HSyncWidth = static_cast<uint16_t>((a1 & 0x01) << 8 | rd(0xA0));
    const uint8_t a4 = rd(0xA4);
    v.VActive = static_cast<uint16_t>(((a4 >> 4) & 0x0F) << 8 | rd(0xA5));
    v.VTotal = static_cast<uint16_t>((a4 & 0x0F) << 8 | rd(0xA3));
    v.VFrontPorch = rd(0xA7) & 0x3F;
    v.VSyncWidth = rd(0xA6) & 0x1F;
    // Registers read mid-change can leave no room for a back porch.
    v.HBackPorch = static_cast<uint16_t>(std::max(0, v.HTotal - v.HActive - v.HFrontPorch - v.HSyncWidth));
    v.VBackPorch = static_cast<uint16_t>(std::max(0, v.VTotal - v.VFrontPorch - v.VSyncWidth - v.VActive));
    const uint8_t a8 = rd(0xA8);
    v.flags = static_cast<uint8_t>(((rd(0x99) >> 1) & 0x01) | ((a8 & 0x08) ? 0x02 : 0) | ((a8 & 0x04) ? 0x04 : 0));
    kelDebug("IT6602[%d] %ux%u total %ux%u pclk %u MHz flags %X\n", cur_, v.HActive, v.VActive, v.HTotal,
             v.VTotal, v.PCLK, v.flags);
}

float tarvo_it6602::measurePfreq()
{
    const uint32_t count = CP_OCLK();
    const uint32_t scaled = OSCvalueCompare(count) ? count / 100 : kOscNominal;
    float pfreq = oscillatorEstimate(scaled, rd(0x9A));
    // The audio CTS equals the TMDS clock in kHz for 48 kHz audio (N 6144).
    set(0x77, 0x01, 0x01);
    bank(2);
    rd(0xC0);
    rd(0xBF);
    rd(0xBE);
    const uint32_t v = (uint32_t(rd(0xC1)) << 12) + uint32_t(rd(0xC2)) * 16 + (rd(0xC0) >> 4);
    bank(0);
    if (v != 0)
        pfreq = v / 1000.0f;
    return pfreq;
}

void tarvo_it6602::it6602_Get_Hdmi(float pfreq)
{
    SourceHdmiInfo& h = owner_.hdminfo[cur_];
    h.pfreq = pfreq;
    if (h.signal == 1) {
        const float keep = h.pfreq;
        const uint32_t signal = h.signal, stable = h.stable;
        h = SourceHdmiInfo{};
        h.pfreq = keep;
        h.signal = signal;
        h.stable = stable;
        return;
    }
    const it6602_vid_info& v = vid_[cur_];
    h.Hact = v.HActive;
    h.Hsync = v.HSyncWidth;
    h.Hback = v.HBackPorch;
    h.Hpol = (v.flags >> 2) & 1;
    h.Htotal = v.HTotal;
    h.Vact = v.VActive;
    h.Vsync = v.VSyncWidth;
    h.Vback = v.VBackPorch;
    h.Vpol = (v.flags >> 1) & 1;
    h.Vtotal = v.VTotal;
    h.IP = v.flags & 1;
    h.TYPE = h.DATAMOD = h.Lanes = 0;
    kelDebug(" hdminfo[%d].pfreq:%f\n", cur_, static_cast<double>(h.pfreq));
    kelDebug("\t Hact   :%d\n\t Htotal :%d\n\t Vact   :%d\n\t Vtotal :%d\n\t signal :%s\n", h.Hact, h.Htotal, h.Vact,
             h.Vtotal, h.signal ? "No Signal" : "Normal");
}

void tarvo_it6602::it6602_update_vid_info()
{
    KelRamPara* store = KelRamPara::p_kelrampara_config;
    if (!store)
        return;
    const it6602_vid_info& v = vid_[cur_];
    const uint8_t hz = tarvosource::stored_refresh(tarvosource::it6602_refresh(v.PCLK, v.HTotal, v.VTotal));
    pthread_mutex_lock(&store->para_info_mutex);
    uint8_t* rec = store->RamBlock + RamLayout::srcVideoInfo(cur_);
    RamLayout::setU16(rec, 0, v.HActive);
    RamLayout::setU16(rec, 2, v.VActive);
    rec[4] = hz;
    rec[5] = 0;
    pthread_mutex_unlock(&store->para_info_mutex);
}

tarvo_it6602::VideoRecord tarvo_it6602::video(int input) const
{
    const it6602_vid_info& v = vid_[clampInput(input)];
    VideoRecord r;
    r.width = v.HActive;
    r.height = v.VActive;
    r.htotal = v.HTotal;
    r.vtotal = v.VTotal;
    r.pclkMHz = v.PCLK;
    return r;
}

// ---- interrupt service -----------------------------------------------------------------

namespace {

constexpr uint8_t kEccLimit = 23;
constexpr uint8_t kWaitPasses = 3;
constexpr uint8_t kEqIdle = 255;
constexpr uint8_t kEqGiveUp = 155;
constexpr uint8_t kEqFinish = 156;
constexpr uint8_t kAmpAllValid = 0x3F;
constexpr uint8_t kMaxPolarityToggles = 16;
// Event flag bits of a port (shifted by 4 for port 1).
constexpr uint8_t kEvWait = 0x01;
constexpr uint8_t kEvTmdsCheck = 0x02;
constexpr uint8_t kEvEqStart = 0x04;

uint8_t ev(uint8_t port, uint8_t bit) { return static_cast<uint8_t>(bit << (port ? 4 : 0)); }

uint8_t saturatingInc(uint8_t& v) { return v = v < 255 ? v + 1 : 255; }

} // namespace

bool tarvo_it6602::portHasClock(uint8_t port)
{
    return rd(port ? 0x0B : 0x0A) & 0x08;
}

void tarvo_it6602::IT6602HDMIInterruptHandler()
{
    if (dev().m_VState == VSTATE_Off)
        return;
    uint8_t st[5];
    for (uint8_t i = 0; i < 5; ++i)
        st[i] = rd(static_cast<uint8_t>(0x05 + i));
    const uint8_t rD0 = rd(0xD0);
    // Writing back what was read clears exactly those latches.
    for (uint8_t i = 0; i < 5; ++i)
        wr(static_cast<uint8_t>(0x05 + i), st[i]);
    wr(0xD0, rD0 & 0x0F);
    servicePort(0, st[0]);
    servicePort(1, st[1]);
    serviceCommon(st[2], st[3], st[4], rD0);
}

void tarvo_it6602::servicePort(uint8_t port, uint8_t st)
{
    IT6602_dev_data& d = dev();
    const uint8_t wait = ev(port, kEvWait), check = ev(port, kEvTmdsCheck);
    if (st & 0x80)
        d.m_ucEccCount[port] = 0;
    if ((st & 0x40) && saturatingInc(d.m_ucEccCount[port]) >= kEccLimit && !d.EQPort[port].ucIsActive) {
        hdmirx_ECCTimingOut(port);
        d.m_ucEccCount[port] = 0;
    }
    if ((st & 0x20) && portHasClock(port))
        hdmirx_INT_HDMIMode_Chg(port);
    if (st & 0x08) {
        d.m_ucEccCount[port] = 0;
        if (d.m_bEQValueInUse[port]) {
            if (d.m_ucEventFlags & check)
                ++d.m_ucWaitCount[port];
        } else if (!(d.m_ucEventFlags & wait)) {
            wr(port ? 0x3A : 0x22, 0x00);
            d.m_ucEventFlags |= wait | check;
            d.m_ucWaitCount[port] = kWaitPasses;
        } else if (d.m_ucEventFlags & check) {
            ++d.m_ucWaitCount[port];
        }
    }
    if ((st & 0x10) && !d.m_bEQValueInUse[port]) {
        d.m_ucEventFlags &= ~wait;
        d.m_ucWaitCount[port] = 0;
        d.m_ucEventFlags |= check;
    }
    if ((st & 0x04) && !(rd(0x0C) & (port ? 0x80 : 0x40))) {
        bank(1);
        set(port ? 0xC1 : 0xB1, 0x60, 0x00);
        bank(0);
        d.m_ucIPLLCheck = 0;
    }
    if (st & 0x02) {
        d.m_ucEccCount[port] = 0;
        d.m_ucDeskewCount[port] = 0;
        // Port 1 waits out a pending clock-change wait before its check.
        if (port == 1 && (d.m_ucEventFlags & wait))
            d.m_ucWaitCount[port] = kWaitPasses;
        else if (portHasClock(port))
            TMDSCheck(port);
    }
    if (st & 0x01)
        hdmirx_INT_5V_Pwr_Chg(port);
}

void tarvo_it6602::serviceCommon(uint8_t r07, uint8_t r08, uint8_t r09, uint8_t rD0)
{
    IT6602_dev_data& d = dev();
    if (r07 & 0x80)
        aud_fiforst();
    if (r07 & 0x20)
        IT6602_SetVideoMute(false);
    if (r07 & 0x10)
        IT6602_SetVideoMute(true);
    if (r07 & 0x02)
        hdmirx_INT_SCDT_Chg();
    if ((r07 & 0x01) && !(rd(0x0A) & 0x40) && chip_addr == kAddrSecond) {
        bank(1);
        set(0xB6, 0x07, 0x03);
        set(0xB1, 0x20, 0x00);
        set(0xB2, 0x07, 0x04);
        bank(0);
    }
    if ((r08 & 0x04) && !d.m_ucDe3DDone) {
        d.m_ucDe3DDone = 1;
        IT6602_DE3DFrame();
    }
    if (r09 & 0x40) {
        wr(0x09, chip_addr == kAddrSecond ? 0x20 : 0x40);
        if (saturatingInc(d.m_ucDeskewCount[1]) >= kEccLimit && !d.EQPort[1].ucIsActive)
            toggleDeskew(0x38);
    }
    if (r09 & 0x20) {
        wr(0x09, 0x20);
        if (saturatingInc(d.m_ucDeskewCount[0]) >= kEccLimit && !d.EQPort[0].ucIsActive)
            toggleDeskew(0x20);
    }
    if (r09 & 0x01) {
        bank(2);
        const uint8_t id0 = rd(0x14), id1 = rd(0x15);
        bank(0);
        if (id0 != d.m_ucAviId[0] || id1 != d.m_ucAviId[1])
            d.m_ucFlags |= kFlagNewAvi;
        d.m_ucAviId[0] = id0;
        d.m_ucAviId[1] = id1;
    }
    if (rD0 & 0x10) {
        wr(0xD0, 0x30);
        AmpValidCheck(0);
        HDMIStartEQDetect(0);
        if (rD0 & 0x20) {
            wr(0xD0, 0x20);
            hdmirx_INT_EQ_FAIL(0);
        }
    } else if (rD0 & 0x20) {
        wr(0xD0, 0x20);
        hdmirx_INT_EQ_FAIL(0);
    }
    if (rD0 & 0x40) {
        wr(0xD0, 0xC0);
        AmpValidCheck(1);
    }
    if (rD0 & 0x80) {
        wr(0xD0, 0x80);
        hdmirx_INT_EQ_FAIL(1);
    }
}

void tarvo_it6602::toggleDeskew(uint8_t reg)
{
    wr(reg, rd(reg) ? 0x00 : 0x3F);
}

void tarvo_it6602::IT6602_DE3DFrame()
{
    // The scaler path does not use 3D frame packing: the InfoFrame is only
    // checked and reported.
    bank(2);
    const bool packing = rd(0x24) == 0x81 && rd(0x28) == 3 && rd(0x29) == 12 && rd(0x2A) == 0;
    bank(0);
    if (packing)
        kelDebug("\nIT653x - HDMI_DumpDE3DFrameInfo:\n");
}

void tarvo_it6602::hdmirx_INT_5V_Pwr_Chg(uint8_t port)
{
    bank(1);
    set(0xB1, 0x60, 0x00);
    set(0xC1, 0x60, 0x00);
    bank(0);
    dev().m_ucIPLLCheck = 0;
    // A +5 V change ends any equaliser search of the port.
    dev().EQPort[port] = IT6602_eq_data{};
    const bool plus5v = rd(port ? 0x0B : 0x0A) & 0x01;
    if (port == (rd(0x51) & 0x01)) {
        if (plus5v) {
            IT6602SwitchVideoState(VSTATE_SyncWait);
            IT6602HPDCtrl(port, 1);
        } else {
            IT6602HPDCtrl(port, 0);
            IT6602SwitchVideoState(VSTATE_SWReset);
        }
    } else if (!plus5v) {
        DisableOverWriteRS(port);
        IT6602HPDCtrl(port, 0);
    } else {
        IT6602HPDCtrl(port, 1);
    }
}

void tarvo_it6602::hdmirx_INT_HDMIMode_Chg(uint8_t port)
{
    if (port != (rd(0x51) & 0x01))
        return;
    IT6602_dev_data& d = dev();
    if (!(rd(port ? 0x0B : 0x0A) & 0x02)) {
        IT6602SwitchAudioState(ASTATE_AudioOff);
        d.m_ucFlags &= ~kFlagHdmi;
        if (d.m_VState == VSTATE_VideoOn)
            IT6602VideoOutputConfigure();
    } else {
        d.m_ucFlags |= kFlagHdmi;
        if (d.m_VState == VSTATE_VideoOn)
            IT6602SwitchAudioState(ASTATE_RequestAudio);
    }
}

void tarvo_it6602::hdmirx_INT_SCDT_Chg()
{
    const uint8_t port = dev().m_ucCurrentHDMIPort == 1 ? 1 : 0;
    if (rd(port ? 0x0B : 0x0A) & 0x80) {
        IT6602SwitchVideoState(VSTATE_SyncChecking);
    } else {
        IT6602SwitchVideoState(VSTATE_SyncWait);
        IT6602SwitchAudioState(ASTATE_AudioOff);
    }
}

void tarvo_it6602::hdmirx_ECCTimingOut(uint8_t port)
{
    const uint8_t reg = port ? 0x18 : 0x11;
    IT6602HPDCtrl(port, 0);
    set(reg, 0x0F, 0x0F);
    set(reg, 0x0F, 0x00);
    IT6602HPDCtrl(port, 1);
}

void tarvo_it6602::TMDSCheck(uint8_t port)
{
    const uint32_t mhz = portTmdsClock(port);
    tmds_clock[cur_] = mhz * 1000;
    const uint8_t tuned = mhz >= 35 && mhz <= 160 ? 0x3F : 0x00;
    if (chip_addr == kAddrSecond) {
        if (port == 0) {
            bank(1);
            set(0xB1, 0x20, 0x00);
            set(0xB2, 0x07, 0x04);
            bank(0);
        }
        wr(port ? 0x38 : 0x20, tuned);
    }
    dev().m_ucEventFlags &= ~ev(port, kEvTmdsCheck);
    dev().m_ucEventFlags |= ev(port, kEvWait) | ev(port, kEvEqStart);
    dev().m_ucWaitCount[port] = kWaitPasses;
}

void tarvo_it6602::DisableOverWriteRS(uint8_t port)
{
    IT6602_dev_data& d = dev();
    d.m_bEQValueInUse[port] = 0;
    d.m_ucAmpValid[port] = 0;
    wr(port ? 0x3A : 0x22, 0x00);
    set(port ? 0x3E : 0x26, 0x20, 0x00);
    d.EQPort[port] = IT6602_eq_data{};
    d.m_ucEventFlags &= ~ev(port, kEvWait | kEvTmdsCheck | kEvEqStart);
    d.m_ucWaitCount[port] = 0;
    d.m_ucEccCount[port] = 0;
    d.m_ucDeskewCount[port] = 0;
}

void tarvo_it6602::IPLLOvw_chk(uint8_t port)
{
    const uint8_t reg1 = port ? 0xC1 : 0xB1;
    if (!(rd(0x0C) & (port ? 0x80 : 0x40))) {
        bank(1);
        set(reg1, 0x60, 0x00);
        bank(0);
        return;
    }
    kelDebug("IPLL check %x \n", dev().m_ucIPLLCheck);
    if (++dev().m_ucIPLLCheck < 16)
        return;
    dev().m_ucIPLLCheck = 0;
    const uint8_t mode = port ? (rd(0x90) >> 2) & 3 : rd(0x90) & 3;
    uint8_t count = rd(port ? 0x92 : 0x91);
    count = (mode & 1) ? count / 2 : (mode & 2) ? count / 4 : count;
    const bool sync = rd(port ? 0x0B : 0x0A) & 0x80;
    if (count < 28 && !(rd(0x4E) & (port ? 0x80 : 0x40)) && !sync) {
        kelDebug("OverWrite IPLL/OPLL \n");
        bank(1);
        set(0xB2, 0x05, 0x04);
        set(reg1, 0xE0, 0xE0);
        bank(0);
    }
}

void tarvo_it6602::IT6602_ManualVideoTristate(bool on)
{
    if (on) {
        set(0x53, 0xC0, 0xC0);
        set(0x52, 0x20, 0x20);
        set(0x53, 0x0E, 0x00);
        return;
    }
    set(0x53, 0x01, 0x00);
    set(0x53, 0x0E, 0x00);
    set(0x53, 0x0E, 0x0E);
    set(0x53, 0x0E, 0x00);
    set(0x53, 0xC0, 0xC0);
    set(0x53, 0xC0, 0x40);
}

void tarvo_it6602::IT6602_HDCP_ContentOff(uint8_t port, bool off)
{
    IT6602_dev_data& d = dev();
    if (port != (d.m_ucCurrentHDMIPort == 1 ? 1 : 0))
        return;
    if (off) {
        IT6602_ManualVideoTristate(true);
        d.m_ucOutputOff = 1;
        return;
    }
    if (d.m_VState == VSTATE_VideoOn && d.m_ucOutputOff)
        IT6602_ManualVideoTristate(false);
    d.m_ucOutputOff = 0;
}

void tarvo_it6602::aud_fiforst()
{
    set(0x74, 0x0C, 0x0C);
    set(0x74, 0x0C, 0x00);
    set(0x10, 0x02, 0x02);
    set(0x10, 0x02, 0x00);
    const uint8_t v = rd(0x7B);
    for (int i = 0; i < 4; ++i)
        wr(0x7B, v);
}

void tarvo_it6602::IT6602HDMIEventManager()
{
    IT6602_dev_data& d = dev();
    for (uint8_t port = 0; port < 2; ++port) {
        if (d.m_ucEventFlags & ev(port, kEvWait)) {
            if (d.m_ucWaitCount[port] > 0)
                --d.m_ucWaitCount[port];
            if (d.m_ucWaitCount[port] == 0)
                d.m_ucEventFlags &= ~ev(port, kEvWait);
        } else if (d.m_ucEventFlags & ev(port, kEvTmdsCheck)) {
            if (portHasClock(port))
                TMDSCheck(port);
        } else if (d.m_ucEventFlags & ev(port, kEvEqStart)) {
            if (portHasClock(port)) {
                d.m_ucEventFlags &= ~ev(port, kEvEqStart);
                HDMIStartEQDetect(port);
            }
        }
    }
}

// ---- equaliser --------------------------------------------------------------------------

void tarvo_it6602::AmpValidCheck(uint8_t port)
{
    IT6602_dev_data& d = dev();
    bank(1);
    const uint8_t status = rd(port ? 0xD8 : 0xD0);
    const uint8_t first = port ? 0xDD : 0xD5;
    for (uint8_t i = 0; i < 3; ++i)
        d.m_ucAmpValue[port][i] = rd(static_cast<uint8_t>(first + i));
    bank(0);
    d.m_ucAmpValid[port] |= status & kAmpAllValid;
}

void tarvo_it6602::HDMIStartEQDetect(uint8_t port)
{
    IT6602_eq_data& eq = dev().EQPort[port];
    if (eq.ucEQState != kEqIdle)
        return;
    eq = IT6602_eq_data{};
    eq.ucPortID = port;
    eq.ucEQState = port == (rd(0x51) & 0x01) ? 0 : 21;
    eq.ucIsActive = 1;
    HDMIAdjustEQ(port);
}

void tarvo_it6602::HDMISetEQValue(uint8_t port, uint8_t index)
{
    if (index > 2)
        return;  // releases the register: nothing is written
    set(port ? 0x3E : 0x26, 0x20, 0x20);
    wr(port ? 0x3F : 0x27, It6602Tables::IT6602EQTable[index]);
    dev().m_bEQValueInUse[port] = 1;
}

void tarvo_it6602::HDMISwitchEQstate(uint8_t port, uint8_t state)
{
    IT6602_eq_data& eq = dev().EQPort[port];
    eq.ucEQState = state;
    switch (state) {
    case 30: HDMISetEQValue(port, 0); break;
    case 60: HDMISetEQValue(port, 1); break;
    case 70: HDMISetEQValue(port, 2); break;
    case 80: break;
    default:
        if (dev().m_ucOutputOff)
            IT6602_HDCP_ContentOff(port, false);
        HDMISetEQValue(port, 255);
        break;
    }
    eq.ucECCvalue = 0;
    eq.ucPollingCount = 0;
    eq.ucFFCount = 0;
}

void tarvo_it6602::advanceEQ(uint8_t port)
{
    // Counting a pass is no state change: the counters and the value in use
    // stay, so a trial state reached by counting judges the window that
    // just ended with the value that was measured in it.
    IT6602_eq_data& eq = dev().EQPort[port];
    ++eq.ucEQState;
}

void tarvo_it6602::HDMIAdjustEQ(uint8_t port)
{
    IT6602_eq_data& eq = dev().EQPort[port];
    switch (eq.ucEQState) {
    case 30:
    case 60:
    case 70:
        HDMIJudgeECCvalue(port);
        break;
    case 80:
        HDMIJudgeECCvalue(port);
        eq.ucEQState = kEqFinish;
        return;
    case kEqGiveUp:
        // Giving up finishes the search on the next pass, so the recovery
        // paths that wait for it (ECC hot-plug cycle, re-train, deskew,
        // a new search) come back.
        HDMISwitchEQstate(port, kEqFinish);
        return;
    case 81:
    case kEqFinish:
        eq.ucEQState = kEqIdle;
        eq.ucIsActive = 0;
        if (port == (rd(0x51) & 0x01))
            dev().m_VideoCountingTimer = 0;  // IT6602VideoCountClr
        return;
    default:
        break;
    }
    // One step per pass.
    if (eq.ucEQState < 20) {
        HDMICheckSCDTon(port);
        advanceEQ(port);
    } else if (eq.ucEQState < 80) {
        HDMIPollingErrorCount(port);
        advanceEQ(port);
    }
}

void tarvo_it6602::HDMICheckSCDTon(uint8_t port)
{
    if (port != (rd(0x51) & 0x01))
        return;
    IT6602_eq_data& eq = dev().EQPort[port];
    const uint8_t st = rd(port ? 0x0B : 0x0A);
    const uint8_t errReg = port ? 0xB7 : 0xB2;
    const uint8_t err = rd(errReg);
    wr(errReg, err);
    if ((st & 0x09) == 0x09 && !(st & 0x80))
        saturatingInc(eq.ucPollingCount);
    if (err & 0xC0) {
        IT6602_HDCP_ContentOff(port, true);
        if (saturatingInc(eq.ucECCvalue) % 3 == 0) {
            const uint8_t reg = port ? 0x38 : 0x20;
            if (rd(reg) == 0)
                wr(reg, 0x3F);
        }
    }
    if (eq.ucEQState != 19)
        return;
    const uint8_t* amp = dev().m_ucAmpValue[port];
    const bool strong = amp[0] > 14 && amp[1] > 14 && amp[2] > 14;
    if ((err & 0xC0) == 0xC0) {
        hdmirx_ECCTimingOut(port);
        HDMISwitchEQstate(port, kEqGiveUp);
    } else if (eq.ucPollingCount == 0 && (dev().m_bEQValueInUse[port] || strong)) {
        HDMISwitchEQstate(port, kEqGiveUp);
    } else {
        HDMISwitchEQstate(port, 20);
    }
}

void tarvo_it6602::HDMIPollingErrorCount(uint8_t port)
{
    IT6602_eq_data& eq = dev().EQPort[port];
    const uint8_t first = port ? 0xB7 : 0xB2;
    uint8_t e[5];
    for (uint8_t i = 0; i < 5; ++i)
        e[i] = rd(static_cast<uint8_t>(first + i));
    for (uint8_t i = 0; i < 5; ++i)
        wr(static_cast<uint8_t>(first + i), i == 1 ? e[i] & 0xE0 : e[i]);
    if (e[2] == 0xFF || e[3] == 0xFF) {
        if (++eq.ucFFCount > 3) {
            if (eq.ucEQState > 30 && rd(static_cast<uint8_t>(first + 2)) == 0xFF)
                toggleDeskew(port ? 0x38 : 0x20);
            const uint8_t afe = port ? 0x18 : 0x11;
            set(afe, 0x0C, 0x0C);
            set(afe, 0x0C, 0x00);
            eq.ucFFCount = 0;
        }
    } else {
        eq.ucFFCount = 0;
    }
    // A trial ends when the link loses sync or shows six error passes.
    if (e[0] & 0xC0)
        saturatingInc(eq.ucECCvalue);
    const bool lostSync = port == (rd(0x51) & 0x01) && !(rd(port ? 0x0B : 0x0A) & 0x80);
    if (!lostSync && eq.ucECCvalue < 6)
        return;
    StoreEccCount(port);
    const uint8_t s = eq.ucEQState;
    HDMISwitchEQstate(port, s < 30 ? 30 : s < 60 ? 60 : s < 70 ? 70 : 80);
}

void tarvo_it6602::StoreEccCount(uint8_t port)
{
    IT6602_eq_data& eq = dev().EQPort[port];
    const uint8_t s = eq.ucEQState;
    if (s < 61) {
        eq.ucErrorCount[0] = eq.ucECCvalue;
    } else if (s < 71) {
        eq.ucErrorCount[1] = eq.ucECCvalue;
    } else {
        eq.ucErrorCount[2] = eq.ucECCvalue;
        JudgeBestEQ(port);
    }
}

void tarvo_it6602::HDMIJudgeECCvalue(uint8_t port)
{
    IT6602_eq_data& eq = dev().EQPort[port];
    StoreEccCount(port);
    if (eq.ucECCvalue < 6) {
        HDMISwitchEQstate(port, kEqGiveUp);  // the value in use stays
        return;
    }
    HDMISwitchEQstate(port, eq.ucEQState);
}

void tarvo_it6602::JudgeBestEQ(uint8_t port)
{
    if (!(rd(port ? 0x3F : 0x27) & 0x80)) {
        OverWriteAmpValue2EQ(port);
        return;
    }
    const uint8_t* t = dev().EQPort[port].ucErrorCount;
    const uint8_t best = t[2] <= std::min(t[0], t[1]) ? 2 : t[0] < t[1] ? 0 : 1;
    HDMISetEQValue(port, best);
}

void tarvo_it6602::OverWriteAmpValue2EQ(uint8_t port)
{
    IT6602_dev_data& d = dev();
    if (d.m_ucAmpValid[port] != kAmpAllValid)
        return;
    set(port ? 0x3E : 0x26, 0x20, 0x20);
    const uint8_t first = port ? 0x3F : 0x27;
    for (uint8_t i = 0; i < 3; ++i)
        wr(static_cast<uint8_t>(first + i), std::max<uint8_t>(d.m_ucAmpValue[port][i] & 0x7F, 3));
    d.m_ucEventFlags &= ~ev(port, kEvWait | kEvTmdsCheck | kEvEqStart);
    wr(port ? 0x3A : 0x22, 0x00);
    wr(0xD0, port ? 0xC0 : 0x30);
    d.m_bEQValueInUse[port] = 1;
}

void tarvo_it6602::TogglePolarity(uint8_t port)
{
    if (chip_addr == kAddrSecond && port != (dev().m_ucCurrentHDMIPort == 1 ? 1 : 0))
        return;
    const uint8_t ctl = port ? 0xC5 : 0xB5;
    const uint8_t pol = port ? (chip_addr == kAddrSecond ? 0xB9 : 0xC9) : 0xB9;
    const uint8_t rs = port ? 0x3A : 0x22;
    bank(1);
    set(ctl, 0x10, 0x00);
    wr(pol, rd(pol) ^ 0x80);
    set(ctl, 0x10, 0x10);
    bank(0);
    wr(rs, 0x38);
    set(rs, 0x04, 0x04);
    set(rs, 0x04, 0x00);
}

void tarvo_it6602::hdmirx_INT_EQ_FAIL(uint8_t port)
{
    IT6602_dev_data& d = dev();
    if (d.EQPort[port].ucEQState != kEqIdle || !(rd(port ? 0x0B : 0x0A) & 0x01))
        return;
    if (d.m_ucEventFlags & ev(port, kEvTmdsCheck)) {
        d.m_ucEventFlags |= ev(port, kEvWait);
        d.m_ucWaitCount[port] = kWaitPasses;
        return;
    }
    // One amplitude read and polarity toggle per event: a pass never loops.
    if (d.m_ucAmpValid[port] != kAmpAllValid) {
        AmpValidCheck(port);
        if (d.m_ucPolarityToggles[port] < kMaxPolarityToggles) {
            ++d.m_ucPolarityToggles[port];
            TogglePolarity(port);
        }
    }
    wr(port ? 0x3A : 0x22, 0x00);
    HDMIStartEQDetect(port);
}

// ---- output colour ---------------------------------------------------------------------------

void tarvo_it6602::GetAVIInfoFrame()
{
    IT6602_dev_data& d = dev();
    bank(2);
    d.ColorMode = (rd(0x15) >> 5) & 0x03;
    d.Colorimetry = (rd(0x16) >> 6) & 0x03;
    const uint8_t r17 = rd(0x17);
    d.ExtendedColorimetry = (r17 >> 4) & 0x07;
    d.RGBQuantizationRange = (r17 >> 2) & 0x03;
    d.VIC = rd(0x18) & 0x7F;
    d.YCCQuantizationRange = (rd(0x19) >> 6) & 0x03;
    bank(0);
    // Default range: full for VIC 0 and 1, limited for every other format.
    if (d.RGBQuantizationRange == 0)
        d.RGBQuantizationRange = d.VIC < 2 ? 2 : 1;
    kelDebug("AVI ColorMode = %X\n", d.ColorMode);
    kelDebug("AVI Colorimetry = %X\n", d.Colorimetry);
    kelDebug("AVI ExtendedColorimetry = %X\n", d.ExtendedColorimetry);
    kelDebug("AVI RGBQuantizationRange = %X\n", d.RGBQuantizationRange);
    kelDebug("AVI VIC = %X\n", d.VIC);
    kelDebug("AVI YCCQuantizationRange = %X\n", d.YCCQuantizationRange);
}

void tarvo_it6602::IT6602VideoOutputConfigure()
{
    IT6602_dev_data& d = dev();
    const uint8_t port = d.m_ucCurrentHDMIPort == 1 ? 1 : 0;
    uint8_t colour = 0;
    bool bt709 = false, limited = false;
    if (rd(port ? 0x0B : 0x0A) & 0x02) {
        d.m_ucFlags |= kFlagHdmi;
        GetAVIInfoFrame();
        colour = d.ColorMode == 1 ? 1 : d.ColorMode == 2 ? 2 : 0;
        limited = d.RGBQuantizationRange == 1;
        set(0x71, 0x04, 0x00);
        bt709 = d.Colorimetry == 2;
    } else {
        d.m_ucFlags &= ~kFlagHdmi;
        set(0x71, 0x07, 0x04);
        // A DVI source sends no colorimetry: fast clocks are HD formats.
        bt709 = rd(0x9A) < 52;
    }
    d.m_bInputVideoMode = static_cast<uint8_t>(colour | (bt709 ? 0x10 : 0) | (limited ? 0x20 : 0));
    SetColorSpaceConvert();
    set(0x65, 0x30, 0x00);
    const uint8_t depth = rd(0x99) >> 4;
    d.m_ucInputColorDepth = depth;
    set(0x65, 0x0C, depth == 5 ? 0x04 : depth == 6 ? 0x08 : 0x00);
    kelDebug("\n Output ColorDepth = %d bits per pixel\n", depth == 5 ? 30 : depth == 6 ? 36 : 24);
    IT6602_VideoOutputModeSet();
}

void tarvo_it6602::SetColorSpaceConvert()
{
    const uint8_t mode = dev().m_bInputVideoMode;
    const uint8_t* matrix = nullptr;
    if (mode & 0x03) {
        matrix = (mode & 0x10) ? It6602Tables::bCSCMtx_YUV2RGB_ITU709_0_255
                               : It6602Tables::bCSCMtx_YUV2RGB_ITU601_0_255;
        set(0x65, 0x03, 0x03);
    } else if (mode & 0x20) {
        matrix = It6602Tables::bCSCMtx_RGB_16_235_RGB_0_255;
        set(0x67, 0x78, 0x78);
        wr(0x68, 0xED);
        set(0x65, 0x03, 0x02);
    } else {
        set(0x65, 0x03, 0x00);
        set(0x67, 0x7F, 0x00);
        wr(0x68, 0x00);
        set(0x50, 0x03, 0x02);
    }
    if (!matrix)
        return;
    bank(1);
    hdmirxbwr_it6602(i2c_fd, 0x70, It6602Tables::kCscBytes, matrix);
    bank(0);
}

void tarvo_it6602::IT6602_VideoOutputModeSet()
{
    // Mode 0: RGB 4:4:4, single data rate, separate sync (bus and sync bits 0).
    const _Video_Output_Configure& c = dev().m_VidOutConfigMode;
    wr(0x51, static_cast<uint8_t>((rd(0x51) & 0x9B) | (c.bus ? 0x04 : 0) | (c.sync ? 0x20 : 0)));
    set(0x65, 0x30, static_cast<uint8_t>(c.colour << 4));
    bank(1);
    wr(0x8D, 0x00);
    wr(0x8E, 0x00);
    bank(0);
}
