#include "ui/support/ShellFixture.h"

#include "params/global.h"
#include "ui/shell/FocusRing.h"
#include "ui/shell/MenuPage.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageForm.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/PageTable.h"
#include "ui/shell/PanelKeys.h"

#include <QPushButton>

namespace kel::test {
namespace {

const char* const kLinkTexts[5] = {"链接", "Link", "Связь", "Liên kết", "鏈接"};

// A menu of three entries in the settings menu's place; the middle one is
// enabled while the flag is set.
class TestMenu : public MenuPage {
public:
    static bool middleEnabled;
    static int refreshes;
    TestMenu() : MenuPage(PageFocus::Option, "Option")
    {
        setEntries({{"Button_a", QRect(15, 47, 90, 80), PageFocus::OutputSet, "output_set", {64, 64}, nullptr, {}},
                    {"Button_b", QRect(115, 47, 90, 80), PageFocus::LinkOption, nullptr, {64, 64}, kLinkTexts,
                     [] { return middleEnabled; }},
                    {"Button_c", QRect(215, 47, 90, 80), PageFocus::AdvancedOption, "AdvanceButton", {70, 70}, nullptr, {}}});
    }
    void language_changed() override
    {
        ++refreshes;
        MenuPage::language_changed();
    }
};
bool TestMenu::middleEnabled = true;
int TestMenu::refreshes = 0;

class MenuPageTest : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        TestMenu::middleEnabled = true;
        TestMenu::refreshes = 0;
        PageOpener::setMaker(PageFocus::Option, []() -> PageBase* { return new TestMenu(); });
        g_page_focus = PageFocus::MainWindow;
    }
    static TestMenu* menu() { return static_cast<TestMenu*>(PageTable::at(PageFocus::Option)); }
    Step openMenu()
    {
        return []() { PageOpener::open(PageFocus::Option); };
    }
    const FocusRing::Styles styles = MenuPage::defaultStyles();
};

TEST_F(MenuPageTest, LeftAndRightWrapAndMarkOnlyTheFocusedEntry)
{
    run({openMenu(), [&]() {
             ASSERT_NE(menu(), nullptr);
             EXPECT_EQ(g_page_focus, PageFocus::Option);
             const struct {
                 int code;
                 int expected;
             } steps[] = {{PanelKeys::kLeft, 2}, {PanelKeys::kRight, 0}, {PanelKeys::kRight, 1},
                          {PanelKeys::kRight2, 2}, {PanelKeys::kRight, 0}, {PanelKeys::kLeft2, 2}};
             for (const auto& s : steps) {
                 key(s.code);
                 EXPECT_EQ(menu()->current(), s.expected);
             }
             EXPECT_EQ(styleOf("Button_c"), styles.focus);
             EXPECT_EQ(styleOf("Button_a"), styles.rest);
             EXPECT_EQ(iconOf("Button_a"), QString(":/png/en_output_set.png"));
             EXPECT_EQ(menu()->entryButton(2)->iconSize(), QSize(70, 70));
             EXPECT_EQ(menu()->entryButton(1)->text(), QString("Link"));
             screenshot("menu_page_en");
         }});
}

TEST_F(MenuPageTest, OkOpensTheChildAndBackRestoresAndRetextsTheMenu)
{
    run({openMenu(), [this]() { key(PanelKeys::kRight); },
         [this]() {
             g_language = 0; // the child changes the language meanwhile
             key(PanelKeys::kOk); // opens the link menu's placeholder (nested loop)
         },
         [this]() {
             EXPECT_EQ(g_page_focus, PageFocus::LinkOption);
             ASSERT_NE(PageTable::at(PageFocus::LinkOption), nullptr);
             const int before = TestMenu::refreshes;
             key(PanelKeys::kBack);
             EXPECT_EQ(g_page_focus, PageFocus::Option);
             EXPECT_EQ(TestMenu::refreshes, before + 1);
             EXPECT_EQ(menu()->current(), 1);
             EXPECT_EQ(menu()->entryButton(1)->text(), QString::fromUtf8("链接"));
             EXPECT_EQ(iconOf("Button_a"), QString(":/png/output_set.png"));
         },
         [this]() {
             key(PanelKeys::kBack);
             EXPECT_EQ(g_page_focus, PageFocus::MainWindow);
             EXPECT_EQ(PageTable::at(PageFocus::Option), nullptr);
         }});
}

TEST_F(MenuPageTest, DisabledEntryTakesTheFocusGreyAndOpensNothing)
{
    TestMenu::middleEnabled = false;
    run({openMenu(), [this]() {
             EXPECT_EQ(styleOf("Button_b"), styles.disabled);
             key(PanelKeys::kRight);
             EXPECT_EQ(styleOf("Button_b"), styles.disabledFocus);
             key(PanelKeys::kOk);
             EXPECT_EQ(g_page_focus, PageFocus::Option);
             EXPECT_EQ(PageTable::at(PageFocus::LinkOption), nullptr);
             TestMenu::middleEnabled = true; // a refresh brings it alive
             menu()->language_changed();
             EXPECT_EQ(styleOf("Button_b"), styles.focus);
         }});
}

TEST(FocusRingTest, StepsSkipDisabledEntriesWhenAskedAndClampWithoutWrap)
{
    QWidget w[4];
    FocusRing ring;
    const FocusRing::Styles s{"rest", "focus", "off", "offFocus", "edit"};
    for (QWidget& x : w)
        ring.add(&x, s);
    ring.setCurrent(0);
    ring.setEnabled(1, false);
    EXPECT_EQ(ring.step(1), 1); // disabled entries keep the focus by default
    EXPECT_EQ(w[1].styleSheet(), QString("offFocus"));
    ring.setSkipDisabled(true);
    ring.setCurrent(0);
    struct {
        bool clamped;
        int delta;
        int expected;
    } const steps[] = {{false, 1, 2}, {false, 1, 3}, {false, 1, 0}, {false, -1, 3}, {true, 1, 3},
                       {true, -1, 2}, {true, -1, 0}, {true, -1, 0}, {true, 5, 3}};
    for (const auto& st : steps) {
        const int got = st.clamped ? ring.stepClamped(st.delta) : ring.step(st.delta);
        EXPECT_EQ(got, st.expected) << st.clamped << st.delta;
    }
    EXPECT_EQ(w[3].styleSheet(), QString("focus"));
    EXPECT_EQ(w[1].styleSheet(), QString("off"));
    ring.setEditing(true);
    EXPECT_EQ(w[3].styleSheet(), QString("edit"));
    ring.setEditing(false);
    ring.setStyles(3, {"r2", "f2", "", "", ""});
    EXPECT_EQ(w[3].styleSheet(), QString("f2"));
}

TEST(PageFormTest, FormBuildersGiveTheLooksOfTheForms)
{
    // The drop-down rows of the LCD display and factory pages.
    const struct { const char* border; const char* style; } rows[] = {
        {"rgb(255,255,255)", "QComboBox{\ncolor:rgb(255,255,255);\nborder:1px solid rgb(255,255,255);\n}\n"
                             "QComboBox:drop-down{\nborder-style:none\n}"},
        {"rgb(255,0,0)", "QComboBox{\ncolor:rgb(255,255,255);\nborder:1px solid rgb(255,0,0);\n}\n"
                         "QComboBox:drop-down{\nborder-style:none\n}"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(PageForm::comboStyle(r.border), QString(r.style));
    QPushButton b;
    b.setFont(QFont("Ubuntu"));
    PageForm::setPointSize(&b, 9);
    EXPECT_EQ(b.font().pointSize(), 9);
    EXPECT_EQ(b.font().family(), QString("Ubuntu"));
}

} // namespace
} // namespace kel::test
