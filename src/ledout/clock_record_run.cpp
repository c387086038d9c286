#include "ledout/clock_record_run.h"

#include "ledout/fpga_manage.h"
#include "params/DebugPrint.h"
#include "params/Utils.h"
#include "params/global.h"
#include "platform/PathMap.h"

#include <QDebug>
#include <QDir>

#include <vector>

ClockRecordState g_clock_record;

namespace {

using C = clock_record_run;

constexpr uint8_t kFlashId = 2;
constexpr uint32_t kAreaStart = C::kHeaderSector * C::kSectorSize;
constexpr uint32_t kAreaEnd = (C::kSeqLastSector + 1) * C::kSectorSize;
constexpr uint32_t kSeqBase = C::kSeqFirstSector * C::kSectorSize;
constexpr uint32_t kSeqNumberMask = 0xFFFFF;
constexpr uint8_t kHeader[3] = {0xAA, 0x5A, 0xA5};
constexpr uint8_t kValid = 0xAA;

// Group record fields.
constexpr uint32_t kGroupStart = 1;
constexpr uint32_t kGroupTotal = 8;
constexpr uint32_t kGroupPowerOn = 33;
constexpr uint32_t kGroupMark = 44;
constexpr uint32_t kGroupMarks = 48;
constexpr uint32_t kMarkBytes = C::kMarksPerGroup / 4;
// Sequence record fields.
constexpr uint32_t kSeqTime = 1;
constexpr uint32_t kSeqMinutes = 8;
constexpr uint32_t kSeqMark = 12;

void putU32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

uint8_t toBcd(int v) { return uint8_t(((v / 10) % 10) << 4 | (v % 10)); }

// Total, 0xFF and the 24-bit sequence number: bytes 8..15 of a group.
void totalAndSeq(uint8_t* out8, uint32_t total, uint32_t seq)
{
    putU32(out8, total);
    out8[4] = 0xFF;
    out8[5] = uint8_t(seq);
    out8[6] = uint8_t(seq >> 8);
    out8[7] = uint8_t(seq >> 16);
}

} // namespace

clock_record_run::clock_record_run(fpga_manage& owner) : owner_(owner)
{
    g_clock_record = ClockRecordState{};
}

uint32_t clock_record_run::group_address(uint32_t sector, uint8_t g) { return sector * kSectorSize + g * kGroupSize; }

uint32_t clock_record_run::seq_address(uint32_t q)
{
    const uint32_t n = q & kSeqNumberMask;
    return kSeqBase + (n / 256) * kSectorSize + (n % 256) * 16;
}

// ---- flash ----

uint32_t clock_record_run::ExFlash_RD(uint8_t, uint32_t address, uint32_t length, uint8_t* out)
{
    if (address < kAreaStart || address >= kAreaEnd || length > kAreaEnd - address)
        return 0;
    return owner_.drv->FPGA_SPI_FLASH_VBYONE_READ(kFlashId, address + kPhysicalOffset, length, out);
}

uint32_t clock_record_run::ExFlash_WR(uint8_t, uint32_t address, const uint8_t* data, uint32_t length)
{
    const bool inside = length > 0 && address >= kAreaStart && address < kAreaEnd && length <= kAreaEnd - address &&
                        address / kSectorSize == (address + length - 1) / kSectorSize;
    if (!inside) {
        kelDebug("\n clock_record_run: write of %u bytes at 0x%X refused\n", length, address);
        return 0;
    }
    std::vector<uint8_t> buf(4 + length);
    std::copy(data, data + length, buf.begin() + 4);
    return owner_.drv->FPGA_SPI_FLASH_VBYONE_WRITE(kFlashId, address + kPhysicalOffset, buf.data(), length);
}

uint32_t clock_record_run::ExFlash_Erase_Format(uint8_t, uint32_t sector, uint8_t type, uint32_t count)
{
    if (type != 0 || count == 0 || sector < kHeaderSector || sector > kSeqLastSector ||
        count > kSeqLastSector + 1 - sector) {
        kelDebug("\n clock_record_run: erase of sector %u refused\n", sector);
        return 0;
    }
    return owner_.drv->FPGA_SPI_FLASH_VBYONE_ERASE(kFlashId, sector + kPhysicalOffset / kSectorSize, 0, count);
}

void clock_record_run::write_byte(uint32_t address, uint8_t value) { ExFlash_WR(0, address, &value, 1); }

// ---- start ----

void clock_record_run::read_time_bcd(uint8_t* out7)
{
    owner_.IT8563WE_Get(&owner_.time_now);
    const TimeRealType& t = owner_.time_now;
    const uint8_t v[7] = {toBcd(t.year % 100), toBcd(t.year / 100), toBcd(t.month), toBcd(t.day),
                          toBcd(t.hour),       toBcd(t.minute),     toBcd(t.second)};
    std::copy(v, v + 7, out7);
}

void clock_record_run::clock_record_init()
{
    ClockRecordState& r = g_clock_record;
    uint8_t head[3] = {};
    ExFlash_RD(0, kAreaStart, 3, head);
    if (!std::equal(head, head + 3, kHeader)) {
        ExFlash_Erase_Format(0, kHeaderSector, 0, 1);
        ExFlash_WR(0, kAreaStart, kHeader, 3);
    }
    r.rec_active = 1;
    const uint8_t g = check_record_sec();
    if (g > 0) {
        r.rec_group = g;
        get_last_record_info(uint8_t(g - 1));
    } else {
        for (uint32_t s : {kGroupSectorA, kGroupSectorB, kSeqFirstSector})
            ExFlash_Erase_Format(0, s, 0, 1);
        r.rec_group = 0;
        r.rec_total = 0;
        r.rec_seq = 0;
        r.rec_seq_sector = 0;
        r.rec_seq_addr = kSeqBase;
    }
    read_time_bcd(r.rec_time);
    r.rec_minutes_boot = r.rec_minutes_run = 0;
    r.rec_marks = 0;
    r.rec_tick_parity = 0;
    r.rec_first_phase = 1;
    r.rec_stamp = G_timeTicks;
}

// The number of valid groups. The first group whose copy B is not valid is
// repaired: when its copy A is valid (a cut while B was written) A is
// copied over B and the group counts, so the next group is written after
// it rather than programmed over it; when A was torn (written, never
// validated) B is copied back over A and the group is free.
uint8_t clock_record_run::check_record_sec()
{
    for (uint8_t g = 0; g < kGroups; ++g) {
        uint8_t b0 = 0xFF, a[2] = {0xFF, 0xFF};
        ExFlash_RD(0, group_address(kGroupSectorB, g), 1, &b0);
        if (b0 == kValid)
            continue;
        ExFlash_RD(0, group_address(kGroupSectorA, g), 2, a);
        if (a[0] == kValid) {
            copy_sec_data(kGroupSectorA, kGroupSectorB);
            return uint8_t(g + 1);
        }
        if (a[1] != 0xFF)
            copy_sec_data(kGroupSectorB, kGroupSectorA);
        return g;
    }
    return kGroups;
}

// Erase, then everything but the first page, then the first page but its
// byte 0 (the first group's valid mark), which goes last.
void clock_record_run::copy_sec_data(uint32_t from, uint32_t to)
{
    std::vector<uint8_t> data(kSectorSize, 0xFF);
    ExFlash_RD(0, from * kSectorSize, kSectorSize, data.data());
    ExFlash_Erase_Format(0, to, 0, 1);
    const uint32_t base = to * kSectorSize;
    for (uint32_t at = 256; at < kSectorSize; at += 256)
        ExFlash_WR(0, base + at, data.data() + at, 256);
    ExFlash_WR(0, base + 1, data.data() + 1, 255);
    write_byte(base, data[0]);
}

// Reads copy A of group g, or copy B when A is not valid: after the eighth
// group copy A is erased before copy B, and a cut in between leaves the
// finished groups only in B.
void clock_record_run::get_last_record_info(uint8_t g)
{
    std::vector<uint8_t> rec(kGroupSize, 0xFF);
    ExFlash_RD(0, group_address(kGroupSectorA, g), kGroupSize, rec.data());
    if (rec[0] != kValid)
        ExFlash_RD(0, group_address(kGroupSectorB, g), kGroupSize, rec.data());
    const uint32_t total = uint32_t(rec[8]) | uint32_t(rec[9]) << 8 | uint32_t(rec[10]) << 16 | uint32_t(rec[11]) << 24;
    uint32_t full = 0;
    while (full < kMarkBytes && rec[kGroupMarks + full] == 0x55)
        ++full;
    uint32_t minutes = kGroupMinutes;
    if (full < kMarkBytes) {
        const uint8_t next = rec[kGroupMarks + full];
        minutes = 8 * full + (next == 0xFD ? 2 : next == 0xF5 ? 4 : next == 0xD5 ? 6 : 0);
    }
    g_clock_record.rec_total = total + minutes;
    const uint32_t q = uint32_t(rec[13]) | uint32_t(rec[14]) << 8 | uint32_t(rec[15]) << 16;
    g_clock_record.rec_seq = get_new_seq(minutes, q);
}

// Closes record q with its minutes and returns the number after it,
// erasing the sector that number opens. A number read from a damaged
// group (record number past the ring) is not written to; the ring starts
// again at record 0 of the next wrap, as after its last record.
uint32_t clock_record_run::get_new_seq(uint32_t minutes, uint32_t q)
{
    const uint32_t n = q & kSeqNumberMask;
    const uint32_t wrap = q >> 20;
    uint32_t next;
    if (n < kSeqLast) {
        uint8_t m[4];
        putU32(m, minutes);
        ExFlash_WR(0, seq_address(q) + kSeqMinutes, m, 4);
        next = q + 1;
        if ((n + 1) % 256 == 0)
            ExFlash_Erase_Format(0, kSeqFirstSector + (n + 1) / 256, 0, 1);
    } else {
        if (n == kSeqLast) {
            uint8_t m[4];
            putU32(m, minutes);
            ExFlash_WR(0, seq_address(q) + kSeqMinutes, m, 4);
        } else {
            kelDebug("\n clock_record_run: sequence number 0x%06X out of range, ring restarted\n", q);
        }
        next = ((wrap + 1) & 0xF) << 20;
        ExFlash_Erase_Format(0, kSeqFirstSector, 0, 1);
    }
    g_clock_record.rec_seq_addr = seq_address(next);
    g_clock_record.rec_seq_sector = uint8_t((next & kSeqNumberMask) / 256);
    return next;
}

// After the eighth group the log starts again at group 0: copy A is
// erased unless it is blank already.
void clock_record_run::restart_copy_a()
{
    uint8_t first[2] = {0xFF, 0xFF};
    ExFlash_RD(0, kGroupSectorA * kSectorSize, 2, first);
    if (first[0] != 0xFF || first[1] != 0xFF)
        ExFlash_Erase_Format(0, kGroupSectorA, 0, 1);
}

void clock_record_run::new_record_group_init(uint8_t g)
{
    ClockRecordState& r = g_clock_record;
    const bool wrapped = g >= kGroups;
    if (wrapped) {
        g = 0;
        r.rec_group = 0;
        restart_copy_a();
    }
    uint8_t fields[8];
    totalAndSeq(fields, r.rec_total, r.rec_seq);
    const uint32_t a = group_address(kGroupSectorA, g), b = group_address(kGroupSectorB, g);
    ExFlash_WR(0, a + kGroupStart, r.rec_time, 7);
    ExFlash_WR(0, a + kGroupTotal, fields, 8);
    ExFlash_RD(0, a + kGroupMark, 1, &r.rec_mark);
    write_byte(a, kValid);
    if (wrapped)
        ExFlash_Erase_Format(0, kGroupSectorB, 0, 1);
    ExFlash_WR(0, b + kGroupStart, r.rec_time, 7);
    ExFlash_WR(0, b + kGroupTotal, fields, 8);
    write_byte(b + kGroupMark, r.rec_mark);
    write_byte(b, kValid);
    r.rec_group_a = a;
    r.rec_group_b = b;
}

// ---- the minute step ----

uint8_t clock_record_run::mark_value(uint32_t marks)
{
    static constexpr uint8_t kValues[4] = {0xFD, 0xF5, 0xD5, 0x55};
    return kValues[marks % 4];
}

// The current group's sequence record: start time, clock mark and number,
// then its valid mark (its minutes follow when the group is closed).
void clock_record_run::open_seq_record()
{
    const ClockRecordState& r = g_clock_record;
    const uint8_t seqFields[4] = {r.rec_mark, uint8_t(r.rec_seq), uint8_t(r.rec_seq >> 8), uint8_t(r.rec_seq >> 16)};
    ExFlash_WR(0, r.rec_seq_addr + kSeqTime, r.rec_time, 7);
    ExFlash_WR(0, r.rec_seq_addr + kSeqMark, seqFields, 4);
    write_byte(r.rec_seq_addr, kValid);
}

void clock_record_run::first_phase_end()
{
    ClockRecordState& r = g_clock_record;
    new_record_group_init(r.rec_group);
    static constexpr uint8_t kFirstMarks[4] = {0x55, 0x55, 0x55, 0xD5};
    for (uint32_t base : {r.rec_group_a, r.rec_group_b}) {
        ExFlash_WR(0, base + kGroupPowerOn, r.rec_time, 7);
        ExFlash_WR(0, base + kGroupMarks, kFirstMarks, 4);
    }
    write_byte(r.rec_group_a, kValid);
    write_byte(r.rec_group_b, kValid);
    open_seq_record();
    r.rec_first_phase = 0;
    r.rec_marks = 14;
    r.rec_mark_value = 0xD5;
}

// A full group (1440 marks, 2880 minutes) closes its sequence record and
// opens the next group with its own sequence record (otherwise only the
// first group after power-on would have a valid one). The roll-over comes
// at the 1440th mark, so the last mark stays inside the group's mark field.
void clock_record_run::roll_over()
{
    ClockRecordState& r = g_clock_record;
    r.rec_group = uint8_t(r.rec_group + 1);
    read_time_bcd(r.rec_time);
    r.rec_seq = get_new_seq(kGroupMinutes, r.rec_seq);
    r.rec_total += kGroupMinutes;
    new_record_group_init(r.rec_group);
    open_seq_record();
    r.rec_marks = 0;
}

void clock_record_run::clock_record_deal()
{
    ClockRecordState& r = g_clock_record;
    if (!r.rec_active || Utils::getTimeSpace(r.rec_stamp) < kMinuteTicks)
        return;
    ++r.rec_minutes_boot;
    ++r.rec_minutes_run;
    r.rec_tick_parity ^= 1;
    if (r.rec_tick_parity) {
        r.rec_stamp = G_timeTicks;
        return;
    }
    if (r.rec_first_phase) {
        if (r.rec_minutes_boot < kFirstPhaseMinutes) {
            r.rec_stamp = G_timeTicks;
            return;
        }
        first_phase_end();
    } else {
        r.rec_mark_value = mark_value(r.rec_marks);
    }
    r.rec_mark_offset = kGroupMarks + r.rec_marks / 4;
    write_byte(r.rec_group_a + r.rec_mark_offset, r.rec_mark_value);
    write_byte(r.rec_group_b + r.rec_mark_offset, r.rec_mark_value);
    ++r.rec_marks;
    if (r.rec_marks >= kMarksPerGroup)
        roll_over();
    r.rec_stamp = G_timeTicks;
}

void clock_record_run::dealwith_record_timing()
{
    ClockRecordState& r = g_clock_record;
    r.rec_mark = kClockMark;
    if (!r.rec_active)
        return;
    if (!r.rec_first_phase) {
        write_byte(r.rec_seq_addr + kSeqMark, kClockMark);
        write_byte(r.rec_group_a + kGroupMark, kClockMark);
        return;
    }
    uint8_t g = r.rec_group;
    if (g >= kGroups) {
        g = 0;
        restart_copy_a();
    }
    write_byte(group_address(kGroupSectorA, g) + kGroupMark, kClockMark);
}

// ---- folders and files ----

int clock_record_run::check_file_dir(const QString& dir)
{
    const QString host = kel::platform::PathMap::host(dir);
    if (QDir(host).exists()) {
        kelDebug("\n %s exists !/n", dir.toLatin1().constData());
        return 0;
    }
    return QDir().mkdir(host) ? 1 : 0;
}

int clock_record_run::get_file_list_path(const QString& dir)
{
    const QDir d(kel::platform::PathMap::host(dir));
    if (!d.exists())
        return -1;
    file_list = d.entryList(QDir::Files | QDir::NoSymLinks, QDir::Name);
    return file_list.size();
}

int clock_record_run::issetDefaultpara(const QString& path)
{
    if (Utils::isFileExists(path.toStdString(), true))
        return 1;
    qDebug() << "clock_record_run file issetDefaultpara unexists, now default !!";
    return 0;
}
