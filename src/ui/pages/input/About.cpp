#include "ui/pages/input/About.h"

#include <QLabel>
#include <QPushButton>

namespace {
QFont pointFont(int points)
{
    QFont font;
    font.setPointSize(points);
    return font;
}
} // namespace

About::About(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("About"));
    setWindowTitle(QStringLiteral("Dialog"));
    resize(800, 480);
    pushButton = new QPushButton(QString::fromUtf8("<主界面"), this);
    pushButton->setObjectName(QStringLiteral("pushButton"));
    pushButton->setGeometry(10, 10, 120, 60);
    pushButton->setFont(pointFont(20));
    label = new QLabel(this);
    label->setObjectName(QStringLiteral("label"));
    label->setTextFormat(Qt::PlainText);
    label->setText(QString::fromUtf8("版本号"));
    label->setGeometry(180, 180, 311, 141);
    label->setFont(pointFont(30));
    connect(pushButton, &QPushButton::clicked, this, &QDialog::accept);
}
