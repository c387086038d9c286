#pragma once
#include "platform/sim/SimI2cDevice.h"

#include <QJsonObject>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

namespace kel::platform::sim {

class SimVideoSource;

// One IT6602 HDMI/DVI receiver as the driver sees it over I2C: four banks
// of register RAM (bank = register 0x0F bits 0..1), the identity 54 49 02 68,
// port 0 status and write-1-to-clear interrupt latches fed by the source on
// its input, the measured timing, AVI InfoFrame and audio registers encoded
// from that source, the oscillator data port and the hot-plug line.
//
// Choices of this model:
// - the source sends TMDS only while bank 1 register 0xB0 bits 0..1 are 3;
//   sync (0x0A bit 7) follows the clock after a number of status reads;
// - the +5 V latch (0x05 bit 0) is also set by the software reset (a write
//   of register 0x10 with bit 3 set) while +5 V is present;
// - register 0x9A = floor(3162 / pixel clock in MHz), at least 1 with sync;
// - register 0x91 = 6144 / TMDS clock in MHz, kept at 28 or more;
// - bank 2 CTS (0xBE..0xC2) holds the audio CTS, 0 for DVI or no audio;
// - bank 1 register 0x61 reads 02 02 02, then (after 0x50 := 1) the
//   oscillator count 4869600 low byte first;
// - the AV mute state is register 0xA8 bit 0 (0: no mute).
class SimIt6602 : public SimI2cDevice {
public:
    using ResetGate = std::function<bool()>;  // true while reset is held
    using HpdObserver = std::function<void()>;

    SimIt6602(SimVideoSource& source, ResetGate inReset);

    bool transfer(I2cMsg* msgs, int count) override;

    // Reset line: held (NACK, hot-plug low) or released (power-on values).
    void holdReset();
    void powerOn();
    void setHpdObserver(HpdObserver observer) { hpdObserver_ = std::move(observer); }

    // Back doors.
    void setPresent(bool present) { present_ = present; }
    bool present() const { return present_; }
    void setScdtDelay(unsigned statusReads);
    // Sync lost with the clock still there, until `drop` is false again.
    void dropScdt(bool drop);
    // Latches one ECC error (0x05 bit 6) or deskew event (0x09 bit 5) per
    // status read, n times.
    void injectEcc(unsigned n);
    void injectDeskew(unsigned n);
    // Port 0 error registers 0xB2..0xB6 (write-1-to-clear): a link with
    // these errors sets them again after every clear, until changed.
    void setErrors(const std::array<uint8_t, 5>& values);
    // Amplitude events: 0xD0 high-nibble latch bits.
    void injectEqEvent(uint8_t bits);
    uint8_t reg(int bank, uint8_t r) const;
    void setReg(int bank, uint8_t r, uint8_t value);
    // The colour matrix last written to bank 1 0x70..0x84, and how many
    // block writes reached it.
    std::array<uint8_t, 21> csc() const;
    unsigned cscWrites() const;
    uint8_t hotPlug() const;  // bank 1 0xB0 bits 0..1
    bool scdt() const;
    QJsonObject state() const;

private:
    void resetRegisters();
    void refresh();
    uint8_t read(uint8_t r);
    void write(uint8_t r, uint8_t v);
    void encodeSignal();
    uint8_t& at(uint8_t r);

    SimVideoSource& source_;
    ResetGate inReset_;
    HpdObserver hpdObserver_;
    mutable std::mutex lock_;
    std::array<std::array<uint8_t, 256>, 4> regs_{};
    uint8_t pointer_ = 0;
    bool plus5v_ = false, clock_ = false, scdt_ = false;
    unsigned generation_ = ~0u;
    unsigned scdtReads_ = 0;
    unsigned scdtDelay_ = 1;
    bool scdtDropped_ = false;
    unsigned ecc_ = 0, deskew_ = 0;
    std::array<uint8_t, 5> errors_{};
    unsigned oscIndex_ = 0;
    unsigned cscWrites_ = 0;
    bool hpdChanged_ = false;
    std::atomic<bool> present_{true};
};

} // namespace kel::platform::sim
