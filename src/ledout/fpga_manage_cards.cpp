// Frames for the receiving cards and the send path to the output ports.
#include "ledout/fpga_manage.h"

#include "ledout/RcvCardFrame.h"
#include "params/Utils.h"
#include "params/global.h"
#include "platform/Board.h"
#include "platform/Sleeper.h"

#include <cstring>

namespace {

using F = RcvCardFrame;

constexpr uint8_t kRouteCommand = 1;
constexpr uint8_t kRegTxHighLow = 0x1B;
constexpr uint8_t kRegTxHighHigh = 0x9E;
constexpr uint8_t kTxLengthReg[8] = {0x1A, 0x86, 0x88, 0x8A, 0x9A, 0x9B, 0x9C, 0x9D};
constexpr uint32_t kSendReadyTicks = 300;
// Pause between status reads while a transmitter is busy: the wait is
// counted in ticks, so the pause only keeps the loop from spinning.
constexpr uint64_t kBusyPollUs = 200;
constexpr uint32_t kSendReadyPolls = kSendReadyTicks * 10000 / kBusyPollUs;
constexpr uint32_t kPositionAddr = 0x180;
constexpr uint8_t kMappingRegister = 3;

uint8_t portByte(uint32_t port) { return uint8_t(port + 1); }

} // namespace

// ---- frames ----

// Head, command, the caller's data from byte 10 and the check byte; the
// frame is refused when it would not fit the caller's buffer or the FPGA.
uint32_t fpga_manage::build_data_frame(uint16_t target, uint8_t port, uint8_t cmd, const uint8_t* data,
                                       uint16_t length, uint8_t* frame, uint32_t capacity)
{
    const uint32_t n = uint32_t(length) + 11;
    if (n > std::min(capacity, kCardFrameMax))
        return 0;
    F::head(frame, target, F::kTagCommand, kRouteCommand, port, cmd);
    if (length)
        std::memcpy(frame + F::kSub, data, length);
    F::seal(frame, n);
    g_send_para.send_frame_len = uint16_t(n);
    return n;
}

uint32_t fpga_manage::load_write_ram_cmd_create(uint8_t port, uint16_t card, uint32_t address, const uint8_t* data,
                                                uint16_t length, uint8_t* frame, uint32_t capacity, bool all)
{
    const uint32_t n = uint32_t(length) + 19;
    if (n > std::min(capacity, kCardFrameMax))
        return 0;
    F::head(frame, all ? F::kAllCards : F::cardTarget(port, card), F::kTagCommand, kRouteCommand, portByte(port),
            F::CMD_WRITE_RAM);
    F::putU32(frame, 10, address);
    F::putU16(frame, 14, length);
    frame[16] = frame[17] = 0;
    if (length)
        std::memcpy(frame + 18, data, length);
    F::seal(frame, n);
    g_send_para.send_frame_len = uint16_t(n);
    return n;
}

uint32_t fpga_manage::rcv_card_cmd_create(uint8_t* frame, uint8_t port)
{
    // A route or grid that gives no position leaves the card at the offsets.
    uint16_t x = 0, y = 0;
    get_rcvcard_x_y(g_send_para.send_card_index, &x, &y);
    x = uint16_t(x + line_type.h_offset);
    y = uint16_t(y + line_type.v_offset);
    constexpr uint32_t n = 23;
    F::head(frame, F::cardTarget(port, g_send_para.send_card_index), F::kTagCommand, kRouteCommand, portByte(port),
            F::CMD_WRITE_RAM);
    F::putU32(frame, 10, kPositionAddr);
    F::putU16(frame, 14, 4);
    frame[16] = frame[17] = 0;
    F::putU16(frame, 18, x);
    F::putU16(frame, 20, y);
    F::seal(frame, n);
    return n;
}

uint32_t fpga_manage::rcv_active_firmware_cmd_create(uint8_t port, uint16_t card, const uint8_t* data,
                                                     uint16_t length, uint8_t* frame, uint32_t capacity)
{
    return build_data_frame(F::cardTarget(port, card), portByte(port), F::CMD_ACTIVE_FIRMWARE, data, length, frame,
                            capacity);
}

uint32_t fpga_manage::rcv_reconfig_cmd_create(uint8_t port, uint16_t card, const uint8_t* data, uint16_t length,
                                              uint8_t* frame, uint32_t capacity)
{
    return build_data_frame(F::cardTarget(port, card), portByte(port), F::CMD_RECONFIG, data, length, frame, capacity);
}

uint32_t fpga_manage::load_write_reg_cmd_create(uint8_t port, uint16_t card, const uint8_t* data, uint16_t length,
                                                uint8_t* frame, uint32_t capacity, bool all)
{
    return build_data_frame(all ? F::kAllCards : F::cardTarget(port, card), 0, F::CMD_REGISTER, data, length, frame,
                            capacity);
}

// The caller's data start at the command byte.
uint32_t fpga_manage::load_write_user_defined_cmd_create(uint8_t port, uint16_t card, const uint8_t* data,
                                                         uint16_t length, uint8_t* frame, uint32_t capacity, bool all)
{
    const uint32_t n = uint32_t(length) + 10;
    if (length == 0 || n > std::min(capacity, kCardFrameMax))
        return 0;
    F::head(frame, all ? F::kAllCards : F::cardTarget(port, card), F::kTagCommand, kRouteCommand, 0, data[0]);
    std::memcpy(frame + F::kCmd, data, length);
    F::seal(frame, n);
    g_send_para.send_frame_len = uint16_t(n);
    return n;
}

uint32_t fpga_manage::load_search_rxc_cmd_create(uint8_t port, const uint8_t* data, uint16_t length, uint8_t* frame,
                                                 uint32_t capacity)
{
    return build_data_frame(F::cardTarget(port, F::kSearchAddr), portByte(port), F::CMD_SEARCH_CARD, data, length,
                            frame, capacity);
}

uint32_t fpga_manage::save_para_cmd_create(uint8_t* frame, uint8_t port)
{
    const uint8_t data[2] = {0xFF, 0};
    return build_data_frame(F::kAllCards, portByte(port), F::CMD_SAVE, data, 2, frame, 13);
}

uint32_t fpga_manage::save_para2flash_cmd_create(uint8_t port, uint16_t card, uint8_t* frame, bool all)
{
    const uint8_t data[2] = {0xFF, 0};
    return build_data_frame(all ? F::kAllCards : F::cardTarget(port, card), 0, F::CMD_SAVE, data, 2, frame, 13);
}

uint32_t fpga_manage::mapping_enable_cmd_create(uint8_t port, uint8_t* frame)
{
    const uint8_t data[4] = {kMappingRegister, 0x0F, 1, uint8_t(g_send_para.send_arg)};
    return build_data_frame(F::kAllCards, portByte(port), F::CMD_REGISTER, data, 4, frame, 15);
}

uint32_t fpga_manage::ram_reset_cmd_create(uint8_t* frame, const SCAN_PARA& para, uint8_t port)
{
    const uint8_t data[4] = {uint8_t(para.scan_register), para.scan_mask, 1, para.scan_value};
    return build_data_frame(F::cardTarget(port, F::kSearchAddr), portByte(port), F::CMD_REGISTER, data, 4, frame, 15);
}

// ---- send path ----

uint16_t fpga_manage::port_count_addr(int port)
{
    static constexpr uint16_t kFirst[4] = {100, 102, 108, 110};
    return port < 4 ? kFirst[port] : port < 8 ? uint16_t(560 + 4 * (port - 4)) : uint16_t(640 + 4 * (port - 8));
}

uint16_t fpga_manage::port_status_addr(int port)
{
    static constexpr uint16_t kFirst[4] = {104, 106, 112, 114};
    return port < 4 ? kFirst[port] : uint16_t(port_count_addr(port) + 2);
}

bool fpga_manage::tx_free(uint8_t port, uint8_t fpga)
{
    const uint8_t reg = kRegPortStatus[port / 8];
    const uint8_t busy = uint8_t(1u << (1 + 2 * ((port % 8) / 2)));
    read_from_register(reg, fpga);
    return !(reg_image(reg, fpga) & busy);
}

uint8_t fpga_manage::wait_fpga_send_ready(uint8_t port, uint8_t fpga)
{
    return port > 15 ? 0 : wait_tx(port, fpga, G_timeTicks.load());
}

// Bounded by 300 ticks from `start` and, should the tick stand still, by
// the polls that many ticks take. An FPGA held in reset reads busy
// everywhere and takes no frame: nothing to wait for. After the program's
// stop a busy transmitter is not waited for either (on every link and port).
uint8_t fpga_manage::wait_tx(uint8_t port, uint8_t fpga, uint32_t start)
{
    for (uint32_t poll = 0; poll < kSendReadyPolls; ++poll) {
        if (reset_pending[fpga ? 1 : 0])
            return 0;
        if (tx_free(port, fpga))
            return 1;
        if (kel::platform::Sleeper::stopping() || Utils::getTimeSpace(start) > kSendReadyTicks)
            return 0;
        kel::platform::Sleeper::sleepUs(kBusyPollUs);
    }
    return 0;
}

// A length of 0 or above 1024 cannot be told to the transmitter: nothing
// is sent rather than stale or truncated bytes. The wait for a free
// transmitter holds no lock; tx_mutex is taken for the frame's writes once
// the transmitter is free (checked again under it, another sender may have
// started it meanwhile) or the wait ran out, when the frame goes anyway.
// After the program's stop a frame for a busy transmitter is dropped
// instead: it would overwrite the frame in flight, and no answer is taken.
void fpga_manage::Send_to_port(const uint8_t* frame, uint16_t length, uint16_t port, uint8_t fpga)
{
    if (port > 15 || length == 0 || length > kCardFrameMax)
        return;
    const uint32_t start = G_timeTicks.load();
    std::unique_lock<std::mutex> tx(tx_mutex, std::defer_lock);
    for (;;) {
        const bool ready = wait_tx(uint8_t(port), fpga, start);
        if (!ready && kel::platform::Sleeper::stopping())
            return;
        tx.lock();
        if (!ready || tx_free(uint8_t(port), fpga))
            break;
        tx.unlock();
    }
    const bool high = port >= 8;
    const uint8_t k = uint8_t((port % 8) / 2);
    write_to_register(kRegPortSelect[port / 8], 0xFF, uint8_t(1u << (port % 8)), fpga);
    const uint32_t lengthMinusOne = uint32_t(length) - 1;
    write_fpga_ram(frame, 0, length, uint8_t(3 + 2 * (port / 2)), fpga);
    write_to_register(kTxLengthReg[port / 2], 0xFF, uint8_t(lengthMinusOne), fpga);
    write_to_register(high ? kRegTxHighHigh : kRegTxHighLow, uint8_t(3u << (2 * k)),
                      uint8_t(((lengthMinusOne >> 8) & 0x0F) << (2 * k)), fpga);
    write_to_register(kRegPortStrobe[port / 8], 0xF0, uint8_t(0x10u << k), fpga);
}

// Link bits of FPGA 0 read fresh, or 0 when it is not running.
uint16_t fpga_manage::link_mask()
{
    read_from_register(FPGA_REG_LINK, 0);
    read_from_register(FPGA_REG_LINK_HIGH, 0);
    if (reg_image(FPGA_REG_STATE, 0) != kStateRunning)
        return 0;
    return uint16_t(reg_image(FPGA_REG_LINK, 0) | (reg_image(FPGA_REG_LINK_HIGH, 0) << 8));
}

// The request counts as out before its frames go: an answer taken while a
// later port still waits for its transmitter finds it marked.
uint16_t fpga_manage::all_ports_targets()
{
    uint16_t targets = link_mask();
    for (uint8_t port = 0; port < 16; ++port)
        if (get_port_card_num(port) == 0)
            targets &= uint16_t(~(1u << port));
    return targets;
}

void fpga_manage::multi_port_send(uint8_t* frame, uint16_t length, uint16_t targets)
{
    multicast_pending = 1;
    multicast_time = G_timeTicks.load();
    for (uint8_t port = 0; port < 16 && length > 1; ++port) {
        if (!(targets & (1u << port)))
            continue;
        F::patch(frame, length, 1, uint8_t((frame[1] & ~0x30) | ((port % 4) << 4)));
        Send_to_port(frame, length, port, 0);
    }
}

uint16_t fpga_manage::get_port_card_num(uint8_t port)
{
    if (port > 15)
        return 0;
    std::lock_guard<std::mutex> l(reg_image_mutex);
    return para_u16(0, port_count_addr(port));
}

uint32_t fpga_manage::check_netport_card(uint8_t fpga)
{
    uint32_t total = 0;
    std::lock_guard<std::mutex> l(reg_image_mutex);
    for (int port = 0; port < 16; ++port)
        total += para_u16(fpga, port_count_addr(port));
    return total;
}
