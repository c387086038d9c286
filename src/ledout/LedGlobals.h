#pragma once
// Globals of the LED output side that other subsystems read and write.
#include "ledout/FpgaChange.h"
#include "ledout/SendPara.h"

#include <QString>

#include <atomic>
#include <cstddef>
#include <cstdint>

// LED-size hand-over: 1 new size posted, 2 scaler panel reprogrammed; every
// change under Utils::_led_para_init_mutex. The FPGA manager clears it.
extern std::atomic<uint8_t> g_set_led_para;
extern std::atomic<uint8_t> g_set_led_setup;   // step 0..2 of the screen-off sequence
extern std::atomic<uint8_t> g_usb_grade;       // 1: the thread runs the USB-stick upgrade
extern FpgaChange g_change;
extern SendPara g_send_para;
// Scan file chosen on the smart-mapping wizard: a logical absolute path in
// the device's or the stick's scan folder. Written before the command is
// posted; the post's atomic store hands it to the FPGA thread.
extern QString g_qjfile_name;

// The one way pages post a card command: refused while the USB upgrade runs
// (it owns byte 1 of the mailbox) or while a command is still set.
bool post_send_command(uint8_t cmd);

// Images the protocol and the pages read and write (sizes below).
inline constexpr size_t kRegImageSize = 171;
inline constexpr size_t kRamImageSize = 1024;
inline constexpr size_t kEthImageSize = 136;
inline constexpr size_t kRamDefaultSize = 2048;

extern uint8_t* MCU_REG_func[2];               // registers 0..170 of FPGA 0 and 1
extern uint8_t* MCU_RAM_PARA_func[2];          // parameter RAM (FPGA RAM buffer 1)
extern uint8_t* MCU_RAM_RX_func[2];
extern uint8_t* MCU_RAM_TX_func[2];
extern uint8_t* MCU_RAM_ETH_PARA_func[2];
extern uint8_t* MCU_RAM_ETH_BACK_PARA_func[2];
extern uint8_t MCU_RAM_EXTEND[kRamImageSize];
extern uint8_t MCU_RAM_CMD[kRamImageSize];
extern uint8_t MCU_RAM_ZOOM[kRamImageSize];
extern uint8_t MCU_RAM_DEFAULT[kRamDefaultSize];
