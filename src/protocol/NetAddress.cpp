#include "protocol/NetAddress.h"

#include "params/Utils.h"

#include <arpa/inet.h>

namespace kel::protocol {

bool NetAddress::isDottedQuad(const QString& text) { return Utils::isIPv4Address(text); }

bool NetAddress::isNetmask(const QString& text)
{
    in_addr a{};
    if (!isDottedQuad(text) || ::inet_pton(AF_INET, text.toLatin1().constData(), &a) != 1)
        return false;
    const uint32_t inverted = ~ntohl(a.s_addr);
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
