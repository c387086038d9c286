#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kel::platform {

// Vendor and product id of one attached HID device.
struct HidDeviceId {
    uint16_t vendor;
    uint16_t product;
};

// The USB keypad through hidapi.
class HidService {
public:
    virtual ~HidService() = default;
    // hid_init(): false when the HID library cannot start.
    virtual bool init() { return true; }
    // Every attached HID device in the library's order (hid_enumerate(0, 0)).
    virtual std::vector<HidDeviceId> enumerate() { return {}; }
    // True when a device with this vendor/product id is attached.
    virtual bool present(uint16_t vendor, uint16_t product) = 0;
    // Opens the device and writes one output report; -1 on failure,
    // otherwise the bytes written.
    virtual int writeReport(uint16_t vendor, uint16_t product, const uint8_t* data, size_t len) = 0;
};

} // namespace kel::platform
