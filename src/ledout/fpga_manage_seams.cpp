// Hooks of the pass and of the register access that belong to the later
// parts of the LED side (brightness, timed screen power, running-time
// record, card traffic, mailbox procedures, USB upgrade). Until those are
// built each is a no-op that leaves every request pending or untouched.
#include "ledout/fpga_manage.h"

void fpga_manage::Extension_function() {}
void fpga_manage::record_bright_change() {}
void fpga_manage::record_onoff_time(uint8_t) {}
void fpga_manage::Brightness_hand_dealwith(uint8_t) {}
void fpga_manage::bright_record_stored(bool) { g_change.bright_record_changed = 1; }
void fpga_manage::OnOff_time() {}
void fpga_manage::record_clock_change() {}
void fpga_manage::run_clock_record() {}
void fpga_manage::usb_upgrade_manage_deal() {}
