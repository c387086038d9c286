#include "ledout/LedGlobals.h"

#include <gtest/gtest.h>

namespace {

struct MailboxGuard {
    ~MailboxGuard()
    {
        g_send_para.finish();
        g_usb_grade = 0;
    }
};

// A page's post goes through only while no upgrade runs and no command is
// set; the refused post leaves the mailbox as it was.
TEST(SendCommandPost, RefusedWhileUpgradingOrBusy)
{
    MailboxGuard guard;
    g_send_para.finish();

    g_usb_grade = 1;
    g_send_para.set_send_step(7);   // the upgrade's own step
    EXPECT_FALSE(post_send_command(SendPara::send_cmd_smartmapping));
    EXPECT_EQ(g_send_para.command(), 0);
    EXPECT_EQ(g_send_para.send_step(), 7);

    g_usb_grade = 0;
    g_send_para.finish();
    EXPECT_FALSE(post_send_command(SendPara::send_cmd_idle));
    EXPECT_TRUE(post_send_command(SendPara::send_cmd_save_para));
    EXPECT_EQ(g_send_para.command(), SendPara::send_cmd_save_para);
    EXPECT_EQ(g_send_para.send_step(), 0);
    EXPECT_FALSE(post_send_command(SendPara::send_cmd_rcv_check));
    EXPECT_EQ(g_send_para.command(), SendPara::send_cmd_save_para);
}

}  // namespace
