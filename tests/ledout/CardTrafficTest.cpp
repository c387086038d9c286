#include "FpgaFixture.h"

#include "ledout/LedGlobals.h"
#include "ledout/fpga_manage.h"
#include "params/global.h"
#include "platform/sim/SimCardChain.h"
#include "platform/sim/SimFpga.h"
#include "platform/sim/SimFpgaBoard.h"

#include <algorithm>
#include <cstdlib>

namespace kel::test {
namespace {

using Bytes = std::vector<uint8_t>;
using platform::sim::SimCardChain;
using Knobs = platform::sim::SimFpga::Knobs;

uint8_t xorOf(const Bytes& b, size_t n)
{
    uint8_t x = 0;
    for (size_t i = 0; i < n; ++i)
        x ^= b[i];
    return x;
}

bool checkOk(const Bytes& b) { return !b.empty() && b.back() == xorOf(b, b.size() - 1); }
uint16_t u16(const Bytes& b, size_t at) { return uint16_t(b[at] | (b[at + 1] << 8)); }

// A PC tool's request for the cards: target, source 0xF010, tag, route,
// port byte, command, data, XOR byte.
Bytes pcRequest(uint16_t target, uint8_t route, uint8_t port, uint8_t cmd, const Bytes& data, uint8_t tag = 0x21)
{
    Bytes b = {uint8_t(target), uint8_t(target >> 8), 0x10, 0xF0, 0x10, tag, route, port, 0, cmd};
    b.insert(b.end(), data.begin(), data.end());
    b.push_back(xorOf(b, b.size()));
    return b;
}

const Bytes kReadPosition = {0x80, 0x01, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00};   // 0x61: address 0x180, 4 bytes

class CardTrafficTest : public FpgaFixture {
protected:
    void SetUp() override
    {
        FpgaFixture::SetUp();
        inputBoardReady();
    }
    void cards(int port, int count, const std::function<void(SimCardChain::Knobs&)>& more = {})
    {
        SimCardChain::Knobs k = chain(port).knobs();
        k.cards = count;
        if (more)
            more(k);
        chain(port).setKnobs(k);
    }
    SimCardChain& chain(int port) { return platform::sim::SimFpgaBoard::current()->chain(port); }
    uint16_t ramCount(uint16_t addr) { return u16(fpga().ram(1, addr, 2), 0); }
    uint8_t ramByte(uint16_t addr) { return fpga().ram(1, addr, 1)[0]; }
    void runTicks(uint32_t n)
    {
        for (uint32_t t = 0; t < n; ++t)
            pass(), advance(1);
    }
    // The PC side as a link does it: hold and link under the lock, then
    // forward without it.
    void forward(const Bytes& request, uint8_t link = 3)
    {
        {
            std::lock_guard<std::mutex> l(m().irq_mutex);
            m().pc_reply_ready = 0;
            g_passby_trans_port = link;
            pc_cmd_valid = 1;
            pc_cmd_time = G_timeTicks.load();
        }
        m().Dealwith1_PC_to_eth(request.data(), uint32_t(request.size()));
    }
    void bindSink()
    {
        m().setCardAnswerSink([this](uint8_t link, const std::string& sender, const uint8_t* f, uint32_t n) {
            answers.emplace_back(f, f + n);
            answeredTo.push_back(std::to_string(link) + " " + sender);
            g_passby_trans_port = 255;
            return true;
        });
    }
    std::vector<Bytes> answers;
    std::vector<std::string> answeredTo;   // link and sender of each answer's request
};

TEST_F(CardTrafficTest, SearchCountsReachImageAndRamAndSilentPortsAreCleared)
{
    cards(0, 3);
    cards(1, 2);
    cards(6, 5);
    ASSERT_LT(powerUp(), 3000u);
    runTicks(2 * 81 + 2);
    struct Where { uint16_t count, status; uint16_t cards; };
    for (const Where w : {Where{100, 104, 3}, Where{102, 106, 2}, Where{568, 570, 5}}) {
        EXPECT_EQ(ramCount(w.count), w.cards) << "RAM " << w.count;
        EXPECT_EQ(ramByte(w.status), 1) << "RAM " << w.status;
        EXPECT_EQ(u16(Bytes(m().ram_para_image[0] + w.count, m().ram_para_image[0] + w.count + 2), 0), w.cards);
    }
    runTicks(81);
    EXPECT_EQ(m().fpga_port_card_mask, 10);

    // Port 6 falls silent (port 7 has no link): cleared after the next
    // evaluated odd cycle, port 0 and 1 keep theirs.
    cards(6, 5, [](SimCardChain::Knobs& k) { k.drop = true; });
    runTicks(3 * 81);
    EXPECT_EQ(ramCount(568), 0);
    EXPECT_EQ(ramByte(570), 0);
    EXPECT_EQ(ramCount(100), 3);
    EXPECT_EQ(m().fpga_port_card_mask, 5);

    // Both ports of pair 0 fall silent. Port 1, searched in odd cycles, is
    // cleared in RAM with its status 4 bytes on; port 0 is searched only in
    // even cycles, which are not evaluated, and keeps its count.
    cards(0, 3, [](SimCardChain::Knobs& k) { k.drop = true; });
    cards(1, 2, [](SimCardChain::Knobs& k) { k.drop = true; });
    runTicks(4 * 81);
    EXPECT_EQ(ramCount(102), 0);
    EXPECT_EQ(ramByte(106), 0);
    EXPECT_EQ(ramCount(100), 3);
    EXPECT_EQ(ramByte(104), 1);
}

TEST_F(CardTrafficTest, PortsOfAPairTakeTurnsAndBitThreeStopsTheSearch)
{
    cards(0, 3);
    cards(1, 2);
    ASSERT_LT(powerUp(), 3000u);
    runTicks(4 * 81);
    EXPECT_GE(chain(0).searches(), 2);
    EXPECT_LE(std::abs(chain(0).searches() - chain(1).searches()), 1) << "one port of the pair per cycle, in turn";
    // The periodic search frame of the documented example, port 5 style.
    m().check_error_rcv_search_card_cmd(5, 0, 0, 0, 0);
    const Bytes expected = {0xFE, 0x1F, 0x00, 0xF0, 0x10, 0xAA, 0xFF, 0x06, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00,
                            0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xBD};
    ASSERT_FALSE(fpga().sentFrames(5).empty());
    EXPECT_EQ(fpga().sentFrames(5).back(), expected);

    m().write_to_register(0, 0x08, 0x08, 0);
    const int before = chain(0).searches() + chain(1).searches();
    runTicks(3 * 81);
    EXPECT_EQ(chain(0).searches() + chain(1).searches(), before);
    EXPECT_EQ(ramCount(100), 3) << "counts stay";
}

TEST_F(CardTrafficTest, BadCheckByteCountsAsNoAnswer)
{
    cards(6, 4);
    ASSERT_LT(powerUp(), 3000u);
    runTicks(2 * 81);
    ASSERT_EQ(ramCount(568), 4);
    cards(6, 4, [](SimCardChain::Knobs& k) { k.badCheck = true; });
    runTicks(3 * 81);
    EXPECT_EQ(ramCount(568), 0);
}

TEST_F(CardTrafficTest, HostHoldEndsEightyTicksAfterTheLastFrame)
{
    cards(6, 4);
    ASSERT_LT(powerUp(), 3000u);
    pc_cmd_valid = 1;
    pc_cmd_time = G_timeTicks.load();
    const int searches = chain(6).searches();
    runTicks(80);
    pass();
    EXPECT_EQ(pc_cmd_valid, 1) << "80 ticks: still held";
    EXPECT_EQ(chain(6).searches(), searches) << "no search while held";
    advance(1);
    pass();
    EXPECT_EQ(pc_cmd_valid, 0) << "81 ticks: released";
    runTicks(82);
    EXPECT_GT(chain(6).searches(), searches);
}

TEST_F(CardTrafficTest, VboWatchNeedsFourBadReadingsOfEight)
{
    ASSERT_LT(powerUp(), 3000u);
    for (const int bad : {3, 4}) {
        Knobs k = fpga().knobs();
        k.reg40BadOf8 = bad;
        fpga().setKnobs(k);
        m().vbo_fault[0] = 0;
        advance(11);
        m().check_vbo_status(0);
        EXPECT_EQ(m().vbo_fault[0], bad == 4 ? 1 : 0) << bad << " bad readings";
    }
    EXPECT_EQ(fpga().reg(3) & 0xC0, 0) << "bits 6 and 7 cleared";
    advance(11);
    m().check_vbo_status(0);
    EXPECT_EQ(fpga().reg(3) & 0x40, 0x40) << "repair step 0";
    advance(11);
    EXPECT_EQ(m().check_vbo_status(0), 0) << "register 22 bit 3 clear ends the repair";
    EXPECT_EQ(fpga().reg(3) & 0x80, 0x80);
}

TEST_F(CardTrafficTest, InterruptEventWithABadVersionMarksTheFpgaLost)
{
    ASSERT_LT(powerUp(), 3000u);
    Knobs k = fpga().knobs();
    k.version31 = 0xFF;
    fpga().setKnobs(k);
    fpga().raiseEvent();
    pass();
    EXPECT_EQ(m().reg_image(fpga_manage::FPGA_REG_STATE), 0);
    EXPECT_EQ(m().get_fpga_status(), 0u);
    EXPECT_EQ(fpga().reg(22) & 0x60, 0) << "event bits cleared";
    k.version31 = 30;
    fpga().setKnobs(k);
    EXPECT_LT(powerUp(), 3000u) << "the power-up runs again";
}

// Both only service FPGA 0's interrupt: a pending event is taken and
// cleared, with a bad version the FPGA counts as lost.
TEST_F(CardTrafficTest, TaskRunsServiceTheInterruptOfFpgaZero)
{
    const struct {
        const char* name;
        void (fpga_manage::*run)();
    } cases[] = {{"Brightness_task_run", &fpga_manage::Brightness_task_run},
                 {"Search_Card_task_run", &fpga_manage::Search_Card_task_run}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m().reg_images[0][fpga_manage::FPGA_REG_STATE] = fpga_manage::kStateRunning;
        Knobs k = fpga().knobs();
        k.version31 = 0xFF;
        fpga().setKnobs(k);
        fpga().raiseEvent();
        (m().*c.run)();
        EXPECT_EQ(fpga().reg(22) & 0x40, 0) << "event cleared";
        EXPECT_EQ(m().reg_image(fpga_manage::FPGA_REG_STATE), 0);
    }
}

class PassThroughTest : public CardTrafficTest {
protected:
    void SetUp() override
    {
        CardTrafficTest::SetUp();
        cards(0, 3);
        cards(3, 2);
        ASSERT_LT(powerUp(), 3000u);
        runTicks(2 * 81 + 2);
        fpga().setReg(128, 0x80);   // port 7 linked, no cards
        bindSink();
    }
    void serve(int passes = 20)
    {
        for (int i = 0; i < passes; ++i)
            pass(), advance(1);
    }
};

TEST_F(PassThroughTest, SinglePortRequestsGoWhereRouteAndPortSay)
{
    struct Case {
        const char* name;
        Bytes request;
        int port;          // -1: nothing is sent
        uint16_t target;
    };
    const Case cases[] = {
        {"route 0, port 6", pcRequest(0x0001, 0, 6, 0x61, kReadPosition), 5, 0x1001},
        {"route 1, port 0, target 0x2005", pcRequest(0x2005, 1, 0, 0x61, kReadPosition), 2, 0x2005},
        {"route 0, port 0", pcRequest(0x3001, 0, 0, 0x61, kReadPosition), 0, 0x3001},
        {"route 2", pcRequest(0x0001, 2, 1, 0x61, kReadPosition), -1, 0},
        {"route 0, port 17", pcRequest(0x0001, 0, 17, 0x61, kReadPosition), -1, 0},
        {"five bytes", Bytes{0x01, 0x00, 0x10, 0xF0, 0xE1}, -1, 0},
        {"1024 bytes", pcRequest(0x0001, 0, 1, 0x55, Bytes(1013, 0)), -1, 0},
    };
    for (const Case& c : cases) {
        fpga().clearSentFrames();
        forward(c.request);
        for (int port = 0; port < 16; ++port) {
            const auto sent = fpga().sentFrames(port);
            ASSERT_EQ(sent.size(), port == c.port ? 1u : 0u) << c.name << ", port " << port;
            if (port == c.port) {
                EXPECT_EQ(u16(sent[0], 0), c.target) << c.name;
                EXPECT_TRUE(checkOk(sent[0])) << c.name;
            }
        }
    }
}

// While FPGA 0 is held in reset a request is dropped, and the program's log
// says so once per hold.
TEST_F(PassThroughTest, RequestsDuringAResetHoldAreDroppedWithOneLogLinePerHold)
{
    const Bytes request = pcRequest(0x0001, 0, 6, 0x61, kReadPosition);
    testing::internal::CaptureStderr();
    for (int hold = 0; hold < 2; ++hold) {
        fpga().clearSentFrames();
        m().reset_pending[0] = 1;
        forward(request);
        forward(request);
        EXPECT_TRUE(fpga().sentFrames(5).empty()) << "hold " << hold;
        m().reset_pending[0] = 0;
        forward(request);
        EXPECT_EQ(fpga().sentFrames(5).size(), 1u) << "hold " << hold;
    }
    const std::string log = testing::internal::GetCapturedStderr();
    const std::string line = "card request dropped: FPGA 0 is in reset or not running\n";
    size_t lines = 0;
    for (size_t at = log.find(line); at != std::string::npos; at = log.find(line, at + 1))
        ++lines;
    EXPECT_EQ(lines, 2u) << log;
}

// Every card command at every length from 11 to 19 bytes: a frame too short
// for its command's layout is taken as a bad frame (no answer), a long
// enough one is answered once with status 0. Never read past (sanitizer).
TEST_F(PassThroughTest, CardsAnswerOnlyFramesLongEnoughForTheirCommand)
{
    struct Command {
        uint8_t cmd;
        size_t least;   // head, command data, check byte
    };
    const Command commands[] = {{0x10, 11}, {0x60, 19}, {0x61, 17}, {0x81, 13},
                                {0x84, 11}, {0xA0, 15}, {0xB4, 11}, {0x55, 11}};
    for (const Command& c : commands) {
        for (size_t n = 11; n <= 19; ++n) {
            answers.clear();
            forward(pcRequest(0x0000, 0, 1, c.cmd, Bytes(n - 11, 0)));
            serve();
            EXPECT_EQ(answers.size(), n >= c.least ? 1u : 0u) << std::hex << int(c.cmd) << std::dec << ", " << n;
            if (!answers.empty()) {
                EXPECT_EQ(answers[0][9], c.cmd);
                EXPECT_EQ(answers[0][10], 0);
            }
        }
    }
}

// FPGA 0 held in reset reads 0xFF everywhere (every port linked, every
// transmitter busy): neither a PC request nor the periodic search, due
// inside the hold, puts anything on its bus. Released, it is not running
// until powered up again: a request then reaches no port.
TEST_F(PassThroughTest, NothingReachesFpgaZeroWhileItIsHeldInResetOrNotRunning)
{
    const std::string fpga0 = "/dev/spidev32766.1";
    m().reset_fpga_rst(0);
    ASSERT_TRUE(fpga().inReset());
    pc_cmd_valid = 0;
    clearLog();
    forward(pcRequest(0x0001, 0, 1, 0x61, kReadPosition));
    EXPECT_TRUE(sent(fpga0).empty()) << "a request in the hold";
    pc_cmd_valid = 0;
    runTicks(50);   // the search, every 80 ticks, falls due meanwhile
    ASSERT_TRUE(fpga().inReset());
    EXPECT_TRUE(sent(fpga0).empty()) << "the passes of the hold";
    runUntil([this] { return !fpga().inReset(); }, 10);
    ASSERT_FALSE(fpga().inReset());
    fpga().clearSentFrames();
    forward(pcRequest(0x0001, 0, 1, 0x61, kReadPosition));
    for (int port = 0; port < 16; ++port)
        EXPECT_TRUE(fpga().sentFrames(port).empty()) << "not running, port " << port;
}

TEST_F(PassThroughTest, AnswerOfOneCardGoesBackOnceWithItsPort)
{
    forward(pcRequest(0x0001, 0, 1, 0x61, kReadPosition));
    serve();
    ASSERT_EQ(answers.size(), 1u);
    const Bytes& a = answers[0];
    EXPECT_EQ(u16(a, 0), 0xF010);
    EXPECT_EQ(u16(a, 2), 0x0001) << "port bits cleared";
    EXPECT_EQ(a[7], 1);
    EXPECT_EQ(a[10], 0);
    EXPECT_TRUE(checkOk(a));
    EXPECT_EQ(g_passby_trans_port, 255);

    // Every card of the chain answers a request to all its cards, with the
    // same tag, command and port: the tool gets one answer.
    answers.clear();
    cards(0, 3, [](SimCardChain::Knobs& k) { k.allAnswer = true; });
    forward(pcRequest(0x0FFF, 0, 1, 0x61, kReadPosition));
    serve();
    EXPECT_EQ(answers.size(), 1u);
}

TEST_F(PassThroughTest, AllPortsAnswersJoinIntoOne)
{
    fpga().clearSentFrames();
    forward(pcRequest(0x0FFF, 1, 255, 0x61, kReadPosition, 0x33));
    EXPECT_EQ(fpga().sentFrames(0).size(), 1u);
    EXPECT_EQ(fpga().sentFrames(3).size(), 1u);
    EXPECT_TRUE(fpga().sentFrames(7).empty()) << "no cards on port 7";
    serve();
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(u16(answers[0], 2), 0x0FFF);
    EXPECT_EQ(answers[0][7], 255);
    EXPECT_TRUE(checkOk(answers[0]));
    EXPECT_EQ(m().multicast_pending, 0);

    // A search for all ports is joined with the search address as source and
    // stores no count, though the cards now report others; a search of one
    // port stores its count.
    cards(0, 5);
    cards(3, 4);
    const auto image = [this] { return Bytes(&m().ram_para_image[0][0], &m().ram_para_image[1][0] + kRamImageSize); };
    const Bytes before = image();
    answers.clear();
    forward(pcRequest(0x0FFE, 1, 255, 0x10, Bytes(20, 0), 0x36));
    serve();
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(u16(answers[0], 2), 0x0FFE);
    const uint16_t reported = u16(answers[0], 11);
    EXPECT_TRUE(reported == 5 || reported == 4) << reported;
    EXPECT_EQ(ramCount(100), 3);
    EXPECT_EQ(ramCount(110), 2);
    EXPECT_TRUE(image() == before) << "parameter images of both FPGAs";
    forward(pcRequest(0x0FFE, 1, 4, 0x10, Bytes(20, 0), 0x37));
    serve();
    EXPECT_EQ(ramCount(110), 4);

    // Port 0's count drops to 0 once the request is out: its answer comes
    // all the same and must not hold back the join of port 3.
    answers.clear();
    forward(pcRequest(0x0FFF, 1, 255, 0x61, kReadPosition, 0x34));
    m().ram_para_image[0][100] = 0;
    serve();
    EXPECT_EQ(answers.size(), 1u);
}

TEST_F(PassThroughTest, WrongTagNoLinkAndZeroPortAnswers)
{
    // A wrong tag in an all-ports answer holds the join back.
    cards(3, 2, [](SimCardChain::Knobs& k) { k.wrongTag = true; });
    forward(pcRequest(0x0FFF, 1, 255, 0x61, kReadPosition, 0x33));
    serve();
    EXPECT_TRUE(answers.empty());
    cards(3, 2, [](SimCardChain::Knobs& k) { k.wrongTag = false; });

    // An answer shorter than a frame head is released and dropped; the
    // next one passes.
    cards(0, 3, [](SimCardChain::Knobs& k) { k.truncate = 5; });
    forward(pcRequest(0x0001, 0, 1, 0x61, kReadPosition));
    serve();
    EXPECT_TRUE(answers.empty());
    EXPECT_EQ(fpga().queuedAnswers(0), 0u) << "the short answer was released";
    cards(0, 3, [](SimCardChain::Knobs& k) { k.truncate = 0; });
    forward(pcRequest(0x0001, 0, 1, 0x61, kReadPosition));
    serve();
    ASSERT_EQ(answers.size(), 1u);
    answers.clear();

    // No link recorded: dropped, nothing queued.
    forward(pcRequest(0x0001, 0, 1, 0x61, kReadPosition), 255);
    serve();
    EXPECT_TRUE(answers.empty());

    // A search of port 2 answered with port byte 0: count stored at 108,
    // passed on with port 3 and no port bits in the source.
    cards(2, 6, [](SimCardChain::Knobs& k) { k.zeroPortByte = true; });
    forward(pcRequest(0x2FFE, 1, 0, 0x10, Bytes(20, 0)));
    serve();
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(ramCount(108), 6);
    EXPECT_EQ(answers[0][7], 3);
    EXPECT_EQ(answers[0][3] & 0x30, 0);
    EXPECT_TRUE(checkOk(answers[0]));
}

// A wrong check byte does not stop an answer on its way to the PC tool, but
// it does not count toward a request for all ports.
TEST_F(PassThroughTest, WrongCheckBytePassesToThePcButJoinsNothing)
{
    cards(0, 3, [](SimCardChain::Knobs& k) { k.badCheck = true; });
    forward(pcRequest(0x0001, 0, 1, 0x61, kReadPosition));
    serve();
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(u16(answers[0], 0), 0xF010);
    EXPECT_EQ(answers[0][7], 1);
    EXPECT_FALSE(checkOk(answers[0]));

    answers.clear();
    forward(pcRequest(0x0FFF, 1, 255, 0x61, kReadPosition, 0x35));
    serve();
    EXPECT_TRUE(answers.empty()) << "port 0's answer does not complete the join";
    EXPECT_EQ(m().multicast_reply_mask, 1u << 3);
}

// Requests sent faster than anybody takes the answers: the FPGA holds what
// the device holds (its receive buffer and the last answer of each port of
// the pair) however many went, and the answers handed over are the last
// request's of each port; the others are dropped as they are read.
TEST_F(PassThroughTest, UnservedRequestsLeaveNoMoreThanTheDeviceHoldsAndOnlyTheLastIsAnswered)
{
    struct Case {
        const char* name;
        int delay;   // status polls before an answer arrives
    };
    for (const Case& c : {Case{"answers at once", 0}, Case{"answers after 5 status polls", 5}}) {
        cards(0, 3, [&](SimCardChain::Knobs& k) { k.delayPolls = c.delay; });
        cards(1, 2, [&](SimCardChain::Knobs& k) { k.delayPolls = c.delay; });
        answers.clear();
        const int lost = fpga().lostAnswers();
        for (uint8_t i = 0; i < 100; ++i) {
            forward(pcRequest(0x0001, 0, 1, 0x61, kReadPosition, i));
            forward(pcRequest(0x0001, 0, 2, 0x61, kReadPosition, uint8_t(0x80 + i)));
        }
        for (int poll = 0; poll < 10; ++poll)
            fpga().irqLevel();   // what is on its way arrives
        EXPECT_LE(fpga().queuedAnswers(0), 3u) << c.name;
        EXPECT_EQ(fpga().lostAnswers() - lost, 197) << c.name << ": 200 answers, 3 held";
        serve();
        std::vector<std::pair<int, int>> handed;   // port byte, tag
        for (const Bytes& a : answers)
            handed.emplace_back(a[7], a[5]);
        std::sort(handed.begin(), handed.end());
        const std::vector<std::pair<int, int>> last = {{1, 99}, {2, 0x80 + 99}};
        EXPECT_EQ(handed, last) << c.name << ": the last request's tag of each port";
        EXPECT_EQ(fpga().queuedAnswers(0), 0u) << c.name;
    }
}

// Only the answer to the request out now on its port is handed over: an
// answer to the request before it is dropped when it differs in tag or
// command, or when one of them went to all ports; requests to two ports
// are both out, each answered.
TEST_F(PassThroughTest, OnlyTheAnswerToTheRequestOutNowIsHandedOver)
{
    const Bytes readTwo = {0x80, 0x01, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00};
    const Bytes writeRegister = {0x05, 0x0F, 0x01, 0x03};
    struct Case {
        const char* name;
        Bytes before, now;
        uint16_t source;   // of the answer handed over
        uint8_t port;
        size_t length;
        size_t handed = 1;
    };
    const Case cases[] = {
        {"other tag", pcRequest(0x0001, 0, 1, 0x61, readTwo, 0x41), pcRequest(0x0002, 0, 1, 0x61, kReadPosition, 0x42),
         0x0002, 1, 16},
        {"other command", pcRequest(0x0001, 0, 1, 0x61, readTwo, 0x41), pcRequest(0x0002, 0, 1, 0xA0, writeRegister, 0x41),
         0x0002, 1, 15},
        {"other port", pcRequest(0x0001, 0, 1, 0x61, readTwo, 0x41), pcRequest(0x0000, 0, 4, 0x61, kReadPosition, 0x41),
         0x0000, 4, 16, 2},
        {"all ports, then one port", pcRequest(0x0FFF, 1, 255, 0x61, readTwo, 0x41),
         pcRequest(0x0002, 0, 1, 0x61, kReadPosition, 0x41), 0x0002, 1, 16},
        {"one port, then all ports", pcRequest(0x0001, 0, 4, 0x61, readTwo, 0x41),
         pcRequest(0x0FFF, 1, 255, 0x61, kReadPosition, 0x41), 0x0FFF, 255, 16},
    };
    for (const Case& c : cases) {
        answers.clear();
        forward(c.before);
        forward(c.now);
        serve();
        ASSERT_EQ(answers.size(), c.handed) << c.name;
        const auto now = std::find_if(answers.begin(), answers.end(), [&](const Bytes& a) { return a[7] == c.port; });
        ASSERT_NE(now, answers.end()) << c.name;
        EXPECT_EQ(now->size(), c.length) << c.name;
        EXPECT_EQ((*now)[5], c.now[5]) << c.name;
        EXPECT_EQ((*now)[9], c.now[9]) << c.name;
        EXPECT_EQ(u16(*now, 2), c.source) << c.name;
        EXPECT_TRUE(checkOk(*now)) << c.name;
    }
}

// One card request is out per port (a request for all ports takes every
// port). A tool (a sender on a link) asking for a port that is taken waits
// and goes once the port frees: when the answer has been handed over (to
// that tool), when the request went nowhere or was dropped, or when no
// answer came within 0.5 s. Of the addresses waiting for a port, the one
// whose last request there went longest ago goes first; inside an address,
// so do the tools that sent there twice or more, a tool that sent there
// once waits behind those already waiting, and the tools new to the port
// share one turn; a tool seen to end while it waits joins them. A request of
// a tool that ended its sending or floods holds the others twice as long
// as its port's cards took lately (5 ticks at least, a hold until one
// answered), a late answer to one replaced included; one that ended keeps its place until two of its requests to a port in a row
// went unanswered, a flooder's are never dropped; a tool that stopped
// asking for a hold loses its place.
TEST_F(PassThroughTest, CardRequestsOfTheToolsGoOnePerPortInTurn)
{
    struct Tool {
        uint8_t link;
        const char* sender;
        bool ended = false;
        const char* origin = "127.0.0.1";
        bool floods = false, again = false;
        uint32_t tries = 0;   // a UDP sender's tries in a row
    };
    const Tool udpA{3, "127.0.0.1:4000"}, udpB{3, "127.0.0.1:4001"}, tcp1{2, "tcp#1"}, tcp2{2, "tcp#2"};
    const Tool tcp2Ended{2, "tcp#2", true}, udpAEnded{3, "127.0.0.1:4000", true};
    const Tool tcp1Floods{2, "tcp#1", false, "127.0.0.1", true, true};
    // A tool that opens a new socket for every request.
    const Tool fresh1{3, "127.0.0.1:5001"}, fresh2{3, "127.0.0.1:5002"}, fresh3{3, "127.0.0.1:5003"};
    // A script's clients that connect, write several reads and close: their
    // end not seen yet when they first ask (a client still sending may ask
    // again), then seen; and a tool at another address.
    const Tool closer1Ended{2, "tcp#11", true}, closer2{2, "tcp#12", false, "127.0.0.1", false, true},
        closer3{2, "tcp#13", false, "127.0.0.1", false, true}, closer2Ended{2, "tcp#12", true},
        closer3Ended{2, "tcp#13", true}, other{3, "127.0.0.2:4000", false, "127.0.0.2"};
    const Tool udpBAgain{3, "127.0.0.1:4001", false, "127.0.0.1", false, true},
        fresh3Tries{3, "127.0.0.1:5003", false, "127.0.0.1", false, false, 2},
        tcp1Again{2, "tcp#1", false, "127.0.0.1", false, true};
    enum class Op { Claim, Dropped, Send, Serve, Wait, Holds, Leave };
    struct Step {
        Op op;
        Tool tool = {};
        Bytes request = {};   // Claim, Send
        bool may = false;     // Claim: the answer expected; Holds: a port held for the tool
        uint32_t ticks = 0;   // Wait
    };
    const Bytes read = pcRequest(0x0001, 0, 1, 0x61, kReadPosition);
    const Bytes readPort4 = pcRequest(0x0001, 0, 4, 0x61, kReadPosition);
    const Bytes noCard = pcRequest(0x0009, 0, 1, 0x61, kReadPosition);
    const Bytes emptyPort = pcRequest(0x0001, 0, 6, 0x61, kReadPosition);
    const Bytes nowhere = pcRequest(0x0001, 2, 1, 0x61, kReadPosition);
    const Bytes allPorts = pcRequest(0x0FFF, 1, 255, 0x61, kReadPosition);
    const Bytes tooLong = pcRequest(0x0001, 0, 1, 0x60, Bytes(1013, 0));   // 1024 bytes
    const Bytes route0AllPorts = pcRequest(0x0001, 0, 255, 0x61, kReadPosition);
    const auto claim = [](Tool t, const Bytes& r, bool may) { return Step{Op::Claim, t, r, may}; };
    const auto holds = [](Tool t, bool may) { return Step{Op::Holds, t, {}, may}; };
    const auto dropped = [](Tool t, const Bytes& r) { return Step{Op::Dropped, t, r}; };
    const auto leave = [](Tool t) { return Step{Op::Leave, t}; };
    const auto send = [](Tool t, const Bytes& r) { return Step{Op::Send, t, r}; };
    const Step serve{Op::Serve};
    const auto wait = [](uint32_t ticks) { return Step{Op::Wait, {}, {}, false, ticks}; };
    const auto noCounts = [this] {
        for (int port = 0; port < 16; ++port) {
            m().ram_para_image[0][fpga_manage::port_count_addr(port)] = 0;
            m().ram_para_image[0][fpga_manage::port_count_addr(port) + 1] = 0;
        }
    };
    const auto resetHeld = [this] { m().reset_pending[0] = 1; };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        std::function<void()> before = {};
        std::vector<std::string> answeredTo = {};   // empty: not looked at
    };
    const Case cases[] = {
        {"answered", {claim(udpA, read, true), send(udpA, read), claim(tcp1, read, false), serve,
                      claim(tcp1, read, true)}, {}, {"3 127.0.0.1:4000"}},
        {"no answer: 0.5 s", {claim(udpA, noCard, true), send(udpA, noCard), wait(50), claim(tcp1, read, false),
                              serve, wait(1), claim(tcp1, read, true)}},
        {"a silent port holds back no other port",
         {claim(udpA, emptyPort, true), send(udpA, emptyPort), claim(tcp1, read, true), send(tcp1, read),
          claim(udpB, readPort4, true), send(udpB, readPort4), serve, claim(tcp2, emptyPort, false)},
         {}, {"2 tcp#1", "3 127.0.0.1:4001"}},
        {"all ports wait for every port and hold every port",
         {claim(udpA, read, true), send(udpA, read), claim(tcp1, allPorts, false), claim(udpB, readPort4, false),
          serve, claim(udpB, readPort4, false), claim(tcp1, allPorts, true), send(tcp1, allPorts),
          claim(udpB, readPort4, false), serve, claim(udpB, readPort4, true)},
         {}, {"3 127.0.0.1:4000", "2 tcp#1"}},
        {"went nowhere", {claim(udpA, nowhere, true), send(udpA, nowhere), claim(tcp1, read, true)}},
        {"route 0 with port byte 255 goes nowhere",
         {claim(udpA, route0AllPorts, true), send(udpA, route0AllPorts), claim(tcp1, read, true)}},
        {"all ports, none counted", {claim(udpA, allPorts, true), send(udpA, allPorts), claim(tcp1, read, true)},
         noCounts},
        {"1024 bytes", {claim(udpA, tooLong, true), send(udpA, tooLong), claim(tcp1, tooLong, true)}},
        {"FPGA 0 held in reset", {claim(udpA, read, true), send(udpA, read), claim(tcp1, read, true)}, resetHeld},
        {"the senders of one link are tools of their own",
         {claim(udpA, read, true), send(udpA, read), claim(udpB, read, false), serve, claim(udpA, read, false),
          claim(udpB, read, true)}},
        {"tools that sent to the port less than twice go in the order asked, across links",
         {claim(tcp1, read, true), send(tcp1, read), claim(udpA, read, false), claim(tcp2, read, false), serve,
          claim(tcp1, read, false), claim(tcp2, read, false), claim(udpA, read, true), send(udpA, read), serve,
          claim(tcp1, read, false), claim(udpA, read, false), claim(tcp2, read, true), send(tcp2, read), serve,
          claim(udpA, read, false), claim(tcp1, read, true)}},
        {"stopped asking", {claim(udpA, read, true), send(udpA, read), claim(tcp1, read, false), serve, wait(51),
                            claim(udpA, read, true)}},
        {"a tool that left gives up its place at once",
         {claim(udpA, read, true), send(udpA, read), claim(tcp1, read, false), claim(tcp2, read, false), serve,
          leave(tcp1), claim(tcp2, read, true)}},
        {"a tool's request holds a port until answered or 0.5 s passed",
         {holds(udpA, false), claim(udpA, read, true), holds(udpA, true), holds(tcp1, false), send(udpA, read),
          serve, holds(udpA, false), claim(tcp1, noCard, true), send(tcp1, noCard), serve, wait(50),
          holds(tcp1, true), wait(1), holds(tcp1, false)}},
        // B (udpA) and D (tcp1) have read port 0 twice each, one at a time;
        // beside them a tool sends silent reads of port 0, each from a new
        // socket: it gets one turn between theirs, not every turn.
        {"a new socket for every request takes one turn among the others",
         {claim(udpA, read, true), send(udpA, read), serve, claim(tcp1, read, true), send(tcp1, read), serve,
          claim(udpA, read, true), send(udpA, read), serve, claim(tcp1, read, true), send(tcp1, read), serve,
          claim(fresh1, noCard, true), send(fresh1, noCard), wait(46), claim(udpA, read, false),
          claim(tcp1, read, false), claim(fresh2, noCard, false), claim(fresh3, noCard, false), wait(5),
          claim(fresh3, noCard, false), claim(fresh2, noCard, false), claim(tcp1, read, false),
          claim(udpA, read, true), send(udpA, read), serve, claim(udpA, read, false), claim(fresh3, noCard, false),
          claim(fresh2, noCard, false), claim(tcp1, read, true), send(tcp1, read), serve, claim(tcp1, read, false),
          claim(fresh3, noCard, false), claim(udpA, read, false), claim(fresh2, noCard, true),
          send(fresh2, noCard), wait(46), claim(tcp1, read, false), claim(udpA, read, false),
          claim(fresh3, noCard, false), wait(5), claim(fresh3, noCard, false), claim(tcp1, read, false),
          claim(udpA, read, true)},
         {},
         {"3 127.0.0.1:4000", "2 tcp#1", "3 127.0.0.1:4000", "2 tcp#1", "3 127.0.0.1:4000", "2 tcp#1"}},
        // A (udpA) reads port 0 and port 3 in turn beside S (tcp1) sending
        // silent reads to port 0 back to back: A's read of port 3 does not
        // count against its turn at port 0.
        {"turns are counted per port",
         {claim(udpA, read, true), send(udpA, read), serve, claim(tcp1, read, true), send(tcp1, read), serve,
          claim(udpA, read, true), send(udpA, read), serve, claim(tcp1, noCard, true), send(tcp1, noCard),
          claim(udpA, readPort4, true), send(udpA, readPort4), serve, claim(tcp1, noCard, false),
          claim(udpA, read, false), wait(50), claim(tcp1, noCard, false), claim(udpA, read, false), wait(1),
          claim(tcp1, noCard, false), claim(udpA, read, true)},
         {},
         {"3 127.0.0.1:4000", "2 tcp#1", "3 127.0.0.1:4000", "3 127.0.0.1:4000"}},
        {"a tool that ended its sending keeps its place like any other",
         {claim(tcp2, read, true), send(tcp2, read), serve, claim(tcp2, read, true), send(tcp2, read), serve,
          claim(udpA, read, true), send(udpA, read),
          claim(tcp2Ended, read, false), claim(tcp1, read, false), serve, claim(tcp1, read, false),
          claim(tcp2Ended, read, true), send(tcp2Ended, read), serve, claim(tcp1, read, true)},
         {},
         {"2 tcp#2", "2 tcp#2", "3 127.0.0.1:4000", "2 tcp#2"}},
        // A client that closed behind silent requests: two go unanswered,
        // the rest are dropped; a client still sending, or answered in
        // between, is not.
        {"two unanswered requests of a tool that ended drop its others",
         {claim(tcp2Ended, noCard, true), send(tcp2Ended, noCard), wait(51), claim(tcp1, noCard, true),
          send(tcp1, noCard), wait(51), claim(tcp2Ended, noCard, true), send(tcp2Ended, noCard), wait(51),
          claim(tcp1, noCard, true), send(tcp1, noCard), wait(51), claim(tcp1, read, true), send(tcp1, read),
          serve, dropped(tcp2Ended, read), holds(tcp2Ended, false), claim(tcp1, read, true), send(tcp1, read), serve,
          claim(udpA, noCard, true), send(udpA, noCard), wait(51), claim(udpA, read, true), send(udpA, read), serve,
          claim(udpAEnded, noCard, true), send(udpAEnded, noCard), wait(51), claim(udpAEnded, read, true)},
         {},
         {"2 tcp#1", "2 tcp#1", "3 127.0.0.1:4000"}},
        // Beside a reader of their address (udpA) and one of another, a
        // script's clients connect, write silent reads and close: once their
        // end shows, while they wait, they share one place however much each
        // queued, so each reader waits for one of their requests per turn;
        // and as they may read no answer, each holds the others 5 ticks.
        {"clients that connect, write and close share one place of their address",
         {claim(udpA, read, true), send(udpA, read), serve, claim(udpA, read, true), send(udpA, read), serve,
          claim(closer1Ended, noCard, true), send(closer1Ended, noCard), claim(closer2, noCard, false),
          claim(closer3, noCard, false), claim(udpA, read, false), claim(other, read, false), wait(5),
          claim(closer3Ended, noCard, false), claim(closer2Ended, noCard, false), claim(other, read, false),
          claim(udpA, read, true), send(udpA, read), serve, claim(closer3Ended, noCard, false),
          claim(closer2Ended, noCard, false), claim(udpA, read, false), claim(other, read, true), send(other, read),
          serve, claim(udpA, read, false), claim(closer3Ended, noCard, false), claim(other, read, false),
          claim(closer2Ended, noCard, true), send(closer2Ended, noCard), wait(5), claim(closer3Ended, noCard, false),
          claim(udpA, read, false), claim(other, read, true), send(other, read), serve,
          claim(closer3Ended, noCard, false), claim(other, read, false), claim(udpA, read, true), send(udpA, read),
          serve},
         {},
         {"3 127.0.0.1:4000", "3 127.0.0.1:4000", "3 127.0.0.1:4000", "3 127.0.0.2:4000", "3 127.0.0.2:4000",
          "3 127.0.0.1:4000"}},
        // Silence at one port costs a tool nothing at another. A flooder's
        // requests yield: each holds the port a hold against the flooder,
        // and 5 ticks against the others, whose requests then go; once two
        // in a row went unanswered, none is dropped.
        {"silence counts per port, and a flooder's requests yield, none dropped",
         {claim(udpA, read, true), send(udpA, read), serve, claim(tcp2Ended, noCard, true), send(tcp2Ended, noCard), wait(51), claim(tcp2Ended, noCard, true),
          send(tcp2Ended, noCard), wait(51), dropped(tcp2Ended, noCard), claim(tcp2Ended, readPort4, true),
          send(tcp2Ended, readPort4), serve, claim(tcp1Floods, noCard, true), send(tcp1Floods, noCard), wait(51),
          claim(tcp1Floods, noCard, true), send(tcp1Floods, noCard), wait(51), claim(tcp1Floods, noCard, true),
          send(tcp1Floods, noCard), claim(tcp1Floods, noCard, false), claim(udpA, read, false), wait(5),
          claim(udpA, read, true), send(udpA, read),
          serve, claim(tcp1Floods, noCard, true), send(tcp1Floods, noCard), wait(50),
          claim(tcp1Floods, noCard, false), wait(1), claim(tcp1Floods, read, true), send(tcp1Floods, read), serve,
          claim(tcp1Floods, noCard, true), send(tcp1Floods, noCard), wait(4), claim(udpA, read, false), wait(1),
          claim(udpA, read, true)},
         {},
         {"3 127.0.0.1:4000", "2 tcp#2", "3 127.0.0.1:4000", "2 tcp#1"}},
        // A tool that ended stands with its address's one-shots in the order
        // it asked, also when its end shows while it waits behind one that
        // asks again: the one-shots go first of the three, then the tool that
        // asks again.
        {"a client seen to end while it waits takes its address's one-shots' place",
         {claim(tcp1Again, read, true), send(tcp1Again, read), serve, claim(tcp1Again, read, true), send(tcp1Again, read), serve,
          claim(other, noCard, true), send(other, noCard), claim(closer2, noCard, false),
          claim(fresh1, noCard, false), claim(udpBAgain, noCard, false), claim(tcp1Again, read, false), wait(30),
          claim(closer2, noCard, false), claim(fresh1, noCard, false), claim(udpBAgain, noCard, false),
          claim(tcp1Again, read, false), wait(21), claim(closer2, noCard, false), claim(fresh1, noCard, false),
          claim(udpBAgain, noCard, false), claim(tcp1Again, read, true), send(tcp1Again, read), serve,
          claim(closer2Ended, noCard, true), send(closer2Ended, noCard), claim(fresh1, noCard, false), wait(5),
          claim(fresh1, noCard, false), claim(udpBAgain, noCard, true)}},
        // A tool that sent to the port once stands with its address's new
        // sockets, as a new socket on its port number would: the reader
        // waits for one of them per turn. Among them, a UDP sender that
        // asked more often in a row goes first.
        {"a tool that sent to the port once stands with its address's new sockets",
         {claim(udpA, read, true), send(udpA, read), serve, claim(udpA, read, true), send(udpA, read), serve,
          claim(fresh1, noCard, true), send(fresh1, noCard), claim(fresh2, noCard, false),
          claim(fresh1, noCard, false), claim(udpA, read, false), wait(30), claim(fresh2, noCard, false),
          claim(fresh1, noCard, false), claim(udpA, read, false), wait(21), claim(fresh2, noCard, false),
          claim(fresh1, noCard, false), claim(udpA, read, true), send(udpA, read), serve,
          claim(fresh1, noCard, false), claim(fresh2, noCard, true), send(fresh2, noCard), claim(udpA, read, false),
          wait(30), claim(fresh1, noCard, false), claim(udpA, read, false), wait(21), claim(fresh1, noCard, false),
          claim(udpA, read, true), send(udpA, read), claim(fresh3Tries, noCard, false), serve,
          claim(fresh1, noCard, false), claim(fresh3Tries, noCard, true)},
         {},
         {"3 127.0.0.1:4000", "3 127.0.0.1:4000", "3 127.0.0.1:4000", "3 127.0.0.1:4000"}},
        // A yielding request holds the others as long as its port's cards
        // took to answer lately (twice the slowest of the last answers):
        // a hold while none is on record, then 12 ticks, then 20.
        {"a yielding request holds the others as long as the port's cards take",
         {claim(tcp2Ended, noCard, true), send(tcp2Ended, noCard), claim(udpA, read, false), wait(49),
          claim(udpA, read, false), wait(1), claim(udpA, read, true), send(udpA, read), wait(12), serve,
          claim(tcp2Ended, read, true),
          send(tcp2Ended, read), claim(udpA, read, false), wait(20), claim(udpA, read, false), serve,
          claim(udpA, read, true), send(udpA, read), serve, claim(tcp2Ended, noCard, true),
          send(tcp2Ended, noCard), claim(udpA, read, false), wait(39), claim(udpA, read, false), wait(1),
          claim(udpA, read, true)},
         {},
         {"3 127.0.0.1:4000", "2 tcp#2", "3 127.0.0.1:4000"}},
        // A yielding request replaced before its answer came: the answer
        // is handed to nobody, and its 8 ticks count as the port's answer
        // time (16 ticks' yield from then on).
        {"the late answer of a replaced request counts as the port's answer time",
         {claim(udpA, read, true), send(udpA, read), serve, claim(tcp2Ended, read, true), send(tcp2Ended, read),
          claim(udpA, read, false), wait(5), claim(udpA, read, true), wait(3), serve, send(udpA, read), serve,
          claim(tcp2Ended, noCard, true), send(tcp2Ended, noCard), claim(udpA, read, false), wait(15),
          claim(udpA, read, false), wait(1), claim(udpA, read, true)},
         {},
         {"3 127.0.0.1:4000", "3 127.0.0.1:4000"}},
        // Its end seen after its request went (it wrote and shut its side
        // at once), a client's request out yields from then on, one for all
        // ports too.
        {"a request out yields once its client's end shows",
         {claim(udpA, allPorts, true), send(udpA, allPorts), serve, claim(udpA, read, true), send(udpA, read), serve,
          claim(closer2, noCard, true), send(closer2, noCard), claim(udpA, read, false),
          claim(closer2Ended, noCard, false), wait(4), claim(udpA, read, false), wait(1), claim(udpA, read, true),
          send(udpA, read), serve, leave(closer2Ended), claim(closer3, allPorts, true), send(closer3, allPorts), claim(udpA, read, false),
          claim(closer3Ended, allPorts, false), wait(4), claim(udpA, read, false), wait(1), claim(udpA, read, true)},
         {},
         {"3 127.0.0.1:4000", "3 127.0.0.1:4000", "3 127.0.0.1:4000"}},
    };
    // Every case starts from the cards counted at power-up.
    const Bytes counted(std::begin(m().ram_para_image[0]), std::end(m().ram_para_image[0]));
    for (const Case& c : cases) {
        m().pc_request = PcRequestSlot{};
        std::copy(counted.begin(), counted.end(), m().ram_para_image[0]);
        answeredTo.clear();
        if (c.before)
            c.before();
        for (size_t i = 0; i < c.steps.size(); ++i) {
            const Step& s = c.steps[i];
            switch (s.op) {
            case Op::Claim:
            case Op::Dropped: {
                std::lock_guard<std::mutex> l(m().irq_mutex);
                const uint8_t port = fpga_manage::pc_request_port(s.request.data(), uint32_t(s.request.size()));
                const PcRequestSlot::Tool tool{s.tool.link,  s.tool.sender, s.tool.origin, s.tool.ended,
                                               s.tool.again, s.tool.floods, s.tool.tries};
                const PcRequestSlot::Claim expected = s.op == Op::Dropped ? PcRequestSlot::Claim::Drop
                                                      : s.may            ? PcRequestSlot::Claim::Go
                                                                         : PcRequestSlot::Claim::Wait;
                EXPECT_EQ(int(m().pc_request.claim(tool, port, G_timeTicks.load())), int(expected))
                    << c.name << ", step " << i;
                break;
            }
            case Op::Leave: {
                std::lock_guard<std::mutex> l(m().irq_mutex);
                m().pc_request.withdraw(s.tool.link, s.tool.sender);
                break;
            }
            case Op::Holds: {
                std::lock_guard<std::mutex> l(m().irq_mutex);
                EXPECT_EQ(m().pc_request.holds(s.tool.link, s.tool.sender, G_timeTicks.load()), s.may)
                    << c.name << ", step " << i;
                break;
            }
            case Op::Send: forward(s.request, s.tool.link); break;
            case Op::Serve:
                for (int p = 0; p < 3; ++p)
                    pass();   // the tick stands: a waiting tool keeps its place
                break;
            case Op::Wait: advance(s.ticks); break;
            }
        }
        if (!c.answeredTo.empty()) {
            EXPECT_EQ(answeredTo, c.answeredTo) << c.name;
        }
        m().reset_pending[0] = 0;
    }
}

TEST_F(PassThroughTest, ControllerReadsLandInCardAnswerWithOnlyTheBytesReceived)
{
    std::fill(m().card_answer, m().card_answer + sizeof m().card_answer, 0xEE);
    uint8_t f[64];
    const uint8_t read[8] = {0x00, 0x00, 0x00, 0x02, 0x80, 0x00, 0x00, 0x00};   // sensor RAM, 128 bytes
    const uint32_t n = m().load_write_user_defined_cmd_create(0, 0, nullptr, 0, f, sizeof f, false);
    EXPECT_EQ(n, 0u) << "a user frame needs its command byte";
    const Bytes req = [&] {
        Bytes b = {0x00, 0x40, 0x00, 0xF0, 0x10, 0xBB, 0x03, 0x00, 0x00, 0x61};
        b.insert(b.end(), read, read + 8);
        b.push_back(xorOf(b, b.size()));
        return b;
    }();
    {
        std::lock_guard<std::mutex> l(m().irq_mutex);
        m().Send_to_port(req.data(), uint16_t(req.size()), 0, 0);
    }
    serve();
    ASSERT_EQ(m().card_answer_ready, 1);
    EXPECT_EQ(m().card_answer[0], 0x61);
    EXPECT_EQ(m().card_answer[1], 0);
    EXPECT_EQ(m().card_answer[2 + 49], 0xFF) << "sensor valid byte";
    EXPECT_EQ(m().card_answer[129], 0) << "beyond the answer: 0, not stale bytes";
    EXPECT_TRUE(answers.empty());
    EXPECT_EQ(chain(0).card(0).sensorReads, 1);
}

} // namespace
} // namespace kel::test
