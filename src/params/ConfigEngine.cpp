#include "params/ConfigEngine.h"

#include "params/DebugPrint.h"
#include "params/Utils.h"
#include "params/global.h"
#include "platform/Board.h"
#include "platform/PathMap.h"
#include "platform/RegisterWindow.h"

#include <QSettings>

using kel::platform::PathMap;

ConfigEngine* ConfigEngine::p_config = nullptr;
QMap<QString, ConfigItem::ConfigName> ConfigEngine::_itemMap;

namespace {

struct KeyRow {
    const char* key;
    ConfigItem::ConfigName name;
    QVariant defaultValue;
    uint8_t kind;
};

// The keys of group "config" in ConfigName order, with their defaults.
const KeyRow kKeys[] = {
    {"config/TcpPort", ConfigItem::TcpPort, 5005, 1},
    {"config/UdpPort", ConfigItem::UdpPort, 5008, 1},
    {"config/IPAddress", ConfigItem::IPAddress, "192.168.1.199", 0},
    {"config/SubNetMask", ConfigItem::SubNetMask, "255.255.255.0", 0},
    {"config/GateWay", ConfigItem::GateWay, "192.168.1.1", 0},
    {"config/MAC", ConfigItem::MAC, "FF:FF:FF:FF:FF:FF", 0},
    {"config/Barcode", ConfigItem::Barcode, " ", 0},
    {"config/WifiIPAddress", ConfigItem::WifiIPAddress, "192.168.22.101", 0},
    {"config/EDIDCheck", ConfigItem::EDIDCheck, "Once", 0},
    {"config/SourceCheck", ConfigItem::SourceCheck, 255, 1},
    {"config/ImageLayoutPassword", ConfigItem::ImageLayoutPassword, "Zq", 0},
    {"config/uDarcloudserverip", ConfigItem::uDarcloudserverip, " ", 0},
    {"config/uDarcloudserverport", ConfigItem::uDarcloudserverport, " ", 1},
    {"config/uDarclouduserip", ConfigItem::uDarclouduserip, " ", 0},
    {"config/uDarcloudcontrollername", ConfigItem::uDarcloudcontrollername, " ", 0},
    {"config/KelMaxPixel_UINT", ConfigItem::KelMaxPixel_UINT, 0xA00000, 1},
    {"config/usbupgradedir", ConfigItem::usbupgradedir, "KEL-T46 Rev.c", 0},
    {"config/KelLCDLang", ConfigItem::KelLCDLang, 0x1001F, 1},
};

// Register window offsets of the unique-id read.
constexpr uint32_t kIdControl = 0x400C;
constexpr uint16_t kIdControlBit = 0x0100;
constexpr uint32_t kIdX = 0x4058;
constexpr uint32_t kIdY = 0x405C;
constexpr uint32_t kIdZ = 0x4060;

std::mutex g_instanceLock;

QString hostFile(const char* logical)
{
    return PathMap::host(QString::fromLatin1(logical));
}

} // namespace

ConfigEngine::ConfigEngine()
{
    QSettings settings(hostFile(kConfigFile), QSettings::IniFormat);
    Utils::system_mutex(QStringLiteral("chattr +S %1").arg(QString::fromLatin1(kConfigFile)));
    // A file that resolves outside the root is never written, defaults included.
    const bool readOnly = PathMap::hostForWrite(QString::fromLatin1(kConfigFile)).isEmpty();
    for (const KeyRow& row : kKeys) {
        const QString key = QString::fromLatin1(row.key);
        _itemMap.insert(key, row.name);
        items_.append(new ConfigItem(key, row.name, row.defaultValue, readOnly, row.kind,
                                     QString::fromLatin1(kConfigFile), settings));
    }
}

ConfigEngine::~ConfigEngine()
{
    qDeleteAll(items_);
    items_.clear();
}

ConfigEngine* ConfigEngine::pInstance()
{
    // Any thread may fetch the engine; the reload of the shared globals runs
    // one caller at a time so that no two threads assign the same text.
    std::lock_guard<std::mutex> l(g_instanceLock);
    if (p_config) {
        Utils::getIPAddress();
        return p_config;
    }
    p_config = new ConfigEngine();
    p_config->loadDeviceId();
    Utils::getIPAddress();
    checkStartEntry();
    factoryage_log.clear();
    factoryage_log_num = 0;
    return p_config;
}

void ConfigEngine::destroyInstance()
{
    std::lock_guard<std::mutex> l(g_instanceLock);
    delete p_config;
    p_config = nullptr;
    _itemMap.clear();
}

void ConfigEngine::loadDeviceId()
{
    auto window = kel::platform::Board::newRegisterWindow();
    if (!window->openPhysical()) {
        // Only the device id is lost; the configuration still loads.
        kelDebug("\n open /dev/mem failed, no device id \n");
        return;
    }
    window->write16(kIdControl, window->read16(kIdControl) & static_cast<uint16_t>(~kIdControlBit));
    const uint16_t x = window->read16(kIdX);
    const uint16_t y = window->read16(kIdY);
    const uint16_t z = window->read16(kIdZ);
    window->close();
    kelDebug("\n mmap uuid161= %#x ,%#X ,%#x \n", x, y, z);
    g_pid = deviceIdFromWords(x, y, z);
    for (const QChar c : g_pid)
        kelDebug(" %#x ", c.toLatin1() <= '9' ? c.toLatin1() - '0' : c.toLatin1() - 'a' + 10);
}

QString ConfigEngine::deviceIdFromWords(uint16_t x, uint16_t y, uint16_t z)
{
    auto nib = [](uint16_t w, int n) { return (w >> (4 * n)) & 0xF; };
    const int X3 = nib(x, 3), X2 = nib(x, 2), X1 = nib(x, 1), X0 = nib(x, 0);
    const int Y3 = nib(y, 3), Y2 = nib(y, 2), Y1 = nib(y, 1), Y0 = nib(y, 0);
    const int Z3 = nib(z, 3), Z2 = nib(z, 2), Z1 = nib(z, 1), Z0 = nib(z, 0);
    const int digits[32] = {
        X3, Y3, Z3, Y1, Z1, Z0, Z2, (X3 + Y3) & 1,
        (Z3 + Y1) >> 1, Y0, Y2, (Z0 + Z1) >> 1, (X3 + Y3) >> 1, (Z0 + Z1) & 1, (Z3 + Y1) & 1, X2,
        X1, (Z2 + Y0) & 1, (Y2 + X2) & 1, (X1 + X0) & 1, (X1 + X0) >> 1, (X3 + Y3 + Z3) % 3,
        (X3 + Y3 + Z3) / 3, (X3 + Y2 + X2) % 3,
        (X3 + Y2 + X2) / 3, (Z2 + Y1 + X1) % 3, (Z2 + Y1 + X1) / 3, (Z1 + Y0 + X0) % 3,
        (Z1 + Y0 + X0) / 3, (Y2 + X2) >> 1, (Z2 + Y0) >> 1, X0};
    static const char kHex[] = "0123456789abcdef";
    QString id;
    for (int d : digits)
        id += QLatin1Char(d <= 15 ? kHex[d] : '0');
    return id;
}

void ConfigEngine::checkStartEntry()
{
    QSettings settings(hostFile(kLoadConfigFile), QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("app-1"));
    const QString line = settings.value(QStringLiteral("app_path")).toString();
    settings.endGroup();
    g_update_status = (line == QLatin1String(kAppStartLine)) ? 1 : 0;
}

QVariant ConfigEngine::read_config_variant(int name)
{
    std::lock_guard<std::mutex> l(lock_);
    if (name < 0 || name >= items_.size())
        return QVariant();
    return items_.at(name)->value;
}

void ConfigEngine::write_config_variant(int name, const QVariant& value)
{
    std::lock_guard<std::mutex> l(lock_);
    if (name < 0 || name >= items_.size())
        return;
    ConfigItem* item = items_.at(name);
    item->value = value;
    if (item->noWrite || item->file.isEmpty())
        return;
    // QSettings replaces the file through a temporary file and a rename.
    const QString host = PathMap::hostForWrite(item->file);
    if (host.isEmpty())
        return;
    QSettings settings(host, QSettings::IniFormat);
    settings.setValue(item->key, value);
    settings.sync();
}

bool ConfigEngine::containsItemStr(const QString& key)
{
    return _itemMap.contains(key);
}

ConfigItem::ConfigName ConfigEngine::strToItem(const QString& key)
{
    const QString full = key.startsWith(QLatin1String("config/")) ? key : QStringLiteral("config/") + key;
    return _itemMap.value(full, ConfigItem::TcpPort);
}

ConfigItem* ConfigEngine::getConfigItem(const QString& key)
{
    if (!containsItemStr(key))
        return nullptr;
    std::lock_guard<std::mutex> l(lock_);
    return items_.value(strToItem(key), nullptr);
}
