#include "ui/support/ShellFixture.h"

#include "ledout/fpga_manage.h"
#include "params/SyncReason.h"
#include "params/Utils.h"
#include "params/global.h"
#include "platform/sim/SimFpga.h"
#include "platform/sim/SimFpgaBoard.h"
#include "ui/pages/device/MachineState.h"
#include "ui/pages/registerPageMakers.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/PanelKeys.h"

#include <QLabel>

namespace kel::test {
namespace {

class DeviceStatePageTest : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        registerPageMakers();
        g_page_focus = PageFocus::MainWindow;
        Utils::setConfigValue(g_str_barcode, QStringLiteral(" "));
    }
    void TearDown() override
    {
        ShellFixture::TearDown();
        fpga_manage::destroyInstance();
    }
    // An FPGA manager whose FPGA 0 runs with these link and version registers.
    void runningFpga(uint16_t linkMask, const uint8_t version[4])
    {
        fpga_manage* fpga = fpga_manage::pInstance();
        fpga->softinit();
        fpga->gpio.gpio_fpga0_reset.high(); // FPGA 0 out of reset answers its registers
        fpga->reg_images[0][fpga_manage::FPGA_REG_STATE] = fpga_manage::kStateRunning;
        for (int i = 0; i < 4; ++i)
            fpga->reg_images[0][fpga_manage::FPGA_REG_VERSION + i] = version[i];
        setLinks(linkMask);
    }
    void setLinks(uint16_t mask)
    {
        auto& sim = platform::sim::SimFpgaBoard::current()->fpga0();
        sim.setReg(fpga_manage::FPGA_REG_LINK, uint8_t(mask & 0xFF));
        sim.setReg(fpga_manage::FPGA_REG_LINK_HIGH, uint8_t(mask >> 8));
    }
    static QString text(const char* name) { return qobject_cast<QLabel*>(find(name))->text(); }
    static std::vector<int> onlinePorts()
    {
        std::vector<int> ports;
        for (int p = 1; p <= 16; ++p) {
            if (iconOf(QStringLiteral("port%1link").arg(p)) == ":/png/online.png")
                ports.push_back(p);
        }
        return ports;
    }
};

TEST_F(DeviceStatePageTest, VersionLinesAndBarcode)
{
    EXPECT_EQ(MachineState::fpgaVersion(0x03, 0x26, 0x09, 0x25), "FPGA:V11.00.03 2025-09-26");
    EXPECT_EQ(MachineState::fpgaVersion(0, 0, 0, 0), "FPGA:V11.00.00 2000-00-00");
    EXPECT_EQ(MachineState::fpgaVersion(0xab, 0x0c, 0x1f, 0x99), "FPGA:V11.00.ab 2099-1f-0c");

    const uint8_t version[4] = {0x03, 0x26, 0x09, 0x25};
    runningFpga(0, version);
    const struct {
        QString barcode;
        QString line;
    } cases[] = {
        {" ", "SN:QJ9999"},
        {"", "SN:"},
        {"<b>AB12</b>", "SN:<b>AB12</b>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.barcode.toStdString());
        Utils::setConfigValue(g_str_barcode, c.barcode);
        run({[]() { PageOpener::open(PageFocus::MachineState); },
             [&]() {
                 EXPECT_EQ(text("label_2"), c.line);
                 EXPECT_EQ(qobject_cast<QLabel*>(find("label_2"))->textFormat(), Qt::PlainText);
                 EXPECT_EQ(text("label_MCU"), "MCU:V11.02.01 2025-09-26");
                 EXPECT_EQ(text("label_FPGA1"), "FPGA:V11.00.03 2025-09-26");
                 // The second FPGA's line: in frame_4, hidden, its placeholder kept.
                 QWidget* fpga2 = find("label_FPGA2");
                 ASSERT_NE(fpga2, nullptr);
                 EXPECT_EQ(fpga2->parentWidget()->objectName(), "frame_4");
                 EXPECT_EQ(fpga2->geometry(), QRect(145, 25, 140, 15));
                 EXPECT_TRUE(fpga2->isHidden());
                 EXPECT_EQ(text("label_FPGA2"), "FPGA2:999");
             }});
    }
}

TEST_F(DeviceStatePageTest, InputsArePresentOnlyWithAllThreeWords)
{
    // HDMI1 (id 2) complete, HDMI3 (id 4) without refresh, EXT (id 0) complete.
    const struct {
        int id;
        uint16_t w, h, rate;
    } inputs[] = {{2, 1920, 1080, 60}, {4, 3840, 2160, 0}, {0, 1280, 720, 50}};
    for (const auto& in : inputs) {
        setU16(256 + 6 * in.id, in.w);
        setU16(258 + 6 * in.id, in.h);
        setU16(260 + 6 * in.id, in.rate);
    }
    run({[]() { PageOpener::open(PageFocus::MachineState); },
         [this]() {
             // Columns left to right: HDMI1..HDMI4, DVI, EXT.
             EXPECT_EQ(iconOf("sourceid0pixmap"), ":/png/HDMI13_lv.png");
             EXPECT_EQ(iconOf("sourceid1pixmap"), ":/png/HDMI13_1.png");
             EXPECT_EQ(iconOf("sourceid2pixmap"), ":/png/HDMI20.png");
             EXPECT_EQ(iconOf("sourceid3pixmap"), ":/png/HDMI20.png");
             EXPECT_EQ(iconOf("sourceid4pixmap"), ":/png/DVI.png");
             EXPECT_EQ(iconOf("sourceid5pixmap"), ":/png/extlv.png");
             // A refresh of any reason re-reads the inputs.
             setU16(260 + 6 * 4, 60);
             setU16(256 + 6 * 0, 0);
             g_machinestate->syncUpdate(SYNC_INPUT_INFO);
             EXPECT_EQ(iconOf("sourceid2pixmap"), ":/png/HDMI20_lv.png");
             EXPECT_EQ(iconOf("sourceid5pixmap"), ":/png/HDMI.png");
             screenshot("device_state");
         }});
}

TEST_F(DeviceStatePageTest, PortsFromTheLinkMaskRebuiltOnlyForTheLinkReason)
{
    const uint8_t version[4] = {0, 0, 0, 0};
    runningFpga(0x8001, version);
    run({[]() { PageOpener::open(PageFocus::MachineState); },
         [this]() {
             EXPECT_EQ(onlinePorts(), (std::vector<int>{1, 16}));
             EXPECT_EQ(text("port16"), "16");
             setLinks(0x0006);
             g_machinestate->syncUpdate(SYNC_INPUT_INFO);
             EXPECT_EQ(onlinePorts(), (std::vector<int>{1, 16}));
             g_machinestate->syncUpdate(SYNC_WLAN_STATE);
             EXPECT_EQ(onlinePorts(), (std::vector<int>{2, 3}));
             // FPGA 0 not running: every port offline.
             fpga_manage::p_fpga_manage->reg_images[0][fpga_manage::FPGA_REG_STATE] = 0;
             g_machinestate->syncUpdate(SYNC_WLAN_STATE);
             EXPECT_TRUE(onlinePorts().empty());
         }});
}

TEST_F(DeviceStatePageTest, WithoutFpgaManagerAllPortsOffline)
{
    run({[]() { PageOpener::open(PageFocus::MachineState); },
         [this]() {
             EXPECT_TRUE(onlinePorts().empty());
             EXPECT_EQ(text("label_FPGA1"), "FPGA:V11.00.00 2000-00-00");
         }});
}

TEST_F(DeviceStatePageTest, TitleAndSidePicturesPerLanguage)
{
    const struct {
        int lang;
        uint32_t offered;
        const char* title;
        const char* version;
        const char* output;
    } cases[] = {
        {0, 0x1F, "设备信息", ":/png/version_state.png", ":/png/output_state.png"},
        {1, 0x1F, "Devices", ":/png/en_version_state.png", ":/png/output_state.png"},
        {2, 0x1F, "Устройство", ":/png/ru_version_state.png", ":/png/ru_output_state.png"},
        {2, 0x1B, "Devices", ":/png/en_version_state.png", ":/png/output_state.png"},
        {3, 0x1F, "Thiết bị", ":/png/en_version_state.png", ":/png/output_state.png"},
        {4, 0x1F, "設備信息", ":/png/version_state.png", ":/png/output_state.png"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        g_language = uint8_t(c.lang);
        Utils::setConfigValue(g_lcd_lang_valid, c.offered);
        run({[]() { PageOpener::open(PageFocus::MachineState); },
             [&]() {
                 EXPECT_EQ(text("label_title"), QString::fromUtf8(c.title));
                 EXPECT_EQ(iconOf("label_state3"), c.version);
                 EXPECT_EQ(iconOf("label_state1"), c.output);
             }});
    }
}

TEST_F(DeviceStatePageTest, BackReturnsToTheMainMenu)
{
    run({[]() { PageOpener::open(PageFocus::MachineState); },
         [this]() {
             key(PanelKeys::kBack);
             EXPECT_EQ(g_page_focus, PageFocus::MainWindow);
             EXPECT_EQ(g_machinestate, nullptr);
         }});
}

} // namespace
} // namespace kel::test
