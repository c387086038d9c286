#include "platform/sim/SimSpiBus.h"

#include "platform/sim/SimSpiChip.h"

#include <cstring>

namespace kel::platform::sim {

void SimSpiBus::attach(const std::string& devPath, SimSpiChip* chip)
{
    std::lock_guard<std::mutex> l(lock_);
    chips_[devPath] = chip;
}

void SimSpiBus::detach(const std::string& devPath)
{
    std::lock_guard<std::mutex> l(lock_);
    chips_.erase(devPath);
}

bool SimSpiBus::exists(const std::string& devPath) const
{
    std::lock_guard<std::mutex> l(lock_);
    return chips_.count(devPath) != 0;
}

bool SimSpiBus::transfer(const std::string& devPath, const uint8_t* tx, uint8_t* rx, size_t len)
{
    std::vector<uint8_t> txCopy(len, 0);
    if (tx && len)
        std::memcpy(txCopy.data(), tx, len);
    std::vector<uint8_t> rxBuf(len, 0);
    SimSpiChip* chip = nullptr;
    {
        std::lock_guard<std::mutex> l(lock_);
        auto f = failures_.find(devPath);
        if (f != failures_.end() && f->second > 0) {
            --f->second;
            return false;
        }
        auto it = chips_.find(devPath);
        if (it == chips_.end())
            return false;
        chip = it->second;
    }
    // A chip answers outside the bus lock so that it may drive GPIO lines.
    chip->transfer(txCopy.data(), rxBuf.data(), len);
    if (rx && len)
        std::memcpy(rx, rxBuf.data(), len);
    std::lock_guard<std::mutex> l(lock_);
    if (logging_ && log_.size() < 200000)
        log_.push_back(Transfer{devPath, std::move(txCopy), std::move(rxBuf)});
    return true;
}

void SimSpiBus::failNext(const std::string& devPath, int count)
{
    std::lock_guard<std::mutex> l(lock_);
    failures_[devPath] = count;
}

void SimSpiBus::setOpenFails(const std::string& devPath, bool fails)
{
    std::lock_guard<std::mutex> l(lock_);
    openFails_[devPath] = fails;
}

bool SimSpiBus::openFails(const std::string& devPath) const
{
    std::lock_guard<std::mutex> l(lock_);
    auto it = openFails_.find(devPath);
    return it != openFails_.end() && it->second;
}

void SimSpiBus::setLogging(bool on)
{
    std::lock_guard<std::mutex> l(lock_);
    logging_ = on;
}

std::vector<SimSpiBus::Transfer> SimSpiBus::log() const
{
    std::lock_guard<std::mutex> l(lock_);
    return log_;
}

void SimSpiBus::clearLog()
{
    std::lock_guard<std::mutex> l(lock_);
    log_.clear();
}

} // namespace kel::platform::sim
