#include "ledout/rcvRecovery.h"

#include "params/DebugPrint.h"
#include "params/StoreFolders.h"
#include "params/Utils.h"
#include "platform/PathMap.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QMutexLocker>

#include <climits>
#include <cstdio>
#include <cstring>

using kel::platform::PathMap;

namespace {

const QString kRecoveryDir = QString::fromLatin1(StoreFolders::kRecoveryDir);
const QString kSmartDir = QString::fromLatin1(StoreFolders::kSmartMappingDir);
// The stick's folder is named with its slash, as the callers pass it.
const QString kUsbDir = QString::fromLatin1(StoreFolders::kUsbStickDir) + QLatin1Char('/');

// One open-seek-read-close sequence under the file lock that the upload
// holds while it writes the same files. Files are opened read-only: nothing
// is written through this handle, and a read-only stick must still be read.
class LockedFile {
public:
    explicit LockedFile(const QString& logical) : lock_(&Utils::_file_deal_mutex)
    {
        const std::string host = PathMap::host(logical.toLatin1().toStdString());
        if (PathMap::insideRoot(host))
            f_ = std::fopen(host.c_str(), "rb");
    }
    ~LockedFile()
    {
        if (f_)
            std::fclose(f_);
    }
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;

    bool isOpen() const { return f_ != nullptr; }
    // Reads straight into out, so a short read keeps the rest of out.
    bool readAt(uint64_t offset, void* out, size_t len)
    {
        if (!f_ || offset > uint64_t(LONG_MAX) || std::fseek(f_, long(offset), SEEK_SET) != 0)
            return false;
        return std::fread(out, 1, len, f_) == len;
    }

private:
    QMutexLocker lock_;
    FILE* f_ = nullptr;
};

// Utils takes the logical path and maps it itself.
bool isFile(const QString& logical) { return Utils::isFileExists(logical.toLatin1().toStdString(), true) != 0; }

bool fileExists(const QString& logical)
{
    if (!isFile(logical))
        return false;
    qDebug() << "file exists";
    return true;
}

const char* typeName(uint8_t type)
{
    switch (type) {
    case RCV_OP_WRITE: return "\t write          ";
    case RCV_OP_RAM2FLASH: return "\t ram2flash      ";
    case RCV_OP_ACTIVE_FIRMWARE: return "\t active_firmware";
    case RCV_OP_UPGRADE: return "\t upgrade rcv    ";
    case RCV_OP_RECONFIG: return "\t reconfig       ";
    case RCV_OP_SLEEP: return "\t sleep       ";
    case RCV_OP_SEARCH: return "\t search rxc       ";
    case RCV_OP_USER_DEFINED: return "\t user redefined ";
    default: return "\t operate_error  ";
    }
}

const char* targetName(uint8_t target)
{
    switch (target) {
    case RCV_TARGET_RAM: return "\t ram           ";
    case RCV_TARGET_REGISTER: return "\t register      ";
    case RCV_TARGET_FLASH: return "\t flash         ";
    default: return "\t target_error  ";
    }
}

} // namespace

// ---- folders ----

int rcvRecovery::check_file_dir(const QString& dir)
{
    const QString host = PathMap::host(dir);
    if (QDir(host).exists()) {
        kelDebug("\n %s exists !/n", dir.toLatin1().constData());
        return 0;
    }
    return QDir().mkdir(host) ? 1 : 0;
}

int rcvRecovery::get_dir_file(const QString& dir)
{
    const QDir d(PathMap::host(dir));
    if (!d.exists())
        return 1;
    kelDebug("\n %s exists !/n", dir.toLatin1().constData());
    QStringList* target = nullptr;
    if (dir == kRecoveryDir)
        target = &recovery_files;
    else if (dir == kSmartDir || dir == kUsbDir)
        target = &smart_files;
    if (!target)
        return 0;
    const QStringList names = d.entryList(QDir::Files, QDir::Unsorted);
    std::lock_guard<std::mutex> l(list_mutex_);
    *target = names;
    return 0;
}

int rcvRecovery::recoveryFileCount() const
{
    std::lock_guard<std::mutex> l(list_mutex_);
    return recovery_files.size();
}

int rcvRecovery::smartFileCount() const
{
    std::lock_guard<std::mutex> l(list_mutex_);
    return smart_files.size();
}

QStringList rcvRecovery::recoveryFiles() const
{
    std::lock_guard<std::mutex> l(list_mutex_);
    return recovery_files;
}

QStringList rcvRecovery::smartFiles() const
{
    std::lock_guard<std::mutex> l(list_mutex_);
    return smart_files;
}

void rcvRecovery::clearRecoveryFiles()
{
    std::lock_guard<std::mutex> l(list_mutex_);
    recovery_files.clear();
}

void rcvRecovery::clearSmartFiles()
{
    std::lock_guard<std::mutex> l(list_mutex_);
    smart_files.clear();
}

bool rcvRecovery::isScanFilePath(const QString& logical)
{
    // Only a clean path counts: no ".", ".." or doubled "/" to walk out of
    // the folders, and no NUL that would cut the name when it is opened.
    if (logical.isEmpty() || logical.contains(QChar(0)) || QDir::cleanPath(logical) != logical)
        return false;
    const QString folder = QFileInfo(logical).path();
    return folder == kSmartDir || folder == QLatin1String(StoreFolders::kUsbStickDir);
}

// ---- directory ----

uint32_t rcvRecovery::section_base(uint8_t kind, bool* found) const
{
    uint32_t base = 0;
    bool any = false;
    const int n = pack_file_num() < kPackEntries ? pack_file_num() : kPackEntries;
    for (int i = 0; i < n; ++i) {
        if (packed_file_info[i].file_type == kind) {
            base = packed_file_info[i].offset;
            any = true;
        }
    }
    if (found)
        *found = any;
    return base;
}

int rcvRecovery::readAt(const QString& path, uint64_t offset, void* out, size_t len)
{
    if (!fileExists(path))
        return 1;
    LockedFile file(path);
    if (!file.isOpen())
        return 1;
    return file.readAt(offset, out, len) ? 0 : 1;
}

int rcvRecovery::get_rcvPackedFileNum(const QString& path)
{
    if (readAt(path, 0, pack_head, sizeof pack_head))
        return 1;
    kelDebug("\n pack file num = %d  \n", pack_file_num());
    return 0;
}

int rcvRecovery::get_rcvPackedFileInfo(const QString& path, uint8_t i)
{
    // Only the first entries are kept; a longer directory is read no further.
    if (i >= kPackEntries)
        return 1;
    RcvPackEntry& e = packed_file_info[i];
    if (readAt(path, 4 + 12u * i, &e, sizeof e))
        return 1;
    kelDebug("\n packed file%d info(file_type = %#x) \n", i, e.file_type);
    kelDebug("\n packed file%d info(length = %#x) \n", i, unsigned(e.length));
    kelDebug("\n packed file%d info(offset = %#x) \n", i, unsigned(e.offset));
    return 0;
}

// ---- screen section ----

int rcvRecovery::update_rcvScreenHead(const QString& path)
{
    if (!isFile(path)) {
        qDebug() << "file error" << path;
        return 1;
    }
    if (readAt(path, section_base(RCV_FILE_SCREEN), &screen_head, sizeof screen_head))
        return 1;
    const RcvScreenHead& h = screen_head;
    kelDebug("\n screen_num (screen_num = %#x) \n", h.screen_num);
    kelDebug("\n type (type = %#x) \n", h.type);
    kelDebug("\n rcv_para_len (rcv_para_len = %#x) \n", unsigned(h.rcv_para_len));
    kelDebug("\n rcv_para_crc32 (rcv_para_crc32 = %#x) \n", unsigned(h.rcv_para_crc32));
    kelDebug("\n rcv_xy_len (rcv_xy_len = %#x) \n", unsigned(h.rcv_xy_len));
    kelDebug("\n rcv_xy_crc32 (rcv_xy_crc32 = %#x) \n", unsigned(h.rcv_xy_crc32));
    return 0;
}

int rcvRecovery::update_rcvScreenIDinfo(const QString& path, uint8_t screen_index)
{
    if (screen_head.screen_num == 0 || screen_index >= screen_head.screen_num)
        return 1;
    const uint64_t at = uint64_t(section_base(RCV_FILE_SCREEN)) + 32 + 52u * screen_index;
    if (readAt(path, at, &screen_info, sizeof screen_info))
        return 1;
    const RcvScreenIDInfo& s = screen_info;
    kelDebug("\nscreen%d --config id = %#x \n", screen_index, unsigned(s.config_id));
    kelDebug("\nscreen%d --net use = %#x \n", screen_index, unsigned(s.net_use));
    kelDebug("\nscreen%d --rcv_para_offset = %#x \n", screen_index, unsigned(s.rcv_para_offset));
    kelDebug("\nscreen%d --rcv_para_len = %#x \n", screen_index, unsigned(s.rcv_para_len));
    kelDebug("\nscreen%d --rcv_xy_offset = %#x \n", screen_index, unsigned(s.rcv_xy_offset));
    kelDebug("\nscreen%d --rcv_xy_len = %#x \n", screen_index, unsigned(s.rcv_xy_len));
    return 0;
}

void rcvRecovery::init_para()
{
    screen_info.rcv_para_offset = 0;
    screen_info.rcv_para_len = 0;
    screen_info.rcv_xy_offset = 0;
    screen_info.rcv_xy_len = 0;
}

// ---- XY section ----

int rcvRecovery::update_rcvXYHead(const QString& path)
{
    return readAt(path, section_base(RCV_FILE_XY), xy_head, sizeof xy_head);
}

int rcvRecovery::update_rcvXYscreenNetnum(const QString& path)
{
    const uint64_t at = uint64_t(section_base(RCV_FILE_XY)) + screen_info.rcv_xy_offset;
    if (readAt(path, at, &screen_net_num, sizeof screen_net_num))
        return 1;
    kelDebug("\n screen_net_num = %d \n", screen_net_num);
    return 0;
}

int rcvRecovery::update_rcvXYscreenNetpara(const QString& path, uint8_t net_index)
{
    const uint64_t at = uint64_t(section_base(RCV_FILE_XY)) + screen_info.rcv_xy_offset + 4 + 12u * net_index;
    if (readAt(path, at, &net_para, sizeof net_para))
        return 1;
    kelDebug("\n net_index%d --net_ledx = %#x \n", net_index, net_para.net_ledx);
    kelDebug("\n net_index%d --net_para_len = %#x \n", net_index, unsigned(net_para.net_para_len));
    kelDebug("\n net_index%d --net_para_offset = %#x \n", net_index, unsigned(net_para.net_para_offset));
    kelDebug("\n net_index%d --net_rcv_num = %#x \n", net_index, net_para.net_rcv_num);
    return 0;
}

// Start of the current port's card blocks; the operation offsets count
// from here too.
uint32_t rcvRecovery::xy_area() const
{
    return screen_info.rcv_xy_offset + net_para.net_para_offset;
}

int rcvRecovery::update_rcvXYrcvOperateTimes(const QString& path, uint8_t rcv_id, bool smart)
{
    if (!fileExists(path))
        return 1;
    qDebug() << "rcv_id = " << rcv_id;
    // The caller keeps the card inside the port's stored cards; a card
    // beyond them has no block to find.
    if (rcv_id >= net_para.net_rcv_num)
        return 1;
    const uint64_t area = (smart ? 0 : uint64_t(section_base(RCV_FILE_XY))) + xy_area();
    LockedFile file(path);
    if (!file.isOpen())
        return 1;
    fseek_offset = 0;
    for (uint16_t c = 0; c < rcv_id; ++c) {
        uint16_t times = 0;
        if (!file.readAt(area + fseek_offset, &times, sizeof times))
            return 1;
        fseek_offset += 4 + 18u * times;
    }
    if (!file.readAt(area + fseek_offset, &rcv_operate_times, sizeof rcv_operate_times))
        return 1;
    kelDebug("\t fseek_offset      = %#x \n", unsigned(fseek_offset));
    kelDebug("\t rcv_operate_times = %#x \n", rcv_operate_times);
    return 0;
}

int rcvRecovery::update_rcvXYrcvOperatepara(const QString& path, uint8_t operate_id, bool smart)
{
    if (!isFile(path))
        return 1;
    qDebug() << "operate_id = " << operate_id;
    const uint64_t at =
        (smart ? 0 : uint64_t(section_base(RCV_FILE_XY))) + xy_area() + fseek_offset + 4 + 18u * operate_id;
    if (readAt(path, at, &operate_deal_para, sizeof operate_deal_para))
        return 1;
    kelDebug("\t operate_deal_para(xy) ....");
    kelDebug("\t fseek_offset = %#x , %#x \n ", unsigned(at), unsigned(fseek_offset));
    printOperation(operate_deal_para);
    return 0;
}

int rcvRecovery::update_rcvOperatedata(const QString& path, uint32_t offset, uint8_t* buf, uint16_t len)
{
    if (!isFile(path))
        return 1;
    LockedFile file(path);
    return file.readAt(offset, buf, len) ? 0 : 1;
}

int rcvRecovery::update_rcvDealData(const QString& path, uint8_t* buf, uint32_t* len)
{
    if (!buf || !len || operate_deal_para.dataLen > *len)
        return 1;
    *len = operate_deal_para.dataLen;
    return readAt(path, operate_deal_para.offset, buf, *len);
}

// ---- smart-debugging block and smart-mapping files ----

int rcvRecovery::update_smartDebugingHead(const QString& path)
{
    return readAt(path, 0, smart_debug_head, sizeof smart_debug_head);
}

int rcvRecovery::update_smartDebugingOperateTimes(const QString& path, bool smart)
{
    if (!fileExists(path))
        return 1;
    const uint64_t at = smart ? 16 : uint64_t(section_base(RCV_FILE_SMART_DEBUG)) + screen_info.rcv_para_offset;
    LockedFile file(path);
    if (!file.isOpen()) {
        kelDebug("\n can not open the file ");
        return 1;
    }
    if (!file.readAt(at, &rcv_operate_times, sizeof rcv_operate_times))
        return 1;
    kelDebug("\t fseek_offset  = %#x \n", unsigned(at));
    kelDebug("\n rcv_operate_times = %d \n", rcv_operate_times);
    return 0;
}

int rcvRecovery::update_smartDebugingOperatepara(const QString& path, uint8_t operate_id, bool smart)
{
    if (!fileExists(path))
        return 1;
    qDebug() << "smart_rcv:" << (smart ? "true" : "false") << "operate_id:" << operate_id;
    const uint64_t block = smart ? 16 : uint64_t(section_base(RCV_FILE_SMART_DEBUG)) + screen_info.rcv_para_offset;
    const uint64_t at = block + 4 + 18u * operate_id;
    LockedFile file(path);
    if (!file.readAt(at, &operate_deal_para, sizeof operate_deal_para))
        return 1;
    kelDebug("\t operate_deal_para(smart_debug) ....");
    kelDebug("\t fseek_offset  = %#x \n", unsigned(at));
    printOperation(operate_deal_para);
    return 0;
}

void rcvRecovery::printOperation(const RcvOperateRecord& r)
{
    kelDebug("\t offset        = %#x \n", unsigned(r.offset));
    kelDebug("\t dataLen       = %#x \n", unsigned(r.dataLen));
    kelDebug("\t targetAddr    = %#x \n", unsigned(r.targetAddr));
    kelDebug("\t timeticks     = %#x \n", unsigned(r.timeticks));
    kelDebug("\t type          = %#x \n", r.type);
    kelDebug("%s", typeName(r.type));
    kelDebug("\t target        = %#x \n", r.target);
    kelDebug("%s", targetName(r.target));
}
