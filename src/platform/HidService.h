#pragma once
#include <cstddef>
#include <cstdint>

namespace kel::platform {

// The USB keypad through hidapi.
class HidService {
public:
    virtual ~HidService() = default;
    // True when a device with this vendor/product id is attached.
    virtual bool present(uint16_t vendor, uint16_t product) = 0;
    // Opens the device and writes one output report; -1 on failure,
    // otherwise the bytes written.
    virtual int writeReport(uint16_t vendor, uint16_t product, const uint8_t* data, size_t len) = 0;
};

} // namespace kel::platform
