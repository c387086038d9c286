#pragma once
#include <QString>
#include <QVariant>

#include <cstdint>

class QSettings;

// One key of the INI configuration store, group and name in one text
// ("config/TcpPort"). Created only by ConfigEngine and never destroyed.
class ConfigItem {
public:
    // The key's number, equal to its index in the engine's list.
    enum ConfigName {
        TcpPort = 0,
        UdpPort = 1,
        IPAddress = 2,
        SubNetMask = 3,
        GateWay = 4,
        MAC = 5,
        Barcode = 6,
        WifiIPAddress = 7,
        EDIDCheck = 8,
        SourceCheck = 9,
        ImageLayoutPassword = 10,
        uDarcloudserverip = 11,
        uDarcloudserverport = 12,
        uDarclouduserip = 13,
        uDarcloudcontrollername = 14,
        KelMaxPixel_UINT = 15,
        usbupgradedir = 16,
        KelLCDLang = 17,
        ConfigNameCount = 18
    };

    // Reads the key through settings; a missing or empty value takes the
    // default, which is written back unless noWrite.
    ConfigItem(const QString& key, ConfigName name, const QVariant& defaultValue, bool noWrite, uint8_t kind,
               const QString& file, QSettings& settings);

    QString key;
    ConfigName name;
    QVariant defaultValue;
    bool noWrite;
    uint8_t kind;   // 1 read as an integer, 0 text
    QString file;   // logical path of the INI file
    QVariant value;
};
