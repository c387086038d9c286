#pragma once
#include "protocol/FileTransfer.h"
#include "protocol/Requester.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kel::protocol {

class ControllerPort;

// The command dispatcher and handlers of the control protocol for this
// controller. Bodies reach it checked (length and XOR) by the link; every
// request gets an answer whose status byte tells the outcome. One object
// serves every link; it may be called from several link threads at once.
class message_deal {
public:
    using Bytes = std::vector<uint8_t>;

    // RAM addresses of the local target (command 0x60/0x61).
    static constexpr uint32_t kUserModeBase = 0x1000;
    static constexpr uint32_t kUserModeEnd = 0x11000;
    // Read-only values: u16 card total, then the apply the scaler has not
    // taken yet (0 none, 1 apply, 2 apply and save the user modes).
    static constexpr uint32_t kStatusBase = 0x11000;
    static constexpr uint32_t kStatusSize = 3;
    static constexpr uint32_t kRamBlockSize = 4096;
    static constexpr uint32_t kUserModeSlotSize = 4098;
    // Largest RAM, register or flash read in one answer.
    static constexpr uint32_t kMaxRead = 1024;
    static constexpr uint32_t kFlashSize = 0x800000;
    static constexpr int kEdidInputs = 6;
    static constexpr int kPidLength = 32;

    // Registers with a meaning of their own.
    static constexpr uint32_t kRegMcuFlag = 11;
    static constexpr uint32_t kRegUpdate11 = 17;
    // Register 11 bits: 1 apply, 2 apply and save the user mode, 3 OSD.
    static constexpr uint8_t kApplyBit = 1u << 1;
    static constexpr uint8_t kApplyUserModeBit = 1u << 2;
    static constexpr uint8_t kOsdBit = 1u << 3;

    explicit message_deal(ControllerPort& port);

    // Dispatches one request body (check byte included) and builds the
    // answer body (check byte included) into answer; a body shorter than
    // 12 bytes gets no answer (answer left empty).
    void message_group_deal(uint8_t link, const Requester& who, const uint8_t* body, size_t len, Bytes& answer);

    // Fills the date/time and running-time bytes of the extended image.
    void Time_to_RAM();

    FileTransfer& files() { return files_; }

private:
    // A request's payload: the bytes from frame_sub on, check byte excluded.
    struct Request {
        const uint8_t* body;
        const uint8_t* p;
        size_t n;
        const Requester& who;
    };

    uint8_t dispatch(const Request& rq, Bytes& out);
    uint8_t write_ram(const Request& rq, Bytes& out);
    uint8_t read_ram(const Request& rq, Bytes& out);
    uint8_t read_local_ram(uint32_t address, uint32_t n, Bytes& out);
    uint8_t write_register(const Request& rq, Bytes& out);
    uint8_t read_register(const Request& rq, Bytes& out);
    void REG_mcu_flag(uint8_t bits);
    void RegUpdate11();
    uint8_t file_start(const Request& rq, bool upload, bool defined, Bytes& out);
    uint8_t write_file_block(const Request& rq, Bytes& out);
    uint8_t write_file_end(const Request& rq, Bytes& out);
    uint8_t read_file_block(const Request& rq, Bytes& out);
    uint8_t write_edid_table(const Request& rq, Bytes& out);
    uint8_t read_edid_table(const Request& rq, Bytes& out);
    uint8_t write_rtc_time(const Request& rq, Bytes& out);
    uint8_t set_network(const Request& rq, Bytes& out);
    uint8_t write_config(const Request& rq, Bytes& out);
    uint8_t device_info(Bytes& out);
    uint8_t flash_write(const Request& rq, Bytes& out);
    uint8_t flash_read(const Request& rq, Bytes& out);
    uint8_t fpga_ctrl_flags(const Request& rq);

    ControllerPort& port_;
    FileTransfer files_;
};

} // namespace kel::protocol
