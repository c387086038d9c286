#include "ui/support/ShellFixture.h"

#include "params/RamLayout.h"
#include "params/global.h"
#include "ui/pages/registerPageMakers.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/PageTable.h"
#include "ui/shell/PanelKeys.h"
#include "ui/shell/ShellGlobals.h"

#include <functional>

namespace kel::test {
namespace {

struct PageCase {
    const char* name;
    uint8_t focus;
    uint8_t opener;                  // the page Back returns to
    std::function<bool()> globalSet; // the page's own instance pointer is set
};

void PrintTo(const PageCase& p, std::ostream* os) { *os << p.name; }

// Page numbers and openers as the page conventions list them.
const PageCase kPages[] = {
    {"ledset", 13, 6, [] { return g_ledset != nullptr; }},
    {"netset", 14, 6, [] { return g_netset != nullptr; }},
    {"lcdshow", 15, 12, [] { return g_lcdshow != nullptr; }},
    {"test_chart", 16, 5, [] { return g_test_chart != nullptr; }},
    {"linkcom", 21, 10, [] { return g_linkcom != nullptr; }},
    {"linkwlan", 22, 10, [] { return g_linkwlan != nullptr; }},
    {"SmartMapping", 24, 5, [] { return g_smartmapping != nullptr; }},
    {"rcv_recovery", 25, 12, [] { return g_rcv_recovery != nullptr; }},
};

class ScreenPageConventions : public ShellFixture, public ::testing::WithParamInterface<PageCase> {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        registerPageMakers();
    }
    Step open()
    {
        const PageCase p = GetParam();
        return [p]() {
            g_page_focus = p.opener;
            PageOpener::open(p.focus);
        };
    }
};

TEST_P(ScreenPageConventions, LockedModeIsDroppedAndBackReturnsToTheOpener)
{
    const PageCase p = GetParam();
    run({open(), [this, p]() {
             ASSERT_EQ(g_page_focus, p.focus);
             EXPECT_TRUE(p.globalSet());
             screenshot(QString("screen_page_%1").arg(p.name));
             setU16(RamLayout::kPanelKeyLock, 1);
             key(PanelKeys::kMode);
             key(PanelKeys::kMode2);
             EXPECT_EQ(g_page_focus, p.focus);
             EXPECT_EQ(g_mode_shortcut_key, 0);
             EXPECT_NE(PageTable::at(p.focus), nullptr);
             setU16(RamLayout::kPanelKeyLock, 0);
             key(PanelKeys::kBack2);
             EXPECT_EQ(g_page_focus, p.opener);
             EXPECT_EQ(PageTable::at(p.focus), nullptr);
             EXPECT_FALSE(p.globalSet());
         }});
}

TEST_P(ScreenPageConventions, ModeClosesThePageAndOpensTheUserModePage)
{
    const PageCase p = GetParam();
    run({open(), [this, p]() {
             key(PanelKeys::kMode);
             EXPECT_EQ(g_page_focus, PageFocus::CustomMode);
             EXPECT_EQ(g_mode_shortcut_key, 1);
             EXPECT_EQ(PageTable::at(p.focus), nullptr);
             EXPECT_FALSE(p.globalSet());
         }});
}

INSTANTIATE_TEST_SUITE_P(Pages, ScreenPageConventions, ::testing::ValuesIn(kPages),
                         [](const ::testing::TestParamInfo<PageCase>& info) { return std::string(info.param.name); });

} // namespace
} // namespace kel::test
