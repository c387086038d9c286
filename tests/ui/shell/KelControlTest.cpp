#include "ui/shell/kelcontrol.h"

#include <QComboBox>
#include <QLabel>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

const QString kLabelOrange =
    QStringLiteral("color: rgb(255, 255, 255);border:1px solid rgb(255,171,84);background-color:rgb(0, 0, 0)");
const QString kLabelBlue =
    QStringLiteral("color: rgb(255, 255, 255);border:1px solid rgb(71,119,255);background-color:rgb(0, 0, 0)");
const QString kBoxOrange = QStringLiteral(
    "QComboBox{color:rgb(255,255,255);\nborder:1px solid rgb(255,171,84);\n}\nQComboBox:drop-down{\nborder-style:none\n}");
const QString kBoxBlue = QStringLiteral(
    "QComboBox{color:rgb(255,255,255);\nborder:1px solid rgb(71,119,255);\n}\nQComboBox:drop-down{\nborder-style:none\n}");

void expectLook(const kelcontrol& c, const QString& box, const QString& label)
{
    EXPECT_EQ(c.box->styleSheet(), box);
    EXPECT_EQ(c.arrow_left->styleSheet(), label);
    EXPECT_EQ(c.arrow_right->styleSheet(), label);
}

// Built as the user-mode page builds it.
TEST(KelControlTest, LooksSwitchBetweenOrangeAndBlue)
{
    QWidget page;
    kelcontrol c(QRect(19, 0, 100, 22), QRect(0, 0, 20, 22), QRect(118, 0, 20, 22), &page);
    EXPECT_EQ(c.box->objectName(), "kelcontrol");
    EXPECT_EQ(c.box->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(c.arrow_left->text(), "<");
    EXPECT_EQ(c.arrow_right->text(), ">");
    EXPECT_EQ(c.box->font().pointSize(), 9);
    expectLook(c, kBoxOrange, kLabelOrange);
    c.set_box_modify();
    expectLook(c, kBoxBlue, kLabelBlue);
    c.set_box_default();
    expectLook(c, kBoxOrange, kLabelOrange);
}

} // namespace
