#include "ProgramRunner.h"

#include "params/RamLayout.h"
#include "platform/PrivateNetwork.h"
#include "protocol/LinkClient.h"
#include "protocol/LinkSettings.h"
#include "protocol/ProtocolCodes.h"
#include "protocol/TestFrames.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <algorithm>
#include <functional>
#include <optional>
#include <thread>

#include <gtest/gtest.h>

namespace kel::test {
namespace {

using namespace kel::protocol;

// A block byte shown nowhere on the panel: the "other change" of a stream.
constexpr uint32_t kOtherByte = 3072;
// FPGA 0's images as the host addresses them.
constexpr uint16_t kFpgaTarget = 0xF200;
constexpr uint32_t kCommandRam = 0x10000;
constexpr uint32_t kExtendedRam = 0x20000;

// The program on a board with cards on output ports 0 and 1, its UDP link
// in this test's network, driven as a host tool does.
class StreamedProgram {
public:
    bool start(const char* boardIni = "[cards]\nport0=2\nport1=2\n")
    {
        platform::PrivateNetwork::enter();   // where allowed, the fixed ports stay in this test
        program.shareNetwork = true;
        QFile ini(program.hostPath("/sim/board.ini"));
        if (!QDir().mkpath(program.hostPath("/sim")) || !ini.open(QIODevice::WriteOnly)
            || ini.write(boardIni) <= 0)
            return false;
        ini.close();
        if (!program.start())
            return false;
        tool.emplace(LinkClient::udp(LinkSettings().udpPort));
        QDeadlineTimer up(30000);
        while (tool->exchange(TestFrames::request(CMD_READ_RAM, TestFrames::ramRead(kOtherByte, 2))).empty())
            if (up.hasExpired())
                return false;
        return true;
    }
    // The last state the board wrote (it writes on every FPGA 0 change).
    QJsonObject state()
    {
        QCoreApplication::processEvents();   // reads the program's output, which must not fill its pipe
        QFile f(program.hostPath("/sim/state.json"));
        return f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.readAll()).object() : QJsonObject();
    }
    QJsonObject fpga0() { return state().value("fpga0").toObject(); }
    int resets() { return fpga0().value("resets").toInt(); }
    // FPGA 0 lit and the scaler's panel at width w.
    bool litWith(uint16_t w)
    {
        const QJsonObject s = state();
        return s.value("fpga0").toObject().value("lit").toBool()
            && s.value("scaler").toObject().value("output").toObject().value("panel_w").toInt() == w;
    }
    // Polls every 20 ms until pred holds; false after timeoutMs.
    bool waitFor(const std::function<bool()>& pred, int timeoutMs)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!pred()) {
            if (deadline.hasExpired())
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }
    bool write(uint32_t address, const Bytes& data)
    {
        const Bytes a = tool->exchange(TestFrames::request(CMD_WRITE_RAM, TestFrames::ramWrite(address, data)));
        return !a.empty() && TestFrames::status(a) == ST_OK;
    }
    bool apply()
    {
        const Bytes a = tool->exchange(TestFrames::request(CMD_WRITE_REGISTER, {11, 0, 0xFF, 1, 0x02}));
        return !a.empty() && TestFrames::status(a) == ST_OK;
    }
    // Milliseconds until the request is answered with status OK (10000: not).
    qint64 askMs(uint8_t cmd, const Bytes& payload, uint16_t target = 0xF100)
    {
        QElapsedTimer clock;
        clock.start();
        const Bytes a = tool->exchange(TestFrames::request(cmd, payload, target));
        return !a.empty() && TestFrames::status(a) == ST_OK ? clock.elapsed() : 10000;
    }
    // A command record in FPGA 0's command RAM (type, store, length, data),
    // which the controller carries out as it is written.
    qint64 commandMs(uint8_t type, uint8_t store, const Bytes& data)
    {
        const Bytes record = TestFrames::cat({{0xAA, type, store, 0, 0, 0}, TestFrames::u16(uint16_t(data.size())), data});
        return askMs(CMD_WRITE_RAM, TestFrames::ramWrite(kCommandRam, record), kFpgaTarget);
    }
    bool writeSize(uint16_t w, uint16_t h)
    {
        return write(RamLayout::kLedWidth, TestFrames::cat({TestFrames::u16(w), TestFrames::u16(h)}));
    }

    ProgramRunner program;
    std::optional<LinkClient> tool;
};

// An LED-size apply followed by another change and apply 50, 200 and
// 400 ms later: each time FPGA 0 is reset and the screen lit with the new
// size within 5 s of the LED-size apply.
TEST(ChangeStreamRunTest, ASecondApplySoonAfterAnLedSizeApplyStillRelightsWithTheNewSize)
{
    StreamedProgram p;
    ASSERT_TRUE(p.start()) << p.program.output().toStdString();
    ASSERT_TRUE(p.waitFor([&] { return p.fpga0().value("lit").toBool(); }, 60000)) << "first light";
    struct Case {
        int laterMs;
        uint16_t w, h;
    };
    for (const Case c : {Case{50, 1024, 512}, Case{200, 1280, 640}, Case{400, 1024, 512}}) {
        SCOPED_TRACE(c.laterMs);
        const int resetsBefore = p.resets();
        ASSERT_TRUE(p.writeSize(c.w, c.h));
        ASSERT_TRUE(p.apply());
        QElapsedTimer sinceApply;
        sinceApply.start();
        std::this_thread::sleep_for(std::chrono::milliseconds(c.laterMs));
        ASSERT_TRUE(p.write(kOtherByte, TestFrames::u16(uint16_t(c.laterMs))));
        ASSERT_TRUE(p.apply());
        const bool relit = p.waitFor([&] { return p.resets() > resetsBefore && p.litWith(c.w); }, 10000);
        const qint64 ms = sinceApply.elapsed();
        ASSERT_TRUE(relit) << p.state().value("fpga0").toObject().value("screen_off").toBool();
        EXPECT_LT(ms, 5000);
        std::printf("second apply %d ms after: lit with %u after %lld ms\n", c.laterMs, c.w, ms);
    }
}

// Automatic brightness while the transmitter of ports 0 and 1 never frees:
// the sensor read waits for it (and then for the answer) on the FPGA
// manager thread, but the running-time export, the clock command and the
// command RAM are answered at once throughout, and the sensor is still read.
TEST(ChangeStreamRunTest, AStuckTransmitterDuringTheSensorReadHoldsUpNoLink)
{
    StreamedProgram p;
    ASSERT_TRUE(p.start("[cards]\nport0=2\nport1=2\n[fpga]\ntx_stuck_busy=1\n")) << p.program.output().toStdString();
    auto sensorReads = [&] {
        const QJsonObject chain = p.state().value("cards").toObject().value("port0").toObject();
        return chain.value("card").toArray().at(0).toObject().value("sensor_reads").toInt();
    };
    ASSERT_TRUE(p.waitFor([&] { return p.fpga0().value("port_cards").toArray().at(0).toInt() == 2; }, 60000))
        << "cards found";
    Bytes automatic(49, 0);
    automatic[0] = 2;
    ASSERT_LT(p.commandMs(3, 0xAA, automatic), 500) << "automatic brightness, stored";
    const int readsBefore = sensorReads();

    qint64 slowest[4] = {};
    for (int second = 0; second < 30; ++second) {
        const qint64 asked[4] = {
            p.askMs(CMD_READ_RAM, TestFrames::ramRead(kExtendedRam, 0x10), kFpgaTarget),
            p.askMs(CMD_WRITE_RTC, {0x27, 0x20, 0x03, 0x04, 0x05, 0x06, 0x07}),
            p.commandMs(2, 0, {0}),           // no timed on/off pairs, not stored
            p.commandMs(3, 0, {0, 200}),      // a level, the mode kept
        };
        for (int i = 0; i < 4; ++i)
            slowest[i] = std::max(slowest[i], asked[i]);
        std::this_thread::sleep_for(std::chrono::seconds(1));
        QCoreApplication::processEvents();
    }
    EXPECT_LT(slowest[0], 500) << "extended-RAM read";
    EXPECT_LT(slowest[1], 500) << "clock command";
    EXPECT_LT(slowest[2], 500) << "command RAM, type 2";
    EXPECT_LT(slowest[3], 500) << "command RAM, type 3";
    EXPECT_GE(sensorReads() - readsBefore, 2) << "the sensor is still read";
    std::printf("slowest answers: %lld %lld %lld %lld ms\n", slowest[0], slowest[1], slowest[2], slowest[3]);
}

} // namespace
} // namespace kel::test
