#pragma once
#include "platform/I2cBus.h"

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace kel::platform::sim {

class SimI2cDevice;

// One simulated i2c-dev adapter. Devices register at an address; a router
// may replace the lookup (an I2C switch that selects channels installs one).
class SimI2cBus {
public:
    using Router = std::function<SimI2cDevice*(uint16_t addr)>;
    struct Message {
        uint16_t addr;
        bool read;
        std::vector<uint8_t> data;
    };

    void attach(uint16_t addr, SimI2cDevice* device);
    void detach(uint16_t addr);
    SimI2cDevice* at(uint16_t addr) const;
    void setRouter(Router router);

    int transfer(I2cMsg* msgs, int count);

    // Fault injection: the next n transfers to addr fail (NACK).
    void failNext(uint16_t addr, int count);
    void setLogging(bool on);
    std::vector<Message> log() const;
    void clearLog();

private:
    SimI2cDevice* route(uint16_t addr) const;

    mutable std::recursive_mutex lock_;
    std::map<uint16_t, SimI2cDevice*> devices_;
    Router router_;
    std::map<uint16_t, int> failures_;
    std::vector<Message> log_;
    bool logging_ = false;
};

} // namespace kel::platform::sim
