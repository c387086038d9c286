#pragma once
#include <QString>

// The device's own wired address (configuration items 2, 3 and 4). Every
// writer of the address goes through here: the network address page, the
// full factory reset and the protocol's set-address request.
class NetworkConfig {
public:
    // Stores a new address: writes IPAddress, SubNetMask and GateWay (in
    // that order) to tcpip.ini, flushes the file system, reconfigures eth0
    // (Utils::initIPAddress) and announces SYNC_PARA. Anything but three
    // dotted-quad IPv4 texts is refused: nothing is written, nothing runs,
    // and false is returned.
    static bool storeNetwork(const QString& ip, const QString& mask, const QString& gateway);
    // Whether the three texts equal the address now in use.
    static bool isCurrent(const QString& ip, const QString& mask, const QString& gateway);
};
