#include "ui/support/ShellFixture.h"

#include "params/RamLayout.h"
#include "params/SyncReason.h"
#include "params/global.h"
#include "ui/pages/input/AdvancedOption.h"
#include "ui/pages/input/ImageQuality.h"
#include "ui/pages/input/LinkOption.h"
#include "ui/pages/registerPageMakers.h"
#include "ui/shell/Option.h"
#include "ui/shell/OutputSet.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/PageTable.h"
#include "ui/shell/PanelKeys.h"
#include "ui/shell/ShellGlobals.h"
#include "ui/shell/TIP.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QVariant>

#include <thread>

namespace kel::test {
namespace {

const QString kWideRest = "background-color: rgb(33, 36, 53);border:2px;border-radius:10px;padding:2px 4px;"
                          "color:rgb(255,255,255)";
const QString kWideFocus = "background-color: rgb(33, 36, 53); border:2px solid rgb(255,171,84);"
                           "border-radius:10px;padding:2px 4px;color:rgb(255,255,255)";
const QString kTextRest = "color:rgb(255,255,255);background-color: rgb(33, 36, 53) ; border:2px ;"
                          "border-radius:10px;padding:2px 4px";
const QString kTextFocus = "color:rgb(255,255,255);background-color: rgb(33, 36, 53); "
                           "border:2px solid rgb(255,171,84);border-radius:10px;padding:2px 4px";

struct MenuCase {
    const char* name;
    uint8_t focus;
    uint8_t parent;
    int optionEntry; // the settings-menu entry that opens it; -1: the settings menu
    std::vector<const char*> buttons;
    std::vector<uint8_t> children;
    const char* titleEn;
    const char* titleZh;
    bool wideStyles;
    MenuPage* (*pointer)();
    QRect title;
    QRect lastButton;
    bool hints; // the OK and Back hint pictures at the bottom
};

const MenuCase kMenus[] = {
    {"option", PageFocus::Option, PageFocus::MainWindow, -1,
     {"output_set", "input_cut", "image_layout", "link_set", "image_quality", "test_chart", "smart_mapping",
      "AdvanceButton"},
     {6, 7, 9, 10, 11, 16, 24, 12}, "Setting", "设置", true, []() -> MenuPage* { return g_option; },
     QRect(50, 10, 220, 22), QRect(240, 137, 70, 80), true},
    {"outputset", PageFocus::OutputSet, PageFocus::Option, 0, {"Button_ledset", "Button_lanset"}, {13, 14},
     "Output Seeting", "输出设置", false, []() -> MenuPage* { return g_outputset; },
     QRect(50, 10, 220, 22), QRect(115, 47, 90, 80), true},
    {"linkoption", PageFocus::LinkOption, PageFocus::Option, 3, {"Button_com", "Button_wlan", "Button_usb"},
     {21, 22, 26}, "Communication", "通讯设置", false, []() -> MenuPage* { return g_linkoption; },
     QRect(50, 10, 220, 22), QRect(215, 47, 90, 80), false},
    {"imagequality", PageFocus::ImageQuality, PageFocus::Option, 4, {"Button_quality", "Button_temperature"},
     {19, 20}, "Image quality", "图像效果", false, []() -> MenuPage* { return g_imagequality; },
     QRect(50, 10, 220, 22), QRect(115, 47, 90, 80), false},
    // The ageing entry asks for a code first; its own tests cover it.
    {"advancedoption", PageFocus::AdvancedOption, PageFocus::Option, 7,
     {"Button_LCDshow", "Button_other", "Button_rcv_recovery", "Button_factory", "Button_age"},
     {15, 17, 25, 18}, "Advanced Settings", "高级设置", true, []() -> MenuPage* { return g_advancedoption; },
     QRect(78, 10, 164, 22), QRect(115, 137, 90, 80), true},
};

class MenusTest : public ShellFixture, public ::testing::WithParamInterface<MenuCase> {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        registerPageMakers();
        AdvancedOption::setFileCounter([]() { return std::optional<int>(2); });
        g_page_focus = PageFocus::MainWindow;
    }
    void TearDown() override
    {
        AdvancedOption::setFileCounter(nullptr);
        ShellFixture::TearDown();
    }
    // Opens the settings menu and, through its entry, the menu under test.
    std::vector<Step> openMenu(const MenuCase& m)
    {
        std::vector<Step> steps{[]() { PageOpener::open(PageFocus::Option); }};
        if (m.optionEntry >= 0) {
            steps.push_back([this, m]() {
                for (int i = 0; i < m.optionEntry; ++i)
                    key(PanelKeys::kRight);
                key(PanelKeys::kOk);
            });
        }
        return steps;
    }
    static MenuPage* page(uint8_t focus) { return static_cast<MenuPage*>(PageTable::at(focus)); }
    static QString titleOf(uint8_t focus) { return page(focus)->findChild<QLabel*>("label_title")->text(); }
};

TEST_P(MenusTest, LeftRightWrapAndOkBackKeepTheEntryAndRetext)
{
    const MenuCase m = GetParam();
    const int last = static_cast<int>(m.buttons.size()) - 1;
    std::vector<Step> steps = openMenu(m);
    steps.push_back([this, m, last]() {
        ASSERT_EQ(g_page_focus, m.focus);
        ASSERT_NE(m.pointer(), nullptr);
        EXPECT_EQ(static_cast<PageBase*>(m.pointer()), PageTable::at(m.focus));
        EXPECT_EQ(titleOf(m.focus), QString::fromUtf8(m.titleEn));
        MenuPage* menu = page(m.focus);
        EXPECT_EQ(menu->findChild<QLabel*>("label_title")->geometry(), m.title);
        EXPECT_EQ(menu->entryButton(last)->objectName(), m.buttons[last]);
        EXPECT_EQ(menu->entryButton(last)->geometry(), m.lastButton);
        const struct { const char* name; QRect geometry; const char* picture; } hints[] = {
            {"label_note_OK", QRect(105, 220, 51, 17), ":/png/OK_Enter.png"},
            {"label_note_back", QRect(176, 220, 56, 17), ":/png/back_return.png"}};
        for (const auto& h : hints) {
            auto* hint = menu->findChild<QLabel*>(h.name);
            ASSERT_EQ(hint != nullptr, m.hints) << h.name;
            if (hint) {
                EXPECT_EQ(hint->geometry(), h.geometry);
                EXPECT_EQ(hint->property("iconPath").toString(), h.picture);
            }
        }
        key(PanelKeys::kLeft);
        EXPECT_EQ(page(m.focus)->current(), last);
        EXPECT_EQ(styleOf(m.buttons[last]), m.wideStyles ? kWideFocus : kTextFocus);
        EXPECT_EQ(styleOf(m.buttons[0]), m.wideStyles ? kWideRest : kTextRest);
        key(PanelKeys::kRight);
        EXPECT_EQ(page(m.focus)->current(), 0);
        EXPECT_EQ(styleOf(m.buttons[0]), m.wideStyles ? kWideFocus : kTextFocus);
    });
    for (size_t i = 0; i < m.children.size(); ++i) {
        const uint8_t child = m.children[i];
        steps.push_back([this, m, i]() {
            ASSERT_EQ(g_page_focus, m.focus);
            for (size_t n = 0; n < m.buttons.size() && page(m.focus)->current() != static_cast<int>(i); ++n)
                key(PanelKeys::kRight);
            key(PanelKeys::kOk);
        });
        steps.push_back([this, m, i, child]() {
            EXPECT_EQ(g_page_focus, child) << i;
            EXPECT_NE(PageTable::at(child), nullptr) << i;
            g_language = (i % 2) ? 1 : 0; // the child changes the language meanwhile
            key(PanelKeys::kBack);
            EXPECT_EQ(g_page_focus, m.focus);
            EXPECT_EQ(PageTable::at(child), nullptr);
            EXPECT_EQ(page(m.focus)->current(), static_cast<int>(i));
            EXPECT_EQ(titleOf(m.focus), QString::fromUtf8((i % 2) ? m.titleEn : m.titleZh));
        });
    }
    steps.push_back([this, m]() {
        g_language = 0;
        key(PanelKeys::kBack);
        EXPECT_EQ(g_page_focus, m.parent);
        EXPECT_EQ(m.pointer(), nullptr);
        EXPECT_EQ(PageTable::at(m.focus), nullptr);
        if (m.parent == PageFocus::Option) {
            EXPECT_EQ(titleOf(PageFocus::Option), QString::fromUtf8("设置"));
        }
    });
    run(steps);
}

TEST_P(MenusTest, ModeClosesTheChainAndOpensTheUserModePage)
{
    const MenuCase m = GetParam();
    std::vector<Step> steps = openMenu(m);
    steps.push_back([this, m]() {
        screenshot(QStringLiteral("menu_%1_en").arg(m.name));
        g_language = 0;
        page(m.focus)->language_changed();
        EXPECT_EQ(titleOf(m.focus), QString::fromUtf8(m.titleZh));
        screenshot(QStringLiteral("menu_%1_zh").arg(m.name));
        key(PanelKeys::kMode);
    });
    steps.push_back([this, m]() {
        EXPECT_EQ(g_page_focus, PageFocus::CustomMode);
        EXPECT_EQ(g_mode_shortcut_key, 1);
        EXPECT_EQ(g_option, nullptr);
        EXPECT_EQ(m.pointer(), nullptr);
        EXPECT_EQ(PageTable::at(m.focus), nullptr);
        EXPECT_NE(PageTable::at(PageFocus::CustomMode), nullptr);
    });
    run(steps);
}

TEST_P(MenusTest, ABroadcastRetextsOnlyWhenTheLanguageChangedAndKeepsTheFocus)
{
    const MenuCase m = GetParam();
    // The link menu's broadcasts show the saved notice: let it run out.
    const Step noticeRunsOut = [this]() {
        if (g_tip->isVisible())
            tick(TIP::kShownTicks);
    };
    std::vector<Step> steps = openMenu(m);
    steps.push_back([this, m]() {
        ASSERT_EQ(g_page_focus, m.focus);
        setU16(RamLayout::kLcdLanguage, 1); // stored and applied: English
        syncShadow();
        key(PanelKeys::kRight);
        g_language = 0; // not announced by the block: not a language change
        sync_->para_sync(SYNC_PARA);
    });
    steps.push_back(noticeRunsOut);
    steps.push_back([]() {});
    steps.push_back([this, m]() {
        EXPECT_EQ(titleOf(m.focus), QString::fromUtf8(m.titleEn));
        setU16(RamLayout::kLcdLanguage, 0);
        sync_->para_sync(SYNC_PARA);
    });
    steps.push_back(noticeRunsOut);
    steps.push_back([]() {});
    steps.push_back([this, m]() {
        EXPECT_EQ(titleOf(m.focus), QString::fromUtf8(m.titleZh));
        EXPECT_EQ(page(m.focus)->current(), 1);
        EXPECT_EQ(g_page_focus, m.focus);
    });
    run(steps);
}

INSTANTIATE_TEST_SUITE_P(Menus, MenusTest, ::testing::ValuesIn(kMenus),
                         [](const ::testing::TestParamInfo<MenuCase>& info) { return std::string(info.param.name); });

class OptionTest : public MenusTest {};

TEST_F(OptionTest, IconsArePickedAndDrawnAtTheirSizePerLanguage)
{
    struct Case {
        int language;
        const char* prefix;
        int widths[8];
    };
    const Case cases[] = {
        {1, "en_", {75, 70, 70, 70, 75, 55, 55, 54}}, {2, "ru_", {55, 70, 55, 70, 55, 55, 55, 70}},
        {0, "", {55, 55, 55, 55, 55, 55, 55, 55}},    {3, "vn_", {55, 70, 55, 70, 55, 55, 55, 54}},
        {4, "tn_", {55, 55, 55, 55, 55, 55, 55, 55}},
    };
    const char* const bases[8] = {"output_set", "input_cut", "image_layout", "link_set",
                                  "image_quality", "test_chart", "smart_mapping", "AdvanceButton"};
    run({[]() { PageOpener::open(PageFocus::Option); },
         [&]() {
             for (const Case& c : cases) {
                 g_language = c.language;
                 g_option->language_changed();
                 for (int i = 0; i < 8; ++i) {
                     SCOPED_TRACE(std::to_string(c.language) + " " + bases[i]);
                     const QSize size(c.widths[i], 60);
                     QPushButton* b = g_option->entryButton(i);
                     EXPECT_EQ(b->iconSize(), size);
                     // Never shown smaller than its size: the picture is drawn at it.
                     EXPECT_EQ(b->icon().actualSize(size), size);
                     const QString base = (c.language == 1 && i == 7) ? "advance_option" : bases[i];
                     EXPECT_EQ(iconOf(bases[i]), QString(":/png/%1%2.png").arg(c.prefix, base));
                 }
             }
             g_lcd_lang_valid = 0x1001B; // Russian not offered: English sizes
             g_language = 2;
             g_option->language_changed();
             EXPECT_EQ(g_option->entryButton(0)->iconSize(), QSize(75, 60));
         }});
}

TEST_F(OptionTest, BackFromAnotherThreadActsOnlyWhileTheMenuIsInFront)
{
    auto backFromWorker = []() {
        Option* option = g_option;
        std::thread worker([option]() { option->slot_Button_back_clicked(); });
        worker.join();
    };
    // The script's steps are queued calls too: the worker's call runs after
    // the step already queued, so the effect is checked one step later.
    const Step queuedCallRuns = []() {};
    run({[]() { PageOpener::open(PageFocus::Option); },
         [this]() {
             key(PanelKeys::kRight);
             key(PanelKeys::kOk); // the crop page's placeholder is in front
         },
         [backFromWorker]() {
             ASSERT_EQ(g_page_focus, PageFocus::InputCut);
             backFromWorker();
         },
         queuedCallRuns,
         [this]() {
             EXPECT_EQ(g_page_focus, PageFocus::InputCut);
             ASSERT_NE(g_option, nullptr);
             key(PanelKeys::kBack);
         },
         [backFromWorker]() {
             ASSERT_EQ(g_page_focus, PageFocus::Option);
             backFromWorker();
         },
         queuedCallRuns,
         []() {
             EXPECT_EQ(g_page_focus, PageFocus::MainWindow);
             EXPECT_EQ(g_option, nullptr);
         }});
}

TEST_F(OptionTest, LanguageChangeFromALinkThreadActsOnlyWhileTheMenuIsInFront)
{
    auto retextFromLink = []() {
        Option* option = g_option;
        std::thread link([option]() { option->language_changed(); });
        link.join();
    };
    const Step queuedCallRuns = []() {};
    g_language = 1;
    run({[]() { PageOpener::open(PageFocus::Option); },
         [this]() {
             key(PanelKeys::kRight);
             key(PanelKeys::kOk); // the crop page's placeholder is in front
         },
         [retextFromLink]() {
             ASSERT_EQ(g_page_focus, PageFocus::InputCut);
             g_language = 0;
             retextFromLink();
         },
         queuedCallRuns,
         [this]() {
             EXPECT_EQ(titleOf(PageFocus::Option), QString("Setting"));
             key(PanelKeys::kBack); // the return re-texts the menu
         },
         [retextFromLink]() {
             ASSERT_EQ(titleOf(PageFocus::Option), QString::fromUtf8("设置"));
             g_language = 1;
             retextFromLink();
         },
         queuedCallRuns,
         [this, retextFromLink]() {
             EXPECT_EQ(titleOf(PageFocus::Option), QString("Setting"));
             retextFromLink();
             key(PanelKeys::kBack); // closed before the call arrives
         },
         queuedCallRuns,
         []() {
             EXPECT_EQ(g_page_focus, PageFocus::MainWindow);
             EXPECT_EQ(g_option, nullptr);
         }});
}

TEST_F(OptionTest, ABroadcastWhileTheLinkMenuIsInFrontShowsTheSavedNoticeOnce)
{
    int notices = 0;
    run({[]() { PageOpener::open(PageFocus::Option); },
         [this]() {
             for (int i = 0; i < 3; ++i)
                 key(PanelKeys::kRight); // link_set, entry 3
             key(PanelKeys::kOk);
         },
         [this]() {
             ASSERT_EQ(g_page_focus, PageFocus::LinkOption);
             setU16(1378, 1280); // a change the pass saves
             sync_->para_sync(SYNC_PARA); // runs the notice's loop
         },
         [this, &notices]() {
             // Runs inside each notice shown: one is expected.
             notices += g_tip->isVisible();
             tick(TIP::kShownTicks);
         },
         [this, &notices]() {
             notices += g_tip->isVisible();
             if (g_tip->isVisible())
                 tick(TIP::kShownTicks);
         },
         [&notices]() {
             EXPECT_EQ(notices, 1);
             EXPECT_EQ(g_page_focus, PageFocus::LinkOption);
         }});
}

TEST_F(OptionTest, OutputMenuHintShowsTheCurrentLedSize)
{
    setU16(1378, 1920);
    setU16(1380, 1080);
    run({[]() { PageOpener::open(PageFocus::Option); }, [this]() { key(PanelKeys::kOk); },
         [this]() {
             auto* info = g_outputset->findChild<QLabel*>("label_info");
             EXPECT_EQ(info->text(), QString("LED Screen can be set:1920x1080"));
             setU16(1378, 3840); // shown only after the next refresh
             EXPECT_EQ(info->text(), QString("LED Screen can be set:1920x1080"));
             key(PanelKeys::kOk);
         },
         [this]() { key(PanelKeys::kBack); },
         []() {
             EXPECT_EQ(g_outputset->findChild<QLabel*>("label_info")->text(),
                       QString("LED Screen can be set:3840x1080"));
         }});
}

// The menu's image and stick helpers (nothing on the page calls them).
TEST_F(OptionTest, GreyscaleCopyAndScanFilesOnTheStick)
{
    QImage colour(2, 1, QImage::Format_RGB32);
    colour.setPixel(0, 0, qRgb(255, 255, 255));
    colour.setPixel(1, 0, qRgb(0, 0, 0));
    const QImage grey = Option::converToGrayscale(colour);
    EXPECT_EQ(grey.format(), QImage::Format_Grayscale8);
    EXPECT_EQ(grey.size(), colour.size());
    EXPECT_EQ(grey.constScanLine(0)[0], 255);
    EXPECT_EQ(grey.constScanLine(0)[1], 0);

    EXPECT_EQ(Option::get_file_list_usbpath(), 0) << "no stick";
    const QString stick = QString::fromStdString(hostPath("/mnt/usb1"));
    ASSERT_TRUE(QDir().mkpath(stick + "/folder.qjfile"));
    for (const char* name : {"a.qjfile", "b.x.qjfile", "c.QJFILE", "d.qjfile.bak", "eqjfile", "folder.qjfile/f.qjfile"}) {
        QFile f(stick + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << name;
    }
    ASSERT_TRUE(QFile::link(stick + "/a.qjfile", stick + "/link.qjfile"));
    EXPECT_EQ(Option::get_file_list_usbpath(), 2) << "a.qjfile and b.x.qjfile";
}

} // namespace
} // namespace kel::test
