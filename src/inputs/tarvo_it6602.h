#pragma once
#include <cstdint>

class tarvosource;
struct IT6602_REG_INI;

// The four IT6602 HDMI/DVI receivers of inputs 0..3. All answer at one bus
// address; the detection thread selects the input's receiver-switch channel
// before each call, and one device record per input keeps its state. The
// driver keeps the chip maker's vocabulary (VSTATE_*, ASTATE_*, IT6602_fsm).
// A pass never waits: delay1ms returns at once.
class tarvo_it6602 {
public:
    enum _Video_State_Type : uint8_t {
        VSTATE_Off = 0, VSTATE_TerminationOff, VSTATE_TerminationOn, VSTATE_5VOff, VSTATE_SyncWait,
        VSTATE_SWReset, VSTATE_SyncChecking, VSTATE_HDCPSet, VSTATE_HDCP_Reset, VSTATE_ModeDetecting,
        VSTATE_VideoOn, VSTATE_ColorDetectReset, VSTATE_HDMI_OFF, VSTATE_Reserved
    };
    enum _Audio_State_Type : uint8_t {
        ASTATE_AudioOff = 0, ASTATE_RequestAudio, ASTATE_ResetAudio, ASTATE_WaitForReady, ASTATE_AudioOn,
        ASTATE_Reserved
    };
    static const char* const VStateStr[14];
    static const char* const AStateStr[6];

    // Measured video of one input.
    struct it6602_vid_info {
        uint16_t HActive = 0, VActive = 0, HTotal = 0, VTotal = 0;
        uint32_t PCLK = 0;  // whole MHz
        uint16_t spare = 0;
        uint16_t HFrontPorch = 0, HSyncWidth = 0, HBackPorch = 0;
        uint16_t VFrontPorch = 0, VSyncWidth = 0, VBackPorch = 0;
        uint8_t flags = 0;  // bit 0 interlaced, bit 1 V sync positive, bit 2 H sync positive
    };
    // What update_vid_info_delay publishes.
    struct VideoRecord {
        uint16_t width = 0;
        uint16_t height = 0;
        uint32_t htotal = 0;
        uint32_t vtotal = 0;
        uint32_t pclkMHz = 0;  // whole MHz
    };

    struct AUDIO_CAPS {
        uint8_t AudioFlag = 0;  // bit 7 present, bit 6 HBR, bit 5 DSD
        uint8_t AudSrcEnable = 0;  // channels
        uint8_t SampleFreq = 0;
    };

    struct IT6602_eq_data {
        uint8_t ucEQState = 255;  // 255 idle
        uint8_t ucPortID = 0;
        uint8_t ucIsActive = 0;
        uint8_t ucECCvalue = 0;   // errors of the current trial
        uint8_t ucPollingCount = 0;
        uint8_t ucFFCount = 0;    // successive passes with saturated counters
        uint8_t ucErrorCount[3] = {10, 10, 10};  // per IT6602EQTable entry
    };

    struct _Video_Output_Configure {
        uint8_t mode = 0;  // 0 eRGB444_SDR
        uint8_t colour = 0, bus = 0, sync = 0;
    };

    struct IT6602_dev_data {
        uint8_t m_VState = VSTATE_Off;
        uint8_t m_AState = ASTATE_AudioOff;
        AUDIO_CAPS m_RxAudioCaps;
        uint16_t m_VideoCountingTimer = 0;
        uint16_t m_AudioCountingTimer = 0;
        uint8_t m_ucCurrentHDMIPort = 255;
        _Video_Output_Configure m_VidOutConfigMode;
        uint8_t m_ucSCDTOffCount = 0;  // sync-wait counter
        uint8_t m_ucEventFlags = 0;    // bits 0..2 port 0, 4..6 port 1
        uint8_t m_ucWaitCount[2] = {0, 0};
        IT6602_eq_data EQPort[2];
        uint8_t m_bEQValueInUse[2] = {0, 0};
        uint8_t m_ucAmpValid[2] = {0, 0};
        uint8_t m_ucAmpValue[2][3] = {};
        uint8_t m_ucPolarityToggles[2] = {0, 0};
        uint8_t m_ucEccCount[2] = {0, 0};
        uint8_t m_ucDeskewCount[2] = {0, 0};
        uint8_t m_ucIPLLCheck = 0;
        uint8_t m_ucOutputOff = 0;  // the equaliser switched the outputs off
        uint8_t m_ucDe3DDone = 0;
        uint8_t m_ucInputColorDepth = 0;
        uint8_t m_ucAviId[2] = {0, 0};
        uint8_t m_ucFlags = 0;  // bit 3 HDMI mode, bit 5 new AVI InfoFrame
        uint8_t m_bInputVideoMode = 0;  // bits 0..1 colour, bit 4 BT.709, bit 5 limited
        // AVI InfoFrame values.
        uint8_t ColorMode = 0, Colorimetry = 0, ExtendedColorimetry = 0, RGBQuantizationRange = 0, VIC = 0,
                YCCQuantizationRange = 0;
    };

    static constexpr uint8_t kFlagHdmi = 0x08;
    static constexpr uint8_t kFlagNewAvi = 0x20;

    explicit tarvo_it6602(tarvosource& owner) : owner_(owner) {}
    tarvosource& owner() const { return owner_; }

    int i2c_fd = -1;
    uint8_t IT6602_fail_count[4] = {0, 0, 0, 0};
    uint8_t chip_addr = 0x94;
    uint32_t tmds_clock[4] = {0, 0, 0, 0};  // kHz of the active port, diagnostic

    // Bring-up and service, called by the board manager.
    int IT6602_fsm_init(int input);
    int IT6602_fsm_init_1(int input);
    void IT6602_fsm(int input);
    void IT6602HPDCtrl(uint8_t port, uint8_t level);
    // Does not wait: every input shares the detection thread.
    void delay1ms(unsigned ms);
    VideoRecord video(int input) const;
    IT6602_dev_data& get_IT6602_dev_data(int input) { return dev_[clampInput(input)]; }
    const it6602_vid_info& vid_info(int input) const { return vid_[clampInput(input)]; }

    // Register access at the current chip address. A failed read gives 0.
    uint8_t hdmirxrd_it6602(int fd, uint8_t reg);
    int hdmirxwr_it6602(int fd, uint8_t reg, uint8_t value);
    int hdmirxset_it6602(int fd, uint8_t reg, uint8_t mask, uint8_t value);
    int hdmirxbwr_it6602(int fd, uint8_t reg, uint8_t n, const uint8_t* data);
    void chgbank_it6602(int fd, uint8_t bank);
    void hdimrx_write_init_it6602(int fd, const IT6602_REG_INI* table);

    // Measurement helpers, guarded against zero divisors.
    static uint32_t pixelClockMHz(uint8_t reg9A);
    static float oscillatorEstimate(uint32_t count, uint8_t reg9A);
    static bool OSCvalueCompare(uint32_t count);

private:
    static int clampInput(int input) { return input < 0 ? 0 : input > 3 ? 3 : input; }
    IT6602_dev_data& dev() { return dev_[cur_]; }
    // Register access of the call in progress (bus descriptor, chip address).
    uint8_t rd(uint8_t reg) { return hdmirxrd_it6602(i2c_fd, reg); }
    void wr(uint8_t reg, uint8_t value) { hdmirxwr_it6602(i2c_fd, reg, value); }
    void set(uint8_t reg, uint8_t mask, uint8_t value) { hdmirxset_it6602(i2c_fd, reg, mask, value); }
    void bank(uint8_t b) { chgbank_it6602(i2c_fd, b); }

    // 3.104: bring-up, states, output, audio, measurement.
    int IT6602_Identify_Chip(int input);
    void IT6602_Rst(int input);
    void hdmirx_Var_init();
    void Cal_oclk();
    uint32_t CP_OCLK();
    void IT6602PortSelect(uint8_t port);
    void IT6602SwitchVideoState(uint8_t state);
    void IT6602SwitchAudioState(uint8_t state);
    void publishVideoOn();
    void IT6602VideoOutputEnable(bool on);
    void IT6602VideoHandler();
    void WaitingForSCDT();
    void IT6602_SetVideoMute(bool on);
    bool CheckAVMute();
    void IT6602_AFE_Rst();
    void IT6602AudioHandler();
    void getHDMIRXInputAudio(AUDIO_CAPS* caps);
    void hdmirx_ResetAudio();
    void SetAudioOutput(bool on);
    void get_vid_info();
    uint32_t portTmdsClock(uint8_t port);
    float measurePfreq();
    // Fills the input's hdminfo record; the caller holds its lock.
    void it6602_Get_Hdmi(float pfreq);
    void it6602_update_vid_info();
    void emitInputInfo();

    // 3.105: interrupts, events, equaliser, output colour.
    void IT6602HDMIInterruptHandler();
    // Status latches of one port (0x05 port 0, 0x06 port 1).
    void servicePort(uint8_t port, uint8_t st);
    void serviceCommon(uint8_t r07, uint8_t r08, uint8_t r09, uint8_t rD0);
    void hdmirx_INT_5V_Pwr_Chg(uint8_t port);
    void hdmirx_INT_HDMIMode_Chg(uint8_t port);
    void hdmirx_INT_SCDT_Chg();
    void hdmirx_ECCTimingOut(uint8_t port);
    void TMDSCheck(uint8_t port);
    void DisableOverWriteRS(uint8_t port);
    void IPLLOvw_chk(uint8_t port);
    void IT6602_HDCP_ContentOff(uint8_t port, bool off);
    void IT6602_ManualVideoTristate(bool on);
    void IT6602HDMIEventManager();
    void aud_fiforst();
    void AmpValidCheck(uint8_t port);
    void HDMIStartEQDetect(uint8_t port);
    void HDMIAdjustEQ(uint8_t port);
    void HDMISwitchEQstate(uint8_t port, uint8_t state);
    void HDMISetEQValue(uint8_t port, uint8_t index);
    void HDMICheckSCDTon(uint8_t port);
    void HDMIPollingErrorCount(uint8_t port);
    void HDMIJudgeECCvalue(uint8_t port);
    void StoreEccCount(uint8_t port);
    void JudgeBestEQ(uint8_t port);
    void OverWriteAmpValue2EQ(uint8_t port);
    void TogglePolarity(uint8_t port);
    void hdmirx_INT_EQ_FAIL(uint8_t port);
    void IT6602VideoOutputConfigure();
    void GetAVIInfoFrame();
    void SetColorSpaceConvert();
    void IT6602_VideoOutputModeSet();
    bool portHasClock(uint8_t port);
    void toggleDeskew(uint8_t reg);
    void advanceEQ(uint8_t port);
    void IT6602_DE3DFrame();

    tarvosource& owner_;
    int cur_ = 0;  // the input of the call in progress
    IT6602_dev_data dev_[4];
    it6602_vid_info vid_[4];
};
