#pragma once
#include "protocol/ControllerPort.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace kel::test {

// An in-memory controller for the protocol tests: a parameter block with
// the store's bounds, sixteen modeSlots, a register bank, FPGA images, a flash,
// and a record of every request made of the other subsystems.
class StandInPort : public protocol::ControllerPort {
public:
    StandInPort();

    uint8_t writeRamBlock(uint32_t address, const uint8_t* data, uint32_t n) override;
    bool readRamBlock(uint32_t address, uint8_t* out, uint32_t n) override;
    uint8_t writeUserMode(uint32_t mode, uint32_t offset, const uint8_t* data, uint32_t n) override;
    bool readUserMode(uint32_t mode, uint32_t offset, uint8_t* out, uint32_t n) override;
    uint32_t registerCount() override { return 170; }
    uint8_t readRegister(uint32_t reg) override;
    void writeRegister(uint32_t reg, uint8_t value) override;
    void requestApply(uint8_t value) override;
    uint8_t pendingApply() override { return applyFlag; }
    bool osdEnabled() override { return osdOn; }
    void requestOsdReload() override { ++osdReloads; }
    void requestSdiPulse() override { ++sdiPulses; }
    void announce(int reason) override;
    bool fpgaImageWrite(int fpga, protocol::FpgaImage image, uint32_t offset, const uint8_t* data, uint32_t n) override;
    bool fpgaImageRead(int fpga, protocol::FpgaImage image, uint32_t offset, uint8_t* out, uint32_t n) override;
    void fpgaHostCommand() override { ++hostCommands; }
    void setFpgaCtrlFlags(uint8_t flags) override { ctrlFlags = flags; }
    uint16_t cardTotal() override { return cards; }
    protocol::ClockRecordView clockRecord() override { return clock; }
    void clockChanged() override { ++clockMarks; }
    bool flashRead(uint32_t address, uint8_t* out, uint32_t n) override;
    bool flashWrite(uint32_t address, const uint8_t* data, uint32_t n) override;
    void lockIrq() override
    {
        if (beforeIrqLock)
            beforeIrqLock();
        irq.lock();
    }
    void unlockIrq() override { irq.unlock(); }
    protocol::CardClaim claimCardPath(uint8_t, const protocol::LinkPeer& peer, const uint8_t* frame,
                                      uint32_t n) override
    {
        std::lock_guard<std::mutex> l(senderLock);
        lastSender = peer.key;
        lastEnded = peer.ended;
        lastAgain = peer.again;
        lastFloods = peer.floods;
        if (seen.size() < kMaxSeen)
            seen.push_back(ClaimSeen{peer.key, cardPortOf(frame, n), n > 5 ? frame[5] : uint8_t(0), peer.ended,
                                     peer.again, peer.floods, peer.tries});
        if (dropEnded && peer.ended)
            return protocol::CardClaim::Drop;
        if (grantFor && grantFor(peer.key)) {
            out.push_back(peer.key);
            return protocol::CardClaim::Go;
        }
        return grantClaim() ? protocol::CardClaim::Go : protocol::CardClaim::Wait;
    }
    uint8_t cardPortOf(const uint8_t* frame, uint32_t n) override;
    bool cardRequestOut(uint8_t, const std::string& sender) override
    {
        std::lock_guard<std::mutex> l(senderLock);
        return requestOut || std::find(out.begin(), out.end(), sender) != out.end();
    }
    void leaveCardPath(uint8_t, const std::string& sender) override
    {
        std::lock_guard<std::mutex> l(senderLock);
        gone.push_back(sender);
    }
    // The sender of the last card request asked for.
    std::string sender()
    {
        std::lock_guard<std::mutex> l(senderLock);
        return lastSender;
    }
    void forwardToCards(const uint8_t* frame, uint32_t n) override;
    void serviceCardIrq() override;
    bool replyReady() override { return replyReadyFlag; }
    void setReplyReady(bool ready) override { replyReadyFlag = ready; }
    uint8_t passbyPort() override { return passby; }
    void setPassbyPort(uint8_t link) override { passby = link; }
    uint32_t ticks() override { return tickCount; }
    void markHostFrame() override;
    void setEdidTable(int input, const uint8_t* edid256) override;
    void lockFiles() override { files.lock(); }
    void unlockFiles() override { files.unlock(); }
    void clearSmartFiles() override { ++smartCleared; }
    void clearRecoveryFiles() override { ++recoveryCleared; }
    void storeNetwork(const QString& ip, const QString& mask, const QString& gateway) override;
    void storeConfig(int key, const QString& value) override;
    void setSystemClock(const protocol::ClockValue& value) override;
    std::string deviceId() override { return "0123456789ABCDEF0123456789ABCDEF"; }
    uint8_t updateFlag() override { return update; }
    void setUpdateFlag(uint8_t value) override;
    bool startEntryPresent() override { return true; }
    void requestReboot() override { reboot = true; }
    bool rebootPending() override { return reboot; }

    std::vector<int> announcements() const;
    std::vector<std::string> events() const;

    std::mutex lock;
    std::array<uint8_t, 4096> block{};
    std::array<std::array<uint8_t, 4098>, 16> modeSlots{};
    std::array<uint8_t, 1064> regs{};
    std::array<std::array<uint8_t, 2048>, 14> images{};
    std::vector<uint8_t> flash;
    std::array<std::array<uint8_t, 256>, 6> edid{};
    std::array<uint8_t, 6> edidFrom{};
    std::vector<uint8_t> forwarded;
    std::atomic<int> forwardedCount{0};
    // What claimCardPath answers: yes while cardPathFree, else yes to the
    // next claimGrants claims only.
    std::atomic<bool> cardPathFree{true};
    // What cardRequestOut answers.
    std::atomic<bool> requestOut{false};
    // Whether the last sender to ask had ended its sending.
    std::atomic<bool> lastEnded{false};
    // Whether it had another card request for the port queued behind.
    std::atomic<bool> lastAgain{false};
    // Whether it was a flooder.
    std::atomic<bool> lastFloods{false};
    // Every claim asked for (under senderLock), as the link flagged it.
    struct ClaimSeen {
        std::string sender;
        uint8_t port, tag;
        bool ended, again, floods;
        uint32_t tries;
    };
    static constexpr size_t kMaxSeen = 100000;
    std::vector<ClaimSeen> seen;
    std::atomic<int> claimGrants{0};
    // Senders whose card requests go at once (under senderLock), and stay
    // out unanswered: out.
    std::function<bool(const std::string& sender)> grantFor;
    std::vector<std::string> out;
    // Drop every card request of a sender that has ended its sending.
    std::atomic<bool> dropEnded{false};
    // Claims asked for, granted or not.
    std::atomic<int> claims{0};
    // Runs inside serviceCardIrq (with the interrupt lock held), as the
    // card answer path does.
    std::function<void()> onIrq;
    // Runs at every take of the interrupt lock, before it is held: stands
    // in for the FPGA side acting between two takes of the link.
    std::function<void()> beforeIrqLock;

    std::recursive_mutex irq;
    std::mutex senderLock;
    std::string lastSender;
    // The senders that left the card path, in order.
    std::vector<std::string> gone;
    std::mutex files;
    std::atomic<uint8_t> applyFlag{0};
    std::atomic<int> osdReloads{0}, sdiPulses{0}, hostCommands{0}, clockMarks{0};
    std::atomic<int> smartCleared{0}, recoveryCleared{0}, irqServices{0};
    std::atomic<uint8_t> ctrlFlags{0}, passby{255}, update{0};
    std::atomic<uint8_t> pcCmdValid{0};
    std::atomic<uint32_t> pcCmdTime{0}, tickCount{0};
    std::atomic<bool> replyReadyFlag{false}, reboot{false}, osdOn{false};
    uint16_t cards = 0;
    protocol::ClockRecordView clock;

private:
    bool grantClaim();
    void record(const std::string& event);
    std::vector<int> announced_;
    std::vector<std::string> events_;
};

} // namespace kel::test
