#pragma once
#include <QRect>
#include <QString>

#include <cstdint>
#include <functional>

class KelRamPara;
class QLabel;
class QWidget;

// The row of the six inputs in list order (HDMI1..HDMI4, DVI, EXT): a name
// label `sourcelistseq<n>name` and an icon label `sourcelistseq<n>pixmap`
// per list position. The names show either plainly in the input's colour
// or with the input's entry count; the icons either the input's picture or
// its online/offline picture.
class SourceTabs {
public:
    using RectOf = std::function<QRect(int position)>;
    static constexpr int kCount = 6;

    SourceTabs(QWidget* parent, const RectOf& nameRect, const RectOf& pixmapRect, const QString& labelStyle,
               int namePointSize);

    QLabel* name(int position) const { return names_[position]; }
    QLabel* pixmap(int position) const { return pixmaps_[position]; }

    // Each name in its input's colour, no count.
    void showNames();
    // Each name (the alias when there is one) followed by its input's entry
    // count, counts indexed by source_id.
    void showCounts(const int counts[kCount]);
    void showIcons();
    // Online when width, height and refresh of the input are all non-zero.
    void showOnline(const uint8_t* block);

    static bool online(const uint8_t* block, int source);
    // Entries of an input: the input itself and its crops.
    static int entryCount(KelRamPara& ram, int source);

private:
    QLabel* names_[kCount] = {};
    QLabel* pixmaps_[kCount] = {};
};
