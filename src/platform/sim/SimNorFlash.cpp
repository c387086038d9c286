#include "platform/sim/SimNorFlash.h"

#include "platform/FpgaBoardMap.h"
#include "platform/sim/SimRegisterMemory.h"

#include <QString>

#include <algorithm>
#include <fstream>

namespace kel::platform::sim {
namespace {

constexpr uint8_t kWren = 0x06;
constexpr uint8_t kRdsr = 0x05;
constexpr uint8_t kWrsr = 0x01;
constexpr uint8_t kWrsr2 = 0x31;
constexpr uint8_t kErase4k = 0x20;
constexpr uint8_t kErase32k = 0x52;
constexpr uint8_t kErase64k = 0xD8;
constexpr uint8_t kProgram = 0x02;
constexpr uint8_t kFastRead = 0x0B;
constexpr uint8_t kReadUid = 0x4B;
constexpr uint32_t kPage = 256;

uint32_t address(const uint8_t* tx)
{
    return (uint32_t(tx[1]) << 16) | (uint32_t(tx[2]) << 8) | tx[3];
}

// Record regions of the board, reported in state.json.
struct Region {
    const char* name;
    uint32_t addr;
    uint32_t len;
};
constexpr Region kRegions[] = {
    {"fpga_param_record", 0x6C7000, 16},
    {"onoff_record", 0x6CD000, 50},
    {"brightness_record", 0x6CE000, 57},
    {"runtime_header", 0x6F3000, 3},
};

} // namespace

SimNorFlash::SimNorFlash(SimRegisterMemory& gpio, Select lines, std::string persistPath)
    : gpio_(gpio), lines_(lines), persistPath_(std::move(persistPath)), mem_(kSize, 0xFF)
{
    load();
}

bool SimNorFlash::selected() const
{
    return !FpgaBoardMap::isHigh(gpio_.peek(lines_.own)) && !FpgaBoardMap::isHigh(gpio_.peek(lines_.fpga0)) &&
           FpgaBoardMap::isHigh(gpio_.peek(lines_.fpga1));
}

void SimNorFlash::transfer(const uint8_t* tx, uint8_t* rx, size_t len)
{
    if (len == 0 || !selected())
        return;
    uint32_t changedAddr = 0, changedLen = 0;
    ChangeHook hook;
    {
        std::lock_guard<std::mutex> l(lock_);
        hook = changeHook_;
        command(tx, rx, len, changedAddr, changedLen);
        if (changedLen)
            persist(changedAddr, changedLen);
    }
    if (changedLen && hook)
        hook(changedAddr, changedLen);
}

void SimNorFlash::command(const uint8_t* tx, uint8_t* rx, size_t len, uint32_t& changedAddr, uint32_t& changedLen)
{
    const uint8_t op = tx[0];
    if (op == kRdsr) {
        const bool busy = stuck_ || busyLeft_ > 0;
        if (busyLeft_ > 0)
            --busyLeft_;
        if (len > 1)
            rx[1] = uint8_t((busy ? 1 : 0) | (wel_ ? 2 : 0));
        return;
    }
    if (stuck_ || busyLeft_ > 0) {
        ++ignored_;
        return;
    }
    switch (op) {
    case kWren:
        wel_ = true;
        break;
    case kWrsr:
    case kWrsr2:
        statusWrites_.emplace_back(tx, tx + len);
        wel_ = false;
        break;
    case kErase4k:
    case kErase32k:
    case kErase64k: {
        if (!wel_ || len < 4)
            break;
        const uint32_t unit = op == kErase4k ? 0x1000 : op == kErase32k ? 0x8000 : 0x10000;
        const uint32_t base = address(tx) & ~(unit - 1);
        erase(base, unit);
        changedAddr = base;
        changedLen = unit;
        break;
    }
    case kProgram:
        if (!wel_ || len < 4)
            break;
        program(address(tx), tx + 4, len - 4);
        changedAddr = address(tx) & ~(kPage - 1);
        changedLen = kPage;
        break;
    case kFastRead:
        for (size_t i = 5; i < len; ++i)
            rx[i] = mem_[(address(tx) + (i - 5)) % kSize];
        break;
    case kReadUid:
        for (size_t i = 5; i < len && i < 13; ++i)
            rx[i] = uid_[i - 5];
        break;
    default:
        break;
    }
}

void SimNorFlash::erase(uint32_t base, uint32_t unit)
{
    if (powerLeft_ != 0)
        std::fill(mem_.begin() + base, mem_.begin() + base + unit, 0xFF);
    wel_ = false;
    busyLeft_ = busyPolls_;
    ++erases_;
    ops_.push_back({SimFlashOp::Erase, base, unit});
}

void SimNorFlash::program(uint32_t addr, const uint8_t* data, size_t n)
{
    ops_.push_back({SimFlashOp::Program, addr, uint32_t(n)});
    const uint32_t page = addr & ~(kPage - 1);
    uint32_t offset = addr & (kPage - 1);
    // More than a page of data: only the last 256 bytes stay, as on the chip.
    if (n > kPage) {
        offset = uint32_t((offset + n - kPage) % kPage);
        data += n - kPage;
        n = kPage;
    }
    if (powerLeft_ >= 0) {
        const size_t reach = size_t(std::min<int64_t>(powerLeft_, int64_t(n)));
        powerLeft_ -= int64_t(reach);
        n = reach;
    }
    for (size_t i = 0; i < n; ++i)
        mem_[page + ((offset + i) % kPage)] &= data[i];
    wel_ = false;
    busyLeft_ = busyPolls_;
    ++programs_;
}

void SimNorFlash::persist(uint32_t addr, uint32_t len) const
{
    if (persistPath_.empty())
        return;
    std::fstream f(persistPath_, std::ios::in | std::ios::out | std::ios::binary);
    if (!f) {
        std::ofstream create(persistPath_, std::ios::binary);
        create.write(reinterpret_cast<const char*>(mem_.data()), mem_.size());
        return;
    }
    f.seekp(addr);
    f.write(reinterpret_cast<const char*>(mem_.data() + addr), len);
}

void SimNorFlash::load()
{
    if (persistPath_.empty())
        return;
    std::ifstream f(persistPath_, std::ios::binary);
    if (f)
        f.read(reinterpret_cast<char*>(mem_.data()), mem_.size());
}

void SimNorFlash::setBusyPolls(int polls)
{
    std::lock_guard<std::mutex> l(lock_);
    busyPolls_ = polls;
}

void SimNorFlash::setStuckBusy(bool stuck)
{
    std::lock_guard<std::mutex> l(lock_);
    stuck_ = stuck;
}

void SimNorFlash::setPowerCut(int64_t bytes)
{
    std::lock_guard<std::mutex> l(lock_);
    powerLeft_ = bytes < 0 ? -1 : bytes;
}

void SimNorFlash::setUid(const std::array<uint8_t, 8>& uid)
{
    std::lock_guard<std::mutex> l(lock_);
    uid_ = uid;
}

std::vector<uint8_t> SimNorFlash::read(uint32_t addr, size_t len) const
{
    std::lock_guard<std::mutex> l(lock_);
    if (addr >= kSize)
        return {};
    len = std::min<size_t>(len, kSize - addr);
    return std::vector<uint8_t>(mem_.begin() + addr, mem_.begin() + addr + len);
}

void SimNorFlash::preload(uint32_t addr, const std::vector<uint8_t>& bytes)
{
    std::lock_guard<std::mutex> l(lock_);
    for (size_t i = 0; i < bytes.size() && addr + i < kSize; ++i)
        mem_[addr + i] = bytes[i];
    if (addr < kSize)
        persist(addr, uint32_t(std::min<size_t>(bytes.size(), kSize - addr)));
}

bool SimNorFlash::writeEnabled() const
{
    std::lock_guard<std::mutex> l(lock_);
    return wel_;
}

int SimNorFlash::programs() const
{
    std::lock_guard<std::mutex> l(lock_);
    return programs_;
}

std::vector<SimFlashOp> SimNorFlash::ops() const
{
    std::lock_guard<std::mutex> l(lock_);
    return ops_;
}

void SimNorFlash::clearOps()
{
    std::lock_guard<std::mutex> l(lock_);
    ops_.clear();
}

int SimNorFlash::erases() const
{
    std::lock_guard<std::mutex> l(lock_);
    return erases_;
}

std::vector<std::vector<uint8_t>> SimNorFlash::statusWrites() const
{
    std::lock_guard<std::mutex> l(lock_);
    return statusWrites_;
}

int SimNorFlash::ignoredWhileBusy() const
{
    std::lock_guard<std::mutex> l(lock_);
    return ignored_;
}

void SimNorFlash::setChangeHook(ChangeHook hook)
{
    std::lock_guard<std::mutex> l(lock_);
    changeHook_ = std::move(hook);
}

QJsonObject SimNorFlash::state() const
{
    std::lock_guard<std::mutex> l(lock_);
    QJsonObject o;
    for (const auto& r : kRegions) {
        QJsonObject rec;
        rec["present"] = mem_[r.addr] == 0xAA;
        rec["head"] = QString::fromLatin1(
            QByteArray(reinterpret_cast<const char*>(mem_.data() + r.addr), int(r.len)).toHex(' '));
        o[r.name] = rec;
    }
    o["programs"] = programs_;
    o["erases"] = erases_;
    return o;
}

} // namespace kel::platform::sim
