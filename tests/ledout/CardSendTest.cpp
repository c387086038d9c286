#include "FpgaFixture.h"

#include "ledout/LedGlobals.h"
#include "ledout/fpga_manage.h"
#include "platform/Sleeper.h"
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimFpga.h"
#include "platform/sim/SimSpiBus.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>

namespace kel::test {
namespace {

using Bytes = std::vector<uint8_t>;
const std::string kFpga0 = "/dev/spidev32766.1";

// One write seen on the bus: a register (number, mask, value) or a RAM
// buffer (number, bytes).
struct Write {
    bool ram;
    uint8_t target;
    uint8_t mask;
    Bytes data;
    bool operator==(const Write& o) const { return ram == o.ram && target == o.target && mask == o.mask && data == o.data; }
};

std::ostream& operator<<(std::ostream& os, const Write& w)
{
    return os << (w.ram ? "ram " : "reg ") << int(w.target) << " mask " << int(w.mask) << " bytes " << w.data.size();
}

Write reg(uint8_t r, uint8_t mask, uint8_t value) { return Write{false, r, mask, {value}}; }
Write ram(uint8_t buffer, const Bytes& data) { return Write{true, buffer, 0, data}; }

class CardSendTest : public FpgaFixture {
protected:
    void SetUp() override
    {
        FpgaFixture::SetUp();
        inputBoardReady();
        clearLog();
    }
    // The writes among the transfers to FPGA 0 (command word, then data).
    std::vector<Write> writes() const
    {
        std::vector<Write> out;
        const auto t = sent(kFpga0);
        for (size_t i = 0; i + 1 < t.size(); i += 2) {
            const Bytes& w = t[i];
            if (w.size() != 4 || (w[0] & 1))
                continue;
            const uint8_t type = (w[0] >> 1) & 0x0F;
            out.push_back(type == 2 ? Write{false, w[2], w[3], t[i + 1]} : Write{true, w[1], 0, t[i + 1]});
        }
        return out;
    }
    static Bytes frame(size_t n)
    {
        Bytes f(n);
        for (size_t i = 0; i < n; ++i)
            f[i] = uint8_t(i * 7);
        return f;
    }
};

TEST_F(CardSendTest, OnePortTouchesExactlyItsSelectBufferLengthAndStart)
{
    struct Case {
        uint16_t port;
        size_t length;
        std::vector<Write> expected;
    };
    const Bytes f30 = frame(30), f1024 = frame(1024);
    const Case cases[] = {
        {3, 30, {reg(0x84, 0xFF, 0x08), ram(5, f30), reg(0x86, 0xFF, 29), reg(0x1B, 0x0C, 0), reg(0x82, 0xF0, 0x20)}},
        {12, 30, {reg(0x94, 0xFF, 0x10), ram(15, f30), reg(0x9C, 0xFF, 29), reg(0x9E, 0x30, 0), reg(0x92, 0xF0, 0x40)}},
        {0, 1024, {reg(0x84, 0xFF, 0x01), ram(3, f1024), reg(0x1A, 0xFF, 0xFF), reg(0x1B, 0x03, 0x03), reg(0x82, 0xF0, 0x10)}},
    };
    for (const Case& c : cases) {
        clearLog();
        fpga().clearSentFrames();
        const Bytes& f = c.length == 30 ? f30 : f1024;
        m().Send_to_port(f.data(), uint16_t(c.length), c.port, 0);
        EXPECT_EQ(writes(), c.expected) << "port " << c.port;
        ASSERT_EQ(fpga().sentFrames(c.port).size(), 1u) << "the transmitter of port " << c.port << " started";
        EXPECT_EQ(fpga().sentFrames(c.port)[0], f);
    }
}

TEST_F(CardSendTest, LengthsTheFpgaCannotTakeAndPortsAbove15SendNothing)
{
    const Bytes f = frame(1100);
    struct Case { uint16_t length; uint16_t port; };
    for (const Case c : {Case{0, 1}, Case{1025, 1}, Case{30, 16}}) {
        clearLog();
        m().Send_to_port(f.data(), c.length, c.port, 0);
        EXPECT_TRUE(sent(kFpga0).empty()) << "length " << c.length << " port " << c.port;
    }
    EXPECT_EQ(m().wait_fpga_send_ready(16, 0), 0);
}

// Held in reset the FPGA reads busy everywhere and takes no frame: the
// send does not poll the transmitter for its 300 ticks.
TEST_F(CardSendTest, HeldInResetTheSendReadsNoTransmitterStatus)
{
    m().reset_fpga_rst(0);
    ASSERT_TRUE(fpga().inReset());
    clearLog();
    const Bytes f = frame(30);
    m().Send_to_port(f.data(), 30, 3, 0);
    EXPECT_EQ(m().wait_fpga_send_ready(3, 0), 0);
    size_t reads = 0;
    for (const Bytes& t : sent(kFpga0))
        reads += t.size() == 4 && (t[0] & 1);
    EXPECT_LT(reads, 10u) << "the merges of the frame's own writes only";
}

// Two senders into one transmitter: both find it free and wait for the
// transmitter's lock, then the one that gets it first starts it. The other
// reads the status again under the lock and writes its frame only after a
// read shows the transmitter free again; both frames go out whole.
TEST_F(CardSendTest, TwoSendersIntoOneTransmitterTakeTurns)
{
    platform::sim::SimFpga::Knobs k = fpga().knobs();
    k.txBusyPolls = 3;
    fpga().setKnobs(k);
    const Bytes a = frame(30), b(20, 0x5A);
    constexpr uint8_t kStatus = 0x81, kStart = 0x82, kBusy = 0x08;   // port 3: pair 1 of group 0
    // Bus events in order: reads with the value read, writes with the first byte.
    struct Event {
        bool read, ram;
        uint8_t target;
        uint8_t value;
    };
    auto events = [this] {
        std::vector<Event> out;
        const auto t = board().spi().log();
        for (size_t i = 0; i + 1 < t.size(); ++i) {
            if (t[i].path != kFpga0 || t[i].tx.size() != 4 || t[i + 1].path != kFpga0)
                continue;
            const bool read = t[i].tx[0] & 1;
            const bool ram = ((t[i].tx[0] >> 1) & 0x0F) != 2;
            out.push_back({read, ram, ram ? t[i].tx[1] : t[i].tx[2], read ? t[i + 1].rx[0] : t[i + 1].tx[0]});
            ++i;
        }
        return out;
    };
    auto isStatusRead = [](const Event& x) { return x.read && !x.ram && x.target == kStatus; };
    auto statusReads = [&] {
        const auto e = events();
        return std::count_if(e.begin(), e.end(), isStatusRead);
    };
    std::unique_lock<std::mutex> held(m().tx_mutex);
    std::thread first([&] { m().Send_to_port(a.data(), uint16_t(a.size()), 3, 0); });
    std::thread second([&] { m().Send_to_port(b.data(), uint16_t(b.size()), 3, 0); });
    for (int i = 0; i < 5000 && statusReads() < 2; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(statusReads(), 2) << "both found the transmitter free";
    held.unlock();
    first.join();
    second.join();

    const auto sentFrames = fpga().sentFrames(3);
    ASSERT_EQ(sentFrames.size(), 2u);
    EXPECT_TRUE((sentFrames == std::vector<Bytes>{a, b}) || (sentFrames == std::vector<Bytes>{b, a}));
    const auto e = events();
    const auto started =
        std::find_if(e.begin(), e.end(), [](const Event& x) { return !x.read && !x.ram && x.target == kStart; });
    ASSERT_NE(started, e.end());
    const auto nextWrite = std::find_if(started + 1, e.end(), [](const Event& x) { return !x.read; });
    std::vector<bool> busy;
    for (auto it = started + 1; it != nextWrite; ++it)
        if (isStatusRead(*it))
            busy.push_back(it->value & kBusy);
    ASSERT_FALSE(busy.empty()) << "the status is read again before the second frame";
    EXPECT_TRUE(busy.front()) << "the first frame still going out";
    EXPECT_FALSE(busy.back()) << "the second frame is written to a free transmitter";
}

// After the program's stop a busy transmitter is not waited for and its
// frame is dropped (it would overwrite the one in flight); a free one
// still takes its frame.
TEST_F(CardSendTest, AfterTheStopABusyTransmitterIsNotWaitedForAndGetsNoFrame)
{
    platform::sim::SimFpga::Knobs k = fpga().knobs();
    k.txStuckBusy = true;
    fpga().setKnobs(k);
    const Bytes f = frame(30);
    m().Send_to_port(f.data(), 30, 2, 0);   // pair 1 busy from now on
    ASSERT_EQ(fpga().sentFrames(2).size(), 1u);
    platform::Sleeper::requestStop();
    clearLog();
    m().Send_to_port(f.data(), 30, 3, 0);
    m().Send_to_port(f.data(), 30, 4, 0);
    const bool waited = m().wait_fpga_send_ready(3, 0);
    platform::Sleeper::clearStop();
    size_t reads = 0;
    for (const Bytes& t : sent(kFpga0))
        reads += t.size() == 4 && (t[0] & 1);
    EXPECT_FALSE(waited);
    EXPECT_LT(reads, 20u) << "status reads";
    EXPECT_TRUE(fpga().sentFrames(3).empty()) << "busy pair 1";
    EXPECT_EQ(fpga().sentFrames(4).size(), 1u) << "free pair 2";
}

TEST_F(CardSendTest, AllPortsGoesToLinkedPortsWithCardsWithTheirPortBits)
{
    m().reg_images[0][fpga_manage::FPGA_REG_STATE] = fpga_manage::kStateRunning;
    fpga().setReg(128, 0x89);   // ports 0, 3, 7
    fpga().setReg(144, 0x01);   // port 8
    m().ram_para_image[0][100] = 3;
    m().ram_para_image[0][110] = 2;
    m().ram_para_image[0][572] = 0;   // port 7: no cards
    m().ram_para_image[0][102] = 4;   // port 1: cards but no link
    m().ram_para_image[0][640] = 1;
    EXPECT_EQ(m().get_port_card_num(3), 2);
    EXPECT_EQ(m().check_netport_card(0), 10u);
    uint8_t f[13] = {0xFF, 0x0F, 0x10, 0xF0, 0x10, 0x21, 0x01, 0xFF, 0x00, 0x81, 0xFF, 0x00, 0};
    uint8_t x = 0;
    for (int i = 0; i < 12; ++i)
        x ^= f[i];
    f[12] = x;
    m().multi_port_send(f, 13, m().all_ports_targets());
    for (int port = 0; port < 16; ++port) {
        const auto frames = fpga().sentFrames(port);
        const bool expected = port == 0 || port == 3 || port == 8;
        ASSERT_EQ(frames.size(), expected ? 1u : 0u) << "port " << port;
        if (!expected)
            continue;
        EXPECT_EQ((frames[0][1] >> 4) & 3, port % 4) << "port bits, port " << port;
        uint8_t check = 0;
        for (size_t i = 0; i + 1 < frames[0].size(); ++i)
            check ^= frames[0][i];
        EXPECT_EQ(frames[0].back(), check) << "check byte, port " << port;
    }
    EXPECT_EQ(m().multicast_pending, 1);

    // Not running: nothing goes out, yet the request counts as out.
    fpga().clearSentFrames();
    m().multicast_pending = 0;
    m().reg_images[0][fpga_manage::FPGA_REG_STATE] = 0;
    EXPECT_EQ(m().all_ports_targets(), 0);
    m().multi_port_send(f, 13, m().all_ports_targets());
    for (int port = 0; port < 16; ++port)
        EXPECT_TRUE(fpga().sentFrames(port).empty());
    EXPECT_EQ(m().multicast_pending, 1);
}

} // namespace
} // namespace kel::test
