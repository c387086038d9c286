#include "inputs/ite6805_cec_sys.h"

void ite6805_cec_sys::iTE6805_CEC_INIT(int dev)
{
    (void)sys_;
    (void)dev;
}

void ite6805_cec_sys::iTE6805_hdmirx_CEC_irq(int dev) { (void)dev; }
