#include "DealFixture.h"

#include "protocol/PanelCalls.h"

#include <QCoreApplication>

namespace kel::test {

void DealFixture::SetUp()
{
    SimRootFixture::SetUp();
    // Page calls still queued by an earlier test go nowhere.
    protocol::PanelCalls::clear();
    QCoreApplication::processEvents();
    deal = std::make_unique<protocol::message_deal>(port);
}

void DealFixture::TearDown()
{
    protocol::PanelCalls::clear();
    QCoreApplication::processEvents();
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
