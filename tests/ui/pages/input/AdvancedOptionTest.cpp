#include "ui/support/ShellFixture.h"

#include "params/global.h"
#include "platform/PathMap.h"
#include "ui/pages/input/AdvancedOption.h"
#include "ui/pages/registerPageMakers.h"
#include "ui/shell/NumberKeyboard.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/PageTable.h"
#include "ui/shell/PanelKeys.h"

#include <QDir>
#include <QFile>
#include <QLabel>

#include <thread>

namespace kel::test {
namespace {

const QString kRest = "background-color: rgb(33, 36, 53);border:2px;border-radius:10px;padding:2px 4px;"
                      "color:rgb(255,255,255)";
const QString kFocus = "background-color: rgb(33, 36, 53); border:2px solid rgb(255,171,84);"
                       "border-radius:10px;padding:2px 4px;color:rgb(255,255,255)";
const QString kGrey = "background-color: gray;border:2px;border-radius:10px;padding:2px 4px;color:rgb(255,255,255)";
const QString kGreyFocus = "background-color: gray; border:2px solid rgb(255,171,84);border-radius:10px;"
                           "padding:2px 4px;color:rgb(255,255,255)";

// Number keyboard keys by their place in its focus ring.
constexpr int kCancel = 12, kOkKey = 13;
int digit(int d) { return d == 0 ? 9 : d - 1; }

class AdvancedOptionTest : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        registerPageMakers();
        g_page_focus = PageFocus::MainWindow;
        recoveryDir = platform::PathMap::host(QStringLiteral("/data/rcvrecovery"));
        QDir(recoveryDir).removeRecursively();
    }
    // The settings menu, then its last entry: the advanced menu.
    std::vector<Step> openMenu()
    {
        return {[]() { PageOpener::open(PageFocus::Option); },
                [this]() {
                    key(PanelKeys::kLeft);
                    key(PanelKeys::kOk);
                }};
    }
    Step pressKeyboard(int index)
    {
        return [this, index]() {
            ASSERT_TRUE(g_numberkeyboard->isVisible());
            for (int n = 0; n < NumberKeyboard::KeyCount && g_numberkeyboard->ui_select() != index; ++n)
                key(PanelKeys::kRight);
            key(PanelKeys::kOk);
        };
    }
    Step openAgeing()
    {
        return [this]() {
            ASSERT_EQ(g_page_focus, PageFocus::AdvancedOption);
            if (g_advancedoption->current() != AdvancedOption::Age)
                key(PanelKeys::kLeft); // from the first entry, wrapping
            ASSERT_EQ(g_advancedoption->current(), int(AdvancedOption::Age));
            key(PanelKeys::kOk); // the keyboard's loop
        };
    }
    static QString keyboardTitle() { return g_numberkeyboard->findChild<QLabel*>("label")->text(); }

    QString recoveryDir;
};

TEST_F(AdvancedOptionTest, RecoveryEntryIsGreyWithoutFilesAndWakesAfterAQueuedRefresh)
{
    std::vector<Step> steps = openMenu();
    steps.push_back([this]() {
        ASSERT_EQ(g_page_focus, PageFocus::AdvancedOption);
        EXPECT_EQ(styleOf("Button_rcv_recovery"), kGrey);
        key(PanelKeys::kRight);
        key(PanelKeys::kRight);
        EXPECT_EQ(styleOf("Button_rcv_recovery"), kGreyFocus);
        EXPECT_EQ(styleOf("Button_other"), kRest);
        key(PanelKeys::kOk);
        EXPECT_EQ(g_page_focus, PageFocus::AdvancedOption);
        EXPECT_EQ(PageTable::at(PageFocus::rcv_recovery), nullptr);
        // An empty folder is no better than none.
        ASSERT_TRUE(QDir().mkpath(recoveryDir));
        g_advancedoption->language_changed();
        EXPECT_EQ(styleOf("Button_rcv_recovery"), kGreyFocus);
        // A file arrives over a link; its handler refreshes from its thread.
        QFile file(recoveryDir + "/QJFX");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
        file.close();
        AdvancedOption* menu = g_advancedoption;
        std::thread link([menu]() { menu->language_changed(); });
        link.join();
    });
    steps.push_back([]() {}); // the queued refresh runs after the step queued before it
    steps.push_back([this]() {
        EXPECT_EQ(g_advancedoption->rcvFileCount(), 1);
        EXPECT_EQ(styleOf("Button_rcv_recovery"), kFocus);
        key(PanelKeys::kOk);
    });
    steps.push_back([this]() {
        EXPECT_EQ(g_page_focus, PageFocus::rcv_recovery);
        key(PanelKeys::kBack);
        EXPECT_EQ(g_page_focus, PageFocus::AdvancedOption);
        EXPECT_EQ(styleOf("Button_rcv_recovery"), kFocus);
    });
    run(steps);
}

TEST_F(AdvancedOptionTest, FileCountSurvivesAFailedListingAndDoesNotWrapAtAByte)
{
    std::optional<int> listed;
    AdvancedOption::setFileCounter([&listed]() { return listed; });
    struct Reset {
        ~Reset() { AdvancedOption::setFileCounter(nullptr); }
    } reset;
    // {what the listing gives, the count kept, the entry's style}
    const struct { std::optional<int> listed; int count; const QString& style; } rows[] = {
        {256, 256, kRest}, {std::nullopt, 256, kRest}, {0, 0, kGrey}, {std::nullopt, 0, kGrey}, {1, 1, kRest}};
    std::vector<Step> steps = openMenu();
    steps.push_back([&]() {
        ASSERT_EQ(g_page_focus, PageFocus::AdvancedOption);
        for (const auto& r : rows) {
            listed = r.listed;
            g_advancedoption->language_changed();
            EXPECT_EQ(g_advancedoption->rcvFileCount(), r.count);
            EXPECT_EQ(styleOf("Button_rcv_recovery"), r.style) << r.count;
        }
    });
    run(steps);
}

TEST_F(AdvancedOptionTest, OnlyTheAccessCodeOpensTheAgeingLogAfterTheKeyboardHasClosed)
{
    struct Case {
        const char* name;
        int language;
        uint32_t offered;
        std::vector<int> keys; // ending with OK or Cancel
        const char* title;
        bool opens;
    };
    const Case cases[] = {
        {"right code", 1, 0x1001F, {digit(4), digit(7), digit(1), digit(9), kOkKey}, "key", true},
        {"wrong code", 0, 0x1001F, {digit(1), digit(2), digit(3), digit(4), kOkKey}, "key", false},
        {"longer code", 1, 0x1001F, {digit(4), digit(7), digit(1), digit(9), digit(0), kOkKey}, "key", false},
        {"asterisks", 2, 0x1001F, {kOkKey}, "Пароль", false},
        {"cancel", 2, 0x1001B, {digit(4), digit(7), digit(1), digit(9), kCancel}, "key", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_language = c.language;
        g_lcd_lang_valid = c.offered;
        std::vector<Step> steps = openMenu();
        steps.push_back(openAgeing());
        steps.push_back([&c]() {
            ASSERT_TRUE(g_numberkeyboard->isVisible());
            EXPECT_EQ(keyboardTitle(), QString::fromUtf8(c.title));
            EXPECT_EQ(g_numberkeyboard->entryText(), QString("**********"));
        });
        if (c.language == 1 && c.opens)
            steps.push_back([this]() { screenshot("menu_advancedoption_code_en"); });
        for (int k : c.keys)
            steps.push_back(pressKeyboard(k));
        steps.push_back([this, &c]() {
            EXPECT_FALSE(g_numberkeyboard->isVisible());
            EXPECT_EQ(g_page_focus, c.opens ? PageFocus::factoryage : PageFocus::AdvancedOption);
            EXPECT_EQ(PageTable::at(PageFocus::factoryage) != nullptr, c.opens);
            EXPECT_EQ(g_advancedoption->current(), int(AdvancedOption::Age));
            if (c.opens)
                key(PanelKeys::kBack);
        });
        // The code is asked again on the next opening.
        steps.push_back(openAgeing());
        steps.push_back([]() { EXPECT_TRUE(g_numberkeyboard->isVisible()); });
        steps.push_back(pressKeyboard(kCancel));
        run(steps);
    }
}

TEST_F(AdvancedOptionTest, AcceptedCodeOpensNothingOnceTheMenuIsNoLongerInFront)
{
    std::vector<Step> steps = openMenu();
    steps.push_back(openAgeing());
    for (int d : {4, 7, 1, 9})
        steps.push_back(pressKeyboard(digit(d)));
    steps.push_back([this]() {
        g_page_focus = PageFocus::Option; // as if another call moved the focus meanwhile
    });
    steps.push_back(pressKeyboard(kOkKey));
    steps.push_back([]() {
        EXPECT_FALSE(g_numberkeyboard->isVisible());
        EXPECT_EQ(PageTable::at(PageFocus::factoryage), nullptr);
        EXPECT_EQ(g_page_focus, PageFocus::Option);
    });
    run(steps);
}

} // namespace
} // namespace kel::test
