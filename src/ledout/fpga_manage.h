#pragma once
#include "ledout/fpga_drv.h"
#include "ledout/fpga_gpio_words.h"
#include "ledout/CardProgressRelay.h"
#include "ledout/LedGlobals.h"

#include <QList>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

namespace kel::platform { class RegisterWindow; }
class rcvRecovery;

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
    static constexpr uint8_t kParaBuffer = 1;
    static constexpr uint32_t kParaRecordAddr = 0x6C7000;
    static constexpr uint32_t kOnOffSector = 1741;
    static constexpr uint32_t kBrightSector = 1742;

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
    uint32_t set_fpga_bri_val();
    uint32_t set_output_status();

    // ---- seams of the later parts of the LED side (no-ops until built) ----
    void Extension_function();
    void record_bright_change();
    void record_onoff_time(uint8_t flash);
    void Brightness_hand_dealwith(uint8_t apply);
    void OnOff_time();
    void record_clock_change();
    void bright_record_stored(bool hand);
    void run_clock_record();
    uint32_t reg_IRQ_Dealwith(uint8_t fpga, uint8_t arg);
    uint32_t Dealwith1_PC_to_eth(const uint8_t* frame, uint32_t length);
    void Check_search_card();
    void SmartMapping_deal();
    void rcv_recovery_check_deal(uint8_t mode);
    void save_para_deal();
    void mapping_enable_deal();
    void usb_upgrade_manage_deal();

    // ---- locks ----
    std::mutex reg_image_mutex;
    std::mutex irq_mutex;

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
    rcvRecovery* rcv_reader = nullptr;
    CardProgressRelay progress_relay;   // progress of the card procedures, for the pages
    QString upgrade_path;
    QList<QString> upgrade_names;
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
    uint8_t HalfHourValue[48] = {};
    uint8_t vmf_data[128] = {};
    TimeRealType time_now;
    // card answers to the controller's own requests
    std::atomic<uint8_t> card_answer_ready{0};
    uint8_t card_answer[130] = {};
    // timed screen on/off
    uint8_t onoff_count = 0;
    uint8_t screen_off_by_timer = 0;
    uint8_t onoff_last_day = 0;
    uint8_t on_hour[8] = {}, on_minute[8] = {}, off_hour[8] = {}, off_minute[8] = {};
    uint8_t on_armed[8] = {}, off_armed[8] = {};
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
    // card search and V-by-One watch
    uint32_t search_sent = 0;
    uint32_t search_answered = 0;
    uint16_t fpga_port_card_mask = 0;
    uint8_t vbo_fault[2] = {0, 0};
    uint8_t vbo_fix_step[2] = {0, 0};
    uint16_t vbo_fix_count[2] = {0, 0};
    // card check and recovery
    uint8_t recovery_screen = 0;
    uint8_t recovery_net = 0;
    uint8_t recovery_card = 0;
    uint16_t scan_op_count = 0;

    fpga_manage();
    ~fpga_manage();
    fpga_manage(const fpga_manage&) = delete;
    fpga_manage& operator=(const fpga_manage&) = delete;

private:
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
};
