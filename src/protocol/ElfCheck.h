#pragma once
#include <cstddef>
#include <cstdint>

namespace kel::protocol {

// Whether an uploaded file is a program the device can start: the ELF
// magic, a known class and byte order, an executable type (ET_EXEC or
// ET_DYN), and, when a reference header is given, the class and machine of
// that reference (the running program's own on the device).
class ElfCheck {
public:
    static bool isProgram(const uint8_t* data, size_t size, const uint8_t* reference = nullptr,
                          size_t referenceSize = 0);
    // The check the device applies: on the real board the running program
    // is the reference; the simulated board takes any ELF executable.
    static bool runsHere(const uint8_t* data, size_t size);
};

} // namespace kel::protocol
