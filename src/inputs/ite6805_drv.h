#pragma once
#include "inputs/iTE6805_INI_REG.h"

#include <cstdint>

class ite6805_sys;
class ite6805_i2c_rdwr;

// The IT6805 chip driver: initialisation, port queries, measurements, the
// input records and the link actions (hot-plug, mute, tristate, resets).
// Every operation selects the banks it needs and leaves bank 0 selected.
class ite6805_drv {
public:
    explicit ite6805_drv(ite6805_sys& sys);

    uint8_t CEC_timeunit[2] = {0, 0};
    uint32_t RCLKVALUE[2] = {0, 0};  // kHz

    // ---- access and initialisation --------------------------------------------
    void chgbank(uint8_t bank, int dev);
    void hdimrx_write_init(const iTE6805_INI_REG* table, int dev);
    void iTE6805_Init_fsm(int dev);
    void iTE6805_Init_CAOF(int dev);
    uint32_t iTE6805_OCLK_Load(int dev);
    void iTE6805_OCLK_Cal(int dev);
    void iTE6805_Init_TTL_VideoOutputConfigure(int dev);
    void iTE6805_Set_TTL_Video_Path(int dev);

    // ---- port queries ----------------------------------------------------------
    uint8_t iTE6805_Check_5V_State(uint8_t port, int dev);
    uint8_t iTE6805_Check_CLK_Vaild(int dev);
    uint8_t iTE6805_Check_CLK_Stable(int dev);
    uint8_t iTE6805_Check_PORT0_IS_MHL_Mode(uint8_t port, int dev);
    uint8_t iTE6805_Check_HDMI_OR_DVI_Mode(uint8_t port, int dev);  // 0 HDMI, 2 DVI
    uint8_t iTE6805_Check_HDMI2(int dev);
    uint8_t iTE6805_Check_TMDS_Bigger_Than_1G(int dev);
    uint8_t iTE6805_Check_SCDT(int dev);
    uint8_t iTE6805_Check_AUDT(int dev);
    uint8_t iTE6805_Check_AVMute(int dev);
    uint8_t iTE6805_Check_Single_Dual_Mode(int dev);
    uint8_t iTE6805_Check_4K_Resolution(int dev);
    void iTE6805_GET_InputType(int dev);

    // ---- measurement -------------------------------------------------------------
    void iTE6805_Get_TMDS(int samples, int dev);
    void iTE6805_Get_PCLK(int dev);
    void iTE6805_Get_VID_Info(int dev);
    void iTE6805_Get_AVIInfoFrame_Info(int dev);
    uint8_t aviDataByte1(int dev);
    // The counters' arithmetic in 64 bits; a sum or area of 0 gives 0.
    static uint32_t tmdsFromCounts(uint32_t rclk, int samples, uint32_t multiplier, uint32_t sum);
    static uint32_t pclkFromCounts(uint32_t rclk, uint32_t sum);
    static uint32_t frameRate(uint32_t pclk, uint32_t htotal, uint32_t vtotal);
    static uint16_t samplingFrequency(uint32_t tmds, uint32_t n, uint32_t cts);
    // The channel-status code of a sampling frequency in kHz; -1 outside
    // every range.
    static int samplingFrequencyCode(uint16_t khz);

    // ---- set-up by the measured signal -------------------------------------------
    void iTE6805_Set_ColorDepth(int dev);
    void iTE6805_Set_1B0_By_PixelClock(int dev);
    void iTE6805_Set_47_By_TMDS(int dev);
    // Bank 5 output writes of the revisions 0x10 and 0xE0.
    void setVboRevisionRegisters(int dev);

    // ---- input records -----------------------------------------------------------
    // The caller holds Utils::_source_hdminfo_mutex.
    void iTE6805_Get_Hdmi(int dev);
    void iTE6805_Set_Stable(int dev, int stable);
    void iTE6805_update_hdmi(int dev);
    void iTE6805_Show_VID_Info(int dev, int on);
    void iTE6805_Show_AVIInfoFrame_Info(int dev);
    void iTE6805_Show_AUD_Info(int dev);
    // Input 4 + dev shows no signal: src_video_info zeroed, the record's
    // no-signal values, SYNC_INPUT_INFO. stableAfter sets the record's stable
    // field once rewritten.
    void publishNoSignal(int dev, bool stableAfter);
    // HActive as published: twice the measured width for YUV 4:2:0.
    uint16_t publishedWidth(int dev) const;

    // ---- link control ------------------------------------------------------------
    void iTE6805_Set_HPD_Ctrl(uint8_t port, uint8_t level, int dev);
    void iTE6805_Set_AVMute(uint8_t on, int dev);
    void iTE6805_Set_Video_Tristate(uint8_t on, int dev);
    void iTE6805_Reset_Video_Logic(int dev);
    void iTE6805_Reset_Audio_Logic(int dev);
    void iTE6805_Reset_ALL_Logic(uint8_t port, int dev);

private:
    uint8_t rd(uint8_t reg, int dev);
    void wr(uint8_t reg, uint8_t value, int dev);
    void set(uint8_t reg, uint8_t mask, uint8_t value, int dev);
    void pulse(uint8_t reg, uint8_t bit, unsigned ms, int dev);
    void caofFrontEnd(uint8_t bank, int dev);
    void caofWait(uint8_t port, int dev);
    void efuseRead(uint8_t high, uint8_t low, uint8_t* a, uint8_t* b, int dev);
    uint8_t portReg(int dev);
    uint8_t portStatus(int dev);
    void readTiming(int dev);

    ite6805_sys& sys_;
    ite6805_i2c_rdwr& io_;
};
