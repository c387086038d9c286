#include "ui/shell/NumberKeyboard.h"

NumberKeyboard::NumberKeyboard(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("NumberKeyboard"));
    resize(160, 240);
    setStyleSheet(QStringLiteral("background-color: rgb(16, 16, 28);"));
}
