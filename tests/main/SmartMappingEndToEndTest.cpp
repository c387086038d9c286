#include "ControllerFixture.h"
#include "ledout/RecoveryFileBytes.h"

#include "ledout/LedGlobals.h"
#include "ledout/fpga_manage.h"
#include "params/global.h"
#include "platform/sim/SimCardChain.h"
#include "platform/sim/SimFpgaBoard.h"
#include "ui/pages/screen/SmartMapping.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/My_lineEdit.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/PanelKeys.h"
#include "ui/shell/QRoundProgressBar.h"
#include "ui/shell/ShellGlobals.h"

#include <QApplication>
#include <QKeyEvent>

#include <set>

namespace kel::test {
namespace {

using platform::sim::SimCardChain;
using platform::sim::SimFpgaBoard;

constexpr int kPort = 2;

// The wizard on the whole controller, shown without its own loop (as the
// settings menu would open it) so the test keeps driving the tick.
class SmartMappingEndToEnd : public ControllerFixture {
protected:
    static void key(int code)
    {
        QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier);
        QApplication::instance()->notify(g_mainwindow, &press);
        QKeyEvent release(QEvent::KeyRelease, code, Qt::NoModifier);
        QApplication::instance()->notify(g_mainwindow, &release);
    }
    static void keys(std::initializer_list<int> codes)
    {
        for (int c : codes)
            key(c);
    }
    static void cards(int count)
    {
        SimCardChain::Knobs k;
        k.cards = count;
        SimFpgaBoard::current()->chain(kPort).setKnobs(k);
    }
    void start()
    {
        ASSERT_TRUE(tickUntil(&ControllerFixture::screenLit));
        ASSERT_TRUE(tickUntil([] { return fpga_manage::p_fpga_manage->get_port_card_num(kPort) == 3; }, 2000))
            << "the cards are found";
        g_page_focus = PageFocus::Option;
        g_smartmapping = new SmartMapping(nullptr);
        g_smartmapping->takeFocus();
        g_smartmapping->show();
    }
    static void field(const char* name, const char* text)
    {
        g_smartmapping->findChild<My_lineEdit*>(QString::fromLatin1(name))->setText(QString::fromLatin1(text));
    }
};

TEST_F(SmartMappingEndToEnd, TheSentGeometryPositionsEveryCardOfTheChosenPort)
{
    cards(3);
    start();
    const int L = PanelKeys::kLeft, R = PanelKeys::kRight, OK = PanelKeys::kOk, BACK = PanelKeys::kBack;
    field("lineEdit_X", "128");
    field("lineEdit_Y", "64");
    keys({OK, R, R, OK});          // step 1: Next
    keys({OK, R, R, OK});          // step 2: port 3 (index 2) confirmed in the grid
    keys({L, OK});                 // Button_next_2
    field("lineEdit_line", "1");
    field("lineEdit_column", "3");
    field("lineEdit_horzion", "10");
    field("lineEdit_vert", "5");
    keys({L, OK});                 // Send
    EXPECT_EQ(line_type.port, kPort);
    EXPECT_EQ(line_type.columns, 3);
    ASSERT_NE(g_qround_bar, nullptr);
    ASSERT_TRUE(tickUntil([] { return g_qround_bar == nullptr && g_send_para.command() == 0; }, 3000))
        << "the progress ends at 100 and closes the popup";

    // Three cabinets in a row: x is the column times the width, y the row
    // times the height, each moved by the offsets.
    std::set<uint16_t> xs;
    for (int card = 0; card < 3; ++card) {
        uint16_t x = 0, y = 0;
        fpga_manage::get_rcvcard_x_y(card, &x, &y);
        const SimCardChain::Card got = SimFpgaBoard::current()->chain(kPort).card(card);
        EXPECT_EQ(got.u16(SimCardChain::kPositionAddr), uint16_t(x + 10)) << card;
        EXPECT_EQ(got.u16(SimCardChain::kPositionAddr + 2), 5) << card;
        xs.insert(got.u16(SimCardChain::kPositionAddr));
    }
    EXPECT_EQ(xs, (std::set<uint16_t>{10, 138, 266}));

    keys({BACK, BACK, BACK, BACK});
    EXPECT_EQ(g_page_focus, PageFocus::Option);
    EXPECT_EQ(g_smartmapping, nullptr);
}

// The file chosen on the list, here the stick's, is the one replayed to the
// cards of the chosen port.
TEST_F(SmartMappingEndToEnd, LoadReplaysTheChosenScanFileToThePort)
{
    cards(3);
    OpSpec write;
    write.targetAddr = 0x40;
    write.data = {0xA1, 0xA2};
    writeFile("/data/smartmapping/a.qjfile", smartMappingFile({write}));
    write.data = {0xB1, 0xB2};
    writeFile("/mnt/usb1/b.qjfile", smartMappingFile({write}));
    start();
    const int R = PanelKeys::kRight, OK = PanelKeys::kOk, BACK = PanelKeys::kBack;
    keys({R, OK});              // Load scan
    keys({OK, R, R, OK});       // port index 2 confirmed in the grid
    keys({R, R, OK});           // Button_next_5: the list
    keys({R, OK});              // the stick's file
    EXPECT_EQ(g_qjfile_name, "/mnt/usb1/b.qjfile");
    key(OK);                    // Load
    EXPECT_EQ(line_type.port, kPort);
    ASSERT_TRUE(tickUntil([] { return g_qround_bar == nullptr && g_send_para.command() == 0; }, 3000));
    for (int card = 0; card < 3; ++card) {
        const SimCardChain::Card got = SimFpgaBoard::current()->chain(kPort).card(card);
        EXPECT_EQ(got.memory.count(0x40) ? got.memory.at(0x40) : 0, 0xB1) << card;
        EXPECT_EQ(got.memory.count(0x41) ? got.memory.at(0x41) : 0, 0xB2) << card;
    }
    keys({BACK, BACK, BACK});
    EXPECT_EQ(g_page_focus, PageFocus::Option);
}

} // namespace
} // namespace kel::test
