#pragma once
#include <QByteArray>
#include <QList>

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
    QByteArray setAccessPoint(const QList<QByteArray>& fields);
    QByteArray setClient(const QList<QByteArray>& fields);
    QByteArray setAddress(const QList<QByteArray>& fields);
    QByteArray reset();
    QByteArray restore();
    QByteArray version();

    T57_WIFI_CONFIG& wifi_;
};

} // namespace kel::protocol
