#include "protocol/FpgaAddressMap.h"

namespace kel::protocol {
namespace {

// Indexed by FpgaImage.
constexpr uint32_t kImageSizes[] = {
    1024, // Para: MCU_RAM_PARA_func
    1024, // Cmd: MCU_RAM_CMD
    1024, // Extend: MCU_RAM_EXTEND
    1024, // Zoom: MCU_RAM_ZOOM
    2048, // Default: MCU_RAM_DEFAULT
    136,  // EthPara: MCU_RAM_ETH_PARA_func
    136,  // EthBack: MCU_RAM_ETH_BACK_PARA_func
};
static_assert(sizeof kImageSizes / sizeof kImageSizes[0] == size_t(FpgaImage::Count), "one size per image");

} // namespace

uint32_t FpgaAddressMap::imageSize(FpgaImage image)
{
    return image < FpgaImage::Count ? kImageSizes[size_t(image)] : 0;
}

bool FpgaAddressMap::locate(uint16_t target, uint32_t address, uint32_t n, Place& place)
{
    if (!isFpgaTarget(target) || address >> 24)
        return false;
    const uint32_t index = address >> 16;
    if (index >= uint32_t(FpgaImage::Count))
        return false;
    place.fpga = target == kFpgaTarget1 ? 1 : 0;
    place.image = FpgaImage(index);
    place.offset = address & 0xFFFF;
    return n <= imageSize(place.image) && place.offset <= imageSize(place.image) - n;
}

} // namespace kel::protocol
