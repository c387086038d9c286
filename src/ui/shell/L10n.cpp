#include "ui/shell/L10n.h"

#include "params/Utils.h"
#include "params/global.h"

const char* const L10n::kUsing[5] = {"使用中\u00AD", "Using", "Использовать", "sử dụng", "使用中\u00AD"};

int L10n::language()
{
    const int lang = g_language;
    const bool offered = lang >= 0 && lang <= 4 && (Utils::configValue(g_lcd_lang_valid) & (1u << lang)) != 0;
    return (offered && lang != English) ? lang : English;
}

QString L10n::pick(Texts texts)
{
    return QString::fromUtf8(texts[language()]);
}

QString L10n::prefix()
{
    static const char* const kPrefixes[5] = {"", "en_", "ru_", "vn_", "tn_"};
    return QString::fromLatin1(kPrefixes[language()]);
}

QString L10n::icon(const char* base)
{
    return QStringLiteral(":/png/") + prefix() + QString::fromLatin1(base) + QStringLiteral(".png");
}

QString L10n::plainIcon(const char* base)
{
    return QStringLiteral(":/png/") + QString::fromLatin1(base) + QStringLiteral(".png");
}
