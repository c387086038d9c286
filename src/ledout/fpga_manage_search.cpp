// Periodic card search of the output ports, the V-by-One watch, and the
// cabinet positions of smart mapping.
#include "ledout/fpga_manage.h"

#include "ledout/RcvCardFrame.h"
#include "params/Utils.h"
#include "params/global.h"

#include <algorithm>

namespace {

using F = RcvCardFrame;

constexpr uint32_t kHostHoldTicks = 80;
constexpr uint32_t kSearchPeriod = 80;
constexpr uint32_t kSearchEnabled = 15;
constexpr uint32_t kCycleSent = 1u << 31;
constexpr uint32_t kCycleOdd = 1u << 30;
constexpr uint8_t kSearchFrameLength = 30;
constexpr uint32_t kVboPeriod = 10;
constexpr uint8_t kRegVboHealth = 0x28;
constexpr uint8_t kVboHealthy = 0x1C;
constexpr int kVboReadings = 8;
constexpr int kVboBadLimit = 3;
constexpr uint16_t kVboFixReads = 1000;

// One wiring route: the cards run along rows or along columns; the major
// index (row or column) may count from the bottom / right, the first line
// may run right-to-left / upwards, and a serpentine route turns back on
// every other line.
struct Route {
    bool columns;
    bool majorReversed;
    bool minorReversed;
    bool serpentine;
};
constexpr Route kRoutes[16] = {
    {false, true, true, true},   {false, true, false, true},  {false, false, true, true},  {false, false, false, true},
    {true, true, true, true},    {true, true, false, true},   {true, false, false, true},  {true, false, true, true},
    {false, true, true, false},  {false, false, false, false}, {false, true, false, false}, {true, false, true, false},
    {true, true, true, false},   {true, false, false, false}, {true, false, true, false},  {true, true, false, false},
};

} // namespace

// Position of card `index` along the route of line_type. Route 12 runs
// every column upwards like route 15 (its row count is the grid's rows).
// A route outside 1..16 or an empty grid leaves x and y as they are.
void fpga_manage::get_rcvcard_x_y(int index, uint16_t* x, uint16_t* y)
{
    const LineType lt = line_type;
    const int rows = lt.rows, cols = lt.columns;
    if (lt.route_way < 1 || lt.route_way > 16 || rows == 0 || cols == 0)
        return;
    const Route& route = kRoutes[lt.route_way - 1];
    const int last = rows * cols - 1;
    const int i = index < 0 ? 0 : index > last ? last : index;
    const int lineLength = route.columns ? rows : cols;
    const int lines = route.columns ? cols : rows;
    const int j = i / lineLength, m = i % lineLength;
    const int major = route.majorReversed ? lines - 1 - j : j;
    const bool minorReversed = route.serpentine && (j % 2) ? !route.minorReversed : route.minorReversed;
    const int minor = minorReversed ? lineLength - 1 - m : m;
    const int c = route.columns ? major : minor;
    const int r = route.columns ? minor : major;
    // The card takes the low 16 bits, as its position register holds them.
    *x = uint16_t(c * lt.cabinet_width);
    *y = uint16_t(r * lt.cabinet_height);
}

// ---- idle-time check ----

void fpga_manage::Check_search_card()
{
    // An FPGA held in reset answers 0xFF everywhere: every port would look
    // linked and every transmitter busy, so nothing is searched meanwhile.
    if (pc_cmd_valid == 0 && get_fpga_status() == 1 && !reset_pending[0]) {
        check_vbo_status(0);
        // No lock around the cycle: each frame takes tx_mutex for its
        // writes only (Send_to_port), so a busy transmitter holds up this
        // pass alone, never a link.
        Search_Card_Cmd();
        Extension_function();
        // The link bits are read once per tick: the pass runs many times a
        // tick and they change far slower.
        const uint32_t tick = G_timeTicks.load();
        if (tick != wlan_check_tick) {
            wlan_check_tick = tick;
            check_wlanonline_state();
        }
        return;
    }
    // The host's hold ends 80 ticks after its last frame.
    if (Utils::getTimeSpace(pc_cmd_time.load()) > kHostHoldTicks) {
        pc_cmd_valid = 0;
        search_sent = 0;
    }
}

void fpga_manage::Search_Card_Cmd()
{
    const uint32_t now = G_timeTicks.load();
    if (reg_image(FPGA_REG_CTRL, 0) & 0x08) {
        g_change.search_time = now;
        return;
    }
    if (Utils::getTimeSpace(g_change.search_time) < kSearchPeriod && !g_change.search_due)
        return;
    const uint16_t links = link_mask();
    if (links == 0 || g_change.search_enable != kSearchEnabled) {
        g_change.search_due = 0;
        g_change.search_time = now;
        return;
    }
    g_change.search_due = 1;
    const bool odd = g_change.search_cycle & 1;
    ++g_change.search_cycle;
    CHECK_search_cmd_status();
    // A pair shares its buffers: one port of each pair per cycle, taking
    // turns when both have a link.
    for (int k = 0; k < 8; ++k) {
        const int first = odd ? 2 * k + 1 : 2 * k, second = odd ? 2 * k : 2 * k + 1;
        const int port = links & (1u << first) ? first : links & (1u << second) ? second : -1;
        if (port < 0)
            continue;
        check_error_rcv_search_card_cmd(uint32_t(port), 0, 0, 0, 0);
        search_sent |= 1u << port;
        if (odd)
            search_answered |= kCycleSent | kCycleOdd;
        else
            search_answered &= ~(kCycleSent | kCycleOdd);
    }
    g_change.search_due = 0;
    g_change.search_time = G_timeTicks.load();
}

// After an odd cycle the searched port of every pair that did not answer
// has its count and status cleared; then the card total is refreshed.
uint32_t fpga_manage::CHECK_search_cmd_status()
{
    const uint32_t answered = search_answered.exchange(0);
    if (answered & kCycleSent) {
        for (int k = 0; k < 8; ++k) {
            if (answered & (1u << k))
                continue;
            const int port = search_sent & (1u << (2 * k + 1)) ? 2 * k + 1 : search_sent & (1u << (2 * k)) ? 2 * k : -1;
            if (port >= 0)
                clear_port_count(port);
        }
    }
    search_sent = 0;
    const uint32_t total = check_netport_card(0);
    fpga_port_card_mask = uint16_t(total);
    return total;
}

void fpga_manage::clear_port_count(int port)
{
    const uint16_t count = port_count_addr(port), status = port_status_addr(port);
    // Ports 0-3 keep count and status 4 bytes apart, the others 2.
    const uint32_t n = port < 4 ? 5 : 3;
    uint8_t bytes[5];
    {
        std::lock_guard<std::mutex> l(reg_image_mutex);
        ram_para_image[0][count] = ram_para_image[0][count + 1] = 0;
        ram_para_image[0][status] = 0;
        std::copy(&ram_para_image[0][count], &ram_para_image[0][count] + n, bytes);
    }
    write_fpga_ram(bytes, count, n, kParaBuffer, 0);
}

void fpga_manage::check_error_rcv_search_card_cmd(uint32_t port, uint8_t fpga, uint32_t value_a, uint32_t value_b,
                                                  uint8_t mode)
{
    if (port > 15)
        return;
    write_to_register(kRegPortArm[port / 8], uint8_t(1u << ((port % 8) / 2)), 0, fpga);
    uint8_t frame[kSearchFrameLength] = {};
    F::head(frame, F::cardTarget(port, F::kSearchAddr), F::kTagSearch, 0xFF, uint8_t(port + 1), F::CMD_SEARCH_CARD);
    frame[16] = mode & 1;
    F::putU32(frame, 17, value_a);
    frame[21] = 0xFF;
    F::putU32(frame, 23, value_b);
    F::seal(frame, kSearchFrameLength);
    Send_to_port(frame, kSearchFrameLength, uint16_t(port), fpga);
}

// Takes every search answer for the controller out of the receive
// buffers, good or bad; other answers stay for Rcv_data_from_eth.
void fpga_manage::deal_with_search_concurrent(uint8_t fpga)
{
    const uint8_t f = fpga ? 1 : 0;
    read_from_register(kRegPortStatus[0], f);
    read_from_register(kRegPortStatus[1], f);
    const uint8_t status[2] = {reg_image(kRegPortStatus[0], f), reg_image(kRegPortStatus[1], f)};
    for (uint8_t k = 0; k < 8; ++k) {
        if (!(status[k / 4] & (1u << (2 * (k % 4)))))
            continue;
        uint8_t frame[kCardFrameMax];
        uint32_t length = 0;
        read_rx_frame(k, f, frame, length);
        if (length < F::kMinLength) {
            release_rx(k, f);   // too short to be anything
            continue;
        }
        if (F::u16At(frame, F::kTarget) != F::kControllerSource || frame[F::kCmd] != F::CMD_SEARCH_CARD)
            continue;
        if (F::checkOk(frame, length)) {
            search_answered |= 1u << (8 * f + k);
            if (frame[F::kSub] == 0)
                Search_concurrent_back_result(frame, uint8_t(k / 2), f, length);
        }
        release_rx(k, f);
    }
}

void fpga_manage::Search_concurrent_back_result(uint8_t* frame, uint8_t group, uint8_t fpga, uint32_t length)
{
    if (length < 15)
        return;   // no count and status
    if (frame[F::kPort] == 0)
        frame[F::kPort] = uint8_t(4 * group + ((frame[3] >> 4) & 3) + 1);
    const int port = frame[F::kPort] - 1;
    if (port > 15)
        return;
    uint32_t id = 0;
    if (length >= 24 && recovery_config_id(&id) && F::u32At(frame, 18) == id)
        g_send_para.send_cards_found = frame[22];
    store_port_count(frame, uint8_t(port), fpga ? 1 : 0);
}

// ---- V-by-One watch ----

uint8_t fpga_manage::check_vbo_status(uint8_t fpga)
{
    const uint8_t f = fpga ? 1 : 0;
    if (Utils::getTimeSpace(g_change.vbo_check_time[f]) < kVboPeriod)
        return vbo_fault[f];
    if (!vbo_fault[f]) {
        int bad = 0;
        for (int i = 0; i < kVboReadings; ++i) {
            read_from_register(kRegVboHealth, f);
            if ((reg_image(kRegVboHealth, f) & kVboHealthy) != kVboHealthy)
                ++bad;
        }
        if (bad > kVboBadLimit) {
            vbo_fault[f] = 1;
            write_to_register(FPGA_REG_OUTPUT, 0xC0, 0, f);
            vbo_fix_step[f] = 0;
        }
    } else if (vbo_fix_step[f] == 0) {
        write_to_register(FPGA_REG_OUTPUT, 0x40, 0x40, f);
        vbo_fix_step[f] = 1;
        vbo_fix_count[f] = 0;
    } else {
        read_from_register(FPGA_REG_STATUS, f);
        ++vbo_fix_count[f];
        if (!(reg_image(FPGA_REG_STATUS, f) & 0x08) || vbo_fix_count[f] >= kVboFixReads) {
            write_to_register(FPGA_REG_OUTPUT, 0x80, 0x80, f);
            vbo_fault[f] = 0;
        }
    }
    g_change.vbo_check_time[f] = G_timeTicks.load();
    return vbo_fault[f];
}

// Interrupt service without a search of its own.
void fpga_manage::Search_Card_task_run()
{
    std::lock_guard<std::mutex> l(irq_mutex);
    reg_IRQ_Dealwith(0, 0);
}
