#include "ui/shell/kelcontrol.h"

#include <QComboBox>
#include <QLabel>

kelcontrol::kelcontrol(QRect boxRect, QRect leftRect, QRect rightRect, QWidget* parent)
    : QWidget(parent),
      label_default_style(QStringLiteral(
          "color: rgb(255, 255, 255);border:1px solid rgb(255,171,84);background-color:rgb(0, 0, 0)")),
      label_modify_style(QStringLiteral(
          "color: rgb(255, 255, 255);border:1px solid rgb(71,119,255);background-color:rgb(0, 0, 0)")),
      box_default_style(QStringLiteral("QComboBox{color:rgb(255,255,255);\nborder:1px solid rgb(255,171,84);\n}\n"
                                       "QComboBox:drop-down{\nborder-style:none\n}")),
      box_modify_style(QStringLiteral("QComboBox{color:rgb(255,255,255);\nborder:1px solid rgb(71,119,255);\n}\n"
                                      "QComboBox:drop-down{\nborder-style:none\n}"))
{
    font.setPointSize(9);
    box = new QComboBox(this);
    box->setObjectName(QStringLiteral("kelcontrol"));
    box->setFocusPolicy(Qt::NoFocus);
    box->setGeometry(boxRect);
    box->setFont(font);
    arrow_left = marker(QStringLiteral("<"), leftRect);
    arrow_right = marker(QStringLiteral(">"), rightRect);
    set_box_default();
}

QLabel* kelcontrol::marker(const QString& text, const QRect& geometry)
{
    auto* label = new QLabel(this);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setGeometry(geometry);
    label->setFont(font);
    return label;
}

void kelcontrol::set_box_default()
{
    applyStyles(box_default_style, label_default_style);
}

void kelcontrol::set_box_modify()
{
    applyStyles(box_modify_style, label_modify_style);
}

void kelcontrol::set_boxindexsel(char index)
{
    box->setCurrentIndex(index);
}

void kelcontrol::applyStyles(const QString& boxStyle, const QString& labelStyle)
{
    box->setStyleSheet(boxStyle);
    arrow_left->setStyleSheet(labelStyle);
    arrow_right->setStyleSheet(labelStyle);
}
