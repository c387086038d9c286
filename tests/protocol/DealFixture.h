#pragma once
#include "StandInPort.h"
#include "TestFrames.h"
#include "protocol/Requester.h"
#include "protocol/message_deal.h"
#include "support/SimRootFixture.h"

#include <memory>

namespace kel::test {

// A dispatcher on a stand-in controller and a fresh simulated root.
class DealFixture : public SimRootFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // Sends one request body through the dispatcher; returns the answer body.
    Bytes ask(uint8_t cmd, const Bytes& payload, uint16_t target = 0xF100,
              const protocol::Requester& who = protocol::Requester{3, "udp a"});

    StandInPort port;
    std::unique_ptr<protocol::message_deal> deal;
};

} // namespace kel::test
