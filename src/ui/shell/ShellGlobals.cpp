#include "ui/shell/ShellGlobals.h"

QTimer* g_timer = nullptr;
uint8_t g_tip_flag = 0;
uint32_t G_factoryage_ticks = 0;
uint8_t g_mode_shortcut_key = 0;
uint8_t g_mode_select = 0;

uint32_t factoryage_log_diff3 = 0;
uint32_t factoryage_log_diff5 = 0;
uint32_t factoryage_log_diff10 = 0;
uint32_t factoryage_log_diff20 = 0;
uint32_t factoryage_log_diffmore = 0;
