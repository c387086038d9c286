// Power-up of the FPGAs, their status sequence, resets, the screen
// commands, the LED-size change and the port link state.
#include "ledout/fpga_manage.h"

#include "ledout/FpgaInputState.h"
#include "params/DebugPrint.h"
#include "params/RamLayout.h"
#include "params/SyncReason.h"
#include "params/Utils.h"
#include "params/global.h"

#include <QMutexLocker>

#include <array>

namespace {

constexpr uint32_t kPowerupPasses = 301;
constexpr uint32_t kStepWait = 5;
constexpr uint32_t kResetHold = 50;
constexpr uint8_t kVersionMin = 25;
constexpr uint8_t kVersionMax = 48;
constexpr uint16_t kS2ErrorsPerReset = 5;
constexpr uint8_t kS2Resets = 3;
constexpr uint16_t kS5Errors = 5;
constexpr uint8_t kS5Repeats = 3;
constexpr uint32_t kCountMin = 714286;
constexpr uint32_t kCountMax = 999999;
constexpr uint8_t kStepWaitReset = 17;
constexpr uint8_t kMaxCheckRounds = 100;

enum VboStep : uint8_t { VBO_IDLE = 0, VBO_S1 = 1, VBO_S2 = 2, VBO_S3 = 3, VBO_S5 = 5, VBO_S6 = 6, VBO_DONE = 7 };
enum StatusStep : uint8_t {
    ST_VIDEO = 0, ST_MEASURE = 7, ST_RAM_RESET = 1, ST_RAM_RESET_ACK = 8, ST_RAM_RESET_READ = 2,
    ST_HANDSHAKE_CLEAR = 9, ST_HANDSHAKE_CHECK = 10, ST_RAM_DONE = 3, ST_FINISH = 14, ST_OUTPUT = 15,
    ST_LIGHT = 16, ST_LIT = 18,
};

// The parameter RAM's first 256 bytes when the flash holds no record: all
// zero but the screen size, which matches the default port area
// (0, 0, 1280, 512).
constexpr std::array<uint8_t, 256> makeRam1()
{
    std::array<uint8_t, 256> t{};
    t[60] = 0x00;
    t[61] = 0x05;   // screen width 1280
    t[62] = 0x00;
    t[63] = 0x02;   // screen height 512
    return t;
}
constexpr std::array<uint8_t, 256> RAM1 = makeRam1();

uint32_t now() { return G_timeTicks.load(); }
bool after(uint32_t stamp, uint32_t n) { return Utils::getTimeSpace(stamp) > n; }
bool atLeast(uint32_t stamp, uint32_t n) { return Utils::getTimeSpace(stamp) >= n; }

} // namespace

uint32_t fpga_manage::get_fpga_status()
{
    std::lock_guard<std::mutex> l(reg_image_mutex);
    return reg_images[0][FPGA_REG_STATE] == kStateRunning && vbo_step[0] == VBO_DONE && status_step[0] == ST_LIT &&
                   !(reg_images[0][FPGA_REG_CTRL] & 0x08)
               ? 1
               : 0;
}

// ---- resets ----

void fpga_manage::pull_reset(uint8_t f)
{
    (f == 0 ? gpio.gpio_fpga0_reset : gpio.gpio_fpga1_reset).low();
    reset_pending[f] = 1;
    reset_stamp[f] = now();
}

void fpga_manage::reset_fpga_rst(uint8_t f)
{
    if (f > 1)
        return;
    pull_reset(f);
    vbo_resets[f] = 0;
}

void fpga_manage::check_fpga_rst()
{
    if (!reset_pending[0] || !after(reset_stamp[0], kResetHold))
        return;
    gpio.gpio_fpga0_reset.high();
    {
        std::lock_guard<std::mutex> l(reg_image_mutex);
        reg_images[0][FPGA_REG_STATE] = 0;
        reg_images[0][FPGA_REG_VERSION_MAIN] = 0;
    }
    status_step[0] = 0;
    vbo_step[0] = VBO_IDLE;
    powerup_passes[0] = 0;
    vbo_errors[0] = 0;
    g_change.reset_release_stamp = now();
    reset_pending[0] = 0;
}

// ---- V-by-One power-up ----

void fpga_manage::power_up_fpga_start(uint8_t check, uint8_t f)
{
    if (f > 1)
        return;
    if (check && reg_image(FPGA_REG_STATE, f) == kStateRunning && vbo_step[f] == VBO_DONE)
        return;
    // An FPGA held in reset answers nothing useful; its release restarts us.
    if (reset_pending[f] || !after(g_change.powerup_stamp[f], kStepWait))
        return;
    if (powerup_passes[f] < kPowerupPasses) {
        ++powerup_passes[f];
        return;
    }
    const uint8_t version = reg_image(FPGA_REG_VERSION_MAIN, f);
    if (version < kVersionMin || version > kVersionMax) {
        for (uint8_t r : {31, 30, 29, 28, 7})
            read_from_register(r, f);
        vbo_step[f] = VBO_S1;
        vbo_errors[f] = 0;
        check_retries[f] = 0;
        check_rounds[f] = 0;
        g_fpga_lcd_on = 0;
        g_change.powerup_stamp[f] = now();
        return;
    }
    vbo_pass(f);
}

bool fpga_manage::vbo_pass(uint8_t f)
{
    switch (vbo_step[f]) {
    case VBO_S1:
        kelDebug("\n +++++++++++++++++++++FPGA[%d]_VBO_INIT_S1++++++++++++++++++++++++ !!!\n", f + 1);
        set_bit(FPGA_REG_OUTPUT, 6, true, f);
        vbo_step[f] = VBO_S2;
        break;
    case VBO_S2:
        vbo_s2(f);
        break;
    case VBO_S3:
        kelDebug("\n +++++++++++++++++++++FPGA[%d]_VBO_INIT_S3++++++++++++++++++++++++ !!!\n", f + 1);
        set_bit(FPGA_REG_OUTPUT, 7, true, f);
        vbo_step[f] = VBO_S5;
        vbo_errors[f] = 0;
        vbo_resets[f] = 0;
        break;
    case VBO_S5:
        vbo_s5(f);
        break;
    case VBO_S6:
        vbo_s6(f);
        return true;
    default:
        return false;
    }
    g_change.powerup_stamp[f] = now();
    return true;
}

void fpga_manage::vbo_s2(uint8_t f)
{
    read_from_register(FPGA_REG_STATUS, f);
    if (reg_image(FPGA_REG_STATUS, f) & 0x08) {
        kelDebug("\n +++++++++++++++++FPGA[[%d]]_VBO_INIT_S2 error!!!++++++++++++++++\n", f + 1);
        ++vbo_errors[f];
        if (vbo_errors[f] != kS2ErrorsPerReset)
            return;
        ++vbo_resets[f];
        if (vbo_resets[f] < kS2Resets) {
            kelDebug("\n +++++++++++++++++FPGA[%d]_VBO_INIT_S2 reset!!!++++++++++++++++\n", f + 1);
            pull_reset(f);
            return;
        }
    }
    vbo_step[f] = VBO_S3;
}

void fpga_manage::vbo_s5(uint8_t f)
{
    read_from_register(FPGA_REG_STATUS, f);
    if (reg_image(FPGA_REG_STATUS, f) & 0x10) {
        vbo_step[f] = VBO_S6;
        vbo_resets[f] = 0;
        set_bit(FPGA_REG_VBO_CTRL, 0, false, f);
        return;
    }
    kelDebug("\n +++++++++++++++++FPGA[%d]_VBO_INIT_S5 error!!!++++++++++++++++\n", f + 1);
    if (++vbo_errors[f] > kS5Errors)
        ++vbo_resets[f];
    if (vbo_resets[f] >= kS5Repeats)
        vbo_step[f] = VBO_S6;
}

void fpga_manage::vbo_s6(uint8_t f)
{
    kelDebug("\n +++++++++++++++++++++FPGA[%d]_VBO_INIT_S6++++++++++++++++++++++++ !!!\n", f + 1);
    set_bit(FPGA_REG_VBO_CTRL, 0, true, f);
    merge_image(FPGA_REG_STATE, 0xFF, kStateRunning, f);
    fpgainit(f);
    SCREEN_fpgactrl_status2(SCREEN_OFF, f);
    merge_image(FPGA_REG_STATE, 0xFF, kStateRunning, f);
    vbo_step[f] = VBO_DONE;
    status_stamp[f] = now();
}

// ---- parameter RAM load ----

void fpga_manage::load_para_defaults(uint8_t f)
{
    uint8_t* p = ram_para_image[f];
    std::copy(RAM1.begin(), RAM1.end(), p);
    for (uint32_t a = 296; a < 360; a += 4) {
        set_para_u16(f, a, 1398);
        set_para_u16(f, a + 2, 466);
    }
    p[496] = 0;
    p[498] = 0;
    eth_param_init(1, f);
    T57_back_mcu_set_net_para(f);
}

void fpga_manage::fpgainit(uint8_t f)
{
    read_from_register(FPGA_REG_STATUS, f);
    set_bit(FPGA_REG_STATUS, 5, false, f);
    record_bright_change();
    record_onoff_time(uint8_t(f + 2));
    for (int i = 0; i < 3; ++i)
        read_from_register(FPGA_REG_MEASURE, f);
    uint8_t* p = ram_para_image[f];
    uint8_t mark = 0xFF;
    std::vector<uint8_t> stored(kRamImageSize, 0xFF);
    const bool haveRecord = drv->FPGA_SPI_FLASH_VBYONE_READ(flashOf(f), kParaRecordAddr, 1, &mark) && mark == 0xAA &&
                            drv->FPGA_SPI_FLASH_VBYONE_READ(flashOf(f), kParaRecordAddr + 1, kRamImageSize,
                                                            stored.data());
    if (haveRecord) {
        std::copy(stored.begin(), stored.end(), p);
        std::fill(p + 96, p + 128, 0);
        T57_back_mcu_set_net_para(f);
        if (f == 0)
            T57_mcu_set_net_para(0);
    } else {
        load_para_defaults(f);
    }
    for (int i = 0; i < 16; ++i)
        p[276 + i] = uint8_t(16 * f + 1 + i);
    write_fpga_ram(p, 0, kRamImageSize, kParaBuffer, f);
    update_eth_state(f);
    FPGA_to_RAM(f);
    set_bit(FPGA_REG_LOAD, 3, true, f);
    ram_check_ok[f] = check_fpga_ram_param(f);
    if (ram_check_ok[f]) {
        kelDebug("\n check fpga%d ram ok  .... \n", f + 1);
    } else {
        kelDebug("\n check fpga%d ram error ,start to reset .... \n", f + 1);
        reset_fpga_rst(f);
    }
}

// ---- status sequence ----

void fpga_manage::power_up_check_fpga_status(uint8_t f)
{
    if (f > 1 || reg_image(FPGA_REG_STATE, f) != kStateRunning || vbo_step[f] != VBO_DONE || reset_pending[f])
        return;
    status_pass(f);
}

void fpga_manage::status_pass(uint8_t f)
{
    const uint32_t stamp = status_stamp[f];
    switch (status_step[f]) {
    case ST_VIDEO:
        if (after(stamp, 10))
            status_step0(f);
        return;
    case ST_MEASURE:
        if (after(stamp, 10))
            status_step7(f);
        return;
    case ST_RAM_RESET:
        if (!after(stamp, 30))
            return;
        set_bit(FPGA_REG_RAM_RESET, 0, true, f);
        status_step[f] = ST_RAM_RESET_ACK;
        status_stamp[f] = now();
        set_bit(FPGA_REG_VBO_CTRL, 1, true, f);
        return;
    case ST_RAM_RESET_ACK:
        if (!after(stamp, 5))
            return;
        read_from_register(FPGA_REG_VBO_CTRL, f);
        status_step[f] = (reg_image(FPGA_REG_VBO_CTRL, f) & 0x02) ? ST_RAM_RESET_READ : ST_RAM_RESET;
        status_stamp[f] = now();
        return;
    case ST_RAM_RESET_READ:
        if (!after(stamp, 10))
            return;
        read_from_register(FPGA_REG_RAM_RESET, f);
        ram_reset_seen[f] = 1;
        status_step[f] = ST_HANDSHAKE_CLEAR;
        status_stamp[f] = now();
        return;
    case ST_HANDSHAKE_CLEAR:
        set_bit(FPGA_REG_VBO_CTRL, 1, false, f);
        status_step[f] = ST_HANDSHAKE_CHECK;
        status_stamp[f] = now();
        return;
    case ST_HANDSHAKE_CHECK:
        if (!after(stamp, 5))
            return;
        read_from_register(FPGA_REG_VBO_CTRL, f);
        if (reg_image(FPGA_REG_VBO_CTRL, f) & 0x02) {
            status_step[f] = ST_HANDSHAKE_CLEAR;
        } else {
            status_step[f] = ST_RAM_DONE;
            kelDebug("\n --------------------check_fpga%d_singal_reset  0011------------------------- \n", f + 1);
        }
        return;
    case ST_RAM_DONE:
        if (ram_reset_seen[f] == 1) {
            kelDebug("\n --------------------RAM PARA reset!!!!!!---------------------- ");
            status_step[f] = ST_FINISH;
        }
        return;
    case ST_FINISH:
        if (!after(stamp, 10))
            return;
        SCREEN_fpgactrl_status2(SCREEN_STATUS_DONE_CLEAR, f);
        status_step[f] = ST_OUTPUT;
        set_bit(FPGA_REG_LOAD, 0, true, f);
        status_stamp[f] = now();
        return;
    case ST_OUTPUT:
        if (!after(stamp, 30))
            return;
        status_step[f] = ST_LIGHT;
        status_stamp[f] = now();
        Brightness_hand_dealwith(1);
        SCREEN_fpgactrl_status2(SCREEN_OUTPUT_ENABLE, f);
        kelDebug("\n fpga%d over to enable lcd\n", f + 1);
        g_fpga_lcd_on = 1;
        announce(SYNC_INPUT_INFO);
        kelDebug("\n power_up_check_fpga_status start to OK phy (%d)!!!\n", f + 1);
        return;
    case ST_LIGHT:
        if (g_source_online != 2 || !atLeast(stamp, 21))
            return;
        set_bit(FPGA_REG_LOAD, 0, true, f);
        status_step[f] = ST_LIT;
        kelDebug("\n fpga%d last.... \n", f + 1);
        SCREEN_fpgactrl_status2(SCREEN_ON, f);
        kelDebug("\n fpga%d start to light on \n", f + 1);
        return;
    default:
        return;
    }
}

void fpga_manage::status_step0(uint8_t f)
{
    read_from_register(FPGA_REG_STATUS, f);
    if (reg_image(FPGA_REG_STATUS, f) & 0x80) {
        status_step[f] = ST_MEASURE;
    } else if (int(check_retries[f]) < (int(check_rounds[f]) + 1) * 20) {
        ++check_retries[f];
    } else if (check_rounds[f] <= kMaxCheckRounds) {
        ++check_rounds[f];
        pull_reset(f);
        vbo_step[f] = kStepWaitReset;
    } else {
        status_step[f] = ST_MEASURE;
    }
    status_stamp[f] = now();
    kelDebug("\n fpga%d************%d\n", f + 1, status_step[f].load());
}

void fpga_manage::status_step7(uint8_t f)
{
    uint8_t* p = ram_para_image[f];
    read_fpga_ram(p + 116, 116, 8, kParaBuffer, f);
    const uint16_t w = para_u16(f, 116), h = para_u16(f, 118);
    const uint32_t count = uint32_t(p[120] | (p[121] << 8) | (p[122] << 16)) | (uint32_t(p[123]) << 24);
    const uint16_t ledW = block_u16(RamLayout::kLedWidth), ledH = block_u16(RamLayout::kLedHeight);
    if (w >= ledW / 2 && h >= ledH / 2 && count >= kCountMin && count <= kCountMax) {
        set_bit(FPGA_REG_LOAD, 0, true, f);
        status_step[f] = ST_RAM_RESET;
        kelDebug("\nfpag%d.......ok(%d,%d,%d)  123................\n", f + 1, w, h, count);
    } else {
        kelDebug("\nfpag%d.......error(%d,%d,%d)................\n", f + 1, w, h, count);
    }
    status_stamp[f] = now();
}

// ---- screen commands ----

void fpga_manage::SCREEN_fpgactrl_status(SCREEN_status s)
{
    switch (s) {
    case SCREEN_OFF: write_to_register(FPGA_REG_CTRL, 0x04, 0x04, 0); break;
    case SCREEN_ON: write_to_register(FPGA_REG_CTRL, 0x04, 0x00, 0); break;
    case SCREEN_BIT1_SET: write_to_register(FPGA_REG_CTRL, 0x02, 0x02, 0); break;
    case SCREEN_BIT1_CLEAR: write_to_register(FPGA_REG_CTRL, 0x02, 0x00, 0); break;
    case SCREEN_OUTPUT_ENABLE: write_to_register(FPGA_REG_OUTPUT, 0x20, 0x20, 0); break;
    case SCREEN_OUTPUT_BLANK: write_to_register(FPGA_REG_OUTPUT, 0x20, 0x00, 0); break;
    case SCREEN_VBO_OUT_CLEAR: write_to_register(FPGA_REG_VBO_CTRL, 0x01, 0x00, 0); break;
    case SCREEN_VBO_OUT_SET: write_to_register(FPGA_REG_VBO_CTRL, 0x01, 0x01, 0); break;
    case SCREEN_REFRESH_STATUS: read_from_register(FPGA_REG_STATUS, 0); break;
    default: break;
    }
}

void fpga_manage::SCREEN_fpgactrl_status2(SCREEN_status s, uint8_t f)
{
    switch (s) {
    case SCREEN_OFF: write_to_0x00_register(FPGA_REG_CTRL, 0x04, 0x04, f); break;
    case SCREEN_ON: write_to_0x00_register(FPGA_REG_CTRL, 0x04, 0x00, f); break;
    case SCREEN_OUTPUT_ENABLE: write_to_register(FPGA_REG_OUTPUT, 0x20, 0x20, f); break;
    case SCREEN_OUTPUT_BLANK: write_to_register(FPGA_REG_OUTPUT, 0x20, 0x00, f); break;
    case SCREEN_STATUS_DONE_SET: write_to_register(FPGA_REG_VBO_CTRL, 0x08, 0x08, f); break;
    case SCREEN_STATUS_DONE_CLEAR: write_to_register(FPGA_REG_VBO_CTRL, 0x08, 0x00, f); break;
    default: break;
    }
}

// ---- LED-size change ----

void fpga_manage::set_led_para_deal()
{
    const uint8_t request = g_set_led_para;
    if (request == 2) {
        {
            QMutexLocker l(&Utils::_led_para_init_mutex);
            g_set_led_para = 0;
            g_set_led_setup = 0;
        }
        reset_fpga_rst(0);
        return;
    }
    if (request != 1)
        return;
    switch (g_set_led_setup.load()) {
    case 0: {
        SCREEN_fpgactrl_status(SCREEN_OFF);
        led_step_stamp = now();
        QMutexLocker l(&Utils::_led_para_init_mutex);
        g_set_led_setup = 1;
        break;
    }
    case 1: {
        if (!atLeast(led_step_stamp, 11))
            return;
        led_step_stamp = now();
        SCREEN_fpgactrl_status(SCREEN_OUTPUT_BLANK);
        QMutexLocker l(&Utils::_led_para_init_mutex);
        g_set_led_setup = 2;
        break;
    }
    default: {
        if (!atLeast(led_step_stamp, 31))
            return;
        led_step_stamp = now();
        QMutexLocker l(&Utils::_led_para_init_mutex);
        g_set_led_setup = 0;
        // Only a 1 is answered here: a 2 the scaler stored meanwhile stays.
        uint8_t posted = 1;
        g_set_led_para.compare_exchange_strong(posted, 0);
        break;
    }
    }
}

// ---- port link state ----

uint32_t fpga_manage::get_wlan_state()
{
    if (reg_image(FPGA_REG_STATE, 0) != kStateRunning)
        return 0;
    read_from_register(FPGA_REG_LINK, 0);
    read_from_register(FPGA_REG_LINK_HIGH, 0);
    return (uint32_t(reg_image(FPGA_REG_LINK_HIGH, 0)) << 8) | reg_image(FPGA_REG_LINK, 0);
}

void fpga_manage::check_wlanonline_state()
{
    if (!FpgaInputState::present())
        return;
    const uint16_t mask = FpgaInputState::ready() && reg_image(FPGA_REG_STATE, 0) == kStateRunning
                              ? uint16_t(get_wlan_state())
                              : 0;
    if (get_fpga_status() == 1 && mask != wlan_state_seen) {
        announce(SYNC_WLAN_STATE);
        wlan_state_seen = mask;
    }
}
