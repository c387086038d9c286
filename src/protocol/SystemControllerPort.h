#pragma once
#include "protocol/ControllerPort.h"

#include <mutex>
#include <string>

// The controller port bound to this system: the parameter store, the
// scaler hand-off, the input board, the FPGA manager, the configuration
// store and the shared globals. Objects that do not exist yet (no FPGA
// manager, no input board) make their requests refuse or do nothing.
namespace kel::protocol {

class SystemControllerPort : public ControllerPort {
public:
    uint8_t writeRamBlock(uint32_t address, const uint8_t* data, uint32_t n) override;
    bool readRamBlock(uint32_t address, uint8_t* out, uint32_t n) override;
    uint8_t writeUserMode(uint32_t mode, uint32_t offset, const uint8_t* data, uint32_t n) override;
    bool readUserMode(uint32_t mode, uint32_t offset, uint8_t* out, uint32_t n) override;
    uint32_t registerCount() override;
    uint8_t readRegister(uint32_t reg) override;
    void writeRegister(uint32_t reg, uint8_t value) override;
    void requestApply(uint8_t value) override;
    uint8_t pendingApply() override;
    bool osdEnabled() override;
    void requestOsdReload() override;
    void requestSdiPulse() override;
    void announce(int reason) override;
    bool fpgaImageWrite(int fpga, FpgaImage image, uint32_t offset, const uint8_t* data, uint32_t n) override;
    bool fpgaImageRead(int fpga, FpgaImage image, uint32_t offset, uint8_t* out, uint32_t n) override;
    void fpgaHostCommand() override;
    void setFpgaCtrlFlags(uint8_t flags) override;
    uint16_t cardTotal() override;
    ClockRecordView clockRecord() override;
    void clockChanged() override;
    bool flashRead(uint32_t address, uint8_t* out, uint32_t n) override;
    bool flashWrite(uint32_t address, const uint8_t* data, uint32_t n) override;
    void lockIrq() override;
    void unlockIrq() override;
    CardClaim claimCardPath(uint8_t link, const LinkPeer& peer, const uint8_t* frame, uint32_t n) override;
    bool cardRequestOut(uint8_t link, const std::string& sender) override;
    void leaveCardPath(uint8_t link, const std::string& sender) override;
    uint8_t cardPortOf(const uint8_t* frame, uint32_t n) override;
    void forwardToCards(const uint8_t* frame, uint32_t n) override;
    void serviceCardIrq() override;
    bool replyReady() override;
    void setReplyReady(bool ready) override;
    uint8_t passbyPort() override;
    void setPassbyPort(uint8_t link) override;
    uint32_t ticks() override;
    void markHostFrame() override;
    void setEdidTable(int input, const uint8_t* edid256) override;
    void lockFiles() override;
    void unlockFiles() override;
    void clearSmartFiles() override;
    void clearRecoveryFiles() override;
    void storeNetwork(const QString& ip, const QString& mask, const QString& gateway) override;
    void storeConfig(int key, const QString& value) override;
    void setSystemClock(const ClockValue& value) override;
    std::string deviceId() override;
    uint8_t updateFlag() override;
    void setUpdateFlag(uint8_t value) override;
    bool startEntryPresent() override;
    void requestReboot() override;
    bool rebootPending() override;

private:
    uint8_t* image(int fpga, FpgaImage which) const;
    bool ledSizeChanged() const;
    static void raiseApplyFlag(uint8_t value);
    // Who counts as one address for the card path's turns.
    static std::string originOf(uint8_t link, const LinkPeer& peer);

    // Stands in for the FPGA manager's interrupt lock while it is absent.
    std::mutex irqFallback_;
    bool irqHeldFallback_ = false;
};

} // namespace kel::protocol
