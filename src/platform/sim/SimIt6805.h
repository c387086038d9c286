#pragma once
#include <QJsonObject>

#include "platform/sim/SimI2cDevice.h"
#include "platform/sim/SimIt6805Cec.h"
#include "platform/sim/SimIt6805Eq.h"
#include "platform/sim/SimVideoSource.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace kel::platform::sim {

// One IT6805 HDMI 2.0 receiver with its V-by-One output stage, as the
// controller sees it on the bus: four pages (0x48 main, 0x54 EDID RAM, 0x5A
// second receiver page, 0x64 CEC; 7-bit addresses). The main page has eight
// banks selected by register 0x0F bits 2:0. The chip answers only while its
// reset line is released; a release brings every register to its power-on
// value.
//
// What the chip measures comes from the input's source (SimVideoSource):
// +5 V while a cable is in; the timing and packets while the chip also drives
// hot-plug high (bank 3 register 0xAB bits 7:6 = 11, which it passes on to
// the source). Counters follow the encodings the driver decodes:
// - pixel clock: 20 samples (0x99 and 0x9A bits 1:0, the next one after each
//   rise of 0x9A bit 7) summing to floor(10240 x RCLK / PCLK), spread evenly;
// - TMDS: 0x48 + 1 = floor(RCLK x m / character rate) with the largest
//   multiplier m (0x43 bits 7:5: 1024, 512, 256, else 128) keeping it <= 255;
// - timing 0x9B..0xAB in the layout of the ChipID (0x10 and 0xE0, or other);
// - a YUV 4:2:0 link is measured at half width and half pixel clock;
// - after the clock starts, 0x13 bit 4 (clock stable) reads 0 once: at the
//   first read after the driver cleared the clock-change latch 0x05 bit 2,
//   so that a plug starts the equaliser.
// The equaliser registers are SimIt6805Eq's, the CEC page SimIt6805Cec's.
class SimIt6805 {
public:
    static constexpr uint16_t kMainPage = 0x48;
    static constexpr uint16_t kEdidPage = 0x54;
    static constexpr uint16_t kRxPage = 0x5A;
    static constexpr uint16_t kCecPage = 0x64;
    static constexpr uint32_t kDefaultRclkKhz = 20000;

    SimIt6805();
    ~SimIt6805();
    SimIt6805(const SimIt6805&) = delete;
    SimIt6805& operator=(const SimIt6805&) = delete;

    // The page at a 7-bit address (one of the four above).
    SimI2cDevice* page(uint16_t addr7);
    // Returns true while the chip is held in reset (called per transfer).
    void setResetHeld(std::function<bool()> held);
    // The reset line went low: hot-plug drops at once (the registers come
    // back at their power-on values at the first transfer after release).
    void holdReset();
    // Called (outside the chip's lock) after the chip changed its hot-plug
    // level, its CEC receive queue or its CEC transmit log.
    void setHpdObserver(std::function<void()> observer);

    // Identity.
    void setPresent(bool present);
    bool present() const;
    void setChipId(uint8_t id);
    uint8_t chipId() const;
    void setIdVariant(uint8_t value);  // register 0x02: 0x05 or 0x07

    // The source at the chip's input; the chip follows its changes at every
    // transfer (latching +5 V, clock and sync changes and new InfoFrames).
    void setSource(SimVideoSource* source);
    bool scdt() const;

    // Back doors.
    void setScdtDropped(bool dropped);          // sync lost while the link stays
    void setOutputUnstable(bool unstable);      // 0x19 bit 1 stays clear
    void latch(uint8_t reg, uint8_t bits);      // raise interrupt bits (0x05 ECC bit 5, ...)
    void setCaofNeverDone(bool never);
    // The channel-status rate code shown in 0xB5 (-1: the source's own), to
    // make it disagree with N/CTS.
    void setAudioCodeOverride(int code);
    void setEfuse(uint16_t addr, uint8_t first, uint8_t second);
    // Stores a reference clock in the efuse: b1..b3 little-endian, b4 0xC0
    // for the hundredths form.
    void setStoredClock(uint32_t value, bool hundredths);
    void setRclkKhz(uint32_t khz);  // the oscillator the counters use

    // Observation.
    uint8_t reg(int bank, uint8_t r) const;
    void setReg(int bank, uint8_t r, uint8_t value);
    uint8_t cecReg(uint8_t r) const;
    int hpd() const;  // bank 3 0xAB bits 7:6 (3 high, 1 low, 0 released)
    int vboLanes() const;  // from bank 5 0xC0 bits 5:4
    bool vboOn() const;    // bank 5 0xC9 bit 0 clear
    struct Write { int bank; uint8_t reg; uint8_t value; };
    std::vector<Write> writes() const;
    void clearWrites();
    QJsonObject state() const;

    // ---- equaliser and CEC back doors (see SimIt6805Eq, SimIt6805Cec) ----
    void setBitErrors(int channel, int rs, int count);
    void setEqNoDone(bool never);
    void setSarResultInvalid(bool invalid);
    void setEqResult(int channel, uint8_t value);
    void setDfe(int index, std::array<uint8_t, 4> values);
    void injectCec(const std::vector<uint8_t>& frame, int lengthByte = -1);
    void setCecRxErrors(uint8_t bits);
    void latchCec(uint8_t bits);
    void setCecNoAck(bool noAck);
    std::vector<std::vector<uint8_t>> cecTxLog() const;
    size_t cecRxPending() const;

private:
    class Page;
    friend class Page;

    bool transfer(uint16_t addr7, I2cMsg* msgs, int count);
    bool transferLocked(uint16_t addr7, I2cMsg* msgs, int count);
    bool answers();
    void powerOn();
    uint8_t readMain(uint8_t r);
    void writeMain(uint8_t r, uint8_t v);
    int bankOf(uint8_t r) const;
    uint8_t& cell(int bank, uint8_t r) { return main_[static_cast<size_t>(bank)][r]; }
    void follow();
    void linkChanged();
    bool tmds() const;
    void encodeLink();
    void encodeTiming(const SimVideoTiming& t, bool halfWidth);
    void encodeAvi(bool on);
    void encodeAudio(bool on);
    uint8_t portStatus() const;
    unsigned pixelSample(unsigned index) const;
    void efuseCommand();
    bool settled();
    bool transferCec(I2cMsg* msgs, int count);

    mutable std::mutex lock_;
    std::array<std::array<uint8_t, 256>, 8> main_{};
    std::array<uint8_t, 256> edid_{};
    std::array<uint8_t, 256> rx_{};
    SimIt6805Cec cec_;
    SimIt6805Eq eq_;
    int clockSettling_ = 0;  // 1 clock started, 2 the next 0x13 read shows it unstable
    std::map<uint16_t, std::unique_ptr<Page>> pages_;
    std::map<uint16_t, std::array<uint8_t, 2>> efuse_;
    std::vector<Write> writes_;
    std::function<bool()> resetHeld_;
    std::function<void()> hpdObserver_;
    bool hpdChanged_ = false;
    bool wasHeld_ = false;
    bool present_ = true;
    uint8_t chipId_ = 0xA0;
    uint8_t idVariant_ = 0x05;
    SimVideoSource* source_ = nullptr;
    SimVideoSource::Output output_;
    bool plus5v_ = false;
    bool sending_ = false;
    unsigned generation_ = 0;
    bool scdtDropped_ = false;
    bool outputUnstable_ = false;
    bool caofNever_ = false;
    int audioCodeOverride_ = -1;
    uint32_t rclkKhz_ = kDefaultRclkKhz;
    unsigned pclkIndex_ = 0;
    bool lastTmds_ = false;
    bool lastScdt_ = false;
};

} // namespace kel::platform::sim
