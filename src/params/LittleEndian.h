#pragma once
#include <cstddef>
#include <cstdint>

// Little-endian fields in byte buffers: the control frames, the card frames
// and the stored files all keep their numbers low byte first.
namespace LittleEndian {
inline uint16_t u16At(const uint8_t* p, size_t at) { return uint16_t(p[at] | (p[at + 1] << 8)); }
inline uint32_t u32At(const uint8_t* p, size_t at)
{
    return uint32_t(p[at]) | uint32_t(p[at + 1]) << 8 | uint32_t(p[at + 2]) << 16 | uint32_t(p[at + 3]) << 24;
}
inline void putU16(uint8_t* p, size_t at, uint16_t v)
{
    p[at] = uint8_t(v);
    p[at + 1] = uint8_t(v >> 8);
}
inline void putU32(uint8_t* p, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[at + i] = uint8_t(v >> (8 * i));
}
}  // namespace LittleEndian
