#include "platform/sim/SimIt6805.h"

namespace kel::platform::sim {
namespace {

constexpr uint8_t kBankReg = 0x0F;
constexpr size_t kMaxWrites = 200000;
constexpr unsigned kPclkSamples = 20;

// Write-one-to-clear interrupt latches of bank 0.
bool isLatch(uint8_t r)
{
    switch (r) {
    case 0x05: case 0x06: case 0x07: case 0x08: case 0x0A: case 0x0B: case 0x0C: case 0x0D:
    case 0x10: case 0x11: case 0x12:
        return true;
    default:
        return false;
    }
}

void put16(std::array<uint8_t, 256>& b, uint8_t low, uint8_t high, unsigned value)
{
    b[low] = static_cast<uint8_t>(value & 0xFF);
    b[high] = static_cast<uint8_t>((value >> 8) & 0x3F);
}

} // namespace

// One I2C address of the chip.
class SimIt6805::Page : public SimI2cDevice {
public:
    Page(SimIt6805& chip, uint16_t addr) : chip_(chip), addr_(addr) {}
    bool transfer(I2cMsg* msgs, int count) override { return chip_.transfer(addr_, msgs, count); }

private:
    SimIt6805& chip_;
    uint16_t addr_;
};

SimIt6805::SimIt6805()
{
    for (uint16_t a : {kMainPage, kEdidPage, kRxPage, kCecPage})
        pages_[a] = std::make_unique<Page>(*this, a);
    setStoredClock(kDefaultRclkKhz, false);
    powerOn();
}

SimIt6805::~SimIt6805() = default;

SimI2cDevice* SimIt6805::page(uint16_t addr7)
{
    auto it = pages_.find(addr7);
    return it == pages_.end() ? nullptr : it->second.get();
}

void SimIt6805::setResetHeld(std::function<bool()> held)
{
    std::lock_guard<std::mutex> l(lock_);
    resetHeld_ = std::move(held);
}

bool SimIt6805::answers()
{
    if (!present_)
        return false;
    if (resetHeld_ && resetHeld_()) {
        wasHeld_ = true;
        return false;
    }
    if (wasHeld_) {
        wasHeld_ = false;
        powerOn();
    }
    return true;
}

void SimIt6805::powerOn()
{
    for (auto& bank : main_)
        bank.fill(0);
    edid_.fill(0);
    rx_.fill(0);
    cec_.powerOn();
    eq_.powerOn(main_);
    clockSettling_ = 0;
    main_[1][0x60] = 0x19;  // the oscillator is loaded at once
    main_[5][0xDB] = 0x0C;  // VBO clock not yet stable, bits 3:2 = 3
    pclkIndex_ = 0;
    // Hot-plug is low out of reset; +5 V and the source are as they are.
    if (source_) {
        source_->setHotPlug(false);
        plus5v_ = source_->plus5v();
        sending_ = source_->sending();
        generation_ = source_->generation();
        output_ = source_->output();
    }
    lastTmds_ = tmds();
    lastScdt_ = scdt();
    encodeLink();
}

void SimIt6805::holdReset()
{
    std::lock_guard<std::mutex> l(lock_);
    wasHeld_ = true;
    main_[3][0xAB] = 0;
    if (source_)
        source_->setHotPlug(false);
    follow();
}

void SimIt6805::setHpdObserver(std::function<void()> observer)
{
    std::lock_guard<std::mutex> l(lock_);
    hpdObserver_ = std::move(observer);
}

bool SimIt6805::transfer(uint16_t addr7, I2cMsg* msgs, int count)
{
    std::function<void()> observer;
    bool ok;
    {
        std::lock_guard<std::mutex> l(lock_);
        ok = transferLocked(addr7, msgs, count);
        if (cec_.takeChanged() || hpdChanged_)
            observer = hpdObserver_;
        hpdChanged_ = false;
    }
    if (observer)
        observer();
    return ok;
}

bool SimIt6805::transferLocked(uint16_t addr7, I2cMsg* msgs, int count)
{
    if (!answers())
        return false;
    follow();
    if (addr7 == kCecPage)
        return transferCec(msgs, count);
    std::array<uint8_t, 256>* plain = addr7 == kEdidPage ? &edid_ : addr7 == kRxPage ? &rx_ : nullptr;
    uint8_t pointer = 0;
    for (int i = 0; i < count; ++i) {
        I2cMsg& m = msgs[i];
        if (m.flags & I2cMsg::kRead) {
            for (uint16_t k = 0; k < m.len; ++k, ++pointer)
                m.buf[k] = plain ? (*plain)[pointer] : readMain(pointer);
            continue;
        }
        if (m.len == 0)
            continue;
        pointer = m.buf[0];
        for (uint16_t k = 1; k < m.len; ++k, ++pointer) {
            if (plain)
                (*plain)[pointer] = m.buf[k];
            else
                writeMain(pointer, m.buf[k]);
        }
    }
    return true;
}

int SimIt6805::bankOf(uint8_t r) const
{
    // Identity, latches of the ports and the bank register are common.
    return r <= kBankReg ? 0 : main_[0][kBankReg] & 0x07;
}

uint8_t SimIt6805::portStatus() const
{
    if (!tmds())
        return 0;
    return static_cast<uint8_t>(0x38 | (output_.hdmi2() ? 0xC0 : 0));
}

uint8_t SimIt6805::readMain(uint8_t r)
{
    const int bank = bankOf(r);
    if (bank != 0)
        return main_[static_cast<size_t>(bank)][r];
    switch (r) {
    case 0x00: return 0x54;
    case 0x01: return 0x49;
    case 0x02: return idVariant_;
    case 0x03: return 0x68;
    case 0x04: return chipId_;
    case 0x13:
        if (!plus5v_)
            return 0;
        return tmds() ? static_cast<uint8_t>((output_.hdmi() ? 0xBF : 0xBD) & ~(settled() ? 0 : 0x10)) : 0x01;
    case 0x14: return portStatus();
    case 0x15: return tmds() && output_.hdmi2() ? 0x02 : 0x00;
    case 0x16: case 0x17: case 0x18: return 0;
    case 0x19: return scdt() ? static_cast<uint8_t>(outputUnstable_ ? 0x80 : 0x82) : 0x00;
    case 0x99: return static_cast<uint8_t>(pixelSample(pclkIndex_) & 0xFF);
    case 0x9A: return static_cast<uint8_t>((cell(0, 0x9A) & 0xFC) | ((pixelSample(pclkIndex_) >> 8) & 0x03));
    default: return cell(0, r);
    }
}

void SimIt6805::writeMain(uint8_t r, uint8_t v)
{
    const int bank = bankOf(r);
    if (writes_.size() < kMaxWrites)
        writes_.push_back(Write{bank, r, v});
    uint8_t& c = cell(bank, r);
    const uint8_t old = c;
    if (bank == 0 && isLatch(r)) {
        c = static_cast<uint8_t>(c & ~v);
        return;
    }
    c = v;
    if (bank == 0 && r == 0x9A && !(old & 0x80) && (v & 0x80))
        ++pclkIndex_;
    else if ((bank == 3 || bank == 7) && r == 0x3A && (v & 0x80) && !caofNever_)
        main_[0][bank == 3 ? 0x08 : 0x0D] |= 0x10;
    else if (bank == 3 && r == 0xAB && ((old ^ v) & 0xC0)) {
        hpdChanged_ = true;
        if (source_)
            source_->setHotPlug((v & 0xC0) == 0xC0);
        follow();
    }
    else if (bank == 5 && r == 0xD2 && !(old & 0x10) && (v & 0x10))
        main_[5][0xDB] |= 0x10;
    else if (bank == 1 && r == 0x54 && v == 0x04)
        efuseCommand();
    eq_.written(main_, bank, r, old, v);
}

void SimIt6805::efuseCommand()
{
    const uint16_t addr = static_cast<uint16_t>((main_[1][0x50] << 8) | main_[1][0x51]);
    auto it = efuse_.find(addr);
    main_[1][0x61] = it == efuse_.end() ? 0 : it->second[0];
    main_[1][0x62] = it == efuse_.end() ? 0 : it->second[1];
}

unsigned SimIt6805::pixelSample(unsigned index) const
{
    if (!scdt())
        return 0;
    const uint32_t full = output_.timing.pclkKHz;
    const uint32_t pclk = output_.color == SimVideoSource::ColorFormat::Yuv420 ? full / 2 : full;
    if (pclk == 0)
        return 0;
    const uint64_t sum = 10240ull * rclkKhz_ / pclk;
    const uint64_t each = sum / kPclkSamples + ((index % kPclkSamples) < sum % kPclkSamples ? 1 : 0);
    return static_cast<unsigned>(each > 1023 ? 1023 : each);
}

bool SimIt6805::tmds() const { return sending_; }

bool SimIt6805::scdt() const { return sending_ && !scdtDropped_ && output_.timing.valid(); }

// Takes over what the source sends now and latches what changed.
void SimIt6805::follow()
{
    if (!source_)
        return;
    const bool plus5v = source_->plus5v();
    const bool sending = source_->sending();
    const unsigned generation = source_->generation();
    if (plus5v == plus5v_ && sending == sending_ && generation == generation_)
        return;
    if (plus5v != plus5v_)
        main_[0][0x05] |= plus5v ? 0x05 : 0x01;  // +5 V change; a new clock is not yet stable
    const bool newPackets = generation != generation_;
    plus5v_ = plus5v;
    sending_ = sending;
    generation_ = generation;
    output_ = source_->output();
    if (newPackets && scdt() && lastScdt_)
        main_[0][0x12] |= 0x01;  // a new AVI InfoFrame on a running link
    linkChanged();
}

void SimIt6805::linkChanged()
{
    const bool nowTmds = tmds();
    const bool nowScdt = scdt();
    if (nowTmds != lastTmds_) {
        main_[0][0x05] |= nowTmds ? 0x06 : 0x04;  // clock on and clock change
        clockSettling_ = nowTmds ? 1 : 0;
    }
    if (nowScdt != lastScdt_) {
        main_[0][0x10] |= 0x02;
        if (nowScdt)
            main_[0][0x12] |= 0x01;  // the first AVI InfoFrame
    }
    lastTmds_ = nowTmds;
    lastScdt_ = nowScdt;
    encodeLink();
}

void SimIt6805::encodeLink()
{
    const bool on = scdt();
    encodeTiming(on ? output_.timing : SimVideoTiming{}, output_.color == SimVideoSource::ColorFormat::Yuv420);
    encodeAvi(on);
    encodeAudio(on);
    // TMDS counter: no clock counts 0xFF (+ 1 gives 0).
    uint8_t mult = 0, count = 0xFF;
    const uint32_t character = tmds() ? output_.tmdsKHz() : 0;
    if (character) {
        static const std::pair<uint32_t, uint8_t> multipliers[] = {{1024, 0x80}, {512, 0x40}, {256, 0x20}, {128, 0x00}};
        for (auto& [m, bits] : multipliers) {
            const uint64_t q = uint64_t{rclkKhz_} * m / character;
            mult = bits;
            count = static_cast<uint8_t>(q > 255 ? 0xFE : (q == 0 ? 0 : q - 1));
            if (q <= 255)
                break;
        }
    }
    main_[0][0x43] = static_cast<uint8_t>((main_[0][0x43] & 0x1F) | mult);
    main_[0][0x48] = count;
}

void SimIt6805::encodeTiming(const SimVideoTiming& in, bool halfWidth)
{
    SimVideoTiming s = in;
    if (halfWidth) {  // YUV 4:2:0 is measured at half width
        s.hact /= 2; s.hfp /= 2; s.hsync /= 2; s.hbp /= 2;
    }
    auto& b = main_[0];
    put16(b, 0x9B, 0x9C, s.htotal());
    put16(b, 0x9D, 0x9E, s.hact);
    if (chipId_ == 0x10 || chipId_ == 0xE0) {
        put16(b, 0x9F, 0xA0, s.hsync);
        put16(b, 0xA1, 0xA2, s.hfp);
        put16(b, 0xA3, 0xA4, s.vtotal());
        put16(b, 0xA5, 0xA6, s.vact);
        put16(b, 0xA7, 0xA8, s.vsync);
        put16(b, 0xA9, 0xAB, s.vfp);
    } else {
        b[0x9F] = static_cast<uint8_t>(s.hsync & 0xFF);
        b[0xA0] = static_cast<uint8_t>(s.hfp & 0xFF);
        b[0xA1] = static_cast<uint8_t>((((s.hfp >> 8) & 0x0F) << 4) | ((s.hsync >> 8) & 0x01));
        put16(b, 0xA2, 0xA3, s.vtotal());
        put16(b, 0xA4, 0xA5, s.vact);
        b[0xA6] = static_cast<uint8_t>(s.vsync & 0xFF);
        b[0xA7] = static_cast<uint8_t>(s.vfp & 0xFF);
        b[0xA8] = static_cast<uint8_t>((((s.vfp >> 8) & 0x0F) << 4) | ((s.vsync >> 8) & 0x01));
    }
    b[0xAA] = static_cast<uint8_t>((b[0xAA] & 0x9F) | (s.vpos ? 0x40 : 0) | (s.hpos ? 0x20 : 0));
    b[0x98] = static_cast<uint8_t>((b[0x98] & 0xFD) | (s.interlaced ? 0x02 : 0));
}

void SimIt6805::encodeAvi(bool on)
{
    const SimVideoSource::Output& s = output_;
    auto& b = main_[2];
    const uint8_t vic = s.timing.vic ? s.timing.vic : s.timing.matchVic();
    b[0x15] = on ? static_cast<uint8_t>((static_cast<uint8_t>(s.color) & 3) << 5) : 0;
    b[0x16] = on ? static_cast<uint8_t>((static_cast<uint8_t>(s.colorimetry) & 3) << 6) : 0;
    b[0x17] = on ? static_cast<uint8_t>(((s.extendedColorimetry & 7) << 4) | ((static_cast<uint8_t>(s.range) & 3) << 2)) : 0;
    b[0x18] = on ? static_cast<uint8_t>(vic & 0x7F) : 0;
    b[0x19] = 0;
}

void SimIt6805::encodeAudio(bool linkOn)
{
    const SimVideoSource::Output& s = output_;
    const bool on = linkOn && s.hdmi() && s.audio.present();
    static const uint8_t kLayouts[9] = {0, 0x01, 0x01, 0x03, 0x03, 0x07, 0x07, 0x0F, 0x0F};
    const uint8_t code = !on ? 0 : audioCodeOverride_ >= 0 ? static_cast<uint8_t>(audioCodeOverride_) : s.audio.rateCode();
    auto& b0 = main_[0];
    b0[0xB0] = 0;
    b0[0xB1] = on ? static_cast<uint8_t>(0x80 | kLayouts[s.audio.channels > 8 ? 8 : s.audio.channels]) : 0;
    b0[0xB5] = static_cast<uint8_t>((code & 0x0F) | ((code & 0x30) << 2));
    b0[0xB9] = 0;
    const uint32_t n = on ? s.audio.n() : 0;
    const uint32_t cts = on ? s.audio.cts(s.tmdsKHz()) : 0;
    auto& b2 = main_[2];
    b2[0xBE] = static_cast<uint8_t>((n >> 12) & 0xFF);
    b2[0xBF] = static_cast<uint8_t>((n >> 4) & 0xFF);
    b2[0xC0] = static_cast<uint8_t>((n & 0x0F) | ((cts & 0x0F) << 4));
    b2[0xC1] = static_cast<uint8_t>((cts >> 12) & 0xFF);
    b2[0xC2] = static_cast<uint8_t>((cts >> 4) & 0xFF);
}

// ---- back doors -------------------------------------------------------------------

void SimIt6805::setPresent(bool present)
{
    std::lock_guard<std::mutex> l(lock_);
    present_ = present;
}

bool SimIt6805::present() const
{
    std::lock_guard<std::mutex> l(lock_);
    return present_;
}

void SimIt6805::setChipId(uint8_t id)
{
    std::lock_guard<std::mutex> l(lock_);
    chipId_ = id;
    encodeLink();
}

uint8_t SimIt6805::chipId() const
{
    std::lock_guard<std::mutex> l(lock_);
    return chipId_;
}

void SimIt6805::setIdVariant(uint8_t value)
{
    std::lock_guard<std::mutex> l(lock_);
    idVariant_ = value;
}

void SimIt6805::setSource(SimVideoSource* source)
{
    std::lock_guard<std::mutex> l(lock_);
    source_ = source;
    follow();
}

void SimIt6805::setScdtDropped(bool dropped)
{
    std::lock_guard<std::mutex> l(lock_);
    scdtDropped_ = dropped;
    linkChanged();
}

void SimIt6805::setOutputUnstable(bool unstable)
{
    std::lock_guard<std::mutex> l(lock_);
    outputUnstable_ = unstable;
}

void SimIt6805::latch(uint8_t reg, uint8_t bits)
{
    std::lock_guard<std::mutex> l(lock_);
    main_[0][reg] |= bits;
}

void SimIt6805::setCaofNeverDone(bool never)
{
    std::lock_guard<std::mutex> l(lock_);
    caofNever_ = never;
}

void SimIt6805::setAudioCodeOverride(int code)
{
    std::lock_guard<std::mutex> l(lock_);
    audioCodeOverride_ = code;
    encodeLink();
}

void SimIt6805::setEfuse(uint16_t addr, uint8_t first, uint8_t second)
{
    std::lock_guard<std::mutex> l(lock_);
    efuse_[addr] = {first, second};
}

void SimIt6805::setStoredClock(uint32_t value, bool hundredths)
{
    std::lock_guard<std::mutex> l(lock_);
    efuse_[0x00B0] = {static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>((value >> 8) & 0xFF)};
    efuse_[0x00B1] = {static_cast<uint8_t>((value >> 16) & 0xFF), static_cast<uint8_t>(hundredths ? 0xC0 : 0x00)};
}

void SimIt6805::setRclkKhz(uint32_t khz)
{
    std::lock_guard<std::mutex> l(lock_);
    rclkKhz_ = khz;
    encodeLink();
}

uint8_t SimIt6805::reg(int bank, uint8_t r) const
{
    std::lock_guard<std::mutex> l(lock_);
    return main_[static_cast<size_t>(bank & 7)][r];
}

void SimIt6805::setReg(int bank, uint8_t r, uint8_t value)
{
    std::lock_guard<std::mutex> l(lock_);
    main_[static_cast<size_t>(bank & 7)][r] = value;
}

uint8_t SimIt6805::cecReg(uint8_t r) const
{
    std::lock_guard<std::mutex> l(lock_);
    return cec_.reg(r);
}

int SimIt6805::hpd() const
{
    std::lock_guard<std::mutex> l(lock_);
    return main_[3][0xAB] >> 6;
}

int SimIt6805::vboLanes() const
{
    std::lock_guard<std::mutex> l(lock_);
    return 1 << ((main_[5][0xC0] >> 4) & 0x03);
}

bool SimIt6805::vboOn() const
{
    std::lock_guard<std::mutex> l(lock_);
    return !(main_[5][0xC9] & 0x01);
}

std::vector<SimIt6805::Write> SimIt6805::writes() const
{
    std::lock_guard<std::mutex> l(lock_);
    return writes_;
}

void SimIt6805::clearWrites()
{
    std::lock_guard<std::mutex> l(lock_);
    writes_.clear();
}

QJsonObject SimIt6805::state() const
{
    std::lock_guard<std::mutex> l(lock_);
    QJsonObject s;
    s.insert("present", present_);
    s.insert("addr", QString("0x%1").arg(kMainPage << 1, 2, 16, QChar('0')));
    s.insert("reset_held", resetHeld_ ? resetHeld_() : false);
    s.insert("chip_id", QString("0x%1").arg(chipId_, 2, 16, QChar('0')));
    s.insert("plus5v", plus5v_);
    s.insert("hpd", main_[3][0xAB] >> 6);
    s.insert("scdt", scdt());
    s.insert("vbo_lanes", 1 << ((main_[5][0xC0] >> 4) & 0x03));
    s.insert("vbo_on", !(main_[5][0xC9] & 0x01));
    s.insert("cec", cec_.state());
    return s;
}

// ---- equaliser and CEC ----------------------------------------------------------------

// A new clock reads unstable once: at the first read of 0x13 after the
// driver has taken the clock-change latch.
bool SimIt6805::settled()
{
    if (clockSettling_ == 1 && !(main_[0][0x05] & 0x04))
        clockSettling_ = 2;
    if (clockSettling_ != 2)
        return true;
    clockSettling_ = 0;
    return false;
}

bool SimIt6805::transferCec(I2cMsg* msgs, int count)
{
    uint8_t pointer = 0;
    for (int i = 0; i < count; ++i) {
        I2cMsg& m = msgs[i];
        if (m.flags & I2cMsg::kRead) {
            for (uint16_t k = 0; k < m.len; ++k) {
                bool advance = true;
                m.buf[k] = cec_.read(pointer, &advance);
                if (advance)
                    ++pointer;
            }
            continue;
        }
        if (m.len == 0)
            continue;
        pointer = m.buf[0];
        for (uint16_t k = 1; k < m.len; ++k, ++pointer)
            cec_.write(pointer, m.buf[k]);
    }
    return true;
}

void SimIt6805::setBitErrors(int channel, int rs, int count)
{
    std::lock_guard<std::mutex> l(lock_);
    eq_.setBitErrors(channel, rs, count);
}

void SimIt6805::setEqNoDone(bool never)
{
    std::lock_guard<std::mutex> l(lock_);
    eq_.setNoDone(never);
}

void SimIt6805::setSarResultInvalid(bool invalid)
{
    std::lock_guard<std::mutex> l(lock_);
    eq_.setSarInvalid(invalid);
}

void SimIt6805::setEqResult(int channel, uint8_t value)
{
    std::lock_guard<std::mutex> l(lock_);
    eq_.setResult(channel, value);
}

void SimIt6805::setDfe(int index, std::array<uint8_t, 4> values)
{
    std::lock_guard<std::mutex> l(lock_);
    eq_.setDfe(index, values);
}

void SimIt6805::injectCec(const std::vector<uint8_t>& frame, int lengthByte)
{
    std::function<void()> observer;
    {
        std::lock_guard<std::mutex> l(lock_);
        cec_.inject(frame, lengthByte);
        cec_.takeChanged();
        observer = hpdObserver_;
    }
    if (observer)
        observer();
}

void SimIt6805::setCecRxErrors(uint8_t bits)
{
    std::lock_guard<std::mutex> l(lock_);
    cec_.setRxErrors(bits);
}

void SimIt6805::latchCec(uint8_t bits)
{
    std::lock_guard<std::mutex> l(lock_);
    cec_.latch(bits);
}

void SimIt6805::setCecNoAck(bool noAck)
{
    std::lock_guard<std::mutex> l(lock_);
    cec_.setNoAck(noAck);
}

std::vector<std::vector<uint8_t>> SimIt6805::cecTxLog() const
{
    std::lock_guard<std::mutex> l(lock_);
    return cec_.txLog();
}

size_t SimIt6805::cecRxPending() const
{
    std::lock_guard<std::mutex> l(lock_);
    return cec_.rxPending();
}

} // namespace kel::platform::sim
