#pragma once

// Probes for the USB keypad (vendor 0x28E9, product 0x0380) through the
// platform's HID service: 1 when attached, 0 when not or when the HID
// library cannot start. Prints the ids it walks past, always.
unsigned check_hiddev();
