#pragma once
#include <atomic>
#include <cstdint>

// g_change: the state record of the FPGA manager thread shared by the
// power-up, brightness, power, search and interrupt code. Every field is a
// tick stamp, a step or a flag owned by the code named beside it.
struct FpgaChange {
    // power-up and resets
    uint32_t powerup_stamp[2] = {0, 0};
    uint32_t reset_release_stamp = 0;
    // brightness scheduler and light sensor
    uint8_t bright_sched_on = 0;
    uint8_t bright_level = 0;
    uint32_t bright_task_stamp = 0;
    uint8_t bright_apply_count = 0;
    uint8_t bright_force = 0;
    uint8_t bright_record_changed = 0;
    uint16_t vmf_card_addr = 0;
    uint8_t vmf_group = 0;
    uint8_t vmf_expect_cmd = 0;
    uint8_t vmf_done = 0;
    uint8_t vmf_data_valid = 0;
    uint8_t vmf_miss_count = 0;
    // power saving of the card outputs
    uint32_t output_step_time = 0;
    uint32_t power_check_time = 0;   // last look at the input
    uint32_t power_read_time = 0;    // last read of the cards' power flag
    uint32_t power_flag_time = 0;    // when the flag first read 1
    // interrupt service
    uint32_t irq_poll_state[2] = {0, 0};
    uint32_t irq_poll_time[2] = {0, 0};
    uint32_t irq_data_pending[2] = {0, 0};
    uint32_t fpga_lost_time[2] = {0, 0};
    // card search and V-by-One watch
    uint32_t search_due = 0;
    uint32_t search_time = 0;
    uint32_t search_cycle = 0;
    uint32_t search_enable = 15;
    uint32_t vbo_check_time[2] = {0, 0};
    // progress of the mailbox procedures
    uint32_t progress_value = 0;
};
