#include "platform/sim/SimHid.h"

namespace kel::platform::sim {

namespace {
constexpr uint16_t kVendor = 0x28E9;
constexpr uint16_t kProduct = 0x0380;
}

bool SimHid::init()
{
    std::lock_guard<std::mutex> l(lock_);
    return !initFails_;
}

std::vector<HidDeviceId> SimHid::enumerate()
{
    std::lock_guard<std::mutex> l(lock_);
    if (scripted_)
        return devices_;
    if (present_)
        return {HidDeviceId{kVendor, kProduct}};
    return {};
}

void SimHid::setInitFails(bool fails)
{
    std::lock_guard<std::mutex> l(lock_);
    initFails_ = fails;
}

void SimHid::setDevices(const std::vector<HidDeviceId>& devices)
{
    std::lock_guard<std::mutex> l(lock_);
    scripted_ = true;
    devices_ = devices;
}

bool SimHid::present(uint16_t vendor, uint16_t product)
{
    std::lock_guard<std::mutex> l(lock_);
    return present_ && vendor == kVendor && product == kProduct;
}

int SimHid::writeReport(uint16_t vendor, uint16_t product, const uint8_t* data, size_t len)
{
    std::lock_guard<std::mutex> l(lock_);
    if (!present_ || writeFails_ || vendor != kVendor || product != kProduct)
        return -1;
    reports_.emplace_back(data, data + len);
    return static_cast<int>(len);
}

void SimHid::setPresent(bool present)
{
    std::lock_guard<std::mutex> l(lock_);
    present_ = present;
}

void SimHid::setWriteFails(bool fails)
{
    std::lock_guard<std::mutex> l(lock_);
    writeFails_ = fails;
}

std::vector<std::vector<uint8_t>> SimHid::reports() const
{
    std::lock_guard<std::mutex> l(lock_);
    return reports_;
}

void SimHid::clearReports()
{
    std::lock_guard<std::mutex> l(lock_);
    reports_.clear();
}

} // namespace kel::platform::sim
