#pragma once
#include "inputs/ite6805_dev.h"

#include <atomic>
#include <cstdint>

class tarvosource;
class ite6805_i2c_rdwr;
class ite6805_drv;
class ite6805_cec_sys;
class ite6805_eq;

// The two IT6805 HDMI 2.0 receivers (inputs 4 and 5, devices 0 and 1) with
// their V-by-One output stage. Both chips answer at the same address; the
// board manager selects the switch channel before each call, so dev selects
// only the state kept here. Everything runs in the detection thread.
class ite6805_sys {
public:
    struct VideoRecord {
        uint16_t width = 0;
        uint16_t height = 0;
        uint32_t FrameRate = 0;
    };

    explicit ite6805_sys(tarvosource& owner);
    ~ite6805_sys();
    ite6805_sys(const ite6805_sys&) = delete;
    ite6805_sys& operator=(const ite6805_sys&) = delete;

    int i2c_fd = -1;

    // ---- what the board manager calls --------------------------------------------
    // Both devices back to power-on state (while the chips are held in reset).
    void ite6805_sys_reset_init();
    void iTE6805_Set_HPD_Ctrl(int port, int level, int dev);
    void iTE6805_Init_fsm(int dev);
    // One poll: identify and initialise, settle, then one main-body pass.
    void iTE6805_FSM(int dev);
    // The device's poll state (0 identify, 2 settle, 1 running); 0 restarts.
    uint8_t device_state(int dev) const;
    void set_device_state(int dev, uint8_t state);
    // The measured video as published (full width for YUV 4:2:0).
    VideoRecord video(int dev) const;

    // ---- state machines ------------------------------------------------------------
    uint8_t iTE6805_Identify_Chip(int dev);
    void iTE6805_MainBody(int dev);
    void iTE6805_vid_fsm(int dev);
    void iTE6805_aud_fsm(int dev);
    void iTE6805_vid_chg(uint32_t state, int dev);
    void iTE6805_aud_chg(uint32_t state, int dev);
    void iTE6807_Video_Output_Setting(int dev);
    void iTE6805_INT_5VPWR_Chg(uint8_t port, int dev);
    void iTE6805_Port_Select(uint8_t port, int dev);
    void iTE6805_Port_Reset(uint8_t port, int dev);
    void iTE6805_Port_Select_Body(int dev);
    void iTE6805_Port_Reset_Body(int dev);
    void iTE6805_Set_Audio_Tristate(uint8_t on, int dev);
    // Every wait of the receivers' sequences; the program's stop ends it at
    // once (false then), so a stop never waits out a settling pause.
    bool delay1ms(unsigned ms);

    // ---- colour and audio set-up ---------------------------------------------------
    void iTE6805_Enable_Video_Output(int dev);
    void iTE6805_Check_ColorChange_Update(int dev);
    void iTE6805_Enable_Audio_Output(int dev);

    // ---- interrupt service ---------------------------------------------------------
    void iTE6805_hdmirx_port0_SYS_irq(int dev);
    void iTE6805_hdmirx_port1_SYS_irq(int dev);
    void iTE6805_hdmirx_common_irq(int dev);
    void iTE6805_INT_HDMI_DVI_Mode_Chg(uint8_t port, int dev);
    void iTE6805_INT_ECC_ERROR(int dev);
    void iTE6805_INT_SCDT_Chg(int dev);

    // ---- layers and state ----------------------------------------------------------
    ite6805_dev& dev(int d) { return devs_[d & 1]; }
    const ite6805_dev& dev(int d) const { return devs_[d & 1]; }
    tarvosource& owner() const { return owner_; }
    ite6805_i2c_rdwr& rdwr() { return *rdwr_; }
    ite6805_drv& drv() { return *drv_; }
    ite6805_eq& eq() { return *eq_; }
    ite6805_cec_sys& cec() { return *cec_; }

private:
    struct PortRegs;
    ite6805_dev& st(int d) { return devs_[d & 1]; }
    void portIrq(const PortRegs& p, int dev);
    void symbolLockIrq(const PortRegs& p, uint8_t r05, uint8_t r06, uint8_t port, int dev);
    void deskewIrq(const PortRegs& p, int dev);
    void vboGuard(int dev);
    void vidStableStep(int dev);
    void enterVidStable(int dev);
    void enterUnplug(int dev);
    void enterAudioOn(int dev);
    uint8_t laneCount(int dev);
    void waitVboClock(int dev);
    void eqRestart(int dev);
    bool revision10OrE0(int dev) const;
    bool revision10OrAboveE0(int dev) const;

    tarvosource& owner_;
    ite6805_i2c_rdwr* rdwr_;
    ite6805_drv* drv_;
    ite6805_cec_sys* cec_;
    ite6805_eq* eq_;
    ite6805_dev devs_[2];
    std::atomic<uint8_t> state_[2] = {{0}, {0}};
};
