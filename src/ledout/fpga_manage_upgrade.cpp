// The USB-stick upgrade: lists the packages in the stick's upgrade folder,
// checks each package before any of it is written, writes the children that its rules take
// (program, FPGA image, OSD font) and ends the run with the reload of what
// was written or the install of the new program and a restart.
#include "ledout/UpgradePackage.h"
#include "ledout/UpgradeServices.h"
#include "ledout/fpga_manage.h"
#include "params/DebugPrint.h"
#include "params/KelRamPara.h"
#include "params/ProgramVersion.h"
#include "params/ProgramInstall.h"
#include "params/SyncReason.h"
#include "params/Utils.h"
#include "params/global.h"
#include "platform/AtomicFile.h"
#include "platform/PathMap.h"
#include "platform/Sleeper.h"

#include <QDateTime>
#include <QFile>
#include <QMutexLocker>

#include <algorithm>
#include <vector>

using kel::platform::PathMap;
using kel::platform::Sleeper;

namespace {

constexpr uint32_t kImageChunk = 32768;
constexpr uint32_t kFontChunk = 16384;
constexpr uint32_t kHeadRoom = 4;   // the FPGA flash write's room before the data

// The pause lets the device's storage settle after the sync; at the
// program's stop the sync is enough.
void syncAndWait(uint32_t ms)
{
    Utils::system_mutex(QStringLiteral("sync"));
    Sleeper::pauseMs(ms);
}

// Reads len bytes at offset of a package (logical path) under the file
// lock; a failed open or a short read is a failure.
bool readAt(const QString& path, uint64_t offset, uint32_t len, uint8_t* out)
{
    QMutexLocker lock(&Utils::_file_deal_mutex);
    QFile f(PathMap::host(path));
    if (!f.open(QIODevice::ReadOnly) || !f.seek(qint64(offset)))
        return false;
    return f.read(reinterpret_cast<char*>(out), qint64(len)) == qint64(len);
}

qint64 fileSize(const QString& path)
{
    QMutexLocker lock(&Utils::_file_deal_mutex);
    QFile f(PathMap::host(path));
    return f.open(QIODevice::ReadOnly) ? f.size() : -1;
}

// The child is the version FPGA 0 runs: year, month and date against the
// BCD registers 31, 30 and 29, the function number against register 28.
bool sameFpgaVersion(const UpgradeChild& c, fpga_manage& m)
{
    uint8_t r[4];
    {
        std::lock_guard<std::mutex> l(m.reg_image_mutex);
        std::copy(m.reg_images[0] + fpga_manage::FPGA_REG_VERSION, m.reg_images[0] + fpga_manage::FPGA_REG_VERSION + 4, r);
    }
    return c.version[0] == UpgradePackage::bcd(r[3]) && c.version[1] == UpgradePackage::bcd(r[2]) &&
           c.version[2] == UpgradePackage::bcd(r[1]) && c.version[5] == r[0];
}

void removeNewProgram()
{
    const std::string host = PathMap::host(std::string(ProgramInstall::kNewProgram));
    QMutexLocker lock(&Utils::_file_deal_mutex);
    QFile::remove(QString::fromStdString(host));
    QFile::remove(QString::fromStdString(kel::platform::AtomicFile::tempPath(host)));
}

} // namespace

QString fpga_manage::clock_text()
{
    TimeRealType t;
    IT8563WE_Get(&t);
    return QStringLiteral("%1:%2:%3").arg(t.hour).arg(t.minute).arg(t.second);
}

void fpga_manage::usb_upgrade_manage_deal() { usb_upgrade_deal(); }

void fpga_manage::usb_upgrade_deal()
{
    UpgradeServices& services = UpgradeServices::instance();
    switch (g_send_para.send_step()) {
    case 0:
        if (!g_update_flag && services.popupStart)
            services.popupStart();
        usb_upgrade_time = clock_text();
        g_update_flag = 1;
        usb_file_count = 0;
        g_send_para.set_send_step(1);
        break;
    case 1:
        get_usb_file_list_path();
        kelDebug("usb_updata_list = %d\n", int(usb_file_count));
        g_send_para.set_send_step(2);
        break;
    case 2:
        usb_upgrade_main_deal();
        g_send_para.set_send_step(3);
        break;
    case 3:
        usb_upgrade_time += QStringLiteral("    ") + clock_text();
        if (g_update_flag && services.popupOver)
            services.popupOver();
        announce(SYNC_USB_UPGRADE);
        g_update_flag = 0;
        g_send_para.set_send_step(0);
        g_usb_grade = 0;
        break;
    default:
        break;
    }
}

void fpga_manage::get_usb_file_list_path()
{
    usb_file_list = UpgradePackage::list(Utils::configValue(g_usb_grade_path), kUsbListMax);
    usb_file_count = uint16_t(usb_file_list.size());
}

// The program's stop ends the run between children: a child begun is
// written to its end, and what was written takes effect as after a full run.
void fpga_manage::usb_upgrade_main_deal()
{
    downing_mcu = downing_txc1 = downing_txc2 = downing_osd = 0;
    for (int i = 0; i < usb_file_count && i < usb_file_list.size() && !Sleeper::stopping(); ++i) {
        const QString path = usb_file_list.at(i);
        kelDebug("ready to downing file name  %s\n", path.toUtf8().constData());
        UpgradePackage package;
        std::vector<UpgradeTake> takes;
        std::string why;
        if (!usb_upgrade_plan(path, package, takes, &why)) {
            // Refused whole: nothing of it is erased, written or installed.
            kelDebug("package refused: %s\n", why.c_str());
            syncAndWait(100);
            continue;
        }
        syncAndWait(1);
        for (size_t c = 0; c < takes.size() && !Sleeper::stopping(); ++c) {
            // The pause is for a child that is written: children passed
            // over must not hold the FPGA manager's pass.
            if (takes[c] == UpgradeTake::Write)
                syncAndWait(100);
            usb_upgrade_child(path, package.children[c], takes[c]);
        }
    }
    kelDebug("downing_mcu = %#x ,downing_txc1 = %#x ,downing_osd = %#x\n", downing_mcu, downing_txc1, downing_osd);
    usb_upgrade_end_of_run();
}

bool fpga_manage::usb_upgrade_plan(const QString& path, UpgradePackage& package, std::vector<UpgradeTake>& takes,
                                   std::string* why)
{
    const qint64 size = fileSize(path);
    if (size < 0) {
        *why = "cannot be opened";
        return false;
    }
    auto read = [&path](uint64_t off, uint32_t len, uint8_t* out) { return readAt(path, off, len, out); };
    if (!package.load(uint64_t(size), read, why))
        return false;
    // Decided before anything is written: the FPGA version and the fonts
    // present do not change until the end of the run.
    for (const UpgradeChild& child : package.children) {
        takes.push_back(usb_upgrade_take(package, child));
        if (takes.back() == UpgradeTake::Write && !UpgradePackage::fitsDestination(child, why)) {
            *why = "child " + std::to_string(takes.size() - 1) + ": " + *why;
            return false;
        }
    }
    return true;
}

fpga_manage::UpgradeTake fpga_manage::usb_upgrade_take(const UpgradePackage& package, const UpgradeChild& child)
{
    const bool normal = package.normalRelease();
    switch (child.file_type) {
    case UpgradePackage::kProgram:
        if (!package.forThisController())
            return UpgradeTake::Ignore;
        return normal && ProgramVersion::matches(child.version) ? UpgradeTake::Skip : UpgradeTake::Write;
    case UpgradePackage::kImage1:
        if (!package.forThisController())
            return UpgradeTake::Ignore;
        return normal && sameFpgaVersion(child, *this) ? UpgradeTake::Skip : UpgradeTake::Write;
    case UpgradePackage::kFont: {
        KelRamPara* store = KelRamPara::p_kelrampara_config;
        if (store && (store->LocalRegBank[43] & 63) == 63)
            return UpgradeTake::Skip;
        const bool coded = UpgradePackage::fontBase(child.en_coding, child.height) != UpgradePackage::kNoFontBase;
        return coded ? UpgradeTake::Write : UpgradeTake::FlagOnly;
    }
    case UpgradePackage::kImage2:
        kelDebug("second FPGA image skipped: the board has no second FPGA\n");
        return UpgradeTake::Ignore;
    default:
        return UpgradeTake::Ignore;
    }
}

void fpga_manage::usb_upgrade_child(const QString& path, const UpgradeChild& child, UpgradeTake take)
{
    uint8_t* flag = child.file_type == UpgradePackage::kProgram  ? &downing_mcu
                    : child.file_type == UpgradePackage::kImage1 ? &downing_txc1
                    : child.file_type == UpgradePackage::kFont   ? &downing_osd
                                                                 : nullptr;
    if (!flag || take == UpgradeTake::Ignore)
        return;
    if (take != UpgradeTake::Write) {
        *flag = take == UpgradeTake::FlagOnly ? 1 : 0;
        return;
    }
    bool written = false;
    if (child.file_type == UpgradePackage::kProgram)
        written = update_muc_file(path, child.file_offset, child.file_len);
    else if (child.file_type == UpgradePackage::kImage1)
        written = update_txc_file(path, 2, child.file_offset, child.image_len);
    else
        written = update_c331_osd_font_file(path, child.file_offset, child.file_len,
                                            UpgradePackage::fontBase(child.en_coding, child.height));
    *flag = written ? 1 : 0;
}

void fpga_manage::usb_upgrade_end_of_run()
{
    if (!downing_mcu) {
        if (downing_txc1)
            reset_fpga_rst(0);
        UpgradeServices& services = UpgradeServices::instance();
        if (downing_osd && services.scalerReadFonts && services.scalerUpdateFonts) {
            services.scalerReadFonts();
            services.scalerUpdateFonts();
        }
        return;
    }
    if (g_app_reset_flag)
        return;
    // The images and fonts of this run take effect with the restart.
    const bool moved = ProgramInstall::run(g_update_status == 0, 10);
    Sleeper::sleepMs(10);
    syncAndWait(10);
    Sleeper::sleepMs(10);
    syncAndWait(1000);
    if (!moved)
        return;
    G_reboot_tickTicks = G_timeTicks.load();
    g_app_reset_flag = 1;
}

bool fpga_manage::update_muc_file(const QString& path, uint32_t offset, uint32_t length)
{
    // A buffer of the run's own: nothing else writes into it meanwhile.
    std::vector<uint8_t> program(length);
    if (!readAt(path, offset, length, program.data())) {
        syncAndWait(100);
        return false;
    }
    bool same = false;
    if (kel::platform::AtomicFile::replace(ProgramInstall::kNewProgram, program.data(), program.size())) {
        syncAndWait(10);
        QMutexLocker lock(&Utils::_file_deal_mutex);
        QFile f(PathMap::host(QString::fromLatin1(ProgramInstall::kNewProgram)));
        same = f.open(QIODevice::ReadOnly) && f.size() == qint64(length) &&
               std::equal(program.begin(), program.end(), reinterpret_cast<const uint8_t*>(f.readAll().constData()));
    }
    if (!same) {
        // A partial or wrong copy must never be moved over the program.
        kelDebug("read app found comare 01!!!!!!\n");
        removeNewProgram();
    }
    return same;
}

bool fpga_manage::update_txc_file(const QString& path, uint8_t flash, uint32_t offset, uint32_t length)
{
    for (const UpgradePackage::EraseUnit& u : UpgradePackage::erasePlan(0, length)) {
        kelDebug("erase sec= %u , addr = %u\n", u.sector, u.sector * 4096u);
        const uint32_t done = drv->FPGA_SPI_FLASH_VBYONE_ERASE(flash, u.sector, u.kind, 1);
        Sleeper::sleepMs(1);
        if (done != 1)
            return false;
    }
    std::vector<uint8_t> buf(kHeadRoom + kImageChunk);
    for (uint32_t at = 0; at < length; at += kImageChunk) {
        const uint32_t n = std::min(kImageChunk, length - at);
        if (!readAt(path, uint64_t(offset) + UpgradePackage::kImageHeadSize + at, n, buf.data() + kHeadRoom)) {
            syncAndWait(100);
            return false;
        }
        Sleeper::sleepMs(1);
        if (drv->FPGA_SPI_FLASH_VBYONE_WRITE(flash, at, buf.data(), n) != 1)
            return false;
    }
    kelDebug("write over !!!!!\n");
    return true;
}

bool fpga_manage::update_c331_osd_font_file(const QString& path, uint32_t offset, uint32_t length, uint32_t base)
{
    UpgradeServices& services = UpgradeServices::instance();
    if (!services.scalerErase || !services.scalerWrite)
        return false;
    kelDebug("osd flash_addr = %#x file_len = %#x\n", base, length);
    for (const UpgradePackage::EraseUnit& u : UpgradePackage::erasePlan(base, length)) {
        const int rc = services.scalerErase(int(u.sector), 1, char(u.kind));
        Sleeper::sleepMs(1);
        if (rc != 0)
            return false;
    }
    std::vector<char> buf(kFontChunk);
    for (uint32_t at = 0; at < length; at += kFontChunk) {
        const uint32_t n = std::min(kFontChunk, length - at);
        if (!readAt(path, uint64_t(offset) + at, n, reinterpret_cast<uint8_t*>(buf.data()))) {
            syncAndWait(100);
            return false;
        }
        Sleeper::sleepMs(1);
        if (services.scalerWrite(int(base + at), int(n), buf.data()) != 0)
            return false;
    }
    return true;
}
