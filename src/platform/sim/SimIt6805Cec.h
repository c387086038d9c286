#pragma once
#include <QJsonObject>

#include <array>
#include <cstdint>
#include <deque>
#include <vector>

namespace kel::platform::sim {

// The CEC page of a simulated IT6805 (7-bit address 0x64). Not locked:
// SimIt6805 calls it under its own lock.
//
// Receive: injected frames wait in a queue; 0x52 bits 3:0 count them and
// latch 0x4C bit 4 when one arrives. Reading 0x4D takes the next frame into
// the head registers 0x4D..0x4F (header, opcode, length byte: total bytes,
// or the injected value) and its operands into the FIFO at 0x50, which
// gives one byte per read without moving the register pointer. 0x51 shows
// injected FIFO error bits (0x80, 0x40, 0x08, 0x04). Writing 0x52 with bit 6
// set resets the receive FIFO (queue, operands, errors).
// Transmit: 0x08 written with bit 7 set after bit 3 fires the 0x23 bytes
// from 0x10 into the transmit log, latches 0x4C bit 5 (bit 3 for a polling
// message), sets 0x54 bits 1:0 to 3 (acknowledged) or 2 (not) and 0x44
// bit 0 (busy) until 0x4C bit 5 is cleared. 0x4C is write-one-to-clear.
class SimIt6805Cec {
public:
    static constexpr size_t kMaxLog = 64;

    void powerOn();
    // A register read at the page pointer; advance says whether the pointer
    // moves on (not for the operand FIFO).
    uint8_t read(uint8_t r, bool* advance);
    void write(uint8_t r, uint8_t v);
    uint8_t reg(uint8_t r) const { return regs_[r]; }
    // Returns true (and clears the mark) when the queue or log changed.
    bool takeChanged();

    // Back doors.
    // A frame as sent on the line (header, opcode, operands; 1 to 31
    // bytes); lengthByte < 0 gives the byte count.
    void inject(const std::vector<uint8_t>& frame, int lengthByte = -1);
    void setRxErrors(uint8_t bits);  // 0x51 error bits; latches 0x4C bit 4
    void latch(uint8_t bits);        // 0x4C
    void setNoAck(bool noAck);

    std::vector<std::vector<uint8_t>> txLog() const { return txLog_; }
    size_t rxPending() const { return queue_.size(); }
    QJsonObject state() const;

private:
    struct RxFrame {
        std::vector<uint8_t> bytes;
        uint8_t lengthByte;
    };
    void takeHead();
    void fire();
    void resetFifo();

    std::array<uint8_t, 256> regs_{};
    std::deque<RxFrame> queue_;
    std::deque<uint8_t> operands_;
    std::vector<std::vector<uint8_t>> txLog_;
    uint8_t rxErrors_ = 0;
    bool noAck_ = false;
    bool changed_ = false;
};

} // namespace kel::platform::sim
