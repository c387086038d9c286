#pragma once
#include <QByteArray>
#include <QString>

namespace kel::protocol {

// Whole-file reads and writes of the link's stored files by logical path
// (mapped under the board's root). The caller holds Utils::_file_deal_mutex.
class StoredFile {
public:
    // Writes a temporary file beside the target and renames it over the
    // target, so a reader never sees half a file; creates missing folders.
    static bool write(const QString& logicalPath, const QByteArray& bytes);
    // At most maxBytes of the file; empty when it is missing.
    static QByteArray read(const QString& logicalPath, qint64 maxBytes);
};

} // namespace kel::protocol
