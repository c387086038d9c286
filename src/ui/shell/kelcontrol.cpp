#include "ui/shell/kelcontrol.h"

#include "ui/shell/PageForm.h"

#include <QComboBox>
#include <QLabel>

namespace {
const char* const kLabelDefault =
    "color: rgb(255, 255, 255);border:1px solid rgb(255,171,84);background-color:rgb(0, 0, 0)";
const char* const kLabelModify =
    "color: rgb(255, 255, 255);border:1px solid rgb(71,119,255);background-color:rgb(0, 0, 0)";
const char* const kBoxDefault =
    "QComboBox{color:rgb(255,255,255);\nborder:1px solid rgb(255,171,84);\n}\nQComboBox:drop-down{\nborder-style:none\n}";
const char* const kBoxModify =
    "QComboBox{color:rgb(255,255,255);\nborder:1px solid rgb(71,119,255);\n}\nQComboBox:drop-down{\nborder-style:none\n}";
} // namespace

kelcontrol::kelcontrol(const QRect& boxRect, const QRect& leftRect, const QRect& rightRect, QWidget* parent)
    : QWidget(parent)
{
    QFont f = font();
    f.setPointSize(9);
    box = new QComboBox(this);
    box->setObjectName(QStringLiteral("kelcontrol"));
    box->setFocusPolicy(Qt::NoFocus);
    box->setGeometry(boxRect);
    box->setFont(f);
    arrow_left = PageForm::label(this, "arrow_left", leftRect, QString(), 9);
    arrow_left->setText(QStringLiteral("<"));
    arrow_right = PageForm::label(this, "arrow_right", rightRect, QString(), 9);
    arrow_right->setText(QStringLiteral(">"));
    set_box_default();
}

void kelcontrol::setLook(const char* labelStyle, const char* boxStyle)
{
    box->setStyleSheet(QString::fromLatin1(boxStyle));
    arrow_left->setStyleSheet(QString::fromLatin1(labelStyle));
    arrow_right->setStyleSheet(QString::fromLatin1(labelStyle));
}

void kelcontrol::set_box_default()
{
    setLook(kLabelDefault, kBoxDefault);
}

void kelcontrol::set_box_modify()
{
    setLook(kLabelModify, kBoxModify);
}

void kelcontrol::set_boxindexsel(int index)
{
    box->setCurrentIndex(index);
}
