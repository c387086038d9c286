#pragma once
#include <QFont>
#include <QString>
#include <QWidget>

class QComboBox;
class QLabel;

// A drop-down box between "<" and ">" markers, for choosing one value of a
// list with Left and Right. Orange frames while the row is focused, blue
// while its value is being changed. The user fills `box` directly.
class kelcontrol : public QWidget {
    Q_OBJECT
public:
    // The rectangles are in the widget's own coordinates.
    kelcontrol(QRect boxRect, QRect leftRect, QRect rightRect, QWidget* parent);

    void set_box_default();
    void set_box_modify();
    void set_boxindexsel(char index);

    const QString label_default_style;
    const QString label_modify_style;
    const QString box_default_style;
    const QString box_modify_style;
    QFont font;
    QComboBox* box = nullptr;
    QLabel* arrow_left = nullptr;
    QLabel* arrow_right = nullptr;

private:
    QLabel* marker(const QString& text, const QRect& geometry);
    void applyStyles(const QString& boxStyle, const QString& labelStyle);
};
