// Hooks of the pass and of the register access that belong to the later
// parts of the LED side (brightness, timed screen power, running-time
// record, card traffic, mailbox procedures, USB upgrade). Until those are
// built each is a no-op that leaves every request pending or untouched.
#include "ledout/fpga_manage.h"

// The recovery reader is not part of this build: no screen is loaded.
bool fpga_manage::recovery_config_id(uint32_t*) { return rcv_reader != nullptr && false; }
void fpga_manage::SmartMapping_deal() {}
void fpga_manage::rcv_recovery_check_deal(uint8_t) {}
void fpga_manage::save_para_deal() {}
void fpga_manage::mapping_enable_deal() {}
