#include "platform/sim/SimIt6602.h"

#include "platform/sim/SimVideoSource.h"

#include <algorithm>

namespace kel::platform::sim {
namespace {

constexpr uint8_t kBankReg = 0x0F;
constexpr uint8_t kId[4] = {0x54, 0x49, 0x02, 0x68};
constexpr uint8_t kCscFirst = 0x70;
constexpr int kCscBytes = 21;
// The oscillator count the data port gives, low byte first (4869600).
constexpr uint8_t kOscCount[3] = {0xE0, 0x4D, 0x4A};

bool writeOneToClear(int bank, uint8_t r)
{
    return bank == 0 && ((r >= 0x05 && r <= 0x09) || (r >= 0xB2 && r <= 0xBB));
}

} // namespace

SimIt6602::SimIt6602(SimVideoSource& source, ResetGate inReset) : source_(source), inReset_(std::move(inReset))
{
    resetRegisters();
}

void SimIt6602::resetRegisters()
{
    for (auto& bank : regs_)
        bank.fill(0);
    std::copy(kId, kId + 4, regs_[0].begin());
    pointer_ = 0;
    plus5v_ = clock_ = scdt_ = false;
    generation_ = ~0u;
    scdtReads_ = 0;
    oscIndex_ = 0;
}

void SimIt6602::holdReset()
{
    std::lock_guard<std::mutex> l(lock_);
    source_.setHotPlug(false);
    resetRegisters();
}

void SimIt6602::powerOn()
{
    std::lock_guard<std::mutex> l(lock_);
    source_.setHotPlug(false);
    resetRegisters();
}

uint8_t& SimIt6602::at(uint8_t r)
{
    return r == kBankReg ? regs_[0][kBankReg] : regs_[regs_[0][kBankReg] & 3][r];
}

bool SimIt6602::transfer(I2cMsg* msgs, int count)
{
    if (!present_ || (inReset_ && inReset_()))
        return false;
    bool notify = false;
    {
        std::lock_guard<std::mutex> l(lock_);
        refresh();
        for (int i = 0; i < count; ++i) {
            I2cMsg& m = msgs[i];
            if (m.flags & I2cMsg::kRead) {
                for (uint16_t k = 0; k < m.len; ++k)
                    m.buf[k] = read(pointer_++);
                continue;
            }
            if (m.len == 0)
                continue;
            pointer_ = m.buf[0];
            if ((regs_[0][kBankReg] & 3) == 1 && pointer_ == kCscFirst && m.len - 1 >= kCscBytes)
                ++cscWrites_;
            for (uint16_t k = 1; k < m.len; ++k)
                write(pointer_++, m.buf[k]);
        }
        notify = hpdChanged_;
        hpdChanged_ = false;
    }
    if (notify && hpdObserver_)
        hpdObserver_();
    return true;
}

void SimIt6602::refresh()
{
    std::array<uint8_t, 256>& b0 = regs_[0];
    const unsigned gen = source_.generation();
    if (gen != generation_) {
        // A new source or format restarts the link: the clock goes away
        // and comes back, and sync is found again.
        generation_ = gen;
        if (clock_)
            b0[0x05] |= 0x02;
        clock_ = false;
    }
    const bool p5 = source_.plus5v();
    const bool clk = source_.sending();
    if (p5 != plus5v_) {
        b0[0x05] |= 0x01;
        plus5v_ = p5;
    }
    if (clk != clock_) {
        b0[0x05] |= 0x02;
        clock_ = clk;
        scdtReads_ = 0;
    }
    const bool s = clk && scdtReads_ >= scdtDelay_ && !scdtDropped_;
    if (s != scdt_) {
        b0[0x07] |= 0x02;
        scdt_ = s;
        if (s && source_.output().hdmi())
            b0[0x09] |= 0x01;  // the source's AVI InfoFrame arrives with sync
    }
    if (ecc_ && !(b0[0x05] & 0x40)) {
        b0[0x05] |= 0x40;
        --ecc_;
    }
    for (int i = 0; i < 5; ++i)
        b0[0xB2 + i] |= errors_[i];
    if (deskew_ && !(b0[0x09] & 0x20)) {
        b0[0x09] |= 0x20;
        --deskew_;
    }
    encodeSignal();
}

void SimIt6602::encodeSignal()
{
    std::array<uint8_t, 256>& b0 = regs_[0];
    std::array<uint8_t, 256>& b2 = regs_[2];
    const SimVideoSource::Output output = source_.output();
    const SimVideoTiming none;
    const SimVideoTiming& t = scdt_ ? output.timing : none;
    const uint32_t htotal = t.htotal(), vtotal = t.vtotal();
    b0[0x9C] = htotal & 0xFF;
    b0[0x9D] = (htotal >> 8) & 0x3F;
    b0[0x9E] = t.hact & 0xFF;
    b0[0x9F] = (t.hact >> 8) & 0x3F;
    b0[0xA0] = t.hsync & 0xFF;
    b0[0xA1] = static_cast<uint8_t>(((t.hsync >> 8) & 0x01) | (((t.hfp >> 8) & 0x0F) << 4));
    b0[0xA2] = t.hfp & 0xFF;
    b0[0xA3] = vtotal & 0xFF;
    b0[0xA4] = static_cast<uint8_t>(((vtotal >> 8) & 0x0F) | (((t.vact >> 8) & 0x0F) << 4));
    b0[0xA5] = t.vact & 0xFF;
    b0[0xA6] = t.vsync & 0x1F;
    b0[0xA7] = t.vfp & 0x3F;
    b0[0xA8] = static_cast<uint8_t>((t.vpos ? 0x08 : 0) | (t.hpos ? 0x04 : 0));
    const uint8_t depthCode = output.bitsPerComponent == 12 ? 6 : output.bitsPerComponent == 10 ? 5 : 4;
    b0[0x99] = static_cast<uint8_t>((t.interlaced ? 0x02 : 0) | (scdt_ ? depthCode << 4 : 0));
    b0[0x9A] = t.pclkKHz ? static_cast<uint8_t>(std::clamp<uint32_t>(3162000 / t.pclkKHz, 1, 255)) : 0;
    const uint32_t tmds = clock_ ? output.tmdsKHz() : 0;
    b0[0x91] = tmds ? static_cast<uint8_t>(std::clamp<uint32_t>(6144000 / tmds, 28, 255)) : 0;

    const bool hdmi = scdt_ && output.hdmi();
    const bool audio = hdmi && output.audio.present();
    b0[0xAA] = audio ? static_cast<uint8_t>(0x80 | (output.audio.channels & 0x0F)) : 0;
    b0[0xAE] = audio ? output.audio.rateCode() : 0;
    // AVI InfoFrame data bytes 1..5, and a checksum that changes with them.
    uint8_t db[5] = {};
    if (hdmi) {
        db[0] = static_cast<uint8_t>(static_cast<uint8_t>(output.color) << 5);
        db[1] = static_cast<uint8_t>(static_cast<uint8_t>(output.colorimetry) << 6 | 0x08);
        db[2] = static_cast<uint8_t>(static_cast<uint8_t>(output.range) << 2);
        db[3] = t.vic;
        db[4] = output.range == SimVideoSource::Range::Full ? 0x40 : 0;
    }
    uint8_t sum = 0x82 + 0x02 + 0x0D;
    for (uint8_t v : db)
        sum = static_cast<uint8_t>(sum + v);
    b2[0x14] = hdmi ? static_cast<uint8_t>(0x100 - sum) : 0;
    std::copy(db, db + 5, b2.begin() + 0x15);
    // Audio clock regeneration: N in 0xBE, 0xBF and 0xC0 bits 0..3; CTS in
    // 0xC0 bits 4..7, 0xC2 and 0xC1.
    const uint32_t n = audio ? output.audio.n() : 0;
    const uint32_t cts = audio ? output.audio.cts(tmds) : 0;
    b2[0xBE] = n & 0xFF;
    b2[0xBF] = (n >> 8) & 0xFF;
    b2[0xC0] = static_cast<uint8_t>(((n >> 16) & 0x0F) | ((cts & 0x0F) << 4));
    b2[0xC2] = (cts >> 4) & 0xFF;
    b2[0xC1] = (cts >> 12) & 0xFF;
}

uint8_t SimIt6602::read(uint8_t r)
{
    const int bank = r == kBankReg ? 0 : regs_[0][kBankReg] & 3;
    if (bank == 0 && r == 0x0A) {
        if (clock_)
            ++scdtReads_;
        const bool hdmi = clock_ && source_.output().hdmi();
        return static_cast<uint8_t>((plus5v_ ? 0x01 : 0) | (hdmi ? 0x02 : 0) | (clock_ ? 0x08 : 0) |
                                    (scdt_ ? 0x80 : 0));
    }
    if (bank == 0 && r == 0x0B)
        return 0;  // port 1: nothing plugged
    if (bank == 1 && r == 0x61) {
        // Oscillator data port: a marker until the count is latched.
        if (regs_[1][0x50] != 1)
            return 0x02;
        return kOscCount[oscIndex_++ % 3];
    }
    return at(r);
}

void SimIt6602::write(uint8_t r, uint8_t v)
{
    const int bank = r == kBankReg ? 0 : regs_[0][kBankReg] & 3;
    uint8_t& reg = at(r);
    if (writeOneToClear(bank, r)) {
        reg = static_cast<uint8_t>(reg & ~v);
        return;
    }
    if (bank == 0 && r == 0xD0) {
        reg = static_cast<uint8_t>((reg & 0xF0 & ~(v & 0xF0)) | (v & 0x0F));
        return;
    }
    reg = v;
    if (bank == 0 && r == 0x10 && (v & 0x08) && plus5v_)
        regs_[0][0x05] |= 0x01;  // the software reset reports +5 V again
    if (bank == 1 && r == 0x50)
        oscIndex_ = 0;
    if (bank == 1 && r == 0xB0) {
        const bool high = (v & 3) == 3;
        if (high != source_.hotPlug()) {
            source_.setHotPlug(high);
            hpdChanged_ = true;
        }
    }
}

void SimIt6602::setScdtDelay(unsigned statusReads)
{
    std::lock_guard<std::mutex> l(lock_);
    scdtDelay_ = statusReads;
}

void SimIt6602::dropScdt(bool drop)
{
    std::lock_guard<std::mutex> l(lock_);
    scdtDropped_ = drop;
}

void SimIt6602::injectEcc(unsigned n)
{
    std::lock_guard<std::mutex> l(lock_);
    ecc_ += n;
}

void SimIt6602::injectDeskew(unsigned n)
{
    std::lock_guard<std::mutex> l(lock_);
    deskew_ += n;
}

void SimIt6602::setErrors(const std::array<uint8_t, 5>& values)
{
    std::lock_guard<std::mutex> l(lock_);
    errors_ = values;
}

void SimIt6602::injectEqEvent(uint8_t bits)
{
    std::lock_guard<std::mutex> l(lock_);
    regs_[0][0xD0] |= static_cast<uint8_t>(bits & 0xF0);
}

uint8_t SimIt6602::reg(int bank, uint8_t r) const
{
    std::lock_guard<std::mutex> l(lock_);
    return regs_[bank & 3][r];
}

void SimIt6602::setReg(int bank, uint8_t r, uint8_t value)
{
    std::lock_guard<std::mutex> l(lock_);
    regs_[bank & 3][r] = value;
}

std::array<uint8_t, 21> SimIt6602::csc() const
{
    std::lock_guard<std::mutex> l(lock_);
    std::array<uint8_t, 21> out;
    std::copy(regs_[1].begin() + kCscFirst, regs_[1].begin() + kCscFirst + kCscBytes, out.begin());
    return out;
}

unsigned SimIt6602::cscWrites() const
{
    std::lock_guard<std::mutex> l(lock_);
    return cscWrites_;
}

uint8_t SimIt6602::hotPlug() const
{
    std::lock_guard<std::mutex> l(lock_);
    return regs_[1][0xB0] & 3;
}

bool SimIt6602::scdt() const
{
    std::lock_guard<std::mutex> l(lock_);
    return scdt_;
}

QJsonObject SimIt6602::state() const
{
    std::lock_guard<std::mutex> l(lock_);
    QJsonObject o;
    o.insert("present", present_.load());
    o.insert("reset_held", inReset_ ? inReset_() : false);
    o.insert("hpd", regs_[1][0xB0] & 3);
    o.insert("plus5v", plus5v_);
    o.insert("scdt", scdt_);
    return o;
}

} // namespace kel::platform::sim
