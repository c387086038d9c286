#pragma once
#include <cstdint>

namespace kel::platform::sim {

// One erase or page program a simulated flash carried out, for tests that
// check a writer's erase and write plan. An erase records the start of the
// unit it cleared and the unit's size; a program the address and the
// number of data bytes sent.
struct SimFlashOp {
    enum Kind : char { Erase = 'E', Program = 'P' };
    Kind kind;
    uint32_t addr;
    uint32_t len;
    bool operator==(const SimFlashOp& o) const { return kind == o.kind && addr == o.addr && len == o.len; }
};

} // namespace kel::platform::sim
