#include "ui/pages/screen/ScanFileList.h"

#include "ledout/rcvRecovery.h"
#include "params/StoreFolders.h"
#include "platform/PathMap.h"

#include <QDir>
#include <QFileInfo>

namespace {
using kel::platform::PathMap;

const QString kSuffix = QStringLiteral("qjfile");

QDir hostDir(const char* folder)
{
    return QDir(PathMap::host(QString::fromLatin1(folder)));
}
} // namespace

void ScanFileList::rebuild()
{
    paths_.clear();
    stored_ = append(StoreFolders::kSmartMappingDir);
    append(StoreFolders::kUsbStickDir);
}

int ScanFileList::append(const char* folder)
{
    const QDir dir = hostDir(folder);
    if (!dir.exists())
        return 0;
    int added = 0;
    const QFileInfoList entries = dir.entryInfoList(QDir::Files | QDir::NoSymLinks, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (paths_.size() >= kMaxFiles)
            break;
        if (entry.suffix() != kSuffix)
            continue;
        paths_.append(QString::fromLatin1(folder) + QLatin1Char('/') + entry.fileName());
        ++added;
    }
    return added;
}

int ScanFileList::lastPage() const
{
    return paths_.isEmpty() ? 0 : (count() - 1) / kPerPage;
}

int ScanFileList::filesOnPage(int page) const
{
    if (page < 0 || page > lastPage())
        return 0;
    return qMin(kPerPage, count() - page * kPerPage);
}

QString ScanFileList::shownName(const QString& path)
{
    const QStringList parts = path.split(QLatin1Char('/'));
    if (parts.size() < 4)
        return QString();
    QString name = parts.at(3);
    name.remove(QLatin1Char('\n'));
    return name;
}

bool ScanFileList::isScanFile(const QString& logical)
{
    // The same path rule as the load itself.
    if (!rcvRecovery::isScanFilePath(logical))
        return false;
    const QFileInfo host(PathMap::host(logical));
    return host.isFile() && !host.isSymLink();
}

std::optional<int> ScanFileList::menuCount()
{
    std::optional<int> count;
    const QDir dir = hostDir(StoreFolders::kSmartMappingDir);
    if (dir.exists())
        count = int(dir.entryList(QDir::Files | QDir::NoSymLinks).size());
    if (count.value_or(0) == 0) {
        ScanFileList stick;
        stick.append(StoreFolders::kUsbStickDir);
        if (count || stick.count() > 0)
            count = stick.count();
    }
    return count;
}
