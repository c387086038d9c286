#include "ledout/LedSize.h"

#include "ledout/LedGlobals.h"
#include "ledout/fpga_manage.h"
#include "params/ApplyGate.h"
#include "params/KelRamPara.h"
#include "params/RamLayout.h"
#include "params/Utils.h"

#include <QMutexLocker>

#include <algorithm>
#include <cstring>

namespace {
// A field text as the page reads its partner: signed 16-bit, else 0.
long partnerValue(const QString& text)
{
    bool ok = false;
    const short v = text.toShort(&ok);
    return ok ? v : 0;
}

// Splice mode, width and height, as the scaler last programmed them.
constexpr size_t kSizeBytes = RamLayout::kLedHeight + 2 - RamLayout::kSpliceMode;
uint8_t g_programmed[kSizeBytes];
bool g_programmedKnown = false;

void setWindow(uint8_t* block, size_t off, uint16_t w, uint16_t h)
{
    RamLayout::setU16(block, off, 0);
    RamLayout::setU16(block, off + 2, 0);
    RamLayout::setU16(block, off + 4, w);
    RamLayout::setU16(block, off + 6, h);
}
} // namespace

LedSize::Texts LedSize::bound(Dimension dim, const QString& entry, const QString& partner)
{
    bool ok = false;
    const long n = entry.toInt(&ok);
    const long p = partnerValue(partner);
    Texts out{entry, partner};
    if (!ok || n < kMin) {
        out.edited = QString::number(kMin);
    } else if (n > kMax) {
        out.edited = QString::number(kMax);
        if (p * kMax > kWidthAreaCap)
            out.partner = QString::number(kPartnerOverMax);
    } else {
        const long cap = dim == Dimension::Width ? kWidthAreaCap : kHeightAreaCap;
        if (p * n > cap)
            out.partner = QString::number(cap / n);
    }
    return out;
}

int LedSize::clamp(int value) { return std::clamp(value, kMin, kMax); }

void LedSize::noteProgrammed(const uint8_t* block)
{
    std::memcpy(g_programmed, block + RamLayout::kSpliceMode, kSizeBytes);
    g_programmedKnown = true;
}

bool LedSize::isNewSize(const uint8_t* block)
{
    return !g_programmedKnown || std::memcmp(g_programmed, block + RamLayout::kSpliceMode, kSizeBytes) != 0;
}

void LedSize::handOver()
{
    fpga_manage* fpga = fpga_manage::p_fpga_manage;
    KelRamPara* store = KelRamPara::p_kelrampara_config;
    if (!fpga || !store || fpga->reg_image(fpga_manage::FPGA_REG_STATE) != fpga_manage::kStateRunning)
        return;
    QMutexLocker led(&Utils::_led_para_init_mutex);
    if (g_set_led_para != 0 || !isNewSize(store->RamBlock))
        return;
    g_set_led_para = 1;
    g_set_led_setup = 0;
}

bool LedSize::apply(int w, int h)
{
    KelRamPara* store = KelRamPara::p_kelrampara_config;
    if (!store)
        return false;
    const uint16_t width = uint16_t(clamp(w));
    const uint16_t height = uint16_t(clamp(h));
    bool changed = false;
    ApplyGate::instance().apply([&] {
        uint8_t* block = store->RamBlock;
        RamLayout::setU16(block, RamLayout::kSpliceMode, 0);
        RamLayout::setU16(block, RamLayout::kLedWidth, width);
        RamLayout::setU16(block, RamLayout::kLedHeight, height);
        setWindow(block, RamLayout::kOch0Window, width, height);
        setWindow(block, RamLayout::kOch1Window, width, height);
        changed = width != store->shadowU16(RamLayout::kLedWidth) || height != store->shadowU16(RamLayout::kLedHeight);
        if (!changed)
            return;
        // Window 0 fills the new screen (its on word stays), the others go off.
        const size_t w0 = RamLayout::imageRecord(0);
        RamLayout::setU16(block, w0 + RamLayout::kImgX, 0);
        RamLayout::setU16(block, w0 + RamLayout::kImgY, 0);
        RamLayout::setU16(block, w0 + RamLayout::kImgW, width);
        RamLayout::setU16(block, w0 + RamLayout::kImgH, height);
        for (int win = 1; win < RamLayout::kWindows; ++win)
            RamLayout::setU16(block, RamLayout::imageRecord(win) + RamLayout::kImgEnable, 0);
        handOver();
    });
    return changed;
}
