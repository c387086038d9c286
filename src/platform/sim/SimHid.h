#pragma once
#include "platform/HidService.h"

#include <mutex>
#include <vector>

namespace kel::platform::sim {

// The simulated USB keypad: records every output report.
class SimHid : public HidService {
public:
    bool present(uint16_t vendor, uint16_t product) override;
    int writeReport(uint16_t vendor, uint16_t product, const uint8_t* data, size_t len) override;

    void setPresent(bool present);
    void setWriteFails(bool fails);
    std::vector<std::vector<uint8_t>> reports() const;
    void clearReports();

private:
    mutable std::mutex lock_;
    bool present_ = true;
    bool writeFails_ = false;
    std::vector<std::vector<uint8_t>> reports_;
};

} // namespace kel::platform::sim
