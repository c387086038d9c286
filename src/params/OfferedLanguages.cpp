#include "params/OfferedLanguages.h"

bool OfferedLanguages::offered(int lang, uint32_t mask)
{
    return lang >= 0 && lang < kCount && (mask & (1u << lang));
}

int OfferedLanguages::lowest(uint32_t mask)
{
    for (int lang = 0; lang < kCount; ++lang) {
        if (offered(lang, mask))
            return lang;
    }
    return -1;
}

int OfferedLanguages::fallback(int lang, uint32_t mask)
{
    if (offered(lang, mask))
        return -1;
    const int first = lowest(mask);
    if (first >= 0)
        return first;
    return lang >= kCount ? kEnglish : -1;
}

int OfferedLanguages::step(int lang, int direction, uint32_t mask)
{
    const int from = (lang >= 0 && lang < kCount) ? lang : kEnglish;
    const int delta = direction < 0 ? kCount - 1 : 1;
    for (int i = 1; i <= kCount; ++i) {
        const int candidate = (from + delta * i) % kCount;
        if (offered(candidate, mask))
            return candidate;
    }
    return from;
}
