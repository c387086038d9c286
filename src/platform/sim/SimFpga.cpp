#include "platform/sim/SimFpga.h"

#include "platform/FpgaBoardMap.h"
#include "platform/sim/SimRegisterMemory.h"

#include <QJsonArray>

namespace kel::platform::sim {
namespace {

constexpr uint8_t kTypeRam = 1;
constexpr uint8_t kTypeReg = 2;

// Registers whose content the FPGA drives itself: writes do not change them.
bool readOnly(uint8_t r)
{
    return r == 7 || r == 21 || (r >= 28 && r <= 31) || r == 40 || r == 42 || r == 43;
}

// Bits first set by the power-up and status sequence, as seen on the wire.
struct Milestone {
    uint8_t reg;
    uint8_t bit;
    const char* name;
};
constexpr Milestone kMilestones[] = {
    {3, 6, "vbo_s1"},       {3, 7, "vbo_s3"},      {23, 0, "vbo_s6"},
    {2, 3, "ram_loaded"},   {41, 0, "ram_reset"},  {23, 1, "status_handshake"},
    {23, 3, "status_done"}, {3, 5, "output_enabled"},
};

} // namespace

SimFpga::SimFpga(SimRegisterMemory& gpio, uint32_t csWord, uint32_t cmdWord, uint32_t resetWord)
    : gpio_(gpio), csWord_(csWord), cmdWord_(cmdWord), resetWord_(resetWord)
{
    powerOnState();
}

void SimFpga::powerOnState()
{
    regs_.fill(0);
    regs_[28] = 1;
    regs_[29] = 2;
    regs_[30] = 3;
    regs_[31] = knobs_.version31;
    regs_[40] = knobs_.reg40;
    ram_.clear();
    phase_ = Phase::None;
    reads22_ = 0;
}

void SimFpga::transfer(const uint8_t* tx, uint8_t* rx, size_t len)
{
    // The FPGA listens only while selected; the strobe tells the phase.
    if (FpgaBoardMap::isHigh(gpio_.peek(csWord_)))
        return;
    const bool cmdPhase = FpgaBoardMap::isHigh(gpio_.peek(cmdWord_));
    bool changed = false;
    ChangeHook hook;
    {
        std::lock_guard<std::mutex> l(lock_);
        hook = changeHook_;
        if (cmdPhase) {
            command(tx, len);
        } else {
            data(tx, rx, len);
            const size_t before = milestones_.size();
            noteMilestones();
            changed = litLocked() != wasLit_ || milestones_.size() != before;
            wasLit_ = litLocked();
        }
    }
    if (changed && hook)
        hook();
}

void SimFpga::command(const uint8_t* tx, size_t len)
{
    phase_ = Phase::None;
    if (len != 4)
        return;
    const uint32_t w = tx[0] | (tx[1] << 8) | (tx[2] << 16) | (uint32_t(tx[3]) << 24);
    const bool read = w & 1;
    const uint8_t type = (w >> 1) & 0x0F;
    if (type == kTypeReg) {
        target_ = (w >> 16) & 0xFF;
        mask_ = (w >> 24) & 0xFF;
        phase_ = read ? Phase::RegRead : Phase::RegWrite;
    } else if (type == kTypeRam) {
        target_ = (w >> 8) & 0xFF;
        addr_ = ((w >> 16) & 0xFF) | (((w >> 24) & 0x0F) << 8);
        phase_ = read ? Phase::RamRead : Phase::RamWrite;
    }
}

void SimFpga::data(const uint8_t* tx, uint8_t* rx, size_t len)
{
    const Phase phase = phase_;
    phase_ = Phase::None;
    if (len == 0)
        return;
    if (held_) {
        for (size_t i = 0; i < len; ++i)
            rx[i] = knobs_.resetReadValue;
        return;
    }
    switch (phase) {
    case Phase::RegRead:
        rx[0] = readReg(target_);
        break;
    case Phase::RegWrite:
        writeReg(target_, tx[0], mask_);
        break;
    case Phase::RamWrite: {
        auto& buf = buffer(target_);
        for (size_t i = 0; i < len; ++i) {
            if (addr_ + i >= kRamSize) {
                ++overruns_;
                break;
            }
            buf[addr_ + i] = tx[i];
        }
        break;
    }
    case Phase::RamRead: {
        const bool corrupt = target_ == 1 && knobs_.corruptEchoReads > 0;
        if (corrupt)
            --knobs_.corruptEchoReads;
        for (size_t i = 0; i < len; ++i) {
            if (addr_ + i >= kRamSize) {
                ++overruns_;
                break;
            }
            const uint8_t v = readRam(target_, addr_ + i);
            rx[i] = corrupt ? uint8_t(~v) : v;
        }
        break;
    }
    case Phase::None:
        break;
    }
}

uint8_t SimFpga::readReg(uint8_t r)
{
    if (r == 22) {
        ++reads22_;
        uint8_t v = regs_[22] & 0x60;
        if (knobs_.vboErrorReads > 0) {
            --knobs_.vboErrorReads;
            v |= 0x08;
        }
        if (reads22_ > knobs_.lockAfterReads)
            v |= 0x10;
        if (knobs_.videoPresent)
            v |= 0x80;
        return v;
    }
    if (r == 23 && knobs_.reg23Bit1Stuck)
        return regs_[23] | 0x02;
    if (r == 130 || r == 146)
        return 0; // strobes
    return regs_[r];
}

void SimFpga::writeReg(uint8_t r, uint8_t value, uint8_t mask)
{
    if (readOnly(r))
        return;
    regs_[r] = uint8_t((regs_[r] & ~mask) | (value & mask));
}

uint8_t SimFpga::readRam(uint8_t b, uint32_t addr) const
{
    if (b == 1 && addr >= kMeasureAddr && addr < kMeasureAddr + 8) {
        const uint8_t m[8] = {uint8_t(knobs_.width), uint8_t(knobs_.width >> 8),
                              uint8_t(knobs_.height), uint8_t(knobs_.height >> 8),
                              uint8_t(knobs_.count), uint8_t(knobs_.count >> 8),
                              uint8_t(knobs_.count >> 16), uint8_t(knobs_.count >> 24)};
        return m[addr - kMeasureAddr];
    }
    auto it = ram_.find(b);
    return it == ram_.end() ? 0 : it->second[addr];
}

std::vector<uint8_t>& SimFpga::buffer(uint8_t b)
{
    auto& buf = ram_[b];
    if (buf.empty())
        buf.assign(kRamSize, 0);
    return buf;
}

void SimFpga::noteMilestones()
{
    for (const auto& m : kMilestones)
        if (regs_[m.reg] & (1u << m.bit))
            milestones_.insert(m.name);
    if (litLocked())
        milestones_.insert("lit");
}

bool SimFpga::litLocked() const
{
    return !held_ && !(regs_[0] & 0x04) && (regs_[3] & 0x20);
}

void SimFpga::resetLine(bool high)
{
    ChangeHook hook;
    {
        std::lock_guard<std::mutex> l(lock_);
        hook = changeHook_;
        if (high == !held_)
            return;
        held_ = !high;
        if (high) {
            ++resets_;
            powerOnState();
        }
        wasLit_ = litLocked();
    }
    if (hook)
        hook();
}

SimFpga::Knobs SimFpga::knobs() const
{
    std::lock_guard<std::mutex> l(lock_);
    return knobs_;
}

void SimFpga::setKnobs(const Knobs& k)
{
    std::lock_guard<std::mutex> l(lock_);
    knobs_ = k;
    regs_[31] = k.version31;
    regs_[40] = k.reg40;
}

uint8_t SimFpga::reg(uint8_t r) const
{
    std::lock_guard<std::mutex> l(lock_);
    return regs_[r];
}

void SimFpga::setReg(uint8_t r, uint8_t value)
{
    std::lock_guard<std::mutex> l(lock_);
    regs_[r] = value;
}

std::vector<uint8_t> SimFpga::ram(uint8_t b, uint32_t addr, size_t len) const
{
    std::lock_guard<std::mutex> l(lock_);
    std::vector<uint8_t> out;
    for (size_t i = 0; i < len && addr + i < kRamSize; ++i)
        out.push_back(readRam(b, uint32_t(addr + i)));
    return out;
}

void SimFpga::setRam(uint8_t b, uint32_t addr, const std::vector<uint8_t>& bytes)
{
    std::lock_guard<std::mutex> l(lock_);
    auto& buf = buffer(b);
    for (size_t i = 0; i < bytes.size() && addr + i < kRamSize; ++i)
        buf[addr + i] = bytes[i];
}

void SimFpga::raiseEvent()
{
    std::lock_guard<std::mutex> l(lock_);
    regs_[22] |= 0x40;
}

bool SimFpga::irqLevel() const
{
    std::lock_guard<std::mutex> l(lock_);
    if (held_)
        return false;
    return (regs_[129] & 0x55) || (regs_[145] & 0x55) || (regs_[22] & 0x40);
}

int SimFpga::resets() const
{
    std::lock_guard<std::mutex> l(lock_);
    return resets_;
}

bool SimFpga::inReset() const
{
    std::lock_guard<std::mutex> l(lock_);
    return held_;
}

bool SimFpga::lit() const
{
    std::lock_guard<std::mutex> l(lock_);
    return litLocked();
}

int SimFpga::ramOverruns() const
{
    std::lock_guard<std::mutex> l(lock_);
    return overruns_;
}

std::set<std::string> SimFpga::milestones() const
{
    std::lock_guard<std::mutex> l(lock_);
    return milestones_;
}

void SimFpga::setChangeHook(ChangeHook hook)
{
    std::lock_guard<std::mutex> l(lock_);
    changeHook_ = std::move(hook);
}

QJsonObject SimFpga::state() const
{
    std::lock_guard<std::mutex> l(lock_);
    QJsonArray reached;
    for (const auto& m : milestones_)
        reached.append(QString::fromStdString(m));
    QJsonObject o;
    o["lit"] = litLocked();
    o["in_reset"] = held_;
    o["resets"] = resets_;
    o["screen_off"] = bool(regs_[0] & 0x04);
    o["output_enabled"] = bool(regs_[3] & 0x20);
    o["reg0"] = regs_[0];
    o["reg2"] = regs_[2];
    o["reg3"] = regs_[3];
    o["reg6_brightness"] = regs_[6];
    o["reg23"] = regs_[23];
    o["reached"] = reached;
    o["ram_overruns"] = overruns_;
    return o;
}

} // namespace kel::platform::sim
