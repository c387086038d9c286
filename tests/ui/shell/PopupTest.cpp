#include "ui/support/ShellFixture.h"

#include "params/global.h"
#include "ui/shell/FirmwareUpdate.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/PanelKeys.h"
#include "ui/shell/PopupHooks.h"
#include "ui/shell/QRoundProgressBar.h"

#include <QApplication>
#include <QDialog>
#include <QImage>
#include <QTest>
#include <QLabel>
#include <QPointer>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <thread>

namespace kel::test {
namespace {

// Emits progress from whatever thread calls `report`, as the FPGA manager
// thread does on a page object.
class ProgressSource : public QObject {
    Q_OBJECT
public:
    void report(int v) { emit sig_qround_bar_update(v); }
signals:
    void sig_qround_bar_update(int v);
};

class PopupTest : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        installPopupHooks();
    }
    void TearDown() override
    {
        firmware_update_over();
        settle();
        ShellFixture::TearDown();
    }
    static int popupsAlive()
    {
        const QWidgetList all = QApplication::topLevelWidgets();
        return int(std::count_if(all.begin(), all.end(), [](QWidget* w) { return qobject_cast<FirmwareUpdate*>(w); }));
    }
    static QLabel* label(const char* name) { return g_move_update->findChild<QLabel*>(QString::fromLatin1(name)); }
};

TEST_F(PopupTest, TwoStartsFromALinkThreadOpenOnePopupAndOverClosesIt)
{
    std::thread link([]() {
        g_mainwindow->update_start();
        firmware_update_start();
    });
    link.join();
    EXPECT_EQ(g_move_update, nullptr); // queued, nothing built off the GUI thread
    settle();
    ASSERT_NE(g_move_update, nullptr);
    EXPECT_TRUE(g_move_update->isVisible());
    EXPECT_EQ(popupsAlive(), 1);
    EXPECT_EQ(g_page_focus, 0);

    std::thread([]() { g_mainwindow->update_over(); }).join();
    settle();
    EXPECT_EQ(g_move_update, nullptr);
    EXPECT_EQ(popupsAlive(), 0);
    firmware_update_over(); // none open: nothing happens
    EXPECT_EQ(popupsAlive(), 0);
}

TEST_F(PopupTest, KeysOnThePopupStillReachThePageInFront)
{
    g_page_focus = PageFocus::MainWindow;
    firmware_update_start();
    QTest::keyClick(g_move_update, Qt::Key(PanelKeys::kRight));
    EXPECT_EQ(g_mainwindow->ui_select, 1);
}

TEST_F(PopupTest, PictureBouncesBetweenSixtyAndOneSixteenOneStepEveryTwoTicks)
{
    firmware_update_start();
    tick(300); // no update running: nothing moves
    EXPECT_EQ(label("label_picture")->geometry().y(), 60);
    EXPECT_EQ(label("label_text")->text(), "Updating ");
    G_timeTicks = 0;
    g_update_flag = 1;
    // {ticks since opening, picture y}
    const int table[][2] = {{1, 60}, {2, 61}, {112, 116}, {114, 115}, {116, 114}, {224, 60}, {226, 61}};
    int done = 0;
    for (const auto& row : table) {
        tick(row[0] - done);
        done = row[0];
        EXPECT_EQ(label("label_picture")->geometry(), QRect(128, row[1], 64, 64)) << "after " << row[0] << " ticks";
    }
}

TEST_F(PopupTest, DotsGrowEverySecondAndStayCentred)
{
    firmware_update_start();
    EXPECT_EQ(label("label_text")->text(), "Updating ");
    EXPECT_EQ(label("label_text")->geometry(), QRect(92, 200, 135, 17)); // 15 px a character at first
    g_update_flag = 1;
    const struct { int ticks; const char* text; QRect geometry; } steps[] = {
        {100, "Updating .", QRect(95, 200, 130, 17)},
        {100, "Updating ..", QRect(88, 200, 143, 17)},
        {100, "Updating ...", QRect(82, 200, 156, 17)},
        {100, "Updating .", QRect(95, 200, 130, 17)},
    };
    for (const auto& s : steps) {
        tick(s.ticks);
        EXPECT_EQ(label("label_text")->text(), s.text);
        EXPECT_EQ(label("label_text")->geometry(), s.geometry);
    }
    grab(g_move_update, QStringLiteral("upgrade_popup"));
}

TEST_F(PopupTest, TextFollowsThePanelLanguage)
{
    const struct { int language; const char* text; int width; } rows[] = {
        {0, "升级中，请勿断电 ", 117}, {2, "Updating ", 135}, {4, "昇級中，請勿斷電 ", 117}};
    for (const auto& r : rows) {
        g_language = r.language;
        firmware_update_start();
        EXPECT_EQ(label("label_text")->text(), QString::fromUtf8(r.text));
        EXPECT_EQ(label("label_text")->geometry(), QRect((320 - r.width) / 2, 200, r.width, 17));
        firmware_update_over();
        settle();
    }
}

// ---- round progress popup ----------------------------------------------------------

class ProgressTest : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        page_ = std::make_unique<QDialog>();
        page_->show();
    }
    std::unique_ptr<QDialog> page_;
};

TEST_F(ProgressTest, WorkerThreadValuesReachThePopupAndHundredClosesIt)
{
    QRoundProgressBar::create_qround_bar(page_.get());
    QPointer<QRoundProgressBar> first = g_qround_bar;
    QRoundProgressBar::create_qround_bar(page_.get());
    EXPECT_EQ(g_qround_bar, first.data());
    EXPECT_EQ(page_->findChildren<QRoundProgressBar*>().size(), 1);
    EXPECT_EQ(first->geometry(), QRect(120, 70, 100, 100));

    ProgressSource source;
    QObject::connect(&source, SIGNAL(sig_qround_bar_update(int)), g_qround_bar, SLOT(para_sync(int)));
    std::thread([&]() { source.report(40); }).join();
    EXPECT_EQ(first->getValue(), 0.0); // not yet: queued
    settle();
    EXPECT_EQ(first->getValue(), 40.0);
    EXPECT_EQ(first->valueText(), "40%");

    std::thread([&]() {
        source.report(100);
        source.report(50);
    }).join();
    settle();
    EXPECT_EQ(g_qround_bar, nullptr);
    ASSERT_FALSE(first.isNull()); // hidden, still a child of the page
    EXPECT_FALSE(first->isVisible());
    EXPECT_EQ(first->getValue(), 40.0);
}

struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        paints += e->type() == QEvent::Paint;
        return false;
    }
};

TEST_F(ProgressTest, ValuesAreClampedTheRangeOrderedAndAnUnchangedValueNotRepainted)
{
    QRoundProgressBar::create_qround_bar(page_.get());
    QRoundProgressBar* bar = g_qround_bar;
    bar->para_sync(-5);
    EXPECT_EQ(bar->valueText(), "0%");
    bar->setRange(100, 0);
    EXPECT_EQ(bar->getMinimum(), 0.0);
    EXPECT_EQ(bar->getMaximum(), 100.0);
    bar->setValue(30);
    settle();
    PaintCounter counter;
    bar->installEventFilter(&counter);
    bar->setValue(30);
    settle();
    EXPECT_EQ(counter.paints, 0);
    bar->setValue(31);
    settle();
    EXPECT_GT(counter.paints, 0);
}

TEST_F(ProgressTest, QuarterFillsTheRingFromTwelveToThree)
{
    QRoundProgressBar::create_qround_bar(page_.get());
    g_qround_bar->setValue(25);
    const QImage image = g_qround_bar->grab().toImage();
    const auto blue = [&](int x, int y) {
        const QColor c = image.pixelColor(x, y);
        return qAbs(c.red() - 0x2F) < 40 && qAbs(c.green() - 0x8D) < 40 && qAbs(c.blue() - 0xED) < 40;
    };
    // On the ring's centre line (radius 45 about 50,50), at 1:30 and 7:30.
    EXPECT_TRUE(blue(81, 18));
    EXPECT_FALSE(blue(18, 81));
    EXPECT_EQ(g_qround_bar->valueText(), "25%");
    grab(g_qround_bar, QStringLiteral("round_progress_25"));
}

TEST_F(ProgressTest, ThePointerDiesWithThePage)
{
    QRoundProgressBar::create_qround_bar(page_.get());
    ASSERT_NE(g_qround_bar, nullptr);
    page_.reset();
    EXPECT_EQ(g_qround_bar, nullptr);
}

} // namespace
} // namespace kel::test

#include "PopupTest.moc"
