#pragma once
#include <cstdint>

class ite6805_cec_sys;
class ite6805_i2c_rdwr;

// CEC register work of the IT6805: the receive FIFO, moving received
// frames into the device's 64-byte ring and out of it, and firing an answer.
// Frames whose length the ring or the frame record cannot hold are dropped
// before any copy.
class ite6805_cec_drv {
public:
    explicit ite6805_cec_drv(ite6805_cec_sys& cec) : cec_(cec) {}

    // 0x52 := 0x60, 0xE0, 0x80; the pending head is dropped.
    void iTE6805_CEC_Reset_RX_FIFO(int dev);
    // Moves the controller's frames into the ring until it is empty or the
    // ring is full.
    void iTE6805_CEC_CMD_Push_To_Queue_Handler(int dev);
    // Pushes the pending head; false when the ring has no room (the head
    // stays pending).
    bool iTE6805_CEC_RX_CMD_Push(int dev);
    // Takes the next frame into cec_rx_frame: 1 taken, 0 ring empty or
    // inconsistent, -1 an oversized frame was consumed and dropped.
    int iTE6805_CEC_RX_CMD_Pull(int dev);
    // Transmit result from 0x54: 0 ok, 1, 2 no acknowledgement.
    uint8_t iTE6805_CEC_Get_TxFailStatus();
    // Reads 0x44; the controller is treated as busy whatever it shows, so an
    // answer is sent once and never resent.
    bool iTE6805_CEC_Check_Fire_Ready();
    // Writes the answer in cec_tx_frame and fires it.
    void iTE6805_CEC_CMD_Ready_To_Fire(int dev);
    void fire();

private:
    ite6805_i2c_rdwr& io();
    static int used(uint8_t read, uint8_t write);

    ite6805_cec_sys& cec_;
};
