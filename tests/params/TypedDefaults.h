#pragma once
#include <cstdint>
#include <vector>

namespace kel::test {

// The factory parameter block, bytes 0..4095, built row by row from the
// documented default table (typed in, not taken from the program's table).
// Bytes below 768 are zero.
std::vector<uint8_t> typedDefaultBlock();

// A fresh ram_device_info as the documented table describes it: marker
// 0xAA 0xAA, block bytes 768..4095, zeros up to 4096 bytes.
std::vector<uint8_t> typedDefaultFile();

} // namespace kel::test
