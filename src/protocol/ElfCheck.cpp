#include "protocol/ElfCheck.h"

#include "platform/Board.h"

#include <cstdio>

namespace kel::protocol {
namespace {

constexpr size_t kClass = 4;
constexpr size_t kData = 5;
constexpr size_t kType = 16;
constexpr size_t kMachine = 18;
constexpr uint16_t kExec = 2;
constexpr uint16_t kShared = 3;  // position-independent executables

uint16_t half(const uint8_t* h, size_t at)
{
    return h[kData] == 1 ? uint16_t(h[at] | (h[at + 1] << 8)) : uint16_t((h[at] << 8) | h[at + 1]);
}

bool wellFormed(const uint8_t* h, size_t size)
{
    if (size < 20 || h[0] != 0x7F || h[1] != 'E' || h[2] != 'L' || h[3] != 'F')
        return false;
    if ((h[kClass] != 1 && h[kClass] != 2) || (h[kData] != 1 && h[kData] != 2))
        return false;
    const size_t headerSize = h[kClass] == 1 ? 52 : 64;
    if (size < headerSize)
        return false;
    const uint16_t type = half(h, kType);
    return type == kExec || type == kShared;
}

} // namespace

bool ElfCheck::isProgram(const uint8_t* data, size_t size, const uint8_t* reference, size_t referenceSize)
{
    if (!data || !wellFormed(data, size))
        return false;
    if (!reference)
        return true;
    return wellFormed(reference, referenceSize) && data[kClass] == reference[kClass]
        && data[kData] == reference[kData] && half(data, kMachine) == half(reference, kMachine);
}

bool ElfCheck::runsHere(const uint8_t* data, size_t size)
{
    if (platform::Board::isSim())
        return isProgram(data, size);
    uint8_t self[64] = {};
    size_t got = 0;
    if (FILE* f = std::fopen("/proc/self/exe", "rb")) {
        got = std::fread(self, 1, sizeof self, f);
        std::fclose(f);
    }
    return isProgram(data, size, self, got);
}

} // namespace kel::protocol
