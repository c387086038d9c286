#include "ControllerFixture.h"

#include "params/global.h"
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimCardChain.h"
#include "platform/sim/SimFpga.h"
#include "platform/sim/SimFpgaBoard.h"
#include "protocol/LinkClient.h"
#include "protocol/udpnetManage.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>
#include <thread>
#include <vector>

namespace kel::test {
namespace {

using platform::sim::SimCardChain;
using platform::sim::SimFpgaBoard;
using protocol::udpnetManage;

// A PC tool's request for the cards (source 0xF010) with its route and port.
Bytes cardRequest(uint16_t target, uint8_t route, uint8_t port, uint8_t tag)
{
    Bytes b = {uint8_t(target), uint8_t(target >> 8), 0x10, 0xF0, 0x10, tag, route, port, 0, 0x61,
               0x80, 0x01, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00};
    uint8_t x = 0;
    for (uint8_t v : b)
        x ^= v;
    b.push_back(x);
    return b;
}

class CardPassThroughEndToEnd : public ControllerFixture {
protected:
    static void cards(int port, int count)
    {
        SimCardChain::Knobs k;
        k.cards = count;
        SimFpgaBoard::current()->chain(port).setKnobs(k);
    }
    static uint16_t ramCount(uint16_t addr)
    {
        const auto b = SimFpgaBoard::current()->fpga0().ram(1, addr, 2);
        return uint16_t(b[0] | (b[1] << 8));
    }
};

TEST_F(CardPassThroughEndToEnd, CardAnswersComeBackOnceToTheAskingClient)
{
    cards(0, 3);
    cards(3, 2);
    ASSERT_TRUE(tickUntil([] { return screenLit(); }));
    ASSERT_TRUE(tickUntil([] { return ramCount(100) == 3 && ramCount(110) == 2; }, 2000)) << "cards found";
    // state.json reports the counts the controller keeps and the chains.
    ASSERT_TRUE(board().writeState());
    QFile file(QString::fromStdString(board().statePath()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject state = QJsonDocument::fromJson(file.readAll()).object();
    const QJsonArray counts = state["fpga0"].toObject()["port_cards"].toArray();
    EXPECT_EQ(counts.at(0).toInt(), 3);
    EXPECT_EQ(counts.at(3).toInt(), 2);
    EXPECT_EQ(state["cards"].toObject()["port3"].toObject()["cards"].toInt(), 2);
    EXPECT_GT(state["cards"].toObject()["port3"].toObject()["searches"].toInt(), 0);

    LinkClient tool = LinkClient::udp(udpnetManage::p_udpnetManage->localPort());
    ASSERT_TRUE(tool.ok());
    struct Case {
        const char* name;
        Bytes request;
        uint16_t source;
        uint8_t port;
        std::vector<int> reached;   // ports whose cards got the request
    };
    const Case cases[] = {
        {"card 1 of port 0", cardRequest(0x0001, 0, 1, 0x21), 0x0001, 1, {0}},
        {"all ports", cardRequest(0x0FFF, 1, 255, 0x33), 0x0FFF, 255, {0, 3}},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(tool.send(TestFrames::wire(c.request))) << c.name;
        const Bytes answer = tool.receive();
        ASSERT_GE(answer.size(), 12u) << c.name;
        EXPECT_EQ(answer[0] | answer[1] << 8, 0xF010) << c.name;
        EXPECT_EQ(answer[2] | answer[3] << 8, c.source) << c.name;
        EXPECT_EQ(answer[7], c.port) << c.name;
        EXPECT_EQ(answer[10], 0) << c.name;
        for (int port : c.reached) {
            const auto got = SimFpgaBoard::current()->chain(port).received();
            ASSERT_FALSE(got.empty()) << c.name << ", port " << port;
            EXPECT_EQ(got.back()[9], 0x61) << c.name << ", port " << port;
            EXPECT_EQ(got.back()[5], c.request[5]) << c.name << ", port " << port << ": the request's tag";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_FALSE(tool.hasData()) << c.name << ": exactly one answer";
    }
}

} // namespace
} // namespace kel::test
