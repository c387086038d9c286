#pragma once
#include <QString>

class QFontMetrics;

// The names the panel gives inputs and crops. Each place keeps its own
// format: "_crop%d" in the crop lists, "_Crop%d" on image boxes and the
// home screen, "-Crop-%d" in the crop editor. Alias names come from the
// alias file as plain text: where a page pastes them into rich text they
// are escaped first.
class CropNames {
public:
    // The input's "source" alias, else its name ("" above 5).
    static QString sourceLabel(int source);
    // A crop list entry: the crop row's "crop" alias elided at the right to
    // width in fm, else "<sourceName>_crop<n>".
    static QString entryName(const QFontMetrics& fm, int width, int row, const QString& sourceName, int cropNumber);
    // "<sourceName>_Crop<n>": what a window shows.
    static QString boxName(const QString& sourceName, int cropNumber);
    // The same on two lines, the input's name above "_Crop<n>": a window
    // box is too narrow for the whole name on one line.
    static QString boxLines(const QString& sourceName, int cropNumber);
    // "<sourceName>-Crop-<n>": the crop editor's name line.
    static QString editorName(const QString& sourceName, int cropNumber);
    // The rich-text tab of list position 0..5 with the input's entry count:
    // the "source" alias elided to 35 px in a 9 px font (escaped), else the
    // input's name.
    static QString tabText(int position, int count);
};
