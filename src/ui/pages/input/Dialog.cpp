#include "ui/pages/input/Dialog.h"

#include "ui/shell/PopupStack.h"

#include <QPushButton>

Dialog::Dialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Dialog"));
    setWindowTitle(QStringLiteral("Dialog"));
    resize(320, 240);
    pushButton = new QPushButton(QString::fromUtf8("退出"), this);
    pushButton->setObjectName(QStringLiteral("pushButton"));
    pushButton->setGeometry(120, 80, 64, 64);
    QFont font(QStringLiteral("Arial"), 20, QFont::Bold);
    pushButton->setFont(font);
    connect(pushButton, &QPushButton::clicked, this, &QDialog::accept);
    PopupStack::keepOnTop(this);
}
