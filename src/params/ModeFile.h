#pragma once
#include <cstdint>
#include <functional>
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

    enum class Write { NotCreated, Failed, Written };
    // Creates the file, then runs prepare (which may change the slot) and
    // writes the first 4096 slot bytes. prepare runs only once the file
    // exists, so a mode that cannot be stored leaves its slot as it was.
    static Write write(unsigned slot, uint8_t* slotData, const std::function<void()>& prepare);
    // Reads up to 4096 bytes into the slot; false when it cannot be opened.
    static bool read(unsigned slot, uint8_t* slotData);
};
