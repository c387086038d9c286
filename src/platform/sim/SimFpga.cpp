#include "platform/sim/SimFpga.h"

#include "platform/FpgaBoardMap.h"
#include "platform/sim/SimCardChain.h"
#include "platform/sim/SimRegisterMemory.h"

#include <QJsonArray>

namespace kel::platform::sim {
namespace {

constexpr uint8_t kTypeRam = 1;
constexpr uint8_t kTypeReg = 2;

constexpr uint8_t kRegLink[2] = {128, 144};
constexpr uint8_t kRegStatus[2] = {129, 145};
constexpr uint8_t kRegStrobe[2] = {130, 146};
constexpr uint8_t kRegSelect[2] = {132, 148};
constexpr uint8_t kRxLow[8] = {24, 133, 135, 137, 149, 150, 151, 152};
constexpr uint8_t kRxHigh[2] = {25, 153};
constexpr uint8_t kTxLow[8] = {26, 134, 136, 138, 154, 155, 156, 157};
constexpr uint8_t kTxHigh[2] = {27, 158};
constexpr size_t kSentKept = 64;

bool rxLength(uint8_t r)
{
    for (uint8_t low : kRxLow)
        if (r == low)
            return true;
    return r == kRxHigh[0] || r == kRxHigh[1];
}

// Registers whose content the FPGA drives itself: writes do not change them.
bool readOnly(uint8_t r)
{
    return r == 7 || r == 21 || (r >= 28 && r <= 31) || r == 40 || r == 42 || r == 43 || r == kRegLink[0] ||
           r == kRegLink[1] || r == kRegStatus[0] || r == kRegStatus[1] || rxLength(r);
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
    reads40_ = 0;
    for (auto& f : inFlight_)
        f.clear();
    for (auto& w : waiting_)
        w = {};
    rxFull_.fill(false);
    txBusy_.fill(0);
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
            const bool paraWrite = phase_ == Phase::RamWrite && target_ == 1;
            data(tx, rx, len);
            const size_t before = milestones_.size();
            noteMilestones();
            changed = litLocked() != wasLit_ || milestones_.size() != before || chainTouched_;
            chainTouched_ = false;
            if (paraWrite && portCards() != portCardsSeen_) {
                portCardsSeen_ = portCards();
                changed = true;
            }
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
    if (r == kRegStrobe[0] || r == kRegStrobe[1])
        return 0;
    if (r == kRegLink[0] || r == kRegLink[1])
        return uint8_t(regs_[r] | linkBits(r == kRegLink[1]));
    if (r == kRegStatus[0] || r == kRegStatus[1])
        return statusRead(r == kRegStatus[1]);
    if (r == 40) {
        const bool bad = (reads40_++ % 8) < knobs_.reg40BadOf8;
        return bad ? uint8_t(regs_[40] & ~0x08) : regs_[40];
    }
    return regs_[r];
}

void SimFpga::writeReg(uint8_t r, uint8_t value, uint8_t mask)
{
    if (r == kRegStrobe[0] || r == kRegStrobe[1]) {
        strobe(r == kRegStrobe[1], uint8_t(value & mask));
        return;
    }
    if (readOnly(r))
        return;
    regs_[r] = uint8_t((regs_[r] & ~mask) | (value & mask));
}

uint8_t SimFpga::linkBits(int group) const
{
    uint8_t bits = 0;
    for (int i = 0; i < 8; ++i) {
        const SimCardChain* c = chains_[size_t(8 * group + i)];
        if (c && c->linked())
            bits |= uint8_t(1u << i);
    }
    return bits;
}

// Busy bits count down with each read; answers due arrive.
uint8_t SimFpga::statusRead(int group)
{
    ageAnswers();
    uint8_t v = regs_[kRegStatus[group]];
    for (int k = 0; k < 4; ++k) {
        int& busy = txBusy_[size_t(4 * group + k)];
        if (busy != 0)
            v |= uint8_t(2u << (2 * k));
        if (busy > 0)
            --busy;
    }
    return v;
}

void SimFpga::strobe(int group, uint8_t bits)
{
    for (int k = 0; k < 4; ++k) {
        const int pair = 4 * group + k;
        if (bits & (1u << k)) {
            regs_[kRegStatus[group]] &= uint8_t(~(1u << (2 * k)));
            rxFull_[size_t(pair)] = false;
            showNextWaiting(pair);
        }
        if (bits & (0x10u << k))
            transmit(pair);
    }
}

void SimFpga::transmit(int pair)
{
    const int group = pair / 4, k = pair % 4;
    const uint8_t select = uint8_t((regs_[kRegSelect[group]] >> (2 * k)) & 3);
    if (!select)
        return;
    const int port = 8 * group + 2 * k + ((select & 1) ? 0 : 1);
    const size_t len = ((size_t((regs_[kTxHigh[group]] >> (2 * k)) & 3) << 8) | regs_[kTxLow[pair]]) + 1;
    auto& buf = buffer(uint8_t(3 + 2 * pair));
    std::vector<uint8_t> frame(buf.begin(), buf.begin() + long(len));
    auto& log = sent_[size_t(port)];
    if (log.size() >= kSentKept)
        log.erase(log.begin());
    log.push_back(frame);
    txBusy_[size_t(pair)] = knobs_.txStuckBusy ? -1 : knobs_.txBusyPolls;
    SimCardChain* chain = chains_[size_t(port)];
    if (!chain || !chain->linked())
        return;
    // The periodic search changes nothing worth reporting; other frames do.
    chainTouched_ = chainTouched_ || frame.size() < 6 || frame[5] != 0xAA;
    auto& flying = inFlight_[size_t(pair)];
    for (auto& a : chain->receive(frame)) {
        if (a.delayPolls <= 0)
            arrive(pair, port % 2, std::move(a.bytes));
        else if (flying.size() < kInFlightMax)
            flying.push_back(InFlight{std::move(a.bytes), a.delayPolls, port % 2});
        else
            ++lost_;
    }
}

void SimFpga::ageAnswers()
{
    for (int pair = 0; pair < 8; ++pair) {
        auto& flying = inFlight_[size_t(pair)];
        for (auto it = flying.begin(); it != flying.end();) {
            if (--it->delayPolls > 0) {
                ++it;
                continue;
            }
            arrive(pair, it->side, std::move(it->bytes));
            it = flying.erase(it);
        }
    }
}

// The buffer takes an answer only while empty: the port's receiver keeps
// the newest one meanwhile.
void SimFpga::arrive(int pair, int side, std::vector<uint8_t> bytes)
{
    if (!rxFull_[size_t(pair)]) {
        show(pair, bytes);
        return;
    }
    Waiting& w = waiting_[size_t(pair)][size_t(side)];
    if (w.held)
        ++lost_;
    w = Waiting{std::move(bytes), ++arrivals_, true};
}

void SimFpga::showNextWaiting(int pair)
{
    auto& sides = waiting_[size_t(pair)];
    Waiting* next = nullptr;
    for (Waiting& w : sides)
        if (w.held && (!next || w.arrived < next->arrived))
            next = &w;
    if (!next)
        return;
    show(pair, next->bytes);
    *next = Waiting{};
}

// Into RX buffer 2 + 2p with the length (minus one, bits 8-9 beside) and
// the pair's full bit.
void SimFpga::show(int pair, const std::vector<uint8_t>& bytes)
{
    const int group = pair / 4, k = pair % 4;
    const size_t n = std::min(bytes.size(), size_t(1024));
    auto& buf = buffer(uint8_t(2 + 2 * pair));
    std::copy(bytes.begin(), bytes.begin() + long(n), buf.begin());
    const size_t lm1 = n - 1;
    regs_[kRxLow[pair]] = uint8_t(lm1);
    regs_[kRxHigh[group]] = uint8_t((regs_[kRxHigh[group]] & ~(3u << (2 * k))) | (((lm1 >> 8) & 3) << (2 * k)));
    regs_[kRegStatus[group]] |= uint8_t(1u << (2 * k));
    rxFull_[size_t(pair)] = true;
}

// Card counts of the ports as the controller keeps them in RAM buffer 1.
std::array<uint16_t, 16> SimFpga::portCards() const
{
    std::array<uint16_t, 16> out{};
    for (int port = 0; port < 16; ++port) {
        static constexpr uint16_t kFirst[4] = {100, 102, 108, 110};
        const uint32_t a = port < 4 ? kFirst[port] : port < 8 ? 560 + 4 * (port - 4) : 640 + 4 * (port - 8);
        out[size_t(port)] = uint16_t(readRam(1, a) | (readRam(1, a + 1) << 8));
    }
    return out;
}

void SimFpga::attachChain(int port, SimCardChain* chain)
{
    std::lock_guard<std::mutex> l(lock_);
    if (port >= 0 && port < 16)
        chains_[size_t(port)] = chain;
}

std::vector<std::vector<uint8_t>> SimFpga::sentFrames(int port) const
{
    std::lock_guard<std::mutex> l(lock_);
    return port >= 0 && port < 16 ? sent_[size_t(port)] : std::vector<std::vector<uint8_t>>{};
}

void SimFpga::clearSentFrames()
{
    std::lock_guard<std::mutex> l(lock_);
    for (auto& s : sent_)
        s.clear();
}

size_t SimFpga::queuedAnswers(int pair) const
{
    std::lock_guard<std::mutex> l(lock_);
    if (pair < 0 || pair >= 8)
        return 0;
    size_t n = inFlight_[size_t(pair)].size() + (rxFull_[size_t(pair)] ? 1 : 0);
    for (const Waiting& w : waiting_[size_t(pair)])
        n += w.held ? 1 : 0;
    return n;
}

int SimFpga::lostAnswers() const
{
    std::lock_guard<std::mutex> l(lock_);
    return lost_;
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
        // A pull while held renews the controller's hold without an edge.
        if (!high)
            ++pulls_;
        if (high == !held_)
            return;
        held_ = !high;
        const auto now = std::chrono::steady_clock::now();
        if (high) {
            lastHoldMs_ = std::chrono::duration_cast<std::chrono::milliseconds>(now - heldSince_).count();
            ++resets_;
            powerOnState();
        } else {
            heldSince_ = now;
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

bool SimFpga::irqLevel()
{
    std::lock_guard<std::mutex> l(lock_);
    if (held_)
        return false;
    ageAnswers();
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
    o["last_hold_ms"] = lastHoldMs_;
    o["pulls"] = pulls_;
    o["screen_off"] = bool(regs_[0] & 0x04);
    o["output_enabled"] = bool(regs_[3] & 0x20);
    o["reg0"] = regs_[0];
    o["reg2"] = regs_[2];
    o["reg3"] = regs_[3];
    o["reg6_brightness"] = regs_[6];
    o["reg23"] = regs_[23];
    o["reached"] = reached;
    o["ram_overruns"] = overruns_;
    o["links"] = int(uint8_t(regs_[kRegLink[0]] | linkBits(0)) | (uint8_t(regs_[kRegLink[1]] | linkBits(1)) << 8));
    QJsonArray counts;
    for (uint16_t c : portCards())
        counts.append(c);
    o["port_cards"] = counts;
    QJsonArray sent;
    for (const auto& s : sent_)
        sent.append(int(s.size()));
    o["frames_sent"] = sent;
    return o;
}

} // namespace kel::platform::sim
