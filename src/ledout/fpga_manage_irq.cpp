// Card answers from the FPGA's receive buffers, the FPGA interrupt, and
// the PC tool's requests passed through to the cards.
#include "ledout/fpga_manage.h"

#include "ledout/RcvCardFrame.h"
#include "params/Utils.h"
#include "params/global.h"
#include "platform/LogLine.h"

#include <QMutexLocker>

#include <cstring>

namespace {

using F = RcvCardFrame;

constexpr uint8_t kRegIrq = 0x16;
constexpr uint8_t kRegVersion = 0x1F;
constexpr uint8_t kIrqClear = 0x20;
constexpr uint8_t kIrqEvent = 0x40;
constexpr uint8_t kVersionFirst = 25;
constexpr uint8_t kVersionLast = 48;
constexpr uint8_t kRegRxHigh[2] = {0x19, 0x99};
constexpr uint8_t kRxLengthReg[8] = {0x18, 0x85, 0x87, 0x89, 0x95, 0x96, 0x97, 0x98};
constexpr uint8_t kFullBits = 0x55;
constexpr uint8_t kTagKeepReplied = 0x67;
constexpr uint8_t kTagKeep = 0x66;
constexpr uint8_t kAllPorts = 255;
constexpr uint8_t kRouteSingle = 0;

uint8_t fpgaIndex(uint8_t fpga) { return fpga ? 1 : 0; }
uint16_t target(const uint8_t* f) { return F::u16At(f, F::kTarget); }
uint16_t source(const uint8_t* f) { return F::u16At(f, F::kSource); }
uint8_t sourcePortBits(const uint8_t* f) { return uint8_t((f[3] >> 4) & 3); }
bool fullBit(uint8_t status, int pairInGroup) { return status & (1u << (2 * pairInGroup)); }

} // namespace

void fpga_manage::setCardAnswerSink(CardAnswerSink sink)
{
    std::lock_guard<std::mutex> l(sink_mutex);
    card_answer_sink = std::move(sink);
}

// ---- interrupt ----

uint32_t fpga_manage::reg_IRQ_Dealwith(uint8_t fpga, uint8_t force)
{
    const uint8_t f = fpgaIndex(fpga);
    const uint8_t state = reg_image(FPGA_REG_STATE, f);
    if (state != 2 && state != kStateRunning)
        return 0;
    const GpioWord& line = f ? gpio.gpio_fpga1_irq : gpio.gpio_fpga0_irq;
    const bool raised = force == 1 || (line.load() & 1);
    if (!raised) {
        // A request for all ports may be answered without an interrupt:
        // the receive status is then polled every other tick.
        g_change.irq_data_pending[f] = 0;
        if (pc_cmd_valid == 1 && multicast_pending == 1) {
            if (g_change.irq_poll_state[f] == 0) {
                g_change.irq_poll_state[f] = 1;
                g_change.irq_poll_time[f] = G_timeTicks.load();
            } else if (Utils::getTimeSpace(g_change.irq_poll_time[f]) > 1) {
                check_fpga_net_data_status(f);
                g_change.irq_poll_state[f] = 0;
            }
        }
        return 0;
    }
    g_change.irq_poll_state[f] = 0;
    g_change.irq_data_pending[f] = 0;
    write_to_register(kRegIrq, kIrqClear, 0, f);
    read_from_register(kRegIrq, f);
    if (reg_image(kRegIrq, f) & kIrqEvent) {
        write_to_register(kRegIrq, kIrqClear | kIrqEvent, 0, f);
        read_from_register(kRegVersion, f);
        const uint8_t version = reg_image(kRegVersion, f);
        if (version < kVersionFirst || version > kVersionLast) {
            // The FPGA lost its program: it counts as down and powers up again.
            write_to_register(FPGA_REG_STATE, 0xFF, 0, f);
            g_change.fpga_lost_time[f] = G_timeTicks.load();
        }
    }
    read_from_register(kRegPortStatus[0], f);
    read_from_register(kRegPortStatus[1], f);
    if ((reg_image(kRegPortStatus[0], f) | reg_image(kRegPortStatus[1], f)) & kFullBits)
        Rcv_data_from_eth(f);
    update_eth_state(f);
    return 1;
}

void fpga_manage::check_fpga_net_data_status(uint8_t fpga)
{
    const uint8_t f = fpgaIndex(fpga);
    read_from_register(kRegPortStatus[0], f);
    read_from_register(kRegPortStatus[1], f);
    if ((reg_image(kRegPortStatus[0], f) | reg_image(kRegPortStatus[1], f)) & kFullBits)
        g_change.irq_data_pending[f] = 1;
}

// ---- receive buffers ----

// Reads the frame of a full pair: its length (minus one, ten bits) from the
// length registers, the bytes from RX buffer 2 + 2k.
bool fpga_manage::read_rx_frame(uint8_t pair, uint8_t fpga, uint8_t* frame, uint32_t& length)
{
    const int group = pair / 4, k = pair % 4;
    read_from_register(kRxLengthReg[pair], fpga);
    read_from_register(kRegRxHigh[group], fpga);
    const uint32_t high = (reg_image(kRegRxHigh[group], fpga) >> (2 * k)) & 3u;
    length = ((high << 8) | reg_image(kRxLengthReg[pair], fpga)) + 1;
    return read_fpga_ram(frame, 0, length, uint8_t(2 + 2 * pair), fpga) == 0;
}

void fpga_manage::release_rx(uint8_t pair, uint8_t fpga)
{
    const int group = pair / 4;
    const uint8_t bit = uint8_t(1u << (pair % 4));
    write_to_register(kRegPortStrobe[group], bit, bit, fpga);
    write_to_register(kRegPortArm[group], bit, 0, fpga);
}

void fpga_manage::Rcv_data_from_eth(uint8_t fpga)
{
    const uint8_t f = fpgaIndex(fpga);
    deal_with_search_concurrent(f);
    read_from_register(kRegPortStatus[0], f);
    read_from_register(kRegPortStatus[1], f);
    uint8_t pair = 8;
    for (uint8_t k = 0; k < 8 && pair == 8; ++k)
        if (fullBit(reg_image(kRegPortStatus[k / 4], f), k % 4))
            pair = k;
    if (pair == 8)
        return;
    const uint8_t group = uint8_t(pair / 2);
    uint8_t frame[kCardFrameMax];
    uint32_t length = 0;
    read_rx_frame(pair, f, frame, length);
    // A frame shorter than its head carries nothing to sort: dropped.
    if (length < F::kMinLength) {
        release_rx(pair, f);
        return;
    }
    const bool searchForUs = frame[F::kCmd] == F::CMD_SEARCH_CARD && target(frame) == F::kControllerSource;
    if (searchForUs) {
        deal_with_search_concurrent(f);
        if (source(frame) < F::kControllerSource && frame[F::kTag] == kTagKeepReplied)
            g_send_para.send_card_replied = 1;
        return;
    }
    release_rx(pair, f);
    const bool checkOk = F::checkOk(frame, length);
    if (checkOk) {
        if (all_ports_answer(frame)) {
            // Every answer to a request for all ports counts toward the join,
            // a search answer as well (it also stores its count below).
            if (frame[F::kTag] != multicast_tag)
                return;
            multicast_reply_mask |= 1u << (16 * f + 4 * group + sourcePortBits(frame));
        }
        if (frame[F::kCmd] == F::CMD_SEARCH_CARD && target(frame) == F::kPcSource && frame[F::kSub] == 0 &&
            length >= 15) {
            const uint8_t p = frame[F::kPort];
            const int port = p == 0 ? 4 * group + sourcePortBits(frame) : p > 16 * f ? p - 1 - 16 * f : p - 1;
            update_eth_rcv_num(frame, uint8_t(port), f);
        }
    }
    const uint16_t to = target(frame);
    const bool fromCard = source(frame) < F::kControllerSource;
    bool kept = false;
    if (to >= F::kControllerSource && to <= F::kControllerSource + 0x0F && fromCard) {
        if (frame[F::kTag] == kTagKeepReplied)
            g_send_para.send_card_replied = 1;
        kept = frame[F::kTag] == kTagKeepReplied || frame[F::kTag] == kTagKeep;
    }
    if (to == F::kControllerSource && (frame[F::kCmd] == F::CMD_READ_RAM || frame[F::kCmd] == F::CMD_REGISTER)) {
        // Only the bytes received: the rest of the answer reads 0.
        const size_t n = std::min<size_t>(sizeof card_answer, length - F::kCmd);
        std::memset(card_answer, 0, sizeof card_answer);
        std::memcpy(card_answer, frame + F::kCmd, n);
        card_answer_length = length;
        card_answer_check_ok = checkOk;
        card_answer_ready = 1;
        return;
    }
    if (!kept)
        pass_to_pc(frame, length, group, f);
}

// The cards echo the request's port byte: 255 for a request for all ports.
// While one is in progress an answer for the PC tool with port byte 0 (a
// card that does not echo it) counts as well; one naming a single port
// answers a request to that port, an earlier one.
bool fpga_manage::all_ports_answer(const uint8_t* frame) const
{
    return frame[F::kPort] == kAllPorts ||
           (multicast_in_progress && frame[F::kPort] == 0 && target(frame) == F::kPcSource);
}

// The links whose link bit is set and whose ports hold cards must all have
// answered a request for all ports before the one joined answer goes out.
// A port outside that set that answers as well does not hold it back.
bool fpga_manage::join_all_ports(uint8_t* frame, uint32_t length)
{
    uint32_t expected = uint32_t(reg_image(FPGA_REG_LINK, 0)) | uint32_t(reg_image(FPGA_REG_LINK_HIGH, 0)) << 8;
    for (uint8_t port = 0; port < 16; ++port)
        if (get_port_card_num(port) == 0)
            expected &= ~(1u << port);
    if ((multicast_reply_mask & expected) != expected)
        return false;
    const uint16_t joinedSource = multicast_search_addr ? F::kSearchAddr : F::kAllCards;
    multicast_search_addr = 0;
    F::patch(frame, length, F::kSource, uint8_t(joinedSource));
    F::patch(frame, length, F::kSource + 1, uint8_t(joinedSource >> 8));
    F::patch(frame, length, F::kPort, kAllPorts);
    if (multicast_pending == 1) {
        multicast_reply_mask = 0;
        QMutexLocker l(&Utils::_system_mutex);
        multicast_pending = 0;
    }
    return true;
}

// Only an answer to the request out now is passed on, once: answers to
// earlier requests (given up, or replaced by a newer one) still arrive and
// are dropped here, timed when they answer a replaced one.
void fpga_manage::pass_to_pc(uint8_t* frame, uint32_t length, uint8_t group, uint8_t fpga)
{
    const bool allPorts = all_ports_answer(frame);
    const uint8_t from = uint8_t(16 * fpga + 4 * group + sourcePortBits(frame));
    const uint8_t slot = allPorts ? PcRequestSlot::kAllPorts : from;
    if (!pc_request.matches(slot, frame[F::kTag], frame[F::kCmd])) {
        pc_request.unmatched(slot, frame[F::kTag], frame[F::kCmd], G_timeTicks.load());
        return;
    }
    if (frame[F::kPort] == 0 && !multicast_in_progress)
        F::patch(frame, length, F::kPort, uint8_t(from + 1));
    if (allPorts && !join_all_ports(frame, length))
        return;
    const PcRequestSlot::Requester who = pc_request.answered(slot, G_timeTicks.load());
    F::patch(frame, length, F::kSource + 1, uint8_t(frame[F::kSource + 1] & ~0x30));
    if (who.link != 1 && who.link != 2 && who.link != 3)
        return;
    std::lock_guard<std::mutex> l(sink_mutex);
    if (card_answer_sink)
        card_answer_sink(who.link, who.sender, frame, length);
}

void fpga_manage::update_eth_rcv_num(const uint8_t* frame, uint8_t port, uint8_t fpga)
{
    if (port > 15)
        return;
    store_port_count(frame, port, fpgaIndex(fpga));
}

// Count (answer bytes 11-12) and status (13) into the parameter image,
// then the image from the count to the status place into RAM buffer 1.
void fpga_manage::store_port_count(const uint8_t* frame, uint8_t port, uint8_t f)
{
    const uint16_t count = port_count_addr(port), status = port_status_addr(port);
    const uint32_t n = uint32_t(status - count + 1);
    uint8_t bytes[5];
    {
        std::lock_guard<std::mutex> l(reg_image_mutex);
        ram_para_image[f][count] = frame[11];
        ram_para_image[f][count + 1] = frame[12];
        ram_para_image[f][status] = frame[13];
        std::memcpy(bytes, &ram_para_image[f][count], n);
    }
    write_fpga_ram(bytes, count, n, kParaBuffer, f);
}

// ---- the PC tool's requests ----

// While FPGA 0 is held in reset or not running its registers read 0xFF:
// every transmitter looks busy and a send would wait 3 s per port for
// nothing. A request then is dropped at once, logged once per hold.
bool fpga_manage::cards_out_of_reach()
{
    if (!reset_pending[0] && reg_image(FPGA_REG_STATE, 0) == kStateRunning) {
        pc_drop_logged = false;
        return false;
    }
    if (!pc_drop_logged.exchange(true))
        kel::platform::LogLine::error("card request dropped: FPGA 0 is in reset or not running\n");
    return true;
}

// Route 0: the port byte names the port (0: port 0). Routes 1, 3 and 255:
// the port byte names the port, 255 all ports, 0 the port in bits 12-13 of
// the target. Anything else goes nowhere.
uint8_t fpga_manage::pc_request_port(const uint8_t* frame, uint32_t length)
{
    if (length >= kCardFrameMax || length < F::kMinLength)
        return PcRequestSlot::kNowhere;
    const uint8_t route = frame[F::kRoute], port = frame[F::kPort];
    const bool routed = route == 1 || route == 3 || route == 255;
    if (route != kRouteSingle && !routed)
        return PcRequestSlot::kNowhere;
    if (routed && port == kAllPorts)
        return PcRequestSlot::kAllPorts;
    if (port >= 1 && port <= 16)
        return uint8_t(port - 1);
    if (port == 0)
        return route == kRouteSingle ? 0 : uint8_t((target(frame) >> 12) & 3);
    return PcRequestSlot::kNowhere;
}

// The caller holds no lock: the pass-through state is set under irq_mutex,
// the frames go out after it is released (each send may wait for a busy
// transmitter, and the other links and the pass take irq_mutex meanwhile).
uint32_t fpga_manage::Dealwith1_PC_to_eth(const uint8_t* request, uint32_t length)
{
    const uint8_t dest = pc_request_port(request, length);
    // Too long for the FPGA, too short to hold route and port, or FPGA 0
    // not ready: dropped, and its port free at once.
    if (length >= kCardFrameMax || length < F::kMinLength || cards_out_of_reach()) {
        std::lock_guard<std::mutex> l(irq_mutex);
        pc_request.dropped(dest);
        return 1;
    }
    uint8_t frame[kCardFrameMax];
    std::memcpy(frame, request, length);
    const bool allPorts = dest == PcRequestSlot::kAllPorts;
    // A request for all ports goes to the linked ports with counted cards;
    // with none it gets no answer and leaves the ports free at once.
    const uint16_t targets = allPorts ? all_ports_targets() : 0;
    {
        std::lock_guard<std::mutex> l(irq_mutex);
        multicast_in_progress = 0;
        write_to_register(kRegPortArm[1], 0x0F, 0, 0);
        write_to_register(kRegPortArm[0], 0x0F, 0, 0);
        if (allPorts) {
            multicast_in_progress = 1;
            multicast_reply_mask = 0;
            multicast_pending = 0;
            multicast_search_addr = (target(frame) & 0xCFFF) == F::kSearchAddr;
            multicast_tag = frame[F::kTag];
        }
        // Recorded before the frame goes: its answer may come at once.
        if (dest == PcRequestSlot::kNowhere || (allPorts && !targets))
            pc_request.dropped(dest);
        else
            pc_request.sent(dest, frame[F::kTag], frame[F::kCmd], G_timeTicks.load(), g_passby_trans_port);
    }
    if (allPorts) {
        multi_port_send(frame, uint16_t(length), targets);
        return 1;
    }
    if (dest == PcRequestSlot::kNowhere)
        return 1;
    const uint8_t port = frame[F::kPort];
    if (port >= 1 && port <= 16)
        F::patch(frame, length, 1, uint8_t((frame[1] & ~0x30) | ((dest % 4) << 4)));
    Send_to_port(frame, uint16_t(length), dest, 0);
    return 1;
}
