#include "platform/sim/SimIt66121.h"

#include "platform/sim/SimSinkEdid.h"

namespace kel::platform::sim {
namespace {

constexpr uint8_t kBank = 0x0F;
constexpr uint8_t kInt06 = 0x06;
constexpr uint8_t kInt07 = 0x07;
constexpr uint8_t kSys = 0x0E;
constexpr uint8_t kHpd = 0x40;
constexpr uint8_t kIntPending = 0x80;
constexpr uint8_t kDdcOffset = 0x12;
constexpr uint8_t kDdcCount = 0x13;
constexpr uint8_t kDdcSegment = 0x14;
constexpr uint8_t kDdcCommand = 0x15;
constexpr uint8_t kDdcStatus = 0x16;
constexpr uint8_t kDdcFifo = 0x17;
constexpr uint8_t kDone = 0x80;
constexpr uint8_t kNoAck = 0x20;
constexpr size_t kLogLimit = 100000;

const std::pair<SimIt66121::Sink, const char*> kSinkNames[] = {{SimIt66121::Sink::Hdmi, "hdmi"},
                                                               {SimIt66121::Sink::Dvi, "dvi"},
                                                               {SimIt66121::Sink::None, "none"},
                                                               {SimIt66121::Sink::Corrupt, "corrupt"},
                                                               {SimIt66121::Sink::DdcError, "ddc_error"}};

} // namespace

SimIt66121::SimIt66121()
{
    regs_[0][0x00] = 0x54;
    regs_[0][0x01] = 0x49;
    regs_[0][kDdcStatus] = kDone;
    setSink(Sink::Hdmi);
    regs_[0][kInt06] = 0;
    regs_[0][kSys] &= static_cast<uint8_t>(~kIntPending);
}

bool SimIt66121::parseSink(const QString& text, Sink* sink)
{
    for (auto& [s, name] : kSinkNames)
        if (text.trimmed().compare(QLatin1String(name), Qt::CaseInsensitive) == 0) {
            *sink = s;
            return true;
        }
    return false;
}

const char* SimIt66121::sinkName(Sink sink)
{
    for (auto& [s, name] : kSinkNames)
        if (s == sink)
            return name;
    return "?";
}

void SimIt66121::setSink(Sink sink)
{
    {
        std::lock_guard<std::mutex> l(lock_);
        const bool wasPlugged = regs_[0][kSys] & kHpd;
        sink_ = sink;
        if (sink == Sink::Dvi)
            edid_ = SimSinkEdid::dvi();
        else if (sink == Sink::None)
            edid_.clear();
        else
            edid_ = SimSinkEdid::hdmi();
        if (sink == Sink::Corrupt)
            edid_[127] ^= 0x5A;  // block 0 no longer sums to 0
        const bool plugged = sink != Sink::None;
        regs_[0][kSys] = static_cast<uint8_t>(plugged ? regs_[0][kSys] | kHpd : regs_[0][kSys] & ~kHpd);
        if (plugged != wasPlugged) {
            regs_[0][kInt06] |= 0x01;
            regs_[0][kSys] |= kIntPending;
        }
    }
    if (observer_)
        observer_();
}

void SimIt66121::setId(uint16_t id)
{
    std::lock_guard<std::mutex> l(lock_);
    regs_[0][0x00] = static_cast<uint8_t>(id & 0xFF);
    regs_[0][0x01] = static_cast<uint8_t>(id >> 8);
}

SimIt66121::Sink SimIt66121::sink() const
{
    std::lock_guard<std::mutex> l(lock_);
    return sink_;
}

void SimIt66121::setSinkEdid(std::vector<uint8_t> edid)
{
    std::lock_guard<std::mutex> l(lock_);
    edid_ = std::move(edid);
}

uint8_t SimIt66121::reg(int bank, uint8_t r) const
{
    std::lock_guard<std::mutex> l(lock_);
    return regs_[r < 0x30 ? 0 : bank & 1][r];
}

std::vector<SimIt66121::Write> SimIt66121::writeLog() const
{
    std::lock_guard<std::mutex> l(lock_);
    return log_;
}

void SimIt66121::clearWriteLog()
{
    std::lock_guard<std::mutex> l(lock_);
    log_.clear();
}

uint8_t& SimIt66121::at(uint8_t r)
{
    return regs_[r < 0x30 ? 0 : regs_[0][kBank] & 1][r];
}

bool SimIt66121::transfer(I2cMsg* msgs, int count)
{
    if (!present_)
        return false;
    std::lock_guard<std::mutex> l(lock_);
    for (int i = 0; i < count; ++i) {
        I2cMsg& m = msgs[i];
        if (m.flags & I2cMsg::kRead) {
            for (uint16_t k = 0; k < m.len; ++k)
                m.buf[k] = readReg(pointer_++);
            continue;
        }
        if (m.len == 0)
            continue;
        pointer_ = m.buf[0];
        for (uint16_t k = 1; k < m.len; ++k)
            writeReg(pointer_++, m.buf[k]);
    }
    return true;
}

uint8_t SimIt66121::readReg(uint8_t r)
{
    if (r == kDdcFifo)
        return fifoPos_ < fifo_.size() ? fifo_[fifoPos_++] : 0;
    return at(r);
}

void SimIt66121::writeReg(uint8_t r, uint8_t v)
{
    const uint8_t bank = regs_[0][kBank] & 1;
    if (log_.size() < kLogLimit)
        log_.push_back({bank, r, v});
    if (r == kSys) {
        // Bit 6 is the sink's line; bit 0 clears the pending interrupts.
        uint8_t& sys = regs_[0][kSys];
        sys = static_cast<uint8_t>((v & 0x3F) | (sys & (kHpd | kIntPending)));
        if (v & 0x01) {
            regs_[0][kInt06] = 0;
            regs_[0][kInt07] = 0;
            sys &= static_cast<uint8_t>(~kIntPending);
        }
        return;
    }
    if (r == kDdcStatus || r == 0x00 || r == 0x01)
        return;  // read-only
    at(r) = v;
    if (r == kDdcCommand)
        ddcCommand(v);
}

void SimIt66121::ddcCommand(uint8_t command)
{
    uint8_t& status = regs_[0][kDdcStatus];
    switch (command) {
    case 0x09:  // clear the FIFO
        fifo_.clear();
        fifoPos_ = 0;
        status = kDone;
        break;
    case 0x0F:  // abort
        status = kDone;
        break;
    case 0x03: {  // burst read from the sink's EEPROM
        ++ddcReads_;
        const size_t start = regs_[0][kDdcSegment] * 256u + regs_[0][kDdcOffset];
        const size_t n = regs_[0][kDdcCount];
        if (sink_ == Sink::None || sink_ == Sink::DdcError || start + n > edid_.size()) {
            status = kDone | kNoAck;
            break;
        }
        fifo_.assign(edid_.begin() + static_cast<long>(start), edid_.begin() + static_cast<long>(start + n));
        fifoPos_ = 0;
        status = kDone;
        break;
    }
    default:
        break;
    }
}

} // namespace kel::platform::sim
