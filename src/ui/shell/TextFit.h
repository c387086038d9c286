#pragma once
#include <QString>

class QAbstractButton;
class QComboBox;
class QFont;
class QLabel;
class QSize;
class QStringList;
class QWidget;

// Texts that fit their labels: the panel's labels have fixed sizes and the
// longest texts (a 15-character address, "Размер LED:9999 x 9999") do not
// fit at every label's nominal font. A label's font is shrunk just enough
// for its text rather than the text being cut; 8 pt is the smallest size
// read comfortably on the 320x240 panel, so a text is shrunk below it only
// when nothing else keeps it whole. Buttons and choice boxes that show one
// text are fitted the same way.
class TextFit {
public:
    // Whether the text lies inside a box of that size in the font: one line
    // centred vertically (at the top when `top`), or wrapped at word
    // boundaries when `wrap`.
    static bool fits(const QFont& font, const QString& text, const QSize& box, bool wrap = false, bool top = false);
    // Sets the text with the label's nominal font (the one it had the first
    // time, or the one given to it since), shrunk until the text fits the
    // label.
    static void setText(QLabel* label, const QString& text);
    // The same for a button's text, inside the button's border and padding.
    static void setText(QAbstractButton* button, const QString& text);
    // Shrinks a choice box's font until each of its choices fits its field.
    static void fitChoices(QComboBox* box);
    // The looks (style sheets) a label or button is shown in by turns, a
    // focus ring's resting and focused looks: its text is fitted to the
    // tightest of them, so that no look cuts it. A text fitted before is
    // fitted again.
    static void setLooks(QWidget* widget, const QStringList& looks);
    // Where a button or a choice box draws its text.
    static QSize textBox(const QAbstractButton* button);
    static QSize textBox(const QComboBox* box);
};
