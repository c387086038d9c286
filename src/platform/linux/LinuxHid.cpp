#include "platform/linux/LinuxHid.h"

#include <hidapi.h>

namespace kel::platform::linuxdev {

bool LinuxHid::init()
{
    return hid_init() == 0;
}

std::vector<HidDeviceId> LinuxHid::enumerate()
{
    std::vector<HidDeviceId> ids;
    hid_device_info* list = hid_enumerate(0, 0);
    for (hid_device_info* d = list; d; d = d->next)
        ids.push_back({d->vendor_id, d->product_id});
    hid_free_enumeration(list);
    return ids;
}

bool LinuxHid::present(uint16_t vendor, uint16_t product)
{
    if (hid_init() != 0)
        return false;
    hid_device_info* list = hid_enumerate(vendor, product);
    const bool found = list != nullptr;
    hid_free_enumeration(list);
    return found;
}

int LinuxHid::writeReport(uint16_t vendor, uint16_t product, const uint8_t* data, size_t len)
{
    hid_device* dev = hid_open(vendor, product, nullptr);
    if (!dev)
        return -1;
    int n = hid_write(dev, data, len);
    hid_close(dev);
    return n;
}

} // namespace kel::platform::linuxdev
