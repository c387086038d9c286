#include "params/NetworkConfig.h"

#include "params/ConfigEngine.h"
#include "params/ConfigItem.h"
#include "params/KelRamPara.h"
#include "params/SyncReason.h"
#include "params/Utils.h"
#include "params/global.h"
#include "platform/Sleeper.h"

namespace {
// The pause after "sync" before the interface is reconfigured.
constexpr uint32_t kSyncPauseUs = 100;
} // namespace

bool NetworkConfig::storeNetwork(const QString& ip, const QString& mask, const QString& gateway)
{
    // The texts end up in the interface commands: only plain addresses pass.
    if (!Utils::isIPv4Address(ip) || !Utils::isIPv4Address(mask) || !Utils::isIPv4Address(gateway))
        return false;
    ConfigEngine* config = ConfigEngine::pInstance();
    config->write_config_variant(ConfigItem::IPAddress, ip);
    config->write_config_variant(ConfigItem::SubNetMask, mask);
    config->write_config_variant(ConfigItem::GateWay, gateway);
    Utils::system_mutex(QStringLiteral("sync"));
    // A plain pause: the serialised one holds a lock across the sleep.
    kel::platform::Sleeper::sleepUs(kSyncPauseUs);
    Utils::initIPAddress();
    if (KelRamPara::p_kelrampara_config)
        KelRamPara::p_kelrampara_config->test_signal(SYNC_PARA);
    return true;
}

bool NetworkConfig::isCurrent(const QString& ip, const QString& mask, const QString& gateway)
{
    std::lock_guard<std::mutex> l(Utils::_config_mutex);
    return ip == g_str_ip && mask == g_srt_mask && gateway == g_str_gateway;
}
