#pragma once
#include <QJsonObject>

#include "platform/sim/SimI2cDevice.h"

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
// What the chip measures comes from the link: the source's timing and
// packets appear while +5 V is present and the chip drives hot-plug high
// (bank 3 register 0xAB bits 7:6 = 11). Counters follow the encodings the
// driver decodes:
// - pixel clock: 20 samples (0x99 and 0x9A bits 1:0, the next one after each
//   rise of 0x9A bit 7) summing to floor(10240 x RCLK / PCLK), spread evenly;
// - TMDS: 0x48 + 1 = floor(RCLK x m / character rate) with the largest
//   multiplier m (0x43 bits 7:5: 1024, 512, 256, else 128) keeping it <= 255;
// - timing 0x9B..0xAB in the layout of the ChipID (0x10 and 0xE0, or other);
// - a YUV 4:2:0 link is measured at half width and half pixel clock.
class SimIt6805 {
public:
    static constexpr uint16_t kMainPage = 0x48;
    static constexpr uint16_t kEdidPage = 0x54;
    static constexpr uint16_t kRxPage = 0x5A;
    static constexpr uint16_t kCecPage = 0x64;
    static constexpr uint32_t kDefaultRclkKhz = 20000;

    // What the source sends over the link.
    struct Signal {
        uint32_t pclkKhz = 148500;
        uint16_t hact = 1920, hfp = 88, hsync = 44, hback = 148;
        uint16_t vact = 1080, vfp = 4, vsync = 5, vback = 36;
        bool interlaced = false, hpos = true, vpos = true;
        bool dvi = false;
        uint8_t colorFormat = 0;     // 0 RGB, 1 YUV 4:2:2, 2 YUV 4:4:4, 3 YUV 4:2:0
        uint8_t colorimetry = 0;     // AVI C1:C0
        uint8_t extColorimetry = 0;  // AVI EC2:EC0
        uint8_t rgbRange = 0;        // AVI Q1:Q0
        uint8_t yuvRange = 0;        // AVI YQ1:YQ0
        uint8_t vic = 0;
        bool audio = true;
        uint8_t audioLayout = 0x01;  // 0xB1 bits 5:0 (two channels)
        uint8_t audioCode = 2;       // channel-status rate code (48 kHz)
        uint32_t audioN = 6144;
        bool audioCtsFromTmds = true;  // CTS = TMDS character rate in kHz
        uint32_t audioCts = 0;         // used when not from TMDS

        uint16_t htotal() const { return static_cast<uint16_t>(hact + hfp + hsync + hback); }
        uint16_t vtotal() const { return static_cast<uint16_t>(vact + vfp + vsync + vback); }
        // TMDS character rate: the pixel clock, halved for 4:2:0.
        uint32_t characterKhz() const { return colorFormat == 3 ? pclkKhz / 2 : pclkKhz; }
        // Above 340 MHz the link runs at the 1/40 clock ratio, scrambled.
        bool hdmi2() const { return !dvi && characterKhz() > 340000; }
    };

    SimIt6805();
    ~SimIt6805();
    SimIt6805(const SimIt6805&) = delete;
    SimIt6805& operator=(const SimIt6805&) = delete;

    // The page at a 7-bit address (one of the four above).
    SimI2cDevice* page(uint16_t addr7);
    // Returns true while the chip is held in reset (called per transfer).
    void setResetHeld(std::function<bool()> held);

    // Identity.
    void setPresent(bool present);
    bool present() const;
    void setChipId(uint8_t id);
    uint8_t chipId() const;
    void setIdVariant(uint8_t value);  // register 0x02: 0x05 or 0x07

    // The link.
    void plug(const Signal& signal);
    void unplug();
    // The source changes its AVI InfoFrame (new colour format etc.).
    void changeAvi(const Signal& signal);
    bool plugged() const;
    Signal signal() const;
    bool tmds() const;
    bool scdt() const;

    // Back doors.
    void setScdtDropped(bool dropped);          // sync lost while the link stays
    void setOutputUnstable(bool unstable);      // 0x19 bit 1 stays clear
    void latch(uint8_t reg, uint8_t bits);      // raise interrupt bits (0x05 ECC bit 5, ...)
    void setCaofNeverDone(bool never);
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

private:
    class Page;
    friend class Page;

    bool transfer(uint16_t addr7, I2cMsg* msgs, int count);
    bool answers();
    void powerOn();
    uint8_t readMain(uint8_t r);
    void writeMain(uint8_t r, uint8_t v);
    int bankOf(uint8_t r) const;
    uint8_t& cell(int bank, uint8_t r) { return main_[static_cast<size_t>(bank)][r]; }
    void linkChanged(bool wasTmds, bool wasScdt);
    void encodeLink();
    void encodeTiming(const Signal& s);
    void encodeAvi(const Signal& s);
    void encodeAudio(const Signal& s);
    uint8_t portStatus() const;
    unsigned pixelSample(unsigned index) const;
    void efuseCommand();

    mutable std::mutex lock_;
    std::array<std::array<uint8_t, 256>, 8> main_{};
    std::array<uint8_t, 256> edid_{};
    std::array<uint8_t, 256> rx_{};
    std::array<uint8_t, 256> cec_{};
    std::map<uint16_t, std::unique_ptr<Page>> pages_;
    std::map<uint16_t, std::array<uint8_t, 2>> efuse_;
    std::vector<Write> writes_;
    std::function<bool()> resetHeld_;
    bool wasHeld_ = false;
    bool present_ = true;
    uint8_t chipId_ = 0xA0;
    uint8_t idVariant_ = 0x05;
    bool plugged_ = false;
    Signal signal_;
    bool scdtDropped_ = false;
    bool outputUnstable_ = false;
    bool caofNever_ = false;
    uint32_t rclkKhz_ = kDefaultRclkKhz;
    unsigned pclkIndex_ = 0;
    bool lastTmds_ = false;
    bool lastScdt_ = false;
};

} // namespace kel::platform::sim
