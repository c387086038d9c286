#include "ui/support/ShellFixture.h"

#include "params/global.h"
#include "ui/pages/device/factoryage.h"
#include "ui/pages/registerPageMakers.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/PageTable.h"
#include "ui/shell/ShellGlobals.h"
#include "ui/shell/PageBase.h"
#include "ui/shell/PanelKeys.h"

#include <QDialog>

#include <QLabel>
#include <QRegularExpression>

namespace kel::test {
namespace {

class AgeingLogPageTest : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        registerPageMakers();
        g_page_focus = PageFocus::AdvancedOption;
    }
    void fill(int n)
    {
        for (int i = 0; i < n; ++i)
            factoryage_log.append(QStringLiteral("09-26 14:%1 %2 31 7").arg(i % 60, 2, 10, QLatin1Char('0')).arg(i));
    }
    static QString text(const char* name) { return qobject_cast<QLabel*>(find(name))->text(); }
    static int lines() { return text("agelog_label").count(QStringLiteral("<br>")) + 1; }
};

TEST_F(AgeingLogPageTest, EntryLineColoursTheFiveFlags)
{
    const QString g = "<font color = #00FF00 >", r = "<font color = #FF0000 >", e = "</font>";
    const struct {
        const char* entry;
        bool first;
        QString line;
    } cases[] = {
        {"09-26 14:03 12 31 34", true,
         "09-26 14:03 012 " + g + "DDR0" + e + " " + g + "DDR1" + e + " " + g + "DE" + e + " " + g + "HS" + e + " " + g +
             "VS" + e + " 034"},
        // A clear VS runs straight into the digits.
        {"01-02 03:04 5 0 255", false,
         "<br>01-02 03:04 005 " + r + "DDR0" + e + " " + r + "DDR1" + e + " " + r + "DE" + e + " " + r + "HS" + e +
             " " + r + "VS" + e + "255"},
        {"01-02 03:04 5 10 6", true,
         "01-02 03:04 005 " + r + "DDR0" + e + " " + g + "DDR1" + e + " " + r + "DE" + e + " " + g + "HS" + e + " " +
             r + "VS" + e + "006"},
        {"01-02 03:04 5 10", true, ""},          // four fields: skipped
        {"01-02  03:04 5 10 6", true, ""},       // an empty part counts: six fields
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry);
        EXPECT_EQ(factoryage::entryLine(QString::fromLatin1(c.entry), c.first), c.line);
    }
}

TEST_F(AgeingLogPageTest, EmptyLogShowsTheInProgressLineThenOneOfZero)
{
    factoryage_log_diff3 = 0;
    run({[]() { PageOpener::open(PageFocus::factoryage); },
         [this]() {
             EXPECT_TRUE(QRegularExpression(QString::fromUtf8("^\\d\\d-\\d\\d \\d\\d:\\d\\d  正在老化中\\.\\.\\.$"))
                             .match(text("agelog_label"))
                             .hasMatch())
                 << text("agelog_label").toStdString();
             for (const auto& [name, value] : {std::pair<const char*, const char*>{"label_3", "0<3"},
                                               {"label_5", "0<5"}, {"label_10", "0<10"}, {"label_20", "0<20"},
                                               {"label_more", "0>20"}, {"page_info", "0"}, {"label_page", "0/0"}})
                 EXPECT_EQ(text(name), value) << name;
             // No FPGA: the period takes no sample but still refreshes the page.
             tick(18000);
             EXPECT_TRUE(factoryage_log.isEmpty());
             EXPECT_EQ(text("label_page"), "1/0");
             screenshot("ageing_log_empty");
         }});
}

TEST_F(AgeingLogPageTest, SixteenLinesAPageNextWrapsPrivStops)
{
    fill(17);
    factoryage_log_diff10 = 12;
    run({[]() { PageOpener::open(PageFocus::factoryage); },
         [this]() {
             EXPECT_EQ(lines(), 16);
             EXPECT_EQ(text("page_info"), "17");
             EXPECT_EQ(text("label_page"), "1/2");
             EXPECT_EQ(text("label_10"), "12<10");
             screenshot("ageing_log_page1");
             key(PanelKeys::kLeft); // Priv focused
             EXPECT_TRUE(styleOf("ButtonPriv").contains("255,171,84"));
             key(PanelKeys::kOk);   // Priv on page 1 stays
             EXPECT_EQ(g_factoryage->page(), 0);
             key(PanelKeys::kRight);
             key(PanelKeys::kOk);   // Nex
             EXPECT_EQ(text("label_page"), "2/2");
             EXPECT_FALSE(text("agelog_label").startsWith("<br>"));
             EXPECT_TRUE(text("agelog_label").startsWith("09-26 14:16 016 "));
             key(PanelKeys::kOk);   // Nex from the last page: first page
             EXPECT_EQ(text("label_page"), "1/2");
             key(PanelKeys::kOk);
             key(PanelKeys::kRight);
             key(PanelKeys::kOk);   // Priv from page 2
             EXPECT_EQ(text("label_page"), "1/2");
         }});
}

TEST_F(AgeingLogPageTest, TickSampleRefreshesTheOpenPageOnTheSamePage)
{
    MainWindow::hooks().fpgaRunning = []() { return true; };
    MainWindow::hooks().readAgeingRegs = [](uint8_t regs[3]) {
        regs[0] = 3;    // register 42
        regs[1] = 0x1F; // register 40
        regs[2] = 9;    // register 43
    };
    fill(16);
    factoryage_log.last() = "09-26 14:15 250 31 7";
    run({[]() { PageOpener::open(PageFocus::factoryage); },
         [this]() {
             key(PanelKeys::kOk);
             EXPECT_EQ(text("label_page"), "1/1"); // Nex with one page wraps to itself
             tick(18000);
             ASSERT_EQ(factoryage_log.size(), 17);
             EXPECT_EQ(text("page_info"), "17");
             EXPECT_EQ(text("label_page"), "1/2");
             EXPECT_EQ(text("label_10"), "1<10"); // 250 -> 3 is a step of 9
             EXPECT_EQ(lines(), 16);
             // A sampling moment while the PC tool is served adds nothing.
             pc_cmd_valid = 1;
             tick(18000);
             EXPECT_EQ(factoryage_log.size(), 17);
         }});
}

// Stands for the advanced menu and counts its re-texts.
class CountingMenu : public QDialog, public PageBase {
public:
    CountingMenu() : PageBase(this, PageFocus::AdvancedOption, "AdvancedOption") {}
    void language_changed() override { ++retexts; }
    static int retexts;

protected:
    void keyReleaseEvent(QKeyEvent* event) override { handleKeyRelease(event); }
};
int CountingMenu::retexts = 0;

TEST_F(AgeingLogPageTest, BackRetextsTheAdvancedMenuOnlyForALanguageChange)
{
    PageOpener::setMaker(PageFocus::AdvancedOption, []() { return new CountingMenu(); });
    for (const bool changed : {false, true}) {
        SCOPED_TRACE(changed);
        CountingMenu::retexts = 0;
        syncShadow();
        run({[]() { PageOpener::open(PageFocus::AdvancedOption); },
             []() { PageOpener::open(PageFocus::factoryage); },
             [this, changed]() {
                 if (changed)
                     setU16(768, 2);
                 key(PanelKeys::kBack);
                 EXPECT_EQ(g_page_focus, PageFocus::AdvancedOption);
                 EXPECT_EQ(g_factoryage, nullptr);
                 EXPECT_EQ(CountingMenu::retexts, changed ? 1 : 0);
             }});
    }
}

} // namespace
} // namespace kel::test
