// The procedures behind the mailbox commands: smart mapping, parameter
// save, mapping enable, and the card check, recovery and scan-file load
// driven by the stored card files. Each call does one step; waits are
// counted in ticks against stamps, so the manager pass never blocks.
#include "ledout/fpga_manage.h"

#include "ledout/RcvResultList.h"
#include "ledout/rcvRecovery.h"
#include "params/StoreFolders.h"
#include "params/SyncReason.h"
#include "params/Utils.h"
#include "params/global.h"
#include "platform/LogLine.h"

#include <QMutexLocker>

#include <algorithm>

namespace {

constexpr uint32_t kHostHoldTicks = 80;      // a host frame holds the procedures this long
constexpr uint32_t kCreepTicks = 100;        // creeping progress: +1 per second
constexpr uint32_t kCardAnswerTicks = 1200;  // one card or port answering
constexpr uint32_t kSavePerCardTicks = 100;
constexpr uint32_t kEndHoldTicks = 201;      // last value shown before 100
constexpr uint32_t kCheckSettleTicks = 240;
constexpr uint32_t kTimedFromTicks = 80;
constexpr uint32_t kTimedSpanTicks = 500;
constexpr uint32_t kSearchAnswerTicks = 500;
constexpr uint32_t kErrorHoldTicks = 100;
constexpr uint32_t kChunk = 1000;            // data bytes per card-memory frame
constexpr uint32_t kStatesForProgress = 35;
constexpr uint8_t kFinished = 0xFF;          // the step returned when the mailbox is idle again
constexpr uint8_t kMaxResends = 3;
constexpr uint16_t kNoAnswer = 0xFFFF;
constexpr uint16_t kCardsFine = 0xFF;
constexpr uint16_t kMaxCount = 255;          // the loop counters are bytes

// States of the check, recovery and scan-load procedure.
enum CheckState : uint8_t {
    ST_START = 0,
    ST_SETTLE = 1,
    ST_FILE = 2,
    ST_DIRECTORY = 3,
    ST_SECTIONS = 4,
    RECOVERY_RCV_GET_SCREEN_NUM = 5,
    ST_SCREEN = 6,
    ST_SOURCE = 7,
    ST_NET_NUM = 8,
    ST_NET = 9,
    ST_CARD = 10,
    ST_OPERATION = 11,
    ST_REPLAY = 12,
    ST_SEARCH = 13,
    ST_SEARCH_WAIT = 14,
    ST_NEXT = 15,
    ST_SMART_COUNT = 17,
    ST_SMART_OPERATION = 18,
    ST_SMART_REPLAY = 19,
    ST_REPORT = 33,
    ST_ERROR = 34,
    ST_ERROR_HOLD = 35,
};

// Steps of replaying one stored operation.
enum OperateStep : uint8_t {
    OP_START = 20,
    OP_CARDS = 21,
    OP_KIND = 22,
    OP_RAM = 23,
    OP_REGISTER = 24,
    OP_FIRMWARE = 25,
    OP_FLASH = 26,
    OP_RECONFIG = 27,
    OP_SLEEP = 28,
    OP_SEARCH = 29,
    OP_USER = 30,
    OP_ANSWER = 31,
    OP_DONE = 32,
};

const QString kRecoveryFile = QString::fromLatin1(StoreFolders::kRecoveryDir) + QStringLiteral("/QJFX");

uint32_t now() { return G_timeTicks.load(); }

// Port and FPGA of a stored output port: 16 and up are the second FPGA's.
uint8_t portOf(uint16_t ledx) { return uint8_t(ledx > 15 ? ledx - 16 : ledx); }
uint8_t fpgaOf(uint16_t ledx) { return ledx > 15 ? 1 : 0; }

uint32_t ticksOf(const RcvOperateRecord& r) { return r.timeticks / 10; }

// A wait taken from a card file (a sleep, or the answer wait of a frame) is
// capped at one minute: a single record could otherwise hold the mailbox,
// and with it the card search, the brightness schedule and every post, for weeks.
constexpr uint32_t kFileWaitCapTicks = 6000;

void capFileWait(RcvOperateRecord& op, const char* what, const QString& path, unsigned record)
{
    if (ticksOf(op) <= kFileWaitCapTicks)
        return;
    kel::platform::LogLine::error("%s of %u ticks in card file %s, operation %u, capped at %u ticks\n", what,
                                  ticksOf(op), path.toLocal8Bit().constData(), record, kFileWaitCapTicks);
    op.timeticks = kFileWaitCapTicks * 10;
}

} // namespace

// ---- shared by every procedure ----

// A host request is being served: nothing advances and no wait runs out;
// the hold ends 80 ticks after the last host frame. The USB upgrade owns
// the step byte, so nothing runs while it does.
bool fpga_manage::procedure_held()
{
    if (g_usb_grade)
        return true;
    if (!pc_cmd_valid)
        return false;
    if (Utils::getTimeSpace(pc_cmd_time) > kHostHoldTicks) {
        pc_cmd_valid = 0;
        search_sent = 0;
    }
    g_change.search_time = g_send_para.send_step_time = now();
    return true;
}

void fpga_manage::emit_progress(bool smart, int value)
{
    last_progress = value;
    if (smart)
        emit progress_relay.smartMappingProgress(value);
    else
        emit progress_relay.recoveryProgress(value);
}

void fpga_manage::creep_progress(bool smart)
{
    if (Utils::getTimeSpace(g_change.search_time) <= kCreepTicks)
        return;
    g_change.progress_value = g_change.progress_value >= 99 ? 1 : g_change.progress_value + 1;
    g_change.search_time = now();
    emit_progress(smart, int(g_change.progress_value));
}

// Progress from the time since search_time; a value is sent once, not on
// every pass.
void fpga_manage::timed_progress(bool smart)
{
    const int value = int(std::min<uint32_t>(100, Utils::getTimeSpace(g_change.search_time) * 100 / kTimedSpanTicks));
    if (value != last_progress)
        emit_progress(smart, value);
}

// True once the answer came or the wait ran out; creeps meanwhile.
bool fpga_manage::answer_wait(uint32_t limit, bool smart)
{
    if (g_send_para.send_card_replied.exchange(0))
        return true;
    if (Utils::getTimeSpace(g_send_para.send_step_time) > limit)
        return true;
    creep_progress(smart);
    return false;
}

// A frame went out: its answer wait and the creeping progress start.
void fpga_manage::start_answer_wait()
{
    g_send_para.send_step_time = g_change.search_time = now();
    g_change.progress_value = 0;
}

// ---- smart mapping, parameter save, mapping enable ----

// Steps 4 and 9 of the wizard's procedures: the last value, then 100 at
// least two seconds later. A step outside the table ends at once.
void fpga_manage::wizard_tail(int last)
{
    SendPara& p = g_send_para;
    if (p.send_step() == 4) {
        emit_progress(true, last);
        p.send_step_time = now();
        p.set_send_step(9);
        return;
    }
    if (p.send_step() == 9 && Utils::getTimeSpace(p.send_step_time) < kEndHoldTicks)
        return;
    emit_progress(true, 100);
    p.finish();
}

void fpga_manage::SmartMapping_deal()
{
    if (procedure_held())
        return;
    SendPara& p = g_send_para;
    uint8_t frame[kCardFrameMax];
    switch (p.send_step()) {
    case 0:
        p.send_card_index = 0;
        p.send_port = line_type.port;
        p.set_send_step(1);
        break;
    case 1:
        p.send_card_count = get_port_card_num(p.send_port);
        p.set_send_step(p.send_card_count == 0 ? 4 : p.send_card_index >= p.send_card_count ? 5 : 2);
        break;
    case 2: {
        const uint32_t n = rcv_card_cmd_create(frame, p.send_port);
        Send_to_port(frame, uint16_t(n), p.send_port, 0);
        ++p.send_card_index;
        emit_progress(true, p.send_card_index * 100 / (p.send_card_count + 1));
        start_answer_wait();
        p.set_send_step(3);
        break;
    }
    case 3:
    case 6:
        if (answer_wait(kCardAnswerTicks, true))
            p.set_send_step(p.send_step() == 3 ? 1 : 5);
        break;
    case 5: {
        if (p.send_card_index != p.send_card_count) {
            p.set_send_step(4);
            break;
        }
        // Card register 1 set to 0xFF on every card of the port.
        SCAN_PARA reset;
        reset.scan_register = 1;
        reset.scan_mask = 0xFF;
        reset.scan_value = 0xFF;
        if (ram_reset_cmd_create(frame, reset, p.send_port))
            Send_to_port(frame, p.send_frame_len, p.send_port, 0);
        emit_progress(true, p.send_card_index * 100 / (p.send_card_count + 1));
        ++p.send_card_index;
        start_answer_wait();
        p.set_send_step(6);
        break;
    }
    default:
        wizard_tail(90);
        break;
    }
}

void fpga_manage::save_para_deal() { port_command_deal(true); }

void fpga_manage::mapping_enable_deal() { port_command_deal(false); }

// One frame to all cards of each port with cards: save their parameters
// (save) or switch their mapping by send_arg (mapping enable).
void fpga_manage::port_command_deal(bool save)
{
    if (procedure_held())
        return;
    SendPara& p = g_send_para;
    uint8_t frame[kCardFrameMax];
    switch (p.send_step()) {
    case 0:
        p.send_port = 0;
        p.set_send_step(1);
        break;
    case 1:
        if (p.send_port > 15) {
            p.set_send_step(4);
            break;
        }
        p.send_card_count = get_port_card_num(p.send_port);
        if (p.send_card_count != 0)
            p.set_send_step(2);
        else
            ++p.send_port;
        break;
    case 2: {
        const uint32_t n = save ? save_para_cmd_create(frame, p.send_port) : mapping_enable_cmd_create(p.send_port, frame);
        if (n)
            Send_to_port(frame, uint16_t(n), p.send_port, 0);
        emit_progress(true, p.send_port * 100 / 17);
        ++p.send_port;
        start_answer_wait();
        p.set_send_step(3);
        break;
    }
    case 3: {
        const uint32_t limit = save ? kSavePerCardTicks * p.send_card_count + kCardAnswerTicks : kCardAnswerTicks;
        if (answer_wait(limit, true))
            p.set_send_step(1);
        break;
    }
    default:
        wizard_tail(95);
        break;
    }
}

// ---- scan file ----

// Record index of the scan file chosen on the wizard: 22 bytes at
// 4 + 22 x index. The chosen name is already the file's absolute path.
int fpga_manage::get_operate_deal_para(SCAN_PARA* out, uint8_t index)
{
    if (!out || index >= scan_op_count)
        return 1;
    const QString path = g_qjfile_name;
    if (!rcvRecovery::isScanFilePath(path))
        return 1;
    uint8_t r[22];
    const int failed = rcvRecovery::readAt(path, 4 + 22u * index, r, sizeof r);
    // The sync and the pause hold no file lock (the change pass and the
    // links' file requests take it).
    Utils::system_mutex(QStringLiteral("sync"));
    Utils::msleep_mutex(100);
    if (failed)
        return 1;   // missing, or shorter than the record
    auto u32 = [&r](int at) { return uint32_t(r[at]) | uint32_t(r[at + 1]) << 8 | uint32_t(r[at + 2]) << 16 | uint32_t(r[at + 3]) << 24; };
    out->scan_op = uint16_t(r[0] | r[1] << 8);
    out->scan_register = u32(2);
    out->scan_data_a = u32(6);
    out->scan_data_b = u32(10);
    out->scan_data_c = u32(14);
    out->scan_time = int32_t(u32(18)) / 10;
    return 0;
}

// ---- card check, recovery and scan load ----

void fpga_manage::rcv_recovery_check_deal(uint8_t mode)
{
    if (procedure_held())
        return;
    const uint8_t step = g_send_para.send_step();
    const uint8_t next = check_step(step, mode);
    if (next != kFinished && next != step)
        g_send_para.set_send_step(next);
}

uint8_t fpga_manage::check_step(uint8_t step, uint8_t mode)
{
    const bool smart = mode == RCV_LOAD_SCAN;
    rcvRecovery& r = *rcv_reader;
    switch (step) {
    case ST_START:
        // No earlier procedure's finding is ever reported again.
        g_send_para.send_cards_found = kNoAnswer;
        if (!get_fpga_status())
            return ST_ERROR;
        g_change.search_time = now();
        last_progress = -1;
        timed_progress(smart);
        return ST_SETTLE;
    case ST_SETTLE: {
        const uint32_t waited = Utils::getTimeSpace(g_change.search_time);
        if (waited >= kTimedFromTicks)
            timed_progress(smart);
        return waited >= kCheckSettleTicks ? ST_FILE : ST_SETTLE;
    }
    case ST_FILE: return check_open_file(mode);
    case ST_DIRECTORY: return check_read_directory();
    case ST_SECTIONS: {
        bool screens = false;
        r.section_base(RCV_FILE_SCREEN, &screens);
        if (r.pack_file_num() != 0 && !screens)
            return ST_ERROR;
        timed_progress(smart);
        g_send_para.send_cards_found = kNoAnswer;
        return RECOVERY_RCV_GET_SCREEN_NUM;
    }
    case RECOVERY_RCV_GET_SCREEN_NUM:
        if (r.update_rcvScreenHead(r.file_path))
            return ST_ERROR;
        if (mode == RCV_CHECK) {
            g_send_para.send_screen = 0;
        } else {
            g_send_para.send_screen = recovery_screen;
            g_send_para.send_net = recovery_net_index;
            emit_progress(smart, step * 100 / kStatesForProgress);
        }
        return ST_SCREEN;
    case ST_SCREEN: return check_screen(mode);
    case ST_SOURCE: {
        // A screen restores from its smart-debugging block when it has one,
        // else from its port area.
        bool has = false;
        if (r.screen_info.rcv_para_len != 0) {
            r.section_base(RCV_FILE_SMART_DEBUG, &has);
            return has ? ST_SMART_COUNT : ST_ERROR;
        }
        r.section_base(RCV_FILE_XY, &has);
        return r.screen_info.rcv_xy_len != 0 && has ? ST_NET_NUM : ST_ERROR;
    }
    case ST_NET_NUM:
        if (r.update_rcvXYscreenNetnum(r.file_path) || r.screen_net_num > kMaxCount)
            return ST_ERROR;
        if (mode == RCV_CHECK)
            g_send_para.send_net = 0;
        emit_progress(smart, step * 100 / kStatesForProgress);
        return ST_NET;
    case ST_NET: return check_port(mode);
    case ST_CARD: return check_card_block();
    case ST_OPERATION: return check_operation(mode, false);
    case ST_REPLAY: return check_replay(mode, false);
    case ST_SEARCH: return check_search();
    case ST_SEARCH_WAIT: {
        const uint16_t found = g_send_para.send_cards_found;
        if (found != kNoAnswer)
            return found == kCardsFine ? ST_NEXT : ST_REPORT;
        if (Utils::getTimeSpace(g_send_para.send_step_time) > kSearchAnswerTicks)
            return ST_NEXT;
        creep_progress(smart);
        return ST_SEARCH_WAIT;
    }
    case ST_NEXT:
        if (++g_send_para.send_net < r.screen_net_num)
            return ST_NET;
        g_send_para.send_net = 0;
        if (++g_send_para.send_screen >= r.screen_head.screen_num)
            return ST_REPORT;
        return ST_SCREEN;
    case ST_SMART_COUNT: return check_smart_block(mode);
    case ST_SMART_OPERATION: return check_operation(mode, true);
    case ST_SMART_REPLAY: return check_replay(mode, true);
    case ST_REPORT:
        check_report(mode);
        return kFinished;
    case ST_ERROR:
        emit_progress(smart, 100);
        g_change.search_time = now();
        return ST_ERROR_HOLD;
    case ST_ERROR_HOLD:
        if (Utils::getTimeSpace(g_change.search_time) <= kErrorHoldTicks)
            return ST_ERROR_HOLD;
        g_send_para.finish();
        g_change.search_time = now();
        announce(SYNC_PARA);
        return kFinished;
    default:
        // A state the procedure never enters: end rather than stay.
        return ST_ERROR;
    }
}

// The recovery file, or the scan file chosen on the wizard.
uint8_t fpga_manage::check_open_file(uint8_t mode)
{
    rcvRecovery& r = *rcv_reader;
    if (mode != RCV_LOAD_SCAN) {
        if (r.get_dir_file(QString::fromLatin1(StoreFolders::kRecoveryDir)))
            return ST_ERROR;
        if (r.recoveryFileCount() != 1)
            return ST_REPORT;
        r.file_path = kRecoveryFile;
        if (r.get_rcvPackedFileNum(r.file_path))
            return ST_ERROR;
        timed_progress(false);
        return ST_DIRECTORY;
    }
    const QString usb = QString::fromLatin1(StoreFolders::kUsbStickDir) + QLatin1Char('/');
    if (r.get_dir_file(QString::fromLatin1(StoreFolders::kSmartMappingDir)) || r.smartFileCount() == 0) {
        if (r.get_dir_file(usb))
            return ST_ERROR;
        if (r.smartFileCount() == 0)
            return ST_REPORT;
    }
    // Exactly the file chosen on the wizard, and only inside the two
    // scan folders.
    const QString chosen = g_qjfile_name;
    if (!rcvRecovery::isScanFilePath(chosen))
        return ST_ERROR;
    r.init_para();
    r.file_path = chosen;
    g_change.search_time = now();
    timed_progress(true);
    return ST_SMART_COUNT;
}

uint8_t fpga_manage::check_read_directory()
{
    rcvRecovery& r = *rcv_reader;
    // Entries past the kept table are not read; a kept one that cannot be
    // read ends the procedure.
    const int kept = std::min<int>(r.pack_file_num(), rcvRecovery::kPackEntries);
    for (int i = 0; i < kept; ++i)
        if (r.get_rcvPackedFileInfo(r.file_path, uint8_t(i)))
            return ST_ERROR;
    g_change.search_time = now();
    timed_progress(false);
    return ST_SECTIONS;
}

bool fpga_manage::recovery_config_id(uint32_t* id)
{
    if (!screen_loaded)
        return false;
    *id = loaded_config_id;
    return true;
}

uint8_t fpga_manage::check_screen(uint8_t mode)
{
    rcvRecovery& r = *rcv_reader;
    if (r.update_rcvScreenIDinfo(r.file_path, g_send_para.send_screen))
        return ST_ERROR;
    loaded_config_id = r.screen_info.config_id;
    screen_loaded = true;
    if (mode != RCV_CHECK)
        return ST_SOURCE;
    emit_progress(false, (g_send_para.send_screen + 1) * 100 / (r.screen_head.screen_num + 1));
    return ST_NET_NUM;
}

uint8_t fpga_manage::check_port(uint8_t mode)
{
    rcvRecovery& r = *rcv_reader;
    if (r.update_rcvXYscreenNetpara(r.file_path, g_send_para.send_net))
        return ST_ERROR;
    g_send_para.send_cards_found = kNoAnswer;
    if (mode == RCV_CHECK) {
        emit_progress(false, (g_send_para.send_net + 1) * 100 / (r.net_para.net_rcv_num + 1));
        return ST_SEARCH;
    }
    if (recovery_card >= r.net_para.net_rcv_num)
        return ST_ERROR;
    g_send_para.send_card_id = recovery_card;
    emit_progress(mode == RCV_LOAD_SCAN, 28);
    return ST_CARD;
}

uint8_t fpga_manage::check_card_block()
{
    rcvRecovery& r = *rcv_reader;
    if (r.update_rcvXYrcvOperateTimes(r.file_path, g_send_para.send_card_id, false) || r.rcv_operate_times > kMaxCount)
        return ST_ERROR;
    // A card without stored operations has nothing to replay.
    g_send_para.send_op_index = 0;
    return r.rcv_operate_times == 0 ? ST_REPORT : ST_OPERATION;
}

// Reads the next operation and where its data lie in the file.
uint8_t fpga_manage::check_operation(uint8_t mode, bool smart_block)
{
    rcvRecovery& r = *rcv_reader;
    SendPara& p = g_send_para;
    const bool scan = mode == RCV_LOAD_SCAN;
    const int failed = smart_block ? r.update_smartDebugingOperatepara(r.file_path, p.send_op_index, scan)
                                   : r.update_rcvXYrcvOperatepara(r.file_path, p.send_op_index, false);
    if (failed)
        return ST_ERROR;
    capFileWait(r.operate_deal_para, "wait", r.file_path, p.send_op_index);
    p.send_op_step = OP_START;
    const uint32_t offset = r.operate_deal_para.offset;
    if (!smart_block)
        r.operate_data_offset =
            r.screen_info.rcv_xy_offset + r.net_para.net_para_offset + offset + r.section_base(RCV_FILE_XY);
    else if (scan)
        r.operate_data_offset = offset + 16 + r.screen_info.rcv_para_offset;
    else
        r.operate_data_offset = r.screen_info.rcv_para_offset + offset + r.section_base(RCV_FILE_SMART_DEBUG);
    emit_progress(scan, (p.send_op_index + 1) * 100 / (r.rcv_operate_times + 1));
    g_change.progress_value = 0;
    g_change.search_time = now();
    return smart_block ? ST_SMART_REPLAY : ST_REPLAY;
}

uint8_t fpga_manage::check_replay(uint8_t mode, bool smart_block)
{
    rcvRecovery& r = *rcv_reader;
    const bool scan = mode == RCV_LOAD_SCAN;
    const uint8_t result = load_rcv_xy_operate(r.file_path, r.operate_data_offset, scan);
    if (result == OPERATE_FAILED)
        return ST_ERROR;
    if (result == OPERATE_RUNNING) {
        creep_progress(scan);
        return smart_block ? ST_SMART_REPLAY : ST_REPLAY;
    }
    if (++g_send_para.send_op_index < r.rcv_operate_times) {
        g_send_para.send_op_step = OP_START;
        return smart_block ? ST_SMART_OPERATION : ST_OPERATION;
    }
    return smart_block ? check_after_smart_block(mode) : uint8_t(ST_REPORT);
}

// A recovery goes on with the card's own port operations when the screen
// has a port area; a scan load is done.
uint8_t fpga_manage::check_after_smart_block(uint8_t mode)
{
    if (mode != RCV_RECOVERY)
        return ST_REPORT;
    rcvRecovery& r = *rcv_reader;
    bool xy = false;
    r.section_base(RCV_FILE_XY, &xy);
    g_send_para.send_op_index = 0;
    return xy && r.screen_info.rcv_xy_len != 0 ? ST_NET_NUM : ST_REPORT;
}

uint8_t fpga_manage::check_search()
{
    rcvRecovery& r = *rcv_reader;
    const uint16_t ledx = r.net_para.net_ledx;
    const uint8_t stored = r.recoveryFileCount() > 0 ? 1 : 0;
    check_error_rcv_search_card_cmd(portOf(ledx), fpgaOf(ledx), r.screen_info.config_id, 0, stored);
    emit_progress(false, ST_SEARCH * 100 / kStatesForProgress);
    start_answer_wait();
    return ST_SEARCH_WAIT;
}

uint8_t fpga_manage::check_smart_block(uint8_t mode)
{
    rcvRecovery& r = *rcv_reader;
    const bool scan = mode == RCV_LOAD_SCAN;
    if (r.update_smartDebugingOperateTimes(r.file_path, scan) || r.rcv_operate_times > kMaxCount)
        return ST_ERROR;
    g_send_para.send_op_index = 0;
    if (scan) {
        r.net_para.net_ledx = line_type.port;
        if (get_port_card_num(line_type.port) == 0)
            return ST_ERROR;
    } else {
        r.net_para.net_ledx = recovery_net;
        g_send_para.send_card_id = recovery_card;
        const uint16_t cards = get_port_card_num(portOf(recovery_net));
        if (cards == 0 || g_send_para.send_card_id >= cards)
            return ST_ERROR;
    }
    if (r.rcv_operate_times == 0)
        return check_after_smart_block(mode);
    return ST_SMART_OPERATION;
}

// The end of a check, recovery or scan load: the finding (if any) goes to
// the result list; a recovery that found nothing withdraws the shown one.
void fpga_manage::check_report(uint8_t mode)
{
    const uint16_t found = g_send_para.send_cards_found;
    if (found == kNoAnswer || found == kCardsFine) {
        if (mode == RCV_RECOVERY && g_rcv_results.withdraw())
            announce(SYNC_RCV_RECOVERY);
    } else {
        const rcvRecovery& r = *rcv_reader;
        recovery_screen = g_send_para.send_screen;
        recovery_net = uint8_t(r.net_para.net_ledx);
        recovery_net_index = g_send_para.send_net;
        recovery_card = uint8_t(found);
        g_rcv_results.setFound(RcvResultList::entryText(recovery_screen + 1, r.net_para.net_ledx + 1, found + 1,
                                                        r.net_para.net_rcv_num));
        announce(SYNC_PARA);
    }
    g_send_para.finish();
    emit_progress(mode == RCV_LOAD_SCAN, 100);
}

// ---- replaying one stored operation ----

uint8_t fpga_manage::load_rcv_xy_operate(const QString& path, uint32_t data_offset, bool all_cards)
{
    SendPara& p = g_send_para;
    RcvOperateRecord& op = rcv_reader->operate_deal_para;
    switch (p.send_op_step) {
    case OP_START:
        p.send_retry = 0;
        p.send_op_step = OP_CARDS;
        return OPERATE_RUNNING;
    case OP_CARDS:
        p.send_card_count = get_port_card_num(portOf(rcv_reader->net_para.net_ledx));
        p.send_card_index = all_cards ? (p.send_card_count ? p.send_card_count - 1 : 0) : p.send_card_id;
        p.send_op_step = OP_KIND;
        return OPERATE_RUNNING;
    case OP_KIND: {
        p.send_packet = 0;
        p.send_packets = 1;
        uint8_t next = OP_DONE;
        switch (op.type) {
        case RCV_OP_WRITE:
            if (op.target == RCV_TARGET_RAM) {
                // The frame count is a byte: more data than 255 frames cannot be told.
                if (op.dataLen / kChunk + 1 > 255)
                    return OPERATE_FAILED;
                p.send_packets = uint8_t(op.dataLen / kChunk + 1);
                next = OP_RAM;
            } else if (op.target == RCV_TARGET_REGISTER) {
                next = OP_REGISTER;
            }
            break;
        case RCV_OP_RAM2FLASH:
            op.timeticks += uint32_t(p.send_card_count) * 1000;
            capFileWait(op, "answer wait", path, p.send_op_index);
            next = OP_FLASH;
            break;
        case RCV_OP_ACTIVE_FIRMWARE: next = OP_FIRMWARE; break;
        case RCV_OP_RECONFIG: next = OP_RECONFIG; break;
        case RCV_OP_SLEEP:
            p.send_step_time = now();
            next = OP_SLEEP;
            break;
        case RCV_OP_SEARCH: next = OP_SEARCH; break;
        case RCV_OP_USER_DEFINED: next = OP_USER; break;
        default: break;
        }
        p.send_op_step = next;
        return OPERATE_RUNNING;
    }
    case OP_SLEEP:
        if (Utils::getTimeSpace(p.send_step_time) >= ticksOf(op))
            p.send_op_step = OP_DONE;
        return OPERATE_RUNNING;
    case OP_ANSWER: return operate_answer(all_cards);
    case OP_DONE: return OPERATE_DONE;
    default:
        if (p.send_op_step >= OP_RAM && p.send_op_step <= OP_USER)
            return operate_send(p.send_op_step, path, data_offset, all_cards);
        return OPERATE_FAILED;
    }
}

// Builds and sends the frame of the current step; an operation whose data
// cannot be read or do not fit a frame ends the procedure.
uint8_t fpga_manage::operate_send(uint8_t step, const QString& path, uint32_t data_offset, bool all_cards)
{
    SendPara& p = g_send_para;
    rcvRecovery& r = *rcv_reader;
    const RcvOperateRecord& op = r.operate_deal_para;
    const uint8_t port = portOf(r.net_para.net_ledx), fpga = fpgaOf(r.net_para.net_ledx);
    uint8_t data[kCardFrameMax];
    uint8_t frame[kCardFrameMax];
    if (p.send_retry == 0)
        ++p.send_packet;
    uint32_t length = op.dataLen;
    uint32_t from = data_offset;
    if (step == OP_RAM) {
        length = p.send_packet >= p.send_packets ? op.dataLen % kChunk : kChunk;
        from += (p.send_packet - 1) * kChunk;
    }
    if (step != OP_FLASH && length > sizeof data)
        return OPERATE_FAILED;
    if (step != OP_FLASH && length && r.update_rcvOperatedata(path, from, data, uint16_t(length)))
        return OPERATE_FAILED;
    const uint16_t n16 = uint16_t(length);
    const uint16_t card = p.send_card_index;
    uint32_t n = 0;
    switch (step) {
    case OP_RAM:
        n = load_write_ram_cmd_create(port, card, op.targetAddr + (p.send_packet - 1) * kChunk, data, n16, frame,
                                      sizeof frame, all_cards);
        break;
    case OP_REGISTER: n = load_write_reg_cmd_create(port, card, data, n16, frame, sizeof frame, all_cards); break;
    case OP_FIRMWARE: n = rcv_active_firmware_cmd_create(port, card, data, n16, frame, sizeof frame); break;
    case OP_FLASH: n = save_para2flash_cmd_create(port, card, frame, all_cards); break;
    case OP_RECONFIG: n = rcv_reconfig_cmd_create(port, card, data, n16, frame, sizeof frame); break;
    case OP_SEARCH: n = load_search_rxc_cmd_create(port, data, n16, frame, sizeof frame); break;
    case OP_USER:
        n = load_write_user_defined_cmd_create(port, card, data, n16, frame, sizeof frame, all_cards);
        break;
    default: break;
    }
    if (n == 0)
        return OPERATE_FAILED;   // larger than a card frame
    Send_to_port(frame, uint16_t(n), port, fpga);
    p.send_step_time = now();
    p.send_op_step = OP_ANSWER;
    return OPERATE_RUNNING;
}

// The answer wait of a sent frame: an answer moves on at once; a silent
// card gets the frame again up to three times, each waiting T ticks.
uint8_t fpga_manage::operate_answer(bool all_cards)
{
    SendPara& p = g_send_para;
    const RcvOperateRecord& op = rcv_reader->operate_deal_para;
    const bool perCard = op.type == RCV_OP_ACTIVE_FIRMWARE || op.type == RCV_OP_RECONFIG;
    const uint8_t again = op.type == RCV_OP_ACTIVE_FIRMWARE ? OP_FIRMWARE
                          : op.type == RCV_OP_RECONFIG      ? OP_RECONFIG
                          : op.type == RCV_OP_RAM2FLASH     ? OP_FLASH
                          : op.type == RCV_OP_USER_DEFINED  ? OP_USER
                          : op.type == RCV_OP_WRITE && op.target == RCV_TARGET_REGISTER ? OP_REGISTER
                                                                                         : OP_RAM;
    if (p.send_card_replied.exchange(0)) {
        // An answered frame is never sent again, also when its wait ran out
        // before this pass: the answer restarts the resend count, so resending
        // here would repeat the frame to a card that keeps answering late,
        // without end when the wait is 0 ticks.
        p.send_retry = 0;
        if (perCard) {
            if (all_cards && p.send_card_index > 0) {
                --p.send_card_index;
                p.send_op_step = again;
            } else {
                p.send_op_step = OP_DONE;
            }
        } else {
            p.send_op_step = p.send_packet >= p.send_packets ? OP_DONE : OP_RAM;
        }
        return OPERATE_RUNNING;
    }
    if (Utils::getTimeSpace(p.send_step_time) <= ticksOf(op))
        return OPERATE_RUNNING;
    const bool resendable = perCard || op.type == RCV_OP_WRITE || op.type == RCV_OP_RAM2FLASH ||
                            op.type == RCV_OP_USER_DEFINED;
    if (!resendable) {
        p.send_op_step = OP_DONE;
    } else if (p.send_retry < kMaxResends) {
        ++p.send_retry;
        p.send_op_step = again;
    } else if (perCard && all_cards && p.send_card_index > 0) {
        p.send_retry = 0;
        --p.send_card_index;
        p.send_op_step = again;
    } else if (!perCard && p.send_packet < p.send_packets) {
        p.send_retry = 0;
        p.send_op_step = OP_RAM;
    } else {
        p.send_op_step = OP_DONE;
    }
    return OPERATE_RUNNING;
}
