#include "ui/support/ShellFixture.h"

#include "params/ApplyGate.h"
#include "params/RamLayout.h"
#include "params/global.h"
#include "ui/pages/input/quality.h"
#include "ui/pages/input/temperature.h"
#include "ui/pages/registerPageMakers.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/PanelKeys.h"

#include <QComboBox>
#include <QLineEdit>

namespace kel::test {
namespace {

const QString kFocus = "color:rgb(255,255,255);\nbackground-color: rgb(33, 36, 53);\nborder:1px solid rgb(255,171,84);";
const QString kEditing = "color:rgb(255,255,255);\nbackground-color: rgb(33, 36, 53);\nborder:1px solid rgb(255,0,0);";

class ValuePagesTest : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        registerPageMakers();
        g_page_focus = PageFocus::ImageQuality;
    }
    // Opens the page and runs body inside its loop.
    void onPage(uint8_t focus, const Step& body)
    {
        run({[focus]() { PageOpener::open(focus); }, body});
    }
    static QString field(const char* name) { return qobject_cast<QLineEdit*>(find(name))->text(); }
    void keys(int code, int n)
    {
        for (int i = 0; i < n; ++i)
            key(code);
    }
};

TEST_F(ValuePagesTest, QualityShowsTheDefaultsAndWrapsBetweenItsFiveEntries)
{
    onPage(PageFocus::quality, [this]() {
        ASSERT_NE(g_quality, nullptr);
        EXPECT_EQ(field("lineEdit_bright"), "100");
        EXPECT_EQ(field("lineEdit_Sharpness"), "10");
        EXPECT_EQ(field("lineEdit_Contrast"), "50");
        EXPECT_EQ(field("lineEdit_Saturation"), "50");
        EXPECT_EQ(field("lineEdit_Reset"), "Press Ok");
        EXPECT_EQ(styleOf("lineEdit_bright"), kFocus);
        screenshot("quality");
        key(PanelKeys::kLeft);
        EXPECT_EQ(g_quality->focusedRow(), 4);
        EXPECT_EQ(styleOf("lineEdit_Reset"), kFocus);
        key(PanelKeys::kRight);
        EXPECT_EQ(g_quality->focusedRow(), 0);
        key(PanelKeys::kBack);
        EXPECT_EQ(g_quality, nullptr);
        EXPECT_EQ(g_page_focus, PageFocus::ImageQuality);
    });
}

// Contrast from 50: three steps store 51, 52, 53 (the chip applies each);
// Back stores 50 again, OK keeps 53. Brightness stops at 100.
TEST_F(ValuePagesTest, QualityStepsAreStoredOneByOneAndBackOrOkEndTheEdit)
{
    for (int endKey : {PanelKeys::kBack, PanelKeys::kOk}) {
        SCOPED_TRACE(endKey);
        setU16(RamLayout::kQualityContrast, 50);
        onPage(PageFocus::quality, [this, endKey]() {
            keys(PanelKeys::kRight, 2);
            key(PanelKeys::kOk);
            EXPECT_EQ(styleOf("lineEdit_Contrast"), kEditing);
            for (int want : {51, 52, 53}) {
                key(PanelKeys::kRight);
                EXPECT_EQ(u16(RamLayout::kQualityContrast), want);
                EXPECT_EQ(simChipPass(), 1);
            }
            key(endKey);
            const int want = endKey == PanelKeys::kBack ? 50 : 53;
            EXPECT_EQ(u16(RamLayout::kQualityContrast), want);
            EXPECT_EQ(field("lineEdit_Contrast"), QString::number(want));
            EXPECT_EQ(styleOf("lineEdit_Contrast"), kFocus);
            simChipPass();
            keys(PanelKeys::kLeft, 2);
            key(PanelKeys::kOk);
            key(PanelKeys::kRight);
            EXPECT_EQ(u16(RamLayout::kQualityBright), 100);
            simChipPass();
        });
    }
}

// With the chip not yet done, a step is dropped but Back is not: it is
// stored once the flag clears.
TEST_F(ValuePagesTest, QualityBackIsNotLostWhileTheFlagIsHeld)
{
    onPage(PageFocus::quality, [this]() {
        keys(PanelKeys::kRight, 2);
        key(PanelKeys::kOk);
        key(PanelKeys::kRight); // 51, flag held
        key(PanelKeys::kRight); // dropped
        EXPECT_EQ(u16(RamLayout::kQualityContrast), 51);
        key(PanelKeys::kBack);
        EXPECT_FALSE(g_quality->editing());
        EXPECT_EQ(field("lineEdit_Contrast"), "50");
        simChipPass();
    });
    EXPECT_EQ(u16(RamLayout::kQualityContrast), 50);
    EXPECT_EQ(ApplyGate::instance().c331_apply_flag.load(), 1);
}

TEST_F(ValuePagesTest, QualityResetRestoresThePictureAndColourTemperatureDefaults)
{
    for (size_t off = 2176; off < 2192; off += 2)
        setU16(off, 7);
    onPage(PageFocus::quality, [this]() {
        key(PanelKeys::kLeft);
        key(PanelKeys::kOk);
        EXPECT_EQ(field("lineEdit_bright"), "100");
        EXPECT_EQ(field("lineEdit_Sharpness"), "10");
        EXPECT_EQ(field("lineEdit_Contrast"), "50");
        EXPECT_EQ(field("lineEdit_Saturation"), "50");
    });
    const uint16_t want[8] = {100, 50, 10, 50, 2, 64, 64, 64};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(u16(2176 + 2 * i), want[i]) << 2176 + 2 * i;
    EXPECT_EQ(ApplyGate::instance().c331_apply_flag.load(), 1);
}

TEST_F(ValuePagesTest, TemperatureValuesStepLiveAndBackRestores)
{
    onPage(PageFocus::temperature, [this]() {
        auto* box = qobject_cast<QComboBox*>(find("comboBox_type"));
        EXPECT_EQ(box->currentText(), "nature");
        for (const char* name : {"lineEdit_name_red", "lineEdit_name_green", "lineEdit_name_blue"})
            EXPECT_EQ(field(name), "64");
        screenshot("temperature");
        key(PanelKeys::kLeft);
        EXPECT_EQ(g_temperature->focusedRow(), 3);
        keys(PanelKeys::kLeft, 1);
        key(PanelKeys::kOk);
        for (int want : {65, 66, 67}) {
            key(PanelKeys::kRight);
            EXPECT_EQ(u16(RamLayout::kColortempGreen), want);
            simChipPass();
        }
        key(PanelKeys::kBack);
        EXPECT_EQ(u16(RamLayout::kColortempGreen), 64);
    });
}

// The type edit only changes what is shown; OK stores it, Back stores the
// saved type again.
TEST_F(ValuePagesTest, TemperatureTypeIsStoredOnlyWhenItsEditEnds)
{
    for (auto [endKey, stored, shown] : {std::tuple<int, int, const char*>{PanelKeys::kOk, 0, "custom"},
                                         {PanelKeys::kBack, 2, "nature"}}) {
        SCOPED_TRACE(shown);
        setU16(RamLayout::kColortemp, 2);
        onPage(PageFocus::temperature, [this, endKey = endKey, stored = stored, shown = shown]() {
            auto* box = qobject_cast<QComboBox*>(find("comboBox_type"));
            key(PanelKeys::kOk);
            keys(PanelKeys::kRight, 2);
            EXPECT_EQ(box->currentText(), "custom");
            EXPECT_EQ(u16(RamLayout::kColortemp), 2);
            EXPECT_EQ(ApplyGate::instance().c331_apply_flag.load(), 0);
            key(endKey);
            EXPECT_EQ(u16(RamLayout::kColortemp), stored);
            EXPECT_EQ(box->currentText(), shown);
            EXPECT_EQ(ApplyGate::instance().c331_apply_flag.load(), 1);
            simChipPass();
        });
    }
}

TEST_F(ValuePagesTest, TemperatureOfAnUnknownTypeShowsCustomAndALanguageChangeEndsATypeEdit)
{
    setU16(RamLayout::kColortemp, 7);
    setU16(RamLayout::kLcdLanguage, 1);
    syncShadow();
    onPage(PageFocus::temperature, [this]() {
        auto* box = qobject_cast<QComboBox*>(find("comboBox_type"));
        EXPECT_EQ(box->currentText(), "custom");
        key(PanelKeys::kOk);
        key(PanelKeys::kRight);
        EXPECT_EQ(box->currentText(), "warm");
        setU16(RamLayout::kLcdLanguage, 0);
        g_temperature->syncUpdate(1);
        EXPECT_FALSE(g_temperature->editing());
        EXPECT_EQ(box->currentText(), QString::fromUtf8("自定义"));
        EXPECT_EQ(u16(RamLayout::kColortemp), 7);
    });
}

} // namespace
} // namespace kel::test
