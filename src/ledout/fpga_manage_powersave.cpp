// Power saving of the card outputs: while only window 0 may show a picture
// and its input carries none, the first card's power flag is read every
// 1000 ticks; 1000 ticks after it reads 1 the cards' outputs are stopped,
// port by port, and they are started again on request. Nothing here holds
// irq_mutex across a wait: the answer service takes it per poll.
#include "ledout/fpga_manage.h"

#include "ledout/RcvCardFrame.h"
#include "params/KelRamPara.h"
#include "params/RamLayout.h"
#include "params/Utils.h"
#include "params/global.h"

namespace {

using F = RcvCardFrame;

constexpr uint8_t kPowerRestart = 1, kPowerWatch = 2, kPowerFlagged = 3;
constexpr uint32_t kInputPeriod = 100;
constexpr uint32_t kReadPeriod = 1000;
constexpr uint32_t kStopDelay = 1000;
constexpr uint32_t kOutputStepTicks = 51;
constexpr uint8_t kOutputPorts = 8;
constexpr uint8_t kPowerTag = 0xBB;
constexpr uint8_t kPowerRoute = 3;
constexpr uint16_t kRam0Length = 256;
constexpr uint32_t kRam0FrameSize = 19;
constexpr size_t kPowerFlagAt = 0;   // byte of the first card's RAM 0 holding the flag
constexpr uint8_t kFpga0 = 0;

uint32_t now() { return G_timeTicks.load(); }
bool due(uint32_t stamp, uint32_t n) { return Utils::getTimeSpace(stamp) >= n; }

} // namespace

void fpga_manage::Power_ctrl_init()
{
    g_change.power_check_time = g_change.power_read_time = g_change.power_flag_time = 0;
    output_step = 1;
    Power_ctrl_reset();
}

void fpga_manage::Power_ctrl_reset()
{
    power_ctrl_count = 0;
    power_ctrl_step = kPowerRestart;
}

// ---- the controller ----

void fpga_manage::Power_ctrl_deal()
{
    if (get_fpga_status() != 1)
        return;
    if (output_stop_req && !output_stopped) {
        eth_data_send_stop();
        return;
    }
    if (output_start_req && output_stopped) {
        eth_data_send_start();
        // Started again: the flag must read 1 anew before the next stop.
        if (!output_stopped)
            Power_ctrl_reset();
        return;
    }
    KelRamPara* store = KelRamPara::pInstance();
    for (int w = 1; w < RamLayout::kWindows; ++w) {
        if (store->blockU16(RamLayout::imageRecord(w) + RamLayout::kImgEnable) != 0) {
            picture_wanted();
            return;
        }
    }
    Power_ctrl_task();
}

void fpga_manage::Power_ctrl_task()
{
    if (power_ctrl_step == kPowerRestart) {
        g_change.power_check_time = g_change.power_read_time = now();
        power_ctrl_count = 0;
        power_ctrl_step = kPowerWatch;
        return;
    }
    if (due(g_change.power_check_time, kInputPeriod)) {
        g_change.power_check_time = now();
        if (window0_input_present()) {
            picture_wanted();
            return;
        }
    }
    if (due(g_change.power_read_time, kReadPeriod)) {
        g_change.power_read_time = now();
        Power_check_VMF();
        Power_read_VMF_value();
        Power_ctrl_filter();
    }
    if (power_ctrl_step == kPowerFlagged && !output_stopped && due(g_change.power_flag_time, kStopDelay))
        output_stop_req = 1;
}

// A picture to show: the watch starts over and stopped outputs must run
// again.
void fpga_manage::picture_wanted()
{
    Power_ctrl_reset();
    if (output_stopped)
        output_start_req = 1;
}

bool fpga_manage::window0_input_present()
{
    const uint8_t* block = KelRamPara::pInstance()->RamBlock;
    const int source = KelRamPara::imageSource(block, 0, 0, nullptr, nullptr);
    if (source < 0 || source >= RamLayout::kSources)
        return false;
    const size_t at = RamLayout::srcVideoInfo(source);
    return RamLayout::u16(block, at) != 0 && RamLayout::u16(block, at + 2) != 0 && block[at + 4] != 0;
}

// The card to talk to is the light-sensor card (the first port with
// cards); its port becomes the current send port.
void fpga_manage::Power_check_VMF()
{
    Brightness_check_VMF();
    if (!g_change.vmf_card_addr)
        return;
    send_port_current = uint8_t((g_change.vmf_card_addr - 0x4000) / 0x1000 + 4 * (g_change.vmf_group - 1));
    send_fpga_current = kFpga0;
}

void fpga_manage::Power_read_VMF_value()
{
    if (!g_change.vmf_card_addr)
        return;
    Send_read_VMF_RAM0_data_cmd();
    g_change.vmf_done = 0;
    g_change.vmf_expect_cmd = F::CMD_READ_RAM;
    card_answer_ready = 0;
    wait_vmf_answer([this] { Power_VMF_run(); });
}

void fpga_manage::Power_ctrl_filter()
{
    if (reg_image(FPGA_REG_POWER, kFpga0) != 1) {
        power_ctrl_count = 0;
        power_ctrl_step = kPowerWatch;
        return;
    }
    if (power_ctrl_step != kPowerFlagged) {
        power_ctrl_step = kPowerFlagged;
        g_change.power_flag_time = now();
    }
    ++power_ctrl_count;
}

void fpga_manage::Power_VMF_run()
{
    std::lock_guard<std::mutex> l(irq_mutex);
    reg_IRQ_Dealwith(0, 0);
    reg_IRQ_Dealwith(1, 0);
    VMF_RAM0_data_back_result();
}

// SEND_READ_VMF_RAM0_CMD: 256 bytes at address 0 of the card answering the
// search address.
void fpga_manage::Send_read_VMF_RAM0_data_cmd()
{
    uint8_t frame[kRam0FrameSize] = {};
    F::head(frame, F::kSearchAddr, kPowerTag, kPowerRoute, 0, F::CMD_READ_RAM);
    F::putU32(frame, 10, 0);
    F::putU16(frame, 14, kRam0Length);
    F::seal(frame, kRam0FrameSize);
    Send_to_port(frame, kRam0FrameSize, send_port_current, kFpga0);
}

// Taken only whole (see VMF_data_back_result); the caller holds irq_mutex.
void fpga_manage::VMF_RAM0_data_back_result()
{
    if (!card_answer_ready)
        return;
    card_answer_ready = 0;
    const bool whole = card_answer_length >= F::kMinLength + 1 + kRam0Length && card_answer_check_ok;
    if (whole && card_answer[0] == g_change.vmf_expect_cmd && card_answer[1] == 0) {
        merge_image(FPGA_REG_POWER, 0xFF, card_answer[2 + kPowerFlagAt], kFpga0);
        g_change.vmf_done = 1;
        return;
    }
    count_bad_answer();
}

// ---- stop and start of the card outputs ----

void fpga_manage::eth_data_send_stop() { output_sequence_step(true); }

void fpga_manage::eth_data_send_start() { output_sequence_step(false); }

void fpga_manage::output_sequence_step(bool stop)
{
    if (output_step == 0)
        output_step = 1;   // the sequence counts ports from 1
    if (output_step > kOutputPorts) {
        output_stopped = stop ? 1 : 0;
        output_step = 1;
        (stop ? output_start_req : output_stop_req) = 0;
        return;
    }
    if (!due(g_change.output_step_time, kOutputStepTicks))
        return;
    Send_write_VMF_reg_cmd(stop, output_step);
    wait_VMF_result();
    g_change.output_step_time = now();
    ++output_step;
}
