#include "ui/support/ShellFixture.h"

#include "params/global.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/ShellGlobals.h"
#include "ui/shell/TIP.h"
#include "ui/shell/TickThread.h"
#include "ui/shell/MainWindow.h"

#include <QFrame>
#include <QLabel>

namespace kel::test {
namespace {

class TipTest : public ShellFixture {
protected:
    QLabel* text() { return g_tip->findChild<QLabel*>("tip_text"); }
};

TEST_F(TipTest, CheckMarkNoticeGeometryAndTimeout)
{
    run({
        []() { g_tip->tip_create(1); },
        [this]() {
            EXPECT_EQ(g_tip_flag, 1);
            EXPECT_TRUE(g_tip->isVisible());
            EXPECT_EQ(g_tip->geometry(), QRect(g_mainwindow->pos() + QPoint(100, 60), QSize(120, 120)));
            ASSERT_NE(g_tip->tip_frame, nullptr);
            EXPECT_EQ(g_tip->tip_frame->geometry(), QRect(0, 0, 120, 120));
            EXPECT_EQ(g_tip->tip_frame->styleSheet(), "background-color:rgb(136, 138, 133);");
            auto* pic = g_tip->findChild<QLabel*>("tip_picture");
            ASSERT_NE(pic, nullptr);
            EXPECT_EQ(pic->geometry(), QRect(20, 20, 80, 80));
            tick(299);
            EXPECT_TRUE(g_tip->isVisible());
            tick(1); // the 300th tick ends the notice's loop
        },
        [this]() {
            EXPECT_FALSE(g_tip->isVisible());
            EXPECT_EQ(g_tip_flag, 0);
            EXPECT_EQ(g_tip->tip_count, 0);
        },
    });
}

// On the device the tick thread counts; a GUI thread kept busy for the
// notice's 3 s still ends it at its next tick.
TEST_F(TipTest, NoticeTimeoutCountsPeriodsNotCallsOfTheTick)
{
    run({
        []() { g_tip->tip_create(1); },
        []() {
            TickThread::start();
            g_mainwindow->slot_update_timer_ticks();
            G_timeTicks += TIP::kShownTicks;
            g_mainwindow->slot_update_timer_ticks();
            TickThread::stop();
        },
        []() {
            EXPECT_FALSE(g_tip->isVisible());
            EXPECT_EQ(g_tip_flag, 0);
        },
    });
}

TEST_F(TipTest, MessageTextsPerLanguage)
{
    struct Case {
        int kind;
        int language;
        uint32_t offered;
        const char* text;
    };
    const Case cases[] = {
        {4, 2, 0x1001F, "USB-накопитель отключен \nот сети."},
        {4, 2, 0x1001B, "USB drive is unplugged."},
        {3, 0, 0x1001F, "U盘已接入\n请稍候…"},
        {3, 1, 0x1001F, "USB driver is connected,please wait..."},
        {5, 3, 0x1001F, "Đang đọc,xin vui lòng chờ …"},
        {5, 4, 0x1001F, "正在讀取中，請稍候…"},
        {5, 4, 0x0000F, "Reading the data,pls wait"},
    };
    for (const Case& c : cases) {
        g_language = static_cast<uint8_t>(c.language);
        g_lcd_lang_valid = c.offered;
        run({
            [&c]() { g_tip->tip_create(c.kind); },
            [this, &c]() {
                EXPECT_EQ(g_tip->geometry(), QRect(g_mainwindow->pos() + QPoint(50, 60), QSize(220, 120)));
                ASSERT_NE(text(), nullptr);
                EXPECT_EQ(text()->text(), QString::fromUtf8(c.text));
                EXPECT_EQ(text()->geometry(), QRect(5, 5, 200, 100));
                EXPECT_EQ(text()->alignment(), Qt::AlignHCenter | Qt::AlignVCenter);
                EXPECT_EQ(text()->styleSheet(), "font: 15px");
                tick(300);
            },
        });
    }
}

TEST_F(TipTest, KindTwoOnlyDropsTheOldFrame)
{
    run({
        []() { g_tip->tip_create(1); },
        [this]() { tick(300); },
        []() {
            ASSERT_NE(g_tip->tip_frame, nullptr);
            g_tip_flag = 0;
            g_tip->tip_create(2);
            EXPECT_EQ(g_tip->tip_frame, nullptr);
            EXPECT_EQ(g_tip_flag, 0);
            EXPECT_FALSE(g_tip->isVisible());
        },
    });
}

TEST_F(TipTest, ANoticeReplacedWhileShownEndsOnTheFirstTimeout)
{
    run({
        []() { g_tip->tip_create(1); },
        [this]() {
            tick(200);
            g_tip->tip_create(4); // returns at once: the first loop still runs
            ASSERT_NE(text(), nullptr);
            tick(99);
            EXPECT_TRUE(g_tip->isVisible());
            tick(1);
        },
        []() { EXPECT_FALSE(g_tip->isVisible()); },
    });
}

TEST_F(TipTest, ModeNoticeOfTheMainMenuShowsOnceAfterTheBroadcast)
{
    g_page_focus = 1;
    g_mainwindow->notice_pending = 1;
    run({
        [this]() { ram().test_signal(1); },
        [this]() {
            EXPECT_TRUE(g_tip->isVisible());
            EXPECT_EQ(g_mainwindow->notice_pending, 0);
            tick(300);
        },
        []() { EXPECT_FALSE(g_tip->isVisible()); },
    });
}

} // namespace
} // namespace kel::test
