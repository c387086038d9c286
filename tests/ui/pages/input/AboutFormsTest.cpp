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
};

TEST(AboutFormsTest, ClickingTheButtonAccepts)
{
    const Form forms[] = {
        {"About", []() { return new About(nullptr); }},
        {"Dialog", []() { return new Dialog(nullptr); }},
    };
    for (const Form& f : forms) {
        std::unique_ptr<QDialog> dialog(f.make());
        EXPECT_EQ(dialog->objectName(), f.name);
        auto* button = dialog->findChild<QPushButton*>(QStringLiteral("pushButton"));
        ASSERT_NE(button, nullptr) << f.name;
        dialog->show();
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_FALSE(dialog->isVisible()) << f.name;
        EXPECT_EQ(dialog->result(), QDialog::Accepted) << f.name;
    }
}

} // namespace
