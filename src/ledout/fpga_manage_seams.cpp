// Hooks of the pass and of the register access that belong to the later
// parts of the LED side (brightness, timed screen power, running-time
// record, card traffic, mailbox procedures, USB upgrade). Until those are
// built each is a no-op that leaves every request pending or untouched.
#include "ledout/fpga_manage.h"

uint32_t fpga_manage::reg_IRQ_Dealwith(uint8_t, uint8_t) { return 0; }
uint32_t fpga_manage::Dealwith1_PC_to_eth(const uint8_t*, uint32_t) { return 0; }
void fpga_manage::Check_search_card() {}
void fpga_manage::SmartMapping_deal() {}
void fpga_manage::rcv_recovery_check_deal(uint8_t) {}
void fpga_manage::save_para_deal() {}
void fpga_manage::mapping_enable_deal() {}
void fpga_manage::usb_upgrade_manage_deal() {}
void fpga_manage::send_card_frame(const uint8_t*, uint32_t, uint8_t) {}
bool fpga_manage::take_card_answer(std::vector<uint8_t>&) { return false; }
