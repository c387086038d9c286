#pragma once
#include <QString>
#include <QStringList>

#include <cstdint>

class fpga_manage;
struct TimeRealType;

// Running state of the power-on-time log. Only the FPGA manager thread
// touches g_clock_record (the clock command's mark is made there too); the
// export reads the copy that thread publishes under fpga_manage::sched_mutex.
struct ClockRecordState {
    uint8_t rec_active = 0;
    uint8_t rec_first_phase = 0;
    uint8_t rec_group = 0;
    uint8_t rec_seq_sector = 0;
    uint8_t rec_mark = 0;
    uint8_t rec_time[7] = {};
    uint8_t rec_tick_parity = 0;
    uint8_t rec_mark_value = 0;
    uint32_t rec_marks = 0;
    uint32_t rec_seq = 0;
    uint32_t rec_group_a = 0;
    uint32_t rec_group_b = 0;
    uint32_t rec_seq_addr = 0;
    uint32_t rec_mark_offset = 0;
    uint32_t rec_stamp = 0;
    uint32_t rec_minutes_boot = 0;
    uint32_t rec_minutes_run = 0;
    uint32_t rec_total = 0;
};
extern ClockRecordState g_clock_record;

// The power-on-time log in flash 2: a header sector, two copies of eight
// group records (one group per 2880 minutes, a two-bit mark per two
// minutes) and a ring of 16-byte sequence records. Flash bits are only
// cleared between erases and each record is valid once its 0xAA byte,
// written last, is present, so a power cut at any byte leaves a log the
// next start accepts. Addresses here are logical: flash address = logical
// + kPhysicalOffset. The caller holds fpga_manage::sched_mutex.
class clock_record_run {
public:
    static constexpr uint32_t kPhysicalOffset = 0x273000;
    static constexpr uint32_t kSectorSize = 4096;
    static constexpr uint32_t kHeaderSector = 1152;
    static constexpr uint32_t kGroupSectorA = 1153;
    static constexpr uint32_t kGroupSectorB = 1154;
    static constexpr uint32_t kSeqFirstSector = 1155;
    static constexpr uint32_t kSeqLastSector = 1216;
    static constexpr uint32_t kSeqLast = 15616;       // highest record number n
    static constexpr uint32_t kGroupSize = 512;
    static constexpr uint32_t kGroups = 8;
    static constexpr uint32_t kMarksPerGroup = 1440;
    static constexpr uint32_t kGroupMinutes = 2880;
    static constexpr uint32_t kFirstPhaseMinutes = 30;
    static constexpr uint32_t kMinuteTicks = 6001;
    static constexpr uint8_t kClockMark = 0x5A;

    explicit clock_record_run(fpga_manage& owner);

    uint8_t record_ready = 0;

    // Flash 2 through logical addresses and sectors. The first argument is
    // ignored. Every write and erase must stay inside the log's area (and a
    // write inside one sector); anything else is refused with 0.
    uint32_t ExFlash_RD(uint8_t id, uint32_t address, uint32_t length, uint8_t* out);
    uint32_t ExFlash_WR(uint8_t id, uint32_t address, const uint8_t* data, uint32_t length);
    uint32_t ExFlash_Erase_Format(uint8_t id, uint32_t sector, uint8_t type, uint32_t count);

    void clock_record_init();
    void clock_record_deal();
    void dealwith_record_timing();

    void new_record_group_init(uint8_t g);
    uint32_t get_new_seq(uint32_t minutes, uint32_t q);
    void get_last_record_info(uint8_t g);
    uint8_t check_record_sec();
    void copy_sec_data(uint32_t from, uint32_t to);

    // Folder and file helpers, on logical paths inside the run's root.
    // check_file_dir: 0 when the folder exists, else 1 once created (its
    // parent must exist), 0 when it could not be. get_file_list_path: the
    // plain files (no links) directly in the folder into file_list, their
    // number; -1 without the folder. issetDefaultpara: 1 when the file
    // exists, 0 when it does not and the defaults stand.
    int check_file_dir(const QString& dir);
    int get_file_list_path(const QString& dir);
    int issetDefaultpara(const QString& path);
    QStringList file_list;

    static uint32_t seq_address(uint32_t q);
    static uint32_t group_address(uint32_t sector, uint8_t g);

private:
    void read_time_bcd(uint8_t* out7);
    void write_byte(uint32_t address, uint8_t value);
    void restart_copy_a();
    void open_seq_record();
    void first_phase_end();
    void roll_over();
    static uint8_t mark_value(uint32_t marks);

    fpga_manage& owner_;
};
