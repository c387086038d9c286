#include "platform/sim/SimIt6805Eq.h"

namespace kel::platform::sim {
namespace {

constexpr int kErrorLimit = 240;

bool portBank(int bank) { return bank == 3 || bank == 7; }

} // namespace

void SimIt6805Eq::powerOn(Banks& b) const
{
    for (int bank : {3, 7}) {
        for (int ch = 0; ch < 3; ++ch)
            b[bank][0xD5 + ch] = result_[ch];
        showValidity(b, bank);
    }
}

void SimIt6805Eq::setBitErrors(int channel, int rs, int count) { counts_[{channel, rs < 0 ? -1 : rs & 0x7F}] = count; }

int SimIt6805Eq::count(int channel, uint8_t rs) const
{
    auto it = counts_.find({channel, rs});
    if (it == counts_.end())
        it = counts_.find({channel, -1});
    return it == counts_.end() ? kClean : it->second;
}

int SimIt6805Eq::effectiveRs(const Banks& b, int bank, int channel) const
{
    const uint8_t manual = b[bank][0x27 + channel];
    return (manual & 0x80) ? manual & 0x7F : b[bank][0xD5 + channel] & 0x7F;
}

bool SimIt6805Eq::linkErrors(const Banks& b, int bank) const
{
    for (int ch = 0; ch < 3; ++ch)
    {
        const int c = count(ch, static_cast<uint8_t>(effectiveRs(b, bank, ch)));
        if (c >= kErrorLimit || c == kNotMeasured)
            return true;
    }
    return false;
}

void SimIt6805Eq::showValidity(Banks& b, int bank) const
{
    b[bank][0x63] = sarInvalid_ ? 0xFF : 0x40;
    b[bank][0x64] = sarInvalid_ ? 0x3F : 0x01;
}

void SimIt6805Eq::written(Banks& b, int bank, uint8_t r, uint8_t old, uint8_t v)
{
    if ((bank == 0 || bank == 4) && (r == 0xB9 || r == 0xBE)) {
        b[bank][r] = linkErrors(b, bank == 0 ? 3 : 7) ? 0x01 : 0x00;
        return;
    }
    if (!portBank(bank))
        return;
    auto& p = b[bank];
    switch (r) {
    case 0x22:
        if (!(old & 0x04) && (v & 0x04)) {
            for (int ch = 0; ch < 3; ++ch)
                p[0xD5 + ch] = result_[ch];
            showValidity(b, bank);
            if (!noDone_)
                b[0][bank == 3 ? 0x07 : 0x0C] |= (v & 0x38) == 0x38 ? 0x40 : 0x10;
        }
        break;
    case 0x36: {
        const auto& d = dfe_[v & 0x0F];
        for (int k = 0; k < 4; ++k)
            p[0x5D + k] = d[k];
        break;
    }
    case 0x37:
        showValidity(b, bank);
        break;
    case 0xE9: {
        if (v & 0x80)
            for (int ch = 0; ch < 3; ++ch)
                measured_[ch] = count(ch, static_cast<uint8_t>(effectiveRs(b, bank, ch)));
        const int ch = (v >> 5) & 0x03;
        const int c = ch < 3 ? measured_[ch] : kNotMeasured;
        p[0xEA] = c < 0 ? 0 : static_cast<uint8_t>(c & 0xFF);
        p[0xEB] = c < 0 ? 0 : static_cast<uint8_t>(0x80 | ((c >> 8) & 0x7F));
        break;
    }
    default:
        break;
    }
}

} // namespace kel::platform::sim
