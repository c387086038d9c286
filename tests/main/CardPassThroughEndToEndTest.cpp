#include "ControllerFixture.h"

#include "ledout/fpga_manage.h"
#include "params/RamLayout.h"
#include "params/global.h"
#include "platform/Sleeper.h"
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimCardChain.h"
#include "platform/sim/SimFpga.h"
#include "platform/sim/SimFpgaBoard.h"
#include "platform/sim/SimSpiBus.h"
#include "protocol/LinkClient.h"
#include "protocol/ProtocolCodes.h"
#include "protocol/networkManage.h"
#include "protocol/udpnetManage.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/PagePointers.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
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

// Reads of card 1 of port 0, which answers, and of card 9 of its chain of
// 3, which never does.
Bytes liveRead(uint8_t tag) { return TestFrames::wire(cardRequest(0x0001, 0, 1, tag)); }
Bytes silentRead(uint8_t tag) { return TestFrames::wire(cardRequest(0x0009, 0, 1, tag)); }

// n reads back to back, tagged from firstTag on (modulo 256).
Bytes readsInOneWrite(Bytes (*read)(uint8_t), uint8_t firstTag, size_t n)
{
    Bytes all;
    for (size_t i = 0; i < n; ++i) {
        const Bytes one = read(uint8_t(firstTag + i));
        all.insert(all.end(), one.begin(), one.end());
    }
    return all;
}

// The PC tool's search of every port (target 0x0FFE, all ports), as long
// as the controller's own search frame.
Bytes searchRequest(uint8_t tag)
{
    Bytes b = {0xFE, 0x0F, 0x10, 0xF0, 0x10, tag, 1, 255, 0, 0x10};
    b.resize(29, 0);
    uint8_t x = 0;
    for (uint8_t v : b)
        x ^= v;
    b.push_back(x);
    return b;
}

class CardPassThroughEndToEnd : public ControllerFixture {
protected:
    // Cards on ports 0 and 1, found; then a card request answered on UDP:
    // from then on the UDP link serves the card interrupt on every pass.
    // The ticks wait for the program's passes, so the power-up and the
    // search take as many ticks however slowly the machine runs them.
    void cardsFoundAndUdpHasForwarded()
    {
        cards(0, 3);
        cards(1, 2);
        ASSERT_TRUE(tickWithPasses([] { return screenLit(); }, 20000));
        ASSERT_TRUE(tickWithPasses([] { return ramCount(100) == 3 && ramCount(102) == 2; }, 2000)) << "cards found";
        udp.emplace(LinkClient::udp(udpnetManage::p_udpnetManage->localPort()));
        tcp.emplace(LinkClient::tcp(protocol::networkManage::p_networkManage->localPort()));
        ASSERT_TRUE(udp->ok() && tcp->ok());
        ASSERT_TRUE(udp->send(TestFrames::wire(cardRequest(0x0001, 0, 1, 0x21))));
        ASSERT_FALSE(udp->receive().empty());
    }
    // Whether the UDP link answers a device-info request while the tick
    // stands: a link that waited for a hold or a wait counted in ticks would
    // not (the client gives up after 2 s).
    bool deviceInfoAnswered() { return !udp->exchange(TestFrames::request(protocol::CMD_DEVICE_INFO, {})).empty(); }
    // As tickUntil, but each tick waits (at most a second each) until the
    // FPGA manager and the UDP and TCP links have each ended a pass begun
    // after it, so that a hold or a wait counted in ticks is the program's
    // own whatever the load of the machine: a link thread that the machine
    // schedules late costs no ticks. A manager pass ends with the pause of
    // the simulated board (5 ms, shortened here); the links are woken.
    // With tcpPasses off the TCP link is not waited for (a test that holds
    // it in a wait).
    bool tickWithPasses(const std::function<bool()>& pred, int maxTicks)
    {
        const std::array<protocol::ControlLink*, 2> links = {
            udpnetManage::p_udpnetManage, tcpPasses ? protocol::networkManage::p_networkManage : nullptr};
        paceThreads();
        for (int t = 0; t < maxTicks; ++t) {
            QCoreApplication::processEvents();
            if (pred())
                return true;
            const int before = managerPasses;
            std::array<uint64_t, 2> linkBefore{};
            for (size_t i = 0; i < links.size(); ++i)
                linkBefore[i] = links[i] ? links[i]->passes() : 0;
            g_mainwindow->slot_update_timer_ticks();
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
            // A link waiting idle is woken until it has made its passes.
            const auto behind = [&] {
                bool late = managerPasses < before + 2;
                for (size_t i = 0; i < links.size(); ++i)
                    if (links[i] && links[i]->passes() < linkBefore[i] + 2) {
                        links[i]->wake();
                        late = true;
                    }
                return late;
            };
            while (behind() && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
        return pred();
    }
    // The program's threads pause at most longestPauseUs of real time each
    // while the test drives the tick, and the FPGA manager's passes are
    // counted.
    void paceThreads()
    {
        const std::thread::id gui = std::this_thread::get_id();
        const std::thread::id manager = fpga_manage::p_fpga_manage->fpga_thread.get_id();
        platform::Sleeper::setHook([gui, manager, longest = longestPauseUs](uint64_t us) {
            if (std::this_thread::get_id() == manager && us >= 5000)
                ++managerPasses;
            if (std::this_thread::get_id() != gui)
                std::this_thread::sleep_for(std::chrono::microseconds(std::min<uint64_t>(us, longest)));
        });
    }
    static inline std::atomic<int> managerPasses{0};
    uint64_t longestPauseUs = 100;
    bool tcpPasses = true;
    void drain(LinkClient& c)
    {
        while (c.hasData())
            c.receive();
    }
    // Takes the answers that have come to c, without waiting; false once
    // the link has closed c.
    static bool takeAnswers(LinkClient& c, std::vector<Bytes>& into)
    {
        while (c.hasData()) {
            Bytes a = c.receive();
            if (a.empty())
                return false;
            into.push_back(std::move(a));
        }
        return true;
    }
    std::optional<LinkClient> udp, tcp;

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

// A TCP card search every 30 ticks across an LED-size apply: the UDP link
// answers within every tick throughout, and FPGA 0 leaves its reset 51
// ticks after it was pulled, although searches arrive meanwhile (they are
// dropped).
TEST_F(CardPassThroughEndToEnd, CardSearchesAcrossAnLedSizeApplyHoldUpNoOtherLink)
{
    cardsFoundAndUdpHasForwarded();
    if (HasFatalFailure())
        return;
    const int resetsBefore = SimFpgaBoard::current()->fpga0().resets();
    const Bytes size = TestFrames::cat({TestFrames::u16(1024), TestFrames::u16(512)});
    ASSERT_FALSE(udp->exchange(TestFrames::request(protocol::CMD_WRITE_RAM, TestFrames::ramWrite(RamLayout::kLedWidth, size))).empty());
    ASSERT_FALSE(udp->exchange(TestFrames::request(protocol::CMD_WRITE_REGISTER, {11, 0, 0xFF, 1, 0x02})).empty());
    int unanswered = 0;
    uint8_t tag = 0x40;
    const bool relit = tickWithPasses(
        [&] {
            if (G_timeTicks.load() % 30 == 0) {
                EXPECT_TRUE(tcp->send(TestFrames::wire(searchRequest(tag++))));
            }
            drain(*tcp);
            unanswered += !deviceInfoAnswered();
            return SimFpgaBoard::current()->fpga0().resets() > resetsBefore && screenLit();
        },
        6000);
    ASSERT_TRUE(relit);
    EXPECT_EQ(unanswered, 0) << "0xDF not answered while the tick stood";
    const uint32_t held = g_change.reset_release_stamp - fpga_manage::p_fpga_manage->reset_stamp[0];
    EXPECT_GE(held, 50u);
    EXPECT_LE(held, 52u);
}

// The same apply with no host frame after it: the periodic search falls
// due inside the hold, and nothing goes on FPGA 0's bus until the release.
TEST_F(CardPassThroughEndToEnd, PeriodicSearchDueInsideAnLedSizeApplyHoldWaitsForIt)
{
    cardsFoundAndUdpHasForwarded();
    if (HasFatalFailure())
        return;
    SimFpgaBoard* sim = SimFpgaBoard::current();
    const int resetsBefore = sim->fpga0().resets();
    const Bytes size = TestFrames::cat({TestFrames::u16(1024), TestFrames::u16(512)});
    ASSERT_FALSE(udp->exchange(TestFrames::request(protocol::CMD_WRITE_RAM, TestFrames::ramWrite(RamLayout::kLedWidth, size))).empty());
    ASSERT_FALSE(udp->exchange(TestFrames::request(protocol::CMD_WRITE_REGISTER, {11, 0, 0xFF, 1, 0x02})).empty());
    const uint32_t applied = G_timeTicks.load();
    auto& spi = board().spi();
    uint32_t pulled = 0, lastHeld = 0;
    size_t heldTransfers = 0;
    const bool relit = tickWithPasses(
        [&] {
            if (sim->fpga0().inReset()) {
                if (!pulled) {
                    pulled = G_timeTicks.load();
                    spi.clearLog();
                    spi.setLogging(true);
                }
                lastHeld = G_timeTicks.load();
                heldTransfers = 0;
                for (const auto& t : spi.log())
                    heldTransfers += t.path == "/dev/spidev32766.1";
            }
            return sim->fpga0().resets() > resetsBefore && screenLit();
        },
        6000);
    ASSERT_TRUE(relit);
    // The host's hold ends 81 ticks after the apply; the search, 80 ticks
    // after the last, is then due at once.
    ASSERT_GT(lastHeld, applied + 81) << "the hold outlasts the host's";
    EXPECT_EQ(heldTransfers, 0u) << "transfers to FPGA 0 in reset, ticks " << pulled << " to " << lastHeld;
    const uint32_t held = g_change.reset_release_stamp - fpga_manage::p_fpga_manage->reset_stamp[0];
    EXPECT_GE(held, 50u);
    EXPECT_LE(held, 52u);
}

// A transmitter that never frees: the TCP link that sends to it and the
// search that uses it wait for it, the UDP link does not. Each 0xDF is
// answered while the frame waited for is still off the wire: the answers
// do not wait for the transmitter, however slowly the machine runs.
TEST_F(CardPassThroughEndToEnd, ABusyTransmitterHoldsUpNoOtherLink)
{
    cardsFoundAndUdpHasForwarded();
    if (HasFatalFailure())
        return;
    // The pauses as long as asked: a wait for the transmitter gives up after
    // 300 ticks or 15,000 polls of 0.2 ms, here 3 s at least.
    longestPauseUs = 5000;
    tcpPasses = false;
    paceThreads();
    SimFpgaBoard* sim = SimFpgaBoard::current();
    platform::sim::SimFpga& fpga = sim->fpga0();
    platform::sim::SimFpga::Knobs k = fpga.knobs();
    k.txStuckBusy = true;
    fpga.setKnobs(k);
    const auto sent = [sim](int port, uint8_t tag) {
        for (const Bytes& f : sim->chain(port).received())
            if (f.size() > 5 && f[5] == tag)
                return true;
        return false;
    };
    // The first request starts the transmitter of ports 0 and 1, the
    // second waits for it.
    ASSERT_TRUE(tcp->send(TestFrames::wire(cardRequest(0x0001, 0, 2, 0x22))));
    ASSERT_TRUE(tcp->send(TestFrames::wire(cardRequest(0x0001, 0, 1, 0x23))));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!sent(1, 0x22) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(sent(1, 0x22)) << "the first request is sent";
    int answered = 0;
    tickWithPasses(
        [&] {
            EXPECT_TRUE(deviceInfoAnswered()) << "0xDF " << answered;
            EXPECT_FALSE(sent(0, 0x23)) << "0xDF " << answered << " answered once the TCP link's wait ended";
            return ++answered == 10 || HasFailure();
        },
        10);

    // No host frame for longer than the hold: the periodic search starts and
    // waits for the stuck transmitter of pair 0 (the tick stands meanwhile).
    const uint32_t cycle = g_change.search_cycle;
    ASSERT_TRUE(tickWithPasses([&] { return g_change.search_cycle != cycle; }, 600)) << "the periodic search starts";
    const int searches = sim->chain(0).searches() + sim->chain(1).searches();
    EXPECT_TRUE(deviceInfoAnswered()) << "0xDF during the search";
    EXPECT_EQ(sim->chain(0).searches() + sim->chain(1).searches(), searches)
        << "0xDF answered once the search's wait ended";
}

// A tool whose card requests no card answers (port byte 6: no cards)
// holds back nobody else: while its first request holds its port for 50
// ticks, another UDP tool's 0xDF is answered, and that tool's card read and
// a TCP tool's, to a port with cards, go at once.
TEST_F(CardPassThroughEndToEnd, CardRequestsNoCardAnswersHoldBackNoOtherTool)
{
    cardsFoundAndUdpHasForwarded();
    if (HasFatalFailure())
        return;
    LinkClient silent = LinkClient::udp(udpnetManage::p_udpnetManage->localPort());
    Bytes burst;
    for (uint8_t i = 0; i < 20; ++i) {
        const Bytes w = TestFrames::wire(cardRequest(0x0001, 0, 6, uint8_t(0x80 + i)));
        burst.insert(burst.end(), w.begin(), w.end());
    }
    ASSERT_TRUE(silent.send(burst));
    EXPECT_TRUE(deviceInfoAnswered()) << "0xDF while the silent request holds its port";
    ASSERT_TRUE(udp->send(TestFrames::wire(cardRequest(0x0001, 0, 1, 0x31))));
    ASSERT_TRUE(tcp->send(TestFrames::wire(cardRequest(0x0001, 0, 1, 0x32))));
    Bytes udpAnswer, tcpAnswer;
    const uint32_t start = G_timeTicks.load();
    ASSERT_TRUE(tickWithPasses(
        [&] {
            if (udpAnswer.empty() && udp->hasData())
                udpAnswer = udp->receive();
            if (tcpAnswer.empty() && tcp->hasData())
                tcpAnswer = tcp->receive();
            return !udpAnswer.empty() && !tcpAnswer.empty();
        },
        300));
    EXPECT_EQ(udpAnswer.at(5), 0x31);
    EXPECT_EQ(tcpAnswer.at(5), 0x32);
    // Waiting for the silent request would take 50 ticks. The ticks here
    // follow the passes of the FPGA manager and of the links, not the clock.
    EXPECT_LE(G_timeTicks.load() - start, 10u);
    std::printf("both answered after %u ticks\n", G_timeTicks.load() - start);
}

// Silent reads of port 0 (card 9 of a chain of 3) wait, each sent from a
// new UDP socket, as a script opening a socket per request does: the new
// sockets share one place of their address, so a tool of that address
// that read port 0 twice before goes after the one request out and at most
// one more of theirs, not after every new socket's 0.5 s. (A socket that
// read it once stands with them: a new socket on its port number looks the
// same.) The ticks go slowly
// enough (3 ms) that every waiting tool asks again within each tick, as on
// the device.
TEST_F(CardPassThroughEndToEnd, ToolsOpeningANewSocketPerRequestTakeOneTurnAmongTheOthers)
{
    cardsFoundAndUdpHasForwarded();
    if (HasFatalFailure())
        return;
    ASSERT_TRUE(udp->send(TestFrames::wire(cardRequest(0x0001, 0, 1, 0x22))));
    ASSERT_FALSE(udp->receive().empty());
    std::vector<LinkClient> fresh;
    for (uint8_t i = 0; i < 4; ++i) {
        fresh.push_back(LinkClient::udp(udpnetManage::p_udpnetManage->localPort()));
        ASSERT_TRUE(fresh.back().send(TestFrames::wire(cardRequest(0x0009, 0, 1, uint8_t(0x80 + i)))));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(udp->send(TestFrames::wire(cardRequest(0x0001, 0, 1, 0x31))));
    Bytes answer;
    const auto answered = [&] {
        if (udp->hasData())
            answer = udp->receive();
        return !answer.empty();
    };
    const uint32_t start = G_timeTicks.load();
    for (int t = 0; t < 400 && !tickWithPasses(answered, 1); ++t)
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
    ASSERT_FALSE(answer.empty());
    EXPECT_EQ(answer.at(5), 0x31);
    // Two holds are 100 ticks (some allowed for a busy machine); behind
    // every new socket it would be 200.
    EXPECT_LE(G_timeTicks.load() - start, 140u);
}

// One TCP client sends card requests as fast as its socket takes them (and
// reads what comes back) while a second asks 0xDF every 50 ms: clients are
// served in turn, so each 0xDF waits behind a few of the flood's frames at
// most, however slowly the machine sends them.
TEST_F(CardPassThroughEndToEnd, ATcpClientFloodingCardFramesHoldsUpNoOtherTcpClient)
{
    cardsFoundAndUdpHasForwarded();
    if (HasFatalFailure())
        return;
    // Each card frame waits a few milliseconds for its transmitter (20
    // status reads), as behind a long frame on the wire.
    platform::sim::SimFpga& fpga = SimFpgaBoard::current()->fpga0();
    platform::sim::SimFpga::Knobs k = fpga.knobs();
    k.txBusyPolls = 20;
    fpga.setKnobs(k);
    const uint16_t port = protocol::networkManage::p_networkManage->localPort();
    Bytes burst;
    for (uint8_t tag = 0; tag < 64; ++tag) {
        const Bytes one = TestFrames::wire(cardRequest(0x0001, 0, uint8_t(1 + tag % 2), tag));
        burst.insert(burst.end(), one.begin(), one.end());
    }
    std::atomic<bool> flooding{true};
    std::atomic<long> answerBytes{0};
    LinkClient flood = LinkClient::tcp(port);
    ASSERT_TRUE(flood.ok());
    const int fd = flood.fd();
    std::thread flooder([&] {
        size_t at = 0;
        char sink[65536];
        while (flooding) {
            const ssize_t w = ::send(fd, burst.data() + at, burst.size() - at, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (w > 0)
                at = (at + size_t(w)) % burst.size();
            const ssize_t r = ::recv(fd, sink, sizeof sink, MSG_DONTWAIT);
            if (r > 0)
                answerBytes += r;
            pollfd p{fd, short(POLLIN | POLLOUT), 0};
            ::poll(&p, 1, 5);
        }
    });
    LinkClient asker = LinkClient::tcp(port);
    ASSERT_TRUE(asker.ok());
    // The flood's frames are counted when the answer shows, by the first of
    // the program's threads to pause after it does (the TCP link pauses in
    // each wait for the transmitter): frames the link sends while the test
    // waits to be scheduled do not count.
    struct Watch {
        std::mutex lock;
        bool asking = false;
        size_t sent = 0;
    };
    const auto watch = std::make_shared<Watch>();
    const auto sentFrames = [&fpga] { return fpga.sentFrames(0).size() + fpga.sentFrames(1).size(); };
    const auto count = [watch, sentFrames, fd = asker.fd()](bool answered) {
        pollfd p{fd, POLLIN, 0};
        std::lock_guard<std::mutex> l(watch->lock);
        if (watch->asking && (answered || ::poll(&p, 1, 0) > 0)) {
            watch->asking = false;
            watch->sent = sentFrames();
        }
    };
    const std::thread::id gui = std::this_thread::get_id();
    platform::Sleeper::setHook([gui, count](uint64_t us) {
        if (std::this_thread::get_id() == gui)
            return;
        count(false);
        std::this_thread::sleep_for(std::chrono::microseconds(std::min<uint64_t>(us, 100)));
    });
    size_t most = 0;
    for (int asked = 0; asked < 50; ++asked) {
        {
            std::lock_guard<std::mutex> l(watch->lock);
            fpga.clearSentFrames();
            watch->asking = true;
        }
        EXPECT_FALSE(asker.exchange(TestFrames::request(protocol::CMD_DEVICE_INFO, {})).empty()) << "0xDF " << asked;
        count(true);
        most = std::max(most, watch->sent);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    flooding = false;
    flooder.join();
    std::printf("at most %zu of the flood's frames sent while a 0xDF waited\n", most);
    EXPECT_LE(most, 8u) << "of the flood's frames sent while a 0xDF waited";
    EXPECT_GT(answerBytes.load(), 0) << "the flood was served too";
}

// Two TCP clients send card reads back to back, each with tags of its own,
// for two seconds: each gets answers, and only to its own requests; what
// the FPGA holds stays what the device holds. Afterwards a UDP tool's reads
// are answered, each with its own tag.
TEST_F(CardPassThroughEndToEnd, TcpClientsFloodingCardReadsGetOnlyTheirOwnAnswersAndLeaveNoBacklog)
{
    cardsFoundAndUdpHasForwarded();
    if (HasFatalFailure())
        return;
    const uint16_t port = protocol::networkManage::p_networkManage->localPort();
    struct Flooder {
        std::optional<LinkClient> client;
        std::thread thread;
        std::atomic<int> own{0}, foreign{0};
    };
    std::atomic<bool> flooding{true};
    Flooder flooders[2];
    for (uint8_t i = 0; i < 2; ++i) {
        Flooder& f = flooders[i];
        f.client.emplace(LinkClient::tcp(port));
        ASSERT_TRUE(f.client->ok());
        const uint8_t mine = uint8_t(0x80 | i << 4);
        f.thread = std::thread([&f, &flooding, mine] {
            Bytes burst;
            for (uint8_t n = 0; n < 16; ++n) {
                const Bytes one = TestFrames::wire(cardRequest(0x0001, 0, 1, uint8_t(mine | n)));
                burst.insert(burst.end(), one.begin(), one.end());
            }
            const int fd = f.client->fd();
            size_t at = 0;
            while (flooding) {
                const ssize_t w = ::send(fd, burst.data() + at, burst.size() - at, MSG_NOSIGNAL | MSG_DONTWAIT);
                if (w > 0)
                    at = (at + size_t(w)) % burst.size();
                while (f.client->hasData()) {
                    const Bytes a = f.client->receive();
                    if (a.size() > 5)
                        ++((a[5] & 0xF0) == mine ? f.own : f.foreign);
                }
                pollfd p{fd, short(POLLIN | POLLOUT), 0};
                ::poll(&p, 1, 5);
            }
        });
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));
    flooding = false;
    for (Flooder& f : flooders) {
        f.thread.join();
        EXPECT_GT(f.own.load(), 0) << "every client gets its turns";
        EXPECT_EQ(f.foreign.load(), 0) << "answers to another client's requests";
        f.client.reset();
    }
    EXPECT_LE(SimFpgaBoard::current()->fpga0().queuedAnswers(0), 3u) << "the buffer and one answer per port";
    drain(*udp);
    for (uint8_t tag = 1; tag <= 10; ++tag) {
        ASSERT_TRUE(udp->send(TestFrames::wire(cardRequest(0x0001, 0, 1, tag))));
        const Bytes answer = udp->receive();
        ASSERT_GT(answer.size(), 5u) << "read " << int(tag);
        EXPECT_EQ(answer[5], tag);
    }
}

// A client that queued silent reads of port 0 and closed holds the port for
// two of them once its end shows: its further card requests are dropped
// unsent (20 reads; also when it went on writing them while they were
// dropped as fast as they came). A client that closed behind as many as its
// socket takes cannot be told from a live flooder, whose end shows only once
// they are read: nothing of it is dropped, and once two of its requests in a
// row went unanswered the rest yield, holding the port against no other
// tool. So from 150 ticks (1.5 s) after the close on, another tool's reads
// of port 0 are answered at once rather than each after a hold of 50 ticks,
// beside the flooder too.
TEST_F(CardPassThroughEndToEnd, AClientThatClosedBehindSilentReadsHoldsItsPortForTwoOfThem)
{
    cardsFoundAndUdpHasForwarded();
    if (HasFatalFailure())
        return;
    const uint16_t port = protocol::networkManage::p_networkManage->localPort();
    // The dropped requests are read and dropped in real time, the holds
    // count ticks: the ticks go at the device's pace.
    const auto tickAtDevicePace = [this](const std::function<bool()>& pred, int maxTicks) {
        auto next = std::chrono::steady_clock::now();
        for (int t = 0; t < maxTicks && !tickWithPasses(pred, 1); ++t)
            std::this_thread::sleep_until(next += std::chrono::milliseconds(10));
    };
    struct Case {
        const char* name;
        size_t reads;   // 0: until its socket takes no more
        bool paced;     // 16 a millisecond for 2 s instead, the ticks running
    };
    const Case cases[] = {{"20 reads", 20, false},
                          {"as many as its socket takes", 0, false},
                          {"16 a millisecond for 2 s", 0, true}};
    uint8_t tag = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto& link = *protocol::networkManage::p_networkManage;
        const size_t droppedBefore = link.droppedFrames();
        size_t queued = 0;
        {
            LinkClient closer = LinkClient::tcp(port);
            ASSERT_TRUE(closer.ok());
            // All alike, each write going on where the last one stopped: a
            // frame cut by the last write is never whole.
            const Bytes one = silentRead(0x80);
            Bytes batch;
            for (size_t i = 0; i < (c.reads ? c.reads : c.paced ? 16 : 1000); ++i)
                batch.insert(batch.end(), one.begin(), one.end());
            size_t sent = 0;
            const auto write = [&] {
                const size_t at = sent % batch.size();
                const ssize_t w =
                    ::send(closer.fd(), batch.data() + at, batch.size() - at, MSG_NOSIGNAL | MSG_DONTWAIT);
                sent += size_t(std::max<ssize_t>(w, 0));
                return w == ssize_t(batch.size() - at);
            };
            if (c.paced) {
                std::atomic<bool> writing{true};
                std::thread writer([&] {
                    while (writing) {
                        write();
                        std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    }
                });
                tickAtDevicePace([] { return false; }, 200);
                writing = false;
                writer.join();
            } else {
                while (write() && !c.reads) {
                }
            }
            queued = sent / one.size();
        }
        ASSERT_GE(queued, c.reads ? c.reads : 10000u);
        const uint32_t closedAt = G_timeTicks.load();
        std::optional<uint32_t> sentAt;
        uint8_t asked = 0;
        int prompt = 0;
        std::vector<uint32_t> slow;
        tickAtDevicePace(
            [&] {
                const uint32_t now = G_timeTicks.load();
                std::vector<Bytes> answers;
                EXPECT_TRUE(takeAnswers(*tcp, answers));
                for (const Bytes& a : answers) {
                    if (!sentAt || a.size() <= 5 || a[5] != asked)
                        continue;
                    if (*sentAt >= closedAt + 150) {
                        if (now - *sentAt <= 10)
                            ++prompt;
                        else
                            slow.push_back(now - *sentAt);
                    }
                    sentAt.reset();
                }
                if (!sentAt) {
                    asked = ++tag;
                    EXPECT_TRUE(tcp->send(liveRead(asked)));
                    sentAt = now;
                }
                return prompt + slow.size() >= 20;
            },
            2000);
        const bool flooder = !c.reads && !c.paced;
        EXPECT_GE(prompt, 20) << queued << " reads queued";
        EXPECT_TRUE(slow.empty()) << "ticks to an answer: " << ::testing::PrintToString(slow);
        if (c.paced)
            continue;
        if (flooder) {
            EXPECT_EQ(link.droppedFrames(), droppedBefore) << "a flooder's requests are served later, not dropped";
            continue;
        }
        // All but the two that held the port after the end showed are
        // dropped, none sent; one more may have gone before the link saw
        // the end.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (link.droppedFrames() - droppedBefore < queued - 3 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_GE(link.droppedFrames() - droppedBefore, queued - 3);
        EXPECT_LE(link.droppedFrames() - droppedBefore, queued - 2);
    }
}

// Beside a tool of the link that keeps silent reads of port 0 queued, each
// holding the port 50 ticks:
// - a tool that sends a silent read of port 0, five live reads of it and a
//   0xDF and shuts its sending side keeps its place among the tools, and
//   one unanswered read is no reason to drop the rest: it gets all five
//   answers and the 0xDF's, and is closed as soon as its last answer is
//   out, though the other tool's requests go on holding the port;
// - a tool that writes two reads of an absent card and 1,000 live reads at
//   once (23 KB, of which more than 16 KiB waits unread in its socket) and
//   reads the answers as they come is a flooder only until its first
//   answer, and nothing it asked is dropped: when eight idle connections
//   arrive, it keeps its connection and gets every live read's answer.
TEST_F(CardPassThroughEndToEnd, TcpToolsBesideAQueueOfSilentReadsGetTheirAnswersInTurn)
{
    cardsFoundAndUdpHasForwarded();
    if (HasFatalFailure())
        return;
    const uint16_t port = protocol::networkManage::p_networkManage->localPort();
    ASSERT_TRUE(tcp->send(readsInOneWrite(silentRead, 0x40, 30)));
    const auto cardTags = [](const std::vector<Bytes>& answers) {
        std::vector<uint8_t> tags;
        for (const Bytes& a : answers)
            if (a.size() > 5 && a[protocol::PhyFrame::kCmd] != protocol::CMD_DEVICE_INFO)
                tags.push_back(a[5]);
        return tags;
    };

    LinkClient ender = LinkClient::tcp(port);
    ASSERT_TRUE(ender.send(TestFrames::cat({silentRead(0x90), readsInOneWrite(liveRead, 0x91, 5),
                                            TestFrames::request(protocol::CMD_DEVICE_INFO, {})})));
    ASSERT_EQ(::shutdown(ender.fd(), SHUT_WR), 0);
    std::vector<Bytes> answers;
    uint32_t lastAnswerAt = 0;
    std::optional<uint32_t> closedAt;
    tickWithPasses(
        [&] {
            const size_t before = answers.size();
            if (!takeAnswers(ender, answers))
                closedAt = G_timeTicks.load();
            if (answers.size() != before)
                lastAnswerAt = G_timeTicks.load();
            return closedAt.has_value();
        },
        1000);
    EXPECT_EQ(cardTags(answers), (std::vector<uint8_t>{0x91, 0x92, 0x93, 0x94, 0x95}));
    EXPECT_EQ(answers.size(), 6u) << "the 0xDF's answer";
    ASSERT_TRUE(closedAt.has_value()) << "open " << G_timeTicks.load() - lastAnswerAt << " ticks after its last answer";
    EXPECT_LE(*closedAt - lastAnswerAt, 10u) << "ticks from its last answer to its close";

    LinkClient batchTool = LinkClient::tcp(port);
    const Bytes batch = TestFrames::cat({readsInOneWrite(silentRead, 0xE0, 2), readsInOneWrite(liveRead, 0, 1000)});
    ASSERT_GT(batch.size(), protocol::networkManage::kFloodingBytes + protocol::networkManage::kReadSize);
    ASSERT_TRUE(batchTool.send(batch));
    answers.clear();
    bool open = true;
    const auto answersCome = [&](size_t n, int maxTicks) {
        return tickWithPasses(
            [&] {
                open = takeAnswers(batchTool, answers) && open;
                return !open || answers.size() >= n;
            },
            maxTicks);
    };
    ASSERT_TRUE(answersCome(2, 600) && open);
    std::vector<LinkClient> idle;
    for (int i = 0; i < 8; ++i)
        idle.push_back(LinkClient::tcp(port));
    // Behind each of its reads, at most one of the other tool's 30 silent
    // ones (50 ticks each).
    answersCome(1000, 8000);
    EXPECT_TRUE(open) << "closed after " << answers.size() << " answers";
    EXPECT_EQ(answers.size(), 1000u);
    std::vector<uint8_t> tags = cardTags(answers);
    tags.resize(std::min<size_t>(tags.size(), 5));
    EXPECT_EQ(tags, (std::vector<uint8_t>{0, 1, 2, 3, 4}));
}

// Clients of 127.0.0.1 connect, write card reads that get no answer (one
// with a 0xDF behind it, or five), and close or shut their side a tick
// later, once the link has asked for their first read: one every third
// tick. Beside them a TCP tool of 127.0.0.1 sends a 0xDF every ten ticks,
// and TCP readers of 127.0.0.2 and of 127.0.0.1 each keep one live read
// out: none is ever closed, every 0xDF is answered within two ticks, and
// each read waits at most for one of 127.0.0.1's closers' reads (they
// share one place, as new sockets do, their end seen or not) and the one
// out when it asked, however many closers wait.
TEST_F(CardPassThroughEndToEnd, TcpToolsOfTwoAddressesBesideClientsThatConnectWriteAndCloseKeepTheirTurnsAndSlots)
{
    cardsFoundAndUdpHasForwarded();
    if (HasFatalFailure())
        return;
    const uint16_t port = protocol::networkManage::p_networkManage->localPort();
    struct Reader {
        LinkClient client;
        std::optional<uint32_t> readAt;
        uint8_t tag = 0;
        std::vector<uint32_t> waits;
    };
    Reader readers[] = {{LinkClient::tcp(port, "127.0.0.2"), {}, 0, {}}, {LinkClient::tcp(port), {}, 0, {}}};
    for (Reader& r : readers)
        ASSERT_TRUE(r.client.ok());
    const Bytes info = TestFrames::request(protocol::CMD_DEVICE_INFO, {});
    std::optional<uint32_t> infoAt;
    std::vector<uint32_t> infoWaits;
    bool open = true;
    int churned = 0;
    std::optional<LinkClient> writing;
    std::vector<LinkClient> shut;
    tickWithPasses(
        [&] {
            const uint32_t now = G_timeTicks.load();
            std::vector<Bytes> fromTool;
            open = takeAnswers(*tcp, fromTool) && open;
            for (Reader& r : readers) {
                std::vector<Bytes> answers;
                open = takeAnswers(r.client, answers) && open;
                for (const Bytes& a : answers)
                    if (r.readAt && a.size() > 5 && a[5] == r.tag) {
                        r.waits.push_back(now - *r.readAt);
                        r.readAt.reset();
                    }
                if (!r.readAt) {
                    EXPECT_TRUE(r.client.send(liveRead(++r.tag)));
                    r.readAt = now;
                }
            }
            for (const Bytes& a : fromTool)
                if (infoAt && a.at(protocol::PhyFrame::kCmd) == protocol::CMD_DEVICE_INFO) {
                    infoWaits.push_back(now - *infoAt);
                    infoAt.reset();
                }
            if (!infoAt && now % 10 == 0) {
                EXPECT_TRUE(tcp->send(info));
                infoAt = now;
            }
            // Last tick's closer ends now: the link has read what it wrote
            // and asked for its first read before its end shows.
            if (writing) {
                if (churned % 3 == 0) {
                    ::shutdown(writing->fd(), SHUT_WR);
                    shut.push_back(std::move(*writing));
                }
                writing.reset();
            }
            if (now % 3 == 0) {
                writing.emplace(LinkClient::tcp(port));
                EXPECT_TRUE(writing->send(++churned % 2 ? TestFrames::cat({silentRead(0xC0), info})
                                                        : readsInOneWrite(silentRead, 0xC0, 5)));
            }
            return !open || (readers[0].waits.size() >= 20 && readers[1].waits.size() >= 20 && infoWaits.size() >= 20);
        },
        3000);
    EXPECT_TRUE(open) << "a tool was closed";
    ASSERT_GE(infoWaits.size(), 20u);
    EXPECT_LE(*std::max_element(infoWaits.begin(), infoWaits.end()), 2u) << ::testing::PrintToString(infoWaits);
    // Two silent reads of 50 ticks each (a closer's and the one out); the
    // rest, the other reader's live read, its own answer and a tick for
    // each hand-over, within 10.
    const uint32_t bound = 2 * 50 + 10;
    for (const Reader& r : readers) {
        ASSERT_GE(r.waits.size(), 20u);
        EXPECT_LE(*std::max_element(r.waits.begin(), r.waits.end()), bound) << ::testing::PrintToString(r.waits);
    }
}

} // namespace
} // namespace kel::test
