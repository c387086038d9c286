#include "platform/sim/SimCardChain.h"

#include <QJsonArray>
#include <QStringList>

namespace kel::platform::sim {
namespace {

constexpr uint16_t kAllCards = 0x0FFF;
constexpr uint16_t kSearchAddr = 0x0FFE;
constexpr size_t kReceivedKept = 64;

uint8_t xorOf(const uint8_t* p, size_t n)
{
    uint8_t x = 0;
    for (size_t i = 0; i < n; ++i)
        x ^= p[i];
    return x;
}

uint32_t u32At(const SimCardChain::Bytes& f, size_t at)
{
    return uint32_t(f[at]) | uint32_t(f[at + 1]) << 8 | uint32_t(f[at + 2]) << 16 | uint32_t(f[at + 3]) << 24;
}

} // namespace

uint16_t SimCardChain::Card::u16(uint32_t addr) const
{
    auto at = [this](uint32_t a) {
        auto it = memory.find(a);
        return it == memory.end() ? 0 : it->second;
    };
    return uint16_t(at(addr) | (at(addr + 1) << 8));
}

SimCardChain::SimCardChain(int port) : port_(port) {}

SimCardChain::Knobs SimCardChain::parse(const QString& text)
{
    Knobs k;
    const QStringList parts = text.split(',', Qt::SkipEmptyParts);
    for (int i = 0; i < parts.size(); ++i) {
        const QString p = parts[i].trimmed().toLower();
        const int eq = p.indexOf('=');
        const QString name = eq < 0 ? p : p.left(eq);
        const uint32_t value = eq < 0 ? 0 : p.mid(eq + 1).toUInt(nullptr, 0);
        if (i == 0 && eq < 0) k.cards = int(p.toUInt(nullptr, 0));
        else if (name == "drop") k.drop = true;
        else if (name == "bad_check") k.badCheck = true;
        else if (name == "wrong_tag") k.wrongTag = true;
        else if (name == "zero_port_byte") k.zeroPortByte = true;
        else if (name == "all_answer") k.allAnswer = true;
        else if (name == "unlinked") k.unlinked = true;
        else if (name == "status") k.status = uint8_t(value);
        else if (name == "delay") k.delayPolls = int(value);
        else if (name == "port_status") k.portStatus = uint8_t(value);
        else if (name == "recovery") k.recoveryCard = uint8_t(value);
        else if (name == "config") k.configId = value;
        else if (name == "truncate") k.truncate = int(value);
        else if (name == "power") k.powerFlag = uint8_t(value);
    }
    return k;
}

SimCardChain::Knobs SimCardChain::knobs() const
{
    std::lock_guard<std::mutex> l(lock_);
    return knobs_;
}

void SimCardChain::setKnobs(const Knobs& k)
{
    std::lock_guard<std::mutex> l(lock_);
    knobs_ = k;
    if (k.cards >= 0 && size_t(k.cards) != cards_.size()) {
        cards_.resize(size_t(std::min(k.cards, 4095)));
        for (Card& c : cards_) {
            c.sensor[49] = 0xFF;
            c.sensor[53] = 128;
        }
    }
}

bool SimCardChain::linked() const
{
    std::lock_guard<std::mutex> l(lock_);
    return knobs_.cards > 0 && !knobs_.unlinked;
}

SimCardChain::Card SimCardChain::card(int index) const
{
    std::lock_guard<std::mutex> l(lock_);
    return index >= 0 && size_t(index) < cards_.size() ? cards_[size_t(index)] : Card{};
}

std::vector<SimCardChain::Bytes> SimCardChain::received() const
{
    std::lock_guard<std::mutex> l(lock_);
    return received_;
}

void SimCardChain::clearReceived()
{
    std::lock_guard<std::mutex> l(lock_);
    received_.clear();
}

void SimCardChain::setCardSilent(int index, bool silent)
{
    std::lock_guard<std::mutex> l(lock_);
    silentCards_[index] = silent;
}

void SimCardChain::setCardDelay(int index, int polls)
{
    std::lock_guard<std::mutex> l(lock_);
    cardDelays_[index] = polls;
}

int SimCardChain::searches() const
{
    std::lock_guard<std::mutex> l(lock_);
    return searches_;
}

std::vector<SimCardChain::Answer> SimCardChain::receive(const Bytes& f)
{
    std::lock_guard<std::mutex> l(lock_);
    if (received_.size() >= kReceivedKept)
        received_.erase(received_.begin());
    received_.push_back(f);
    if (f.size() < layoutLength(f) || xorOf(f.data(), f.size() - 1) != f.back() || cards_.empty() || knobs_.unlinked)
        return {};
    const uint16_t target = uint16_t((f[0] | (f[1] << 8)) & 0x0FFF);
    const uint8_t cmd = f[9];
    std::vector<uint16_t> addressed;
    if (target == kSearchAddr || target == kAllCards) {
        for (uint16_t i = 0; i < cards_.size(); ++i)
            addressed.push_back(i);
    } else if (target < cards_.size()) {
        addressed.push_back(target);
    }
    if (target == kSearchAddr && cmd == 0x10)
        ++searches_;
    std::vector<Answer> out;
    for (uint16_t i : addressed) {
        Card& c = cards_[i];
        Bytes payload = target == kSearchAddr && cmd == 0x10 ? searchPayload(f) : payloadFor(c, f);
        apply(c, f);
        const bool answers = i == addressed.front() || (target == kAllCards && knobs_.allAnswer);
        const bool silent = silentCards_.count(i) && silentCards_.at(i);
        const int delay = knobs_.delayPolls + (cardDelays_.count(i) ? cardDelays_.at(i) : 0);
        if (answers && !knobs_.drop && !silent)
            out.push_back(Answer{answer(f, target == kSearchAddr ? 0 : i, payload), delay});
    }
    return out;
}

// Bytes a frame needs for what its command carries, check byte included:
// the head and command (11); a memory write its address, length, two zero
// bytes and the data; a memory read its address and length; a register
// write register, mask, 1 and value; a flash save its two bytes.
size_t SimCardChain::layoutLength(const Bytes& f)
{
    constexpr size_t kHead = 11;
    if (f.size() < kHead)
        return kHead;
    switch (f[9]) {
    case 0x60: return f.size() < 16 ? 19 : 19 + size_t(f[14] | (f[15] << 8));
    case 0x61: return 17;
    case 0xA0: return 15;
    case 0x81: return 13;
    default: return kHead;
    }
}

void SimCardChain::apply(Card& c, const Bytes& f)
{
    const uint8_t cmd = f[9];
    const uint16_t target = uint16_t((f[0] | (f[1] << 8)) & 0x0FFF);
    switch (cmd) {
    case 0x10:
        break;
    case 0x60: {
        const uint32_t addr = u32At(f, 10);
        const size_t n = size_t(f[14] | (f[15] << 8));
        for (size_t i = 0; i < n; ++i) {
            const uint32_t a = uint32_t(addr + i);
            if (addr >= kSensorAddr && addr - kSensorAddr + i < c.sensor.size())
                c.sensor[addr - kSensorAddr + i] = f[18 + i];
            else if (c.memory.size() < kMemoryKept || c.memory.count(a))
                c.memory[a] = f[18 + i];
        }
        break;
    }
    case 0x61:
        if (u32At(f, 10) == kSensorAddr)
            ++c.sensorReads;
        break;
    case 0xA0:
        c.regs[f[10]] = uint8_t((c.regs[f[10]] & ~f[11]) | (f[13] & f[11]));
        break;
    case 0x81: ++c.saves; break;
    case 0xB4: ++c.firmwareActivations; break;
    case 0x84: ++c.reconfigurations; break;
    default:
        if (target != kSearchAddr) {
            if (c.userFrames.size() >= kUserFramesKept)
                c.userFrames.erase(c.userFrames.begin());
            c.userFrames.push_back(f);
            ++c.userFrameCount;
        }
        break;
    }
}

// Data after the status byte: a read returns the bytes asked for, a
// register write echoes its register, mask and value, others carry none.
SimCardChain::Bytes SimCardChain::payloadFor(Card& c, const Bytes& f) const
{
    Bytes out;
    if (f[9] == 0x61) {
        const uint32_t addr = u32At(f, 10);
        const size_t n = std::min<size_t>(size_t(f[14] | (f[15] << 8)), 1000);
        for (size_t i = 0; i < n; ++i) {
            const uint32_t a = uint32_t(addr + i);
            if (addr >= kSensorAddr && addr - kSensorAddr + i < c.sensor.size())
                out.push_back(c.sensor[addr - kSensorAddr + i]);
            else if (c.memory.count(a))
                out.push_back(c.memory.at(a));
            else
                out.push_back(a == kPowerFlagAddr ? knobs_.powerFlag : 0);
        }
    } else if (f[9] == 0xA0) {
        out.assign(f.begin() + 11, f.end() - 1);
    }
    return out;
}

// Count, port status byte, 4 zero bytes, value A, the card to recover.
SimCardChain::Bytes SimCardChain::searchPayload(const Bytes& f) const
{
    const uint32_t valueA = knobs_.configId ? knobs_.configId : f.size() >= 21 ? u32At(f, 17) : 0;
    const uint16_t n = uint16_t(cards_.size());
    return {uint8_t(n), uint8_t(n >> 8), knobs_.portStatus, 0, 0, 0, 0,
            uint8_t(valueA), uint8_t(valueA >> 8), uint8_t(valueA >> 16), uint8_t(valueA >> 24), knobs_.recoveryCard};
}

SimCardChain::Bytes SimCardChain::answer(const Bytes& f, uint16_t card, const Bytes& payload) const
{
    const uint16_t source = uint16_t(((port_ & 3) << 12) | card);
    Bytes a = {f[2], f[3], uint8_t(source), uint8_t(source >> 8), f[4],
               uint8_t(knobs_.wrongTag ? f[5] ^ 0xFF : f[5]), f[6], uint8_t(knobs_.zeroPortByte ? 0 : f[7]), 0,
               f[9], knobs_.status};
    a.reserve(a.size() + payload.size() + 1);
    for (uint8_t b : payload)
        a.push_back(b);
    a.push_back(uint8_t(xorOf(a.data(), a.size()) ^ (knobs_.badCheck ? 0xFF : 0)));
    if (knobs_.truncate > 0 && size_t(knobs_.truncate) < a.size())
        a.resize(size_t(knobs_.truncate));
    return a;
}

QJsonObject SimCardChain::state() const
{
    std::lock_guard<std::mutex> l(lock_);
    QJsonObject o;
    o["cards"] = int(cards_.size());
    o["linked"] = knobs_.cards > 0 && !knobs_.unlinked;
    o["silent"] = knobs_.drop;
    o["searches"] = searches_;
    o["frames"] = int(received_.size());
    QJsonArray cards;
    for (const Card& c : cards_) {
        QJsonObject co;
        co["x"] = c.u16(kPositionAddr);
        co["y"] = c.u16(kPositionAddr + 2);
        co["positioned"] = c.memory.count(kPositionAddr) > 0;
        co["saves"] = c.saves;
        co["firmware_activations"] = c.firmwareActivations;
        co["reconfigurations"] = c.reconfigurations;
        co["sensor_reads"] = c.sensorReads;
        co["user_frames"] = c.userFrameCount;
        QJsonObject regs;
        for (size_t r = 0; r < c.regs.size(); ++r)
            if (c.regs[r])
                regs[QString::number(r)] = c.regs[r];
        co["registers"] = regs;
        cards.append(co);
    }
    o["card"] = cards;
    return o;
}

} // namespace kel::platform::sim
