#include "inputs/ite6805_eq.h"

#include "inputs/ite6805_sys.h"

void ite6805_eq::iTE6805_EQ_chg(uint32_t state, int dev) { sys_.dev(dev).iTE6805_DATA.STATEEQ = state; }

void ite6805_eq::iTE6805_EQ_fsm(int dev) { (void)dev; }

void ite6805_eq::iTE6805_hdmirx_port0_EQ_irq(int dev) { (void)dev; }

void ite6805_eq::iTE6805_hdmirx_port1_EQ_irq(int dev) { (void)dev; }
