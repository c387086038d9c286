// LED brightness (hand level, half-hour schedule, light sensor), timed
// screen on/off and the clock reading. The scheduler and on/off state is
// reached from the FPGA manager thread and, through the command RAM, from
// link threads: it is guarded by sched_mutex, and changes are announced and
// the screen switched only once the lock is released (both re-enter the
// parameter store).
#include "ledout/fpga_manage.h"

#include "params/DebugPrint.h"
#include "params/KelRamPara.h"
#include "params/Utils.h"
#include "params/global.h"
#include "platform/Board.h"
#include "platform/Clock.h"
#include "platform/Sleeper.h"

#include <QMutexLocker>
#include <QStringList>

#include <algorithm>
#include <functional>
#include <vector>

namespace {

constexpr uint8_t kFpga0 = 0;
constexpr uint32_t kBrightRecordAddr = fpga_manage::kBrightSector * fpga_drv::kSectorSize;
constexpr uint32_t kOnOffRecordAddr = fpga_manage::kOnOffSector * fpga_drv::kSectorSize;
constexpr uint32_t kBrightRecordSize = fpga_manage::kBrightRecordBytes;
constexpr uint32_t kOnOffRecordSize = 50;
constexpr uint8_t kRecordMark = 0xAA;
constexpr uint8_t kModeHand17 = 0, kModeTimed17 = 1, kModeAuto = 2, kModeAutoToo = 3;
constexpr uint8_t kModeHand = 16, kModeTimed = 17;
constexpr uint8_t kMinLevel = 15;
constexpr uint8_t kHandResends = 5;
constexpr uint8_t kTimedApplies = 4;
constexpr uint32_t kAutoPeriod = 200;
constexpr uint32_t kSchedPeriod = 1000;
constexpr uint32_t kTimeRefresh = 100;
constexpr uint8_t kMaxOnOffPairs = 4;
constexpr uint8_t kSlots = 48;

constexpr uint32_t kVmfFrameSize = 19;
constexpr uint8_t kVmfReadCmd = 0x61;
constexpr uint8_t kVmfDataSize = 128;
constexpr size_t kVmfDataAt = 11;
constexpr uint32_t kVmfWaitTicks = 35;
constexpr uint32_t kVmfRegFrameSize = 15;
constexpr uint8_t kVmfRegCmd = 0xA0;
constexpr uint32_t kVmfMaxPolls = 350;
constexpr uint64_t kVmfPollUs = 1000;

uint8_t bcd(uint8_t v) { return uint8_t((v >> 4) * 10 + (v & 0x0F)); }

bool fullRange(uint8_t mode) { return mode == kModeHand || mode == kModeTimed; }

// Percent (0..100; more is taken as 100) to a register level.
uint8_t percentToLevel(uint16_t percent, uint8_t mode)
{
    const uint32_t level = std::min<uint32_t>(percent, 100) * 255 / 100;
    return uint8_t(fullRange(mode) ? level : std::max<uint32_t>(level, kMinLevel));
}

// One of the 17 hand steps to a register level: step k gives 16k - 1, so
// 16 is full; 0 gives 255 as the hardware has always shown it, and a step
// above 16 stays full instead of wrapping to a dim level.
uint8_t stepToLevel(uint8_t step) { return step >= 16 ? 255 : uint8_t(16 * step - 1); }

} // namespace

// ---- clock ----

uint32_t fpga_manage::IT8563WE_Get(TimeRealType* t)
{
    QString text;
    {
        QMutexLocker l(&Utils::_system_mutex);
        text = kel::platform::Board::clock().now().toString(QStringLiteral("yyyy/MM/dd/hh/mm/ss/ddd"));
    }
    const QStringList f = text.split(QLatin1Char('/'));
    if (f.size() < 6)
        return 0;
    t->year = f[0].toUShort();
    t->month = uint8_t(f[1].toUInt());
    t->day = uint8_t(f[2].toUInt());
    t->hour = uint8_t(f[3].toUInt());
    t->minute = uint8_t(f[4].toUInt());
    t->second = uint8_t(f[5].toUInt());
    return 0;
}

void fpga_manage::refresh_time_now()
{
    if (time_stamp != 0 && Utils::getTimeSpace(time_stamp) < kTimeRefresh)
        return;
    IT8563WE_Get(&time_now);
    time_stamp = G_timeTicks ? G_timeTicks.load() : 1;
}

// The scheduler hook of the periodic card check. Its state is shared with
// the links (sched_mutex); what waits runs with the lock released: the clock
// read (it queues behind shell commands), the sensor read (a busy
// transmitter, then the card's answer), the flash record and the switches.
void fpga_manage::Extension_function()
{
    std::vector<SCREEN_status> switches;
    bool changed = false;
    refresh_time_now();
    std::unique_lock<std::mutex> l(sched_mutex);
    if (g_change.bright_record_changed) {
        g_change.bright_record_changed = 0;
        l.unlock();
        uint8_t record[kBrightRecordSize];
        const BrightRecordRead got = read_bright_record(record);
        l.lock();
        apply_bright_record(got, record);
    }
    if (g_change.bright_sched_on && Brightness_task()) {
        l.unlock();
        Brightness_read_VMF_value();
        l.lock();
        Brightness_auto_finish();
    }
    if (reg_image(FPGA_REG_ONOFF) == 1)
        dealwith_onoff();
    switches.swap(onoff_switches);
    changed = announce_pending;
    announce_pending = 0;
    l.unlock();
    store_pending_bright_record();
    for (SCREEN_status s : switches)
        SCREEN_fpgactrl_status(s);
    if (changed)
        announce(SYNC_PARA);
}

// ---- brightness ----

uint8_t fpga_manage::bright_link_mask() { return uint8_t(reg_image(FPGA_REG_LINK) | reg_image(FPGA_REG_LINK_HIGH)); }

void fpga_manage::Brightness_hand_dealwith(uint8_t)
{
    bool changed;
    {
        std::lock_guard<std::mutex> l(sched_mutex);
        changed = bright_apply();
    }
    store_pending_bright_record();
    if (changed)
        announce(SYNC_PARA);
}

// Computes and writes the level; true when the picture brightness in the
// parameter block was changed to match it (to be announced unlocked).
bool fpga_manage::bright_apply()
{
    const bool request = fpga_bri_req || bri_req_taken;
    bool changed = false;
    if (bright_link_mask()) {
        ram_para_image[0][256] = 1;
        const uint16_t percent = block_u16(RamLayout::kQualityBright);
        uint8_t level;
        if (request) {
            level = percentToLevel(percent, bright_mode);
            merge_image(FPGA_REG_BRIGHTNESS, 0xFF, level, kFpga0);
            merge_image(FPGA_REG_BRIGHT, 0xFF, level, kFpga0);
        } else {
            level = reg_image(FPGA_REG_BRIGHT);
            if (bright_mode != kModeAuto && !fullRange(bright_mode))
                level = stepToLevel(level);
            merge_image(FPGA_REG_BRIGHTNESS, 0xFF, level, kFpga0);
            // The percentage is written back only when it does not already
            // give this level: a floor each way would otherwise lower it by
            // one on every application.
            const uint16_t back = uint16_t(level * 100 / 255);
            if (level != percentToLevel(percent, bright_mode) && back != percent) {
                set_block_u16(RamLayout::kQualityBright, back);
                changed = true;
            }
        }
        write_to_register(FPGA_REG_BRIGHTNESS, 0xFF, level, kFpga0);
        set_bit(FPGA_REG_OUTPUT, 2, true, kFpga0);
    } else if (request) {
        // No link: nothing reaches the FPGA, but the operator's new level
        // (not the one shown before) is what gets stored.
        merge_image(FPGA_REG_BRIGHT, 0xFF, percentToLevel(block_u16(RamLayout::kQualityBright), bright_mode), kFpga0);
    }
    if (request)
        bright_store_pending = reg_image(FPGA_REG_BRIGHT);
    return changed;
}

void fpga_manage::store_pending_bright_record()
{
    int16_t level;
    {
        std::lock_guard<std::mutex> l(sched_mutex);
        level = bright_store_pending;
        bright_store_pending = -1;
    }
    if (level >= 0)
        store_bright_record(uint8_t(level));
}

// The operator's level becomes the stored hand level (mode 16), and the
// scheduler reloads it, so a running hand schedule does not undo it. The
// erase and program run without sched_mutex.
void fpga_manage::store_bright_record(uint8_t level)
{
    std::vector<uint8_t> buf(4 + kBrightRecordSize, level);
    const uint8_t head[9] = {kRecordMark, 3, kRecordMark, 0, 0, 0, kBrightRecordSize - 8, 0, kModeHand};
    std::copy(head, head + 9, buf.begin() + 4);
    if (drv->FPGA_SPI_FLASH_VBYONE_ERASE(2, kBrightSector, 0, 1))
        drv->FPGA_SPI_FLASH_VBYONE_WRITE(2, kBrightRecordAddr, buf.data(), kBrightRecordSize);
    bright_record_stored(true);
}

void fpga_manage::bright_record_stored(bool)
{
    std::lock_guard<std::mutex> l(sched_mutex);
    g_change.bright_record_changed = 1;
}

void fpga_manage::Brightness_init(const uint8_t* record)
{
    bright_mode = record[8];
    bright_last_slot = 255;
    g_change.bright_sched_on = 0;
    g_change.bright_force = 0;
    switch (bright_mode) {
    case kModeHand17:
    case kModeHand:
        g_change.bright_level = record[9];
        merge_image(FPGA_REG_BRIGHT, 0xFF, record[9], kFpga0);
        g_change.bright_apply_count = 0;
        g_change.bright_sched_on = 1;
        break;
    case kModeTimed17:
    case kModeTimed:
        std::copy(record + 9, record + 9 + kSlots, HalfHourValue);
        g_change.bright_sched_on = 1;
        break;
    case kModeAuto:
        g_change.bright_sched_on = 1;
        break;
    default:
        break;
    }
}

void fpga_manage::record_bright_change()
{
    uint8_t record[kBrightRecordSize];
    const BrightRecordRead got = read_bright_record(record);
    std::lock_guard<std::mutex> l(sched_mutex);
    apply_bright_record(got, record);
}

// The flash read, without sched_mutex: it may wait for an erase or program
// of the flash in progress.
fpga_manage::BrightRecordRead fpga_manage::read_bright_record(uint8_t* record)
{
    if (reg_image(FPGA_REG_STATE) != kStateRunning)
        return BrightRecordRead::NotRunning;
    uint8_t mark = 0xFF;
    drv->FPGA_SPI_FLASH_VBYONE_READ(2, kBrightRecordAddr, 1, &mark);
    if (mark != kRecordMark)
        return BrightRecordRead::None;
    if (!drv->FPGA_SPI_FLASH_VBYONE_READ(2, kBrightRecordAddr, kBrightRecordSize, record))
        return BrightRecordRead::Failed;
    return BrightRecordRead::Read;
}

// The caller holds sched_mutex.
void fpga_manage::apply_bright_record(BrightRecordRead got, const uint8_t* record)
{
    if (got == BrightRecordRead::None) {
        g_change.bright_sched_on = 0;
        g_change.bright_level = 16;
    } else if (got == BrightRecordRead::Read) {
        std::copy(record, record + kBrightRecordSize, MCU_RAM_CMD);
        Brightness_init(record);
    }
}

bool fpga_manage::Brightness_task()
{
    if (!g_change.bright_sched_on)
        return false;
    const bool autoMode = bright_mode == kModeAuto;
    if (Utils::getTimeSpace(g_change.bright_task_stamp) < (autoMode ? kAutoPeriod : kSchedPeriod))
        return false;
    switch (bright_mode) {
    case kModeAuto:
    case kModeAutoToo:
        Brightness_check_VMF();
        return true;
    case kModeTimed17:
    case kModeTimed: Brightness_time_change(); break;
    case kModeHand17:
    case kModeHand: Brightness_hand_change(); break;
    default: break;
    }
    g_change.bright_task_stamp = G_timeTicks;
    return false;
}

void fpga_manage::Brightness_hand_change()
{
    if (g_change.bright_force) {
        g_change.bright_force = 0;
        g_change.bright_apply_count = 0;
    } else if (g_change.bright_apply_count >= kHandResends) {
        return;
    }
    announce_pending |= bright_apply();
    ++g_change.bright_apply_count;
}

// Minutes of the day to a half-hour slot; anything from 1440 on (a time
// read wrong) takes the last slot rather than a level beyond the table.
uint8_t fpga_manage::half_hour_slot(uint32_t minutes)
{
    return minutes >= 24 * 60 ? uint8_t(kSlots - 1) : uint8_t(minutes / 30);
}

void fpga_manage::Brightness_time_change()
{
    const uint8_t slot = half_hour_slot(uint32_t(time_now.hour) * 60 + time_now.minute);
    if (slot == bright_last_slot && !g_change.bright_force) {
        if (g_change.bright_apply_count >= kTimedApplies - 1)
            return;
        announce_pending |= bright_apply();
        ++g_change.bright_apply_count;
        return;
    }
    g_change.bright_level = HalfHourValue[slot];
    merge_image(FPGA_REG_BRIGHT, 0xFF, g_change.bright_level, kFpga0);
    announce_pending |= bright_apply();
    bright_last_slot = slot;
    g_change.bright_apply_count = 0;
    g_change.bright_force = 0;
    announce_pending |= bright_apply();
    g_change.bright_apply_count = 1;
}

// The automatic mode's step after the sensor read (check, read, filter,
// apply): the caller holds sched_mutex again.
void fpga_manage::Brightness_auto_finish()
{
    Brightness_auto_filter();
    announce_pending |= bright_apply();
    g_change.bright_task_stamp = G_timeTicks;
}

// The first output port with cards carries the sensor: its card byte in
// the parameter image is non-zero.
void fpga_manage::Brightness_check_VMF()
{
    g_change.vmf_card_addr = 0;
    g_change.vmf_group = 0;
    for (int p = 0; p < 16; ++p) {
        if (ram_para_image[0][port_status_addr(p)] != 0) {
            g_change.vmf_card_addr = uint16_t(0x4000 + 0x1000 * (p % 4));
            g_change.vmf_group = uint8_t(p / 4 + 1);
            return;
        }
    }
}

void fpga_manage::Brightness_auto_filter()
{
    if (g_change.vmf_data_valid) {
        if (vmf_data[49] == 0xFF) {
            const uint8_t target = vmf_data[53];
            uint8_t& level = g_change.bright_level;
            if (level < target)
                ++level;
            else if (level > target)
                --level;
            merge_image(FPGA_REG_BRIGHT, 0xFF, level, kFpga0);
        }
        g_change.vmf_data_valid = 0;
    }
    if (g_change.vmf_miss_count >= 10) {
        g_change.bright_level = 255;
        merge_image(FPGA_REG_BRIGHT, 0xFF, 255, kFpga0);
        g_change.vmf_miss_count = 0;
    }
}

// ---- light sensor ----

void fpga_manage::vmf_read_frame(uint16_t card_addr, uint8_t* frame)
{
    const uint8_t head[kVmfFrameSize - 1] = {uint8_t(card_addr), uint8_t(card_addr >> 8), 0x00, 0xF0, 0x10, 0xBB, 3, 0, 0,
                                             kVmfReadCmd, 0x00, 0x00, 0x00, 0x02, kVmfDataSize, 0x00, 0, 0};
    std::copy(head, head + sizeof head, frame);
    frame[kVmfFrameSize - 1] = Utils::BCC(frame, kVmfFrameSize - 1);
}

void fpga_manage::Send_read_VMF_data_cmd()
{
    uint8_t frame[kVmfFrameSize];
    vmf_read_frame(g_change.vmf_card_addr, frame);
    const uint8_t position = uint8_t((g_change.vmf_card_addr - 0x4000) / 0x1000);
    Send_to_port(frame, kVmfFrameSize, uint16_t(position + 4 * (g_change.vmf_group - 1)), kFpga0);
}

void fpga_manage::Brightness_read_VMF_value()
{
    if (g_change.vmf_card_addr == 0)
        return;
    Send_read_VMF_data_cmd();
    g_change.vmf_done = 0;
    g_change.vmf_data_valid = 0;
    g_change.vmf_expect_cmd = kVmfReadCmd;
    card_answer_ready = 0;
    wait_vmf_answer([this] { Brightness_VMF_run(); });
    if (!g_change.vmf_done)
        ++g_change.vmf_miss_count;
}

// ---- interrupt service without a scheduler run ----

void fpga_manage::Brightness_task_run()
{
    std::lock_guard<std::mutex> l(irq_mutex);
    reg_IRQ_Dealwith(0, 0);
}

// Runs `service` until vmf_done is set or kVmfWaitTicks pass; the wait is
// also bounded in polls so that it ends when the tick counter stands still,
// and ends at the program's stop.
void fpga_manage::wait_vmf_answer(const std::function<void()>& service)
{
    const uint32_t start = G_timeTicks;
    for (uint32_t poll = 0;; ++poll) {
        service();
        if (g_change.vmf_done || Utils::getTimeSpace(start) > kVmfWaitTicks || poll >= kVmfMaxPolls
            || kel::platform::Sleeper::stopping())
            return;
        kel::platform::Sleeper::sleepUs(kVmfPollUs);
    }
}

void fpga_manage::Brightness_VMF_run()
{
    std::lock_guard<std::mutex> l(irq_mutex);
    reg_IRQ_Dealwith(0, 0);
    reg_IRQ_Dealwith(1, 0);
    VMF_data_back_result();
}

// card_answer holds the answer from its command byte on. It is taken only
// whole: the expected command, status 0, all 128 data bytes and a right
// check byte. Anything else counts in register 85. The caller holds
// irq_mutex, under which the answer is stored.
void fpga_manage::VMF_data_back_result()
{
    if (!card_answer_ready)
        return;
    card_answer_ready = 0;
    const bool whole = card_answer_length >= kVmfDataAt + kVmfDataSize + 1 && card_answer_check_ok;
    if (whole && card_answer[0] == g_change.vmf_expect_cmd && card_answer[1] == 0) {
        std::copy(card_answer + 2, card_answer + 2 + kVmfDataSize, vmf_data);
        g_change.vmf_data_valid = 1;
        g_change.vmf_done = 1;
        return;
    }
    count_bad_answer();
}

// Image register 85 counts the card answers that could not be used.
void fpga_manage::count_bad_answer()
{
    merge_image(FPGA_REG_BAD_ANSWERS, 0xFF, uint8_t(reg_image(FPGA_REG_BAD_ANSWERS) + 1), kFpga0);
}

// Register 2 (ports 1..4) or 3 (ports 5..8) of the sensor card: two bits
// per port, 1 on and 3 off.
void fpga_manage::Send_write_VMF_reg_cmd(bool on, uint8_t port)
{
    if (port < 1 || port > 8)
        return;
    const uint8_t shift = uint8_t(2 * ((port - 1) % 4));
    const uint16_t a = g_change.vmf_card_addr;
    uint8_t frame[kVmfRegFrameSize] = {uint8_t(a), uint8_t(a >> 8), 0x00, 0xF0, 0x10, 0xBB, 3, 0, 0, kVmfRegCmd,
                                       uint8_t(port <= 4 ? 2 : 3), uint8_t(3u << shift), 0,
                                       uint8_t((on ? 1u : 3u) << shift), 0};
    frame[kVmfRegFrameSize - 1] = Utils::BCC(frame, kVmfRegFrameSize - 1);
    Send_to_port(frame, kVmfRegFrameSize, send_port_current, send_fpga_current);
}

uint8_t fpga_manage::wait_VMF_result()
{
    if (!g_change.vmf_card_addr)
        return 0;
    g_change.vmf_expect_cmd = kVmfRegCmd;
    g_change.vmf_done = 0;
    const uint8_t fpga = send_fpga_current;
    wait_vmf_answer([this, fpga] {
        std::lock_guard<std::mutex> l(irq_mutex);
        reg_IRQ_Dealwith(fpga, 0);
        VMF_reg_back_result(fpga);
    });
    return g_change.vmf_done;
}

// The caller holds irq_mutex (see VMF_data_back_result).
void fpga_manage::VMF_reg_back_result(uint8_t)
{
    if (!card_answer_ready)
        return;
    card_answer_ready = 0;
    if (!card_answer_check_ok) {
        count_bad_answer();
        return;
    }
    const bool ok = card_answer[0] == g_change.vmf_expect_cmd && card_answer[1] == 0;
    g_change.vmf_done = ok ? 1 : 2;
    g_change.vmf_data_valid = ok ? 1 : 0;
}

// ---- timed screen on/off ----

void fpga_manage::OnOff_time()
{
    std::lock_guard<std::mutex> l(sched_mutex);
    load_onoff_pairs(MCU_RAM_CMD);
}

void fpga_manage::load_onoff_pairs(const uint8_t* record)
{
    onoff_count = std::min<uint8_t>(record[8], kMaxOnOffPairs);
    std::fill(on_armed, on_armed + 8, 0);
    std::fill(off_armed, off_armed + 8, 0);
    for (int i = 0; i < onoff_count; ++i) {
        const uint8_t* p = record + 9 + 4 * i;
        on_hour[i] = bcd(p[0]);
        on_minute[i] = bcd(p[1]);
        off_hour[i] = bcd(p[2]);
        off_minute[i] = bcd(p[3]);
        on_armed[i] = off_armed[i] = 1;
    }
}

void fpga_manage::record_onoff_time(uint8_t flash)
{
    if (reg_image(FPGA_REG_STATE) != kStateRunning && flash != 2)
        return;
    uint8_t record[kOnOffRecordSize];
    if (!drv->FPGA_SPI_FLASH_VBYONE_READ(2, kOnOffRecordAddr, 1, record) || record[0] != kRecordMark ||
        !drv->FPGA_SPI_FLASH_VBYONE_READ(2, kOnOffRecordAddr, kOnOffRecordSize, record))
        return;
    std::lock_guard<std::mutex> l(sched_mutex);
    std::copy(record, record + kOnOffRecordSize, MCU_RAM_CMD);
    load_onoff_pairs(record);
    merge_image(FPGA_REG_ONOFF, 0xFF, 1, kFpga0);
}

// Each pair fires once a day at its minute (on before off); the arming is
// renewed when the day of month changes. The switches themselves are made
// by Extension_function once the lock is released.
void fpga_manage::dealwith_onoff()
{
    const uint8_t h = time_now.hour, m = time_now.minute;
    for (int i = 0; i < onoff_count; ++i) {
        if (on_armed[i] && on_hour[i] == h && on_minute[i] == m) {
            onoff_switches.push_back(SCREEN_ON);
            on_armed[i] = 0;
            screen_off_by_timer = 0;
            Power_ctrl_reset();
        }
    }
    for (int i = 0; i < onoff_count; ++i) {
        if (off_armed[i] && off_hour[i] == h && off_minute[i] == m) {
            onoff_switches.push_back(SCREEN_OFF);
            off_armed[i] = 0;
            screen_off_by_timer = 1;
            Power_ctrl_reset();
        }
    }
    if (time_now.day != onoff_last_day) {
        for (int i = 0; i < onoff_count; ++i)
            on_armed[i] = off_armed[i] = 1;
        onoff_last_day = time_now.day;
    }
}
