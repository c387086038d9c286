#pragma once
#include "platform/HidService.h"

namespace kel::platform::linuxdev {

// hidapi over hidraw.
class LinuxHid : public HidService {
public:
    bool init() override;
    std::vector<HidDeviceId> enumerate() override;
    bool present(uint16_t vendor, uint16_t product) override;
    int writeReport(uint16_t vendor, uint16_t product, const uint8_t* data, size_t len) override;
};

} // namespace kel::platform::linuxdev
