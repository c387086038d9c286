#pragma once
#include <cstdint>
#include <string>

// The files of one user mode under /data/modes: custom_modeN (the first
// 4096 slot bytes) and its OSD-menu copy MOxx.json (N as two lower-case hex
// digits), N = slot + 1.
class ModeFile {
public:
    static std::string path(unsigned slot);
    static std::string osdCopyPath(unsigned slot);
    // The shell texts the store runs for a mode (exact, with their blanks).
    static std::string copyOsdCommand(unsigned slot);
    static std::string removeCommand(unsigned slot);
    static std::string removeOsdCopyCommand(unsigned slot);

    // Writes the 4096 bytes; false when the file cannot be created or a
    // write or the close fails.
    static bool write(unsigned slot, const uint8_t* slotData);
    // Reads up to 4096 bytes into the slot; false when it cannot be opened.
    static bool read(unsigned slot, uint8_t* slotData);
};
