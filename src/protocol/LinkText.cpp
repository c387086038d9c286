#include "protocol/LinkText.h"

namespace kel::protocol {

bool LinkText::isConfigValue(const QByteArray& value, int minLen, int maxLen)
{
    if (value.size() < minLen || value.size() > maxLen)
        return false;
    for (char ch : value) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F || c == '"' || c == '\\')
            return false;
    }
    return true;
}

QByteArray LinkText::chompLine(const QByteArray& text)
{
    int end = text.size();
    while (end > 0 && (text.at(end - 1) == '\n' || text.at(end - 1) == '\r'))
        --end;
    return text.left(end);
}

} // namespace kel::protocol
