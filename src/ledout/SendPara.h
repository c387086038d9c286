#pragma once
#include <atomic>
#include <cstdint>

// g_send_para, the command mailbox of the FPGA manager thread. A poster
// writes command and step together as one 16-bit store (step 0) while the
// command is 0; the procedure returns both to 0. Byte 1 doubles as the USB
// upgrade step. The two head bytes are one atomic word, so the post and the
// thread's polling never race.
struct SendPara {
    enum Command : uint8_t {
        send_cmd_idle = 0,
        send_cmd_smartmapping = 1,
        send_cmd_load_scan = 2,
        send_cmd_save_para = 3,
        send_cmd_mapping_enable = 4,
        send_cmd_rcv_check = 5,
        send_cmd_rcv_recover = 6,
    };

    uint8_t command() const { return uint8_t(head.load() & 0xFF); }
    uint8_t send_step() const { return uint8_t(head.load() >> 8); }
    // Posts a command with step 0; false when the mailbox is busy.
    bool post(uint8_t cmd)
    {
        uint16_t current = head.load();
        if (current & 0x00FF)
            return false;
        return head.compare_exchange_strong(current, cmd);
    }
    void set_command(uint8_t cmd) { setByte(0, cmd); }
    void set_send_step(uint8_t step) { setByte(1, step); }
    void finish() { head = 0; }

    std::atomic<uint16_t> head{0};   // byte 0 command, byte 1 send_step
    uint8_t send_port = 0;
    uint8_t send_packets = 0;
    uint8_t send_packet = 0;
    std::atomic<uint8_t> send_card_replied{0};
    uint16_t send_card_index = 0;
    uint16_t send_card_count = 0;
    uint16_t send_frame_len = 0;
    uint32_t send_arg = 0;
    uint32_t send_step_time = 0;
    uint8_t send_screen = 0;
    uint8_t send_net = 0;
    uint8_t send_card_id = 0;
    uint8_t send_op_index = 0;
    uint8_t send_op_step = 0;
    std::atomic<uint16_t> send_cards_found{0};   // written by the answer path on link threads
    uint8_t send_retry = 0;

private:
    void setByte(int which, uint8_t v)
    {
        uint16_t old = head.load();
        uint16_t next;
        do {
            next = which == 0 ? uint16_t((old & 0xFF00) | v) : uint16_t((old & 0x00FF) | (v << 8));
        } while (!head.compare_exchange_weak(old, next));
    }
};
