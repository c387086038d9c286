#include "inputs/it66121_sys.h"

#include "inputs/IT66121Tables.h"
#include "inputs/SourceGpio.h"

namespace {

// Output types selected by CHANGE_INPUT, by index modulo 18.
const uint8_t kInputTypes[18] = {1, 2, 3, 4, 5, 6, 7, 16, 17, 18, 19, 20, 21, 22, 31, 32, 33, 34};
constexpr uint16_t kChipId = 0x4954;

} // namespace

it66121_sys::it66121_sys(tarvosource& owner, SourceGpio& gpio, SleepMs sleep)
    : drv(io, [this](unsigned ms) { delay1ms(ms); }),
      sys(drv, io),
      owner_(owner),
      gpio_(gpio),
      sleep_(std::move(sleep))
{
}

void it66121_sys::delay1ms(unsigned ms)
{
    if (sleep_)
        sleep_(ms);
}

void it66121_sys::sdi_it66121_init()
{
    gpio_.write(SourceGpio::kSdiEnable, kSdiEnableOn);
    gpio_.write(SourceGpio::kGs2971Reset, 1);
}

int it66121_sys::IT66121_Test()
{
    io.Switch_HDMITX_Bank(0);
    bool okHigh = false, okLow = false;
    const uint8_t high = io.HDMITX_ReadI2C_Byte(0x01, &okHigh);
    const uint8_t low = io.HDMITX_ReadI2C_Byte(0x00, &okLow);
    it66121_found = okHigh && okLow && ((high << 8) | low) == kChipId ? 1 : 0;
    return it66121_found;
}

void it66121_sys::InitHDMITX_Variable()
{
    drv.HDMITX_InitTxDev();
    sys.tx_hpd_status = 0;
    sys.tx_hpd_change = 0;
}

void it66121_sys::InitHDMITX()
{
    for (const structRegSetEntry* table : IT66121Tables::kInitOrder)
        drv.hdmitx_LoadRegSetting(table);
}

void it66121_sys::IT66121_init()
{
    InitHDMITX_Variable();
    InitHDMITX();
    CHANGE_INPUT(kOutputModeIndex);
    GS2971_Reset();
}

void it66121_sys::CHANGE_INPUT(uint8_t index)
{
    sys.HDMITX_ChangeDisplayOption(kInputTypes[index % 18], 0);
}

void it66121_sys::GS2971_Reset()
{
    gpio_.write(SourceGpio::kGs2971Reset, 0);
    delay1ms(kGs2971PulseMs);
    gpio_.write(SourceGpio::kGs2971Reset, 1);
}
