#include "ui/support/ShellFixture.h"

#include "params/global.h"
#include "ui/pages/registerPageMakers.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/PageTable.h"
#include "ui/shell/PanelKeys.h"

namespace kel::test {
namespace {

// Page tests start like this: the fixture, then the makers start-up uses.
class PageMakersTest : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        registerPageMakers();
        g_page_focus = PageFocus::MainWindow;
    }
};

TEST_F(PageMakersTest, EveryPageNumberOpensAndBackReturnsToItsParent)
{
    for (uint8_t focus = PageFocus::MachineState; focus < PageFocus::Count; ++focus) {
        if (focus == PageFocus::CustomMode)
            continue; // shown without a loop; covered by the navigation tests
        SCOPED_TRACE(int(focus));
        g_page_focus = PageOpener::parentOf(focus);
        run({[focus]() { PageOpener::open(focus); },
             [this, focus]() {
                 EXPECT_EQ(g_page_focus, focus);
                 ASSERT_NE(PageTable::at(focus), nullptr);
                 key(PanelKeys::kBack);
                 EXPECT_EQ(g_page_focus, PageOpener::parentOf(focus));
             }});
    }
}

} // namespace
} // namespace kel::test
