#include "ui/pages/input/About.h"

#include "ui/shell/PageForm.h"
#include "ui/shell/PopupStack.h"

#include <QLabel>
#include <QPushButton>

About::About(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("About"));
    setWindowTitle(QStringLiteral("Dialog"));
    resize(800, 480);
    pushButton = new QPushButton(QString::fromUtf8("<主界面"), this);
    pushButton->setObjectName(QStringLiteral("pushButton"));
    pushButton->setGeometry(10, 10, 120, 60);
    pushButton->setFont(PageForm::pointFont(20));
    label = new QLabel(this);
    label->setObjectName(QStringLiteral("label"));
    label->setTextFormat(Qt::PlainText);
    label->setText(QString::fromUtf8("版本号"));
    label->setGeometry(180, 180, 311, 141);
    label->setFont(PageForm::pointFont(30));
    connect(pushButton, &QPushButton::clicked, this, &QDialog::accept);
    PopupStack::keepOnTop(this);
}
