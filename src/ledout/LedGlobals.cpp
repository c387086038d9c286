#include "ledout/LedGlobals.h"

std::atomic<uint8_t> g_set_led_para{0};
std::atomic<uint8_t> g_set_led_setup{0};
std::atomic<uint8_t> g_usb_grade{0};
FpgaChange g_change;
SendPara g_send_para;
QString g_qjfile_name;

bool post_send_command(uint8_t cmd)
{
    if (g_usb_grade.load() != 0 || cmd == SendPara::send_cmd_idle)
        return false;
    return g_send_para.post(cmd);
}

uint8_t* MCU_REG_func[2] = {nullptr, nullptr};
uint8_t* MCU_RAM_PARA_func[2] = {nullptr, nullptr};
uint8_t* MCU_RAM_RX_func[2] = {nullptr, nullptr};
uint8_t* MCU_RAM_TX_func[2] = {nullptr, nullptr};
uint8_t* MCU_RAM_ETH_PARA_func[2] = {nullptr, nullptr};
uint8_t* MCU_RAM_ETH_BACK_PARA_func[2] = {nullptr, nullptr};
uint8_t MCU_RAM_EXTEND[kRamImageSize] = {};
uint8_t MCU_RAM_CMD[kRamImageSize] = {};
uint8_t MCU_RAM_ZOOM[kRamImageSize] = {};
uint8_t MCU_RAM_DEFAULT[kRamDefaultSize] = {};
