#include "platform/sim/SimEdidEeprom.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace kel::platform::sim {

SimEdidEeprom::SimEdidEeprom(std::string hostFile, const std::array<uint8_t, kSize>& initial)
    : file_(std::move(hostFile)), mem_(initial)
{
    QFile f(QString::fromStdString(file_));
    if (f.open(QIODevice::ReadOnly)) {
        const QByteArray data = f.read(kSize);
        for (int i = 0; i < data.size(); ++i)
            mem_[i] = static_cast<uint8_t>(data[i]);
        return;
    }
    save();
}

bool SimEdidEeprom::transfer(I2cMsg* msgs, int count)
{
    std::lock_guard<std::mutex> l(lock_);
    for (int i = 0; i < count; ++i)
        if ((msgs[i].flags & I2cMsg::kRead) && failAt_ > 0 && --failAt_ == 0)
            return false;
    for (int i = 0; i < count; ++i) {
        I2cMsg& m = msgs[i];
        if (m.flags & I2cMsg::kRead) {
            for (uint16_t k = 0; k < m.len; ++k)
                m.buf[k] = mem_[pointer_++];
            continue;
        }
        if (m.len == 0)
            continue;
        pointer_ = m.buf[0];
        if (m.len > 1)
            writeBytes(m.buf + 1, m.len - 1);
    }
    return true;
}

void SimEdidEeprom::writeBytes(const uint8_t* data, int n)
{
    if (stuck_ || (gate_ && !gate_())) {
        ++ignoredWrites_;
        return;
    }
    // Bytes past the page end wrap to the page start, as on the chip.
    const uint8_t page = pointer_ & ~(kPage - 1);
    uint8_t offset = pointer_ & (kPage - 1);
    for (int k = 0; k < n; ++k) {
        mem_[page | offset] = data[k];
        offset = (offset + 1) & (kPage - 1);
    }
    pointer_ = page | offset;
    ++pageWrites_;
    save();
}

void SimEdidEeprom::save() const
{
    QDir().mkpath(QFileInfo(QString::fromStdString(file_)).path());
    QSaveFile f(QString::fromStdString(file_));
    if (!f.open(QIODevice::WriteOnly))
        return;
    f.write(reinterpret_cast<const char*>(mem_.data()), kSize);
    f.commit();
}

std::array<uint8_t, SimEdidEeprom::kSize> SimEdidEeprom::contents() const
{
    std::lock_guard<std::mutex> l(lock_);
    return mem_;
}

void SimEdidEeprom::setContents(const std::array<uint8_t, kSize>& data)
{
    std::lock_guard<std::mutex> l(lock_);
    mem_ = data;
    save();
}

} // namespace kel::platform::sim
