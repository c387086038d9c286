#pragma once
#include <QWidget>

class QComboBox;
class QLabel;

// A value box between "<" and ">" markers, telling the operator that Left
// and Right change it: orange frames while the row only has the focus
// (default look), blue while its value is being changed (modify look).
class kelcontrol : public QWidget {
    Q_OBJECT
public:
    kelcontrol(const QRect& boxRect, const QRect& leftRect, const QRect& rightRect, QWidget* parent);

    void set_box_default();
    void set_box_modify();
    void set_boxindexsel(int index);

    QComboBox* box = nullptr;
    QLabel* arrow_left = nullptr;
    QLabel* arrow_right = nullptr;

private:
    void setLook(const char* labelStyle, const char* boxStyle);
};
