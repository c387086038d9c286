#pragma once
// Reader of the receiving-card recovery file (QJFX) and of the smart-mapping
// files (QJFR, *.qjfile). Each call opens the file, reads one record into a
// field of this object and closes it again; nothing is ever written.
#include <QString>
#include <QStringList>

#include <cstdint>
#include <mutex>

// Kinds of the sections listed in a recovery file's directory.
enum RcvFileType : uint8_t {
    RCV_FILE_SCREEN = 10,
    RCV_FILE_XY = 11,
    RCV_FILE_SMART_DEBUG = 12,
};

// Operation kinds and targets of a stored card operation.
enum RcvOperateType : uint8_t {
    RCV_OP_WRITE = 1,
    RCV_OP_RAM2FLASH = 2,
    RCV_OP_ACTIVE_FIRMWARE = 3,
    RCV_OP_UPGRADE = 4,
    RCV_OP_RECONFIG = 5,
    RCV_OP_SLEEP = 6,
    RCV_OP_SEARCH = 7,
    RCV_OP_USER_DEFINED = 16,
};
enum RcvOperateTarget : uint8_t { RCV_TARGET_RAM = 1, RCV_TARGET_REGISTER = 2, RCV_TARGET_FLASH = 3 };

// The records lie packed and little-endian in the files; the device and the
// host are little-endian, so the bytes are copied as they are.
#pragma pack(push, 1)
struct RcvPackEntry {
    uint8_t file_type;
    uint8_t reserved[3];
    uint32_t length;
    uint32_t offset;
};
struct RcvScreenHead {
    uint8_t reserved0[2];
    uint8_t type;
    uint8_t reserved1;
    uint32_t rcv_para_len;
    uint32_t rcv_para_crc32;
    uint32_t rcv_xy_len;
    uint32_t rcv_xy_crc32;
    uint8_t screen_num;
    uint8_t reserved2[11];
};
struct RcvScreenIDInfo {
    uint32_t config_id;
    uint32_t net_use;
    uint8_t reserved[28];
    uint32_t rcv_para_offset;
    uint32_t rcv_para_len;
    uint32_t rcv_xy_offset;
    uint32_t rcv_xy_len;
};
struct RcvNetPara {
    uint16_t net_ledx;
    uint16_t net_rcv_num;
    uint32_t net_para_offset;
    uint32_t net_para_len;
};
struct RcvOperateRecord {
    uint32_t offset;
    uint32_t dataLen;
    uint32_t targetAddr;
    uint32_t timeticks;
    uint8_t type;
    uint8_t target;
};
#pragma pack(pop)
static_assert(sizeof(RcvPackEntry) == 12 && sizeof(RcvScreenHead) == 32 && sizeof(RcvScreenIDInfo) == 52,
              "recovery file records are packed");
static_assert(sizeof(RcvNetPara) == 12 && sizeof(RcvOperateRecord) == 18, "recovery file records are packed");

class rcvRecovery {
public:
    static constexpr int kPackEntries = 6;   // directory entries kept

    rcvRecovery() = default;

    // ---- folders and their name lists (any thread) ----
    int check_file_dir(const QString& dir);
    int get_dir_file(const QString& dir);
    int recoveryFileCount() const;
    int smartFileCount() const;
    QStringList recoveryFiles() const;
    QStringList smartFiles() const;
    void clearRecoveryFiles();
    void clearSmartFiles();
    // True for a clean absolute path of a file directly in the device's or
    // the stick's scan folder: the only files a scan load may open.
    static bool isScanFilePath(const QString& logical);

    // ---- records (FPGA manager thread); 0 success, 1 failure ----
    int get_rcvPackedFileNum(const QString& path);
    int get_rcvPackedFileInfo(const QString& path, uint8_t i);
    int update_rcvScreenHead(const QString& path);
    int update_rcvScreenIDinfo(const QString& path, uint8_t screen_index);
    int update_rcvXYHead(const QString& path);
    int update_rcvXYscreenNetnum(const QString& path);
    int update_rcvXYscreenNetpara(const QString& path, uint8_t net_index);
    int update_rcvXYrcvOperateTimes(const QString& path, uint8_t rcv_id, bool smart);
    int update_rcvXYrcvOperatepara(const QString& path, uint8_t operate_id, bool smart);
    int update_rcvOperatedata(const QString& path, uint32_t offset, uint8_t* buf, uint16_t len);
    int update_smartDebugingHead(const QString& path);
    int update_smartDebugingOperateTimes(const QString& path, bool smart);
    int update_smartDebugingOperatepara(const QString& path, uint8_t operate_id, bool smart);
    // *len gives the room of buf and returns dataLen; refused when the data
    // would not fit.
    int update_rcvDealData(const QString& path, uint8_t* buf, uint32_t* len);
    void init_para();

    uint8_t pack_file_num() const { return pack_head[3]; }
    // Offset of the last directory entry of a kind, 0 when none; found tells
    // whether there was one.
    uint32_t section_base(uint8_t kind, bool* found = nullptr) const;

    uint8_t pack_head[4] = {};
    RcvPackEntry packed_file_info[kPackEntries] = {};
    QString file_path;
    uint32_t operate_data_offset = 0;
    RcvScreenHead screen_head = {};
    RcvScreenIDInfo screen_info = {};
    RcvNetPara net_para = {};
    RcvOperateRecord operate_deal_para = {};
    uint8_t smart_debug_head[16] = {};
    uint8_t xy_head[16] = {};
    uint16_t screen_net_num = 0;
    uint32_t fseek_offset = 0;
    uint16_t rcv_operate_times = 0;

    // Reads len bytes at offset into out under the file lock; 1 when the
    // file is missing, cannot be opened or holds fewer bytes (the unread
    // tail of out is left as it was).
    static int readAt(const QString& path, uint64_t offset, void* out, size_t len);

private:
    static void printOperation(const RcvOperateRecord& r);
    uint32_t xy_area() const;

    mutable std::mutex list_mutex_;   // the name lists are used from several threads
    QStringList recovery_files;
    QStringList smart_files;
};
