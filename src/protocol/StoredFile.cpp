#include "protocol/StoredFile.h"

#include "platform/PathMap.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace kel::protocol {

bool StoredFile::write(const QString& logicalPath, const QByteArray& bytes)
{
    const QString path = kel::platform::PathMap::host(logicalPath);
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QString tmp = path + ".tmp";
    QFile f(tmp);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const bool written = f.write(bytes) == bytes.size() && f.flush();
    f.close();
    if (!written || std::rename(QFile::encodeName(tmp).constData(), QFile::encodeName(path).constData()) != 0) {
        QFile::remove(tmp);
        return false;
    }
    return true;
}

QByteArray StoredFile::read(const QString& logicalPath, qint64 maxBytes)
{
    QFile f(kel::platform::PathMap::host(logicalPath));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.read(maxBytes);
}

} // namespace kel::protocol
