#include "protocol/SystemControllerPort.h"

#include "inputs/tarvosource.h"
#include "ledout/LedGlobals.h"
#include "ledout/LedSize.h"
#include "ledout/clock_record_run.h"
#include "ledout/fpga_manage.h"
#include "ledout/rcvRecovery.h"
#include "params/ApplyGate.h"
#include "params/ConfigEngine.h"
#include "params/KelRamPara.h"
#include "protocol/LinkSocket.h"
#include "protocol/ProtocolCodes.h"
#include "params/NetworkConfig.h"
#include "params/RamLayout.h"
#include "params/SyncReason.h"
#include "params/Utils.h"
#include "params/global.h"

#include <QMutexLocker>

#include <cstring>
#include <vector>

namespace kel::protocol {
namespace {

KelRamPara* store() { return KelRamPara::p_kelrampara_config; }
fpga_manage* fpga() { return fpga_manage::p_fpga_manage; }

// Holds the scaler's parameter lock for a scope.
class ParaLock {
public:
    ParaLock() { pthread_mutex_lock(&ApplyGate::instance().c331_para_mutex); }
    ~ParaLock() { pthread_mutex_unlock(&ApplyGate::instance().c331_para_mutex); }
};

constexpr int kFlashId = 2;
constexpr size_t kFlashHeadRoom = 4;
// Configuration keys written by the protocol.
constexpr int kKeyTcpPort = 0;
constexpr int kKeyBarcode = 6;
constexpr int kKeyWifiIp = 7;
constexpr int kKeyLcdLang = 17;

// Item and global change together under the configuration lock, so a
// reload on another link sees both or neither. False for a key not kept.
bool storeConfigItem(ConfigEngine& config, int key, const QString& value)
{
    std::lock_guard<std::mutex> l(Utils::_config_mutex);
    switch (key) {
    case kKeyTcpPort:
        // The listening port changes with the next start.
        config.write_config_variant(key, value.toInt());
        g_int_tcp_port = value.toInt();
        return true;
    case kKeyLcdLang:
        config.write_config_variant(key, value.toUInt(nullptr, 0));
        g_lcd_lang_valid = value.toUInt(nullptr, 0);
        return true;
    case kKeyBarcode:
        config.write_config_variant(key, value);
        g_str_barcode = value;
        return true;
    case kKeyWifiIp:
        config.write_config_variant(key, value);
        g_str_wifi_ip = value;
        return true;
    default:
        return false;
    }
}

} // namespace

uint8_t SystemControllerPort::writeRamBlock(uint32_t address, const uint8_t* data, uint32_t n)
{
    if (!store() || n > 0xFFFF)
        return 1;
    ParaLock l;
    return store()->KelRamParaDeal(data, uint16_t(n), address) == 0 ? 0 : 1;
}

bool SystemControllerPort::readRamBlock(uint32_t address, uint8_t* out, uint32_t n)
{
    if (!store() || address + n > RamLayout::kBlockSize)
        return false;
    ParaLock l;
    std::memcpy(out, store()->RamBlock + address, n);
    return true;
}

uint8_t SystemControllerPort::writeUserMode(uint32_t mode, uint32_t offset, const uint8_t* data, uint32_t n)
{
    if (!store() || n > 0xFFFF)
        return 1;
    ParaLock l;
    return store()->KelModeUserRamParaDeal(data, uint16_t(n), 0x1000 * mode + offset) == 0 ? 0 : 1;
}

bool SystemControllerPort::readUserMode(uint32_t mode, uint32_t offset, uint8_t* out, uint32_t n)
{
    if (!store() || mode < 1 || mode > RamLayout::kSlotCount || offset + n > RamLayout::kSlotSize)
        return false;
    ParaLock l;
    std::memcpy(out, store()->UserModeSlot[mode - 1] + offset, n);
    return true;
}

uint32_t SystemControllerPort::registerCount() { return store() ? uint32_t(RamLayout::kRegReachable) : 0; }

uint8_t SystemControllerPort::readRegister(uint32_t reg) { return store()->LocalRegBank[reg]; }

void SystemControllerPort::writeRegister(uint32_t reg, uint8_t value) { store()->LocalRegBank[reg] = value; }

bool SystemControllerPort::ledSizeChanged() const
{
    const size_t from = RamLayout::kSpliceMode;
    const size_t to = RamLayout::kLedHeight + 2;
    return std::memcmp(store()->RamBlock + from, store()->RamShadow + from, to - from) != 0;
}

// Raises the apply flag; the caller holds c331_para_mutex. A pending
// "apply and announce the user mode" (2) that the scaler has not taken yet
// is kept: lowering it to 1 would leave the written slot unsaved.
void SystemControllerPort::raiseApplyFlag(uint8_t value)
{
    std::atomic<uint8_t>& flag = ApplyGate::instance().c331_apply_flag;
    if (flag.load() < value)
        flag = value;
}

// With the new values in place, a changed LED size or splice is handed to
// both managers, as the LED settings page does.
void SystemControllerPort::requestApply(uint8_t value)
{
    ParaLock l;
    if (store() && ledSizeChanged())
        LedSize::handOver();
    raiseApplyFlag(value);
}

uint8_t SystemControllerPort::pendingApply() { return ApplyGate::instance().c331_apply_flag.load(); }

bool SystemControllerPort::osdEnabled() { return store() && store()->blockU16(RamLayout::kOsdEnable) == 1; }

void SystemControllerPort::requestOsdReload()
{
    ParaLock l;
    g_osd_update = 1;
    raiseApplyFlag(1);
}

void SystemControllerPort::requestSdiPulse()
{
    if (tarvosource::p_tarvo_source)
        tarvosource::p_tarvo_source->gpio_pulse_request = 1;
}

void SystemControllerPort::announce(int reason)
{
    if (store())
        store()->test_signal(reason);
}

uint8_t* SystemControllerPort::image(int f, FpgaImage which) const
{
    switch (which) {
    case FpgaImage::Para: return MCU_RAM_PARA_func[f];
    case FpgaImage::Cmd: return MCU_RAM_CMD;
    case FpgaImage::Extend: return MCU_RAM_EXTEND;
    case FpgaImage::Zoom: return MCU_RAM_ZOOM;
    case FpgaImage::Default: return MCU_RAM_DEFAULT;
    case FpgaImage::EthPara: return MCU_RAM_ETH_PARA_func[f];
    case FpgaImage::EthBack: return MCU_RAM_ETH_BACK_PARA_func[f];
    case FpgaImage::Count: break;
    }
    return nullptr;
}

bool SystemControllerPort::fpgaImageWrite(int f, FpgaImage which, uint32_t offset, const uint8_t* data, uint32_t n)
{
    uint8_t* p = fpga() ? image(f, which) : nullptr;
    if (!p)
        return false;
    std::lock_guard<std::mutex> l(fpga()->reg_image_mutex);
    std::memcpy(p + offset, data, n);
    return true;
}

bool SystemControllerPort::fpgaImageRead(int f, FpgaImage which, uint32_t offset, uint8_t* out, uint32_t n)
{
    uint8_t* p = fpga() ? image(f, which) : nullptr;
    if (!p)
        return false;
    std::lock_guard<std::mutex> l(fpga()->reg_image_mutex);
    std::memcpy(out, p + offset, n);
    return true;
}

void SystemControllerPort::fpgaHostCommand()
{
    if (!fpga())
        return;
    {
        QMutexLocker l(&Utils::_fpga_multicast_mutex);
        fpga()->fpga_multicast_state = 0;
    }
    fpga()->write_to_register(fpga_manage::FPGA_REG_LOAD, 4, 4, 0);
}

void SystemControllerPort::setFpgaCtrlFlags(uint8_t flags)
{
    if (fpga())
        fpga()->fpga_ctrl_flags = flags;
}

uint16_t SystemControllerPort::cardTotal() { return fpga() ? fpga()->fpga_port_card_mask.load() : 0; }

// The running-time totals: sequence number, minutes since power-on, minutes
// of the finished groups, and those plus the current group's (2 a mark).
ClockRecordView SystemControllerPort::clockRecord()
{
    if (!fpga())
        return ClockRecordView{};
    const ClockRecordState r = fpga()->clock_record_snapshot();
    return ClockRecordView{r.rec_seq, r.rec_minutes_boot, r.rec_total, r.rec_total + 2 * r.rec_marks};
}

void SystemControllerPort::clockChanged()
{
    if (fpga())
        fpga()->record_clock_change();
}

bool SystemControllerPort::flashRead(uint32_t address, uint8_t* out, uint32_t n)
{
    return fpga() && fpga()->drv && fpga()->drv->FPGA_SPI_FLASH_VBYONE_READ(kFlashId, address, n, out);
}

bool SystemControllerPort::flashWrite(uint32_t address, const uint8_t* data, uint32_t n)
{
    if (!fpga() || !fpga()->drv)
        return false;
    std::vector<uint8_t> buf(kFlashHeadRoom + n);
    std::memcpy(buf.data() + kFlashHeadRoom, data, n);
    return fpga()->drv->FPGA_SPI_FLASH_VBYONE_WRITE(kFlashId, address, buf.data(), n) != 0;
}

void SystemControllerPort::lockIrq()
{
    if (fpga())
        fpga()->irq_mutex.lock();
    else
        irqFallback_.lock();
    irqHeldFallback_ = !fpga();
}

void SystemControllerPort::unlockIrq()
{
    if (irqHeldFallback_)
        irqFallback_.unlock();
    else
        fpga()->irq_mutex.unlock();
}

// The source address of a socket's peer; the serial line and the 4G
// modem's line each count as one address of their own.
std::string SystemControllerPort::originOf(uint8_t link, const LinkPeer& peer)
{
    if (link == LINK_TCP || link == LINK_UDP)
        return LinkSocket::addressOf(peer.address);
    return "line " + std::to_string(link) + " " + peer.key;
}

CardClaim SystemControllerPort::claimCardPath(uint8_t link, const LinkPeer& peer, const uint8_t* frame, uint32_t n)
{
    if (!fpga())
        return CardClaim::Go;
    const PcRequestSlot::Tool tool{link, peer.key, originOf(link, peer), peer.ended, peer.again, peer.floods, peer.tries};
    switch (fpga()->pc_request.claim(tool, fpga_manage::pc_request_port(frame, n), G_timeTicks.load())) {
    case PcRequestSlot::Claim::Go: return CardClaim::Go;
    case PcRequestSlot::Claim::Drop: return CardClaim::Drop;
    case PcRequestSlot::Claim::Wait: break;
    }
    return CardClaim::Wait;
}

void SystemControllerPort::leaveCardPath(uint8_t link, const std::string& sender)
{
    if (fpga())
        fpga()->pc_request.withdraw(link, sender);
}

bool SystemControllerPort::cardRequestOut(uint8_t link, const std::string& sender)
{
    return fpga() && fpga()->pc_request.holds(link, sender, G_timeTicks.load());
}

static_assert(PcRequestSlot::kAllPorts == ControllerPort::kAllCardPorts &&
                  PcRequestSlot::kNowhere == ControllerPort::kNoCardPort,
              "the links and the slot name the same ports");

uint8_t SystemControllerPort::cardPortOf(const uint8_t* frame, uint32_t n)
{
    return fpga_manage::pc_request_port(frame, n);
}

void SystemControllerPort::forwardToCards(const uint8_t* frame, uint32_t n)
{
    if (fpga())
        fpga()->Dealwith1_PC_to_eth(frame, n);
}

void SystemControllerPort::serviceCardIrq()
{
    if (fpga())
        fpga()->reg_IRQ_Dealwith(0, 0);
}

bool SystemControllerPort::replyReady() { return fpga() && fpga()->pc_reply_ready != 0; }

void SystemControllerPort::setReplyReady(bool ready)
{
    if (fpga())
        fpga()->pc_reply_ready = ready ? 1 : 0;
}

uint8_t SystemControllerPort::passbyPort() { return g_passby_trans_port; }
void SystemControllerPort::setPassbyPort(uint8_t link) { g_passby_trans_port = link; }
uint32_t SystemControllerPort::ticks() { return G_timeTicks.load(); }

void SystemControllerPort::markHostFrame()
{
    pc_cmd_time = G_timeTicks.load();
    pc_cmd_valid = 1;
}

void SystemControllerPort::setEdidTable(int input, const uint8_t* edid256)
{
    tarvosource* src = tarvosource::p_tarvo_source;
    if (!src)
        return;
    std::memcpy(src->edid_ram_table[input], edid256, sizeof src->edid_ram_table[input]);
    src->edid_ram_table_from[input] = 1;
}

void SystemControllerPort::lockFiles() { Utils::_file_deal_mutex.lock(); }
void SystemControllerPort::unlockFiles() { Utils::_file_deal_mutex.unlock(); }

// The files were removed: the reader's name lists follow.
void SystemControllerPort::clearSmartFiles()
{
    if (fpga() && fpga()->rcv_reader)
        fpga()->rcv_reader->clearSmartFiles();
}

void SystemControllerPort::clearRecoveryFiles()
{
    if (fpga() && fpga()->rcv_reader)
        fpga()->rcv_reader->clearRecoveryFiles();
}

void SystemControllerPort::storeNetwork(const QString& ip, const QString& mask, const QString& gateway)
{
    NetworkConfig::storeNetwork(ip, mask, gateway);
}

void SystemControllerPort::storeConfig(int key, const QString& value)
{
    ConfigEngine* config = ConfigEngine::pInstance();
    if (storeConfigItem(*config, key, value))
        Utils::system_mutex(QStringLiteral("sync"));
}

void SystemControllerPort::setSystemClock(const ClockValue& v)
{
    const QString date = QString("%1-%2-%3").arg(v.year).arg(v.month).arg(v.day);
    const QString time = QString("%1:%2:%3").arg(v.hour).arg(v.minute).arg(v.second);
    Utils::system_mutex(QString("date \"%1 %2\";hwclock -wu").arg(date, time));
}

std::string SystemControllerPort::deviceId() { return g_pid.toStdString(); }
uint8_t SystemControllerPort::updateFlag() { return g_update_flag.load(); }
void SystemControllerPort::setUpdateFlag(uint8_t value) { g_update_flag = value; }
bool SystemControllerPort::startEntryPresent() { return g_update_status == 1; }

void SystemControllerPort::requestReboot()
{
    G_reboot_tickTicks = G_timeTicks.load();
    g_app_reset_flag = 1;
}

bool SystemControllerPort::rebootPending() { return g_app_reset_flag.load() != 0; }

} // namespace kel::protocol
