#include "protocol/NetAddress.h"

#include <QStringList>

#include <cstdint>

namespace kel::protocol {
namespace {

bool parseQuad(const QString& text, uint32_t& value)
{
    const QStringList parts = text.split('.');
    if (parts.size() != 4)
        return false;
    value = 0;
    for (const QString& p : parts) {
        if (p.isEmpty() || p.size() > 3)
            return false;
        for (QChar c : p)
            if (c < '0' || c > '9')
                return false;
        const int octet = p.toInt();
        if (octet > 255)
            return false;
        value = value << 8 | uint32_t(octet);
    }
    return true;
}

} // namespace

bool NetAddress::isDottedQuad(const QString& text)
{
    uint32_t v = 0;
    return parseQuad(text, v);
}

bool NetAddress::isNetmask(const QString& text)
{
    uint32_t v = 0;
    if (!parseQuad(text, v))
        return false;
    const uint32_t inverted = ~v;
    return (inverted & (inverted + 1)) == 0;
}

bool NetAddress::isPort(const QString& text)
{
    if (text.isEmpty() || text.size() > 5)
        return false;
    for (QChar c : text)
        if (c < '0' || c > '9')
            return false;
    const int port = text.toInt();
    return port >= 1 && port <= 65535;
}

} // namespace kel::protocol
