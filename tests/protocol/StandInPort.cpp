#include "StandInPort.h"

#include "ledout/fpga_manage.h"

#include <cstring>

namespace kel::test {

StandInPort::StandInPort()
    : flash(0x800000, 0xFF)
{
}

void StandInPort::record(const std::string& event)
{
    std::lock_guard<std::mutex> l(lock);
    events_.push_back(event);
}

std::vector<int> StandInPort::announcements() const
{
    std::lock_guard<std::mutex> l(const_cast<std::mutex&>(lock));
    return announced_;
}

std::vector<std::string> StandInPort::events() const
{
    std::lock_guard<std::mutex> l(const_cast<std::mutex&>(lock));
    return events_;
}

uint8_t StandInPort::writeRamBlock(uint32_t address, const uint8_t* data, uint32_t n)
{
    std::lock_guard<std::mutex> l(lock);
    if (address + n > block.size())
        return 1;
    std::memcpy(block.data() + address, data, n);
    return 0;
}

bool StandInPort::readRamBlock(uint32_t address, uint8_t* out, uint32_t n)
{
    std::lock_guard<std::mutex> l(lock);
    std::memcpy(out, block.data() + address, n);
    return true;
}

uint8_t StandInPort::writeUserMode(uint32_t mode, uint32_t offset, const uint8_t* data, uint32_t n)
{
    std::lock_guard<std::mutex> l(lock);
    if (mode < 1 || mode > 16 || offset + n > 4098)
        return 1;
    std::memcpy(modeSlots[mode - 1].data() + offset, data, n);
    return 0;
}

bool StandInPort::readUserMode(uint32_t mode, uint32_t offset, uint8_t* out, uint32_t n)
{
    std::lock_guard<std::mutex> l(lock);
    if (mode < 1 || mode > 16)
        return false;
    std::memcpy(out, modeSlots[mode - 1].data() + offset, n);
    return true;
}

uint8_t StandInPort::readRegister(uint32_t reg)
{
    std::lock_guard<std::mutex> l(lock);
    return regs[reg];
}

void StandInPort::writeRegister(uint32_t reg, uint8_t value)
{
    std::lock_guard<std::mutex> l(lock);
    regs[reg] = value;
}

void StandInPort::requestApply(uint8_t value)
{
    applyFlag = value;
    record("apply " + std::to_string(value));
}

void StandInPort::announce(int reason)
{
    std::lock_guard<std::mutex> l(lock);
    announced_.push_back(reason);
    events_.push_back("announce " + std::to_string(reason) + " flag " + std::to_string(update.load()));
}

bool StandInPort::fpgaImageWrite(int fpga, protocol::FpgaImage image, uint32_t offset, const uint8_t* data, uint32_t n)
{
    std::lock_guard<std::mutex> l(lock);
    std::memcpy(images[size_t(fpga) * 7 + size_t(image)].data() + offset, data, n);
    return true;
}

bool StandInPort::fpgaImageRead(int fpga, protocol::FpgaImage image, uint32_t offset, uint8_t* out, uint32_t n)
{
    std::lock_guard<std::mutex> l(lock);
    std::memcpy(out, images[size_t(fpga) * 7 + size_t(image)].data() + offset, n);
    return true;
}

bool StandInPort::flashRead(uint32_t address, uint8_t* out, uint32_t n)
{
    std::lock_guard<std::mutex> l(lock);
    std::memcpy(out, flash.data() + address, n);
    return true;
}

bool StandInPort::flashWrite(uint32_t address, const uint8_t* data, uint32_t n)
{
    std::lock_guard<std::mutex> l(lock);
    std::memcpy(flash.data() + address, data, n);
    return true;
}

// The controller's own reading of route and port (protocol section 4.1).
uint8_t StandInPort::cardPortOf(const uint8_t* frame, uint32_t n) { return fpga_manage::pc_request_port(frame, n); }

// Called with senderLock held: one claim at a time takes a grant.
bool StandInPort::grantClaim()
{
    ++claims;
    if (cardPathFree)
        return true;
    if (claimGrants.load() <= 0)
        return false;
    --claimGrants;
    return true;
}

void StandInPort::forwardToCards(const uint8_t* frame, uint32_t n)
{
    std::lock_guard<std::mutex> l(lock);
    forwarded.assign(frame, frame + n);
    ++forwardedCount;
}

void StandInPort::serviceCardIrq()
{
    ++irqServices;
    if (onIrq)
        onIrq();
}

void StandInPort::markHostFrame()
{
    pcCmdValid = 1;
    pcCmdTime = tickCount.load();
}

void StandInPort::setEdidTable(int input, const uint8_t* edid256)
{
    std::lock_guard<std::mutex> l(lock);
    std::memcpy(edid[size_t(input)].data(), edid256, 256);
    edidFrom[size_t(input)] = 1;
}

void StandInPort::storeNetwork(const QString& ip, const QString& mask, const QString& gateway)
{
    record(("network " + ip + " " + mask + " " + gateway).toStdString());
}

void StandInPort::storeConfig(int key, const QString& value)
{
    record("config " + std::to_string(key) + " " + value.toStdString());
}

void StandInPort::setSystemClock(const protocol::ClockValue& v)
{
    record("clock " + std::to_string(v.year) + "-" + std::to_string(v.month) + "-" + std::to_string(v.day) + " "
           + std::to_string(v.hour) + ":" + std::to_string(v.minute) + ":" + std::to_string(v.second));
}

void StandInPort::setUpdateFlag(uint8_t value)
{
    update = value;
    record("update flag " + std::to_string(value));
}

} // namespace kel::test
