#include "ControllerFixture.h"

#include "platform/sim/SimBoard.h"
#include "protocol/LinkClient.h"
#include "protocol/ProtocolCodes.h"
#include "protocol/TestFrames.h"
#include "protocol/udpnetManage.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace kel::test {
namespace {

using namespace kel::protocol;


// The SDI path of the whole program on a fresh simulated board.
class SdiEndToEnd : public ControllerFixture {
protected:
    QJsonObject sdiState()
    {
        QFile f(QString::fromStdString(hostPath("/sim/state.json")));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QJsonDocument::fromJson(f.readAll()).object()["input_board"].toObject()["sdi"].toObject();
    }
};

TEST_F(SdiEndToEnd, PathComesUpAndShowsInTheStateFileAndThePresenceRegister)
{
    auto up = [&] {
        const QJsonObject s = sdiState();
        return s["gs2971_pulses"].toInt() >= 1 && s["gs2971_reset"].toInt() == 1;
    };
    ASSERT_TRUE(tickUntil(up));
    const QJsonObject s = sdiState();
    EXPECT_TRUE(s["it66121_present"].toBool());
    EXPECT_EQ(s["sdi_enable"].toInt(), 16);
    EXPECT_EQ(s["sink"].toString(), "hdmi");
    EXPECT_GT(s["register_writes"].toInt(), 0);

    // The PC tool reads the transmitter's presence bit in register 37.
    LinkClient tool = LinkClient::udp(udpnetManage::p_udpnetManage->localPort());
    ASSERT_TRUE(tool.ok());
    const Bytes answer = tool.exchange(TestFrames::request(CMD_READ_REGISTER, {37, 0, 1}));
    ASSERT_FALSE(answer.empty());
    ASSERT_EQ(TestFrames::status(answer), ST_OK);
    const Bytes data = TestFrames::answerData(answer);
    ASSERT_EQ(data.size(), 4u);
    EXPECT_EQ(data[3] & 0x02, 0x02);
}

} // namespace
} // namespace kel::test
