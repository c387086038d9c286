#include "inputs/ite6805_cec_feture.h"

#include "inputs/ite6805_cec_drv.h"
#include "inputs/ite6805_cec_sys.h"
#include "params/DebugPrint.h"

#include <utility>

namespace {

constexpr uint8_t kBroadcast = 15;

// The accepted opcodes (opcode, entry); every other entry is 0.
constexpr std::pair<uint8_t, uint8_t> kMsgSizes[] = {
    {0x00, 0x84}, {0x04, 0x82}, {0x05, 0x82}, {0x06, 0x82}, {0x07, 0x87}, {0x08, 0x83}, {0x09, 0x83},
    {0x0A, 0x83}, {0x0B, 0x82}, {0x0D, 0x82}, {0x0F, 0x82}, {0x1A, 0x83}, {0x1B, 0x83}, {0x32, 0x65},
    {0x33, 0x8D}, {0x34, 0x8D}, {0x35, 0x83}, {0x36, 0xE2}, {0x41, 0x83}, {0x42, 0x83}, {0x43, 0x83},
    {0x44, 0x83}, {0x45, 0x82}, {0x46, 0x82}, {0x47, 0x82}, {0x64, 0x83}, {0x67, 0x82}, {0x70, 0x82},
    {0x71, 0x82}, {0x72, 0xE3}, {0x7A, 0x83}, {0x7D, 0x82}, {0x7E, 0x83}, {0x80, 0x66}, {0x81, 0x64},
    {0x82, 0x64}, {0x83, 0x82}, {0x84, 0x65}, {0x85, 0x62}, {0x86, 0x64}, {0x87, 0x65}, {0x89, 0x82},
    {0x8A, 0xE2}, {0x8B, 0xE2}, {0x8C, 0x82}, {0x8D, 0x83}, {0x8E, 0x83}, {0x8F, 0x82}, {0x90, 0xA3},
    {0x91, 0x82}, {0x92, 0x86}, {0x93, 0x89}, {0x97, 0x90}, {0x99, 0x90}, {0x9A, 0x83}, {0x9D, 0x84},
    {0x9E, 0x83}, {0x9F, 0x82}, {0xA0, 0xE5}, {0xA1, 0x8D}, {0xA2, 0x8D}, {0xA3, 0x82}, {0xA4, 0x82},
    {0xA5, 0x82}, {0xA6, 0x66}, {0xA7, 0x64}, {0xA8, 0x67}, {0xC0, 0x82}, {0xC1, 0x82}, {0xC2, 0x82},
    {0xC3, 0x82}, {0xC4, 0x82}, {0xC5, 0x82}, {0xF8, 0x62}, {0xFF, 0x82}};

std::array<uint8_t, 256> msgSizes()
{
    std::array<uint8_t, 256> t{};
    for (const auto& [opcode, entry] : kMsgSizes)
        t[opcode] = entry;
    return t;
}

} // namespace

const std::array<uint8_t, 256> ite6805_cec_feture::cec_msg_size = msgSizes();

uint8_t ite6805_cec_feture::iTE6805_CEC_CMD_Check(int dev)
{
    const ite6805_cec_sys::Record& r = cec_.record(dev);
    const ite6805_cec_sys::Frame& f = r.cec_rx_frame;
    const uint8_t e = cec_msg_size[f.bytes[1]];
    bool good = (e & 0x1F) <= f.length && f.length >= 2 && f.length <= ite6805_cec_sys::kFrameSize;
    if (f.initiator != kBroadcast && f.initiator == r.cec_logical_address)
        good = false;  // our own frame
    if (f.destination != kBroadcast)
        return f.destination == r.cec_logical_address && (e == 0 || (e & 0x80)) && good ? 1 : 0;
    return (e == 0 || (e & 0x60)) && good ? 1 : 0;
}

void ite6805_cec_feture::iTE6805_CEC_INIT_CMD(uint8_t destination, int dev)
{
    ite6805_cec_sys::Record& r = cec_.record(dev);
    r.cec_tx_frame = ite6805_cec_sys::TxFrame{};
    r.cec_tx_frame.bytes[0] = static_cast<uint8_t>((r.cec_logical_address << 4) | (destination & 0x0F));
    r.cec_tx_frame.length = 1;
}

void ite6805_cec_feture::answer(uint8_t destination, uint8_t opcode, const uint8_t* operands, int n, int dev)
{
    iTE6805_CEC_INIT_CMD(destination, dev);
    ite6805_cec_sys::TxFrame& t = cec_.record(dev).cec_tx_frame;
    t.bytes[t.length++] = opcode;
    for (int i = 0; i < n; ++i)
        t.bytes[t.length++] = operands[i];
    cec_.drv().iTE6805_CEC_CMD_Ready_To_Fire(dev);
}

void ite6805_cec_feture::iTE6805_CEC_CMD_Feature_decode(int dev)
{
    const ite6805_cec_sys::Record& r = cec_.record(dev);
    const ite6805_cec_sys::Frame& f = r.cec_rx_frame;
    const uint8_t opcode = f.bytes[1];
    const uint8_t from = f.initiator;
    kelDebug("CEC rx opcode 0x%02X from %d to %d\n", opcode, from, f.destination);
    switch (opcode) {
    case 0x46: {  // Give OSD Name -> Set OSD Name (the fixed answer)
        const uint8_t name[] = {0x68, 0x05};
        answer(from, 0x47, name, 2, dev);
        break;
    }
    case 0x83: {  // Give Physical Address -> Report Physical Address, device type TV
        const uint8_t pa[] = {r.cec_phys_addr[1], r.cec_phys_addr[0], 0x00};
        answer(kBroadcast, 0x84, pa, 3, dev);
        break;
    }
    case 0x85: {  // Request Active Source -> Active Source
        const uint8_t pa[] = {r.cec_phys_addr[1], r.cec_phys_addr[0]};
        answer(kBroadcast, 0x82, pa, 2, dev);
        break;
    }
    case 0x8C: {  // Give Device Vendor ID -> Device Vendor ID
        const uint8_t id[] = {0x00, 0x00, 0x00};
        answer(kBroadcast, 0x87, id, 3, dev);
        break;
    }
    case 0x8F:  // Give Device Power Status -> Report Power Status
        answer(from, 0x90, &cec_power_status, 1, dev);
        break;
    case 0x9F: {  // Get CEC Version -> CEC Version 2.0
        const uint8_t version = 0x06;
        answer(from, 0x9E, &version, 1, dev);
        break;
    }
    case 0x0F: case 0x42: case 0xFF: {  // Feature Abort, reason Refused
        const uint8_t abort[] = {opcode, 0x04};
        answer(from, 0x00, abort, 2, dev);
        break;
    }
    default:
        break;
    }
}
