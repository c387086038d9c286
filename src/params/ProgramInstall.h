#pragma once
#include <cstdint>

// Puts a new program in place of the running one: the host upload and the
// USB-stick upgrade both leave it in kNewProgram and then run this. The
// device restart is the caller's to request.
class ProgramInstall {
public:
    static constexpr const char* kNewProgram = "/data/app/kelT57N2";
    static constexpr const char* kProgram = "/data/app/kelT57N";

    // "chmod 777 -R /data/app", a pause of pauseMs, the move of kNewProgram
    // over kProgram and, when writeStartEntry, the start entry in the load
    // configuration. True when the move succeeded.
    static bool run(bool writeStartEntry, uint32_t pauseMs = 0);
};
