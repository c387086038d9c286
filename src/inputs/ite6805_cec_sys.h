#pragma once
#include <cstdint>
#include <memory>

class ite6805_sys;
class ite6805_cec_drv;
class ite6805_cec_feture;

// The CEC responder of both IT6805 devices: each answers a small set of
// queries from its source as a display at logical address 0. This layer
// keeps the per-device record, initialises the controller and serves its
// interrupts; ite6805_cec_drv moves frames between the controller and the
// receive ring, ite6805_cec_feture checks and answers them. Runs in the
// detection thread; the manager has selected the device's switch channel.
class ite6805_cec_sys {
public:
    static constexpr int kRingSize = 64;
    static constexpr int kFrameSize = 16;
    // Last event (STATECEC): 0 after initialisation, 2 transmit done,
    // 3 polling transmit done, 4 frame received.
    enum STATECEC_Type : uint8_t { STATECEC_None = 0, STATECEC_TxDone = 2, STATECEC_PollDone = 3, STATECEC_RxDone = 4 };

    struct Frame {
        uint8_t length = 0;  // header, opcode and operands
        uint8_t bytes[kFrameSize] = {};
        uint8_t destination = 0;
        uint8_t initiator = 0;
    };
    struct TxFrame {
        uint8_t length = 0;
        uint8_t bytes[20] = {};
    };
    // What the responder keeps about one device.
    struct Record {
        uint8_t cec_logical_address = 0;
        uint8_t cec_phys_addr[2] = {0, 0};
        uint8_t cec_rx_ring[kRingSize] = {};
        uint8_t cec_rx_read = 0;
        uint8_t cec_rx_write = 0;
        uint8_t cec_rx_head[3] = {0, 0, 0};  // header 0: no head pending
        Frame cec_rx_frame;
        TxFrame cec_tx_frame;
        uint8_t cec_tx_retry = 0;
        uint8_t STATECEC = STATECEC_None;
    };

    explicit ite6805_cec_sys(ite6805_sys& sys);
    ~ite6805_cec_sys();
    ite6805_cec_sys(const ite6805_cec_sys&) = delete;
    ite6805_cec_sys& operator=(const ite6805_cec_sys&) = delete;

    // Resets the record and programs the controller (chip initialisation and
    // every unplug).
    void iTE6805_CEC_INIT(int dev);
    // Reads and clears the controller's interrupts and handles them (every
    // main pass).
    void iTE6805_hdmirx_CEC_irq(int dev);
    // Stores an event and handles it.
    void iTE6805_CEC_chg(uint8_t event, int dev);

    Record& record(int dev) { return rec_[dev & 1]; }
    const Record& record(int dev) const { return rec_[dev & 1]; }
    ite6805_sys& sys() { return sys_; }
    ite6805_cec_drv& drv() { return *drv_; }
    ite6805_cec_feture& feture() { return *feture_; }

private:
    void receive(int dev);
    bool pollingSent();

    ite6805_sys& sys_;
    std::unique_ptr<ite6805_cec_drv> drv_;
    std::unique_ptr<ite6805_cec_feture> feture_;
    Record rec_[2];
};
