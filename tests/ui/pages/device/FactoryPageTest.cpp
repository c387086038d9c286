#include "ui/support/ShellFixture.h"

#include "inputs/tarvosource.h"
#include "ledout/LedGlobals.h"
#include "ledout/fpga_manage.h"
#include "params/ApplyGate.h"
#include "params/ConfigEngine.h"
#include "params/DefaultParaTable.h"
#include "params/Utils.h"
#include "params/global.h"
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimCommandRunner.h"
#include "ui/pages/device/FactoryReset.h"
#include "ui/pages/device/factory.h"
#include "ui/pages/registerPageMakers.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/PanelKeys.h"

#include <QComboBox>

#include <algorithm>

namespace kel::test {
namespace {

class FactoryPageTest : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        registerPageMakers();
        g_page_focus = PageFocus::AdvancedOption;
        g_set_led_para = 0;
        g_set_led_setup = 2;
    }
    void TearDown() override
    {
        ShellFixture::TearDown();
        tarvosource::p_tarvo_source = nullptr;
        fpga_manage::destroyInstance();
    }
    void fpgaState(uint8_t state) { fpga_manage::pInstance()->reg_images[0][fpga_manage::FPGA_REG_STATE] = state; }
    // Every persisted byte changed, and the last applied screen 1920 x 1080.
    void scramble()
    {
        for (size_t i = 768; i < 4096; ++i)
            ram().RamBlock[i] = uint8_t(i * 7 + 3);
        syncShadow();
        ram().RamShadow[1376] = 0;
        ram().RamShadow[1377] = 0;
        RamLayout::setU16(ram().RamShadow, 1378, 1920);
        RamLayout::setU16(ram().RamShadow, 1380, 1080);
    }
    bool restartFlags(uint8_t value)
    {
        return std::all_of(std::begin(src_.source_restart_request), std::end(src_.source_restart_request),
                           [value](const std::atomic<uint8_t>& f) { return f == value; });
    }
    tarvosource src_;
};

TEST_F(FactoryPageTest, ResetsLoadTheDefaultsAndDifferInWhatTheyKeep)
{
    tarvosource::p_tarvo_source = &src_;
    const struct {
        FactoryReset::Kind kind;
        bool keepsEdid;
        bool restarts;
    } cases[] = {
        {FactoryReset::Kind::KeepIp, false, true},
        {FactoryReset::Kind::KeepIpEdid, true, false},
        {FactoryReset::Kind::All, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.kind));
        scramble();
        for (auto& f : src_.source_restart_request)
            f = 0;
        uint8_t before[4096];
        std::copy(std::begin(ram().RamBlock), std::end(ram().RamBlock), before);
        ApplyGate::instance().c331_apply_flag = 0;
        FactoryReset::run(c.kind);
        EXPECT_EQ(ApplyGate::instance().c331_apply_flag, 1);
        for (size_t b = 768; b < 4096; ++b) {
            uint8_t want = default_para_ramlist[b - 766];
            if (b >= 2816 && b < 2880)
                want = (b % 2 == 0) ? 60 : 0; // every fade-in and fade-out word 60
            if (c.keepsEdid && b >= 896 && b < 1376)
                want = before[b];
            ASSERT_EQ(ram().RamBlock[b], want) << "byte " << b;
        }
        // The table's values as the defaults name them.
        EXPECT_EQ(u16(768), 0);
        EXPECT_EQ(u16(1378), 1920);
        EXPECT_EQ(u16(1380), 1080);
        if (!c.keepsEdid) {
            EXPECT_EQ(u16(896), 1920);
            EXPECT_EQ(u16(900), 60);
            EXPECT_EQ(u16(896 + 24), 3840);
            EXPECT_EQ(u16(898 + 30), 2160);
        }
        EXPECT_TRUE(restartFlags(c.restarts ? 1 : 0));
    }
}

TEST_F(FactoryPageTest, LedHandOverOnlyForAChangedSizeWhileTheFpgaRuns)
{
    const struct {
        uint16_t shadowWidth;
        uint8_t fpga;
        uint8_t ledPara;
        bool audioCleared;
    } cases[] = {
        {1920, 3, 0, false}, // same size: nothing handed over, audio keeps the table value
        {1024, 3, 1, true},
        {1024, 2, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shadowWidth * 10 + c.fpga);
        fpgaState(c.fpga);
        scramble();
        RamLayout::setU16(ram().RamShadow, 1378, c.shadowWidth);
        g_set_led_para = 0;
        g_set_led_setup = 2;
        // The audio word is compared after the defaults: seed the table's value.
        FactoryReset::run(FactoryReset::Kind::KeepIp);
        EXPECT_EQ(g_set_led_para, c.ledPara);
        EXPECT_EQ(g_set_led_setup, c.ledPara ? 0 : 2);
        const uint16_t tableAudio = uint16_t(default_para_ramlist[2112 - 766] | default_para_ramlist[2113 - 766] << 8);
        EXPECT_EQ(u16(2112), c.audioCleared ? 0 : tableAudio);
    }
}

TEST_F(FactoryPageTest, FullResetWritesAllThreeNetworkDefaultsWhenAnyDiffers)
{
    const struct {
        const char* ip;
        const char* mask;
        const char* gateway;
        bool written;
    } cases[] = {
        {"192.168.1.199", "255.255.255.0", "192.168.1.1", false},
        {"10.0.0.5", "255.255.255.0", "192.168.1.1", true},
        {"192.168.1.199", "255.255.0.0", "192.168.1.1", true},
        {"192.168.1.199", "255.255.255.0", "192.168.1.254", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.ip) + " " + c.mask + " " + c.gateway);
        Utils::setConfigValue(g_str_ip, QString::fromLatin1(c.ip));
        Utils::setConfigValue(g_srt_mask, QString::fromLatin1(c.mask));
        Utils::setConfigValue(g_str_gateway, QString::fromLatin1(c.gateway));
        board().commands().clear();
        FactoryReset::run(FactoryReset::Kind::All);
        const auto cmds = commands();
        const bool synced = std::find(cmds.begin(), cmds.end(), "sync") != cmds.end();
        EXPECT_EQ(synced, c.written);
        if (c.written) {
            EXPECT_EQ(Utils::configValue(g_str_ip), "192.168.1.199");
            EXPECT_EQ(Utils::configValue(g_srt_mask), "255.255.255.0");
            EXPECT_EQ(Utils::configValue(g_str_gateway), "192.168.1.1");
        }
    }
}

TEST_F(FactoryPageTest, LanguageBoxStepsOfferedLanguagesAndCommitsOnce)
{
    Utils::setConfigValue(g_lcd_lang_valid, 0x0Bu); // zh, en, vn
    setU16(768, 1);
    syncShadow();
    g_language = 1;
    run({[]() { PageOpener::open(PageFocus::factory); },
         [this]() {
             auto* box = qobject_cast<QComboBox*>(find("Box_lang_2"));
             EXPECT_TRUE(styleOf("Box_lang_2").contains("255,171,84"));
             key(PanelKeys::kOk);
             EXPECT_TRUE(styleOf("Box_lang_2").contains("255,0,0"));
             std::vector<int> seen;
             for (int code : {PanelKeys::kRight, PanelKeys::kRight2, PanelKeys::kRight, PanelKeys::kLeft, PanelKeys::kLeft2}) {
                 key(code);
                 seen.push_back(box->currentIndex());
             }
             EXPECT_EQ(seen, (std::vector<int>{3, 0, 1, 0, 3}));
             EXPECT_EQ(ApplyGate::instance().c331_apply_flag, 0); // stepping applies nothing
             key(PanelKeys::kOk);
             EXPECT_EQ(ram().RamBlock[768], 3);
             EXPECT_EQ(g_language, 3);
             EXPECT_EQ(ApplyGate::instance().c331_apply_flag, 1);
             EXPECT_TRUE(styleOf("Box_lang_2").contains("255,171,84"));
             screenshot("factory_language");
             // The same language again: no write, no flag, editing ends.
             simChipPass();
             key(PanelKeys::kOk);
             key(PanelKeys::kOk);
             EXPECT_EQ(ApplyGate::instance().c331_apply_flag, 0);
             EXPECT_FALSE(g_factory->editing());
         }});
}

// Back while editing leaves without committing. After a reset put back the
// table's language, the box shows it but the pending language is the one
// from before: OK, OK commits that.
TEST_F(FactoryPageTest, PendingLanguageIsCommittedOnlyByOkAndSurvivesAReset)
{
    Utils::setConfigValue(g_lcd_lang_valid, 0x1Fu);
    setU16(768, 1);
    syncShadow();
    g_language = 1;
    run({[]() { PageOpener::open(PageFocus::factory); },
         [this]() {
             key(PanelKeys::kOk);
             key(PanelKeys::kRight);
             key(PanelKeys::kBack);
             EXPECT_EQ(g_factory, nullptr);
             EXPECT_EQ(g_page_focus, PageFocus::AdvancedOption);
         }});
    EXPECT_EQ(ram().RamBlock[768], 1);
    EXPECT_EQ(g_language, 1);
    EXPECT_EQ(ApplyGate::instance().c331_apply_flag, 0);
    run({[]() { PageOpener::open(PageFocus::factory); },
         [this]() {
             key(PanelKeys::kRight);
             key(PanelKeys::kOk); // reset 1: the table's language 0
             EXPECT_EQ(ram().RamBlock[768], 0);
             EXPECT_EQ(simChipPass(), 1);
         },
         [this]() {
             EXPECT_EQ(qobject_cast<QComboBox*>(find("Box_lang_2"))->currentIndex(), 0);
             EXPECT_EQ(g_factory->pendingLanguage(), 1);
             key(PanelKeys::kLeft);
             key(PanelKeys::kOk);
             key(PanelKeys::kOk);
             EXPECT_EQ(ram().RamBlock[768], 1);
         }});
}

TEST_F(FactoryPageTest, OnlyEnglishOfferedStaysOnEnglish)
{
    Utils::setConfigValue(g_lcd_lang_valid, 0x02u);
    g_language = 2; // not offered: the box starts on English
    run({[]() { PageOpener::open(PageFocus::factory); },
         [this]() {
             auto* box = qobject_cast<QComboBox*>(find("Box_lang_2"));
             EXPECT_EQ(box->currentIndex(), 1);
             key(PanelKeys::kOk);
             key(PanelKeys::kRight);
             EXPECT_EQ(box->currentIndex(), 1);
             key(PanelKeys::kLeft);
             EXPECT_EQ(box->currentIndex(), 1);
         }});
}

TEST_F(FactoryPageTest, ResetButtonsRunOnOkAndBackReturnsToTheAdvancedMenu)
{
    tarvosource::p_tarvo_source = &src_;
    run({[]() { PageOpener::open(PageFocus::factory); },
         [this]() {
             key(PanelKeys::kRight);
             key(PanelKeys::kRight); // reset 2
             EXPECT_TRUE(styleOf("Button_rst2").contains("255,171,84"));
             key(PanelKeys::kOk);
             EXPECT_EQ(ApplyGate::instance().c331_apply_flag, 1);
             EXPECT_TRUE(restartFlags(0));
             key(PanelKeys::kLeft); // reset 1
             key(PanelKeys::kOk);
             EXPECT_TRUE(restartFlags(1));
             key(PanelKeys::kBack);
             EXPECT_EQ(g_page_focus, PageFocus::AdvancedOption);
             EXPECT_EQ(g_factory, nullptr);
         }});
}

TEST_F(FactoryPageTest, FontLineGreenForPresentFontsRedForMissing)
{
    const QString w = "<font style = 'font-size:12px' color = #ffffff >", g = "<font style = 'font-size:13px' color = #00ff00 >",
                  r = "<font style = 'font-size:13px' color = #ff0000 >", e = "</font>";
    g_language = 1;
    // Bits 0 (32 CN) and 3 (64 EN) present.
    EXPECT_EQ(factory::fontLine(0x9, false), w + "CN:" + e + g + "32" + e + w + "|" + e + r + "64" + e + w + "|" + e + r + "128" + e);
    EXPECT_EQ(factory::fontLine(0x9, true), w + "EN:" + e + r + "32" + e + w + "|" + e + g + "64" + e + w + "|" + e + g + "128" + e);
    g_language = 0;
    EXPECT_EQ(factory::fontLine(0x0, true),
              w + QString::fromUtf8("英文:") + e + r + QString::fromUtf8("32宽") + e + w + "|" + e + r +
                  QString::fromUtf8("64宽") + e + w + "|" + e + r + QString::fromUtf8("128宽") + e);
}

} // namespace
} // namespace kel::test
