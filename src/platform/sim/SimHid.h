#pragma once
#include "platform/HidService.h"

#include <mutex>
#include <vector>

namespace kel::platform::sim {

// The simulated USB keypad: records every output report.
class SimHid : public HidService {
public:
    bool init() override;
    // The scripted device list; by default the keypad alone while present.
    std::vector<HidDeviceId> enumerate() override;
    bool present(uint16_t vendor, uint16_t product) override;
    int writeReport(uint16_t vendor, uint16_t product, const uint8_t* data, size_t len) override;

    void setPresent(bool present);
    void setWriteFails(bool fails);
    void setInitFails(bool fails);
    // Replaces the default list (the keypad while present) with this one.
    void setDevices(const std::vector<HidDeviceId>& devices);
    std::vector<std::vector<uint8_t>> reports() const;
    void clearReports();

private:
    mutable std::mutex lock_;
    bool present_ = true;
    bool writeFails_ = false;
    bool initFails_ = false;
    bool scripted_ = false;
    std::vector<HidDeviceId> devices_;
    std::vector<std::vector<uint8_t>> reports_;
};

} // namespace kel::platform::sim
