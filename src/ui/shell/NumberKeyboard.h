#pragma once
#include <QDialog>

// The on-screen number keyboard: one dialog for the whole run, placed on
// the right half of the panel. Its keys and line edit are the number
// keyboard's own; the shell only creates and places it.
class NumberKeyboard : public QDialog {
    Q_OBJECT
public:
    explicit NumberKeyboard(QWidget* parent = nullptr);
};
