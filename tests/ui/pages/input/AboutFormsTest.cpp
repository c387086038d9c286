#include "ui/pages/input/About.h"
#include "ui/pages/input/Dialog.h"

#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

struct Form {
    const char* name;
    std::function<QDialog*()> make;
    QSize size;
    QRect button;
    const char* text;
};

TEST(AboutFormsTest, ClickingTheButtonAccepts)
{
    const Form forms[] = {
        {"About", []() { return new About(nullptr); }, QSize(800, 480), QRect(10, 10, 120, 60), "<主界面"},
        {"Dialog", []() { return new Dialog(nullptr); }, QSize(320, 240), QRect(120, 80, 64, 64), "退出"},
    };
    for (const Form& f : forms) {
        std::unique_ptr<QDialog> dialog(f.make());
        EXPECT_EQ(dialog->objectName(), f.name);
        EXPECT_EQ(dialog->size(), f.size);
        auto* button = dialog->findChild<QPushButton*>(QStringLiteral("pushButton"));
        ASSERT_NE(button, nullptr) << f.name;
        EXPECT_EQ(button->geometry(), f.button);
        EXPECT_EQ(button->text(), QString::fromUtf8(f.text));
        dialog->show();
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_FALSE(dialog->isVisible()) << f.name;
        EXPECT_EQ(dialog->result(), QDialog::Accepted) << f.name;
    }
}

} // namespace
