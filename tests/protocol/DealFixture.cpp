#include "DealFixture.h"

#include "protocol/PanelCalls.h"

namespace kel::test {

void DealFixture::SetUp()
{
    SimRootFixture::SetUp();
    deal = std::make_unique<protocol::message_deal>(port);
}

void DealFixture::TearDown()
{
    protocol::PanelCalls::clear();
    deal.reset();
    SimRootFixture::TearDown();
}

Bytes DealFixture::ask(uint8_t cmd, const Bytes& payload, uint16_t target, const protocol::Requester& who)
{
    const Bytes body = TestFrames::body(target, 0xF020, cmd, payload);
    Bytes answer;
    deal->message_group_deal(5, who, body.data(), body.size(), answer);
    return answer;
}

} // namespace kel::test
