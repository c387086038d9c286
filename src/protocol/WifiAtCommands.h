#pragma once
#include <QByteArray>
#include <QList>

#include "protocol/WifiSettings.h"

namespace kel::protocol {

class T57_WIFI_CONFIG;

// The WiFi module's text commands (UDP 13769). One datagram holds one
// command; trailing CR/LF are ignored. Every answer ends with "OK\r\n" or
// "ERROR\r\n"; queries put one "+NAME:..." line before the OK.
class WifiAtCommands {
public:
    explicit WifiAtCommands(T57_WIFI_CONFIG& wifi);

    QByteArray answer(const QByteArray& datagram);

    static const QByteArray kOk;
    static const QByteArray kError;

private:
    QByteArray checkData();
    QByteArray setData(const QByteArray& args);
    // 1: the access point's name and passphrase, 2: the client's network.
    QByteArray setNetwork(const QList<QByteArray>& fields, WifiSettings::Mode mode);
    QByteArray setAddress(const QList<QByteArray>& fields);
    QByteArray reset();
    QByteArray restore();
    QByteArray version();

    T57_WIFI_CONFIG& wifi_;
};

} // namespace kel::protocol
