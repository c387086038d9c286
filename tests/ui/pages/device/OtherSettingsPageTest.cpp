#include "ui/support/ShellFixture.h"

#include "params/ApplyGate.h"
#include "params/global.h"
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimCommandRunner.h"
#include "protocol/T57_WIFI_CONFIG.h"
#include "ui/pages/device/othersetup.h"
#include "ui/pages/registerPageMakers.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/PanelKeys.h"

#include <QComboBox>

#include <algorithm>

namespace kel::test {
namespace {

size_t slot(int k) { return 2272 + 26 * size_t(k); }

class OtherSettingsPageTest : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        registerPageMakers();
        g_page_focus = PageFocus::AdvancedOption;
        for (int w = 0; w < 6; ++w)
            setU16(slot(w), 0);
        QObject::connect(store_.get(), &KelRamPara::sig_update_para, [this](int r) { reasons.push_back(r); });
    }
    void TearDown() override
    {
        protocol::T57_WIFI_CONFIG::p_wifi = nullptr;
        ShellFixture::TearDown();
    }
    // From row 0, moves to the row, edits it, steps and commits.
    void choose(int row, int steps)
    {
        for (int i = 0; i < row; ++i)
            key(PanelKeys::kRight);
        key(PanelKeys::kOk);
        for (int i = 0; i < steps; ++i)
            key(PanelKeys::kRight);
        key(PanelKeys::kOk);
    }
    void resetMarks()
    {
        ApplyGate::instance().c331_apply_flag = 0;
        reasons.clear();
        board().commands().clear();
    }
    bool saved() const { return std::count(reasons.begin(), reasons.end(), 1) > 0; }
    static QComboBox* box(const char* name) { return qobject_cast<QComboBox*>(find(name)); }
    std::vector<int> reasons;
};

TEST_F(OtherSettingsPageTest, VolumeActsOnTheChosenWindowThatIsOn)
{
    setU16(slot(0), 1);
    setU16(slot(2), 1);
    setU16(2112, 2);
    run({[]() { PageOpener::open(PageFocus::othersetup); },
         [this]() {
             QComboBox* windows = box("ImageVolume");
             ASSERT_EQ(windows->count(), 2);
             EXPECT_EQ(windows->itemText(0), "image1");
             EXPECT_EQ(windows->itemText(1), "image3");
             EXPECT_EQ(windows->currentIndex(), 1);
             EXPECT_EQ(box("volume_state")->currentText(), "OFF");
             screenshot("other_settings");
             resetMarks();
             choose(1, 1); // volume ON for window 3 (index 2)
             EXPECT_EQ(u16(2112), 2);
             EXPECT_EQ(ram().RamBlock[slot(2) + 20], 255);
             EXPECT_EQ(ram().RamBlock[slot(2) + 21], 0x80);
             EXPECT_EQ(ram().RamBlock[slot(0) + 21], 0);
             EXPECT_EQ(ApplyGate::instance().c331_apply_flag, 1);
             EXPECT_FALSE(saved());
             // ON again writes nothing.
             ram().RamBlock[slot(2) + 20] = 7;
             key(PanelKeys::kOk);
             key(PanelKeys::kRight);
             key(PanelKeys::kRight);
             key(PanelKeys::kOk);
             EXPECT_EQ(ram().RamBlock[slot(2) + 20], 7);
         }});
}

TEST_F(OtherSettingsPageTest, NoWindowOnIndexesNothing)
{
    setU16(2112, 9); // out of range: corrected to 0
    run({[]() { PageOpener::open(PageFocus::othersetup); },
         [this]() {
             EXPECT_EQ(u16(2112), 0);
             EXPECT_EQ(box("ImageVolume")->count(), 0);
             EXPECT_EQ(box("ImageVolume")->currentIndex(), -1);
             key(PanelKeys::kOk); // editing an empty row shows nothing
             key(PanelKeys::kRight);
             key(PanelKeys::kOk);
             const std::vector<uint8_t> before(ram().RamBlock, ram().RamBlock + 4096);
             resetMarks();
             choose(1, 1);
             EXPECT_TRUE(std::equal(before.begin(), before.end(), ram().RamBlock));
             EXPECT_EQ(ApplyGate::instance().c331_apply_flag, 1);
         }});
}

TEST_F(OtherSettingsPageTest, AudioWindowNamingAWindowThatIsOffBecomesZero)
{
    setU16(slot(1), 1);
    setU16(2112, 3);
    run({[]() { PageOpener::open(PageFocus::othersetup); },
         [this]() {
             EXPECT_EQ(u16(2112), 0);
             EXPECT_EQ(box("ImageVolume")->currentIndex(), -1); // window 1 is off: not listed
         }});
}

TEST_F(OtherSettingsPageTest, SwitchEffectAndPixelToPixelWriteAllSixteenSlots)
{
    for (int k = 0; k < 16; ++k)
        ram().RamBlock[slot(k) + 19] = 0x40;
    run({[]() { PageOpener::open(PageFocus::othersetup); },
         [this]() {
             resetMarks();
             choose(2, 1); // Fade
             EXPECT_EQ(u16(2118), 1);
             for (int k = 0; k < 16; ++k) {
                 EXPECT_EQ(ram().RamBlock[slot(k) + 18] & 0x04, 0x04) << k;
                 EXPECT_EQ(ram().RamBlock[2816 + 4 * k], 60) << k;
                 EXPECT_EQ(ram().RamBlock[2818 + 4 * k], 60) << k;
             }
             EXPECT_TRUE(saved());
             key(PanelKeys::kOk);
             key(PanelKeys::kRight);
             key(PanelKeys::kOk); // Seamless: bits cleared, fades kept
             EXPECT_EQ(u16(2118), 0);
             for (int k = 0; k < 16; ++k) {
                 EXPECT_EQ(ram().RamBlock[slot(k) + 18] & 0x04, 0) << k;
                 EXPECT_EQ(ram().RamBlock[2816 + 4 * k], 60) << k;
             }
             resetMarks();
             key(PanelKeys::kRight);
             key(PanelKeys::kRight);
             key(PanelKeys::kRight); // pixel to pixel
             key(PanelKeys::kOk);
             key(PanelKeys::kRight);
             key(PanelKeys::kOk);
             EXPECT_EQ(u16(2114), 1);
             for (int k = 0; k < 16; ++k)
                 EXPECT_EQ(ram().RamBlock[slot(k) + 19], 1) << k;
             EXPECT_EQ(ApplyGate::instance().c331_apply_flag, 1);
             EXPECT_TRUE(saved());
         }});
}

TEST_F(OtherSettingsPageTest, WifiOffRecordsTheKillsOnAsksForARestart)
{
    protocol::T57_WIFI_CONFIG wifi;
    protocol::T57_WIFI_CONFIG::p_wifi = &wifi;
    run({[]() { PageOpener::open(PageFocus::othersetup); },
         [&, this]() {
             EXPECT_EQ(box("wifi_state")->currentText(), "ON");
             resetMarks();
             choose(4, 1);
             EXPECT_EQ(ram().RamBlock[774], 1);
             EXPECT_EQ(commands(), (std::vector<std::string>{
                                       "kill -9 `pidof /usr/bin/hostapd /etc/rtl_hostapd_2G.conf`",
                                       "kill -9 `pidof /usr/sbin/udhcpd  /etc/udhcpd.conf`"}));
             EXPECT_FALSE(wifi.restartPending());
             EXPECT_FALSE(saved());
             resetMarks();
             key(PanelKeys::kOk);
             key(PanelKeys::kLeft);
             key(PanelKeys::kOk);
             EXPECT_EQ(ram().RamBlock[774], 0);
             EXPECT_TRUE(commands().empty());
             EXPECT_TRUE(wifi.restartPending());
             EXPECT_EQ(ApplyGate::instance().c331_apply_flag, 1);
         }});
}

TEST_F(OtherSettingsPageTest, BackWhileEditingRestoresAndWritesNothing)
{
    run({[]() { PageOpener::open(PageFocus::othersetup); },
         [this]() {
             for (int i = 0; i < 4; ++i)
                 key(PanelKeys::kRight);
             key(PanelKeys::kOk);
             EXPECT_TRUE(styleOf("wifi_state").contains("255,0,0"));
             key(PanelKeys::kRight);
             EXPECT_EQ(box("wifi_state")->currentText(), "OFF");
             resetMarks();
             key(PanelKeys::kBack);
             EXPECT_EQ(box("wifi_state")->currentText(), "ON");
             EXPECT_TRUE(styleOf("wifi_state").contains("255,171,84"));
             EXPECT_EQ(ApplyGate::instance().c331_apply_flag, 0);
             EXPECT_EQ(ram().RamBlock[774], 0);
             // Projection: OK never edits.
             key(PanelKeys::kLeft);
             key(PanelKeys::kOk);
             EXPECT_FALSE(g_othersetup->editing());
             // Right from the last row wraps to the first.
             key(PanelKeys::kRight);
             key(PanelKeys::kRight);
             key(PanelKeys::kRight);
             EXPECT_EQ(g_othersetup->current(), 0);
             key(PanelKeys::kBack);
             EXPECT_EQ(g_page_focus, PageFocus::AdvancedOption);
         }});
}

} // namespace
} // namespace kel::test
