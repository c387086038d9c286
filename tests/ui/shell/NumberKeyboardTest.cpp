#include "ui/support/ShellFixture.h"

#include "ui/shell/MainWindow.h"
#include "ui/shell/My_lineEdit.h"
#include "ui/shell/NumberKeyboard.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/PanelKeys.h"
#include "params/global.h"

#include <QImage>
#include <QPushButton>

#include <optional>

namespace kel::test {
namespace {

const QString kKeyRest = "background-color: rgb(255, 255, 255);border:1px ;";
const QString kKeyFocus = "background-color: rgb(255, 255, 255);border:1px solid rgb(255,171,84);";
const QString kOkFocus = "background-color: rgb(71, 119, 255);border:1px solid rgb(255,171,84);";

// Keys by their place in the focus ring.
constexpr int kDigit0 = 9, kC = 10, kX = 11, kCancel = 12, kOk = 13;
int digit(int d) { return d == 0 ? kDigit0 : d - 1; }

class NumberKeyboardTest : public ShellFixture {
protected:
    // Moves the frame to the key with Right presses and presses OK on it.
    Step press(int index)
    {
        return [this, index]() {
            while (g_numberkeyboard->ui_select() != index)
                key(PanelKeys::kRight);
            key(PanelKeys::kOk);
        };
    }
    Step ask(const QString& text)
    {
        return [this, text]() { result = NumberKeyboard::ask("W", text); };
    }
    Step expectEntry(const QString& text)
    {
        return [text]() { EXPECT_EQ(g_numberkeyboard->entryText(), text); };
    }
    std::optional<QString> result;
};

TEST_F(NumberKeyboardTest, EntryEdgeCasesAndTheResultOfOk)
{
    struct Case {
        const char* shown;
        std::vector<int> keys;
        const char* expected;
    };
    const Case cases[] = {
        {"120", {digit(5)}, "5"},
        {"120", {kX}, "12"},
        {"120", {kX, digit(5)}, "125"},
        {"120", {kC}, "0"},
        {"120", {kC, digit(7)}, "7"},
        {"", {kX}, ""},
        {"120", {digit(9), digit(0)}, "90"},
        {"0", {digit(9), digit(0), digit(0)}, "900"},
        {"5", {digit(1), digit(0), digit(8), digit(0)}, "1080"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.shown) + " -> " + c.expected);
        result.reset();
        std::vector<Step> steps{ask(c.shown)};
        for (int k : c.keys)
            steps.push_back(press(k));
        steps.push_back(expectEntry(c.expected));
        steps.push_back(press(kOk));
        run(steps);
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(*result, c.expected);
        EXPECT_FALSE(g_numberkeyboard->isVisible());
    }
}

TEST_F(NumberKeyboardTest, CancelAndBackDeliverNothing)
{
    int emitted = 0;
    QObject::connect(g_numberkeyboard, &NumberKeyboard::sendKeyBoardUIDataToLineEdit, [&]() { ++emitted; });
    for (bool useBack : {false, true}) {
        result = QString("stale");
        run({ask("120"), press(digit(7)),
             useBack ? Step([this]() { key(PanelKeys::kBack); }) : press(kCancel),
             [this]() { EXPECT_FALSE(result.has_value()); }});
        EXPECT_FALSE(result.has_value());
    }
    EXPECT_EQ(emitted, 0);
}

TEST_F(NumberKeyboardTest, FrameStartsHiddenAndWrapsBothWays)
{
    auto* kb = g_numberkeyboard;
    auto style = [kb](const char* name) { return kb->findChild<QPushButton*>(name)->styleSheet(); };
    run({ask("1"),
         [&]() {
             EXPECT_EQ(style("Button1"), kKeyRest); // no frame on a fresh keyboard
             key(PanelKeys::kRight);
             EXPECT_EQ(style("Button2"), kKeyFocus);
             key(PanelKeys::kLeft);
             key(PanelKeys::kLeft);
             EXPECT_EQ(kb->ui_select(), kOk);
             EXPECT_EQ(style("Button_ok"), kOkFocus);
             EXPECT_EQ(style("Button1"), kKeyRest);
             key(PanelKeys::kRight);
             EXPECT_EQ(kb->ui_select(), 0);
             EXPECT_EQ(style("Button1"), kKeyFocus);
         },
         press(kCancel)});
}

TEST_F(NumberKeyboardTest, SitsOnTheRightHalfAndTextsFollowTheLanguage)
{
    g_language = 3;
    run({ask("1"),
         [&]() {
             EXPECT_EQ(g_numberkeyboard->pos(), g_mainwindow->pos() + QPoint(160, 0));
             EXPECT_EQ(g_numberkeyboard->findChild<QPushButton*>("Button_close")->text(), QString("Hủy bỏ"));
             EXPECT_EQ(g_numberkeyboard->findChild<QPushButton*>("Button_ok")->text(), QString("Đồng ý"));
             screenshot("number_keyboard_vn");
         },
         press(kCancel)});
}

// The keys are white: the delete key's picture must stand out from its key.
TEST_F(NumberKeyboardTest, DeleteKeyShowsItsPicture)
{
    run({ask("1"),
         [&]() {
             QWidget* x = g_numberkeyboard->findChild<QPushButton*>("ButtonX");
             const QImage img = x->grab().toImage();
             int dark = 0;
             for (int py = 0; py < img.height(); ++py)
                 for (int px = 0; px < img.width(); ++px)
                     dark += qGray(img.pixel(px, py)) < 128;
             EXPECT_GT(dark, 20);
         },
         press(kCancel)});
}

TEST_F(NumberKeyboardTest, FieldTitlesFollowTheNameAndLanguage)
{
    struct Case {
        int language;
        const char* name;
        const char* title;
    };
    const Case cases[] = {
        {0, "lineEdit_W", "宽"}, {4, "lineEdit_W", "寬"}, {1, "lineEdit_W", "W"}, {2, "lineEdit_W", "W"},
        {0, "lineEdit_H", "高"}, {4, "lineEdit_H", "高"}, {3, "lineEdit_H", "H"}, {0, "lineEdit_X", "X"},
        {4, "lineEdit_Y", "Y"}, {0, "lineEdit_IP", ""},
    };
    for (const Case& c : cases) {
        g_language = static_cast<uint8_t>(c.language);
        EXPECT_EQ(NumberKeyboard::fieldTitle(c.name), QString::fromUtf8(c.title)) << c.language << c.name;
    }
    g_lcd_lang_valid = 0x2; // Chinese not offered: the English word
    g_language = 0;
    EXPECT_EQ(NumberKeyboard::fieldTitle("lineEdit_W"), QString("W"));
}

TEST_F(NumberKeyboardTest, AskForWritesOnlyTheAskingFieldAndOnlyOnOk)
{
    My_lineEdit asking, other;
    asking.setObjectName("lineEdit_W");
    asking.setText("1920");
    other.setText("1080");
    EXPECT_EQ(asking.focusPolicy(), Qt::NoFocus);
    bool accepted = false;
    run({[&]() { accepted = NumberKeyboard::askFor(&asking); }, press(digit(9)), press(digit(0)), press(kOk)});
    EXPECT_TRUE(accepted);
    EXPECT_EQ(asking.text(), QString("90"));
    EXPECT_EQ(other.text(), QString("1080"));
    EXPECT_EQ(g_lineedit, &asking);
    run({[&]() { accepted = NumberKeyboard::askFor(&asking); }, press(digit(1)), press(kCancel)});
    EXPECT_FALSE(accepted);
    EXPECT_EQ(asking.text(), QString("90"));
    g_lineedit = nullptr;
}

} // namespace
} // namespace kel::test
