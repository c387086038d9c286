#pragma once
// Byte builders for the card files the recovery reader and the card
// procedures read: raw little-endian pokes, a whole recovery file from a
// description of its screens, ports, cards and operations, and a
// smart-mapping file from one operation list.
#include <cstdint>
#include <string>
#include <vector>

namespace kel::test {

using FileBytes = std::vector<uint8_t>;

void putLe(FileBytes& b, size_t at, uint32_t value, int size);

struct OpSpec {
    uint8_t type = 1;
    uint8_t target = 1;
    uint32_t targetAddr = 0;
    uint32_t timeticks = 100;
    std::vector<uint8_t> data;
};
struct CardSpec {
    std::vector<OpSpec> ops;
};
struct PortSpec {
    uint16_t net_ledx = 0;
    std::vector<CardSpec> cards;
};
struct ScreenSpec {
    uint32_t config_id = 0;
    std::vector<PortSpec> ports;
    std::vector<OpSpec> smartOps;   // operation block in the smart-debugging section
};

FileBytes recoveryFile(const std::vector<ScreenSpec>& screens);
FileBytes smartMappingFile(const std::vector<OpSpec>& ops);
// Writes bytes to the host path of a logical path (folders made).
void writeFile(const std::string& logical, const FileBytes& bytes);

} // namespace kel::test
