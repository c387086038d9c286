#include "protocol/StoredFile.h"

#include "platform/AtomicFile.h"
#include "platform/PathMap.h"

#include <QDir>
#include <QFileInfo>


namespace kel::protocol {

bool StoredFile::write(const QString& logicalPath, const QByteArray& bytes)
{
    const std::string path = kel::platform::PathMap::hostForWrite(logicalPath.toStdString());
    if (path.empty())
        return false;
    QDir().mkpath(QFileInfo(QString::fromStdString(path)).absolutePath());
    return kel::platform::AtomicFile::replaceHost(path, bytes.constData(), size_t(bytes.size()));
}

QByteArray StoredFile::read(const QString& logicalPath, qint64 maxBytes)
{
    QFile f(kel::platform::PathMap::host(logicalPath));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.read(maxBytes);
}

} // namespace kel::protocol
