#pragma once
#include "protocol/LinkPeer.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <string>

namespace kel::protocol {

// The FPGA images the control protocol reads and writes. Sizes are in
// FpgaImageTable.
enum class FpgaImage : uint8_t { Para, Cmd, Extend, Zoom, Default, EthPara, EthBack, Count };

// Running-time values exported into the extended FPGA image.
struct ClockRecordView {
    uint32_t sequence = 0;       // rec_seq
    uint32_t minutesBoot = 0;    // minutes since power-on
    uint32_t minutesRun = 0;     // minutes of the finished groups
    uint32_t total = 0;          // rec_total plus the current count
};

// A validated calendar time.
struct ClockValue {
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

// What a link may do with a card request (ControllerPort::claimCardPath).
enum class CardClaim {
    Go,     // send it now
    Wait,   // keep it and ask again
    Drop,   // drop it unsent: its sender ended and its card requests to that port go unanswered
};

// Everything the command handlers and the link loops need of the other
// subsystems. The application binds it to the parameter store, the scaler
// manager, the FPGA manager and the shared globals; tests use a stand-in.
// Every method may be called from any link thread.
class ControllerPort {
public:
    virtual ~ControllerPort() = default;

    // Parameter block and user-mode slots: 0 stored, 1 refused. The
    // block write holds the scaler's parameter lock while it copies.
    virtual uint8_t writeRamBlock(uint32_t address, const uint8_t* data, uint32_t n) = 0;
    virtual bool readRamBlock(uint32_t address, uint8_t* out, uint32_t n) = 0;
    virtual uint8_t writeUserMode(uint32_t mode, uint32_t offset, const uint8_t* data, uint32_t n) = 0;
    virtual bool readUserMode(uint32_t mode, uint32_t offset, uint8_t* out, uint32_t n) = 0;

    // The controller's own register bank (registers 0 .. registerCount()-1).
    virtual uint32_t registerCount() = 0;
    virtual uint8_t readRegister(uint32_t reg) = 0;
    virtual void writeRegister(uint32_t reg, uint8_t value) = 0;

    // Asks the scaler manager to apply the block (1) or apply and announce
    // the user mode (2), under its parameter lock.
    virtual void requestApply(uint8_t value) = 0;
    // The apply the scaler manager has not taken yet: 0 none, 1 or 2 as
    // requested. It drops to 0 when the chip thread takes the block.
    virtual uint8_t pendingApply() = 0;
    virtual bool osdEnabled() = 0;
    // Apply and reload the OSD menu file.
    virtual void requestOsdReload() = 0;
    // One pulse of the SDI receiver reset line.
    virtual void requestSdiPulse() = 0;
    // Change broadcast (KelRamPara::test_signal).
    virtual void announce(int reason) = 0;

    // FPGA images, bounds already checked by the caller.
    virtual bool fpgaImageWrite(int fpga, FpgaImage image, uint32_t offset, const uint8_t* data, uint32_t n) = 0;
    virtual bool fpgaImageRead(int fpga, FpgaImage image, uint32_t offset, uint8_t* out, uint32_t n) = 0;
    // Runs the host command RAM (register 2 bit 2) on the calling thread.
    virtual void fpgaHostCommand() = 0;
    virtual void setFpgaCtrlFlags(uint8_t flags) = 0;
    virtual uint16_t cardTotal() = 0;
    virtual ClockRecordView clockRecord() = 0;
    // The system clock was set: mark it in the running-time record.
    virtual void clockChanged() = 0;
    // Serial flash 2 behind the FPGA; addresses already bounded.
    virtual bool flashRead(uint32_t address, uint8_t* out, uint32_t n) = 0;
    virtual bool flashWrite(uint32_t address, const uint8_t* data, uint32_t n) = 0;

    // Pass-through to the receiving cards (fpga_manage::irq_mutex and
    // friends). lockIrq/unlockIrq bracket the calls below them, except
    // forwardToCards, which takes the locks it needs per step and may wait
    // for a busy transmitter: it is called with none held.
    virtual void lockIrq() = 0;
    virtual void unlockIrq() = 0;
    // Whether a peer on the link may send the card request frame now (one
    // is out per output port, the senders in turn); Go takes the port until
    // its answer comes or the wait for it runs out. A peer told to Wait
    // keeps its request and asks again. Drop: the peer has ended its sending
    // and its card requests to that port went unanswered twice in a row.
    virtual CardClaim claimCardPath(uint8_t link, const LinkPeer& peer, const uint8_t* frame, uint32_t n) = 0;
    // The output port a card request frame (unframed) goes to: 0-15,
    // kAllCardPorts, or kNoCardPort when it goes nowhere. Takes no lock.
    virtual uint8_t cardPortOf(const uint8_t* frame, uint32_t n) = 0;
    static constexpr uint8_t kAllCardPorts = 255;
    static constexpr uint8_t kNoCardPort = 254;
    // Whether a card request of the sender holds its port: its answer may
    // still come.
    virtual bool cardRequestOut(uint8_t link, const std::string& sender) = 0;
    // The sender has gone (its connection closed): it gives up its place
    // among the senders waiting for the card path.
    virtual void leaveCardPath(uint8_t link, const std::string& sender) = 0;
    virtual void forwardToCards(const uint8_t* frame, uint32_t n) = 0;
    virtual void serviceCardIrq() = 0;
    virtual bool replyReady() = 0;
    virtual void setReplyReady(bool ready) = 0;
    virtual uint8_t passbyPort() = 0;
    virtual void setPassbyPort(uint8_t link) = 0;

    // Tick clock and the host-frame stamp (pc_cmd_valid, pc_cmd_time).
    virtual uint32_t ticks() = 0;
    virtual void markHostFrame() = 0;

    // EDID table of input k (k < 6): copy and mark it as loaded.
    virtual void setEdidTable(int input, const uint8_t* edid256) = 0;

    // Lock of every stored file (Utils::_file_deal_mutex).
    virtual void lockFiles() = 0;
    virtual void unlockFiles() = 0;
    // Name lists of the card recovery reader.
    virtual void clearSmartFiles() = 0;
    virtual void clearRecoveryFiles() = 0;

    // Validated values only.
    virtual void storeNetwork(const QString& ip, const QString& mask, const QString& gateway) = 0;
    virtual void storeConfig(int key, const QString& value) = 0;
    virtual void setSystemClock(const ClockValue& value) = 0;
    virtual std::string deviceId() = 0;

    // Host update frame and restart.
    virtual uint8_t updateFlag() = 0;
    virtual void setUpdateFlag(uint8_t value) = 0;
    virtual bool startEntryPresent() = 0;
    virtual void requestReboot() = 0;
    virtual bool rebootPending() = 0;
};

} // namespace kel::protocol
