#pragma once
#include "ledout/fpga_drv.h"
#include "ledout/fpga_gpio_words.h"
#include "ledout/CardProgressRelay.h"
#include "ledout/LedGlobals.h"
#include "ledout/PcRequestSlot.h"
#include "ledout/clock_record_run.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kel::platform { class RegisterWindow; }
class rcvRecovery;
class UpgradePackage;
struct UpgradeChild;

class clock_record_run;

// Date and time record used by the timed screen switching and the clock.
struct TimeRealType {
    uint8_t second = 0;
    uint8_t minute = 0;
    uint8_t hour = 0;
    uint8_t day = 0;
    uint8_t unused = 0;
    uint8_t month = 0;
    uint16_t year = 0;
};

// Argument of SCREEN_fpgactrl_status / SCREEN_fpgactrl_status2.
enum SCREEN_status : uint8_t {
    SCREEN_OFF = 0,
    SCREEN_ON = 1,
    SCREEN_BIT1_SET = 2,
    SCREEN_BIT1_CLEAR = 3,
    SCREEN_OUTPUT_ENABLE = 4,
    SCREEN_OUTPUT_BLANK = 5,
    SCREEN_VBO_OUT_CLEAR = 7,
    SCREEN_VBO_OUT_SET = 8,
    SCREEN_REFRESH_STATUS = 9,
    SCREEN_STATUS_DONE_SET = 10,
    SCREEN_STATUS_DONE_CLEAR = 11,
};

// The single owner of the output FPGAs: SPI devices, the SoC register
// window with the GPIO words, the register and RAM images, and the FPGA
// manager thread whose pass powers FPGA 0 up, walks its status sequence,
// serves the interrupt, brightness, LED-size and output requests.
class fpga_manage {
public:
    // ---- register numbers (FPGA 0 unless noted) ----
    enum Reg : uint8_t {
        FPGA_REG_CTRL = 0,
        FPGA_REG_LOAD = 2,
        FPGA_REG_OUTPUT = 3,
        FPGA_REG_BRIGHTNESS = 6,
        FPGA_REG_VERSION_AUX = 7,
        FPGA_REG_MEASURE = 21,
        FPGA_REG_STATUS = 22,
        FPGA_REG_VBO_CTRL = 23,
        FPGA_REG_VERSION = 28,   // 28..31
        FPGA_REG_VERSION_MAIN = 31,
        FPGA_REG_AGEING = 40,
        FPGA_REG_RAM_RESET = 41,
        FPGA_REG_BRIGHT = 64,    // image only
        FPGA_REG_ONOFF = 66,     // image only
        FPGA_REG_POWER = 67,     // image only
        FPGA_REG_STATE = 80,     // image only; 3 = running
        FPGA_REG_BAD_ANSWERS = 85,
        FPGA_REG_LINK = 128,
        FPGA_REG_LINK_HIGH = 144,
    };
    static constexpr uint8_t kStateRunning = 3;
    // Output-port registers of ports 0-7 and 8-15.
    static constexpr uint8_t kRegPortStatus[2] = {0x81, 0x91};   // bit 2k RX of pair k full, 2k+1 TX busy
    static constexpr uint8_t kRegPortStrobe[2] = {0x82, 0x92};   // bits 0-3 release RX, 4-7 start TX
    static constexpr uint8_t kRegPortArm[2] = {0x83, 0x93};
    static constexpr uint8_t kRegPortSelect[2] = {0x84, 0x94};
    static constexpr uint8_t kParaBuffer = 1;
    static constexpr uint32_t kParaRecordAddr = 0x6C7000;
    static constexpr uint32_t kOnOffSector = 1741;
    static constexpr uint32_t kBrightSector = 1742;
    static constexpr uint32_t kBrightRecordBytes = 57;   // the stored brightness record

    // ---- singleton ----
    static fpga_manage* pInstance();
    static fpga_manage* p_fpga_manage;
    // Stops the thread and frees the object (tests and an orderly exit).
    static void destroyInstance();

    // ---- start-up and thread (the pass is public so a test drives it) ----
    uint32_t initialize();
    void softinit();
    uint32_t initialize_start();
    static void* fpgamanageThread(void* arg);
    void fpga_manage_deal(void* arg = nullptr);
    void set_lcd_change_flag();
    void stopThread();

    // ---- command words and raw access ----
    static uint32_t fpga_reg_cmd_to_spi_data(uint8_t type, uint8_t bank, uint8_t reg, uint8_t read, uint8_t data);
    static uint32_t fpga_cmd_to_spi_data(uint8_t type, uint8_t buffer, uint32_t address, uint8_t read);
    int read_fpga_register(uint32_t reg, uint8_t* value, uint8_t fpga);
    int write_fpga_register(uint32_t reg, uint8_t value, uint8_t fpga, uint8_t mask);
    int write_fpga_ram(const uint8_t* data, uint32_t address, uint32_t length, uint8_t buffer, uint8_t fpga);
    int read_fpga_ram(uint8_t* out, uint32_t address, uint32_t length, uint8_t buffer, uint8_t fpga);
    void write_LCD_register(uint32_t command, const uint8_t* data, uint8_t fpga, uint8_t count);

    // ---- register image ----
    void read_from_register(uint8_t reg, uint8_t fpga);
    void write_to_register(uint8_t reg, uint8_t mask, uint8_t value, uint8_t fpga);
    void write_to_0x00_register(uint8_t reg, uint8_t mask, uint8_t value, uint8_t fpga);
    uint8_t reg_image(uint8_t reg, uint8_t fpga = 0);

    // ---- parameter RAM image: ports, screen area ----
    void update_eth_state(uint8_t fpga);
    uint8_t check_fpga_ram_param(uint8_t fpga);
    void eth_param_init(uint8_t mode, uint8_t fpga);
    static int get_eth_param_addr(uint8_t port, uint16_t* x, uint16_t* y, uint16_t* w, uint16_t* h);
    int get_eth_min_x_y(uint8_t fpga, uint16_t* x, uint16_t* y);
    int get_eth_max_border(uint8_t fpga, uint16_t* right, uint16_t* bottom);
    int get_eth_lcd_x_y(uint8_t fpga, uint16_t* x, uint16_t* y);
    int get_eth_lcd_w_h(uint8_t fpga, uint16_t* w, uint16_t* h);
    void T57_mcu_set_net_para(uint8_t fpga);
    void T57_back_mcu_set_net_para(uint8_t fpga);

    // ---- host command RAM ----
    void Dealwith_mcu_ram();
    void Version_to_RAM();
    void PHY_status_to_RAM();
    void FPGA_to_RAM(uint8_t fpga);
    void Checktime();

    // ---- power-up, status, resets, screen ----
    uint32_t get_fpga_status();
    void reset_fpga_rst(uint8_t f);
    void check_fpga_rst();
    void power_up_fpga_start(uint8_t check, uint8_t f);
    void power_up_check_fpga_status(uint8_t f);
    void fpgainit(uint8_t f);
    void SCREEN_fpgactrl_status(SCREEN_status s);
    void SCREEN_fpgactrl_status2(SCREEN_status s, uint8_t f);
    void set_led_para_deal();
    uint32_t get_wlan_state();
    void check_wlanonline_state();

    // ---- local monitor output and the row/column RAM (fpga_manage_monitor.cpp) ----
    // Mask of `total` lines with `n` of them spread evenly: bit i % 8 of
    // byte i / 8 is clear when line i is used; (total + 7) / 8 bytes of 0xFF
    // when n is not below total.
    static void row_col_calcul_ram(uint32_t n, uint32_t total, uint8_t* out);
    void set_fpga_row_col_ram(uint16_t width, uint16_t height, uint8_t f);
    void set_fpga_lcd_wh(uint8_t f);
    // One step of the monitor of FPGA f (monitor_state 1 off, 3 probe,
    // 4 program, 5 on).
    void check_monitor_change(uint8_t f);
    // Probes the monitor transmitter of a monitor in state 3; it answers: 4.
    void set_9022_para(uint8_t monitor);
    uint32_t set_fpga_bri_val();
    uint32_t set_output_status();

    // ---- hooks of the pass into brightness, screen power, running time,
    // the mailbox procedures and the USB upgrade ----
    void Extension_function();
    void record_bright_change();
    void record_onoff_time(uint8_t flash);
    void Brightness_hand_dealwith(uint8_t apply);
    void OnOff_time();
    void record_clock_change();
    void bright_record_stored(bool hand);
    void run_clock_record();
    void SmartMapping_deal();
    void rcv_recovery_check_deal(uint8_t mode);
    void save_para_deal();
    void mapping_enable_deal();
    void usb_upgrade_manage_deal();

    // ---- USB-stick upgrade (fpga_manage_upgrade.cpp) ----
    // One step per call while g_usb_grade is set; the step is byte 1 of
    // g_send_para: 0 start, 1 list, 2 packages, 3 end.
    void usb_upgrade_deal();
    void get_usb_file_list_path();
    void usb_upgrade_main_deal();
    // What the run does with a child: leaves its type's flag as it is,
    // clears it (that version runs already, or all fonts are present),
    // writes the child, or sets the flag without a write (a font of
    // another coding still asks for the font reload).
    enum class UpgradeTake : uint8_t { Ignore, Skip, Write, FlagOnly };
    UpgradeTake usb_upgrade_take(const UpgradePackage& package, const UpgradeChild& child);
    // Reads the package and what the run takes of it; false, with the
    // reason, when any child's layout or any child to be written is unsound.
    bool usb_upgrade_plan(const QString& path, UpgradePackage& package, std::vector<UpgradeTake>& takes,
                          std::string* why);
    void usb_upgrade_child(const QString& path, const UpgradeChild& child, UpgradeTake take);
    void usb_upgrade_end_of_run();
    // Each writes one child that its package's check passed; true when
    // every read, erase and write succeeded.
    bool update_muc_file(const QString& path, uint32_t offset, uint32_t length);
    bool update_txc_file(const QString& path, uint8_t flash, uint32_t offset, uint32_t length);
    bool update_c331_osd_font_file(const QString& path, uint32_t offset, uint32_t length, uint32_t base);
    // Its time as "H:M:S" without leading zeros (9:5:3).
    static QString clock_text();
    static constexpr int kUsbListMax = 255;

    // ---- brightness, light sensor, timed screen on/off, clock, running time ----
    // (fpga_manage_bright.cpp, clock_record_run.cpp). Their state is guarded
    // by sched_mutex: the command RAM reaches them from link threads. The
    // sensor read, the flash records and the clock read run without it.
    void Brightness_init(const uint8_t* record);
    // Under sched_mutex: one scheduler step; true when it is the automatic
    // mode's and the sensor was chosen: the caller reads it with the lock
    // released (Brightness_read_VMF_value) and then, under the lock again,
    // ends the step with Brightness_auto_finish.
    bool Brightness_task();
    void Brightness_auto_finish();
    void Brightness_hand_change();
    void Brightness_time_change();
    void Brightness_check_VMF();
    void Brightness_read_VMF_value();
    void Brightness_auto_filter();
    static uint8_t half_hour_slot(uint32_t minutes);
    void Send_read_VMF_data_cmd();
    void Brightness_VMF_run();
    void VMF_data_back_result();
    // The 19-byte sensor read request for a card address.
    static void vmf_read_frame(uint16_t card_addr, uint8_t* frame);
    // Power-save register write to the sensor card (ports 1..8) on the
    // current send port, and its answer: 1 done, 2 refused, 0 none.
    void Send_write_VMF_reg_cmd(bool on, uint8_t port);
    uint8_t wait_VMF_result();
    void VMF_reg_back_result(uint8_t fpga);
    void dealwith_onoff();
    // Service FPGA 0's interrupt, nothing more.
    void Brightness_task_run();
    void Search_Card_task_run();
    // The board clock read as the real-time clock chip gives it.
    static uint32_t IT8563WE_Get(TimeRealType* t);
    // ---- power saving of the card outputs (fpga_manage_powersave.cpp) ----
    void Power_ctrl_init();
    void Power_ctrl_reset();
    // One pass of the power-saving controller: while FPGA 0 is lit and only
    // window 0 may be on, it watches window 0's input (every 100 ticks) and
    // the first card's power flag (every 1000 ticks, into image register
    // 67), stops the card outputs 1000 ticks after the flag reads 1 and
    // starts them again on request (an input coming back or another window
    // turned on asks for it).
    void Power_ctrl_deal();
    void Power_ctrl_task();
    void Power_check_VMF();
    void Power_read_VMF_value();
    void Power_ctrl_filter();
    void Power_VMF_run();
    void Send_read_VMF_RAM0_data_cmd();
    void VMF_RAM0_data_back_result();
    // One step of the stop or start sequence: one card register write per
    // call for ports 1..8, at least 51 ticks apart.
    void eth_data_send_stop();
    void eth_data_send_start();
    // The running-time record as of the FPGA manager's last pass (the
    // protocol's export); g_clock_record itself is that thread's own.
    ClockRecordState clock_record_snapshot();

    // ---- receiving-card frames (each returns the frame length, 0 when
    // the frame would not fit the caller's capacity or 1024 bytes; those
    // given a capacity store the length in g_send_para.send_frame_len) ----
    static constexpr uint32_t kCardFrameMax = 1024;
    uint32_t load_write_ram_cmd_create(uint8_t port, uint16_t card, uint32_t address, const uint8_t* data,
                                       uint16_t length, uint8_t* frame, uint32_t capacity, bool all);
    uint32_t rcv_card_cmd_create(uint8_t* frame, uint8_t port);   // 23 bytes, length not stored
    uint32_t rcv_active_firmware_cmd_create(uint8_t port, uint16_t card, const uint8_t* data, uint16_t length,
                                            uint8_t* frame, uint32_t capacity);
    uint32_t rcv_reconfig_cmd_create(uint8_t port, uint16_t card, const uint8_t* data, uint16_t length,
                                     uint8_t* frame, uint32_t capacity);
    uint32_t load_write_reg_cmd_create(uint8_t port, uint16_t card, const uint8_t* data, uint16_t length,
                                       uint8_t* frame, uint32_t capacity, bool all);
    uint32_t load_write_user_defined_cmd_create(uint8_t port, uint16_t card, const uint8_t* data, uint16_t length,
                                                uint8_t* frame, uint32_t capacity, bool all);
    uint32_t load_search_rxc_cmd_create(uint8_t port, const uint8_t* data, uint16_t length, uint8_t* frame,
                                        uint32_t capacity);
    uint32_t save_para_cmd_create(uint8_t* frame, uint8_t port);                          // 13 bytes
    uint32_t save_para2flash_cmd_create(uint8_t port, uint16_t card, uint8_t* frame, bool all);   // 13 bytes
    uint32_t mapping_enable_cmd_create(uint8_t port, uint8_t* frame);                     // 15 bytes
    uint32_t ram_reset_cmd_create(uint8_t* frame, const SCAN_PARA& para, uint8_t port);   // 15 bytes

    // ---- sending to the output ports ----
    void Send_to_port(const uint8_t* frame, uint16_t length, uint16_t port, uint8_t fpga);
    uint8_t wait_fpga_send_ready(uint8_t port, uint8_t fpga);
    // One read of the port's transmitter: true when it is free.
    bool tx_free(uint8_t port, uint8_t fpga);
    // Sends the frame out of each port in targets (bit per port of FPGA 0).
    void multi_port_send(uint8_t* frame, uint16_t length, uint16_t targets);
    // The ports a request for all ports goes to: linked, with counted cards.
    uint16_t all_ports_targets();
    uint16_t get_port_card_num(uint8_t port);
    uint32_t check_netport_card(uint8_t fpga);
    uint32_t check_multi_port_send(uint32_t, const uint8_t*) { return 0; }
    // Parameter RAM addresses of a port's card count and its status byte.
    static uint16_t port_count_addr(int port);
    static uint16_t port_status_addr(int port);

    // ---- card answers, interrupt and PC pass-through ----
    uint32_t reg_IRQ_Dealwith(uint8_t fpga, uint8_t force);
    void Rcv_data_from_eth(uint8_t fpga);
    void check_fpga_net_data_status(uint8_t fpga);
    void update_eth_rcv_num(const uint8_t* frame, uint8_t port, uint8_t fpga);
    uint32_t Dealwith1_PC_to_eth(const uint8_t* frame, uint32_t length);
    // Where a PC tool's request goes: port 0-15, PcRequestSlot::kAllPorts
    // or kNowhere.
    static uint8_t pc_request_port(const uint8_t* frame, uint32_t length);
    // Where an answer for the PC tool goes (bound at start-up to the
    // protocol's card-answer path): the link and sender of its request.
    // Without a sink the answer is dropped.
    using CardAnswerSink =
        std::function<bool(uint8_t link, const std::string& sender, const uint8_t* frame, uint32_t length)>;
    void setCardAnswerSink(CardAnswerSink sink);

    // ---- card search and positions ----
    void Check_search_card();
    void Search_Card_Cmd();
    uint32_t CHECK_search_cmd_status();
    void check_error_rcv_search_card_cmd(uint32_t port, uint8_t fpga, uint32_t value_a, uint32_t value_b, uint8_t mode);
    void deal_with_search_concurrent(uint8_t fpga);
    void Search_concurrent_back_result(uint8_t* frame, uint8_t group, uint8_t fpga, uint32_t length);
    uint8_t check_vbo_status(uint8_t fpga);
    static void get_rcvcard_x_y(int index, uint16_t* x, uint16_t* y);

    // ---- locks ----
    // A lock guards data, never a wait: none of these is held while a
    // transmitter, a card's answer, a flash erase or program or another
    // thread is awaited, so a control link or the pass never waits on
    // another thread's card traffic (docs/ledout-fpga.md has the table).
    std::mutex reg_image_mutex;
    // The interrupt service and the pass-through state (multicast_*,
    // pc_request, g_passby_trans_port, pc_reply_ready); the links take it
    // every pass.
    std::mutex irq_mutex;
    std::mutex sched_mutex;
    // The transmit buffers with their select, length and start registers:
    // held for the writes of one frame, whoever sends it (pass-through,
    // search, mailbox procedures, light sensor).
    std::mutex tx_mutex;

    // ---- object state (start-up, images, power-up, later features) ----
    std::thread fpga_thread;
    std::atomic<bool> thread_run{false};
    uint32_t monitor_state[2] = {3, 3};
    std::atomic<uint8_t> fpga_output_req{0};
    std::atomic<uint8_t> fpga_bri_req{0};
    uint32_t led_step_stamp = 0;
    uint32_t fpga_multicast_state = 0;
    std::unique_ptr<fpga_drv> drv;
    int spi_fd_fpga0 = -1;
    int spi_fd_fpga1 = -1;
    int spi_fd_flash2 = -1;
    int spi_fd_flash3 = -1;

    uint8_t reg_images[2][kRegImageSize] = {};
    uint8_t ram_para_image[2][kRamImageSize] = {};
    uint8_t ram_rx_image[2][kRamImageSize] = {};
    uint8_t ram_tx_image[2][kRamImageSize] = {};
    uint8_t eth_para_image[2][kEthImageSize] = {};
    uint8_t eth_back_image[2][kEthImageSize] = {};
    std::atomic<uint8_t> fpga_ctrl_flags{0};

    uint16_t wlan_state_seen = 0;
    uint32_t wlan_check_tick = 0;
    std::unique_ptr<rcvRecovery> rcv_reader;   // reader of the stored card files
    CardProgressRelay progress_relay;   // progress of the card procedures, for the pages
    // USB-stick upgrade: the packages of the run, what the run wrote, and
    // "H:M:S" of its start (and, once it ended, four blanks and its end).
    QStringList usb_file_list;
    uint16_t usb_file_count = 0;
    uint8_t downing_mcu = 0;
    uint8_t downing_txc1 = 0;
    uint8_t downing_txc2 = 0;
    uint8_t downing_osd = 0;
    QString usb_upgrade_time;
    int mem_fd = -1;
    int msys_fd = -1;
    std::unique_ptr<kel::platform::RegisterWindow> reg_window;
    uint8_t msys_request[20] = {};
    fpga_gpio_words gpio;

    // power-up and status state, per FPGA
    std::atomic<uint8_t> vbo_step[2] = {{0}, {0}};
    std::atomic<uint8_t> status_step[2] = {{0}, {0}};
    uint8_t ram_reset_seen[2] = {0, 0};
    uint32_t status_stamp[2] = {0, 0};
    uint32_t powerup_passes[2] = {0, 0};
    uint16_t vbo_errors[2] = {0, 0};
    uint8_t vbo_resets[2] = {0, 0};
    uint8_t check_retries[2] = {0, 0};
    uint8_t check_rounds[2] = {0, 0};
    uint8_t ram_check_ok[2] = {0, 0};
    std::atomic<uint8_t> reset_pending[2] = {{0}, {0}};
    uint32_t reset_stamp[2] = {0, 0};

    // brightness and light sensor
    uint8_t bright_mode = 0;
    uint8_t bright_last_slot = 255;
    uint8_t HalfHourValue[48] = {15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15,
                                 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15,
                                 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15};
    // Set by the pass while it applies a brightness request it has taken.
    std::atomic<uint8_t> bri_req_taken{0};
    uint32_t time_stamp = 0;          // tick of the last time_now refresh
    uint8_t announce_pending = 0;     // a change to announce once sched_mutex is released
    std::vector<SCREEN_status> onoff_switches;  // timed switches to make once it is released
    int16_t bright_store_pending = -1;  // a hand level to store in flash once it is released
    // The clock command's mark of the running-time record, made by the
    // FPGA manager thread on its next pass (the record is written there
    // only, so no lock is held across its flash writes).
    std::atomic<uint8_t> clock_change_req{0};
    // g_clock_record as of the last pass, for other threads (sched_mutex).
    ClockRecordState clock_record_published{};
    uint8_t vmf_data[128] = {};
    TimeRealType time_now;
    // card answers to the controller's own requests
    std::atomic<uint8_t> card_answer_ready{0};
    uint8_t card_answer[2 + 256] = {};   // command, status, up to 256 data bytes
    uint32_t card_answer_length = 0;    // the whole answer frame, check byte included
    bool card_answer_check_ok = false;  // its check byte was right
    // timed screen on/off
    uint8_t onoff_count = 0;
    uint8_t screen_off_by_timer = 0;
    uint8_t onoff_last_day = 0;
    uint8_t on_hour[8] = {}, on_minute[8] = {}, off_hour[8] = {}, off_minute[8] = {};
    uint8_t on_armed[8] = {}, off_armed[8] = {};
    uint8_t power_ctrl_step = 0;       // 1 restart the timing, 2 watching, 3 the flag reads 1
    uint32_t power_ctrl_count = 0;     // reads in a row that found the flag at 1
    // the running-time record
    std::unique_ptr<clock_record_run> clock_record;
    // sending to the output ports, power saving of the outputs
    uint8_t send_port_current = 0;
    uint8_t send_fpga_current = 0;
    std::atomic<uint8_t> multicast_pending{0};
    uint32_t multicast_time = 0;
    uint8_t output_stopped = 0;
    uint8_t output_stop_req = 0;
    uint8_t output_start_req = 0;
    uint8_t output_step = 0;
    // PC pass-through
    std::atomic<uint8_t> multicast_in_progress{0};
    uint32_t multicast_reply_mask = 0;
    uint8_t multicast_tag = 0;
    uint8_t multicast_search_addr = 0;
    std::atomic<uint8_t> pc_reply_ready{0};
    std::atomic<bool> pc_drop_logged{false};   // a dropped request was logged in this hold
    PcRequestSlot pc_request;                  // under irq_mutex
    // card search and V-by-One watch
    uint32_t search_sent = 0;
    std::atomic<uint32_t> search_answered{0};   // also written on the link threads
    std::atomic<uint16_t> fpga_port_card_mask{0};   // read by the links
    uint8_t vbo_fault[2] = {0, 0};
    uint8_t vbo_fix_step[2] = {0, 0};
    uint16_t vbo_fix_count[2] = {0, 0};
    // card check and recovery
    uint8_t recovery_screen = 0;
    uint8_t recovery_net = 0;
    uint8_t recovery_card = 0;
    uint8_t recovery_net_index = 0;   // port record of the finding, for the recovery
    // config_id of the screen description the check loaded last; the
    // answer path (any thread) compares search answers with it.
    std::atomic<uint32_t> loaded_config_id{0};
    std::atomic<bool> screen_loaded{false};
    uint16_t scan_op_count = 0;

    // ---- mailbox procedures: check, recovery, scan load, stored operations ----
    enum RCV_CHECK_OR_RECOVERY : uint8_t { RCV_CHECK = 0, RCV_RECOVERY = 1, RCV_LOAD_SCAN = 2 };
    // Results of one replay step.
    enum OperateResult : uint8_t { OPERATE_RUNNING = 0, OPERATE_DONE = 1, OPERATE_FAILED = 2 };
    uint8_t load_rcv_xy_operate(const QString& path, uint32_t data_offset, bool all_cards);
    int get_operate_deal_para(SCAN_PARA* out, uint8_t index);

    fpga_manage();
    ~fpga_manage();
    fpga_manage(const fpga_manage&) = delete;
    fpga_manage& operator=(const fpga_manage&) = delete;

private:
    uint32_t build_data_frame(uint16_t target, uint8_t portByte, uint8_t cmd, const uint8_t* data, uint16_t length,
                              uint8_t* frame, uint32_t capacity);
    uint16_t link_mask();
    bool read_rx_frame(uint8_t pair, uint8_t fpga, uint8_t* frame, uint32_t& length);
    void release_rx(uint8_t pair, uint8_t fpga);
    void pass_to_pc(uint8_t* frame, uint32_t length, uint8_t group, uint8_t fpga);
    bool all_ports_answer(const uint8_t* frame) const;
    bool join_all_ports(uint8_t* frame, uint32_t length);
    bool cards_out_of_reach();
    uint8_t wait_tx(uint8_t port, uint8_t fpga, uint32_t start);
    void store_port_count(const uint8_t* frame, uint8_t port, uint8_t fpga);
    void clear_port_count(int port);
    // config_id of the screen the recovery reader has loaded; false while
    // no reader (or no screen) is there.
    bool recovery_config_id(uint32_t* id);
    bool window0_input_present();
    void picture_wanted();
    void output_sequence_step(bool stop);
    std::mutex sink_mutex;
    CardAnswerSink card_answer_sink;

    // Exactly one of readInto / writeFrom is given.
    int transaction(uint8_t fpga, uint32_t word, uint8_t* readInto, const uint8_t* writeFrom, uint32_t length);
    void bindGpioWords();
    void write_through_image(uint8_t reg, uint8_t mask, uint8_t value, uint8_t fpga, bool host);
    uint8_t merge_image(uint8_t reg, uint8_t mask, uint8_t value, uint8_t fpga);
    void screen_register0(uint8_t& v, uint8_t mask, bool announce, uint8_t fpga);
    void store_cmd_record(uint32_t sector, uint16_t n);
    void erase_cmd_record(uint32_t sector);
    bool vbo_pass(uint8_t f);
    void vbo_s2(uint8_t f);
    void vbo_s5(uint8_t f);
    void vbo_s6(uint8_t f);
    void pull_reset(uint8_t f);
    void status_pass(uint8_t f);
    void status_step0(uint8_t f);
    void status_step7(uint8_t f);
    void load_para_defaults(uint8_t f);
    void set_bit(uint8_t reg, uint8_t bit, bool on, uint8_t f);
    uint16_t para_u16(uint8_t f, uint32_t addr) const;
    void set_para_u16(uint8_t f, uint32_t addr, uint16_t v);
    uint8_t flashOf(uint8_t f) const { return uint8_t(f + 2); }
    static uint16_t block_u16(size_t offset);
    static void set_block_u16(size_t offset, uint16_t value);
    static void announce(int reason);
    // Caller holds sched_mutex; a level to store is left in
    // bright_store_pending for store_pending_bright_record.
    bool bright_apply();
    // Caller holds no lock: stores the level bright_apply left, if any.
    void store_pending_bright_record();
    // The stored brightness record: read from flash with no lock, then
    // applied under sched_mutex.
    enum class BrightRecordRead { NotRunning, None, Failed, Read };
    BrightRecordRead read_bright_record(uint8_t* record);
    void apply_bright_record(BrightRecordRead got, const uint8_t* record);
    void load_onoff_pairs(const uint8_t* record);
    void wait_vmf_answer(const std::function<void()>& service);
    void count_bad_answer();
    void store_bright_record(uint8_t level);
    uint8_t bright_link_mask();
    void refresh_time_now();
    // mailbox procedures
    bool procedure_held();
    void emit_progress(bool smart, int value);
    void creep_progress(bool smart);
    void timed_progress(bool smart);
    bool answer_wait(uint32_t limit, bool smart);
    void start_answer_wait();
    void wizard_tail(int last);
    uint8_t check_step(uint8_t step, uint8_t mode);
    uint8_t check_open_file(uint8_t mode);
    uint8_t check_read_directory();
    uint8_t check_screen(uint8_t mode);
    uint8_t check_port(uint8_t mode);
    uint8_t check_card_block();
    uint8_t check_operation(uint8_t mode, bool smart_block);
    uint8_t check_replay(uint8_t mode, bool smart_block);
    uint8_t check_search();
    uint8_t check_smart_block(uint8_t mode);
    uint8_t check_after_smart_block(uint8_t mode);
    void check_report(uint8_t mode);
    void port_command_deal(bool save);
    uint8_t operate_send(uint8_t step, const QString& path, uint32_t data_offset, bool all_cards);
    uint8_t operate_answer(bool all_cards);
    int last_progress = -1;
};
