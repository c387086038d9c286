#pragma once
#include "inputs/EdidTables.h"
#include "inputs/SourceGpio.h"
#include "inputs/SourceHdmiInfo.h"

#include <pthread.h>

#include <atomic>
#include <cstdint>

class Drv_I2C0;
class ite6805_sys;
class tarvo_it6602;
class it66121_sys;

// The input-source board: six inputs with their receivers and EDID
// EEPROMs, the two I2C switches, the input control port, the 0xD0 chip the
// FPGA power-up waits for, and the SDI path. One detection thread
// (checksourceThread) does all of the board's I2C traffic.
class tarvosource {
public:
    // 8-bit I2C addresses of the board.
    static constexpr uint8_t kReceiverSwitch = 0xEE;
    static constexpr uint8_t kEdidSwitch = 0xE0;
    static constexpr uint8_t kInputPort = 0x40;
    static constexpr uint8_t kEeprom = 0xA0;
    static constexpr uint8_t kS5p210 = 0xD0;
    static constexpr uint8_t kCdce913 = 0xCA;
    static constexpr uint8_t kS5p210Channel = 0x80;
    static constexpr uint8_t i2c_switch_channel[6] = {0x01, 0x02, 0x04, 0x08, 0x20, 0x10};

    enum ThreadState : uint8_t {
        kHoldResets = 0, kWaitHold = 1, kRelease = 2, kWaitRelease = 3, kEdidCheck = 4, kSteady = 5
    };

    static tarvosource* p_tarvo_source;
    static tarvosource* pInstance();

    tarvosource();
    ~tarvosource();
    tarvosource(const tarvosource&) = delete;
    tarvosource& operator=(const tarvosource&) = delete;

    // Opens the bus, hands it to the receivers, copies the input mask,
    // creates "/data/edidramtable" and starts the detection thread.
    // 0, or 255 when the thread cannot be created.
    int initialize();
    // Opens the bus and prepares as initialize() does, without a thread
    // (tests drive runOnce()).
    void prepare();
    static void* checksourceThread(void* arg);
    // One iteration of the detection thread, sleeps included.
    void runOnce();
    // Ends the thread after its current iteration and waits for it.
    void stop();

    void sourcecheck(void* arg);
    void update_vid_info_delay();
    void it66121_sdi_enable();
    void s5p210_setup(int index);
    void cdce913_setup(int index);

    void Set_Custom_HDMI_EDID(int width, int height, int refresh, int input);
    static uint8_t CalcSum4LCD(uint8_t init, const uint8_t* data, unsigned long length);

    // Writer side of a restart: the EDID is marked unwritten before the
    // request is raised, so the thread never restarts without the new EDID.
    void request_restart(int input);

    uint8_t thread_state() const;

    // Refresh of an IT6602 input from its whole-MHz pixel clock and totals
    // (0 when a total is 0), and the value src_video_info stores (55 Hz and
    // above are stored as 60).
    static uint64_t it6602_refresh(uint32_t pclkMHz, uint32_t htotal, uint32_t vtotal);
    static uint8_t stored_refresh(uint64_t hz);

    // Requests and hand-over bytes (written by other threads).
    std::atomic<uint8_t> source_restart_request[6];
    std::atomic<uint8_t> source_edid_written[6];
    std::atomic<uint8_t> audio_route_request{1};
    std::atomic<uint8_t> gpio_pulse_request{0};
    uint8_t gpio_pulse_stage = 0;
    uint32_t gpio_pulse_tick = 0;

    uint8_t source_enable_mask = 0;
    uint8_t audio_select_bits = 0;
    uint8_t edid_wp_bit = 0;
    SourceHdmiInfo hdminfo[6];
    uint8_t it6602_stage[4] = {0, 0, 0, 0};
    uint8_t sdi_tx_state = 0;
    uint8_t cdce913_ready = 0;
    std::atomic<uint8_t> s5p210_state[2];
    uint8_t cdce913_state = 0;
    uint8_t s5p210_done[2] = {0, 0};
    uint32_t source_state_tick = 0;
    uint8_t source_thread_state = kHoldResets;
    uint8_t receiver_reset_request[6] = {1, 1, 1, 1, 1, 1};

    // EDIDs: the built-in tables, the host-supplied ones and the pointer to
    // the 256 bytes the next custom write sends.
    EdidTables edid;
    uint8_t edid_ram_table[6][256] = {};
    std::atomic<uint8_t> edid_ram_table_from[6];
    uint8_t* edidTable = nullptr;

    ite6805_sys* ite6805 = nullptr;
    tarvo_it6602* it6602 = nullptr;
    it66121_sys* it66121 = nullptr;
    Drv_I2C0* i2c = nullptr;
    int i2c_fd = -1;
    SourceGpio gpio;

private:
    void resetSequenceStep(uint8_t state);
    void driveResetLines(uint16_t level);
    void enterState(uint8_t state);
    void finishResetSequence();
    void steadyPass();
    void writePendingEdids();
    void serveReg32();
    void serveReg0(int input);
    void serveAudioRoute();
    void servePulse();
    void restartInput(int input);
    void stepReceiver(int input);

    bool edidCheckPass();
    int checkOneEeprom(int input);
    bool readEeprom(uint8_t* buf);
    bool writeEeprom(const uint8_t* data);
    void writeCustomEdid(int input);
    void setEdidStatus(int input, bool ok);
    bool edidStatus(int input) const;
    bool writePort(uint8_t value);
    bool selectEdidChannel(uint8_t channel);
    bool selectReceiverChannel(uint8_t channel);
    uint8_t audioBitsForRoute() const;

    pthread_t thread_{};
    bool threadStarted_ = false;
    std::atomic<bool> stop_{false};
};
