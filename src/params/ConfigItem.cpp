#include "params/ConfigItem.h"

#include <QSettings>

ConfigItem::ConfigItem(const QString& key_, ConfigName name_, const QVariant& defaultValue_, bool noWrite_,
                       uint8_t kind_, const QString& file_, QSettings& settings)
    : key(key_), name(name_), defaultValue(defaultValue_), noWrite(noWrite_), kind(kind_), file(file_)
{
    const QVariant stored = settings.value(key);
    if (!stored.toString().isEmpty()) {
        value = stored;
        return;
    }
    if (defaultValue.toString().isEmpty())
        return;
    value = defaultValue;
    if (!noWrite)
        settings.setValue(key, defaultValue);
}
