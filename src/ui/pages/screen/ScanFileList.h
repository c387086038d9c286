#pragma once
#include <QString>
#include <QStringList>

#include <optional>

// The smart-mapping scan files the wizard offers: files whose suffix is
// exactly "qjfile" in the device's scan folder, then on the USB stick, each
// folder in name order (the file system's own order is not stable), at most
// 100 in all. Paths are kept logical ("/data/smartmapping/a.qjfile"), so the
// shown name is the fourth part of the path and the root never leaks in.
class ScanFileList {
public:
    static constexpr int kMaxFiles = 100;
    static constexpr int kPerPage = 3;

    // Lists both folders afresh; a missing folder counts as empty.
    void rebuild();
    const QStringList& paths() const { return paths_; }
    int count() const { return int(paths_.size()); }
    // Files from the device's folder come first; the rest are the stick's.
    int storedCount() const { return stored_; }
    bool isStored(int index) const { return index < stored_; }
    // Index of the last page (0 for an empty list).
    int lastPage() const;
    // Files shown on a page: 3, fewer on the last page, 0 when empty.
    int filesOnPage(int page) const;

    // The name shown for a path: its fourth "/"-part, line feeds removed;
    // empty for a path with fewer parts.
    static QString shownName(const QString& path);
    // True when the logical path names an existing plain file directly in
    // the device's or the stick's scan folder: the only files a load may open.
    static bool isScanFile(const QString& logical);
    // The main menu's count: every plain file in the device's folder (any
    // suffix); when that is none, the stick's scan files. Empty when the
    // device's folder cannot be listed and the stick has none either.
    static std::optional<int> menuCount();

private:
    // Appends the folder's scan files, up to the overall cap; returns how
    // many were appended.
    int append(const char* folder);

    QStringList paths_;
    int stored_ = 0;
};
