#include "inputs/ite6805_cec_drv.h"

#include "inputs/ite6805_cec_sys.h"
#include "inputs/ite6805_i2c_rdwr.h"
#include "inputs/ite6805_sys.h"
#include "params/DebugPrint.h"

namespace {

constexpr int kRing = ite6805_cec_sys::kRingSize;
constexpr uint8_t kRxErrors = 0x80 | 0x40 | 0x08 | 0x04;

uint8_t wrap(int i) { return static_cast<uint8_t>(i & (kRing - 1)); }

} // namespace

ite6805_i2c_rdwr& ite6805_cec_drv::io() { return cec_.sys().rdwr(); }

// One byte stays free so that a full ring differs from an empty one.
int ite6805_cec_drv::used(uint8_t read, uint8_t write) { return (write - read) & (kRing - 1); }

void ite6805_cec_drv::iTE6805_CEC_Reset_RX_FIFO(int dev)
{
    io().cecwr_6805(0x52, 0x60);
    io().cecwr_6805(0x52, 0xE0);
    io().cecwr_6805(0x52, 0x80);
    cec_.record(dev).cec_rx_head[0] = 0;
}

void ite6805_cec_drv::iTE6805_CEC_CMD_Push_To_Queue_Handler(int dev)
{
    ite6805_cec_sys::Record& r = cec_.record(dev);
    uint8_t status = io().cecrd_6805(0x51);
    uint8_t count = io().cecrd_6805(0x52) & 0x0F;
    while (!(status & kRxErrors)) {
        if (r.cec_rx_head[0] != 0 && !iTE6805_CEC_RX_CMD_Push(dev))
            return;  // ring full: the rest stays in the controller
        for (uint8_t i = 0; i < count; ++i) {
            if (!io().cecbrd_it6805(0x4D, 3, r.cec_rx_head))
                return;
            if (!iTE6805_CEC_RX_CMD_Push(dev))
                return;
        }
        status = io().cecrd_6805(0x51);
        count = io().cecrd_6805(0x52) & 0x0F;
        if (count == 0)
            break;
    }
    if (status & kRxErrors) {
        kelDebug("CEC rx FIFO error 0x%02X\n", status);
        iTE6805_CEC_Reset_RX_FIFO(dev);
    }
}

bool ite6805_cec_drv::iTE6805_CEC_RX_CMD_Push(int dev)
{
    ite6805_cec_sys::Record& r = cec_.record(dev);
    uint8_t* head = r.cec_rx_head;
    const int length = head[2] & 0x1F;
    // Flagged heads, and heads too short to hold an opcode (no operands to
    // read), are dropped.
    if ((head[2] & 0x60) || length < 2) {
        head[0] = 0;
        return true;
    }
    if (kRing - 1 - used(r.cec_rx_read, r.cec_rx_write) < length + 1)
        return false;
    const int w = r.cec_rx_write;
    r.cec_rx_ring[wrap(w)] = static_cast<uint8_t>(length + 1);
    r.cec_rx_ring[wrap(w + 1)] = head[0];
    r.cec_rx_ring[wrap(w + 2)] = head[1];
    const int operands = length - 2;
    const int first = wrap(w + 3);
    if (operands > 0 && first + operands <= kRing) {
        io().cecbrd_it6805(0x50, operands, r.cec_rx_ring + first);
    } else {
        for (int i = 0; i < operands; ++i)
            io().cecbrd_it6805(0x50, 1, r.cec_rx_ring + wrap(first + i));
    }
    head[0] = 0;
    r.cec_rx_write = wrap(w + length + 1);
    return true;
}

int ite6805_cec_drv::iTE6805_CEC_RX_CMD_Pull(int dev)
{
    ite6805_cec_sys::Record& r = cec_.record(dev);
    ite6805_cec_sys::Frame& f = r.cec_rx_frame;
    f = ite6805_cec_sys::Frame{};
    const int held = used(r.cec_rx_read, r.cec_rx_write);
    if (held <= 2)
        return 0;
    const int size = r.cec_rx_ring[r.cec_rx_read];
    if (size < 3 || size > held)
        return 0;
    if (size - 1 > ite6805_cec_sys::kFrameSize) {
        // Longer than any CEC frame: consumed, never copied.
        r.cec_rx_read = wrap(r.cec_rx_read + size);
        return -1;
    }
    for (int i = 0; i < size - 1; ++i)
        f.bytes[i] = r.cec_rx_ring[wrap(r.cec_rx_read + 1 + i)];
    f.length = static_cast<uint8_t>(size - 1);
    r.cec_rx_read = wrap(r.cec_rx_read + size);
    f.destination = f.bytes[0] & 0x0F;
    f.initiator = f.bytes[0] >> 4;
    return 1;
}

uint8_t ite6805_cec_drv::iTE6805_CEC_Get_TxFailStatus()
{
    switch (io().cecrd_6805(0x54) & 0x03) {
    case 1: return 1;
    case 2: return 2;
    default: return 0;
    }
}

bool ite6805_cec_drv::iTE6805_CEC_Check_Fire_Ready()
{
    io().cecrd_6805(0x44);
    return false;
}

void ite6805_cec_drv::fire()
{
    io().cecset_6805(0x08, 0x88, 0x08);
    io().cecset_6805(0x08, 0x88, 0x88);
}

void ite6805_cec_drv::iTE6805_CEC_CMD_Ready_To_Fire(int dev)
{
    ite6805_cec_sys::Record& r = cec_.record(dev);
    const ite6805_cec_sys::TxFrame& t = r.cec_tx_frame;
    io().cecwr_6805(0x23, t.length);
    io().cecbwr_it6805(0x10, t.length, t.bytes);
    r.cec_tx_retry = 0;
    fire();
}
