#include "CardProcedureFixture.h"

#include "ledout/LedGlobals.h"
#include "ledout/fpga_manage.h"
#include "params/global.h"
#include "platform/sim/SimCardChain.h"

namespace kel::test {
namespace {

constexpr uint32_t kAnswerWait = 1200;

class CardMailbox : public CardProcedureFixture {};

// Silent cards: every position write and the register write wait out their
// 12 s; the positions and the register still reach each card.
TEST_F(CardMailbox, SmartMappingPositionsEveryCardThenSetsRegister1)
{
    line_type = LineType{128, 64, 10, 5, 2, 1, 3, 10};
    cards(2, 3, true);
    const uint32_t used = runCommand(SendPara::send_cmd_smartmapping, 8000);
    ASSERT_LT(used, 8000u);
    EXPECT_GT(used, 4 * kAnswerWait) << "three positions and the register write each wait it out";
    for (int k = 0; k < 3; ++k) {
        uint16_t x = 0, y = 0;
        fpga_manage::get_rcvcard_x_y(k, &x, &y);
        const auto card = chain(2).card(k);
        EXPECT_EQ(card.u16(0x180), uint16_t(x + 10)) << k;
        EXPECT_EQ(card.u16(0x182), uint16_t(y + 5)) << k;
        EXPECT_EQ(card.regs[1], 0xFF) << k;
    }
    EXPECT_TRUE(inOrder(smartProgress, {25, 50, 75, 75, 90, 100}));
    EXPECT_EQ(smartProgress.back(), 100);
    EXPECT_TRUE(recoveryProgress.empty());
}

// Answering cards: each wait ends with the answer, so the progress is
// exactly the procedure's own values.
TEST_F(CardMailbox, AnsweredProceduresReportTheirProgressSteps)
{
    line_type.port = 6;
    cards(6, 3);
    const uint32_t used = runCommand(SendPara::send_cmd_smartmapping, 2000);
    EXPECT_LT(used, 300u);
    EXPECT_EQ(smartProgress, (std::vector<int>{25, 50, 75, 75, 90, 100}));
    EXPECT_EQ(chain(6).card(2).regs[1], 0xFF);

    cards(0, 2);
    cards(5, 1);
    runCommand(SendPara::send_cmd_save_para, 2000);
    EXPECT_EQ(smartProgress, (std::vector<int>{0, 29, 35, 95, 100}));
    EXPECT_EQ(chain(6).card(0).saves, 1);
}

TEST_F(CardMailbox, SmartMappingWithoutCardsEndsAt90Then100)
{
    line_type.port = 4;
    const uint32_t used = runCommand(SendPara::send_cmd_smartmapping, 1000);
    EXPECT_EQ(smartProgress, (std::vector<int>{90, 100}));
    EXPECT_GE(used, 201u);
    EXPECT_LT(used, 220u);
    EXPECT_TRUE(framesTo(4, 0x60).empty());
}

// One frame per port with cards; the save wait grows with the card count.
TEST_F(CardMailbox, SaveAndMappingEnableServeEachPortWithCards)
{
    cards(0, 1, true);
    cards(5, 8, true);
    const uint32_t used = runCommand(SendPara::send_cmd_save_para, 10000);
    EXPECT_TRUE(inOrder(smartProgress, {0, 29, 95, 100}));
    EXPECT_GT(used, (100 + 1200) + (800 + 1200));
    EXPECT_LT(used, (100 + 1200) + (800 + 1200) + 300);
    EXPECT_EQ(chain(0).card(0).saves, 1);
    EXPECT_EQ(chain(5).card(7).saves, 1);
    EXPECT_EQ(framesTo(0, 0x81).size() + framesTo(5, 0x81).size(), 2u);

    g_send_para.send_arg = 9;
    runCommand(SendPara::send_cmd_mapping_enable, 10000);
    EXPECT_EQ(chain(5).card(3).regs[3] & 0x0F, 9);
    g_send_para.send_arg = 0;
    runCommand(SendPara::send_cmd_mapping_enable, 10000);
    EXPECT_EQ(chain(0).card(0).regs[3] & 0x0F, 0);
    EXPECT_TRUE(inOrder(smartProgress, {0, 29, 95, 100}));
}

// A host frame holds a waiting procedure; 80 ticks after the last one it
// resumes with its wait started again.
TEST_F(CardMailbox, HostFrameFreezesTheProcedure)
{
    cards(0, 2, true);
    ASSERT_TRUE(post_send_command(SendPara::send_cmd_smartmapping));
    runUntil([] { return g_send_para.send_step() == 3; }, 10);
    ASSERT_EQ(g_send_para.send_step(), 3);
    const uint16_t positioned = g_send_para.send_card_index;
    advance(1000);
    pc_cmd_valid = 1;
    uint32_t lastHostFrame = 0;
    for (int t = 0; t < 300; ++t) {
        if (t < 150)
            lastHostFrame = pc_cmd_time = G_timeTicks.load();
        pass();
        advance(1);
    }
    EXPECT_EQ(pc_cmd_valid, 0) << "the hold ends 80 ticks after the last host frame";
    EXPECT_EQ(g_send_para.send_step(), 3);
    EXPECT_EQ(g_send_para.send_card_index, positioned);
    const uint32_t resumed = lastHostFrame + 81;
    runUntil([] { return g_send_para.send_step() != 3; }, 2000);
    EXPECT_EQ(G_timeTicks.load() - resumed, kAnswerWait + 2) << "the whole wait runs again";

    // While the USB upgrade runs, the step byte is its own: nothing moves.
    const uint16_t head = g_send_para.head;
    g_usb_grade = 1;
    m().SmartMapping_deal();
    EXPECT_EQ(g_send_para.head.load(), head);
    g_usb_grade = 0;
}

TEST_F(CardMailbox, ScanRecordsComeFromTheChosenFile)
{
    FileBytes f(4, 0);
    putLe(f, 4 + 22, 0x0102, 2);        // record 1
    putLe(f, 4 + 22 + 2, 0x11223344, 4);
    putLe(f, 4 + 22 + 18, uint32_t(-25), 4);
    writeFile("/mnt/usb1/a.qjfile", f);
    g_qjfile_name = "/mnt/usb1/a.qjfile";
    m().scan_op_count = 3;
    SCAN_PARA out;
    EXPECT_EQ(m().get_operate_deal_para(&out, 1), 0);
    EXPECT_EQ(out.scan_op, 0x0102);
    EXPECT_EQ(out.scan_register, 0x11223344u);
    EXPECT_EQ(out.scan_time, -2);
    out.scan_op = 7;
    EXPECT_EQ(m().get_operate_deal_para(&out, 2), 1) << "the file ends inside record 2";
    EXPECT_EQ(m().get_operate_deal_para(&out, 3), 1) << "beyond the accepted records";
    g_qjfile_name = "/data/rcvrecovery/QJFX";
    EXPECT_EQ(m().get_operate_deal_para(&out, 0), 1) << "outside the scan folders";
    EXPECT_EQ(out.scan_op, 7);
}

} // namespace
} // namespace kel::test
