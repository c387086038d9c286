#pragma once
// Globals of the front-panel shell: the tick's own stamps, the notice and
// Mode-key states, and the ageing counters the ageing page shows.
#include "params/global.h"
#include "protocol/UsbServer.h" // g_delay_usbserver and its start tick

#include <atomic>
#include <cstdint>

class QTimer;

extern QTimer* g_timer;                     // the 10 ms tick, no parent
extern uint8_t g_tip_flag;                  // 1 while a notice is shown
extern uint32_t G_factoryage_ticks;         // start of the ageing period
extern uint8_t g_mode_shortcut_key;         // the Mode key opened the user-mode page
extern uint8_t g_mode_select;               // user-mode slot last chosen

extern uint32_t factoryage_log_diff3;
extern uint32_t factoryage_log_diff5;
extern uint32_t factoryage_log_diff10;
extern uint32_t factoryage_log_diff20;
extern uint32_t factoryage_log_diffmore;
