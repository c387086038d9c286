#include "protocol/WifiSettings.h"

#include "protocol/LinkText.h"

namespace kel::protocol {

bool WifiSettings::validSsid(const QByteArray& ssid)
{
    return LinkText::isConfigValue(ssid, kSsidMin, kSsidMax);
}

bool WifiSettings::validPass(const QByteArray& pass)
{
    return LinkText::isConfigValue(pass, kPassMin, kPassMax);
}

} // namespace kel::protocol
