#pragma once
#include <cstdint>

// What the panel shows of the sixteen Ethernet output ports of FPGA 0:
// which ports have a link and the screen area loaded for each.
class OutputPorts {
public:
    static constexpr int kPorts = 16;

    struct Area {
        uint16_t x = 0, y = 0, w = 0, h = 0;
    };

    // The link mask (bit p: port p has a link); 0 without an FPGA manager
    // or while the FPGA does not run.
    static uint32_t linkMask();
    static bool portOnline(uint32_t mask, int port) { return port >= 0 && port < 32 && (mask >> port) & 1U; }
    // The area of a port from FPGA 0's parameter RAM image, each field
    // read byte by byte (some bases are odd); a port above 15 reads port 0.
    // All zero while there is no image.
    static Area area(int port);
};
