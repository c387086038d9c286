#include "ui/shell/CropNames.h"

#include "inputs/sourceinfo.h"
#include "params/AliasFile.h"

#include <QFont>
#include <QFontMetrics>

namespace {
// The tab labels are 51 px wide; the alias leaves room for the count.
constexpr int kTabAliasWidth = 35;
constexpr int kTabFontPixels = 9;

bool alias(const char* group, int id, QString* name)
{
    ALIAS_PARA entry;
    if (get_json_alias_para(&entry, group, id) == 0)
        return false;
    *name = QString::fromStdString(entry.name);
    return true;
}
} // namespace

QString CropNames::sourceLabel(int source)
{
    if (source < 0 || source > 5)
        return QString();
    QString name;
    if (alias("source", source, &name))
        return name;
    return sourceinfo::get_source_name_by_sourceid(static_cast<uint8_t>(source));
}

QString CropNames::entryName(const QFontMetrics& fm, int width, int row, const QString& sourceName, int cropNumber)
{
    QString name;
    if (alias("crop", row, &name))
        return fm.elidedText(name, Qt::ElideRight, width);
    return sourceName + QString::asprintf("_crop%d", cropNumber);
}

QString CropNames::boxName(const QString& sourceName, int cropNumber)
{
    return sourceName + QString::asprintf("_Crop%d", cropNumber);
}

QString CropNames::boxLines(const QString& sourceName, int cropNumber)
{
    return boxName(sourceName, cropNumber).insert(sourceName.size(), QLatin1Char('\n'));
}

QString CropNames::editorName(const QString& sourceName, int cropNumber)
{
    return sourceName + QString::asprintf("-Crop-%d", cropNumber);
}

QString CropNames::tabText(int position, int count)
{
    const uint8_t id = sourceinfo::get_source_id_by_listseq(static_cast<uint8_t>(position));
    QString text;
    if (alias("source", id, &text)) {
        QFont font;
        font.setPixelSize(kTabFontPixels);
        text = QFontMetrics(font).elidedText(text, Qt::ElideRight, kTabAliasWidth);
    } else {
        text = sourceinfo::get_source_name_by_listseq(static_cast<uint8_t>(position));
    }
    return sourceinfo::get_source_specialstyle1_by_sourceid(id, text.toHtmlEscaped(), static_cast<uint8_t>(count));
}
