#pragma once
#include "params/ConfigItem.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QVariant>

#include <cstdio>
#include <mutex>

// The INI configuration store "/data/configs/tcpip.ini": one ConfigItem per
// key, list index = ConfigItem::ConfigName. Reads and writes may come from
// any thread; they are serialised inside.
class ConfigEngine : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kConfigFile = "/data/configs/tcpip.ini";
    static constexpr const char* kLoadConfigFile = "/data/configs/led_load_config.ini";
    static constexpr const char* kAppStartLine = "/data/app/kelT57N -platform linuxfb";

    // First call creates the engine and runs the start-up work (device id,
    // globals, start entry check, ageing log cleared); later calls reload
    // the globals from the items and return the engine.
    static ConfigEngine* pInstance();
    static ConfigEngine* p_config;
    // Destroys the engine (tests, end of the program).
    static void destroyInstance();

    // A copy of the item's value; an invalid QVariant for an unknown name.
    QVariant read_config_variant(int name);
    // Stores the value and writes it to the file; ignored for an unknown name.
    void write_config_variant(int name, const QVariant& value);

    static bool containsItemStr(const QString& key);
    // The name of a key text with or without "config/"; 0 (TcpPort) when
    // unknown, so check with containsItemStr first.
    static ConfigItem::ConfigName strToItem(const QString& key);
    // The item of a full key text ("config/TcpPort"), null when unknown.
    ConfigItem* getConfigItem(const QString& key);

    // Used by the parameter store for "/data/ram_device_info".
    FILE* ram_info_file = nullptr;

    // The device id from the chip's unique-id words X, Y, Z.
    static QString deviceIdFromWords(uint16_t x, uint16_t y, uint16_t z);

private:
    ConfigEngine();
    ~ConfigEngine() override;
    void loadDeviceId();
    static void checkStartEntry();

    QList<ConfigItem*> items_;
    std::mutex lock_;
    static QMap<QString, ConfigItem::ConfigName> _itemMap;
};
