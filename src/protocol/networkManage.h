#pragma once
#include "protocol/ControlLink.h"
#include "protocol/FrameAssembler.h"
#include "protocol/LinkSettings.h"

#include <map>
#include <memory>
#include <string>

namespace kel::protocol {

// The TCP control link (port g_port, 5005 by default), listening only
// while the TCP link is switched on. Many clients at once, each with its
// own capped receive buffer; an answer goes to the client that asked, a
// card answer to the client of the last pass-through request.
class networkManage : public ControlLink {
public:
    networkManage(ControllerPort& port, message_deal& deal, const LinkSettings& settings);
    ~networkManage() override;

    static networkManage* pInstance();
    static networkManage* p_networkManage;

    bool listening() const { return listenFd_ >= 0; }
    uint16_t localPort() const;

private:
    struct Client {
        int fd = -1;
        std::string key;
        FrameAssembler assembler{protocol_phy::kMaxWire};
    };

    void loop() override { acceptThread(); }
    void acceptThread();
    void acceptOne();
    // False when the client has gone.
    bool readClient(Client& c);
    void closeAll();
    bool sendTo(const LinkPeer& peer, const uint8_t* data, size_t n) override;

    LinkSettings settings_;
    int listenFd_ = -1;
    uint64_t nextId_ = 0;
    std::map<int, std::unique_ptr<Client>> clients_;
};

} // namespace kel::protocol
