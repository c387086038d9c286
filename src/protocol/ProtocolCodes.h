#pragma once
#include <cstdint>

namespace kel::protocol {

// Command codes of the control protocol (frame_cmd). docs/protocol.md
// gives every request and answer layout.
enum Command : uint8_t {
    CMD_WRITE_RAM = 0x60,
    CMD_READ_RAM = 0x61,
    CMD_WRITE_REGISTER = 0xA0,
    CMD_READ_REGISTER = 0xA1,
    CMD_WRITE_FILE_START = 0xD0,
    CMD_WRITE_FILE_BLOCK = 0xD1,
    CMD_WRITE_FILE_END = 0xD2,
    CMD_READ_FILE_START = 0xD3,
    CMD_READ_FILE_BLOCK = 0xD4,
    CMD_READ_FILE_END = 0xD5,
    CMD_DELETE_FILES = 0xD6,
    CMD_WRITE_DEFINED_FILE_START = 0xD7,
    CMD_READ_DEFINED_FILE_START = 0xD8,
    CMD_WRITE_EDID = 0xD9,
    CMD_READ_EDID = 0xDA,
    CMD_WRITE_RTC = 0xDB,
    CMD_SET_NETWORK = 0xDC,
    CMD_WRITE_CONFIG = 0xDD,
    CMD_DEVICE_INFO = 0xDF,
    CMD_FLASH_WRITE = 0xE0,
    CMD_FLASH_READ = 0xE1,
    CMD_FPGA_CTRL_FLAGS = 0xE2,
};

// Status byte (frame_sub) of an answer.
enum Status : uint8_t {
    ST_OK = 0,
    ST_REFUSED = 1,      // the parameter store refused the write
    ST_BAD_RANGE = 2,    // bad length, address, index or register
    ST_BUSY = 3,         // another link or peer owns the file transfer
    ST_MD5 = 4,          // digest mismatch, nothing stored
    ST_UNKNOWN_CMD = 5,
    ST_BAD_TARGET = 6,   // target is neither this controller nor an FPGA
    ST_FILE = 7,         // file missing or could not be stored
    ST_BAD_VALUE = 8,    // value out of range or badly formed
    ST_SEQUENCE = 9,     // no transfer running, or block out of order
};

// Link identifiers: g_passby_trans_port values and the dispatcher's link.
enum Link : uint8_t {
    LINK_UART = 1,
    LINK_TCP = 2,
    LINK_UDP = 3,
    LINK_4G = 4,
    LINK_CONTROL = 5,
    LINK_NONE = 255,
};


} // namespace kel::protocol
