#include "DealFixture.h"
#include "LinkClient.h"
#include "platform/Board.h"
#include "platform/NetPolicy.h"
#include "platform/PrivateNetwork.h"
#include "platform/SerialService.h"
#include "platform/sim/SimBoard.h"
#include "protocol/ControlLink.h"
#include "protocol/LinkSocket.h"
#include "protocol/PortLock.h"
#include "protocol/ProtocolCodes.h"
#include "protocol/Qj_uart_inout.h"
#include "protocol/networkManage.h"
#include "protocol/udpnetManage.h"

#include <QJsonObject>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <regex>
#include <set>
#include <random>
#include <numeric>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace kel::test {
namespace {

using namespace protocol;

// Runs each case on a thread of its own in a network of its own, where
// 127.0.0.2 and on stand for other PCs (a threaded process gets one only as
// root). False when there is none here.
template <typename Cases, typename Run>
bool inPrivateNetwork(const Cases& cases, const Run& run)
{
    bool ran = false;
    std::thread([&] {
        if ((ran = platform::PrivateNetwork::enter()))
            for (const auto& c : cases)
                run(c);
    }).join();
    return ran;
}

// A UDP tool at address: 127.0.0.1, or 127.0.0.2 (another PC, in a private
// network only). The client's socket is replaced by one bound there.
LinkClient udpFrom(const char* address, uint16_t port)
{
    LinkClient c = LinkClient::udp(port);
    sockaddr_in me{};
    me.sin_family = AF_INET;
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (::inet_pton(AF_INET, address, &me.sin_addr) == 1 && ::bind(fd, reinterpret_cast<sockaddr*>(&me), sizeof me) == 0)
        ::dup2(fd, c.fd());
    ::close(fd);
    return c;
}

// The standard error lines about card requests dropped for want of a line:
// how many, the senders named, and the requests named or counted.
struct DropLog {
    size_t lines = 0, requests = 0;
    std::vector<std::string> named;
};

DropLog dropLog(const std::string& log)
{
    static const std::regex line("kelT57N: (?:(\\S+): card request dropped, 32 senders already wait for the card path"
                                 " \\((\\d+) more dropped since the last line\\)|(\\d+) more card requests dropped"
                                 " since the last line, 32 senders already wait for the card path)\n");
    DropLog d;
    for (std::sregex_iterator m(log.begin(), log.end(), line), end; m != end; ++m, ++d.lines) {
        const bool named = (*m)[1].matched;
        if (named)
            d.named.push_back((*m)[1]);
        d.requests += named + std::stoul((*m)[named ? 2 : 3]);
    }
    return d;
}

class Links : public DealFixture {
protected:
    LinkSettings settings()
    {
        LinkSettings s;
        s.udpPort = 0;
        s.tcpPort = 0;
        s.serialDevice = "/dev/ttyS2";
        return s;
    }
    // Links whose idle wait far outlasts any wait of a test: what they do
    // at once, a wake-up or a retry made it happen.
    LinkSettings idleFor60s()
    {
        LinkSettings s = settings();
        s.pollMs = 60 * 1000;
        return s;
    }
    // A link of each kind and a tool on it.
    struct LinkCase {
        const char* name;
        uint8_t id;
        std::function<std::unique_ptr<ControlLink>(const LinkSettings&)> link;
        std::function<LinkClient(ControlLink&)> client;
        bool otherSenders;   // false: the serial line has one sender only
    };
    std::vector<LinkCase> linkCases()
    {
        return {
            {"udp", LINK_UDP, [this](const LinkSettings& s) { return std::make_unique<udpnetManage>(port, *deal, s); },
             [](ControlLink& l) { return LinkClient::udp(static_cast<udpnetManage&>(l).localPort()); }, true},
            {"tcp", LINK_TCP, [this](const LinkSettings& s) { return std::make_unique<networkManage>(port, *deal, s); },
             [](ControlLink& l) { return LinkClient::tcp(static_cast<networkManage&>(l).localPort()); }, true},
            {"serial", LINK_UART,
             [this](const LinkSettings& s) { return std::make_unique<Qj_uart_inout>(port, *deal, s); },
             [](ControlLink&) { return LinkClient::serial(platform::Board::serial().peerPath("/dev/ttyS2")); },
             false},
        };
    }
    // Sends a card request, true once the link forwarded it (the card path
    // free).
    bool cardRequestForwarded(LinkClient& tool)
    {
        port.forwardedCount = 0;
        return tool.send(TestFrames::wire(TestFrames::body(0x2005, 0xF010, 0x61, {1}))) &&
               eventually([&] { return port.forwardedCount.load() == 1; });
    }
    // n card requests, each from a UDP socket of its own at address (as a
    // script opening a socket per request sends them), `reads` of them in
    // one datagram per socket; true once the link has taken them all
    // (barrier's 0xDF is answered after them). The sockets stay open, so no
    // sender's address and port come back.
    bool oneShots(udpnetManage& link, const char* address, int n, LinkClient& barrier, int reads = 1)
    {
        const Bytes one = TestFrames::wire(TestFrames::body(0x2005, 0xF010, 0x61, {1, 2, 3, 4}));
        Bytes request;
        for (int r = 0; r < reads; ++r)
            request.insert(request.end(), one.begin(), one.end());
        bool sent = true;
        for (int i = 0; i < n; ++i) {
            oneShotSockets.push_back(udpFrom(address, link.localPort()));
            sent = oneShotSockets.back().send(request) && sent;
        }
        return !barrier.exchange(TestFrames::request(CMD_DEVICE_INFO, {})).empty() && sent;
    }
    std::vector<LinkClient> oneShotSockets;
    // A new run of a UDP lines case: the card path taken, nothing
    // forwarded, nobody gone.
    void newLinesRun()
    {
        port.cardPathFree = false;
        port.forwardedCount = 0;
        {
            std::lock_guard<std::mutex> l(port.senderLock);
            port.gone.clear();
        }
        oneShotSockets.clear();
    }
    // Whether a card answer handed over for the sender key reaches tool:
    // its request went.
    void answeredAs(LinkClient& tool, const std::string& key)
    {
        const Bytes answer = TestFrames::body(0xF010, 0x2005, 0x61, {0, 5});
        {
            IrqLock irq(port);
            EXPECT_TRUE(ControlLink::deliverCardAnswer(port, LINK_UDP, key, answer.data(), uint32_t(answer.size())))
                << "the tool's request went";
        }
        EXPECT_EQ(tool.receive(), answer);
    }
    // The write-then-read exchange every link must carry.
    void writeAndReadBack(LinkClient& c, uint32_t address, uint8_t seed)
    {
        Bytes data(16);
        for (size_t i = 0; i < data.size(); ++i)
            data[i] = uint8_t(seed + i * 0x25);
        Bytes a = c.exchange(TestFrames::request(CMD_WRITE_RAM, TestFrames::ramWrite(address, data), 0xF100));
        ASSERT_FALSE(a.empty()) << "no answer";
        EXPECT_EQ(TestFrames::status(a), ST_OK);
        EXPECT_EQ(PhyFrame::target(a.data()), 0xF020);
        EXPECT_EQ(PhyFrame::source(a.data()), 0xF100);
        EXPECT_TRUE(PhyFrame::checkOk(a.data(), a.size()));
        a = c.exchange(TestFrames::request(CMD_READ_RAM, TestFrames::ramRead(address, 16), 0xF100));
        ASSERT_FALSE(a.empty()) << "no answer";
        EXPECT_EQ(TestFrames::answerData(a), TestFrames::cat({TestFrames::u32(address), TestFrames::u16(16), data}));
    }
};

TEST_F(Links, UdpClientWritesAndReadsBackParameterMemory)
{
    udpnetManage link(port, *deal, settings());
    ASSERT_TRUE(link.listening());
    LinkClient c = LinkClient::udp(link.localPort());
    writeAndReadBack(c, 0x300, 0x11);
    EXPECT_EQ(port.pcCmdValid.load(), 1);
}

TEST_F(Links, UdpFrameSplitOverThreeDatagramsIsJoined)
{
    udpnetManage link(port, *deal, settings());
    LinkClient c = LinkClient::udp(link.localPort());
    const Bytes w = TestFrames::request(CMD_WRITE_RAM, TestFrames::ramWrite(0x200, Bytes(30, 0xA5)));
    const size_t third = w.size() / 3;
    c.send(Bytes(w.begin(), w.begin() + long(third)));
    c.send(Bytes(w.begin() + long(third), w.begin() + long(2 * third)));
    c.send(Bytes(w.begin() + long(2 * third), w.end()));
    const Bytes a = c.receive();
    ASSERT_FALSE(a.empty());
    EXPECT_EQ(TestFrames::status(a), ST_OK);
    EXPECT_EQ(port.block[0x200 + 29], 0xA5);
}

TEST_F(Links, UdpGarbageDoesNotGrowTheReassemblyBuffers)
{
    udpnetManage link(port, *deal, settings());
    LinkClient c = LinkClient::udp(link.localPort());
    Bytes junk(8000, 0x33);
    junk[0] = 0xA5;
    for (int i = 0; i < 100; ++i)
        c.send(junk);
    // A good frame afterwards still gets through.
    const Bytes a = c.exchange(TestFrames::request(CMD_DEVICE_INFO, {}));
    EXPECT_EQ(TestFrames::status(a), ST_OK);
    EXPECT_LE(link.bufferedBytes(), protocol_phy::kMaxWire);
}

// Sixteen senders each hold half a frame. A seventeenth gets no buffer:
// its whole frames are served, its split ones dropped, and the sixteen keep
// theirs. Once they have been silent for 500 ticks a slot is free again.
TEST_F(Links, UdpSendersBeyondSixteenHaveTheirSplitFramesDroppedUntilASlotFrees)
{
    udpnetManage link(port, *deal, settings());
    auto halves = [](uint32_t address) {
        const Bytes w = TestFrames::request(CMD_WRITE_RAM, TestFrames::ramWrite(address, {0x5C}));
        const long half = long(w.size() / 2);
        return std::make_pair(Bytes(w.begin(), w.begin() + half), Bytes(w.begin() + half, w.end()));
    };
    std::vector<std::unique_ptr<LinkClient>> followed;
    for (uint32_t i = 0; i < 16; ++i) {
        followed.push_back(std::make_unique<LinkClient>(LinkClient::udp(link.localPort())));
        followed.back()->send(halves(0x400 + i).first);
    }
    LinkClient stranger = LinkClient::udp(link.localPort());
    const auto split = halves(0x500);
    stranger.send(split.first);
    stranger.send(split.second);
    const Bytes info = stranger.exchange(TestFrames::request(CMD_DEVICE_INFO, {}));
    ASSERT_FALSE(info.empty()) << "a whole frame is served";
    EXPECT_EQ(info[PhyFrame::kCmd], CMD_DEVICE_INFO) << "the split frame got no answer";
    EXPECT_EQ(port.block[0x500], 0);

    for (uint32_t i = 0; i < 16; ++i) {
        const Bytes a = followed[i]->exchange(halves(0x400 + i).second);
        ASSERT_FALSE(a.empty()) << "sender " << i << " kept its half frame";
        EXPECT_EQ(port.block[0x400 + i], 0x5C);
    }

    port.tickCount += udpnetManage::kSenderIdleTicks + 1;
    stranger.send(split.first);
    const Bytes a = stranger.exchange(split.second);
    ASSERT_FALSE(a.empty());
    EXPECT_EQ(a[PhyFrame::kCmd], CMD_WRITE_RAM);
    EXPECT_EQ(port.block[0x500], 0x5C);
}

TEST_F(Links, TcpClientsEachGetOnlyTheirOwnAnswers)
{
    networkManage link(port, *deal, settings());
    ASSERT_TRUE(link.listening());
    LinkClient a = LinkClient::tcp(link.localPort());
    LinkClient b = LinkClient::tcp(link.localPort());
    ASSERT_TRUE(a.ok() && b.ok());
    port.block[0x10] = 0xAA;
    port.block[0x20] = 0xBB;
    for (int round = 0; round < 5; ++round) {
        ASSERT_TRUE(a.send(TestFrames::request(CMD_READ_RAM, TestFrames::ramRead(0x10, 1))));
        ASSERT_TRUE(b.send(TestFrames::request(CMD_READ_RAM, TestFrames::ramRead(0x20, 1))));
        EXPECT_EQ(TestFrames::answerData(b.receive()).back(), 0xBB);
        EXPECT_EQ(TestFrames::answerData(a.receive()).back(), 0xAA);
    }
    writeAndReadBack(a, 0x400, 1);
    writeAndReadBack(b, 0x500, 2);
}

// Whether the link has closed c (or reset it).
bool closedByLink(const LinkClient& c)
{
    uint8_t b;
    const ssize_t got = ::recv(c.fd(), &b, 1, MSG_DONTWAIT);
    return got == 0 || (got < 0 && errno == ECONNRESET);
}

// The sender key the link gave c ("tcp#N address:port") once it has asked
// the card path for a request of c (flagged as ended, if ended); empty
// before.
std::string askedFor(StandInPort& port, const LinkClient& c, bool ended = false)
{
    sockaddr_in me{};
    socklen_t len = sizeof me;
    ::getsockname(c.fd(), reinterpret_cast<sockaddr*>(&me), &len);
    const std::string suffix = " " + LinkSocket::keyOf(me);
    std::lock_guard<std::mutex> l(port.senderLock);
    for (const auto& s : port.seen)
        if ((s.ended || !ended) && s.sender.size() > suffix.size() &&
            s.sender.compare(s.sender.size() - suffix.size(), suffix.size(), suffix) == 0)
            return s.sender;
    return {};
}

// Below 64 clients nobody is closed, whatever they do. With 64 connected,
// each connection arriving closes one: of the PC holding the most (the
// newcomer counted, its own PC first of equals) a connection that sent
// nothing past its first second (100 ticks), else the oldest that ended
// its sending, else one owed nothing, heard from longest ago; one unspoken
// in its first second goes after its PC's clients still waiting. Each
// closing is logged with its why. Clients are heard a tick apart in setup
// order, and a second passes before each arrival unless the arrival says
// otherwise.
TEST_F(Links, TcpClientsGiveWayByTheirPcsCountsThenByWhatTheyOwe)
{
    constexpr size_t kSet = 64;
    // What a client did before the set filled: connected only ('i'),
    // had a 0xDF answered ('s'), wrote a card read and shut its side ('e'),
    // or wrote a card read that waits for the card path ('w'); or has a
    // 0xDF answered before each arrival ('r').
    struct Group {
        int address;   // 127.0.0.<address>
        char did;
        int count;
    };
    // A connection from 127.0.0.<address>, ticks after the one before,
    // that closes the client set up or arrived gone-th (the newcomers
    // follow the 64 in their order; its own index: refused). It asks for
    // a 0xDF, or sends nothing.
    struct Arrival {
        int address, gone;
        bool speaks = true;
        uint32_t ticks = 100;
    };
    struct Case {
        const char* name;
        std::vector<Group> clients;   // in setup order
        std::vector<Arrival> arrivals;
    };
    const Case onePc = {"one PC: idle past its first second, then the oldest ended or in its first second, then owed nothing",
                        {{1, 's', 2}, {1, 'i', 3}, {1, 'e', 3}, {1, 'w', 2}, {1, 's', 54}},
                        {{1, 2}, {1, 3}, {1, 4}, {1, 5, false}, {1, 6, true, 10}, {1, 67}, {1, 7}, {1, 0, false},
                         {1, 1, true, 10}}};
    const std::vector<Case> otherPcs = {
        {"another PC's idle tool stays while the newcomer's PC holds more",
         {{2, 'i', 1}, {2, 'w', 1}, {1, 'e', 1}, {1, 's', 61}},
         {{1, 2}, {1, 3}, {3, 4}}},
        {"PCs holding equally many: the newcomer's own gives way",
         {{2, 'i', 1}, {2, 's', 31}, {1, 's', 31}, {3, 's', 1}},
         {{1, 32}, {2, 0}, {3, 1}}},
    };
    const auto answered = [](LinkClient& c) {
        const Bytes a = c.exchange(TestFrames::request(CMD_DEVICE_INFO, {}));
        return !a.empty() && TestFrames::status(a) == ST_OK;
    };
    static const std::map<char, std::string> why = {{'i', "sent nothing or floods, oldest"},
                                                     {'n', "sent nothing or floods, oldest"},
                                                     {'e', "ended its sending, oldest"},
                                                     {'s', "owed nothing, heard from longest ago"},
                                                     {'r', "owed nothing, heard from longest ago"},
                                                     {'w', "still sending, newest"}};
    const Bytes read = TestFrames::wire(TestFrames::body(0x0001, 0xF010, 0x61, {0x80, 0x01, 0, 0, 4, 0, 0, 0}));
    const auto run = [&](const Case& c) {
        port.cardPathFree = false;
        networkManage link(port, *deal, settings());
        std::vector<LinkClient> clients;
        std::string did;
        for (const Group& g : c.clients)
            for (int i = 0; i < g.count; ++i) {
                const std::string from = "127.0.0." + std::to_string(g.address);
                {
                    std::lock_guard<std::mutex> l(port.senderLock);
                    port.seen.clear();
                }
                ++port.tickCount;
                clients.push_back(LinkClient::tcp(link.localPort(), from.c_str()));
                did += g.did;
                LinkClient& n = clients.back();
                ASSERT_TRUE(n.ok()) << c.name;
                if (g.did == 's' || g.did == 'r') {
                    ASSERT_TRUE(answered(n)) << c.name << ": client " << clients.size() - 1;
                } else if (g.did != 'i') {
                    ASSERT_TRUE(n.send(read)) << c.name;
                    ASSERT_TRUE(g.did != 'e' || ::shutdown(n.fd(), SHUT_WR) == 0) << c.name;
                    ASSERT_TRUE(eventually([&] { return !askedFor(port, n, g.did == 'e').empty(); }))
                        << c.name << ": client " << clients.size() - 1;
                }
            }
        ASSERT_EQ(clients.size(), kSet) << c.name;
        std::vector<bool> gone(kSet + c.arrivals.size());
        for (size_t i = 0; i < clients.size(); ++i)
            ASSERT_FALSE(closedByLink(clients[i])) << c.name << ": client " << i << " closed below the bound";

        for (size_t a = 0; a < c.arrivals.size(); ++a) {
            const Arrival& arrival = c.arrivals[a];
            const size_t victim = size_t(arrival.gone);
            const bool refused = victim == clients.size();
            port.tickCount += arrival.ticks / 2;
            for (size_t i = 0; i < clients.size(); ++i)
                ASSERT_TRUE(gone[i] || did[i] != 'r' || answered(clients[i])) << c.name;
            port.tickCount += arrival.ticks - arrival.ticks / 2;
            const int claims = port.claims.load();
            int waiters = 0;
            for (size_t i = 0; i < clients.size(); ++i)
                waiters += !gone[i] && did[i] == 'w';
            ASSERT_TRUE(eventually([&] { return port.claims.load() >= claims + 2 * waiters; })) << c.name;
            ::testing::internal::CaptureStderr();
            const std::string from = "127.0.0." + std::to_string(arrival.address);
            clients.push_back(LinkClient::tcp(link.localPort(), from.c_str()));
            did += arrival.speaks ? 's' : 'n';
            const bool newcomerAnswered = arrival.speaks && answered(clients.back());
            const bool closed = eventually([&] { return closedByLink(clients[victim]); });
            const std::string log = ::testing::internal::GetCapturedStderr();
            sockaddr_in at{};
            socklen_t len = sizeof at;
            ::getsockname(clients[victim].fd(), reinterpret_cast<sockaddr*>(&at), &len);
            const std::string line =
                " " + LinkSocket::keyOf(at) + " (" + (refused ? "refused: every PC holds one" : why.at(did[victim])) + ";";
            EXPECT_EQ(newcomerAnswered, arrival.speaks && !refused) << c.name << ": newcomer " << a;
            EXPECT_TRUE(closed) << c.name << ": newcomer " << a << " closes client " << arrival.gone << "\n" << log;
            // A second since the last line: this closing is named (after a
            // closing paced, each pass's count line comes first).
            const bool named = std::all_of(c.arrivals.begin(), c.arrivals.begin() + std::ptrdiff_t(a) + 1,
                                           [](const Arrival& x) { return x.ticks >= 100; });
            EXPECT_TRUE(!named || log.find(line) != std::string::npos)
                << c.name << ": newcomer " << a << ": " << line << "\n" << log;
            gone[victim] = true;
            // The closing came before the newcomer's answer: any other
            // client closed by now was closed for room too.
            for (size_t i = 0; i < clients.size(); ++i)
                ASSERT_TRUE(gone[i] || !closedByLink(clients[i])) << c.name << ": newcomer " << a << " closed client " << i;
        }
        port.cardPathFree = true;
    };
    run(onePc);
    if (!inPrivateNetwork(otherPcs, run))
        GTEST_SKIP() << "no private network here for other PCs";
}

// Sets of 64 connections doing what tools do, over sets where every PC
// holds one, where PCs hold two, where one PC holds most, and mixed
// (127.0.0.x stand for PCs: in a private network only). What each did and
// when is the test's own record; the link works out ages, quiet and what
// each is owed itself. A newcomer, of a new PC or of one in the set,
// closes the connection the rule names from that record: of a PC holding
// the most (its own first of equals), unspoken past its first second, else
// the oldest that ended, else owed nothing and heard from longest ago, else
// the newest still sending, last the oldest unspoken in its first second;
// when every PC holds one, only a flooder or a connection unspoken past its
// first second, that ended, or owed nothing and unheard for ten seconds
// while none is silent in its first second.
// With none of those a new PC's newcomer waits unread and closes nobody
// until a client leaves, then it is answered.
TEST_F(Links, AFullTcpSetGivesWayByCountsAndKeepsEveryConversationAndFirstSecond)
{
    // 'i' connected only, 's' had a 0xDF answered, 'r' the same and again
    // just before the newcomer, 'w' wrote a card read that waits for the
    // card path, 'o' one that went out and is not answered, 'e' a card read
    // and shut its side, 'l' the same just before the newcomer, 'f' floods
    // (24 KiB of card reads, unread).
    struct Tool {
        int pc;
        char did;
        uint32_t at, heard;   // ticks of its connect and its last frame
    };
    const Bytes read = TestFrames::wire(TestFrames::body(0x0001, 0xF010, 0x61, {0x80, 0x01, 0, 0, 4, 0, 0, 0}));
    const Bytes df = TestFrames::request(CMD_DEVICE_INFO, {});
    const auto answered = [&](LinkClient& c) {
        const Bytes a = c.exchange(df);
        return !a.empty() && TestFrames::status(a) == ST_OK;
    };
    const auto suffixOf = [](const LinkClient& c) {
        sockaddr_in me{};
        socklen_t len = sizeof me;
        ::getsockname(c.fd(), reinterpret_cast<sockaddr*>(&me), &len);
        return " " + LinkSocket::keyOf(me);
    };
    const auto run = [&](int round) {
        SCOPED_TRACE(round);
        std::mt19937 rng(uint32_t(7400 + round));
        const int regime = round % 4;
        // Of the sets of one connection a PC, a third are all in their
        // conversation, a third all but one; their newcomers are of new PCs.
        const int kind = regime == 0 ? round / 4 % 3 : 2;
        std::set<std::string> goesOut;
        struct Granting {
            StandInPort& port;
            ~Granting()
            {
                std::lock_guard<std::mutex> l(port.senderLock);
                port.grantFor = nullptr;
                port.out.clear();
            }
        } granting{port};
        {
            std::lock_guard<std::mutex> l(port.senderLock);
            port.grantFor = [&goesOut](const std::string& key) {
                return std::any_of(goesOut.begin(), goesOut.end(), [&key](const std::string& sfx) {
                    return key.size() > sfx.size() && key.compare(key.size() - sfx.size(), sfx.size(), sfx) == 0;
                });
            };
        }
        port.cardPathFree = false;
        networkManage link(port, *deal, settings());
        const auto settle = [&] {
            const uint64_t passes = link.passes();
            ASSERT_TRUE(eventually([&] {
                link.wake();
                return link.passes() >= passes + 3;
            }));
        };
        std::vector<Tool> tools;
        for (int i = 0; i < 64; ++i) {
            const int pc = regime == 0 ? 2 + i : regime == 1 ? 2 + i / 2 : regime == 2 ? (rng() % 4 ? 2 : 100 + i) : 2 + int(rng() % 5);
            uint32_t age = rng() % 3 == 0 ? rng() % 90 : rng() % 2 ? 110 + rng() % 800 : 1100 + rng() % 1800;
            char did = "iswroefl"[rng() % 8];
            if (kind < 2) {
                did = "swro"[rng() % 4];
                age = did == 's' ? age % 900 : age;
            }
            // Every other set where one PC holds most has it connect in a
            // silent burst, mostly.
            if (regime == 2 && round / 4 % 2 && pc == 2 && rng() % 4) {
                did = 'i';
                age %= 90;
            }
            tools.push_back({pc, did, 3000 - age, 3000 - age});
        }
        if (kind == 1)
            tools[rng() % 64] = {200, "lfsie"[round / 12 % 5], uint32_t(100 + rng() % 1800), 100};
        std::stable_sort(tools.begin(), tools.end(), [](const Tool& a, const Tool& b) { return a.at < b.at; });
        const uint32_t base = port.tickCount.load() + 10;
        std::vector<LinkClient> clients;
        for (Tool& t : tools) {
            port.tickCount = base + t.at;
            clients.push_back(LinkClient::tcp(link.localPort(), ("127.0.0." + std::to_string(t.pc)).c_str()));
            LinkClient& c = clients.back();
            ASSERT_TRUE(c.ok());
            if (t.did == 's' || t.did == 'r') {
                ASSERT_TRUE(answered(c));
            } else if (t.did == 'o') {
                {
                    std::lock_guard<std::mutex> l(port.senderLock);
                    goesOut.insert(suffixOf(c));
                }
                const int forwarded = port.forwardedCount.load();
                ASSERT_TRUE(c.send(read));
                ASSERT_TRUE(eventually([&] { return port.forwardedCount.load() > forwarded; }));
            } else if (t.did != 'i' && t.did != 'l') {
                Bytes frames = read;
                for (int k = 1; t.did == 'f' && frames.size() < 24 * 1024; ++k)
                    frames.insert(frames.end(), read.begin(), read.end());
                ASSERT_TRUE(c.send(frames));
                ASSERT_TRUE(t.did != 'e' || ::shutdown(c.fd(), SHUT_WR) == 0);
            }
            settle();
        }
        port.tickCount = base + 3000;
        for (size_t i = 0; i < tools.size(); ++i) {
            if (tools[i].did == 'r') {
                ASSERT_TRUE(answered(clients[i]));
            } else if (tools[i].did == 'l') {
                ASSERT_TRUE(clients[i].send(read) && ::shutdown(clients[i].fd(), SHUT_WR) == 0);
            }
            if (tools[i].did == 'r' || tools[i].did == 'l')
                tools[i].heard = 3000;
        }
        settle();
        for (const LinkClient& c : clients)
            ASSERT_FALSE(closedByLink(c)) << "closed below the bound";

        // The rule, from the record.
        const int own = kind < 2 || rng() % 2 ? 250 : tools[rng() % 64].pc;
        std::map<int, size_t> counts{{own, 1}};
        for (const Tool& t : tools)
            ++counts[t.pc];
        size_t most = 0;
        for (const auto& e : counts)
            most = std::max(most, e.second);
        const auto young = [](const Tool& t) { return 3000 - t.at < 100; };
        // An idle keep-alive is reclaimed only while none is silent in its
        // first second.
        const bool silentYoung =
            std::any_of(tools.begin(), tools.end(), [&](const Tool& t) { return t.did == 'i' && young(t); });
        const auto inConversation = [&](const Tool& t) {
            if (young(t) || t.did == 'r' || t.did == 'w' || t.did == 'o')
                return true;
            return t.did == 's' && (3000 - t.heard < 1000 || silentYoung);
        };
        // A PC whose connections silent in their first second outnumber its
        // others connects in a burst.
        std::map<int, int> silent;
        for (const Tool& t : tools)
            silent[t.pc] += t.did == 'i' && young(t) ? 1 : -1;
        // 0 unspoken past its first second (and across PCs a flooder, and a
        // burst's), 1 ended, 2 owed nothing, 3 still sending, 4 unspoken in
        // its first second.
        const auto rank = [&](const Tool& t) {
            switch (t.did) {
            case 'i': return young(t) && silent[t.pc] <= 0 ? 4 : 0;
            case 'e':
            case 'l': return 1;
            case 's':
            case 'r': return 2;
            case 'f': return most == 1 ? 0 : 3;
            default: return 3;
            }
        };
        const auto goesBefore = [&](size_t a, size_t b) {
            const int ra = rank(tools[a]), rb = rank(tools[b]);
            if (ra != rb)
                return ra < rb;
            if (ra == 2 && tools[a].heard != tools[b].heard)
                return tools[a].heard < tools[b].heard;
            return ra == 2 || ra == 3 ? a > b : a < b;
        };
        std::optional<size_t> expected;
        for (size_t i = 0; i < tools.size(); ++i) {
            const bool gives = most == 1 ? !inConversation(tools[i])
                                         : counts[tools[i].pc] == most && (counts[own] < most || tools[i].pc == own);
            if (gives && (!expected || goesBefore(i, *expected)))
                expected = i;
        }

        clients.push_back(LinkClient::tcp(link.localPort(), ("127.0.0." + std::to_string(own)).c_str()));
        LinkClient& newcomer = clients.back();
        ASSERT_TRUE(newcomer.send(df));
        std::optional<size_t> left;
        if (!expected) {
            // It waits unread, and costs the link no pass of its own.
            settle();
            const uint64_t passes = link.passes();
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            ASSERT_LT(link.passes() - passes, 1000u) << "the link spins on a newcomer kept out";
            ASSERT_FALSE(newcomer.hasData()) << "a newcomer of a new PC served while every PC talks";
            for (size_t i = 0; i < tools.size(); ++i)
                ASSERT_FALSE(closedByLink(clients[i])) << i << " closed for a newcomer kept out";
            const auto leaves = std::find_if(tools.begin(), tools.end(), [](const Tool& t) { return t.did == 's'; });
            if (leaves == tools.end())
                return;
            left = size_t(leaves - tools.begin());
            ASSERT_EQ(::shutdown(clients[*left].fd(), SHUT_WR), 0);
        } else {
            ASSERT_TRUE(eventually([&] { return closedByLink(clients[*expected]); }))
                << "expected " << *expected << " (" << tools[*expected].did << ", pc " << tools[*expected].pc << ")";
        }
        const Bytes a = newcomer.receive();
        EXPECT_TRUE(!a.empty() && TestFrames::status(a) == ST_OK) << "the newcomer answered";
        for (size_t i = 0; i < tools.size(); ++i)
            EXPECT_TRUE(expected == i || left == i || !closedByLink(clients[i])) << i << " closed too";
    };
    std::vector<int> rounds(36);
    std::iota(rounds.begin(), rounds.end(), 0);
    if (!inPrivateNetwork(rounds, run))
        GTEST_SKIP() << "no private network here for other PCs";
}

// More clients than slots each write one card request and close: each is
// kept beside the slots until its request has gone, and every request
// reaches the cards.
TEST_F(Links, TcpClientsThatEachSendOneCardRequestAndCloseAllHaveItSent)
{
    port.cardPathFree = false;
    networkManage link(port, *deal, settings());
    const Bytes write = TestFrames::wire(TestFrames::body(0x0001, 0xF010, 0x60, {0x80, 0x01, 0, 0, 1, 0, 0, 0, 7}));
    constexpr int kClients = 14;
    for (int i = 0; i < kClients; ++i) {
        LinkClient c = LinkClient::tcp(link.localPort());
        ASSERT_TRUE(c.send(write)) << i;
    }
    ASSERT_TRUE(eventually([&] { return port.claims.load() > 0; }));
    port.cardPathFree = true;
    EXPECT_TRUE(eventually([&] { return port.forwardedCount.load() == kClients; })) << port.forwardedCount.load();
}

TEST_F(Links, TcpLinkSwitchedOffDoesNotListen)
{
    LinkSettings s = settings();
    s.tcpEnabled = false;
    networkManage link(port, *deal, s);
    EXPECT_FALSE(link.listening());
    EXPECT_EQ(link.localPort(), 0);
}

TEST_F(Links, ATakenPortIsReportedAndTheLinkStaysAbsent)
{
    // Another controller on the machine already holds both ports.
    const int udpHolder = LinkSocket::openUdp(0, "other udp");
    const int tcpHolder = LinkSocket::openTcpListener(0, 1, "other tcp");
    ASSERT_GE(udpHolder, 0);
    ASSERT_GE(tcpHolder, 0);
    LinkSettings s = settings();
    s.udpPort = LinkSocket::localPort(udpHolder);
    s.tcpPort = LinkSocket::localPort(tcpHolder);
    ::testing::internal::CaptureStderr();
    {
        udpnetManage udp(port, *deal, s);
        networkManage tcp(port, *deal, s);
        EXPECT_FALSE(udp.listening());
        EXPECT_FALSE(tcp.listening());
    }
    const std::string log = ::testing::internal::GetCapturedStderr();
    const QJsonObject links = board().state()["links"].toObject();
    for (auto [name, p] : {std::pair<const char*, uint16_t>{"udp", s.udpPort}, {"tcp", s.tcpPort}}) {
        const std::string line = std::string("link ") + name + ": cannot bind 127.0.0.1:" + std::to_string(p) + ": ";
        EXPECT_NE(log.find(line), std::string::npos) << log;
        const QJsonObject o = links[name].toObject();
        EXPECT_FALSE(o["bound"].toBool()) << name;
        EXPECT_EQ(o["address"].toString(), "127.0.0.1");
        EXPECT_EQ(o["port"].toInt(), p);
        EXPECT_FALSE(o["error"].toString().isEmpty());
    }
    EXPECT_TRUE(links["other udp"].toObject()["bound"].toBool());
    ::close(udpHolder);
    ::close(tcpHolder);
}

TEST_F(Links, SerialLinkOverAPseudoTerminalCarriesTheSameExchange)
{
    Qj_uart_inout link(port, *deal, settings());
    ASSERT_TRUE(link.isOpen());
    const std::string pty = platform::Board::serial().peerPath("/dev/ttyS2");
    ASSERT_FALSE(pty.empty());
    LinkClient c = LinkClient::serial(pty);
    ASSERT_TRUE(c.ok());
    writeAndReadBack(c, 0x300, 0x5A);
}

TEST_F(Links, CardRequestPassesThroughAndItsAnswerReachesTheClientOnce)
{
    udpnetManage link(port, *deal, settings());
    LinkClient c = LinkClient::udp(link.localPort());
    const Bytes request = TestFrames::body(0x2005, 0xF010, 0x61, {1, 2, 3, 4});
    port.pcCmdValid = 0;
    ASSERT_TRUE(c.send(TestFrames::wire(request)));
    ASSERT_TRUE(eventually([&] {
        std::lock_guard<std::mutex> l(port.lock);
        return !port.forwarded.empty();
    }));
    {
        std::lock_guard<std::mutex> l(port.lock);
        EXPECT_EQ(port.forwarded, request) << "unframed, check byte included";
    }
    EXPECT_EQ(port.passby.load(), LINK_UDP);
    EXPECT_EQ(port.pcCmdValid.load(), 1);

    // The FPGA answer path queues the card's answer on the recorded link.
    const Bytes answer = TestFrames::body(0xF010, 0x2005, 0x61, {0, 9, 9});
    {
        IrqLock irq(port);
        EXPECT_TRUE(ControlLink::deliverCardAnswer(port, LINK_UDP, port.sender(), answer.data(), uint32_t(answer.size())));
    }
    EXPECT_EQ(port.passby.load(), LINK_NONE);
    EXPECT_EQ(c.receive(), answer);
    EXPECT_TRUE(eventually([&] { return !port.replyReadyFlag.load(); }));
    // The next datagram is the answer to a new request, not a repeat.
    const Bytes info = c.exchange(TestFrames::request(CMD_DEVICE_INFO, {}));
    EXPECT_EQ(info.at(PhyFrame::kCmd), CMD_DEVICE_INFO);
}

TEST_F(Links, CardAnswerQueuedWhileThePreviousIsSentIsNotLost)
{
    const Bytes first = TestFrames::body(0xF010, 0x2005, 0x61, {0, 1});
    const Bytes second = TestFrames::body(0xF010, 0x2005, 0x61, {0, 2});
    std::optional<LinkClient> c;
    // The link thread runs the hook from its start on; the client, made
    // once the link's port is known, is handed to it through this pointer.
    std::atomic<LinkClient*> tool{nullptr};
    std::atomic<bool> delivered{false};
    // The FPGA side queues the next answer right after the first went out.
    port.beforeIrqLock = [&] {
        LinkClient* t = tool.load();
        if (delivered || !t || !t->hasData())
            return;
        port.passby = LINK_UDP;
        ControlLink::deliverCardAnswer(port, LINK_UDP, port.sender(), second.data(), uint32_t(second.size()));
        delivered = true;
    };
    auto link = std::make_unique<udpnetManage>(port, *deal, settings());
    c.emplace(LinkClient::udp(link->localPort()));
    tool = &*c;
    ASSERT_TRUE(c->send(TestFrames::wire(TestFrames::body(0x2005, 0xF010, 0x61, {1}))));
    ASSERT_TRUE(eventually([&] {
        std::lock_guard<std::mutex> l(port.lock);
        return !port.forwarded.empty();
    }));
    {
        IrqLock irq(port);
        ASSERT_TRUE(ControlLink::deliverCardAnswer(port, LINK_UDP, port.sender(), first.data(), uint32_t(first.size())));
    }
    ASSERT_TRUE(eventually([&] { return delivered.load(); }));
    EXPECT_EQ(c->receive(), first);
    EXPECT_EQ(c->receive(), second);
    link.reset();
    port.beforeIrqLock = nullptr;
}

// While the card path is another request's, a card request waits in its
// link, and what its sender sent after it waits behind it; another sender
// on the link is served meanwhile. Once the path is free the request goes,
// once, and the rest is served, without waiting for the link's idle wait to
// end: a port whose hold ran out frees with no answer to wake the link.
TEST_F(Links, ACardRequestWaitsInItsLinkUntilTheCardPathIsFree)
{
    const Bytes request = TestFrames::body(0x2005, 0xF010, 0x61, {1, 2, 3, 4});
    for (const LinkCase& c : linkCases()) {
        port.cardPathFree = false;
        port.forwardedCount = 0;
        port.claims = 0;
        auto link = c.link(idleFor60s());
        LinkClient tool = c.client(*link);
        ASSERT_TRUE(tool.ok()) << c.name;
        ASSERT_TRUE(tool.send(TestFrames::wire(request))) << c.name;
        ASSERT_TRUE(tool.send(TestFrames::request(CMD_DEVICE_INFO, {}))) << c.name;
        ASSERT_TRUE(eventually([&] { return port.claims.load() > 0; })) << c.name << ": the request was refused";
        if (c.otherSenders) {
            LinkClient other = c.client(*link);
            const Bytes a = other.exchange(TestFrames::request(CMD_DEVICE_INFO, {}));
            ASSERT_FALSE(a.empty()) << c.name << ": another sender is served meanwhile";
            EXPECT_EQ(a.at(PhyFrame::kCmd), CMD_DEVICE_INFO) << c.name;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        EXPECT_EQ(port.forwardedCount.load(), 0) << c.name;
        EXPECT_FALSE(tool.hasData()) << c.name << ": nothing overtakes the card request";
        port.cardPathFree = true;
        const Bytes info = tool.receive();
        ASSERT_FALSE(info.empty()) << c.name;
        EXPECT_EQ(info.at(PhyFrame::kCmd), CMD_DEVICE_INFO) << c.name;
        EXPECT_EQ(port.forwardedCount.load(), 1) << c.name;
        std::lock_guard<std::mutex> l(port.lock);
        EXPECT_EQ(port.forwarded, request) << c.name;
    }
}

// A TCP client's card requests waiting for the card path are not read
// past: the link holds no more of a flooding client than one read. Once the
// path is free every request goes, in order. A client that shuts its
// sending side while they wait keeps them, asked for as a client that has
// ended; a client whose connection is reset has them dropped.
TEST_F(Links, TcpCardRequestsWaitingForTheCardPathAreNotReadPast)
{
    port.cardPathFree = false;
    networkManage link(port, *deal, settings());
    LinkClient tool = LinkClient::tcp(link.localPort());
    ASSERT_TRUE(tool.ok());
    constexpr int kRequests = 2000;
    Bytes flood, last;
    for (int i = 0; i < kRequests; ++i) {
        last = TestFrames::body(0x0001, 0xF010, 0x61, {0x80, 0x01, 0, 0, 4, 0, 0, 0}, uint8_t(i));
        const Bytes w = TestFrames::wire(last);
        flood.insert(flood.end(), w.begin(), w.end());
    }
    ASSERT_GT(flood.size(), 8 * networkManage::kReadSize);
    ASSERT_TRUE(tool.send(flood));
    ASSERT_TRUE(eventually([&] { return link.waitingBytes() > 0; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));   // many passes, each free to read
    EXPECT_LE(link.waitingBytes(), networkManage::kReadSize);
    EXPECT_EQ(port.forwardedCount.load(), 0);
    port.cardPathFree = true;
    EXPECT_TRUE(eventually([&] { return port.forwardedCount.load() == kRequests; })) << port.forwardedCount.load();
    {
        std::lock_guard<std::mutex> l(port.lock);
        EXPECT_EQ(port.forwarded, last);
    }

    port.cardPathFree = false;
    std::string goneKey;
    {
        LinkClient gone = LinkClient::tcp(link.localPort());
        ASSERT_TRUE(gone.send(flood));
        ASSERT_TRUE(eventually([&] { return !(goneKey = askedFor(port, gone)).empty(); }));
        const linger reset{1, 0};
        ASSERT_EQ(::setsockopt(gone.fd(), SOL_SOCKET, SO_LINGER, &reset, sizeof reset), 0);
    }
    EXPECT_TRUE(eventually([&] { return link.waitingBytes() == 0; })) << link.waitingBytes();
    EXPECT_EQ(port.forwardedCount.load(), kRequests);
    EXPECT_TRUE(eventually([&] {
        std::lock_guard<std::mutex> l(port.senderLock);
        return std::count(port.gone.begin(), port.gone.end(), goneKey) == 1;
    })) << "the reset client gave up its place among the senders waiting";

    port.lastEnded = false;
    LinkClient halfClosed = LinkClient::tcp(link.localPort());
    ASSERT_TRUE(halfClosed.send(flood));
    ASSERT_EQ(::shutdown(halfClosed.fd(), SHUT_WR), 0);
    ASSERT_TRUE(eventually([&] { return port.lastEnded.load() && link.waitingBytes() > 0; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_GT(link.waitingBytes(), 0u) << "kept while the card path is taken";
    EXPECT_EQ(port.forwardedCount.load(), kRequests);
    port.cardPathFree = true;
    EXPECT_TRUE(eventually([&] { return port.forwardedCount.load() == 2 * kRequests; })) << port.forwardedCount.load();
}

long long processorTimeUsedMs();

// A client that sends its requests and shuts its sending side (as a script
// piping into a socket does) gets every answer: its card request waits for
// the card path, then goes, and its answer reaches the client. The
// connection stays open while the card request is out and closes once
// nothing of the client is left. The link waits without using the
// processor meanwhile: its socket, which reports its end at once and, read
// to its end, input at once, is no longer polled for either.
TEST_F(Links, ATcpClientThatShutsItsSendingSideGetsItsAnswers)
{
    port.cardPathFree = false;
    port.requestOut = true;
    networkManage link(port, *deal, settings());
    LinkClient tool = LinkClient::tcp(link.localPort());
    const Bytes request = TestFrames::body(0x2005, 0xF010, 0x61, {1, 2, 3, 4});
    ASSERT_TRUE(tool.send(TestFrames::cat({TestFrames::wire(request), TestFrames::request(CMD_DEVICE_INFO, {})})));
    ASSERT_EQ(::shutdown(tool.fd(), SHUT_WR), 0);
    ASSERT_TRUE(eventually([&] { return port.lastEnded.load(); }));
    const auto processorMsOver1500 = [] {
        const long long before = processorTimeUsedMs();
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        return processorTimeUsedMs() - before;
    };
    // A spinning link takes a whole core, asking for the card path every
    // millisecond little.
    EXPECT_LT(processorMsOver1500(), 1500 / 8) << "ms while its card request waits";
    EXPECT_EQ(port.forwardedCount.load(), 0);
    port.cardPathFree = true;
    const Bytes info = tool.receive();
    ASSERT_FALSE(info.empty());
    EXPECT_EQ(info.at(PhyFrame::kCmd), CMD_DEVICE_INFO);
    EXPECT_EQ(port.forwardedCount.load(), 1);
    const Bytes answer = TestFrames::body(0xF010, 0x2005, 0x61, {0, 9, 9});
    {
        IrqLock irq(port);
        ASSERT_TRUE(ControlLink::deliverCardAnswer(port, LINK_TCP, port.sender(), answer.data(), uint32_t(answer.size())));
    }
    EXPECT_EQ(tool.receive(), answer);
    const auto closedByLink = [&] {
        uint8_t b;
        return ::recv(tool.fd(), &b, 1, MSG_DONTWAIT) == 0;
    };
    EXPECT_LT(processorMsOver1500(), 1500 / 8) << "ms while its card request is out";
    EXPECT_FALSE(closedByLink()) << "open while its card request is out";
    port.requestOut = false;
    EXPECT_TRUE(eventually(closedByLink));
}

// A card request of `size` bytes as the link receives it: its escaped
// body between one 0xA5 and the 0x5A, what it takes of its sender's 64 KiB
// while it waits. The wire frame has two more preamble bytes.
Bytes cardRequestOfSize(size_t size)
{
    constexpr size_t kAroundPayload = 2 + 10 + 1;   // 0xA5, head, check byte, 0x5A
    for (uint8_t first = 0; first < 4; ++first) {
        Bytes payload(size - kAroundPayload, 0);
        payload[0] = first;   // a check byte needing an escape is avoided
        const Bytes w = TestFrames::wire(TestFrames::body(0x0001, 0xF010, 0x61, payload));
        if (w.size() == size + 2)
            return w;
    }
    return {};
}

struct FrameRun {
    size_t frames;
    size_t size;   // of each, as cardRequestOfSize
};

// Sends the runs' frames in order, packed into datagrams of 32 KiB at most.
bool sendRuns(LinkClient& c, const std::vector<FrameRun>& runs)
{
    Bytes datagram;
    for (const FrameRun& r : runs) {
        const Bytes one = cardRequestOfSize(r.size);
        if (one.empty())
            return false;
        for (size_t i = 0; i < r.frames; ++i) {
            if (datagram.size() + one.size() > 32 * 1024 && !c.send(std::exchange(datagram, {})))
                return false;
            datagram.insert(datagram.end(), one.begin(), one.end());
        }
    }
    return datagram.empty() || c.send(datagram);
}

// A UDP sender that keeps sending card requests while they wait loses what
// passes 64 KiB of its own, and only that: another sender is still served,
// and the kept requests all go once the path is free. The bound is exact,
// and counts only the frames still waiting.
TEST_F(Links, UdpCardRequestsWaitingPastTheirBoundAreDroppedForTheirSenderOnly)
{
    struct Case {
        const char* name;
        std::vector<FrameRun> waiting;   // sent while the path is refused
        int served;                      // then so many of them go
        std::vector<FrameRun> more;      // sent once those went
        size_t forwarded, dropped;       // in the end
    };
    constexpr size_t kBound = 64 * 1024;
    const Case cases[] = {
        {"a flood of small requests", {{4272, 21}}, 0, {}, kBound / 21, 4272 - kBound / 21},
        {"exactly 64 KiB", {{64, 1024}}, 0, {}, 64, 0},
        {"one byte past 64 KiB", {{63, 1024}, {1, 1025}}, 0, {}, 63, 1},
        {"requests gone no longer count", {{64, 1024}}, 16, {{16, 1024}, {1, 64}}, 80, 1},
    };
    const Bytes info = TestFrames::request(CMD_DEVICE_INFO, {});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        port.cardPathFree = false;
        port.forwardedCount = 0;
        udpnetManage link(port, *deal, settings());
        LinkClient flood = LinkClient::udp(link.localPort());
        LinkClient other = LinkClient::udp(link.localPort());
        ASSERT_TRUE(sendRuns(flood, c.waiting));
        // Each answer to the other sender comes once the flood's datagrams
        // before it were taken.
        ASSERT_FALSE(other.exchange(info).empty()) << "another sender is served meanwhile";
        if (c.served) {
            port.claimGrants = c.served;
            ASSERT_TRUE(eventually([&] { return port.forwardedCount.load() == c.served; }));
        }
        ASSERT_TRUE(sendRuns(flood, c.more));
        ASSERT_FALSE(other.exchange(info).empty());
        EXPECT_EQ(link.droppedFrames(), c.dropped);
        port.cardPathFree = true;
        EXPECT_TRUE(eventually([&] { return size_t(port.forwardedCount.load()) == c.forwarded; }))
            << port.forwardedCount.load();
        ASSERT_FALSE(other.exchange(info).empty());
        EXPECT_EQ(size_t(port.forwardedCount.load()), c.forwarded);
        EXPECT_EQ(link.droppedFrames(), c.dropped);
    }
}

// At most 32 UDP senders have card requests waiting. Further new senders of
// their address have their card requests dropped (a sender's other frames
// are still answered), and standard error names or counts each drop, one
// line every 100 ticks at most, the drops of a burst's tail in a line of
// their own once 100 ticks have passed, also once the link idles.
TEST_F(Links, UdpSendersBeyondThirtyTwoHaveTheirWaitingCardRequestsDropped)
{
    port.cardPathFree = false;
    udpnetManage link(port, *deal, idleFor60s());
    const Bytes request = TestFrames::wire(TestFrames::body(0x2005, 0xF010, 0x61, {1, 2, 3, 4}));
    const Bytes info = TestFrames::request(CMD_DEVICE_INFO, {});
    LinkClient barrier = LinkClient::udp(link.localPort());
    ASSERT_TRUE(oneShots(link, "127.0.0.1", 32, barrier));
    ASSERT_EQ(link.droppedFrames(), 0u);
    const auto keyOf = [](const LinkClient& c) { return "127.0.0.1:" + std::to_string(LinkSocket::localPort(c.fd())); };
    std::vector<std::string> late;
    const auto more = [&](int n) {
        bool sent = true;
        for (int i = 0; i < n; ++i) {
            oneShotSockets.push_back(LinkClient::udp(link.localPort()));
            late.push_back(keyOf(oneShotSockets.back()));
            sent = oneShotSockets.back().send(request) && sent;
        }
        return sent;
    };

    // Some ticks later: a whole pass of the link after them.
    const auto later = [&](uint32_t ticks) {
        port.tickCount += ticks;
        const uint64_t passes = link.passes();
        return eventually([&] {
            link.wake();
            return link.passes() >= passes + 2;
        });
    };
    // No assertion may end the test while standard error is captured.
    ::testing::internal::CaptureStderr();
    bool sent = more(1) && oneShotSockets.back().send(info);
    const Bytes answer = oneShotSockets.back().receive();
    const size_t droppedFirst = link.droppedFrames();
    sent = more(100) && sent;
    bool answered = !barrier.exchange(info).empty() && later(99);
    const DropLog first = dropLog(::testing::internal::GetCapturedStderr());
    ::testing::internal::CaptureStderr();
    answered = later(1) && answered;
    sent = more(2) && sent;
    answered = !barrier.exchange(info).empty() && answered;
    port.cardPathFree = true;   // the lines empty, the link idles
    answered = later(100) && answered;
    const DropLog then = dropLog(::testing::internal::GetCapturedStderr());

    ASSERT_TRUE(sent);
    EXPECT_FALSE(answer.empty()) << "the late sender's other frames are answered";
    if (!answer.empty()) {
        EXPECT_EQ(answer.at(PhyFrame::kCmd), CMD_DEVICE_INFO);
    }
    EXPECT_EQ(droppedFirst, 1u) << "the 33rd sender's card request";
    EXPECT_TRUE(answered);
    EXPECT_EQ(link.droppedFrames(), 103u);
    EXPECT_EQ(first.lines, 1u) << "none before 100 ticks";
    EXPECT_EQ(first.requests, 1u);
    EXPECT_EQ(then.lines, 2u);
    EXPECT_EQ(then.requests, 102u);
    for (const DropLog& log : {first, then})
        for (const std::string& name : log.named)
            EXPECT_NE(std::find(late.begin(), late.end(), name), late.end()) << name;
    EXPECT_EQ(port.forwardedCount.load(), 32);
}

// Inside an address the lines go to the senders that asked most often in a
// row. A tool asking beside a script's new sockets at its address (one or
// two card requests each, in one datagram: one try) is refused at its first
// try, having asked none before, and takes the line of the newest socket at
// its second, up to 10 s later; none of the sockets takes a line from
// anyone, so a poller holding a line when the script starts keeps it.
TEST_F(Links, UdpToolAskingRarelyTakesALineOfItsAddressByItsSecondTry)
{
    struct Case {
        const char* name;
        int before;        // new sockets holding the lines before the tool's first try
        int between;       // new sockets after each of the tool's tries
        int reads;         // card requests in each one's datagram
        uint32_t every;    // ticks between the tool's tries
        int tries, refused;
        // The socket whose line the tool took asks again at once, one try
        // in a row: it takes a line of a new socket, not the tool's, which
        // claims the tool's tries from when it is taken.
        bool resend = false;
    };
    const Case cases[] = {
        {"every 10 s beside a script", 32, 40, 1, 1000, 2, 1},
        {"every tick beside a script sending two reads a socket", 32, 40, 2, 1, 2, 1, true},
        {"a poller holding a line when a script starts", 0, 60, 1, 200, 1, 0},
    };
    const Bytes request = TestFrames::wire(TestFrames::body(0x2005, 0xF010, 0x61, {1, 2, 3, 4}));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        newLinesRun();
        udpnetManage link(port, *deal, settings());
        LinkClient tool = LinkClient::udp(link.localPort());
        LinkClient barrier = LinkClient::udp(link.localPort());
        const std::string key = "127.0.0.1:" + std::to_string(LinkSocket::localPort(tool.fd()));
        ASSERT_TRUE(oneShots(link, "127.0.0.1", c.before, barrier, c.reads));
        for (int t = 0; t < c.tries; ++t) {
            port.tickCount += c.every;
            const uint64_t passes = link.passes();
            ASSERT_TRUE(eventually([&] {
                link.wake();
                return link.passes() >= passes + 2;
            }));
            ASSERT_TRUE(tool.send(request));
            ASSERT_TRUE(oneShots(link, "127.0.0.1", c.between, barrier, c.reads));
        }
        if (c.resend) {
            Bytes again;
            for (int r = 0; r < c.reads; ++r)
                again.insert(again.end(), request.begin(), request.end());
            ASSERT_TRUE(oneShotSockets[31].send(again));
            ASSERT_FALSE(barrier.exchange(TestFrames::request(CMD_DEVICE_INFO, {})).empty());
        }
        {
            std::lock_guard<std::mutex> l(port.senderLock);
            EXPECT_EQ(std::count(port.gone.begin(), port.gone.end(), key), c.refused) << "tries refused";
            if (c.refused) {
                const std::string newest = "127.0.0.1:" + std::to_string(LinkSocket::localPort(oneShotSockets[31].fd()));
                // Forgotten or not, a socket leaves the card path's line only
                // with its line.
                EXPECT_EQ(std::count(port.gone.begin(), port.gone.end(), newest), 1) << "the newest of equals";
            }
        }
        port.cardPathFree = true;
        const int forwarded = 31 * c.reads + 1;
        EXPECT_TRUE(eventually([&] { return port.forwardedCount.load() == forwarded; })) << port.forwardedCount.load();
        ASSERT_TRUE(oneShots(link, "127.0.0.1", 0, barrier));
        EXPECT_EQ(port.forwardedCount.load(), forwarded);
        answeredAs(tool, key);
    }
}

// A waiting UDP card request asks for the card path with its sender's
// tries in a row as of its last try, 200 ticks apart here. Once the sender
// has been silent longer than 1,000 ticks, when the lines forget it, the
// request asks with none: a script's sockets that climbed high on port
// numbers handed out again then stand behind the tools of their address
// that keep asking. Whatever the sender does meanwhile (falls silent, asks
// again every 1,100 ticks, past the forgetting each time) the request never
// leaves the card path's line: its address keeps its place there.
TEST_F(Links, AWaitingUdpRequestKeepsItsPlaceAndAsksWithItsSendersTriesUntilTheSenderIsForgotten)
{
    struct Case {
        const char* name;
        std::vector<uint32_t> after;   // ticks after the last of its 3 tries: silent, or asking again
        uint32_t tries;                // the request then asks with
    };
    const Case cases[] = {
        {"asking", {0}, 2},
        {"silent 1,000 ticks", {1000}, 2},
        {"silent 1,001 ticks: forgotten", {1001}, 0},
        {"asking again every 1,100 ticks", {1100, 1100, 1100, 500}, 0},
    };
    const Bytes request = TestFrames::wire(TestFrames::body(0x2005, 0xF010, 0x61, {1, 2, 3, 4}));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        newLinesRun();
        udpnetManage link(port, *deal, settings());
        LinkClient tool = LinkClient::udp(link.localPort());
        LinkClient barrier = LinkClient::udp(link.localPort());
        const std::string key = "127.0.0.1:" + std::to_string(LinkSocket::localPort(tool.fd()));
        for (int t = 0; t < 3; ++t) {
            port.tickCount += 200;
            ASSERT_TRUE(tool.send(request));
            ASSERT_TRUE(oneShots(link, "127.0.0.1", 0, barrier));
        }
        for (size_t a = 0; a < c.after.size(); ++a) {
            port.tickCount += c.after[a];
            if (a + 1 < c.after.size()) {
                ASSERT_TRUE(tool.send(request));
            }
            ASSERT_TRUE(oneShots(link, "127.0.0.1", 0, barrier));
        }
        {
            std::lock_guard<std::mutex> l(port.senderLock);
            port.seen.clear();
        }
        const uint64_t passes = link.passes();
        ASSERT_TRUE(eventually([&] {
            link.wake();
            return link.passes() >= passes + 2;
        }));
        std::lock_guard<std::mutex> l(port.senderLock);
        const auto last = std::find_if(port.seen.rbegin(), port.seen.rend(),
                                       [&](const StandInPort::ClaimSeen& s) { return s.sender == key; });
        ASSERT_NE(last, port.seen.rend()) << "asked again";
        EXPECT_EQ(last->tries, c.tries);
        EXPECT_EQ(std::count(port.gone.begin(), port.gone.end(), key), 0) << "left the card path's line";
    }
}

// One-shot sockets at two addresses (scripts opening a socket per card
// request; 127.0.0.2 stands for another PC) take the lines of the UDP link.
// Addresses share them by counts: a tool at an address holding two lines
// fewer than another takes one of that address's at once, and its
// neighbours take their address's share. A tool refused at an address
// holding its share takes a line of its own address when it asks again a
// tick later, never one of the other address.
TEST_F(Links, UdpAddressesShareTheLinesWhateverTheirToolsSend)
{
    ASSERT_TRUE(platform::NetPolicy::loopbackOnly());
    struct Step {
        const char* address;   // nullptr: the tool sends its card request,
        int sockets;           // so many ticks after its last
    };
    struct Case {
        const char* name;
        const char* address;   // the tool's
        std::vector<Step> steps;
        int forwarded;         // card requests that go once the path frees
        int keptFrom, kept;    // one-shot sockets (in the order sent) whose requests all go
    };
    const char* const one = "127.0.0.1";
    const char* const two = "127.0.0.2";
    const Case cases[] = {
        {"a new tool and 19 one-shot sockets at another PC", two,
         {{one, 40}, {nullptr, 0}, {two, 19}, {one, 8}, {nullptr, 0}, {one, 8}}, 16 + 15 + 2, 0, 0},
        {"a tool refused at its address's share", one,
         {{one, 16}, {two, 16}, {nullptr, 0}, {one, 8}, {nullptr, 1}, {two, 8}}, 16 + 15 + 1, 16, 16},
    };
    const Bytes request = TestFrames::wire(TestFrames::body(0x2005, 0xF010, 0x61, {1, 2, 3, 4}));
    const auto run = [&](const Case& c) {
        SCOPED_TRACE(c.name);
        newLinesRun();
        udpnetManage link(port, *deal, settings());
        LinkClient tool = udpFrom(c.address, link.localPort());
        LinkClient barrier = LinkClient::udp(link.localPort());
        for (const Step& step : c.steps) {
            if (step.address)
                ASSERT_TRUE(oneShots(link, step.address, step.sockets, barrier));
            else
                ASSERT_TRUE((port.tickCount += uint32_t(step.sockets), tool.send(request)) &&
                            oneShots(link, one, 0, barrier));
        }
        for (int i = c.keptFrom; i < c.keptFrom + c.kept; ++i) {
            const LinkClient& k = oneShotSockets[size_t(i)];
            sockaddr_in a{};
            socklen_t len = sizeof a;
            ::getsockname(k.fd(), reinterpret_cast<sockaddr*>(&a), &len);
            const std::string key = LinkSocket::keyOf(a);
            std::lock_guard<std::mutex> l(port.senderLock);
            EXPECT_EQ(std::count(port.gone.begin(), port.gone.end(), key), 0) << key << " lost its line";
        }
        port.cardPathFree = true;
        EXPECT_TRUE(eventually([&] { return port.forwardedCount.load() == c.forwarded; }));
        ASSERT_TRUE(oneShots(link, one, 0, barrier));
        EXPECT_EQ(port.forwardedCount.load(), c.forwarded);
        const std::string key = c.address + (":" + std::to_string(LinkSocket::localPort(tool.fd())));
        answeredAs(tool, key);
    };
    if (!inPrivateNetwork(cases, run))
        GTEST_SKIP() << "no private network here for a second PC";
}

// A card read for port (0-15), or for every port (255), routed by its port
// byte (4.1), tagged.
Bytes cardReadFor(int port, uint8_t tag)
{
    Bytes b = TestFrames::body(0x0001, 0xF010, 0x61, {0x80, 0x01, 0, 0, 4, 0, 0, 0}, tag);
    b[PhyFrame::kRoute] = 1;
    b[PhyFrame::kPort] = port == 255 ? 255 : uint8_t(port + 1);
    b.back() = PhyFrame::xorOf(b.data(), b.size() - 1);
    return TestFrames::wire(b);
}

// A UDP card request asks again when its sender has another card request
// for the same port, or one overlapping it, behind it in the same datagram
// (a later datagram from its address and port may be a new socket's):
// frames of another kind or for another port never count. A TCP client that has not ended its sending may always
// ask again. Each request's last claim, the one that went, is checked.
TEST_F(Links, ACardRequestAsksAgainOnlyForItsSendersOwnRequestsForItsPortBehindIt)
{
    struct Case {
        const char* name;
        std::vector<int> frames;   // a port 0-15, 255 all ports, -1 a 0xDF
        std::vector<bool> again;   // of each card request, in order
    };
    const Case cases[] = {
        {"a 0xDF behind", {0, -1}, {false}},
        {"a request for another port behind", {1, 0}, {false, false}},
        {"one for the same port behind", {0, 0}, {true, false}},
        {"one for all ports behind", {0, 255}, {true, false}},
        {"one for a port behind a request for all ports", {255, 3}, {true, false}},
        {"one for the same port behind a 0xDF", {2, -1, 2}, {true, false}},
        {"one for the same port behind another port's", {0, 1, 1}, {false, true, false}},
    };
    enum class Way { OneDatagram, DatagramEach, OneWrite, HeadThenRestUnread };
    const std::pair<Way, const char*> ways[] = {{Way::OneDatagram, "udp, one datagram, path free"},
                                                {Way::DatagramEach, "udp, a datagram each, path taken"},
                                                {Way::OneWrite, "tcp, one write, path free"},
                                                {Way::HeadThenRestUnread, "tcp, the rest unread, path taken"}};
    for (const auto& way : ways) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(way.second) + ": " + c.name);
            const bool tcp = way.first == Way::OneWrite || way.first == Way::HeadThenRestUnread;
            const bool taken = way.first == Way::DatagramEach || way.first == Way::HeadThenRestUnread;
            port.cardPathFree = !taken;
            port.forwardedCount = 0;
            port.claims = 0;
            {
                std::lock_guard<std::mutex> l(port.senderLock);
                port.seen.clear();
            }
            std::unique_ptr<ControlLink> link;
            if (tcp)
                link = std::make_unique<networkManage>(port, *deal, settings());
            else
                link = std::make_unique<udpnetManage>(port, *deal, settings());
            LinkClient tool = tcp ? LinkClient::tcp(static_cast<networkManage&>(*link).localPort())
                                  : LinkClient::udp(static_cast<udpnetManage&>(*link).localPort());
            std::vector<Bytes> frames;
            int requests = 0;
            for (size_t i = 0; i < c.frames.size(); ++i) {
                frames.push_back(c.frames[i] < 0 ? TestFrames::request(CMD_DEVICE_INFO, {})
                                                 : cardReadFor(c.frames[i], uint8_t(0x40 + i)));
                requests += c.frames[i] >= 0;
            }
            if (way.first == Way::OneDatagram || way.first == Way::OneWrite) {
                Bytes all;
                for (const Bytes& f : frames)
                    all.insert(all.end(), f.begin(), f.end());
                ASSERT_TRUE(tool.send(all));
            } else {
                ASSERT_TRUE(tool.send(frames[0]));
                ASSERT_TRUE(eventually([&] { return port.claims.load() > 0; }));
                for (size_t i = 1; i < frames.size(); ++i)
                    ASSERT_TRUE(tool.send(frames[i]));
                // Claims of the first made once all of it was sent.
                const int before = port.claims.load();
                ASSERT_TRUE(eventually([&] { return port.claims.load() > before + 2; }));
                port.cardPathFree = true;
            }
            ASSERT_TRUE(eventually([&] { return port.forwardedCount.load() == requests; }));
            std::map<uint8_t, bool> last;
            {
                std::lock_guard<std::mutex> l(port.senderLock);
                for (const auto& claim : port.seen) {
                    last[claim.tag] = claim.again;
                    EXPECT_FALSE(claim.ended || claim.floods);
                }
            }
            std::vector<bool> again;
            for (size_t i = 0; i < c.frames.size(); ++i)
                if (c.frames[i] >= 0)
                    again.push_back(last[uint8_t(0x40 + i)]);
            EXPECT_EQ(again, tcp                            ? std::vector<bool>(c.again.size(), true)
                             : way.first == Way::DatagramEach ? std::vector<bool>(c.again.size(), false)
                                                              : c.again);
        }
    }
}

// A TCP client that wrote 16 KiB or more than the link has read and took no
// answer since its backlog began floods; it has not ended its sending, and
// takes its answers like any other (here: 2 reads, then 1,000 of another
// port, in one write). It floods no more once it took an answer. It has
// ended once it shut its side, though its backlog is unread.
TEST_F(Links, ATcpClientFloodsUntilItTakesAnAnswerAndHasEndedOnlyOnceItShutsItsSide)
{
    port.cardPathFree = false;
    networkManage link(port, *deal, settings());
    LinkClient tool = LinkClient::tcp(link.localPort());
    Bytes batch;
    for (int i = 0; i < 1002; ++i) {
        const Bytes one = cardReadFor(i < 2 ? 0 : 1, uint8_t(i));
        batch.insert(batch.end(), one.begin(), one.end());
    }
    ASSERT_GT(batch.size(), networkManage::kFloodingBytes + networkManage::kReadSize);
    ASSERT_TRUE(tool.send(batch));
    EXPECT_TRUE(eventually([&] { return port.lastFloods.load(); }));
    EXPECT_FALSE(port.lastEnded.load()) << "a flooder has not ended its sending";

    port.claimGrants = 1;
    ASSERT_TRUE(eventually([&] { return port.forwardedCount.load() == 1; }));
    const Bytes answer = TestFrames::body(0xF010, 0x0001, 0x61, {0, 0, 0, 0, 0});
    {
        IrqLock irq(port);
        ASSERT_TRUE(ControlLink::deliverCardAnswer(port, LINK_TCP, port.sender(), answer.data(), uint32_t(answer.size())));
    }
    EXPECT_EQ(tool.receive(), answer);
    const int claimsBefore = port.claims.load();
    EXPECT_TRUE(eventually([&] { return port.claims.load() > claimsBefore + 2 && !port.lastFloods.load(); }))
        << "floods after taking an answer";
    EXPECT_FALSE(port.lastEnded.load());

    ASSERT_EQ(::shutdown(tool.fd(), SHUT_WR), 0);
    EXPECT_TRUE(eventually([&] { return port.lastEnded.load(); }));
    port.cardPathFree = true;
    EXPECT_TRUE(eventually([&] { return port.forwardedCount.load() == 1002; })) << port.forwardedCount.load();
}

// The card requests of a client that ended its sending that the card path
// drops are named on standard error once per client and port, whatever
// their number, and the line says the client ended its sending.
TEST_F(Links, ATcpClientsDroppedCardRequestsAreLoggedOncePerPort)
{
    port.cardPathFree = false;
    port.dropEnded = true;
    networkManage link(port, *deal, settings());
    LinkClient tool = LinkClient::tcp(link.localPort());
    const std::string key = "tcp#1 127.0.0.1:" + std::to_string(LinkSocket::localPort(tool.fd()));
    Bytes batch;
    for (int i = 0; i < 600; ++i) {
        const Bytes one = cardReadFor(i < 300 ? 0 : 255, uint8_t(i));
        batch.insert(batch.end(), one.begin(), one.end());
    }
    // No assertion may end the test while standard error is captured.
    ::testing::internal::CaptureStderr();
    const bool sent = tool.send(batch) && ::shutdown(tool.fd(), SHUT_WR) == 0;
    const bool dropped = eventually([&] { return link.droppedFrames() == 600; });
    const std::string log = ::testing::internal::GetCapturedStderr();
    port.dropEnded = false;
    ASSERT_TRUE(sent);
    EXPECT_TRUE(dropped) << link.droppedFrames();
    const std::string line = "kelT57N: " + key + " ended its sending and two of its card requests to ";
    const std::string rest = " in a row went unanswered: its other card requests there are dropped\n";
    EXPECT_EQ(log, line + "port 0" + rest + line + "all ports" + rest);
    EXPECT_EQ(port.forwardedCount.load(), 0);
}

// A card answer queued by the FPGA side wakes its link, of whatever kind,
// at once, however long its idle wait; it is sent whatever the shared
// ready flag says (the next request, on any link, clears it), and answers
// queued in one go all go.
TEST_F(Links, CardAnswersAreSentAtOnceAndNoneIsLost)
{
    const Bytes first = TestFrames::body(0xF010, 0x2005, 0x61, {0, 1});
    const Bytes second = TestFrames::body(0xF010, 0x2005, 0x61, {0, 2});
    for (const LinkCase& c : linkCases()) {
        SCOPED_TRACE(c.name);
        auto link = c.link(idleFor60s());
        LinkClient tool = c.client(*link);
        ASSERT_TRUE(cardRequestForwarded(tool));
        std::thread fpgaSide([&] {
            IrqLock irq(port);
            for (const Bytes* a : {&first, &second}) {
                port.passby = c.id;
                ControlLink::deliverCardAnswer(port, c.id, port.sender(), a->data(), uint32_t(a->size()));
            }
            port.setReplyReady(false);
        });
        fpgaSide.join();
        EXPECT_EQ(tool.receive(), first);
        EXPECT_EQ(tool.receive(), second);
    }
}

// Of all the process's threads, in milliseconds.
long long processorTimeUsedMs()
{
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<long long>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

// Its card answer sent, a link waits for the next frame without using the
// processor: the wake-up that sent the answer is used up.
TEST_F(Links, ALinkRestsOnceItsCardAnswerIsSent)
{
    const Bytes answer = TestFrames::body(0xF010, 0x2005, 0x61, {0, 7});
    for (const LinkCase& c : linkCases()) {
        SCOPED_TRACE(c.name);
        auto link = c.link(idleFor60s());
        LinkClient tool = c.client(*link);
        ASSERT_TRUE(cardRequestForwarded(tool));
        {
            IrqLock irq(port);
            ASSERT_TRUE(
                ControlLink::deliverCardAnswer(port, c.id, port.sender(), answer.data(), uint32_t(answer.size())));
        }
        ASSERT_EQ(tool.receive(), answer);
        constexpr long long kWindowMs = 1500;
        const long long before = processorTimeUsedMs();
        std::this_thread::sleep_for(std::chrono::milliseconds(kWindowMs));
        // A spinning link thread takes a whole core, and on a busy machine
        // still far more than this.
        EXPECT_LT(processorTimeUsedMs() - before, kWindowMs / 8) << "ms of processor time while idle";
    }
}

// Told to stop, a link ends its idle wait at once, however long it is.
// The stop is timed on the clock, as the idle wait is: a prompt stop takes
// a few milliseconds, 20 ms at most beside busy loops four times the cores
// in the Release, Debug and sanitizer builds; a link that waited out its
// idle wait takes 60 s. The bound lies between. The answer before the stop
// is given up on after 20 s, not the client's 2 s: a loaded machine may be
// slower.
TEST_F(Links, EveryLinkStopsAtOnceHoweverLongItsIdleWait)
{
    for (const LinkCase& c : linkCases()) {
        SCOPED_TRACE(c.name);
        auto link = c.link(idleFor60s());
        LinkClient tool = c.client(*link);
        ASSERT_TRUE(tool.send(TestFrames::request(CMD_DEVICE_INFO, {})));
        Bytes answer;
        for (int tries = 0; tries < 10 && answer.empty(); ++tries)
            answer = tool.receive();
        ASSERT_FALSE(answer.empty());
        // Its answer sent, the link thread settles into its idle wait.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const auto start = std::chrono::steady_clock::now();
        link.reset();
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        EXPECT_LT(ms.count(), 20000) << "ms to stop";
        std::printf("%s link stopped in %lld ms\n", c.name, static_cast<long long>(ms.count()));
    }
}

TEST_F(Links, CardAnswerForNoLinkIsDropped)
{
    const Bytes answer = TestFrames::body(0xF010, 0x2005, 0x61, {0});
    EXPECT_FALSE(ControlLink::deliverCardAnswer(port, LINK_NONE, "", answer.data(), uint32_t(answer.size())));
    // No serial link exists in this test.
    EXPECT_FALSE(ControlLink::deliverCardAnswer(port, LINK_UART, "/dev/ttyS2", answer.data(), uint32_t(answer.size())));
    // A UDP link that forwarded no request of this sender.
    udpnetManage link(port, *deal, settings());
    EXPECT_FALSE(
        ControlLink::deliverCardAnswer(port, LINK_UDP, "127.0.0.1:9", answer.data(), uint32_t(answer.size())));
    EXPECT_FALSE(port.replyReadyFlag.load());
}

TEST_F(Links, TheLinkLoopDropsATransferItsToolAbandoned)
{
    udpnetManage link(port, *deal, settings());
    LinkClient c = LinkClient::udp(link.localPort());
    const Bytes start = TestFrames::cat({{0, 'O', 'S', 'D', 'S'}, TestFrames::u32(100)});
    ASSERT_EQ(TestFrames::status(c.exchange(TestFrames::request(CMD_WRITE_FILE_START, start))), ST_OK);
    EXPECT_EQ(port.update.load(), 1);
    port.tickCount += FileTransfer::kStaleTicks;
    EXPECT_TRUE(eventually([&] { return port.update.load() == 0; }));
}

TEST_F(Links, FramesWithABadCheckByteGetNoAnswer)
{
    udpnetManage link(port, *deal, settings());
    LinkClient c = LinkClient::udp(link.localPort());
    Bytes body = TestFrames::body(0xF100, 0xF020, CMD_DEVICE_INFO, {});
    body.back() ^= 0xFF;
    c.send(TestFrames::wire(body));
    // Answers come in order: the first one seen belongs to the good request.
    const Bytes a = c.exchange(TestFrames::request(CMD_READ_RAM, TestFrames::ramRead(0, 1)));
    ASSERT_FALSE(a.empty());
    EXPECT_EQ(a.at(PhyFrame::kCmd), CMD_READ_RAM);
}

} // namespace
} // namespace kel::test
