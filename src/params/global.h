#pragma once
// The process-wide globals shared by several subsystems, with the initial
// values the rest of the system relies on. Globals written by one thread and
// read by another without a lock are std::atomic.
#include "params/KelFileDeal.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>

// Diagnostics are printed only while this holds 254; nothing changes it.
inline constexpr uint8_t kDebugSwitchOn = 254;
extern uint8_t g_debugSwitch;

// ---- time base -------------------------------------------------------------
// Real 10 ms periods counted since the event loop started; wraps at 2^32.
// On the device only the tick thread (TickThread) writes it, so it keeps
// counting whatever the GUI thread does; tests move it by hand.
extern std::atomic<uint32_t> G_timeTicks;

// ---- links and network (configuration store, protocol) ---------------------
extern uint8_t g_passby_trans_port;      // LINK_UART 1, LINK_TCP 2, LINK_UDP 3, 255 none
extern int g_port;                       // TCP control port
extern int g_int_tcp_port;
extern uint8_t g_networkMode;            // TCP link on
extern uint8_t g_udpnetmode;             // UDP link
extern uint8_t g_test_wifi_state;
extern int g_BPS;                        // serial links' speed
extern int g_dataLen;                    // serial receive length
extern std::atomic<uint8_t> pc_cmd_valid;   // a host frame arrived
extern std::atomic<uint32_t> pc_cmd_time;   // tick of that frame

extern QString g_str_ip;
extern QString g_srt_mask;
extern QString g_str_gateway;
extern QString g_str_mac;
extern QString g_str_barcode;
extern QString g_str_wifi_ip;

// ---- cloud account ---------------------------------------------------------
extern QString g_uDar_cloudserverip;
extern int g_uDar_cloudserverport;
extern QString g_uDar_clouduserid;
extern QString g_uDar_controllername;
extern uint8_t g_uDar_cloud;             // 1 when any cloud setting is set

// ---- other configuration values --------------------------------------------
extern QString g_check_edid;
extern int g_check_source;               // inputs polled, one bit per input
extern QString g_imagelayoutpassword;
extern uint32_t g_kel_max_pixel;
extern QString g_usb_grade_path;         // upgrade folder on the USB stick
extern uint32_t g_lcd_lang_valid;        // bit n: language n offered
extern uint8_t g_update_status;          // 1: the start entry names this program
extern QString g_pid;                    // 32 hex characters, empty until start-up
extern QString g_rcv_sync_led;
extern KelFileDeal g_kel_file_deal_para;

// ---- front panel -----------------------------------------------------------
extern int g_auto_lock_time;
extern int g_back_to_mainwindow_time;
extern uint8_t g_page_focus;             // PageFocus of the page in front
extern uint8_t g_language;               // 0..4
extern uint8_t g_image_current;          // window 0..5
extern uint8_t g_kel_keys;               // 1: USB keypad found at start
extern std::atomic<uint8_t> g_update_flag;      // 1 while an update or transfer runs
extern std::atomic<uint8_t> g_app_reset_flag;   // a restart is pending
extern std::atomic<uint32_t> G_reboot_tickTicks; // tick of the restart request

// Ageing log: entries as text, oldest first.
extern QStringList factoryage_log;
extern uint32_t factoryage_log_num;

// ---- hardware hand-overs between the FPGA, input and scaler sides ----------
extern uint8_t ScreenState;
extern uint8_t prnEn[400];
extern uint8_t g_osd_update;                       // reload the OSD menu
extern std::atomic<uint8_t> g_source_online;       // 1 stable video, 2 published
extern std::atomic<uint8_t> g_c331_source_online;  // set by the scaler manager
extern std::atomic<uint8_t> g_fpga_lcd_on;         // 1 once the LED output is on
