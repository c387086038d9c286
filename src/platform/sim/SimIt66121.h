#pragma once
#include "platform/sim/SimI2cDevice.h"

#include <QString>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace kel::platform::sim {

// The SDI path's IT66121 HDMI transmitter at 0x4C (0x98 in 8-bit form):
// ID 0x4954 in bank 0 registers 0x01:0x00, two banks through register 0x0F
// bit 0 (registers below 0x30 are the same in both), plain register RAM
// with a log of every write, the hot-plug and interrupt register 0x0E
// (bit 6 sink present, bit 7 interrupt pending; writing bit 0 clears the
// interrupts in 0x06/0x07), and the DDC master 0x10..0x17 that reads the
// sink's EDID (command 9 clears the FIFO, 3 reads a burst, 0x0F aborts;
// status 0x16 bit 7 done, bit 5 error).
class SimIt66121 : public SimI2cDevice {
public:
    static constexpr uint16_t kAddress = 0x4C;
    enum class Sink { Hdmi, Dvi, None, Corrupt, DdcError };

    struct Write {
        uint8_t bank;
        uint8_t reg;
        uint8_t value;
    };

    SimIt66121();
    bool transfer(I2cMsg* msgs, int count) override;

    // Back doors.
    void setPresent(bool present) { present_ = present; }
    bool present() const { return present_; }
    // A chip answering with another identity (registers 0x01:0x00).
    void setId(uint16_t id);
    // Plugs a sink (raising the hot-plug interrupt when the level changes).
    void setSink(Sink sink);
    Sink sink() const;
    // Replaces the sink's EDID (bytes past its end fail the DDC read).
    void setSinkEdid(std::vector<uint8_t> edid);
    uint8_t reg(int bank, uint8_t r) const;
    std::vector<Write> writeLog() const;
    void clearWriteLog();
    unsigned ddcReads() const { return ddcReads_; }
    // Called after a change of the sink (outside the lock).
    void setObserver(std::function<void()> observer) { observer_ = std::move(observer); }

    static bool parseSink(const QString& text, Sink* sink);
    static const char* sinkName(Sink sink);

private:
    uint8_t& at(uint8_t r);
    uint8_t readReg(uint8_t r);
    void writeReg(uint8_t r, uint8_t v);
    void ddcCommand(uint8_t command);

    mutable std::mutex lock_;
    std::array<std::array<uint8_t, 256>, 2> regs_{};
    uint8_t pointer_ = 0;
    std::vector<Write> log_;
    std::vector<uint8_t> edid_;
    std::vector<uint8_t> fifo_;
    size_t fifoPos_ = 0;
    Sink sink_ = Sink::Hdmi;
    std::atomic<bool> present_{true};
    std::atomic<unsigned> ddcReads_{0};
    std::function<void()> observer_;
};

} // namespace kel::platform::sim
