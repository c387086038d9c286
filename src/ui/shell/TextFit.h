#pragma once
#include <QString>
#include <Qt>

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
// for its text rather than the text being cut; 7 pixels is the smallest
// size still read on the 320x240 panel, so no text is shrunk below it (a
// caller elides what does not fit at that size). Only the ink a text draws
// counts: accents stacked above a letter or a dot below it may reach past
// the font's line box where the label has room for them. Buttons and
// choice boxes that show one text are fitted the same way.
class TextFit {
public:
    // Whether the text lies inside a box of that size in the font: one line
    // placed by the alignment, or wrapped at word
    // boundaries when `wrap`.
    static bool fits(const QFont& font, const QString& text, const QSize& box, bool wrap = false,
                     Qt::Alignment align = Qt::AlignCenter);
    // Sets the text with the label's nominal font (the one it had the first
    // time, or the one given to it since), shrunk until the text fits the
    // label, never below 7 pixels. Returns whether the text fits; one line
    // that does not fit even then ends in "…" rather than being cut.
    static bool setText(QLabel* label, const QString& text);
    // For a label whose style sheet fixes its font: the text whole where it
    // fits, else elided at its end with "…". Returns whether it is whole.
    static bool setElided(QLabel* label, const QString& text);
    // The same for a button's text, inside the button's border and padding.
    static void setText(QAbstractButton* button, const QString& text);
    // Shrinks a choice box's font until the choice it shows fits its
    // field; the box is fitted again to each choice it is set to.
    static void fitChoices(QComboBox* box);
    // The looks (style sheets) a label or button is shown in by turns, a
    // focus ring's resting and focused looks: its text is fitted to the
    // tightest of them, so that no look cuts it. A text fitted before is
    // fitted again.
    static void setLooks(QWidget* widget, const QStringList& looks);
    // Where a label, a button or a choice box draws its text (a label's
    // indent kept clear on the side it is aligned to).
    static QSize textBox(const QLabel* label);
    static QSize textBox(const QAbstractButton* button);
    static QSize textBox(const QComboBox* box);
};
