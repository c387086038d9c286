#include "CardProcedureFixture.h"

#include "ledout/LedGlobals.h"
#include "ledout/RcvResultList.h"
#include "ledout/fpga_manage.h"
#include "params/SyncReason.h"
#include "params/global.h"
#include "platform/sim/SimCardChain.h"

#include <QFile>

#include <algorithm>
#include <functional>

namespace kel::test {
namespace {

const std::string kQjfx = "/data/rcvrecovery/QJFX";

std::vector<uint8_t> bytes(size_t n)
{
    std::vector<uint8_t> b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = uint8_t(i * 13 + 1);
    return b;
}

OpSpec op(uint8_t type, uint8_t target, uint32_t addr, std::vector<uint8_t> data, uint32_t timeticks = 100)
{
    OpSpec o;
    o.type = type;
    o.target = target;
    o.targetAddr = addr;
    o.timeticks = timeticks;
    o.data = std::move(data);
    return o;
}

uint32_t u32(const std::vector<uint8_t>& f, size_t at)
{
    return uint32_t(f[at]) | uint32_t(f[at + 1]) << 8 | uint32_t(f[at + 2]) << 16 | uint32_t(f[at + 3]) << 24;
}
uint16_t cardOf(const std::vector<uint8_t>& f) { return uint16_t((f[0] | f[1] << 8) & 0x0FFF); }

// A screen of three ports (0, 1, 2) with two cards each.
ScreenSpec screen(uint32_t config)
{
    ScreenSpec s;
    s.config_id = config;
    for (uint16_t p = 0; p < 3; ++p)
        s.ports.push_back(PortSpec{p, {CardSpec{{op(1, 1, 0x100, bytes(4))}}, CardSpec{}}});
    return s;
}

class CardRecovery : public CardProcedureFixture {
public:
    void SetUp() override
    {
        CardProcedureFixture::SetUp();
        for (int p = 0; p < 3; ++p)
            cards(p, 2, true);
    }
    // The finding of an earlier check: card `card` on output port `port`
    // of screen 0 (its port records are in port order).
    void found(uint8_t port, uint8_t card)
    {
        m().recovery_screen = 0;
        m().recovery_net = port;
        m().recovery_net_index = port;
        m().recovery_card = card;
        g_rcv_results.setFound(RcvResultList::entryText(1, port + 1, card + 1, 2));
    }
};

TEST_F(CardRecovery, CheckOfSilentScreensWaitsForEachPortAndFindsNothing)
{
    writeFile(kQjfx, recoveryFile({screen(0x11), screen(0x22)}));
    g_send_para.send_cards_found = 0;   // as left at start-up
    reasons.clear();
    for (int p = 0; p < 3; ++p)
        chain(p).clearReceived();
    const uint32_t used = runCommand(SendPara::send_cmd_rcv_check, 6000);
    for (int p = 0; p < 3; ++p)
        EXPECT_EQ(framesTo(p, 0x10).size(), 2u) << "one search per screen on port " << p;
    EXPECT_GT(used, 240u + 6 * 500);
    EXPECT_LT(used, 240u + 6 * 500 + 60);
    EXPECT_EQ(g_rcv_results.view().count, 0);
    EXPECT_EQ(recoveryProgress.back(), 100);
    EXPECT_TRUE(reasons.empty()) << "nothing found, nothing announced";
}

struct FailCase {
    const char* name;
    uint8_t command;
    std::function<void(CardRecovery&)> arrange;
    bool viaError;   // through the error state: 100 ticks later, with SYNC_PARA
};

// Every failure ends with the mailbox idle and progress 100, reporting no
// earlier finding.
TEST_F(CardRecovery, FailuresEndIdleAt100WithoutAStaleReport)
{
    // The recovery file of one screen: `edit` changes its description (with
    // no bytes yet), then the bytes built from it; a recovery then replays
    // card `card` of port 0.
    auto file = [](std::function<void(ScreenSpec&, FileBytes&)> edit, int card = -1) {
        return [edit, card](CardRecovery& t) {
            ScreenSpec s = screen(1);
            FileBytes f;
            edit(s, f);
            FileBytes built = recoveryFile({s});
            edit(s, built);
            writeFile(kQjfx, built);
            if (card >= 0)
                t.found(0, uint8_t(card));
        };
    };
    auto xyBase = [](const FileBytes& f) { return f.empty() ? 0 : size_t(u32(f, 4 + 12 + 8)); };
    const uint8_t check = SendPara::send_cmd_rcv_check, recover = SendPara::send_cmd_rcv_recover;
    const FailCase cases[] = {
        {"no recovery file", check, [](CardRecovery&) {}, false},
        {"two recovery files", check,
         file([](ScreenSpec&, FileBytes&) { writeFile("/data/rcvrecovery/other", {1}); }), false},
        {"file cut in the screen description", check,
         file([](ScreenSpec&, FileBytes& f) { f.resize(std::min<size_t>(f.size(), 4 + 36 + 32 + 20)); }), true},
        {"port count above 255", check,
         file([&](ScreenSpec&, FileBytes& f) { if (!f.empty()) putLe(f, xyBase(f) + 16, 300, 2); }), true},
        {"register data larger than a frame", recover,
         file([](ScreenSpec& s, FileBytes&) { s.ports[0].cards[1].ops = {op(1, 2, 0, bytes(5000))}; }, 1), true},
        {"operation data past the end", recover,
         file([](ScreenSpec& s, FileBytes& f) {
             s.ports[0].cards[1].ops = {op(1, 1, 0, bytes(1500))};
             if (!f.empty())
                 f.resize(f.size() - 100);
         }, 1), true},
        {"operation count above 255", recover,
         file([&](ScreenSpec&, FileBytes& f) { if (!f.empty()) putLe(f, xyBase(f) + 16 + 4 + 12 * 3, 300, 2); }, 0),
         true},
        {"card beyond the stored ones", recover, file([](ScreenSpec&, FileBytes&) {}, 5), true},
        {"scan file outside the scan folders", SendPara::send_cmd_load_scan,
         [](CardRecovery&) {
             writeFile("/data/smartmapping/QJFR", smartMappingFile({op(3, 1, 0, bytes(2))}));
             g_qjfile_name = "/data/smartmapping/../rcvrecovery/QJFX";
         },
         true},
        {"no scan file", SendPara::send_cmd_load_scan, [](CardRecovery&) { g_qjfile_name = "/mnt/usb1/a.qjfile"; },
         false},
    };
    for (const FailCase& c : cases) {
        SCOPED_TRACE(c.name);
        for (const char* f : {"/data/rcvrecovery/QJFX", "/data/rcvrecovery/other", "/data/smartmapping/QJFR"})
            QFile::remove(QString::fromStdString(hostPath(f)));
        g_rcv_results.clear();
        m().recovery_card = 9;
        c.arrange(*this);
        const uint8_t cardBefore = m().recovery_card;
        const uint8_t shownBefore = g_rcv_results.view().count;
        g_send_para.send_cards_found = 0;
        reasons.clear();
        const uint32_t used = runCommand(c.command, 3000);
        ASSERT_LT(used, 3000u);
        const std::vector<int>& progress = c.command == SendPara::send_cmd_load_scan ? smartProgress : recoveryProgress;
        ASSERT_FALSE(progress.empty());
        EXPECT_EQ(progress.back(), 100);
        EXPECT_EQ(m().recovery_card, cardBefore);
        EXPECT_EQ(g_rcv_results.view().count, shownBefore);
        EXPECT_EQ(std::count(reasons.begin(), reasons.end(), int(SYNC_PARA)), c.viaError ? 1 : 0);
    }
}

// The flagged card's operations go out in 1000-byte pieces in file order;
// a silent card gets each frame four times; the shown finding is withdrawn.
TEST_F(CardRecovery, RecoveryReplaysTheCardInChunksWithBoundedResends)
{
    ScreenSpec s = screen(1);
    const std::vector<uint8_t> data = bytes(2500);
    s.ports[2].cards[1].ops = {op(1, 1, 0x1000, data), op(3, 1, 0, {0xAB, 0xCD})};
    writeFile(kQjfx, recoveryFile({s}));
    found(2, 1);
    reasons.clear();
    runCommand(SendPara::send_cmd_rcv_recover, 3000);
    const auto writes = framesTo(2, 0x60);
    ASSERT_EQ(writes.size(), 12u);
    const uint32_t addr[3] = {0x1000, 0x1000 + 1000, 0x1000 + 2000};
    const uint16_t len[3] = {1000, 1000, 500};
    for (size_t i = 0; i < writes.size(); ++i) {
        EXPECT_EQ(cardOf(writes[i]), 1) << i;
        EXPECT_EQ(u32(writes[i], 10), addr[i / 4]) << i;
        EXPECT_EQ(writes[i][14] | writes[i][15] << 8, len[i / 4]) << i;
    }
    const auto card = chain(2).card(1);
    EXPECT_EQ(card.memory.at(0x1000 + 2499), data[2499]);
    EXPECT_EQ(card.firmwareActivations, 4);
    EXPECT_EQ(chain(2).card(0).firmwareActivations, 0);
    EXPECT_EQ(g_rcv_results.view().count, 0);
    EXPECT_EQ(reasons, std::vector<int>{SYNC_RCV_RECOVERY});
    EXPECT_EQ(recoveryProgress.back(), 100);

    // Exactly 2000 bytes: a third frame without data.
    s.ports[2].cards[1].ops = {op(1, 1, 0x2000, bytes(2000))};
    writeFile(kQjfx, recoveryFile({s}));
    found(2, 1);
    chain(2).clearReceived();
    runCommand(SendPara::send_cmd_rcv_recover, 3000);
    const auto even = framesTo(2, 0x60);
    ASSERT_EQ(even.size(), 12u);
    EXPECT_EQ(even[8][14] | even[8][15] << 8, 0);
    EXPECT_EQ(u32(even[8], 10), 0x2000u + 2000);
}

// Answering cards: the check stops at the port whose answer names a card,
// and the recovery that follows replays that card's operations once each.
TEST_F(CardRecovery, CheckFindsTheFlaggedCardAndRecoveryReplaysIt)
{
    ScreenSpec s = screen(0x11);
    s.ports[1].cards.resize(6);
    const std::vector<uint8_t> data = bytes(2500);
    // A zero answer wait: the answer still counts, the frame is not resent.
    // The search after the firmware activation is one frame of its own.
    s.ports[1].cards[4].ops = {op(1, 1, 0x1000, data, 0), op(3, 1, 0, {0xAB, 0xCD}), op(7, 1, 0, {0, 0, 0, 0})};
    writeFile(kQjfx, recoveryFile({s, screen(0x22)}));
    cards(0, 2);
    cards(1, 6);
    cards(2, 2);
    auto k = chain(1).knobs();
    k.recoveryCard = 4;
    chain(1).setKnobs(k);
    for (int p = 0; p < 3; ++p)
        chain(p).clearReceived();
    reasons.clear();
    runCommand(SendPara::send_cmd_rcv_check, 3000);
    EXPECT_EQ(g_rcv_results.view().entries, QStringList{"01/02/05/06"});
    EXPECT_EQ(m().recovery_net, 1);
    EXPECT_EQ(m().recovery_card, 4);
    EXPECT_EQ(reasons, std::vector<int>{SYNC_PARA});
    const auto search = framesTo(0, 0x10);
    ASSERT_EQ(search.size(), 1u);
    EXPECT_EQ(search[0][16], 1) << "recovery files are stored";
    EXPECT_EQ(u32(search[0], 17), 0x11u);
    EXPECT_TRUE(framesTo(2, 0x10).empty()) << "the check ends at the flagged port";

    reasons.clear();
    chain(1).clearReceived();
    runCommand(SendPara::send_cmd_rcv_recover, 3000);
    const auto writes = framesTo(1, 0x60);
    ASSERT_EQ(writes.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(cardOf(writes[i]), 4);
        EXPECT_EQ(u32(writes[i], 10), 0x1000u + 1000 * i);
    }
    EXPECT_EQ(writes[2][14] | writes[2][15] << 8, 500);
    EXPECT_EQ(chain(1).card(4).memory.at(0x1000 + 1234), data[1234]);
    EXPECT_EQ(chain(1).card(4).firmwareActivations, 1);
    EXPECT_EQ(framesTo(1, 0x10).size(), 1u);
    EXPECT_EQ(g_rcv_results.view().count, 0);
    EXPECT_EQ(reasons, std::vector<int>{SYNC_RCV_RECOVERY});
}

// A scan load replays the chosen file to every card of the wizard's port;
// firmware activation goes from the last card down to card 0.
TEST_F(CardRecovery, ScanLoadActivatesFirmwareFromTheLastCardDown)
{
    cards(1, 3, true);
    line_type.port = 1;
    writeFile("/mnt/usb1/b.qjfile", smartMappingFile({op(1, 1, 0x40, bytes(10)), op(3, 1, 0, {1, 2})}));
    g_qjfile_name = "/mnt/usb1/b.qjfile";
    runCommand(SendPara::send_cmd_load_scan, 3000);
    const auto writes = framesTo(1, 0x60);
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(cardOf(writes[0]), 0x0FFF) << "one write to all cards";
    std::vector<uint16_t> order;
    for (const auto& f : framesTo(1, 0xB4))
        order.push_back(cardOf(f));
    EXPECT_EQ(order, (std::vector<uint16_t>{2, 2, 2, 2, 1, 1, 1, 1, 0, 0, 0, 0}));
    EXPECT_EQ(smartProgress.back(), 100);
    EXPECT_TRUE(recoveryProgress.empty());

    // Answering cards, one silent: it alone gets the frame four times.
    cards(1, 3);
    chain(1).setCardSilent(1, true);
    chain(1).clearReceived();
    runCommand(SendPara::send_cmd_load_scan, 3000);
    order.clear();
    for (const auto& f : framesTo(1, 0xB4))
        order.push_back(cardOf(f));
    EXPECT_EQ(order, (std::vector<uint16_t>{2, 1, 1, 1, 1, 0}));
}

// Save to flash on a port of 8 silent cards: each of its 4 sends waits
// (timeticks + 8 x 1000) / 10 ticks, at most a minute (6000 ticks).
TEST_F(CardRecovery, SaveToFlashWaitGrowsWithThePortsCards)
{
    cards(3, 8, true);
    line_type.port = 3;
    const struct {
        uint32_t timeticks;
        uint32_t wait;   // ticks per send
    } cases[] = {{1000, 900}, {51000, 5900}, {52000, 6000}, {53000, 6000}, {0xFFFFF000u, 6000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.timeticks);
        chain(3).clearReceived();
        smartProgress.clear();
        writeFile("/mnt/usb1/c.qjfile", smartMappingFile({op(2, 3, 0, {}, c.timeticks)}));
        g_qjfile_name = "/mnt/usb1/c.qjfile";
        const uint32_t used = runCommand(SendPara::send_cmd_load_scan, 4 * 6000 + 600);
        EXPECT_EQ(framesTo(3, 0x81).size(), 4u);
        EXPECT_GT(used, 240u + 4 * c.wait);
        EXPECT_LT(used, 240u + 4 * c.wait + 60);
        ASSERT_FALSE(smartProgress.empty());
        EXPECT_EQ(smartProgress.back(), 100);
    }
}

// A sleep read from a scan file is capped at a minute: the load ends and
// the periodic search of the idle mailbox runs again.
TEST_F(CardRecovery, ScanFileSleepOfWeeksEndsWithinAMinute)
{
    cards(1, 3);
    line_type.port = 1;
    writeFile("/mnt/usb1/d.qjfile", smartMappingFile({op(6, 0, 0, {}, 0xFFFFFFF0u)}));
    g_qjfile_name = "/mnt/usb1/d.qjfile";
    testing::internal::CaptureStderr();
    const uint32_t used = runCommand(SendPara::send_cmd_load_scan, 8000);
    EXPECT_GE(used, 6000u);
    EXPECT_LE(used, 240u + 6000 + 20);
    // The cap reaches the program's log, with the file and the operation.
    const std::string log = testing::internal::GetCapturedStderr();
    const size_t line = log.find("ticks in card file /mnt/usb1/d.qjfile, operation ");
    ASSERT_NE(line, std::string::npos) << log;
    EXPECT_NE(log.find("capped at 6000 ticks\n", line), std::string::npos) << log;
    const int searches = chain(1).searches();
    runUntil([&] { return chain(1).searches() > searches; }, 200);
    EXPECT_GT(chain(1).searches(), searches);
}

} // namespace
} // namespace kel::test
