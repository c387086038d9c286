#pragma once
#include <QDialog>

class QPushButton;

// A one-button exit form at the panel's size; the button closes it with the
// accepted result.
class Dialog : public QDialog {
    Q_OBJECT
public:
    explicit Dialog(QWidget* parent = nullptr);

    QPushButton* pushButton = nullptr;
};
