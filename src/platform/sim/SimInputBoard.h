#pragma once
#include <QJsonObject>

#include "platform/FpgaBoardMap.h"
#include "platform/I2cBus.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kel::platform::sim {

class SimBoard;
class SimI2cBus;
class SimI2cSwitch;
class SimInputPort;
class SimEdidEeprom;
class SimRegisterChip;
class SimGpioLines;
class SimI2cDevice;
class SimLoggedDevice;
class SimIt66121;
class SimIt6805;
class SimVideoSource;
class SimIt6602;

// The simulated input-source board on "/dev/i2c-0": the receiver switch
// (0xEE), the EDID switch (0xE0) with six EDID EEPROMs and the 0xD0 chip
// behind it, the input control port (0x40), the CDCE913 (0xCA), the SiI9022A
// (0x76), the SDI path's IT66121 transmitter (0x98) with its sink, the
// board's GPIO lines and the knob device "/dev/ec11" (a link to a
// pseudo-terminal).
//
// <root>/sim/board.ini, group [input_board], says what is plugged in:
//   edid<k> = blank | corrupt | file:<host path>   (first start only; the
//             images then live in <root>/sim/edid/input<k>.bin)
//   stuck = list of inputs whose EEPROM ignores writes
//   d0_present, cdce913_present, sii9022_present, port_present,
//   it66121_present = yes | no
//   sdi_sink = hdmi | dvi | none | corrupt | ddc_error   (the transmitter's sink)
//   it6805_present<d>, it6805_chipid<d> (d 0 = input 4, 1 = input 5)
//   source<k> and its detail keys: what is plugged into input k at start
//             (SimVideoSource; a fresh board has source2 = edid, the input
//             window 0 shows)
//   it6602_present<k> = yes | no; it6602_addr<k> = 0x90 | 0x94 (k = 0..3)
//   transfer_log = how many of the newest transfers() are kept (50000)
class SimInputBoard {
public:
    // 7-bit addresses.
    static constexpr uint16_t kReceiverSwitch = 0x77;
    static constexpr uint16_t kEdidSwitch = 0x70;
    static constexpr uint16_t kPort = 0x20;
    static constexpr uint16_t kEeprom = 0x50;
    static constexpr uint16_t kS5p210 = 0x68;
    static constexpr uint16_t kCdce913 = 0x65;
    static constexpr uint16_t kSii9022 = 0x3B;
    static constexpr uint16_t kIt66121 = 0x4C;
    static constexpr uint8_t kEdidChannel[6] = {0x01, 0x02, 0x04, 0x08, 0x20, 0x10};
    static constexpr uint8_t kS5p210Channel = 0x80;
    static constexpr uint8_t kIt6805Channel[2] = {0x20, 0x10};
    // GPIO words.
    static constexpr uint32_t kIt6602Reset = FpgaBoardMap::kIt6602Reset;
    static constexpr uint32_t kIt6805Reset = FpgaBoardMap::kIt6805Reset;
    static constexpr uint32_t kEdidWp = FpgaBoardMap::kEdidWp;
    static constexpr uint32_t kGs2971Reset = FpgaBoardMap::kGs2971Reset;
    static constexpr uint32_t kFpga0Reset = FpgaBoardMap::kFpga0Reset;
    static constexpr uint32_t kFpga1Reset = FpgaBoardMap::kFpga1Reset;
    static constexpr uint32_t kSdiEnable = FpgaBoardMap::kSdiEnable;

    explicit SimInputBoard(SimBoard& board);
    ~SimInputBoard();
    SimInputBoard(const SimInputBoard&) = delete;
    SimInputBoard& operator=(const SimInputBoard&) = delete;

    // Builds the board on a simulated board (SimChips calls this).
    static void install(SimBoard& board);
    // The input board of a simulated board; null when none is installed.
    static SimInputBoard* of(SimBoard& board);

    SimI2cBus& bus() { return bus_; }
    SimI2cSwitch& receiverSwitch() { return *rxSwitch_; }
    SimI2cSwitch& edidSwitch() { return *edidSwitch_; }
    SimInputPort& port() { return *port_; }
    SimEdidEeprom& eeprom(int input) { return *eeproms_.at(input); }
    SimRegisterChip& s5p210() { return *s5p210_; }
    SimRegisterChip& cdce913() { return *cdce913_; }
    SimRegisterChip& sii9022() { return *sii9022_; }
    SimIt66121& it66121() { return *it66121_; }
    SimGpioLines& gpio() { return *gpio_; }
    // The IT6805 receiver of input 4 + dev.
    SimIt6805& it6805(int dev) { return *it6805_.at(static_cast<size_t>(dev)); }
    // The source plugged into input k (0..5); its plug()/unplug() are the
    // live back door.
    SimVideoSource& source(int input) { return *sources_.at(input); }
    // The IT6602 receiver of input 0..3.
    SimIt6602& it6602(int input) { return *it6602_.at(input); }

    // One served run of messages to one address: the bytes written, the
    // bytes read, whether the chip answered, and the switch channels at the
    // time. Addresses nobody answered are logged with ok = false.
    struct Transfer {
        uint16_t addr;
        std::vector<uint8_t> written;
        int readLength;
        bool ok;
        uint8_t receiverChannels;
        uint8_t edidChannels;
    };
    std::vector<Transfer> transfers() const;
    void clearTransfers();

    // EEPROM writes take effect only while both protections are off.
    bool eepromWritable() const;
    std::string eepromFile(int input) const;
    // Delivers one byte from the knob device, as the kernel driver would.
    bool knobEvent(uint8_t value);

    QJsonObject state() const;

private:
    void readScenario();
    void attachIt6805s();
    void route();
    void onGpio(uint32_t offset, uint16_t from, uint16_t to);
    SimI2cDevice* find(uint16_t addr);
    void record(uint16_t addr, const I2cMsg* msgs, int count, bool ok);
    QJsonObject sdiState() const;
    void openKnob();
    void closeKnob();

    SimBoard& board_;
    SimI2cBus& bus_;
    std::unique_ptr<SimI2cSwitch> rxSwitch_;
    std::unique_ptr<SimI2cSwitch> edidSwitch_;
    std::unique_ptr<SimInputPort> port_;
    std::array<std::unique_ptr<SimEdidEeprom>, 6> eeproms_;
    std::array<std::unique_ptr<SimVideoSource>, 6> sources_;
    std::array<std::unique_ptr<SimIt6602>, 4> it6602_;
    std::array<uint16_t, 4> it6602Addr_{};
    std::unique_ptr<SimRegisterChip> s5p210_;
    std::unique_ptr<SimRegisterChip> cdce913_;
    std::unique_ptr<SimRegisterChip> sii9022_;
    std::unique_ptr<SimIt66121> it66121_;
    std::unique_ptr<SimGpioLines> gpio_;
    std::array<std::unique_ptr<SimIt6805>, 2> it6805_;
    mutable std::atomic<bool> stateDirty_{false};
    std::map<SimI2cDevice*, std::unique_ptr<SimLoggedDevice>> logged_;
    std::map<uint16_t, SimI2cDevice*> root_;
    mutable std::mutex logLock_;
    size_t logLimit_ = 50000;
    std::vector<Transfer> log_;
    int knobMaster_ = -1;
    std::string knobLink_;
};

} // namespace kel::platform::sim
