#include "resources/KelResources.h"

#include <QCoreApplication>
#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QResource>

static void initIcons()
{
    Q_INIT_RESOURCE(kel_icons);
}

namespace {
const char* const kCjkFamily = "WenQuanYi Micro Hei";
bool g_fontsDone = false;

void loadBundledFont(const QString& fontDir)
{
    QString dir = fontDir;
    if (dir.isEmpty() && QCoreApplication::instance())
        dir = QCoreApplication::applicationDirPath();
    const QString rcc = QDir(dir).filePath(QStringLiteral("kel_fonts.rcc"));
    if (QFile::exists(rcc) && QResource::registerResource(rcc))
        QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/wqy-microhei.ttc"));
}
} // namespace

void KelResources::init(const QString& fontDir)
{
    initIcons();
    if (g_fontsDone || !QCoreApplication::instance())
        return;
    g_fontsDone = true;
    if (!QFontDatabase().families().contains(QString::fromLatin1(kCjkFamily)))
        loadBundledFont(fontDir);
    // Families named by the pages, all served by the CJK font.
    for (const char* family : {"微软雅黑", "Ubuntu", "Arial"})
        QFont::insertSubstitution(QString::fromUtf8(family), QString::fromLatin1(kCjkFamily));
}

QString KelResources::panelFamily()
{
    return QString::fromLatin1(kCjkFamily);
}
