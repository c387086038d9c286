#pragma once
#include "protocol/ControlLink.h"
#include "protocol/FrameAssembler.h"
#include "protocol/LinkSettings.h"

namespace kel::protocol {

// The serial control link ("/dev/ttyS2", 115200 baud 8N1, RTS raised),
// opened through the platform's serial service (a pseudo-terminal on the
// simulated board).
class Qj_uart_inout : public ControlLink {
public:
    Qj_uart_inout(ControllerPort& port, message_deal& deal, const LinkSettings& settings);
    ~Qj_uart_inout() override;

    static Qj_uart_inout* pInstance();
    static Qj_uart_inout* p_uart_inout;

    bool isOpen() const { return fd_ >= 0; }

protected:
    // The same serial link on another port and link identifier (the 4G
    // modem's). Opens the port only: the derived class calls startIfOpen()
    // once it is fully constructed.
    Qj_uart_inout(uint8_t linkId, const std::string& device, ControllerPort& port, message_deal& deal,
                  const LinkSettings& settings);
    void startIfOpen();

private:
    void loop() override { receive_thread(); }
    void receive_thread();
    bool configure();
    bool sendTo(const LinkPeer& peer, const uint8_t* data, size_t n) override;

    LinkSettings settings_;
    std::string device_;
    int fd_ = -1;
    FrameAssembler assembler_{protocol_phy::kMaxWire};
};

} // namespace kel::protocol
