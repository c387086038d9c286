#include "platform/sim/SimI2cBus.h"

#include "platform/sim/SimI2cDevice.h"

namespace kel::platform::sim {

void SimI2cBus::attach(uint16_t addr, SimI2cDevice* device)
{
    std::lock_guard<std::recursive_mutex> l(lock_);
    devices_[addr] = device;
}

void SimI2cBus::detach(uint16_t addr)
{
    std::lock_guard<std::recursive_mutex> l(lock_);
    devices_.erase(addr);
}

SimI2cDevice* SimI2cBus::at(uint16_t addr) const
{
    std::lock_guard<std::recursive_mutex> l(lock_);
    auto it = devices_.find(addr);
    return it == devices_.end() ? nullptr : it->second;
}

void SimI2cBus::setRouter(Router router)
{
    std::lock_guard<std::recursive_mutex> l(lock_);
    router_ = std::move(router);
}

SimI2cDevice* SimI2cBus::route(uint16_t addr) const
{
    if (router_) {
        if (SimI2cDevice* d = router_(addr))
            return d;
    }
    return at(addr);
}

int SimI2cBus::transfer(I2cMsg* msgs, int count)
{
    if (!msgs || count <= 0)
        return -1;
    // The bus is one wire: a whole combined transfer runs under the lock.
    std::lock_guard<std::recursive_mutex> l(lock_);
    int i = 0;
    while (i < count) {
        const uint16_t addr = msgs[i].addr;
        int run = 1;
        while (i + run < count && msgs[i + run].addr == addr)
            ++run;
        auto f = failures_.find(addr);
        if (f != failures_.end() && f->second > 0) {
            --f->second;
            return -1;
        }
        SimI2cDevice* dev = route(addr);
        if (!dev || !dev->transfer(msgs + i, run))
            return -1;
        if (logging_ && log_.size() < 200000)
            for (int k = i; k < i + run; ++k)
                log_.push_back(Message{addr, (msgs[k].flags & I2cMsg::kRead) != 0,
                                       std::vector<uint8_t>(msgs[k].buf, msgs[k].buf + msgs[k].len)});
        i += run;
    }
    return count;
}

void SimI2cBus::failNext(uint16_t addr, int count)
{
    std::lock_guard<std::recursive_mutex> l(lock_);
    failures_[addr] = count;
}

void SimI2cBus::setLogging(bool on)
{
    std::lock_guard<std::recursive_mutex> l(lock_);
    logging_ = on;
}

std::vector<SimI2cBus::Message> SimI2cBus::log() const
{
    std::lock_guard<std::recursive_mutex> l(lock_);
    return log_;
}

void SimI2cBus::clearLog()
{
    std::lock_guard<std::recursive_mutex> l(lock_);
    log_.clear();
}

} // namespace kel::platform::sim
