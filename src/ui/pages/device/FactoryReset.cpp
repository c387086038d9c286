#include "ui/pages/device/FactoryReset.h"

#include "inputs/tarvosource.h"
#include "ledout/LedSize.h"
#include "params/ApplyGate.h"
#include "params/DefaultParaTable.h"
#include "params/KelRamPara.h"
#include "params/NetworkConfig.h"
#include "params/RamLayout.h"

#include <algorithm>
#include <cstring>

namespace {
// The custom EDID area reset 2 keeps: the EDID records up to the splice mode.
constexpr size_t kEdidAreaBegin = RamLayout::kEdidSourceRecord;
constexpr size_t kEdidAreaEnd = RamLayout::kSpliceMode;
constexpr int kInputs = 6;
// The LED screen as last applied is compared through these.
constexpr size_t kScreenFields[] = {RamLayout::kSpliceMode, RamLayout::kLedWidth, RamLayout::kLedHeight};
} // namespace

void FactoryReset::run(Kind kind)
{
    // The network step runs before the scaler lock is taken.
    if (kind == Kind::All)
        restoreNetwork();
    ApplyGate::instance().apply([kind]() { loadDefaults(kind); });
}

void FactoryReset::restoreNetwork()
{
    const QString ip = QString::fromLatin1(kDefaultIp);
    const QString mask = QString::fromLatin1(kDefaultMask);
    const QString gateway = QString::fromLatin1(kDefaultGateway);
    // A default address with a wrong mask or gateway is not a full reset:
    // all three are written whenever any of them differs.
    if (!NetworkConfig::isCurrent(ip, mask, gateway))
        NetworkConfig::storeNetwork(ip, mask, gateway);
}

void FactoryReset::loadDefaults(Kind kind)
{
    KelRamPara* store = KelRamPara::p_kelrampara_config;
    if (!store)
        return;
    uint8_t* block = store->RamBlock;
    uint8_t kept[kEdidAreaEnd - kEdidAreaBegin];
    if (kind == Kind::KeepIpEdid)
        std::memcpy(kept, block + kEdidAreaBegin, sizeof(kept));
    DefaultParaTable::copySavedAreaInto(block);
    if (kind == Kind::KeepIpEdid)
        std::memcpy(block + kEdidAreaBegin, kept, sizeof(kept));

    for (int k = 0; k < RamLayout::kValuePairCount; ++k) {
        store->setBlockU16(RamLayout::kWindowFades + 4 * size_t(k), kFade);
        store->setBlockU16(RamLayout::kWindowFades + 4 * size_t(k) + 2, kFade);
    }

    const bool sizeChanged = std::any_of(std::begin(kScreenFields), std::end(kScreenFields),
                                         [store](size_t off) { return store->blockU16(off) != store->shadowU16(off); });
    if (sizeChanged) {
        LedSize::handOver();
        store->setBlockU16(RamLayout::kAudioImageIndex, 0);
    }

    if (kind != Kind::KeepIpEdid && tarvosource::p_tarvo_source) {
        for (int s = 0; s < kInputs; ++s)
            tarvosource::p_tarvo_source->source_restart_request[s] = 1;
    }
}
