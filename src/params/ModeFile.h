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
    // Runs prepare (which may change the slot) once the folder is known to
    // take the file, then replaces the file atomically with the first 4096
    // slot bytes; a mode that cannot be stored leaves its slot as it was.
    static Write write(unsigned slot, uint8_t* slotData, const std::function<void()>& prepare);
    enum class Read { Missing, Unreadable, Loaded };
    // Reads the 4096 bytes into the slot. A file that exists but cannot be
    // opened or is shorter is Unreadable and leaves the slot unchanged.
    static Read read(unsigned slot, uint8_t* slotData);
};
