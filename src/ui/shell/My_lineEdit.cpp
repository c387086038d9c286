#include "ui/shell/My_lineEdit.h"

My_lineEdit::My_lineEdit(QWidget* parent) : QLineEdit(parent)
{
    setFocusPolicy(Qt::NoFocus);
}

void My_lineEdit::mousePressEvent(QMouseEvent* event)
{
    emit send_show(text());
    QLineEdit::mousePressEvent(event);
}
