#include "ui/support/ShellFixture.h"

#include "ledout/LedGlobals.h"
#include "ledout/RcvResultList.h"
#include "ledout/fpga_manage.h"
#include "params/RamLayout.h"
#include "params/SyncReason.h"
#include "params/global.h"
#include "ui/pages/registerPageMakers.h"
#include "ui/pages/screen/rcv_recovery.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/PanelKeys.h"
#include "ui/shell/QRoundProgressBar.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>

#include <thread>

namespace kel::test {
namespace {

const QString kRest = "color:rgb(255, 255, 255);border:1px solid rgb(255, 255, 255);";
const QString kFocus = "color:rgb(255, 255, 255);border:1px solid rgb(255,171,84);";

class RcvRecoveryPage : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        registerPageMakers();
        fpga_manage::pInstance();
        g_send_para.head = 0;
        g_send_para.send_cards_found = 0xFFFF;
        g_usb_grade = 0;
        g_rcv_results.clear();
    }
    void TearDown() override
    {
        ShellFixture::TearDown();
        fpga_manage::destroyInstance();
        g_send_para.head = 0;
        g_rcv_results.clear();
    }
    static Step open()
    {
        return []() {
            g_page_focus = PageFocus::AdvancedOption;
            PageOpener::open(PageFocus::rcv_recovery);
        };
    }
    // Progress as the FPGA manager thread reports it; the queued call
    // reaches the page before the script's next step.
    static void report(int value)
    {
        std::thread t([value]() { emit fpga_manage::p_fpga_manage->progress_relay.recoveryProgress(value); });
        t.join();
        QCoreApplication::sendPostedEvents(g_rcv_recovery, QEvent::MetaCall);
    }
    static QString text(const char* name) { return static_cast<QLabel*>(find(name))->text(); }
    static QString buttonText(const char* name) { return static_cast<QPushButton*>(find(name))->text(); }
};

TEST_F(RcvRecoveryPage, QueryPostsTheCheckOpensThePopupAndFollowsTheFpgaThread)
{
    g_send_para.set_send_step(0x33);   // a step left over: the post stores both bytes
    run({open(), [this]() {
             ASSERT_EQ(g_page_focus, PageFocus::rcv_recovery);
             EXPECT_EQ(text("label_title"), "Receiving card self recovery");
             EXPECT_EQ(styleOf("Button_check"), kFocus);
             key(PanelKeys::kOk);
             EXPECT_EQ(g_send_para.head.load(), 0x0005);
             ASSERT_NE(g_qround_bar, nullptr);
             report(40);
         },
         [this]() {
             ASSERT_NE(g_qround_bar, nullptr);
             EXPECT_EQ(g_qround_bar->getValue(), 40);
             // Busy: focus moves, Back and Mode do nothing.
             key(PanelKeys::kRight);
             key(PanelKeys::kBack);
             testing::internal::CaptureStdout();
             key(PanelKeys::kMode2);
             EXPECT_EQ(testing::internal::GetCapturedStdout().find("update_usb_keyEvent"), std::string::npos)
                 << "a held Mode key does not reach the keypad handling";
             EXPECT_EQ(g_page_focus, PageFocus::rcv_recovery);
             EXPECT_EQ(g_rcv_recovery->selected(), rcv_recovery::RowQuery);
             g_send_para.finish();
             report(100);
         },
         [this]() {
             EXPECT_EQ(g_qround_bar, nullptr);
             key(PanelKeys::kRight);
             EXPECT_EQ(styleOf("Button_self_covery"), kFocus);
             EXPECT_EQ(styleOf("Button_check"), kRest);
             key(PanelKeys::kRight2);
             EXPECT_EQ(g_rcv_recovery->selected(), rcv_recovery::RowQuery) << "Right wraps";
         }});
}

TEST_F(RcvRecoveryPage, NothingIsPostedWhileTheMailboxOrTheUpgradeIsBusy)
{
    run({open(), [this]() {
             g_send_para.set_command(SendPara::send_cmd_mapping_enable);
             key(PanelKeys::kOk2);
             EXPECT_EQ(g_send_para.command(), SendPara::send_cmd_mapping_enable);
             EXPECT_EQ(g_qround_bar, nullptr);
             g_send_para.finish();
             g_usb_grade = 1;
             key(PanelKeys::kOk);
             EXPECT_EQ(g_send_para.command(), 0);
             EXPECT_EQ(g_qround_bar, nullptr);
             g_usb_grade = 0;
         }});
}

struct EntryCase {
    const char* entry;
    const char* row;        // empty: the entry is not shown
    uint8_t recoveryPosts;  // command after OK on Recovery
};

// Result entries as the check writes them, and what Recovery does then.
TEST_F(RcvRecoveryPage, ResultRowsAndRecovery)
{
    const EntryCase cases[] = {
        {"02/01/07/05", "Find Screen02, LED01, Rcv<font color = #FF0000 >07</font>", 0},
        {"01/16/03/08", "Find Screen01, LED16, Rcv<font color = #FFFFFF >03</font>", 6},
        {"01/02/03", "", 6},   // not drawn, yet the list holds a finding
    };
    for (const EntryCase& c : cases) {
        SCOPED_TRACE(c.entry);
        g_send_para.head = 0;
        g_rcv_results.setFound(c.entry);
        run({open(), [this, c]() {
                 const QStringList rows = g_rcv_recovery->shownRows();
                 EXPECT_EQ(rows, QString(c.row).isEmpty() ? QStringList() : QStringList{c.row});
                 if (!rows.isEmpty()) {
                     EXPECT_EQ(find("frame_file")->findChild<QLabel*>()->styleSheet(),
                               "background-color:#4777FF;color: #FFFFFF;")
                         << "the first row starts chosen";
                 }
                 key(PanelKeys::kRight);
                 key(PanelKeys::kOk);
                 EXPECT_EQ(g_send_para.command(), c.recoveryPosts);
                 EXPECT_EQ(g_qround_bar != nullptr, c.recoveryPosts != 0);
                 if (g_qround_bar)
                     g_qround_bar->para_sync(100);
             }});
    }
}

TEST_F(RcvRecoveryPage, RecoveryWithoutAFindingFallsBackToQuery)
{
    g_rcv_results.setFound("02/01/07/05");   // beyond the file: Recovery refused
    run({open(), [this]() {
             EXPECT_TRUE(g_rcv_recovery->notInFile());
             key(PanelKeys::kOk);   // Query withdraws the finding
             EXPECT_EQ(text("label_empty"), "No receiving cards that need to be updated!");
             g_send_para.finish();
             g_qround_bar->para_sync(100);
             EXPECT_FALSE(g_rcv_recovery->notInFile());
             key(PanelKeys::kLeft);
             EXPECT_EQ(g_rcv_recovery->selected(), rcv_recovery::RowRecovery);
             key(PanelKeys::kOk);
             EXPECT_EQ(g_send_para.command(), 0);
             EXPECT_EQ(g_rcv_recovery->selected(), rcv_recovery::RowQuery);
             EXPECT_EQ(styleOf("Button_check"), kFocus);
             EXPECT_EQ(styleOf("Button_self_covery"), kRest);
         }});
}

TEST_F(RcvRecoveryPage, RedrawsOnlyForAFindingOrAWithdrawal)
{
    run({open(), [this]() {
             g_rcv_results.setFound("01/03/05/12");
             g_send_para.send_cards_found = 0xFF;
             g_rcv_recovery->syncUpdate(2);
             EXPECT_TRUE(g_rcv_recovery->shownRows().isEmpty());
             g_rcv_recovery->syncUpdate(SYNC_RCV_RECOVERY);
             EXPECT_EQ(g_rcv_recovery->shownRows().size(), 1);
             g_rcv_results.clear();
             g_send_para.send_cards_found = 4;
             g_rcv_recovery->syncUpdate(SYNC_PARA);
             EXPECT_TRUE(g_rcv_recovery->shownRows().isEmpty());
         }});
}

TEST_F(RcvRecoveryPage, LanguagesFallBackToEnglish)
{
    g_lcd_lang_valid = 0x17;   // Vietnamese not offered
    g_language = 3;
    run({open(), [this]() {
             EXPECT_EQ(text("label_title"), "Receiving card self recovery");
             EXPECT_EQ(buttonText("Button_self_covery"), "Recovery");
         }});
    g_language = 2;
    run({open(), [this]() {
             EXPECT_EQ(buttonText("Button_check"), QString::fromUtf8("Считать"));
             EXPECT_EQ(text("label_rcv_update"), QString::fromUtf8("Получить обновление карты"));
         }});
    g_lcd_lang_valid = 0x1F;
    g_language = 1;
}

} // namespace
} // namespace kel::test
