#include "inputs/Drv_I2C0.h"

#include "platform/Board.h"
#include "platform/I2cBus.h"

#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

namespace {

// Open bus handles by descriptor: the descriptor is an index here, so a
// caller keeps a plain int as it would with open(2).
std::mutex g_lock;
std::vector<std::shared_ptr<kel::platform::I2cBus>> g_buses;

std::shared_ptr<kel::platform::I2cBus> busOf(int fd)
{
    std::lock_guard<std::mutex> l(g_lock);
    if (fd < 0 || static_cast<size_t>(fd) >= g_buses.size())
        return nullptr;
    return g_buses[fd];
}

} // namespace

Drv_I2C0* Drv_I2C0::p_drv_i2c0 = nullptr;

Drv_I2C0* Drv_I2C0::pInstance()
{
    static Drv_I2C0 instance;
    p_drv_i2c0 = &instance;
    return p_drv_i2c0;
}

int Drv_I2C0::initialize()
{
    std::shared_ptr<kel::platform::I2cBus> bus = kel::platform::Board::newI2c();
    if (!bus || !bus->open("/dev/i2c-0"))
        return -1;
    std::lock_guard<std::mutex> l(g_lock);
    for (size_t i = 0; i < g_buses.size(); ++i)
        if (!g_buses[i]) {
            g_buses[i] = bus;
            return static_cast<int>(i);
        }
    g_buses.push_back(bus);
    return static_cast<int>(g_buses.size() - 1);
}

void Drv_I2C0::release(int fd)
{
    std::lock_guard<std::mutex> l(g_lock);
    if (fd >= 0 && static_cast<size_t>(fd) < g_buses.size())
        g_buses[fd].reset();
}

int Drv_I2C0::i2c_write(int fd, uint8_t addr, uint8_t reg, const uint8_t* data, unsigned n)
{
    if (n > kMaxWrite || (n > 0 && !data))
        return 0;
    auto bus = busOf(fd);
    if (!bus)
        return 0;
    uint8_t buf[kMaxWrite + 1];
    buf[0] = reg;
    if (n > 0)
        std::memcpy(buf + 1, data, n);
    kel::platform::I2cMsg msg;
    msg.addr = addr >> 1;
    msg.flags = 0;
    msg.len = static_cast<uint16_t>(n + 1);
    msg.buf = buf;
    return bus->transfer(&msg, 1) >= 0 ? 1 : 0;
}

int Drv_I2C0::i2c_read(int fd, uint8_t addr, uint8_t reg, uint8_t* data, int n)
{
    if (n > kMaxRead || (n > 0 && !data))
        return 0;
    auto bus = busOf(fd);
    if (!bus)
        return 0;
    uint8_t regByte = reg;
    uint8_t staging[kMaxRead] = {};
    kel::platform::I2cMsg msgs[2];
    msgs[0].addr = addr >> 1;
    msgs[0].flags = 0;
    msgs[0].len = 1;
    msgs[0].buf = &regByte;
    msgs[1].addr = addr >> 1;
    msgs[1].flags = kel::platform::I2cMsg::kRead;
    msgs[1].len = static_cast<uint16_t>(n > 0 ? n : 0);
    msgs[1].buf = staging;
    if (bus->transfer(msgs, 2) < 0)
        return 0;
    if (n > 0)
        std::memcpy(data, staging, n);
    return 1;
}
