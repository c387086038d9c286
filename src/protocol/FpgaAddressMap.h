#pragma once
#include "protocol/ControllerPort.h"

#include <cstdint>

namespace kel::protocol {

// Where a RAM address of a request to an FPGA target lands: targets 0xF200
// and 0xF201 are FPGA 0 and 1, address bits 16-23 pick the image and bits
// 0-15 the offset inside it. Address plus length must stay inside the
// image.
class FpgaAddressMap {
public:
    static constexpr uint16_t kFpgaTarget0 = 0xF200;
    static constexpr uint16_t kFpgaTarget1 = 0xF201;

    struct Place {
        int fpga;
        FpgaImage image;
        uint32_t offset;
    };

    static bool isFpgaTarget(uint16_t target) { return target == kFpgaTarget0 || target == kFpgaTarget1; }
    static uint32_t imageSize(FpgaImage image);
    // False when the address names no image or the range leaves it.
    static bool locate(uint16_t target, uint32_t address, uint32_t n, Place& place);
};

} // namespace kel::protocol
