#pragma once
#include <QByteArray>
#include <QString>

namespace kel::protocol {

// What the WiFi module may change: the access point's name and passphrase,
// the network joined in client mode, and the module's own address. The
// values here are always ones that passed the WiFi checks.
struct WifiSettings {
    enum class Mode { AccessPoint, Client };

    static constexpr int kSsidMin = 1;
    static constexpr int kSsidMax = 32;
    static constexpr int kPassMin = 8;
    static constexpr int kPassMax = 63;

    Mode mode = Mode::AccessPoint;
    QByteArray apSsid = "KEL-T57N";
    QByteArray apPass = "12345678";
    QByteArray clientSsid;
    QByteArray clientPass;
    QString address = "192.168.22.101";

    static bool validSsid(const QByteArray& ssid);
    static bool validPass(const QByteArray& pass);
};

} // namespace kel::protocol
