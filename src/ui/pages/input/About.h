#pragma once
#include <QDialog>

class QLabel;
class QPushButton;

// A version screen laid out for an 800x480 display; its one button closes
// it with the accepted result.
class About : public QDialog {
    Q_OBJECT
public:
    explicit About(QWidget* parent = nullptr);

    QPushButton* pushButton = nullptr;
    QLabel* label = nullptr;
};
