#include "platform/sim/SimIt6805Cec.h"

#include <QJsonArray>
#include <QString>

#include <algorithm>

namespace kel::platform::sim {
namespace {

constexpr uint8_t kIrq = 0x4C;
constexpr uint8_t kOperandFifo = 0x50;
constexpr size_t kMaxTx = 16;

QString hex(const std::vector<uint8_t>& bytes)
{
    QStringList parts;
    for (uint8_t b : bytes)
        parts << QString("%1").arg(b, 2, 16, QChar('0')).toUpper();
    return parts.join(' ');
}

} // namespace

void SimIt6805Cec::powerOn()
{
    regs_.fill(0);
    queue_.clear();
    operands_.clear();
    rxErrors_ = 0;
}

bool SimIt6805Cec::takeChanged()
{
    const bool c = changed_;
    changed_ = false;
    return c;
}

uint8_t SimIt6805Cec::read(uint8_t r, bool* advance)
{
    *advance = true;
    switch (r) {
    case 0x4D:
        takeHead();
        return regs_[r];
    case kOperandFifo: {
        *advance = false;
        if (operands_.empty())
            return 0;
        const uint8_t v = operands_.front();
        operands_.pop_front();
        return v;
    }
    case 0x51:
        return rxErrors_;
    case 0x52:
        return static_cast<uint8_t>((regs_[r] & 0xF0) | std::min<size_t>(queue_.size(), 15));
    default:
        return regs_[r];
    }
}

void SimIt6805Cec::takeHead()
{
    if (queue_.empty()) {
        regs_[0x4D] = regs_[0x4E] = regs_[0x4F] = 0;
        return;
    }
    const RxFrame f = queue_.front();
    queue_.pop_front();
    changed_ = true;
    regs_[0x4D] = f.bytes.empty() ? 0 : f.bytes[0];
    regs_[0x4E] = f.bytes.size() > 1 ? f.bytes[1] : 0;
    regs_[0x4F] = f.lengthByte;
    operands_.assign(f.bytes.begin() + std::min<size_t>(f.bytes.size(), 2), f.bytes.end());
}

void SimIt6805Cec::write(uint8_t r, uint8_t v)
{
    const uint8_t old = regs_[r];
    if (r == kIrq) {
        regs_[r] = static_cast<uint8_t>(old & ~v);
        if (!(regs_[r] & 0x20))
            regs_[0x44] &= static_cast<uint8_t>(~0x01);
        return;
    }
    regs_[r] = v;
    if (r == 0x52 && (v & 0x40))
        resetFifo();
    else if (r == 0x08 && !(old & 0x80) && (v & 0x88) == 0x88)
        fire();
}

void SimIt6805Cec::resetFifo()
{
    if (!queue_.empty())
        changed_ = true;
    queue_.clear();
    operands_.clear();
    rxErrors_ = 0;
}

void SimIt6805Cec::fire()
{
    const size_t n = std::min<size_t>(regs_[0x23], kMaxTx);
    std::vector<uint8_t> frame(regs_.begin() + 0x10, regs_.begin() + 0x10 + static_cast<long>(n));
    if (txLog_.size() >= kMaxLog)
        txLog_.erase(txLog_.begin());
    txLog_.push_back(frame);
    changed_ = true;
    const bool polling = n == 1 && (frame[0] >> 4) == (frame[0] & 0x0F);
    regs_[kIrq] |= polling ? 0x08 : 0x20;
    regs_[0x54] = static_cast<uint8_t>((regs_[0x54] & 0xFC) | (noAck_ ? 2 : 3));
    regs_[0x44] |= 0x01;
}

void SimIt6805Cec::inject(const std::vector<uint8_t>& frame, int lengthByte)
{
    const uint8_t length = lengthByte >= 0 ? static_cast<uint8_t>(lengthByte)
                                           : static_cast<uint8_t>(std::min<size_t>(frame.size(), 31));
    queue_.push_back(RxFrame{frame, length});
    regs_[kIrq] |= 0x10;
    changed_ = true;
}

void SimIt6805Cec::setRxErrors(uint8_t bits)
{
    rxErrors_ = bits;
    regs_[kIrq] |= 0x10;
}

void SimIt6805Cec::latch(uint8_t bits) { regs_[kIrq] |= bits; }

void SimIt6805Cec::setNoAck(bool noAck) { noAck_ = noAck; }

QJsonObject SimIt6805Cec::state() const
{
    QJsonArray pending, log;
    for (const RxFrame& f : queue_)
        pending.append(hex(f.bytes));
    for (const auto& f : txLog_)
        log.append(hex(f));
    QJsonObject s;
    s.insert("rx_pending", pending);
    s.insert("tx_log", log);
    return s;
}

} // namespace kel::platform::sim
