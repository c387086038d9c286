#include "ui/support/ShellFixture.h"

#include "ledout/LedGlobals.h"
#include "ledout/OutputPorts.h"
#include "params/ApplyGate.h"
#include "params/ConfigEngine.h"
#include "params/RamLayout.h"
#include "params/Utils.h"
#include "params/global.h"
#include "platform/Board.h"
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimCommandRunner.h"
#include "ui/pages/registerPageMakers.h"
#include "ui/pages/screen/lcdshow.h"
#include "ui/pages/screen/test_chart.h"
#include "ui/shell/NumberKeyboard.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/PanelKeys.h"
#include "ui/shell/ShellGlobals.h"

#include <QComboBox>
#include <QLabel>
#include <QFile>
#include <QImage>
#include <QLineEdit>

namespace kel::test {
namespace {

class ScreenPages : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        registerPageMakers();
    }
    Step open(uint8_t focus, uint8_t opener)
    {
        return [focus, opener]() {
            g_page_focus = opener;
            PageOpener::open(focus);
        };
    }
    static QString textOf(const char* name) { return static_cast<QLineEdit*>(find(name))->text(); }
};

// ---- LED size ----

TEST_F(ScreenPages, LedSizeEntriesThroughTheKeyboardAreBounded)
{
    setU16(RamLayout::kLedWidth, 1920);
    setU16(RamLayout::kLedHeight, 1281);
    std::vector<Step> steps{open(PageFocus::ledset, PageFocus::OutputSet), keys({PanelKeys::kOk})};
    type(steps, "9000");
    steps.push_back([]() {
        EXPECT_EQ(textOf("lineEdit_ledw"), "8188");
        EXPECT_EQ(textOf("lineEdit_ledh"), "1280");
    });
    steps.push_back(keys({PanelKeys::kRight, PanelKeys::kOk2}));
    steps.push_back([this]() { screenshot("screen_ledset_keyboard"); });
    type(steps, "2601");
    steps.push_back([this]() {
        EXPECT_EQ(textOf("lineEdit_ledh"), "2601");
        EXPECT_EQ(textOf("lineEdit_ledw"), "4998");
        EXPECT_EQ(u16(RamLayout::kLedWidth), 1920) << "nothing reaches the block before Apply";
    });
    run(steps);
}

TEST_F(ScreenPages, LedSizeStoredAboveTheFieldRangeIsNeverAppliedAsIs)
{
    setU16(RamLayout::kLedWidth, 40000);
    setU16(RamLayout::kLedHeight, 1080);
    syncShadow();
    run({open(PageFocus::ledset, PageFocus::OutputSet),
         keys({PanelKeys::kLeft, PanelKeys::kLeft2, PanelKeys::kOk}), // Left wraps to Cancel, then Apply
         [this]() {
             EXPECT_EQ(g_tip_flag, 1);
             tick(300);
         },
         [this]() {
             EXPECT_EQ(u16(RamLayout::kLedWidth), 8188);
             EXPECT_EQ(u16(RamLayout::kOch0Window + 4), 8188);
             EXPECT_EQ(u16(RamLayout::kLedHeight), 1080);
         }});
}

// ---- network address ----

class NetworkPage : public ScreenPages {
protected:
    void SetUp() override
    {
        ScreenPages::SetUp();
        QFile f(QString::fromStdString(hostPath("/data/configs/tcpip.ini")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[config]\nIPAddress=192.168.1.199\nSubNetMask=255.255.255.0\nGateWay=192.168.1.1\n");
        f.close();
        ConfigEngine::pInstance();
        Utils::getIPAddress();
        platform::Board::sim()->commands().clear();
    }
    void TearDown() override
    {
        ConfigEngine::destroyInstance();
        ScreenPages::TearDown();
    }
    static QString stored(ConfigItem::ConfigName item)
    {
        return ConfigEngine::pInstance()->read_config_variant(item).toString();
    }
    // Opens the page, puts text in the last gateway octet and applies.
    void applyGatewayOctet(const QString& text)
    {
        std::vector<Step> steps{open(PageFocus::linkwlan, PageFocus::LinkOption),
                                keys({PanelKeys::kLeft, PanelKeys::kLeft, PanelKeys::kLeft, PanelKeys::kOk})};
        type(steps, text);
        steps.push_back([text]() { EXPECT_EQ(textOf("lineEditGate4"), text); });
        steps.push_back(keys({PanelKeys::kRight, PanelKeys::kOk}));
        run(steps);
    }
};

TEST_F(NetworkPage, OnlyTheGatewayChangedWritesAllThreeThenSyncsAndReconfigures)
{
    applyGatewayOctet("2");
    EXPECT_EQ(stored(ConfigItem::IPAddress), "192.168.1.199");
    EXPECT_EQ(stored(ConfigItem::SubNetMask), "255.255.255.0");
    EXPECT_EQ(stored(ConfigItem::GateWay), "192.168.1.2");
    EXPECT_EQ(commands(), (std::vector<std::string>{
                              "sync",
                              "ifconfig eth0 &>/dev/null",
                              "route del default wlan0",
                              "ifconfig eth0 192.168.1.199 netmask 255.255.255.0",
                              "route add -host 192.168.1.2 dev eth0",
                              "route add default gw 192.168.1.2 metric 100",
                              "route add -host 255.255.255.255 eth0",
                              "route del 255.255.255.255 wlan1",
                          }));
    EXPECT_EQ(g_str_gateway, "192.168.1.2");

    platform::Board::sim()->commands().clear();
    run({open(PageFocus::linkwlan, PageFocus::LinkOption),
         keys({PanelKeys::kLeft, PanelKeys::kLeft, PanelKeys::kOk})});
    EXPECT_TRUE(commands().empty()) << "an unchanged apply runs nothing";
}

TEST_F(NetworkPage, AnOctetOutOfRangeOrEmptyWritesAndRunsNothing)
{
    for (const char* bad : {"300", ""}) {
        SCOPED_TRACE(bad);
        applyGatewayOctet(bad);
        EXPECT_EQ(stored(ConfigItem::GateWay), "192.168.1.1");
        EXPECT_TRUE(commands().empty());
        EXPECT_EQ(g_str_gateway, "192.168.1.1");
    }
}

// Each octet field is 32 pixels wide: three digits must show whole, never
// scrolled so that a digit is cut at the field's edge.
TEST_F(NetworkPage, EveryOctetShowsWhole)
{
    const QString mask = g_srt_mask;
    g_srt_mask = QStringLiteral("255.255.255.255");
    run({open(PageFocus::linkwlan, PageFocus::LinkOption), [this]() {
             for (const char* row : {"Ip", "Mask", "Gate"}) {
                 for (int k = 1; k <= 4; ++k) {
                     const QString name = QStringLiteral("lineEdit%1%2").arg(row).arg(k);
                     QWidget* field = find(name.toLatin1().constData());
                     const QImage img = field->grab().toImage();
                     int atEdge = 0;
                     for (int y = 2; y < img.height() - 2; ++y)
                         for (int x : {1, img.width() - 2})
                             atEdge += qGray(img.pixel(x, y)) > 128;
                     EXPECT_EQ(atEdge, 0) << name.toStdString() << " \""
                                          << static_cast<QLineEdit*>(field)->text().toStdString() << "\"";
                 }
             }
             key(PanelKeys::kBack);
         }});
    g_srt_mask = mask;
}

// ---- test patterns ----

TEST_F(ScreenPages, TestPatternsAreWrittenToTheirByteWithTheApplyFlag)
{
    ram().RamBlock[RamLayout::kEdidSourceRecord] = 0x5A;
    syncShadow();
    std::vector<Step> steps{open(PageFocus::test_chart, PageFocus::Option)};
    for (int k = 0; k < test_chart::kPatterns; ++k) {
        steps.push_back([this, k]() {
            key(PanelKeys::kOk);
            EXPECT_EQ(ram().RamBlock[864], k + 1);
            EXPECT_EQ(simChipPass(), 1);
            key(PanelKeys::kRight);
        });
    }
    steps.push_back([this]() {
        EXPECT_EQ(static_cast<test_chart*>(g_test_chart)->ui_select(), 8) << "Close follows the eight patterns";
        key(PanelKeys::kRight);
        EXPECT_EQ(static_cast<test_chart*>(g_test_chart)->ui_select(), 0);
        key(PanelKeys::kBack);
        EXPECT_EQ(ram().RamBlock[864], 0);
        EXPECT_EQ(simChipPass(), 1);
        EXPECT_EQ(g_page_focus, PageFocus::Option);
    });
    // The Mode key leaves a pattern on.
    steps.push_back(open(PageFocus::test_chart, PageFocus::Option));
    steps.push_back(keys({PanelKeys::kLeft, PanelKeys::kLeft, PanelKeys::kOk, PanelKeys::kMode}));
    steps.push_back([this]() {
        EXPECT_EQ(g_page_focus, PageFocus::CustomMode);
        EXPECT_EQ(ram().RamBlock[864], 8);
        EXPECT_EQ(ram().RamBlock[RamLayout::kEdidSourceRecord], 0x5A) << "byte 896 is never touched";
    });
    run(steps);
}

// ---- output ports ----

TEST_F(ScreenPages, OutputPortsReadOddBasesAndScrollWithoutWrapping)
{
    uint8_t image[kRamImageSize] = {};
    image[23] = 0x00; // port 1 (base 19): width 0x0500
    image[24] = 0x05;
    image[632 + 6] = 7; // port 15: height 7
    MCU_RAM_PARA_func[0] = image;
    run({open(PageFocus::netset, PageFocus::OutputSet), [this]() {
             EXPECT_EQ(iconOf("L1label"), ":/png/offline_up.png") << "no FPGA manager: no links";
             key(PanelKeys::kLeft);
             EXPECT_EQ(static_cast<QLabel*>(find("LED1label"))->text(), "LED1") << "Left at LED1 does nothing";
             key(PanelKeys::kRight);
             EXPECT_EQ(textOf("w_lineEdit"), "1280");
             EXPECT_EQ(find("net_frame")->geometry(), QRect(92, 40, 58, 41));
             for (int i = 0; i < 3; ++i)
                 key(PanelKeys::kRight2);
             EXPECT_EQ(static_cast<QLabel*>(find("LED1label"))->text(), "LED2") << "the view scrolled by one";
             EXPECT_EQ(static_cast<QLabel*>(find("LED4label"))->text(), "LED5");
             EXPECT_EQ(find("net_frame")->geometry(), QRect(228, 40, 58, 41));
             for (int i = 0; i < 12; ++i)
                 key(PanelKeys::kRight);
             EXPECT_EQ(static_cast<QLabel*>(find("LED4label"))->text(), "LED16");
             EXPECT_EQ(textOf("h_lineEdit"), "7");
             for (int i = 0; i < 3; ++i)
                 key(PanelKeys::kLeft);
             key(PanelKeys::kLeft);
             EXPECT_EQ(static_cast<QLabel*>(find("LED1label"))->text(), "LED12");
             screenshot("screen_netset_scrolled");
         }});
    MCU_RAM_PARA_func[0] = nullptr;
    EXPECT_TRUE(OutputPorts::portOnline(0x8001, 0));
    EXPECT_TRUE(OutputPorts::portOnline(0x8001, 15));
    EXPECT_FALSE(OutputPorts::portOnline(0x8001, 1));
}

// ---- LCD display ----

TEST_F(ScreenPages, LcdTimesAreStoredOnlyOnTheSecondOk)
{
    g_back_to_mainwindow_time = 3000;
    g_auto_lock_time = 30000;
    run({open(PageFocus::lcdshow, PageFocus::AdvancedOption), [this]() {
             key(PanelKeys::kOk);
             EXPECT_TRUE(styleOf("comboBox_back").contains("rgb(255,0,0)"));
             key(PanelKeys::kRight);
             EXPECT_EQ(g_back_to_mainwindow_time, 3000) << "nothing stored while editing";
             key(PanelKeys::kOk);
             EXPECT_EQ(g_back_to_mainwindow_time, 6000);
             key(PanelKeys::kLeft); // row 1
             key(PanelKeys::kOk);
             key(PanelKeys::kLeft); // choice 0 steps back to 2
             EXPECT_EQ(static_cast<QComboBox*>(find("comboBox_lock"))->currentIndex(), 2);
             key(PanelKeys::kBack);
             EXPECT_EQ(g_auto_lock_time, 30000) << "Back while editing stores nothing";
             EXPECT_EQ(g_page_focus, PageFocus::AdvancedOption);
         },
         open(PageFocus::lcdshow, PageFocus::AdvancedOption), []() {
             EXPECT_EQ(static_cast<QComboBox*>(find("comboBox_back"))->currentText(), "60");
             EXPECT_EQ(static_cast<QComboBox*>(find("comboBox_lock"))->currentText(), "5min");
         }});
    g_back_to_mainwindow_time = 3000;
}

} // namespace
} // namespace kel::test
