#include "params/global.h"

uint8_t g_debugSwitch = kDebugSwitchOn;

std::atomic<uint32_t> G_timeTicks{0};

uint8_t g_passby_trans_port = 255;
int g_port = 5005;
int g_int_tcp_port = 5005;
uint8_t g_networkMode = 1;
uint8_t g_udpnetmode = 1;
uint8_t g_test_wifi_state = 1;
int g_BPS = 115200;
int g_dataLen = 32;
std::atomic<uint8_t> pc_cmd_valid{0};
std::atomic<uint32_t> pc_cmd_time{0};

QString g_str_ip = QStringLiteral("192.168.1.199");
QString g_srt_mask = QStringLiteral("255.255.255.0");
QString g_str_gateway = QStringLiteral("192.168.1.1");
QString g_str_mac = QStringLiteral("FF:FF:FF:FF:FF:FF");
QString g_str_barcode = QStringLiteral(" ");
QString g_str_wifi_ip = QStringLiteral("192.168.22.101");

QString g_uDar_cloudserverip;
int g_uDar_cloudserverport = 0;
QString g_uDar_clouduserid;
QString g_uDar_controllername;
uint8_t g_uDar_cloud = 0;

QString g_check_edid;
int g_check_source = 0;
QString g_imagelayoutpassword;
uint32_t g_kel_max_pixel = 0;
QString g_usb_grade_path;
uint32_t g_lcd_lang_valid = 0;
uint8_t g_update_status = 0;
QString g_pid;
QString g_rcv_sync_led;
KelFileDeal g_kel_file_deal_para;

int g_auto_lock_time = 30000;
int g_back_to_mainwindow_time = 3000;
uint8_t g_page_focus = 0;
uint8_t g_language = 0;
uint8_t g_image_current = 0;
uint8_t g_kel_keys = 0;
std::atomic<uint8_t> g_update_flag{0};
std::atomic<uint8_t> g_app_reset_flag{0};
std::atomic<uint32_t> G_reboot_tickTicks{0};

QStringList factoryage_log;
uint32_t factoryage_log_num = 0;

uint8_t ScreenState = 1;
// Bytes 0-5 and 7-11 start at 0x80.
uint8_t prnEn[400] = {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x00,
                      0x80, 0x80, 0x80, 0x80, 0x80};
uint8_t g_osd_update = 0;
std::atomic<uint8_t> g_source_online{0};
std::atomic<uint8_t> g_c331_source_online{0};
std::atomic<uint8_t> g_fpga_lcd_on{0};
