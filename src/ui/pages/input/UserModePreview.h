#pragma once
#include <QString>

#include <string>

class QFont;
class QWidget;
class SlotView;

// What the user-mode page shows of a slot, read from the slot's own copy:
// the texts of the summary, and the preview, either the six windows or
// the settings of the mode's own OSD menu file.
class UserModePreview {
public:
    // Summary texts in the panel language.
    static QString nameText(int slot, const QFont& font);
    static QString ledText(const SlotView& view);
    static QString pictureText(const SlotView& view);
    static QString moreText();

    // The six windows in two columns of three: badge, source and state,
    // position and size; labels are children of container.
    static void drawWindows(QWidget* container, const SlotView& view, const QFont& font);
    // The first item of the mode's OSD file (MOxx.json, xx = slot + 1 in
    // lower-case hex): its parameters and a sample of its text.
    static void drawOsd(QWidget* container, int slot, const QFont& font);

    // "0x" and six hexadecimal digits gives the six digits; anything else
    // an empty text (the style sheet then keeps the toolkit's colours).
    static QString osdColour(const std::string& text);
    // At most the first three lines of text.
    static QString firstLines(const QString& text);
};
