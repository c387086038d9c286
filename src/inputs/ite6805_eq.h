#pragma once
#include <cstdint>

class ite6805_sys;

// The receive equaliser of both IT6805 devices: the chip's automatic
// equaliser (HDMI 1.x) or its successive-approximation equaliser (HDMI 2.0),
// the error counts of the three TMDS channels, a manual sweep over a table
// of settings when the result is bad, and periodic checks once tuned. Every
// operation takes the device (0 or 1); all state, including the sweep, is
// kept per device so that two inputs tuning at once do not disturb each
// other. Runs in the detection thread; every operation ends in bank 0.
class ite6805_eq {
public:
    enum STATEEQ_Type : uint32_t {
        STATEEQ_Off = 0,
        STATEEQ_WaitClockValid = 1,
        STATEEQ_WaitEQResult = 2,
        STATEEQ_EQResult = 3,
        STATEEQ_CheckBitErr = 4,
        STATEEQ_ManualSweep = 5,
        STATEEQ_Retry = 6,
        STATEEQ_KeepEQStateUntil5VOff = 7,
        STATEEQ_EQDone = 9
    };
    static constexpr int kChannels = 3;
    static constexpr int kRecords = 5;
    static constexpr int kRsValues = 14;
    static const uint8_t RS_Value[kRsValues];
    static const uint8_t iTE6805_EQ_Table_Hdmi20[4];
    static const uint8_t iTE6805_EQ_Table_Hdmi10[4];

    // What the equaliser keeps about one device.
    struct State {
        uint8_t eq_sar_done = 0, eq_auto_done = 0, eq_hdmi1x_fail = 0, eq_hdmi20_fail = 0;
        uint8_t eq_path_hdmi1x = 0, eq_path_hdmi20 = 0, eq_is_hdmi2 = 0;
        uint8_t eq_rsskew_mode = 0, eq_result_invalid = 0, eq_fast_link = 0;
        uint8_t eq_rs[kChannels] = {0, 0, 0};
        uint8_t eq_ch_ok[kChannels] = {0, 0, 0};
        uint8_t eq_ch_ok_seen[kChannels] = {0, 0, 0};
        uint8_t eq_ch_ok_index[kChannels] = {0, 0, 0};
        uint8_t eq_best_rs[kChannels] = {0, 0, 0};
        uint16_t eq_min_err[kChannels] = {0, 0, 0};
        uint8_t eq_wait_count = 0, eq_check_count = 0, eq_check_period = 1;
        // Bit 15 count valid, bits 0-14 the count; indexed by eq_sweep_index.
        uint16_t eq_err_records[kRecords][kChannels] = {};
        uint32_t eq_err_total[kChannels] = {0, 0, 0};
        uint8_t eq_dfe[kRsValues][kChannels][3] = {};
        uint8_t eq_sweep_index = 0;
        const uint8_t* eq_table = iTE6805_EQ_Table_Hdmi10;
    };

    explicit ite6805_eq(ite6805_sys& sys) : sys_(sys) {}

    // Enters an equaliser state (STATEEQ of the device) and runs its entry
    // action; ignored while the device is frozen in KeepEQStateUntil5VOff.
    void iTE6805_EQ_chg(uint32_t state, int dev);
    // The per-pass action of the current state.
    void iTE6805_EQ_fsm(int dev);
    // Reads and clears the equaliser interrupts of a port.
    void iTE6805_hdmirx_port0_EQ_irq(int dev);
    void iTE6805_hdmirx_port1_EQ_irq(int dev);
    // Measures again with the looser limit; 1 = good.
    uint8_t iTE6805_BitErr_Check_Again(int dev);

    void iTE6805_Reset_EQ(int dev);
    void iTE6805_Trigger_EQ(int dev);
    void iTE6805_Trigger_SAREQ(int dev);
    void iTE6805_Trigger_RSSKEW_EQ(int dev);
    void iTE6805_Report_EQ(int dev);
    void iTE6805_Report_Skew(int dev);
    void iTE6805_Set_EQResult_Flag(int dev);
    void iTE6805_Get_DFE(int dev, int channel);
    void iTE6805_Set_DFE(int dev, uint8_t value, int channel);
    void iTE6805_BitErr_Get(int dev);
    uint8_t iTE6805_BitErr_Check(int dev);
    uint8_t iTE6805_BitErr_Check_For_Parity_Error(int dev);

    // Position of an equaliser value in RS_Value; 4 (0x1F) when absent.
    static int iTE6805_Find_indexof_DEF(uint8_t value);
    // The three DFE bytes of one measurement (registers 0x5D..0x60).
    static void dfeBytes(uint8_t a, uint8_t b, uint8_t c, uint8_t d, uint8_t out[3]);

    const State& state(int dev) const { return st_[dev & 1]; }

private:
    State& st(int dev) { return st_[dev & 1]; }
    uint32_t& stateeq(int dev);
    uint8_t portBank(int dev) const;
    bool hdmi2(int dev);
    void clearIrqFlags(int dev);
    void bank(uint8_t b, int dev);
    uint8_t rd(uint8_t reg, int dev);
    void wr(uint8_t reg, uint8_t value, int dev);
    void set(uint8_t reg, uint8_t mask, uint8_t value, int dev);
    void resetPulse(unsigned ms, int dev);
    void selectChannel(int channel, int dev);
    void writeRs(const uint8_t values[kChannels], uint8_t flip, int dev);
    void enterResult(int dev);
    void enterCheckBitErr(int dev);
    void enterManualSweep(int dev);
    void waitClockValidStep(int dev);
    void waitResultStep(int dev);
    void doneStep(int dev);

    ite6805_sys& sys_;
    State st_[2];
};
