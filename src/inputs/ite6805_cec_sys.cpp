#include "inputs/ite6805_cec_sys.h"

#include "inputs/ite6805_cec_drv.h"
#include "inputs/ite6805_cec_feture.h"
#include "inputs/ite6805_drv.h"
#include "inputs/ite6805_i2c_rdwr.h"
#include "inputs/ite6805_sys.h"

namespace {
constexpr uint8_t kRetryLimit = 5;
}

ite6805_cec_sys::ite6805_cec_sys(ite6805_sys& sys)
    : sys_(sys), drv_(std::make_unique<ite6805_cec_drv>(*this)), feture_(std::make_unique<ite6805_cec_feture>(*this))
{
}

ite6805_cec_sys::~ite6805_cec_sys() = default;

void ite6805_cec_sys::iTE6805_CEC_INIT(int dev)
{
    Record& r = record(dev);
    r.STATECEC = STATECEC_None;
    r.cec_logical_address = 0;
    r.cec_phys_addr[0] = r.cec_phys_addr[1] = 0;
    r.cec_rx_read = r.cec_rx_write = 0;
    r.cec_rx_head[0] = 0;
    ite6805_i2c_rdwr& io = sys_.rdwr();
    io.cecwr_6805(0x08, 0x4C);
    io.cecwr_6805(0x08, 0x48);
    io.cecwr_6805(0x09, 0x60);
    io.cecwr_6805(0x0B, 0x14);
    io.cecwr_6805(0x0C, sys_.drv().CEC_timeunit[dev & 1]);
    io.cecset_6805(0x08, 0x04, 0x00);
    io.cecset_6805(0x09, 0x02, 0x00);
    io.cecwr_6805(0x06, 0x00);
    io.cecset_6805(0x08, 0x01, 0x01);
    drv_->iTE6805_CEC_Reset_RX_FIFO(dev);
    io.cecwr_6805(0x22, 0x00);
    io.cecwr_6805(0x0A, 0x03);
    io.cecset_6805(0x0A, 0x40, 0x40);
}

void ite6805_cec_sys::iTE6805_hdmirx_CEC_irq(int dev)
{
    ite6805_i2c_rdwr& io = sys_.rdwr();
    const uint8_t irq = io.cecrd_6805(0x4C);
    io.cecwr_6805(0x4C, irq);
    if (irq & 0x20)
        iTE6805_CEC_chg(STATECEC_TxDone, dev);
    if (irq & 0x08)
        iTE6805_CEC_chg(STATECEC_PollDone, dev);
    if (irq & 0x14)
        iTE6805_CEC_chg(STATECEC_RxDone, dev);
    if (irq & 0xC0)
        drv_->iTE6805_CEC_Reset_RX_FIFO(dev);
}

void ite6805_cec_sys::iTE6805_CEC_chg(uint8_t event, int dev)
{
    Record& r = record(dev);
    r.STATECEC = event;
    switch (event) {
    case STATECEC_TxDone:
        if (pollingSent() || drv_->iTE6805_CEC_Get_TxFailStatus() != 2)
            break;
        if (r.cec_tx_retry++ < kRetryLimit && drv_->iTE6805_CEC_Check_Fire_Ready())
            drv_->fire();
        break;
    case STATECEC_PollDone:
        if (pollingSent())
            drv_->iTE6805_CEC_Get_TxFailStatus();
        break;
    case STATECEC_RxDone:
        receive(dev);
        break;
    default:
        break;
    }
}

// The frame in the transmit registers is a polling message (initiator and
// destination equal).
bool ite6805_cec_sys::pollingSent()
{
    const uint8_t header = sys_.rdwr().cecrd_6805(0x10);
    return (header >> 4) == (header & 0x0F);
}

void ite6805_cec_sys::receive(int dev)
{
    Record& r = record(dev);
    drv_->iTE6805_CEC_CMD_Push_To_Queue_Handler(dev);
    for (int taken; (taken = drv_->iTE6805_CEC_RX_CMD_Pull(dev)) != 0;)
        if (taken > 0 && feture_->iTE6805_CEC_CMD_Check(dev))
            feture_->iTE6805_CEC_CMD_Feature_decode(dev);
    r.cec_rx_read = r.cec_rx_write = 0;
}
