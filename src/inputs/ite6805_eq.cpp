#include "inputs/ite6805_eq.h"

#include "inputs/iTE6805_INI_REG.h"
#include "inputs/ite6805_drv.h"
#include "inputs/ite6805_i2c_rdwr.h"
#include "inputs/ite6805_sys.h"
#include "params/DebugPrint.h"

#include <cassert>
#include <initializer_list>
#include <cstdlib>

const uint8_t ite6805_eq::RS_Value[kRsValues] = {0x7F, 0x7E, 0x3F, 0x3E, 0x1F, 0x1E, 0x0F,
                                                 0x0E, 0x07, 0x06, 0x03, 0x02, 0x01, 0x00};
const uint8_t ite6805_eq::iTE6805_EQ_Table_Hdmi20[4] = {0x01, 0x07, 0x0F, 0x3F};
const uint8_t ite6805_eq::iTE6805_EQ_Table_Hdmi10[4] = {0x01, 0x3F, 0x07, 0x0F};

namespace {

constexpr int kWaitLimit = 31;
constexpr uint8_t kCheckPeriodMax = 32;
constexpr uint8_t kLowLimit = 240;
constexpr unsigned kCountMs = 100;
constexpr uint16_t kInvalidResult = 0x3FFF;
constexpr uint16_t kNoCount = 0x7FFF;

// The successive-approximation set-up in the port bank, after the reset of
// the equaliser (the rows of 3.140's Trigger_SAREQ from register 0x26 on).
const iTE6805_INI_REG kSarSetup[] = {
    {0x26, 0xFF, 0x00}, {0x27, 0xFF, 0x1F}, {0x28, 0xFF, 0x1F}, {0x29, 0xFF, 0x1F}, {0x2C, 0xC0, 0xC0},
    {0x2D, 0xF7, 0x20}, {0x30, 0xFF, 0x8C}, {0x31, 0xFF, 0xB0}, {0x32, 0xFF, 0x43}, {0x33, 0xFF, 0x47},
    {0x34, 0xFF, 0x4B}, {0x35, 0xFF, 0x53}, {0x36, 0xC0, 0x00}, {0x37, 0xFF, 0x0B}, {0x38, 0xFF, 0xF2},
    {0x39, 0xFF, 0x0D}, {0x4A, 0x80, 0x00}, {0x4B, 0x80, 0x00}, {0x54, 0x80, 0x80}, {0x55, 0xFF, 0x40},
    {0xFF, 0x00, 0x00}};

// The RS/skew pass after the channel values and DFE bytes are loaded.
const iTE6805_INI_REG kRsSkewSetup[] = {
    {0x2D, 0xFF, 0x00}, {0x30, 0xFF, 0x94}, {0x31, 0xFF, 0xB0}, {0x37, 0x10, 0x10}, {0x54, 0x80, 0x00},
    {0x22, 0x04, 0x04}, {0xFF, 0x00, 0x00}};

// A count passes the first check with a low byte below 240, the re-check
// with one of 240 or less; both need the high byte to be exactly 0x80.
bool passes(uint16_t count, uint8_t lowLimit)
{
    return (count >> 8) == 0x80 && (count & 0xFF) < lowLimit;
}

uint8_t dfeByte(uint8_t a, uint8_t x, uint8_t limit, uint8_t highAbove, uint8_t highBelow, uint8_t baseAbove,
                uint8_t baseBelow)
{
    const uint8_t n = static_cast<uint8_t>(std::abs(int{a} - int{x}) / 2);
    if (n > limit)
        return a > x ? highAbove : highBelow;
    return static_cast<uint8_t>((a > x ? baseAbove : baseBelow) + n);
}

} // namespace

// ---- register helpers -------------------------------------------------------------------

uint32_t& ite6805_eq::stateeq(int dev) { return sys_.dev(dev).iTE6805_DATA.STATEEQ; }

uint8_t ite6805_eq::portBank(int dev) const { return sys_.dev(dev).iTE6805_DATA.CurrentPort ? 7 : 3; }

bool ite6805_eq::hdmi2(int dev) { return sys_.drv().iTE6805_Check_HDMI2(dev) != 0; }

void ite6805_eq::bank(uint8_t b, int dev) { sys_.drv().chgbank(b, dev); }

uint8_t ite6805_eq::rd(uint8_t reg, int dev) { return sys_.rdwr().hdmirxrd(reg, dev); }

void ite6805_eq::wr(uint8_t reg, uint8_t value, int dev) { sys_.rdwr().hdmirxwr(reg, value, dev); }

void ite6805_eq::set(uint8_t reg, uint8_t mask, uint8_t value, int dev) { sys_.rdwr().hdmirxset(reg, mask, value, dev); }

void ite6805_eq::clearIrqFlags(int dev)
{
    State& s = st(dev);
    s.eq_sar_done = s.eq_auto_done = s.eq_hdmi1x_fail = s.eq_hdmi20_fail = 0;
}

// Bank 0: clears the equaliser interrupts and pulses the port's equaliser
// reset (0x23 port 0, 0x2B port 1).
void ite6805_eq::resetPulse(unsigned ms, int dev)
{
    const bool port1 = sys_.dev(dev).iTE6805_DATA.CurrentPort != 0;
    bank(0, dev);
    wr(port1 ? 0x0C : 0x07, 0xFF, dev);
    const uint8_t r = port1 ? 0x2B : 0x23;
    wr(r, 0xB0, dev);
    sys_.delay1ms(ms);
    wr(r, 0xA0, dev);
}

// In the port bank: channel select of the result and DFE registers.
void ite6805_eq::selectChannel(int channel, int dev) { set(0x37, 0xC0, static_cast<uint8_t>(channel << 6), dev); }

// In the port bank: 0x27..0x29 := values with bit 7 flipped by flip.
void ite6805_eq::writeRs(const uint8_t values[kChannels], uint8_t flip, int dev)
{
    for (int ch = 0; ch < kChannels; ++ch)
        wr(static_cast<uint8_t>(0x27 + ch), static_cast<uint8_t>(values[ch] ^ flip), dev);
}

// ---- interrupts ------------------------------------------------------------------------------

void ite6805_eq::iTE6805_hdmirx_port0_EQ_irq(int dev)
{
    bank(0, dev);
    const uint8_t r07 = rd(0x07, dev);
    wr(0x07, static_cast<uint8_t>(r07 & ~0x08), dev);
    if (r07 == 0)
        return;
    State& s = st(dev);
    if (r07 & 0x10)
        s.eq_sar_done = 1;
    if (r07 & 0x20) {
        s.eq_hdmi20_fail = 1;
        iTE6805_Set_EQResult_Flag(dev);
    }
    if (r07 & 0x40)
        s.eq_auto_done = 1;
    if (r07 & 0x80)
        s.eq_hdmi1x_fail = 1;
    if (r07 & 0xF0) {
        bank(3, dev);
        set(0x22, 0x04, 0x00, dev);
        bank(0, dev);
    }
}

void ite6805_eq::iTE6805_hdmirx_port1_EQ_irq(int dev)
{
    bank(0, dev);
    const uint8_t r0c = rd(0x0C, dev);
    wr(0x0C, r0c, dev);
    State& s = st(dev);
    if (r0c & 0x10)
        s.eq_sar_done = 1;
    if (r0c & 0x20)
        s.eq_hdmi20_fail = 1;
    if (r0c & 0x40)
        s.eq_auto_done = 1;
    if (r0c & 0x80)
        s.eq_hdmi1x_fail = 1;
}

// ---- triggers and results ----------------------------------------------------------------

void ite6805_eq::iTE6805_Reset_EQ(int dev)
{
    State& s = st(dev);
    for (int ch = 0; ch < kChannels; ++ch)
        s.eq_ch_ok[ch] = s.eq_ch_ok_seen[ch] = s.eq_ch_ok_index[ch] = 0;
    clearIrqFlags(dev);
    s.eq_rsskew_mode = 0;
    s.eq_check_count = 0;
    s.eq_check_period = kCheckPeriodMax;
    s.eq_sweep_index = 0;
    s.eq_wait_count = 0;
    bank(portBank(dev), dev);
    wr(0x2C, 0x00, dev);
    wr(0x2D, 0x07, dev);
    resetPulse(1, dev);
    bank(portBank(dev), dev);
    static const uint8_t kDefault[kChannels] = {0x9F, 0x9F, 0x9F};
    writeRs(kDefault, 0x00, dev);
    wr(0x22, 0x00, dev);
    set(0x4B, 0x80, 0x00, dev);
    bank(0, dev);
}

void ite6805_eq::iTE6805_Trigger_EQ(int dev)
{
    kelDebug("iTE6805_Trigger_EQ \n");
    clearIrqFlags(dev);
    resetPulse(10, dev);
    const bool fast = rd(sys_.dev(dev).iTE6805_DATA.CurrentPort ? 0x17 : 0x14, dev) & 0x01;
    bank(portBank(dev), dev);
    wr(0x20, fast ? 0x36 : 0x1B, dev);
    wr(0x21, fast ? 0x0E : 0x03, dev);
    for (uint8_t r = 0x26; r <= 0x29; ++r)
        wr(r, 0x00, dev);
    wr(0x22, 0x38, dev);
    set(0x22, 0x04, 0x04, dev);
    sys_.delay1ms(1);
    set(0x22, 0x04, 0x00, dev);
    bank(0, dev);
}

void ite6805_eq::iTE6805_Trigger_SAREQ(int dev)
{
    kelDebug("iTE6805_Trigger_SAREQ \n");
    const bool port1 = sys_.dev(dev).iTE6805_DATA.CurrentPort != 0;
    clearIrqFlags(dev);
    bank(portBank(dev), dev);
    wr(0x20, 0x1B, dev);
    wr(0x21, 0x03, dev);
    set(0x20, 0x80, 0x00, dev);
    wr(0x22, 0x00, dev);
    resetPulse(10, dev);
    bank(port1 ? 4 : 0, dev);
    wr(0x3B, 0x23, dev);
    bank(portBank(dev), dev);
    sys_.drv().hdimrx_write_init(kSarSetup, dev);
    set(0x22, 0x04, 0x04, dev);
    bank(0, dev);
}

void ite6805_eq::iTE6805_Trigger_RSSKEW_EQ(int dev)
{
    kelDebug("iTE6805_Trigger_RSSKEW_EQ \n");
    State& s = st(dev);
    clearIrqFlags(dev);
    bank(portBank(dev), dev);
    set(0x22, 0x04, 0x00, dev);
    writeRs(s.eq_rs, 0x80, dev);
    if (!s.eq_result_invalid) {
        for (int ch = 0; ch < kChannels; ++ch)
            iTE6805_Set_DFE(dev, s.eq_rs[ch], ch);
        bank(portBank(dev), dev);
        set(0x4B, 0x80, 0x80, dev);
    }
    sys_.drv().hdimrx_write_init(kRsSkewSetup, dev);
    bank(0, dev);
}

void ite6805_eq::iTE6805_Report_EQ(int dev)
{
    State& s = st(dev);
    bank(portBank(dev), dev);
    for (int ch = 0; ch < kChannels; ++ch)
        s.eq_rs[ch] = static_cast<uint8_t>(rd(static_cast<uint8_t>(0xD5 + ch), dev) & 0x7F);
    bank(0, dev);
    kelDebug("EQ result CH0=%02X CH1=%02X CH2=%02X\n", s.eq_rs[0], s.eq_rs[1], s.eq_rs[2]);
}

void ite6805_eq::iTE6805_Report_Skew(int dev)
{
    bank(portBank(dev), dev);
    for (int ch = 0; ch < kChannels; ++ch) {
        selectChannel(ch, dev);
        for (uint8_t r = 0x74; r <= 0x7A; ++r)
            kelDebug("CH%d skew 0x%02X=%02X\n", ch, r, rd(r, dev));
    }
    bank(0, dev);
}

void ite6805_eq::iTE6805_Set_EQResult_Flag(int dev)
{
    State& s = st(dev);
    s.eq_result_invalid = 0;
    bank(portBank(dev), dev);
    for (int ch = 0; ch < kChannels; ++ch) {
        selectChannel(ch, dev);
        const uint16_t v = static_cast<uint16_t>(rd(0x63, dev) | (rd(0x64, dev) << 8));
        if (v == kInvalidResult)
            s.eq_result_invalid = 1;
    }
    bank(0, dev);
    if (s.eq_result_invalid)
        kelDebug("EQ result invalid \n");
}

void ite6805_eq::dfeBytes(uint8_t a, uint8_t b, uint8_t c, uint8_t d, uint8_t out[3])
{
    out[0] = dfeByte(a, b, 31, 0x7F, 0x5F, 0x60, 0x40);
    out[1] = dfeByte(a, c, 15, 0x3F, 0x2F, 0x30, 0x20);
    out[2] = dfeByte(a, d, 7, 0x1F, 0x17, 0x18, 0x10);
}

void ite6805_eq::iTE6805_Get_DFE(int dev, int channel)
{
    State& s = st(dev);
    if (s.eq_result_invalid || channel < 0 || channel >= kChannels)
        return;
    bank(portBank(dev), dev);
    selectChannel(channel, dev);
    kelDebug("CH%d EQ=%02X\n", channel, rd(static_cast<uint8_t>(0xD5 + channel), dev));
    for (int i = 0; i < kRsValues; ++i) {
        set(0x36, 0x0F, static_cast<uint8_t>(i), dev);
        const uint8_t a = rd(0x5D, dev), b = rd(0x5E, dev), c = rd(0x5F, dev), d = rd(0x60, dev);
        dfeBytes(a, b, c, d, s.eq_dfe[i][channel]);
    }
    bank(0, dev);
}

int ite6805_eq::iTE6805_Find_indexof_DEF(uint8_t value)
{
    for (int i = 0; i < kRsValues; ++i)
        if (RS_Value[i] == value)
            return i;
    return 4;
}

void ite6805_eq::iTE6805_Set_DFE(int dev, uint8_t value, int channel)
{
    if (channel < 0 || channel >= kChannels)
        return;
    const uint8_t* bytes = st(dev).eq_dfe[iTE6805_Find_indexof_DEF(value)][channel];
    bank(portBank(dev), dev);
    for (int k = 0; k < 3; ++k)
        wr(static_cast<uint8_t>(0x4B + 3 * channel + k), bytes[k], dev);
    bank(0, dev);
}

// ---- error counts ------------------------------------------------------------------------

void ite6805_eq::iTE6805_BitErr_Get(int dev)
{
    State& s = st(dev);
    const bool port1 = sys_.dev(dev).iTE6805_DATA.CurrentPort != 0;
    bank(port1 ? 4 : 0, dev);
    set(0x3B, 0x08, 0x08, dev);
    bank(portBank(dev), dev);
    set(0x55, 0x80, 0x00, dev);
    wr(0xE9, 0x80, dev);
    sys_.delay1ms(kCountMs);
    assert(s.eq_sweep_index < kRecords);
    uint16_t* record = s.eq_err_records[s.eq_sweep_index % kRecords];
    for (int ch = 0; ch < kChannels; ++ch) {
        wr(0xE9, static_cast<uint8_t>(ch << 5), dev);
        const uint8_t low = rd(0xEA, dev), high = rd(0xEB, dev);
        record[ch] = static_cast<uint16_t>((high << 8) | low);
        if (stateeq(dev) == STATEEQ_EQDone)
            s.eq_err_total[ch] += low + (high & 0x7Fu) * 256u;
    }
    bank(0, dev);
    kelDebug("BitErr CH0=%04X CH1=%04X CH2=%04X\n", record[0], record[1], record[2]);
}

uint8_t ite6805_eq::iTE6805_BitErr_Check_For_Parity_Error(int dev)
{
    const bool port1 = sys_.dev(dev).iTE6805_DATA.CurrentPort != 0;
    bank(0, dev);
    bool good = rd(port1 ? 0x16 : 0x13, dev) == 0xBF;
    good = good && (rd(port1 ? 0x17 : 0x14, dev) & 0x38) == 0x38;
    bank(port1 ? 4 : 0, dev);
    for (uint8_t r : {0xB9, 0xBE}) {
        wr(r, 0xFF, dev);
        good = good && rd(r, dev) == 0;
    }
    bank(0, dev);
    good = good && (rd(0x19, dev) & 0x80);
    return good ? 1 : 0;
}

uint8_t ite6805_eq::iTE6805_BitErr_Check(int dev)
{
    State& s = st(dev);
    iTE6805_BitErr_Get(dev);
    const uint16_t* record = s.eq_err_records[s.eq_sweep_index % kRecords];
    for (int ch = 0; ch < kChannels; ++ch)
        if (passes(record[ch], kLowLimit))
            s.eq_ch_ok[ch] = 1;
    if (s.eq_ch_ok[0] && s.eq_ch_ok[1] && s.eq_ch_ok[2]) {
        bank(portBank(dev), dev);
        set(0x22, 0x08, 0x00, dev);
        bank(0, dev);
        wr(0x07, 0xF0, dev);
        wr(0x0C, 0xF0, dev);
        return 1;
    }
    bool recorded = false;
    for (int ch = 0; ch < kChannels; ++ch) {
        if (s.eq_ch_ok[ch] && !s.eq_ch_ok_seen[ch]) {
            s.eq_ch_ok_seen[ch] = 1;
            s.eq_ch_ok_index[ch] = s.eq_sweep_index;
        }
        recorded = recorded || s.eq_ch_ok_seen[ch];
    }
    return recorded ? 0 : iTE6805_BitErr_Check_For_Parity_Error(dev);
}

uint8_t ite6805_eq::iTE6805_BitErr_Check_Again(int dev)
{
    State& s = st(dev);
    iTE6805_BitErr_Get(dev);
    const uint16_t* record = s.eq_err_records[s.eq_sweep_index % kRecords];
    bool now[kChannels];
    for (int ch = 0; ch < kChannels; ++ch) {
        now[ch] = passes(record[ch], kLowLimit + 1);
        if (!now[ch])
            s.eq_ch_ok[ch] = 0;
    }
    if (now[0] && now[1] && now[2])
        return 1;
    const uint8_t* ok = s.eq_ch_ok;
    if ((now[2] && !ok[0] && !ok[2] && !ok[1]) || (!now[2] && !ok[0] && !ok[1]))
        return iTE6805_BitErr_Check_For_Parity_Error(dev);
    return 0;
}

// ---- state machine -----------------------------------------------------------------------

void ite6805_eq::iTE6805_EQ_chg(uint32_t state, int dev)
{
    State& s = st(dev);
    for (int ch = 0; ch < kChannels; ++ch) {
        s.eq_best_rs[ch] = 0;
        s.eq_min_err[ch] = kNoCount;
    }
    if (stateeq(dev) == STATEEQ_KeepEQStateUntil5VOff)
        return;
    stateeq(dev) = state;
    kelDebug("EQ state change to %u (dev %d)\n", static_cast<unsigned>(state), dev);
    switch (state) {
    case STATEEQ_Off:
        iTE6805_Reset_EQ(dev);
        break;
    case STATEEQ_WaitClockValid:
        s.eq_fast_link = (hdmi2(dev) || sys_.drv().iTE6805_Check_TMDS_Bigger_Than_1G(dev)) ? 1 : 0;
        bank(portBank(dev), dev);
        set(0xA7, 0x40, static_cast<uint8_t>(s.eq_fast_link << 6), dev);
        bank(0, dev);
        break;
    case STATEEQ_WaitEQResult:
        s.eq_wait_count = 0;
        break;
    case STATEEQ_EQResult:
        enterResult(dev);
        break;
    case STATEEQ_CheckBitErr:
        enterCheckBitErr(dev);
        break;
    case STATEEQ_ManualSweep:
        enterManualSweep(dev);
        break;
    case STATEEQ_EQDone:
        for (uint32_t& t : s.eq_err_total)
            t = 0;
        iTE6805_Report_EQ(dev);
        if (hdmi2(dev))
            iTE6805_Report_Skew(dev);
        break;
    default:
        break;
    }
}

void ite6805_eq::enterResult(int dev)
{
    State& s = st(dev);
    if (s.eq_auto_done) {
        iTE6805_Report_EQ(dev);
        iTE6805_EQ_chg(STATEEQ_CheckBitErr, dev);
        return;
    }
    if (!s.eq_sar_done)
        return;
    if (s.eq_rsskew_mode) {
        s.eq_rsskew_mode = 0;
        iTE6805_Report_Skew(dev);
    } else {
        iTE6805_Report_EQ(dev);
        iTE6805_Report_Skew(dev);
        if (s.eq_is_hdmi2) {
            s.eq_is_hdmi2 = 0;
            iTE6805_Set_EQResult_Flag(dev);
            bank(portBank(dev), dev);
            if (s.eq_result_invalid) {
                // The sweep runs first; the error check below then confirms
                // the setting it left.
                set(0x22, 0x40, 0x00, dev);
                bank(0, dev);
                iTE6805_EQ_chg(STATEEQ_ManualSweep, dev);
            } else {
                bank(0, dev);
                for (int ch = 0; ch < kChannels; ++ch)
                    iTE6805_Get_DFE(dev, ch);
                bank(portBank(dev), dev);
                set(0x22, 0x40, 0x40, dev);
                bank(0, dev);
            }
        }
    }
    iTE6805_EQ_chg(STATEEQ_CheckBitErr, dev);
}

void ite6805_eq::enterCheckBitErr(int dev)
{
    State& s = st(dev);
    if (iTE6805_BitErr_Check(dev)) {
        s.eq_rsskew_mode = 0;
        iTE6805_EQ_chg(STATEEQ_EQDone, dev);
        return;
    }
    const uint16_t* record = s.eq_err_records[s.eq_sweep_index % kRecords];
    if ((record[0] >> 8) == 0 && (record[1] >> 8) == 0 && (record[2] >> 8) == 0) {
        // Nothing measured: change the clock-ratio setting and start over.
        bank(portBank(dev), dev);
        const uint8_t e5 = rd(0xE5, dev);
        set(0xE5, 0x1C, (e5 & 0x10) ? 0x00 : hdmi2(dev) ? 0x10 : 0x1C, dev);
        bank(0, dev);
        iTE6805_EQ_chg(STATEEQ_Off, dev);
        return;
    }
    if (s.eq_rsskew_mode) {
        iTE6805_Trigger_RSSKEW_EQ(dev);
        iTE6805_EQ_chg(STATEEQ_WaitEQResult, dev);
        return;
    }
    iTE6805_EQ_chg(STATEEQ_ManualSweep, dev);
}

void ite6805_eq::enterManualSweep(int dev)
{
    State& s = st(dev);
    const int step = s.eq_sweep_index;
    s.eq_sweep_index = static_cast<uint8_t>(step + 1);
    if (s.eq_sweep_index < kRecords) {
        bank(portBank(dev), dev);
        wr(0x2C, 0x00, dev);
        wr(0x2D, 0x07, dev);
        for (int ch = 0; ch < kChannels; ++ch) {
            if (s.eq_ch_ok[ch])
                continue;
            wr(static_cast<uint8_t>(0x27 + ch), static_cast<uint8_t>(s.eq_table[step] | 0x80), dev);
            if (s.eq_path_hdmi20 && !s.eq_result_invalid) {
                iTE6805_Set_DFE(dev, s.eq_table[step], ch);
                bank(portBank(dev), dev);
            }
        }
        bank(0, dev);
        iTE6805_EQ_chg(STATEEQ_CheckBitErr, dev);
        return;
    }
    // Sweep exhausted: each channel still failing takes the step with the
    // smallest valid count (the earlier one on a tie), 0 when none is valid.
    s.eq_sweep_index = 0;
    for (int ch = 0; ch < kChannels; ++ch) {
        if (s.eq_ch_ok[ch])
            continue;
        for (int k = 0; k < kRecords - 1; ++k) {
            const uint16_t c = s.eq_err_records[k + 1][ch];
            if ((c & 0x8000) && (c & 0x7FFF) < s.eq_min_err[ch]) {
                s.eq_min_err[ch] = c & 0x7FFF;
                s.eq_best_rs[ch] = s.eq_table[k];
            }
        }
        s.eq_rs[ch] = s.eq_best_rs[ch];
    }
    if (hdmi2(dev)) {
        s.eq_rsskew_mode = 1;
        iTE6805_Trigger_RSSKEW_EQ(dev);
        iTE6805_EQ_chg(STATEEQ_WaitEQResult, dev);
        return;
    }
    bank(portBank(dev), dev);
    writeRs(s.eq_rs, 0x80, dev);
    bank(0, dev);
    iTE6805_EQ_chg(iTE6805_BitErr_Check_Again(dev) ? STATEEQ_EQDone : STATEEQ_Retry, dev);
}

void ite6805_eq::iTE6805_EQ_fsm(int dev)
{
    switch (stateeq(dev)) {
    case STATEEQ_WaitClockValid:
        waitClockValidStep(dev);
        break;
    case STATEEQ_WaitEQResult:
        waitResultStep(dev);
        break;
    case STATEEQ_Retry:
        iTE6805_EQ_chg(STATEEQ_ManualSweep, dev);
        break;
    case STATEEQ_EQDone:
        doneStep(dev);
        break;
    default:
        break;
    }
}

void ite6805_eq::waitClockValidStep(int dev)
{
    if (!sys_.drv().iTE6805_Check_CLK_Vaild(dev))
        return;
    State& s = st(dev);
    s.eq_path_hdmi1x = s.eq_path_hdmi20 = 0;
    if (hdmi2(dev)) {
        s.eq_table = iTE6805_EQ_Table_Hdmi20;
        s.eq_path_hdmi20 = 1;
        s.eq_is_hdmi2 = 1;
        if (iTE6805_BitErr_Check(dev)) {
            iTE6805_EQ_chg(STATEEQ_EQDone, dev);
            return;
        }
        iTE6805_Trigger_SAREQ(dev);
    } else {
        s.eq_table = iTE6805_EQ_Table_Hdmi10;
        s.eq_path_hdmi1x = 1;
        iTE6805_Trigger_EQ(dev);
    }
    iTE6805_EQ_chg(STATEEQ_WaitEQResult, dev);
}

void ite6805_eq::waitResultStep(int dev)
{
    State& s = st(dev);
    if (s.eq_auto_done || s.eq_sar_done) {
        iTE6805_EQ_chg(STATEEQ_EQResult, dev);
        return;
    }
    const bool failed = (s.eq_hdmi1x_fail && s.eq_path_hdmi1x) || (s.eq_hdmi20_fail && s.eq_path_hdmi20);
    if (s.eq_wait_count < kWaitLimit && !failed) {
        ++s.eq_wait_count;
        return;
    }
    kelDebug("EQ wait timeout or fail, manual sweep \n");
    s.eq_wait_count = 0;
    s.eq_hdmi1x_fail = s.eq_hdmi20_fail = 0;
    s.eq_result_invalid = 1;
    iTE6805_EQ_chg(STATEEQ_ManualSweep, dev);
}

void ite6805_eq::doneStep(int dev)
{
    State& s = st(dev);
    if (s.eq_check_count == 0) {
        if (hdmi2(dev)) {
            if (sys_.dev(dev).iTE6805_DATA.Flag_VidStable_Done)
                iTE6805_BitErr_Get(dev);
        } else if (!iTE6805_BitErr_Check_Again(dev)) {
            iTE6805_EQ_chg(STATEEQ_WaitClockValid, dev);
        }
    }
    if (s.eq_check_count != s.eq_check_period) {
        ++s.eq_check_count;
        return;
    }
    s.eq_check_count = 0;
    if (s.eq_check_period < kCheckPeriodMax)
        ++s.eq_check_period;
}
