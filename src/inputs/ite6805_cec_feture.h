#pragma once
#include <array>
#include <cstdint>

class ite6805_cec_sys;

// The CEC messages the IT6805 inputs accept and the answers they give:
// the per-opcode table of minimum lengths and addressing, the check of a
// received frame and the fixed answers.
class ite6805_cec_feture {
public:
    // Bits 0-4 minimum frame length, bit 7 accepted directly addressed,
    // bits 5-6 accepted broadcast.
    static const std::array<uint8_t, 256> cec_msg_size;

    explicit ite6805_cec_feture(ite6805_cec_sys& cec) : cec_(cec) {}

    uint8_t cec_power_status = 0;

    // 1 when the frame in cec_rx_frame is to be decoded.
    uint8_t iTE6805_CEC_CMD_Check(int dev);
    // Answers the frame in cec_rx_frame when its opcode is one answered.
    void iTE6805_CEC_CMD_Feature_decode(int dev);
    // Clears cec_tx_frame and starts an answer to destination.
    void iTE6805_CEC_INIT_CMD(uint8_t destination, int dev);

private:
    void answer(uint8_t destination, uint8_t opcode, const uint8_t* operands, int n, int dev);

    ite6805_cec_sys& cec_;
};
