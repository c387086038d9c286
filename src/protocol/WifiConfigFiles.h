#pragma once
#include "protocol/WifiSettings.h"

#include <QByteArray>
#include <QString>

namespace kel::protocol {

// The four system files of the WiFi services: the network interfaces, the
// access point (hostapd), its DHCP server (udhcpd) and the client
// (wpa_supplicant). Paths are logical; they land under the board's root.
class WifiConfigFiles {
public:
    static const char* const kInterfaces;
    static const char* const kHostapd;
    static const char* const kUdhcpd;
    static const char* const kWpaSupplicant;

    // Writes all four files, each through a temporary file and a rename,
    // under the stored-file lock. Refuses (writes nothing, returns false)
    // when any value fails its check.
    static bool writeAll(const WifiSettings& s);
    // Settings as the files hold them; a missing file or a value that fails
    // its check keeps the default. The address is not stored here.
    static WifiSettings load(const QString& address);

    static bool valid(const WifiSettings& s);
    static QByteArray interfacesText(const WifiSettings& s);
    static QByteArray hostapdText(const WifiSettings& s);
    static QByteArray udhcpdText(const WifiSettings& s);
    static QByteArray wpaText(const WifiSettings& s);

private:
    static QByteArray keyValue(const QByteArray& text, const QByteArray& prefix);
};

} // namespace kel::protocol
