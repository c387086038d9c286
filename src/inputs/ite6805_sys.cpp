#include "inputs/ite6805_sys.h"

#include "inputs/RegBankBits.h"
#include "inputs/ite6805_cec_sys.h"
#include "inputs/ite6805_drv.h"
#include "inputs/ite6805_eq.h"
#include "inputs/ite6805_i2c_rdwr.h"
#include "inputs/tarvosource.h"
#include "params/DebugPrint.h"
#include "params/KelRamPara.h"
#include "params/global.h"
#include "platform/Sleeper.h"

namespace {

using V = ite6805_dev;

constexpr int kDeskewLimit = 6;
constexpr int kSymbolLockLimit = 21;
constexpr unsigned kVboClockAttempts = 500;
constexpr uint8_t kVboOn = 0x78;
constexpr uint8_t kVboOff = 0x79;

// Colour-space conversion rows (YUV to RGB) written to bank 1 0x70..0x85.
struct CscRow {
    int row;
    uint8_t bytes[22];
};
const CscRow kCscRows[] = {
    {5, {0x04, 0x00, 0xA7, 0x4F, 0x09, 0x81, 0x39, 0xDD, 0x3C, 0x4F, 0x09,
         0xC4, 0x0C, 0x01, 0x00, 0x4F, 0x09, 0xFD, 0x3F, 0x1F, 0x10, 0x00}},  // ITU601
    {7, {0x04, 0x00, 0xA7, 0x4F, 0x09, 0xBA, 0x3B, 0x4B, 0x3E, 0x4F, 0x09,
         0x57, 0x0E, 0x02, 0x00, 0x4F, 0x09, 0xFE, 0x3F, 0xE8, 0x10, 0x00}},  // ITU709
    {8, {0x04, 0x00, 0xA7, 0x4F, 0x09, 0xCC, 0x3A, 0x7E, 0x3E, 0x4F, 0x09,
         0x69, 0x0D, 0x0B, 0x00, 0x4F, 0x09, 0xFE, 0x3F, 0x1D, 0x11, 0x00}},  // extended colorimetry
};

const uint8_t* cscRow(int row)
{
    for (const CscRow& r : kCscRows)
        if (r.row == row)
            return r.bytes;
    return kCscRows[0].bytes;
}

} // namespace

// The interrupt and status registers of one port.
struct ite6805_sys::PortRegs {
    uint8_t port;
    uint8_t int0, int1, int2;        // 0x05/0x06/0x08 or 0x0A/0x0B/0x0D
    uint8_t reg, status, scdc;       // 0x13/0x14/0x15 or 0x16/0x17/0x18
    uint8_t feBank;                  // front-end bank: 3 or 7
    const char* name;
};

ite6805_sys::ite6805_sys(tarvosource& owner) : owner_(owner)
{
    rdwr_ = new ite6805_i2c_rdwr(*this);
    drv_ = new ite6805_drv(*this);
    cec_ = new ite6805_cec_sys(*this);
    eq_ = new ite6805_eq(*this);
    ite6805_sys_reset_init();
}

ite6805_sys::~ite6805_sys()
{
    delete rdwr_;
    delete drv_;
    delete cec_;
    delete eq_;
}

// ---- the board manager's calls --------------------------------------------------------

void ite6805_sys::ite6805_sys_reset_init()
{
    for (int d = 0; d < 2; ++d) {
        state_[d] = 0;
        ite6805_dev& x = devs_[d];
        x.identifyFailures = 0;
        x.scdtLast = 0;
        x.newAvi = 0;
        for (uint8_t& c : x.symbolLockResets)
            c = 0;
        x.clockStableCount = 0;
        x.passCount50 = 0;
        x.eccErrors = 0;
        x.eccTimeouts = 0;
        x.Current_SCDTCheck_Count = 0;
        x.audioWait = 0;
        x.Current_AudioCheck_TryCount = 0;
        x.audioOnPoll = 0;
        x.Current_AudioSamplingFreq_ErrorCount = 0;
        x.audioFirstSample = 1;
    }
}

void ite6805_sys::iTE6805_Set_HPD_Ctrl(int port, int level, int dev)
{
    if (dev == 0 || dev == 1)
        drv_->iTE6805_Set_HPD_Ctrl(static_cast<uint8_t>(port), static_cast<uint8_t>(level), dev);
}

void ite6805_sys::iTE6805_Init_fsm(int dev)
{
    if (dev == 0 || dev == 1)
        drv_->iTE6805_Init_fsm(dev);
}

uint8_t ite6805_sys::device_state(int dev) const { return (dev == 0 || dev == 1) ? state_[dev].load() : 0; }

void ite6805_sys::set_device_state(int dev, uint8_t state)
{
    if (dev == 0 || dev == 1)
        state_[dev] = state;
}

ite6805_sys::VideoRecord ite6805_sys::video(int dev) const
{
    if (dev != 0 && dev != 1)
        return VideoRecord{};
    const ite6805_dev& d = devs_[dev];
    VideoRecord v;
    v.width = drv_->publishedWidth(dev);
    v.height = d.iTE6805_VidTiming.VActive;
    v.FrameRate = d.iTE6805_VidTiming.FrameRate;
    return v;
}

bool ite6805_sys::delay1ms(unsigned ms) { return kel::platform::Sleeper::pauseMs(ms); }

void ite6805_sys::iTE6805_FSM(int dev)
{
    if (dev != 0 && dev != 1)
        return;
    switch (state_[dev].load()) {
    case 0:
        if (iTE6805_Identify_Chip(dev)) {
            drv_->iTE6805_Init_fsm(dev);
            state_[dev] = 2;
        }
        break;
    case 2:
        delay1ms(1000);
        state_[dev] = 1;
        break;
    case 1:
        iTE6805_MainBody(dev);
        break;
    default:
        break;
    }
}

uint8_t ite6805_sys::iTE6805_Identify_Chip(int dev)
{
    uint8_t id[4];
    for (uint8_t r = 0; r < 4; ++r)
        id[r] = rdwr_->hdmirxrd(r, dev);
    const bool ok = id[0] == 0x54 && id[1] == 0x49 && (id[2] & ~0x02) == 0x05 && id[3] == 0x68;
    const uint8_t bit = dev ? 0x40 : 0x20;
    RegBankBits::update(RegBankBits::kPresence0, bit, ok);
    if (!ok)
        ++devs_[dev].identifyFailures;
    return ok ? 1 : 0;
}

bool ite6805_sys::revision10OrE0(int dev) const
{
    const uint8_t id = devs_[dev & 1].iTE6805_DATA.ChipID;
    return id == 0x10 || id == 0xE0;
}

bool ite6805_sys::revision10OrAboveE0(int dev) const
{
    const uint8_t id = devs_[dev & 1].iTE6805_DATA.ChipID;
    return id == 0x10 || id >= 0xE0;
}

// ---- main body ---------------------------------------------------------------------------

void ite6805_sys::iTE6805_MainBody(int dev)
{
    ite6805_dev::Data& d = st(dev).iTE6805_DATA;
    if (d.portResetPending)
        iTE6805_Port_Reset_Body(dev);
    if (d.portSelectPending)
        iTE6805_Port_Select_Body(dev);
    if (d.STATEV >= V::STATEV_WaitSync) {
        if (d.CurrentPort == 0) {
            iTE6805_hdmirx_port0_SYS_irq(dev);
            eq_->iTE6805_hdmirx_port0_EQ_irq(dev);
        } else {
            iTE6805_hdmirx_port1_SYS_irq(dev);
            eq_->iTE6805_hdmirx_port1_EQ_irq(dev);
        }
        iTE6805_hdmirx_common_irq(dev);
    }
    cec_->iTE6805_hdmirx_CEC_irq(dev);
    eq_->iTE6805_EQ_fsm(dev);
    iTE6805_vid_fsm(dev);
    iTE6805_aud_fsm(dev);
    vboGuard(dev);
}

// Keeps the V-by-One output on while the video is set up and off otherwise
// (revisions other than 0x10 and 0xE0 and above).
void ite6805_sys::vboGuard(int dev)
{
    ite6805_dev::Data& d = st(dev).iTE6805_DATA;
    if (d.Flag_VidStable_Done == 1) {
        d.avMute = drv_->iTE6805_Check_AVMute(dev);
        if (revision10OrAboveE0(dev))
            return;
        drv_->chgbank(5, dev);
        if (rdwr_->hdmirxrd(0xC9, dev) & 0x01) {
            rdwr_->hdmirxwr(0xC9, kVboOn, dev);
            kelDebug("Video Stable Done but VB1 output off, need to turn on! \r");
        }
    } else {
        if (revision10OrAboveE0(dev) || d.STATEV == V::STATEV_VidStable)
            return;
        drv_->chgbank(5, dev);
        if (!(rdwr_->hdmirxrd(0xC9, dev) & 0x01)) {
            rdwr_->hdmirxwr(0xC9, kVboOff, dev);
            kelDebug("Video is not stable, need to turn of VB1 otuput! \r");
        }
    }
    drv_->chgbank(0, dev);
}

// ---- video state machine --------------------------------------------------------------------

void ite6805_sys::iTE6805_vid_fsm(int dev)
{
    ite6805_dev& x = st(dev);
    switch (x.iTE6805_DATA.STATEV) {
    case V::STATEV_Off:
        break;
    case V::STATEV_Unplug:
        if (drv_->iTE6805_Check_5V_State(x.iTE6805_DATA.CurrentPort, dev))
            iTE6805_INT_5VPWR_Chg(x.iTE6805_DATA.CurrentPort, dev);
        break;
    case V::STATEV_WaitSync:
        if (drv_->iTE6805_Check_SCDT(dev)) {
            iTE6805_vid_chg(V::STATEV_CheckSync, dev);
        } else if (drv_->iTE6805_Check_CLK_Stable(dev) && ++x.clockStableCount > 6) {
            x.clockStableCount = 0;
            drv_->iTE6805_Set_47_By_TMDS(dev);
        }
        break;
    case V::STATEV_CheckSync:
        if (x.Current_SCDTCheck_Count == 0) {
            iTE6805_vid_chg(V::STATEV_VidStable, dev);
        } else if (x.Current_SCDTCheck_Count == 6) {
            x.prevAVIDB = drv_->aviDataByte1(dev);
            --x.Current_SCDTCheck_Count;
        } else {
            const uint8_t db1 = drv_->aviDataByte1(dev);
            if (db1 == x.prevAVIDB)
                --x.Current_SCDTCheck_Count;
            else
                x.prevAVIDB = db1;
        }
        break;
    case V::STATEV_VidStable:
        vidStableStep(dev);
        break;
    default:
        kelDebug("Video State Error !!!");
        break;
    }
}

void ite6805_sys::vidStableStep(int dev)
{
    ite6805_dev& x = st(dev);
    if (x.newAvi == 1) {
        drv_->iTE6805_Get_AVIInfoFrame_Info(dev);
        iTE6805_Check_ColorChange_Update(dev);
        drv_->iTE6805_Get_VID_Info(dev);
        iTE6807_Video_Output_Setting(dev);
        drv_->iTE6805_Set_1B0_By_PixelClock(dev);
        iTE6805_Enable_Video_Output(dev);
        x.newAvi = 0;
        drv_->iTE6805_Set_Video_Tristate(0, dev);
    }
    drv_->chgbank(0, dev);
    if ((rdwr_->hdmirxrd(0x4F, dev) & 0x20) && !drv_->iTE6805_Check_AVMute(dev))
        drv_->iTE6805_Set_AVMute(0, dev);
    if (++x.passCount50 >= 50) {
        x.passCount50 = 0;
        if (x.Current_AudioSamplingFreq_ErrorCount < 6)
            x.Current_AudioSamplingFreq_ErrorCount = 0;
    }
    if (!(rdwr_->hdmirxrd(0x81, dev) & 0x40)) {
        const uint8_t b5 = rdwr_->hdmirxrd(0xB5, dev);
        x.iTE6805_DATA.Audio_CH_Status = static_cast<uint8_t>(((b5 >> 2) & 0x30) | (b5 & 0x0F));
    }
}

void ite6805_sys::iTE6805_vid_chg(uint32_t state, int dev)
{
    ite6805_dev& x = st(dev);
    x.iTE6805_DATA.STATEV = state;
    switch (state) {
    case V::STATEV_Off:
        iTE6805_Set_HPD_Ctrl(0, 0, dev);
        delay1ms(100);
        iTE6805_Set_HPD_Ctrl(1, 0, dev);
        delay1ms(100);
        break;
    case V::STATEV_Unplug:
        enterUnplug(dev);
        break;
    case V::STATEV_WaitSync:
        x.iTE6805_DATA.Flag_VidStable_Done = 0;
        x.deskewErrors = 0;
        x.clockStableCount = 0;
        kelDebug("VidState change to STATEV_WaitSync state");
        drv_->iTE6805_Set_Video_Tristate(1, dev);
        break;
    case V::STATEV_CheckSync:
        kelDebug("VidState change to STATEV_CheckSync state");
        x.Current_SCDTCheck_Count = 6;
        break;
    case V::STATEV_VidStable:
        enterVidStable(dev);
        break;
    default:
        kelDebug("ERROR: VidState change to Unknown state !!!");
        break;
    }
}

void ite6805_sys::enterUnplug(int dev)
{
    ite6805_dev& x = st(dev);
    drv_->chgbank(x.iTE6805_DATA.CurrentPort ? 7 : 3, dev);
    rdwr_->hdmirxset(0xE5, 0x1C, 0x00, dev);
    drv_->chgbank(0, dev);
    x.iTE6805_DATA.Flag_VidStable_Done = 0;
    x.iTE6805_DATA.yuv420 = 0;
    x.prevAVIDB = 0;
    for (uint8_t& s : x.audioSample)
        s = 0;
    x.deskewErrors = 0;
    for (uint8_t& c : x.symbolLockResets)
        c = 0;
    x.clockStableCount = 0;
    rdwr_->hdmirxwr(0x08, 0x04, dev);
    rdwr_->hdmirxwr(0x0D, 0x04, dev);
    rdwr_->hdmirxwr(0x22, 0x12, dev);
    rdwr_->hdmirxwr(0x22, 0x10, dev);
    for (uint8_t r : {0x23, 0x2B}) {
        rdwr_->hdmirxset(r, 0xFD, 0xAD, dev);
        rdwr_->hdmirxset(r, 0xFD, 0xA0, dev);
    }
    cec_->iTE6805_CEC_INIT(dev);
    kelDebug("VidState change to STATEV_Unplug state");
    drv_->iTE6805_Set_Video_Tristate(1, dev);
}

void ite6805_sys::enterVidStable(int dev)
{
    ite6805_dev& x = st(dev);
    kelDebug("VidState change to STATEV_VidStable state");
    drv_->chgbank(0, dev);
    rdwr_->hdmirxwr(0x90, 0x8F, dev);
    drv_->iTE6805_Get_AVIInfoFrame_Info(dev);
    drv_->iTE6805_Get_VID_Info(dev);
    iTE6805_Check_ColorChange_Update(dev);
    iTE6807_Video_Output_Setting(dev);
    drv_->iTE6805_Set_1B0_By_PixelClock(dev);
    iTE6805_Enable_Video_Output(dev);
    drv_->iTE6805_Set_AVMute(1, dev);
    iTE6805_aud_chg(V::STATEA_RequestAudio, dev);
    drv_->iTE6805_Set_Video_Tristate(0, dev);
    x.iTE6805_DATA.Flag_VidStable_Done = 1;
    if (x.iTE6805_DATA.STATEEQ == V::STATEEQ_KeepEQStateUntil5VOff) {
        kelDebug("Release state STATEEQ_KeepEQStateUntil5VOff to normal state(STATEEQ_EQDone)!!!");
        x.iTE6805_DATA.STATEEQ = V::STATEEQ_EQDone;
        eq_->iTE6805_EQ_chg(V::STATEEQ_EQDone, dev);
    }
}

void ite6805_sys::iTE6805_INT_5VPWR_Chg(uint8_t port, int dev)
{
    if (!drv_->iTE6805_Check_5V_State(port, dev)) {
        kelDebug("# Power 5V OFF #");
        drv_->iTE6805_Set_HPD_Ctrl(port, 0, dev);
        delay1ms(100);
        drv_->iTE6805_Set_HPD_Ctrl(0, 0, dev);
        delay1ms(100);
        iTE6805_vid_chg(V::STATEV_Unplug, dev);
        st(dev).iTE6805_DATA.STATEEQ = V::STATEEQ_Off;
        eq_->iTE6805_EQ_chg(V::STATEEQ_Off, dev);
        return;
    }
    kelDebug("# Power 5V ON #");
    iTE6805_vid_chg(V::STATEV_WaitSync, dev);
    drv_->iTE6805_Set_HPD_Ctrl(port, 1, dev);
    delay1ms(100);
    drv_->iTE6805_Set_HPD_Ctrl(0, 0, dev);
    delay1ms(100);
    drv_->iTE6805_Set_HPD_Ctrl(0, 1, dev);
    delay1ms(100);
}

// ---- audio state machine ----------------------------------------------------------------------

void ite6805_sys::iTE6805_aud_fsm(int dev)
{
    ite6805_dev& x = st(dev);
    switch (x.iTE6805_DATA.STATEA) {
    case V::STATEA_Off:
        break;
    case V::STATEA_RequestAudio:
        x.audioFirstSample = 1;
        for (uint8_t& s : x.audioSample)
            s = 0;
        iTE6805_aud_chg(V::STATEA_WaitForReady, dev);
        break;
    case V::STATEA_WaitForReady: {
        if (x.audioWait > 0) {
            --x.audioWait;
            break;
        }
        const bool port1 = x.iTE6805_DATA.CurrentPort == 1;
        drv_->chgbank(port1 ? 4 : 0, dev);
        const uint8_t b9 = rdwr_->hdmirxrd(0xB9, dev);
        drv_->chgbank(0, dev);
        if (b9 & 0xC0)
            drv_->iTE6805_Reset_Audio_Logic(dev);
        if (drv_->iTE6805_Check_SCDT(dev) && drv_->iTE6805_Check_AUDT(dev)) {
            iTE6805_aud_chg(V::STATEA_AudioOn, dev);
        } else if (x.Current_AudioCheck_TryCount < 2) {
            ++x.Current_AudioCheck_TryCount;
            kelDebug("Current_AudioCheck_TryCount = %d !!!\n", x.Current_AudioCheck_TryCount);
            x.audioWait = 4;
        } else {
            iTE6805_aud_chg(V::STATEA_AudioOn, dev);
        }
        break;
    }
    case V::STATEA_AudioOn: {
        if (x.audioOnPoll > 0) {
            --x.audioOnPoll;
            break;
        }
        x.audioOnPoll = 3;
        drv_->chgbank(0, dev);
        const uint8_t s[3] = {static_cast<uint8_t>(rdwr_->hdmirxrd(0xB0, dev) & 0xF0), rdwr_->hdmirxrd(0xB1, dev),
                              static_cast<uint8_t>(rdwr_->hdmirxrd(0xB2, dev) & 0x02)};
        if (x.audioFirstSample) {
            for (int i = 0; i < 3; ++i)
                x.audioSample[i] = s[i];
            x.audioFirstSample = 0;
            rdwr_->hdmirxset(0x8C, 0x08, 0x08, dev);
        } else if (s[0] != x.audioSample[0] || s[1] != x.audioSample[1] || s[2] != x.audioSample[2]) {
            iTE6805_aud_chg(V::STATEA_RequestAudio, dev);
        }
        break;
    }
    default:
        kelDebug("Audio State Error !!!");
        break;
    }
}

void ite6805_sys::iTE6805_aud_chg(uint32_t state, int dev)
{
    ite6805_dev& x = st(dev);
    if (x.iTE6805_DATA.STATEA == state)
        return;
    x.iTE6805_DATA.STATEA = state;
    switch (state) {
    case V::STATEA_Off:
    case V::STATEA_RequestAudio:
        kelDebug("AudState change to STATEA_RequestAudio state !!!");
        x.Current_AudioSamplingFreq_ErrorCount = 0;
        drv_->chgbank(0, dev);
        rdwr_->hdmirxset(0x81, 0x40, 0x00, dev);
        iTE6805_Set_Audio_Tristate(1, dev);
        break;
    case V::STATEA_WaitForReady:
        kelDebug("AudState change to STATEA_WaitForReady state !!!");
        rdwr_->hdmirxset(0x8C, 0x10, 0x10, dev);
        rdwr_->hdmirxset(0x8C, 0x10, 0x00, dev);
        x.audioWait = 4;
        x.Current_AudioCheck_TryCount = 0;
        break;
    case V::STATEA_AudioOn:
        enterAudioOn(dev);
        break;
    default:
        kelDebug("ERROR: AudState change to Unknown state !!!");
        break;
    }
}

void ite6805_sys::enterAudioOn(int dev)
{
    drv_->iTE6805_Show_AUD_Info(dev);
    kelDebug("AudState change to STATEA_AudioOn state !!!");
    iTE6805_Enable_Audio_Output(dev);
    iTE6805_Set_Audio_Tristate(0, dev);
    drv_->iTE6805_update_hdmi(dev);
    if (g_source_online == 2) {
        drv_->iTE6805_Show_VID_Info(dev, 0);
        return;
    }
    KelRamPara* s = KelRamPara::p_kelrampara_config;
    const int on = s ? (s->KelSourceId_is_on(4 + dev) ? 1 : 0) : 0;
    drv_->iTE6805_Show_VID_Info(dev, on);
    g_source_online = 1;
}

void ite6805_sys::iTE6805_Set_Audio_Tristate(uint8_t on, int dev)
{
    drv_->chgbank(1, dev);
    rdwr_->hdmirxwr(0xC7, on ? 0x7F : 0x00, dev);
    drv_->chgbank(0, dev);
}

// ---- V-by-One output ----------------------------------------------------------------------------

// The lane count for the measured signal (VBO_LaneCount: 0 = 1 lane .. 3 = 8).
uint8_t ite6805_sys::laneCount(int dev)
{
    const bool is4k = drv_->iTE6805_Check_4K_Resolution(dev);
    const ite6805_dev::VidTiming& t = st(dev).iTE6805_VidTiming;
    const uint32_t pclk = t.PCLK;
    uint8_t lanes;
    if (is4k || pclk > 320000) {
        lanes = 3;
        kelDebug("!!!!!! Set VBO_LaneCount = 8 Lan (variable iTE6805_DATA.VBO_LaneCount = 3)!!!!!!");
    } else if (pclk >= 80001 && pclk <= 160000 && t.HActive > 2176) {
        lanes = 2;
        kelDebug("!!!!!! (MY 3c31)Set VBO_LaneCount = 4 Lan (variable iTE6805_DATA.VBO_LaneCount = 2)!!!!!!");
    } else if (pclk >= 80001 && pclk <= 160000) {
        lanes = 1;
        kelDebug("!!!!!! (MY 3c31)Set VBO_LaneCount = 2 Lan (variable iTE6805_DATA.VBO_LaneCount = 1)!!!!!!");
    } else if (pclk > 160000) {
        lanes = 2;
        kelDebug("!!!!!! Set VBO_LaneCount = 4 Lan (variable iTE6805_DATA.VBO_LaneCount = 2)!!!!!!");
    } else {
        lanes = 0;
        kelDebug("!!!!!! Set VBO_LaneCount = 1 Lan (variable iTE6805_DATA.VBO_LaneCount = 0)!!!!!!");
    }
    const bool by4 = t.HTotal % 4 == 0 && t.HActive % 4 == 0 && t.HBackPorch % 4 == 0 && t.HFrontPorch % 4 == 0 &&
                     t.HSyncWidth % 4 == 0;
    if (lanes == 2 && !by4) {
        lanes = 1;
        kelDebug("!!!!!! Set VBO_LaneCount = 2 Lan because of H parameter need devided by 4!!!!!!");
    }
    return lanes;
}

// Toggles the transmitter until its clock is stable (500 attempts at most).
void ite6805_sys::waitVboClock(int dev)
{
    uint8_t db = rdwr_->hdmirxrd(0xDB, dev);
    kelDebug("Wait VBOTX Clock Stable! i = %d\n", 0);
    for (unsigned i = 1; !(db & 0x10) && i <= kVboClockAttempts; ++i) {
        rdwr_->hdmirxset(0xD2, 0x10, 0x00, dev);
        rdwr_->hdmirxset(0xD2, 0x10, 0x10, dev);
        delay1ms(10);
        db = rdwr_->hdmirxrd(0xDB, dev);
        kelDebug("Wait VBOTX Clock Stable! i = %d\n", i);
    }
    rdwr_->hdmirxset(0xC6, 0x07, ((db >> 2) & 3) < 3 ? 3 : 4, dev);
    rdwr_->hdmirxset(0xC1, 0x04, 0x00, dev);
}

void ite6805_sys::iTE6807_Video_Output_Setting(int dev)
{
    ite6805_dev& x = st(dev);
    ite6805_dev::Data& d = x.iTE6805_DATA;
    const ite6805_dev::VidTiming& t = x.iTE6805_VidTiming;
    kelDebug("iTE6807_Video_Output_Setting called ");
    kelDebug("start 6807 VBO output setting ! ");
    drv_->chgbank(0, dev);
    rdwr_->hdmirxset(0x64, 0x04, 0x00, dev);
    rdwr_->hdmirxset(0x64, 0x02, 0x02, dev);
    rdwr_->hdmirxset(0x64, 0x02, 0x00, dev);
    drv_->chgbank(5, dev);
    rdwr_->hdmirxset(0x20, 0x40, 0x40, dev);
    rdwr_->hdmirxset(0xCB, 0x01, 0x00, dev);
    rdwr_->hdmirxset(0xD3, 0x80, 0x80, dev);
    rdwr_->hdmirxset(0xD3, 0x80, 0x00, dev);
    rdwr_->hdmirxwr(0xC7, t.PCLK <= 29999 ? 0x49 : 0x00, dev);
    drv_->chgbank(1, dev);
    rdwr_->hdmirxset(0xC0, 0x01, 0x00, dev);

    d.twoSectionMode = (t.HActive < 2177 && t.PCLK < 160000) ? 0 : 1;
    kelDebug("\t iTE6807_Video_Output_Setting:dev_id:%d hact:%d,pclk=%d,_iTE6807_EnableTwoSectionMode_=%d\n", dev,
             t.HActive, static_cast<int>(t.PCLK), d.twoSectionMode);
    drv_->chgbank(5, dev);
    rdwr_->hdmirxset(0xCB, 0x01, d.twoSectionMode, dev);
    drv_->chgbank(0, dev);
    if (d.twoSectionMode) {
        kelDebug("!! Enable _iTE6807_EnableTwoSectionMode_ !!");
        rdwr_->hdmirxset(0x64, 0x04, 0x04, dev);
        rdwr_->hdmirxset(0x33, 0x02, 0x02, dev);
        rdwr_->hdmirxset(0x33, 0x02, 0x00, dev);
    } else {
        kelDebug("!! _iTE6807_EnableTwoSectionMode_ Disabled !!");
        rdwr_->hdmirxset(0x64, 0x04, 0x00, dev);
    }

    d.VBO_LaneCount = laneCount(dev);
    drv_->chgbank(1, dev);
    rdwr_->hdmirxset(0xBD, 0x30, d.VBO_LaneCount ? 0x10 : 0x00, dev);
    d.VBO_ByteMode = 1;
    kelDebug("Force ByteMode = 4B (variable iTE6805_DATA.VBO_ByteMode = 1)");
    drv_->chgbank(5, dev);
    rdwr_->hdmirxset(0xC0, 0xF0, static_cast<uint8_t>((d.VBO_ByteMode * 64 + d.VBO_LaneCount * 16) & 0xF0), dev);
    rdwr_->hdmirxset(0xD2, 0x10, 0x00, dev);
    rdwr_->hdmirxset(0xD2, 0x10, 0x10, dev);
    delay1ms(10);
    waitVboClock(dev);
    if (revision10OrE0(dev))
        drv_->setVboRevisionRegisters(dev);

    const uint8_t last = d.lastLaneCount;
    if (last == ite6805_dev::kNoLaneCount || ((last == 0) != (d.VBO_LaneCount == 0))) {
        kelDebug("Lane Count Changed, need reset video logic \r");
        d.lastLaneCount = d.VBO_LaneCount;
        drv_->iTE6805_Reset_Video_Logic(dev);
        delay1ms(1);
    }
    drv_->chgbank(5, dev);
    rdwr_->hdmirxset(0xC9, 0x01, 0x00, dev);
    drv_->chgbank(0, dev);
}

// ---- ports -------------------------------------------------------------------------------------

void ite6805_sys::iTE6805_Port_Select(uint8_t port, int dev)
{
    st(dev).iTE6805_DATA.portSelect = port;
    st(dev).iTE6805_DATA.portSelectPending = 1;
}

void ite6805_sys::iTE6805_Port_Reset(uint8_t port, int dev)
{
    st(dev).iTE6805_DATA.portReset = port;
    st(dev).iTE6805_DATA.portResetPending = 1;
}

void ite6805_sys::iTE6805_Port_Select_Body(int dev)
{
    ite6805_dev::Data& d = st(dev).iTE6805_DATA;
    const uint8_t port = d.portSelect;
    kelDebug("\n\nCustomer Setting Current Port = %d ! \n\n", port);
    d.portSelectPending = 0;
    if (port > 1) {
        kelDebug("User Setting Current Port Warning !");
        return;
    }
    if (port == d.CurrentPort)
        return;
    rdwr_->hdmirxset(0x35, 0x01, port, dev);
    drv_->iTE6805_Set_HPD_Ctrl(d.CurrentPort, 0, dev);
    delay1ms(100);
    d.CurrentPort = port;
    for (uint8_t bank : {3, 7}) {
        drv_->chgbank(bank, dev);
        rdwr_->hdmirxset(0xE5, 0x1C, 0x00, dev);
    }
    drv_->chgbank(0, dev);
    rdwr_->hdmirxwr(0x25, 0x00, dev);
    // The front-end settings of the new port: this board uses port 0 only,
    // so both ports start from cleared values.
    for (uint8_t r = 0x26; r <= 0x32; ++r)
        rdwr_->hdmirxwr(r, 0x00, dev);
    drv_->chgbank(port ? 7 : 3, dev);
    rdwr_->hdmirxset(0xA8, 0x08, 0x08, dev);
    drv_->chgbank(port ? 3 : 7, dev);
    rdwr_->hdmirxset(0xA8, 0x08, 0x00, dev);
    drv_->chgbank(port ? 4 : 0, dev);
    rdwr_->hdmirxset(0xC5, 0x10, 0x10, dev);
    delay1ms(1);
    rdwr_->hdmirxset(0xC5, 0x10, 0x00, dev);
    drv_->chgbank(0, dev);
    d.STATEEQ = V::STATEEQ_Off;
    eq_->iTE6805_EQ_chg(V::STATEEQ_Off, dev);
    iTE6805_INT_5VPWR_Chg(d.CurrentPort, dev);
}

void ite6805_sys::iTE6805_Port_Reset_Body(int dev)
{
    ite6805_dev::Data& d = st(dev).iTE6805_DATA;
    const uint8_t port = d.portReset;
    d.portResetPending = 0;
    if (port > 1) {
        kelDebug("\n\nCustomer PortReset need to setting Current Port to 0/1, can't be other value ! \n");
        return;
    }
    kelDebug("\n\nCustomer Reset Port = %d ! \n\n", port);
    if (port != d.CurrentPort)
        return;
    drv_->iTE6805_Set_HPD_Ctrl(port, 0, dev);
    delay1ms(100);
    iTE6805_vid_chg(V::STATEV_Unplug, dev);
    d.STATEEQ = V::STATEEQ_Off;
    eq_->iTE6805_EQ_chg(V::STATEEQ_Off, dev);
    delay1ms(300);
    iTE6805_INT_5VPWR_Chg(d.CurrentPort, dev);
}

// ---- colour and audio set-up -----------------------------------------------------------------

void ite6805_sys::iTE6805_Enable_Video_Output(int dev)
{
    ite6805_dev::Data& d = st(dev).iTE6805_DATA;
    drv_->chgbank(0, dev);
    if (drv_->iTE6805_Check_HDMI_OR_DVI_Mode(d.CurrentPort, dev) != 0) {
        d.inputType = 2;
        kelDebug("---- CSC DVI mode ----");
        rdwr_->hdmirxset(0x6B, 0x31, 0x11, dev);
        drv_->chgbank(d.CurrentPort == 1 ? 4 : 0, dev);
        d.Colorimetry = rdwr_->hdmirxrd(0x48, dev) < 52 ? 2 : 1;  // ITU709 : ITU601
        drv_->chgbank(0, dev);
    } else {
        kelDebug("---- CSC HDMI mode ----");
        drv_->iTE6805_Get_AVIInfoFrame_Info(dev);
        drv_->iTE6805_Show_AVIInfoFrame_Info(dev);
        drv_->iTE6805_GET_InputType(dev);
        rdwr_->hdmirxset(0x6B, 0x31, static_cast<uint8_t>((d.AVIInfoFrame_Input_ColorFormat & 3) << 4), dev);
    }
    rdwr_->hdmirxwr(0x6E, 0xE0, dev);
    drv_->chgbank(1, dev);
    rdwr_->hdmirxwr(0x86, 0x00, dev);
    drv_->chgbank(0, dev);
    kelDebug("US_Output_ColorFormat = %d \n", static_cast<int>(d.US_Output_ColorFormat));
    kelDebug("AVIInfoFrame_Input_ColorFormat = %d \n", static_cast<int>(d.AVIInfoFrame_Input_ColorFormat));
    if (d.AVIInfoFrame_Input_ColorFormat == 0) {
        kelDebug("---- YUV to YUV or RGB to RGB ----");
        rdwr_->hdmirxset(0x6C, 0x03, 0x00, dev);
        drv_->chgbank(1, dev);
        rdwr_->hdmirxwr(0x85, 0x00, dev);
        drv_->chgbank(0, dev);
    } else {
        kelDebug("---- input YUV to output RGB ----");
        rdwr_->hdmirxset(0x6C, 0x03, 0x03, dev);
        int row = 5;
        if (d.Colorimetry == 2)
            row = 7;
        else if (d.Colorimetry == 3 && (d.ExtendedColorimetry == 5 || d.ExtendedColorimetry == 6))
            row = 8;
        kelDebug("--- CSC_TABLE != NULL --- ");
        kelDebug("--- Using CSC_TABLE = %d --- \n", row);
        drv_->chgbank(1, dev);
        rdwr_->hdmirxbwr(0x70, 22, cscRow(row), dev);
        drv_->chgbank(0, dev);
    }
    drv_->iTE6805_Set_ColorDepth(dev);
}

void ite6805_sys::iTE6805_Check_ColorChange_Update(int dev)
{
    ite6805_dev& x = st(dev);
    ite6805_dev::Data& d = x.iTE6805_DATA;
    const uint32_t now[5] = {d.AVIInfoFrame_Input_ColorFormat, d.Colorimetry, d.ExtendedColorimetry,
                             d.RGBQuantizationRange, d.YUVQuantizationRange};
    d.Flag_AVI_ColorChange = 0;
    for (int i = 0; i < 5; ++i)
        if (now[i] != x.colorSnapshot[i])
            d.Flag_AVI_ColorChange |= static_cast<uint8_t>(1u << i);
    if (d.Flag_AVI_ColorChange == 0)
        return;
    kelDebug("iTE6805_DATA.Flag_AVI_ColorChange = 0x%02X !\n", d.Flag_AVI_ColorChange);
    for (int i = 0; i < 5; ++i)
        x.colorSnapshot[i] = now[i];
}

void ite6805_sys::iTE6805_Enable_Audio_Output(int dev)
{
    ite6805_dev& x = st(dev);
    ite6805_dev::Data& d = x.iTE6805_DATA;
    drv_->chgbank(0, dev);
    rdwr_->hdmirxset(0x86, 0x01, 0x01, dev);
    drv_->chgbank(2, dev);
    const uint32_t be = rdwr_->hdmirxrd(0xBE, dev), bf = rdwr_->hdmirxrd(0xBF, dev);
    const uint32_t c0 = rdwr_->hdmirxrd(0xC0, dev), c1 = rdwr_->hdmirxrd(0xC1, dev), c2 = rdwr_->hdmirxrd(0xC2, dev);
    drv_->chgbank(0, dev);
    d.N = (be << 12) + (bf << 4) + (c0 & 0x0F);
    d.CTS = (c0 >> 4) + (c1 << 12) + (c2 << 4);
    drv_->iTE6805_Get_TMDS(10, dev);
    const uint32_t tmds = x.iTE6805_VidTiming.TMDSCLK;
    kelDebug("N = %ld \n", static_cast<long>(d.N));
    kelDebug("CTS = %ld \n", static_cast<long>(d.CTS));
    kelDebug("TMDSCLK = %ld \n", static_cast<long>(tmds));
    kelDebug("sum = %lu \n", static_cast<unsigned long>(uint64_t{tmds} * d.N));
    if (d.CTS == 0)
        return;
    const uint16_t fs = ite6805_drv::samplingFrequency(tmds, d.N, d.CTS);
    kelDebug("SW caulate SW_Sampling_Frequency = %d \r\n", fs);
    const int code = ite6805_drv::samplingFrequencyCode(fs);
    if (code >= 0)
        d.Force_Sampling_Frequency = static_cast<uint8_t>(code);
    const uint8_t b5 = rdwr_->hdmirxrd(0xB5, dev);
    d.Audio_CH_Status = static_cast<uint8_t>(((b5 >> 2) & 0x30) | (b5 & 0x0F));
    kelDebug("Audio_CH_Status[24:27 - 30:31][bit0~bit5] = %x ,", d.Audio_CH_Status);
    kelDebug("iTE6805_DATA.Force_Sampling_Frequency %x\r\n", d.Force_Sampling_Frequency);
    if (d.Audio_CH_Status == d.Force_Sampling_Frequency) {
        kelDebug("Audio_CH_Status == iTE6805_DATA.Force_Sampling_Frequency reset Audio \r");
        if (rdwr_->hdmirxrd(0x81, dev) & 0x40) {
            rdwr_->hdmirxset(0x81, 0x40, 0x00, dev);
            drv_->iTE6805_Reset_Audio_Logic(dev);
        }
        d.appliedFs = d.Force_Sampling_Frequency;
        x.Current_AudioSamplingFreq_ErrorCount = 0;
        return;
    }
    ++x.Current_AudioSamplingFreq_ErrorCount;
    kelDebug("Current_AudioSamplingFreq_ErrorCount=%d \r\n", x.Current_AudioSamplingFreq_ErrorCount);
    if (x.Current_AudioSamplingFreq_ErrorCount < 16)
        return;
    rdwr_->hdmirxset(0x81, 0x40, 0x40, dev);
    rdwr_->hdmirxset(0x8A, 0x3F, d.Force_Sampling_Frequency, dev);
    d.appliedFs = d.Force_Sampling_Frequency;
    x.Current_AudioSamplingFreq_ErrorCount = 0;
    drv_->iTE6805_Reset_Audio_Logic(dev);
    kelDebug("ForceAudio Mode\r");
}

// ---- interrupt service ------------------------------------------------------------------------

namespace {
const char* const kCdrNames[3] = {"# CH0 CDR FIFO Aut0-Rst #", "# CH1 CDR FIFO Aut0-Rst #", "# CH2 CDR FIFO Aut0-Rst #"};
const char* const kNotLockNames[3] = {"# CH0 Symbol NOT Lock #", "# CH1 Symbol NOT Lock #", "# CH2 Symbol NOT Lock #"};
} // namespace

void ite6805_sys::iTE6805_hdmirx_port0_SYS_irq(int dev)
{
    static const PortRegs p0{0, 0x05, 0x06, 0x08, 0x13, 0x14, 0x15, 3, "Port 0"};
    portIrq(p0, dev);
}

void ite6805_sys::iTE6805_hdmirx_port1_SYS_irq(int dev)
{
    static const PortRegs p1{1, 0x0A, 0x0B, 0x0D, 0x16, 0x17, 0x18, 7, "Port 1"};
    portIrq(p1, dev);
}

void ite6805_sys::eqRestart(int dev)
{
    eq_->iTE6805_EQ_chg(0, dev);
    eq_->iTE6805_EQ_chg(1, dev);
}

void ite6805_sys::deskewIrq(const PortRegs& p, int dev)
{
    ite6805_dev& x = st(dev);
    ++x.deskewErrors;
    kelDebug("# %s Deskew Error #  deskewerrcnt=%d\n", p.name, x.deskewErrors);
    if (x.deskewErrors <= kDeskewLimit || drv_->iTE6805_Check_HDMI2(dev))
        return;
    x.deskewErrors = 0;
    kelDebug("# Deskew Error > %d #  EQ Restart \n", kDeskewLimit);
    eq_->iTE6805_EQ_chg(1, dev);
    if (++x.deskewRestarts >= 3) {
        x.deskewRestarts = 0;
        drv_->iTE6805_Reset_ALL_Logic(p.port, dev);
    }
}

void ite6805_sys::portIrq(const PortRegs& p, int dev)
{
    drv_->chgbank(0, dev);
    const uint8_t r05 = rdwr_->hdmirxrd(p.int0, dev);
    rdwr_->hdmirxwr(p.int0, r05, dev);
    const uint8_t r06 = rdwr_->hdmirxrd(p.int1, dev);
    rdwr_->hdmirxwr(p.int1, r06, dev);
    const uint8_t r08 = rdwr_->hdmirxrd(p.int2, dev);
    rdwr_->hdmirxwr(p.int2, r08, dev);
    const uint8_t reg = rdwr_->hdmirxrd(p.reg, dev);
    const uint8_t status = rdwr_->hdmirxrd(p.status, dev);
    const uint8_t scdc = rdwr_->hdmirxrd(p.scdc, dev);
    ite6805_dev& x = st(dev);

    if ((r05 & 0x10) && drv_->iTE6805_Check_CLK_Vaild(dev))
        iTE6805_INT_HDMI_DVI_Mode_Chg(p.port, dev);
    if (r05 & 0x20) {
        kelDebug("# %s ECC Error # ", p.name);
        iTE6805_INT_ECC_ERROR(dev);
    }
    if (r05 & 0x40)
        deskewIrq(p, dev);
    if (r05 & 0x80)
        kelDebug("# %s H2VSkew Fail #", p.name);
    if (r05 & 0x04) {
        kelDebug("# %s Input Clock Change Detect #", p.name);
        for (uint8_t& c : x.symbolLockResets)
            c = 0;
        if (!(reg & 0x10)) {
            kelDebug("# Clock NOT Stable\t#");
            eqRestart(dev);
        } else {
            kelDebug("# Clock Stable\t\t#");
        }
    }
    if (r05 & 0x02) {
        x.eccErrors = 0;
        kelDebug("# %s Rx CKOn Detect #", p.name);
    }
    if (r05 & 0x01) {
        kelDebug("# %s 5V state change INT #", p.name);
        iTE6805_INT_5VPWR_Chg(p.port, dev);
    }
    symbolLockIrq(p, r05, r06, p.port, dev);
    for (int ch = 2; ch >= 0; --ch)
        if (r06 & (0x02 << ch))
            kelDebug("%s", kCdrNames[ch]);
    if (r06 & 0x01) {
        kelDebug("# Symbol Lock State Change # ");
        kelDebug(p.port ? " 0x17 =  %x \n" : " 0x14 =  %x \n", status & 0x38);
        if (p.port)
            kelDebug(" STATEEQ = %d \n", static_cast<int>(x.iTE6805_DATA.STATEEQ));
        if ((status & 0x38) && x.iTE6805_DATA.STATEEQ == V::STATEEQ_Off)
            eqRestart(dev);
        if (reg & 0x80) {
            kelDebug("# Symbol Lock #");
        } else {
            kelDebug("# Symbol NOT Lock #");
            for (int ch = 2; ch >= 0; --ch)
                if (status & (0x08 << ch))
                    kelDebug("%s", kNotLockNames[ch]);
        }
    }
    if (r08 & 0x01) {
        kelDebug("# SCDC CLK Ratio Change #");
        iTE6805_vid_chg(V::STATEV_WaitSync, dev);
        eqRestart(dev);
        kelDebug((status & 0x40) ? "SCDC CLK Ratio 1/40 " : "SCDC CLK Ratio 1/10 ");
    }
    if (r08 & 0x02) {
        kelDebug("# SCDC Scrambe Enable Change #");
        kelDebug((status & 0x80) ? "SCDC SCR Enable Bit= 1 " : "SCDC SCR Enable Bit= 0");
    }
    if (r08 & 0x04) {
        kelDebug("# SCDC Scramble Status Change #");
        kelDebug((scdc & 0x02) ? "#  SCDC Scarmable Status:  ON  #" : "#  SCDC Scarmable Status: OFF  #");
    }
    if (r08 & 0x08)
        kelDebug("# EDID Bus Hange #");
    if (r08 & 0x80) {
        kelDebug("HDMI2 Det State=%x \n", (rdwr_->hdmirxrd(0x15, dev) >> 2) & 0x0F);
        rdwr_->hdmirxset(0x4C, 0x80, 0x80, dev);
    }
}

void ite6805_sys::symbolLockIrq(const PortRegs& p, uint8_t r05, uint8_t r06, uint8_t port, int dev)
{
    ite6805_dev& x = st(dev);
    const bool mhl = drv_->iTE6805_Check_PORT0_IS_MHL_Mode(port, dev);
    if (r06 & 0x80)
        kelDebug("# FSM Error  #");
    if ((r06 & 0x40) && !mhl) {
        kelDebug("# CH2 Symbol lock Rst #");
        ++x.symbolLockResets[2];
    }
    if ((r06 & 0x20) && !mhl) {
        kelDebug("# CH1 Symbol lock Rst #");
        ++x.symbolLockResets[1];
    }
    if (!(r06 & 0x10))
        return;
    ++x.symbolLockResets[0];
    if (port == 1) {
        kelDebug("# CH0 Symbol lock Rst #");
    } else {
        kelDebug("# CH0 Symbol lock Rst Count=%d #\n", x.symbolLockResets[0]);
        if ((r05 & 0x04) && (r06 & 0x40) && (r06 & 0x20) && !mhl) {
            kelDebug("# Symbol lock call STATEV_WaitSync #");
            iTE6805_vid_chg(V::STATEV_WaitSync, dev);
        }
    }
    if (x.symbolLockResets[0] >= kSymbolLockLimit && x.symbolLockResets[1] >= kSymbolLockLimit &&
        x.symbolLockResets[2] >= kSymbolLockLimit && x.iTE6805_DATA.STATEEQ == V::STATEEQ_Off &&
        !drv_->iTE6805_Check_HDMI2(dev)) {
        kelDebug("# Force set SCDC to 1/40#");
        drv_->chgbank(p.feBank, dev);
        rdwr_->hdmirxset(0xE5, 0x1C, 0x1C, dev);
        drv_->chgbank(0, dev);
    }
}

void ite6805_sys::iTE6805_hdmirx_common_irq(int dev)
{
    ite6805_dev& x = st(dev);
    drv_->chgbank(0, dev);
    const uint8_t r10 = rdwr_->hdmirxrd(0x10, dev);
    rdwr_->hdmirxwr(0x10, r10, dev);
    if (!revision10OrAboveE0(dev) && (r10 & 0x02)) {
        kelDebug("SCDT change INT happened, trun off VB1 output \r");
        rdwr_->hdmirxwr(0x0F, 0x05, dev);
        rdwr_->hdmirxwr(0xC9, kVboOff, dev);
        rdwr_->hdmirxwr(0x0F, 0x00, dev);
    }
    const uint8_t r11 = rdwr_->hdmirxrd(0x11, dev);
    rdwr_->hdmirxwr(0x11, static_cast<uint8_t>(r11 & ~0x40), dev);
    const uint8_t r12 = rdwr_->hdmirxrd(0x12, dev);
    rdwr_->hdmirxwr(0x12, static_cast<uint8_t>(r12 & ~0xA0), dev);

    if ((r10 & 0x80) && x.iTE6805_DATA.STATEV == V::STATEV_VidStable) {
        drv_->iTE6805_Reset_Audio_Logic(dev);
        iTE6805_Enable_Audio_Output(dev);
    }
    if ((r10 & 0x20) && x.iTE6805_DATA.Flag_VidStable_Done) {
        kelDebug("# PKT Left Mute #");
        drv_->iTE6805_Set_AVMute(0, dev);
    }
    if ((r10 & 0x10) && x.iTE6805_DATA.Flag_VidStable_Done) {
        kelDebug("# Set Mute PKT Received #");
        drv_->iTE6805_Set_AVMute(1, dev);
    }
    if (r10 & 0x08)
        kelDebug("# Timer Counter Tntterrupt #");
    if (r10 & 0x04)
        kelDebug("# Video Mode Changed #");
    if (r10 & 0x01)
        kelDebug("# Video Abnormal Interrup #");
    if (r10 & 0x02) {
        kelDebug("# SCDT Change #");
        iTE6805_INT_SCDT_Chg(dev);
    }
    if (r11 & 0x20)
        kelDebug("# No Audio InfoFrame Received #");
    if (r11 & 0x10)
        kelDebug("# No AVI InfoFrame Received #");
    if (r11 & 0x08)
        kelDebug("# CD Detect #");
    if (r11 & 0x02)
        rdwr_->hdmirxwr(0x11, 0x02, dev);
    if (r11 & 0x01)
        rdwr_->hdmirxwr(0x11, 0x01, dev);
    if (r12 & 0x80) {
        const uint8_t r1a = rdwr_->hdmirxrd(0x1A, dev), r1b = rdwr_->hdmirxrd(0x1B, dev);
        kelDebug("# Video Parameters Change #");
        kelDebug("# VidParaChange_Sts=Reg1Bh=0x%02X Reg1Ah=0x%02X\n", r1b & 7, r1a);
        rdwr_->hdmirxwr(0x12, 0x80, dev);
    }
    static const std::pair<uint8_t, const char*> kPackets[] = {
        {0x40, "# 3D audio Valie Change #"}, {0x10, "# New Audio PKT Received #"}, {0x08, "# New ACP PKT Received #"},
        {0x04, "# New SPD PKT Received #"}, {0x02, "# New MPEG InfoFrame Received #"}};
    for (auto& [bit, text] : kPackets)
        if (r12 & bit)
            kelDebug("%s", text);
    if (r12 & 0x01) {
        kelDebug("# New AVI InfoFrame Received #");
        const uint8_t db1 = drv_->aviDataByte1(dev);
        kelDebug("AVIDB = %x \r\n", db1);
        if (x.iTE6805_DATA.Flag_VidStable_Done != 1) {
            kelDebug("Flag_VidStable_Done!=TRUE, Save AVI Infoframe to variable. ");
            x.prevAVIDB = db1;
        } else {
            iTE6805_Check_ColorChange_Update(dev);
            if (db1 != x.prevAVIDB) {
                x.prevAVIDB = db1;
                kelDebug("# New AVI InfoFrame Received #");
                x.newAvi = 1;
            }
        }
    }
}

void ite6805_sys::iTE6805_INT_SCDT_Chg(int dev)
{
    ite6805_dev& x = st(dev);
    kelDebug("# SCDT Chg #");
    const uint8_t scdt = drv_->iTE6805_Check_SCDT(dev);
    if (scdt == x.scdtLast) {
        if (revision10OrAboveE0(dev)) {
            if (rdwr_->hdmirxrd(0x1C, dev) & 0x80)
                rdwr_->hdmirxset(0x1C, 0x80, 0x80, dev);
        } else if (scdt) {
            drv_->chgbank(5, dev);
            if (rdwr_->hdmirxrd(0xC9, dev) == kVboOff) {
                rdwr_->hdmirxwr(0xC9, kVboOn, dev);
                kelDebug("# SCDT ON - should keep VB1 output #");
            }
            drv_->chgbank(0, dev);
        }
        return;
    }
    x.scdtLast = scdt;
    if (scdt) {
        if (revision10OrE0(dev) && (rdwr_->hdmirxrd(0x1C, dev) & 0x80))
            rdwr_->hdmirxset(0x1C, 0x80, 0x80, dev);
        kelDebug("# SCDT ON #");
        iTE6805_vid_chg(V::STATEV_CheckSync, dev);
        return;
    }
    kelDebug("# SCDT OFF #");
    iTE6805_vid_chg(V::STATEV_WaitSync, dev);
    iTE6805_aud_chg(V::STATEA_Off, dev);
    drv_->publishNoSignal(dev, false);
    drv_->iTE6805_Set_HPD_Ctrl(0, 0, dev);
    delay1ms(100);
    drv_->iTE6805_Set_HPD_Ctrl(0, 1, dev);
    delay1ms(100);
    drv_->iTE6805_Init_fsm(dev);
}

void ite6805_sys::iTE6805_INT_HDMI_DVI_Mode_Chg(uint8_t port, int dev)
{
    const bool stable = st(dev).iTE6805_DATA.STATEV == V::STATEV_VidStable;
    if (drv_->iTE6805_Check_HDMI_OR_DVI_Mode(port, dev) != 0) {
        iTE6805_aud_chg(V::STATEA_Off, dev);
        if (stable)
            iTE6805_Enable_Video_Output(dev);
        kelDebug("# HDMI/DVI Mode : DVI #");
        return;
    }
    if (stable) {
        iTE6805_Enable_Video_Output(dev);
        iTE6805_aud_chg(V::STATEA_RequestAudio, dev);
    }
    kelDebug("# HDMI/DVI Mode : HDMI #");
}

void ite6805_sys::iTE6805_INT_ECC_ERROR(int dev)
{
    ite6805_dev& x = st(dev);
    ite6805_dev::Data& d = x.iTE6805_DATA;
    if (x.eccErrors < 6) {
        ++x.eccErrors;
        return;
    }
    if (x.eccErrors % 3 == 0)
        rdwr_->hdmirxset(0xD9, 0x04, 0x04, dev);
    if (x.eccErrors < 11) {
        ++x.eccErrors;
        return;
    }
    x.eccErrors = 0;
    if (++x.eccTimeouts < 3) {
        kelDebug("++++++++++++++ECC ERROR TIMEOUT ++++++++++++++ Force EQ STATEEQ_KeepEQStateUntil5VOff ");
        d.STATEEQ = V::STATEEQ_KeepEQStateUntil5VOff;
        drv_->iTE6805_Set_HPD_Ctrl(d.CurrentPort, 0, dev);
        delay1ms(100);
        drv_->chgbank(0, dev);
        const uint8_t r = d.CurrentPort ? 0x2B : 0x23;
        if (!(rdwr_->hdmirxrd(r, dev) & 0x02)) {
            rdwr_->hdmirxset(r, 0x02, 0x02, dev);
            delay1ms(300);
            rdwr_->hdmirxset(r, 0x02, 0x00, dev);
        } else {
            delay1ms(300);
        }
        drv_->iTE6805_Set_HPD_Ctrl(d.CurrentPort, 1, dev);
        delay1ms(100);
        return;
    }
    x.eccTimeouts = 0;
    kelDebug("++++++++++++++ECC ERROR TIMEOUT ++++++++++++++ Force EQ STATEEQ_Off ");
    d.STATEEQ = V::STATEEQ_Off;
    eq_->iTE6805_EQ_chg(V::STATEEQ_Off, dev);
    drv_->iTE6805_Reset_ALL_Logic(d.CurrentPort, dev);
}
