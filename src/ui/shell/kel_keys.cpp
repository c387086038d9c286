#include "ui/shell/kel_keys.h"

#include "platform/Board.h"
#include "platform/HidService.h"

#include <cstdio>

namespace {
constexpr uint16_t kKeypadVendor = 0x28E9;
constexpr uint16_t kKeypadProduct = 0x0380;
} // namespace

unsigned check_hiddev()
{
    kel::platform::HidService& hid = kel::platform::Board::hid();
    if (!hid.init()) {
        std::printf("\t hid init error ");
        std::fflush(stdout);
        return 0;
    }
    unsigned found = 0;
    for (const kel::platform::HidDeviceId& id : hid.enumerate()) {
        std::printf("\t VendorID = %02x , ProductID = %02x \n", id.vendor, id.product);
        if (id.vendor == kKeypadVendor && id.product == kKeypadProduct) {
            found = 1;
            break;
        }
    }
    std::printf("\t check_hiddev over");
    std::fflush(stdout);
    return found;
}
