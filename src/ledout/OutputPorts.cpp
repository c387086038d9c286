#include "ledout/OutputPorts.h"

#include "ledout/LedGlobals.h"
#include "ledout/fpga_manage.h"

namespace {
uint16_t readU16(const uint8_t* image, uint16_t off)
{
    if (off + 1U >= kRamImageSize)
        return 0;
    return uint16_t(image[off] | (image[off + 1] << 8));
}
} // namespace

uint32_t OutputPorts::linkMask()
{
    fpga_manage* fpga = fpga_manage::p_fpga_manage;
    return fpga ? fpga->get_wlan_state() & 0xFFFFU : 0;
}

OutputPorts::Area OutputPorts::area(int port)
{
    Area a;
    const uint8_t* image = MCU_RAM_PARA_func[0];
    if (!image)
        return a;
    uint16_t x, y, w, h;
    fpga_manage::get_eth_param_addr(uint8_t(port >= 0 && port < kPorts ? port : 0), &x, &y, &w, &h);
    a.x = readU16(image, x);
    a.y = readU16(image, y);
    a.w = readU16(image, w);
    a.h = readU16(image, h);
    return a;
}
