#include "ledout/fpga_manage.h"

#include "ledout/FpgaInputState.h"
#include "ledout/clock_record_run.h"
#include "ledout/rcvRecovery.h"
#include "params/DebugPrint.h"
#include "params/KelRamPara.h"
#include "params/StoreFolders.h"
#include "params/Utils.h"
#include "params/global.h"
#include "platform/Board.h"
#include "platform/FpgaBoardMap.h"
#include "platform/RegisterWindow.h"
#include "platform/Sleeper.h"

#include <QMutexLocker>

#include <cstdio>

namespace {

using Map = kel::platform::FpgaBoardMap;
using OpenStep = kel::platform::RegisterWindow::OpenStep;

constexpr uint32_t kMsysTag = 0x4D530100;
constexpr uint32_t kMsysRecordSize = 20;
// The device polls every microsecond. On the simulated board the pause is
// longer so an idle manager costs the host almost nothing; every wait of
// the pass is counted in ticks, so the pace changes no behaviour.
constexpr uint64_t kDevicePassPauseUs = 1;
constexpr uint64_t kSimPassPauseUs = 5000;

void putU32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

const char* openFailureText(OpenStep step)
{
    switch (step) {
    case OpenStep::OpenMsys:
        return "\n can't open /dev/msys";
    case OpenStep::OpenMem:
        return "\ncan't open /dev/mem";
    case OpenStep::Request:
        return "\n DMEM request failed!!";
    default:
        return "\n NULL pointer!";
    }
}

} // namespace

fpga_manage* fpga_manage::p_fpga_manage = nullptr;

fpga_manage::fpga_manage()
    : drv(std::make_unique<fpga_drv>()), rcv_reader(std::make_unique<rcvRecovery>()),
      clock_record(std::make_unique<clock_record_run>(*this))
{
    kelDebug("====fpga_manage::fpga_manage()=====\n");
    writeLogMsg(3, std::string("====fpga_manage::fpga_manage()====="));
    for (int f = 0; f < 2; ++f) {
        MCU_REG_func[f] = reg_images[f];
        MCU_RAM_PARA_func[f] = ram_para_image[f];
        MCU_RAM_RX_func[f] = ram_rx_image[f];
        MCU_RAM_TX_func[f] = ram_tx_image[f];
        MCU_RAM_ETH_PARA_func[f] = eth_para_image[f];
        MCU_RAM_ETH_BACK_PARA_func[f] = eth_back_image[f];
    }
    set_lcd_change_flag();
}

fpga_manage::~fpga_manage()
{
    stopThread();
    drv->closeAll();
    for (int f = 0; f < 2; ++f) {
        MCU_REG_func[f] = MCU_RAM_PARA_func[f] = MCU_RAM_RX_func[f] = MCU_RAM_TX_func[f] = nullptr;
        MCU_RAM_ETH_PARA_func[f] = MCU_RAM_ETH_BACK_PARA_func[f] = nullptr;
    }
}

fpga_manage* fpga_manage::pInstance()
{
    if (!p_fpga_manage) {
        p_fpga_manage = new fpga_manage;
        for (const char* dir : {StoreFolders::kSmartMappingDir, StoreFolders::kRecoveryDir})
            p_fpga_manage->rcv_reader->check_file_dir(QString::fromLatin1(dir));
        p_fpga_manage->initialize();
    }
    return p_fpga_manage;
}

void fpga_manage::destroyInstance()
{
    delete p_fpga_manage;
    p_fpga_manage = nullptr;
}

uint32_t fpga_manage::initialize()
{
    spi_fd_fpga0 = drv->initialize_vbyne1(0);
    spi_fd_flash2 = drv->initialize_vbyne1(2);
    putU32(msys_request, kMsysTag);
    putU32(msys_request + 16, kMsysRecordSize);
    reg_window = kel::platform::Board::newRegisterWindow();
    if (!reg_window->openMemorySystem()) {
        // The GPIO words stay bound to their dummies, so every user of the
        // lines keeps running without touching the hardware.
        const char* text = openFailureText(reg_window->failedStep());
        std::fprintf(stderr, "%s\n", text);
        writeLogMsg(1, std::string(text));
        return 255;
    }
    bindGpioWords();
    gpio.gpio_it6805_reset.low();
    gpio.gpio_it6602_reset.low();
    gpio.gpio_edid_wp.high();
    gpio.gpio_start_line.store(1);
    return 0;
}

void fpga_manage::bindGpioWords()
{
    const std::pair<GpioWord*, uint32_t> words[] = {
        {&gpio.gpio_fpga1_cs, Map::kFpga1Cs},         {&gpio.gpio_fpga0_cs, Map::kFpga0Cs},
        {&gpio.gpio_fpga0_cmd, Map::kFpga0Cmd},       {&gpio.gpio_fpga0_reset, Map::kFpga0Reset},
        {&gpio.gpio_flash2_cs, Map::kFlash2Cs},       {&gpio.gpio_fpga1_reset, Map::kFpga1Reset},
        {&gpio.gpio_it6602_reset, Map::kIt6602Reset}, {&gpio.gpio_it6805_reset, Map::kIt6805Reset},
        {&gpio.gpio_edid_wp, Map::kEdidWp},           {&gpio.gpio_fpga1_cmd, Map::kFpga1Cmd},
        {&gpio.gpio_start_line, Map::kStartLine},     {&gpio.gpio_gs2971_reset, Map::kGs2971Reset},
        {&gpio.gpio_fpga0_irq, Map::kFpga0Irq},       {&gpio.gpio_fpga1_irq, Map::kFpga1Irq},
        {&gpio.gpio_flash3_cs, Map::kFlash3Cs},       {&gpio.gpio_sdi_enable, Map::kSdiEnable},
    };
    for (const auto& [word, offset] : words)
        word->bind(reg_window.get(), offset);
}

void fpga_manage::softinit()
{
    g_change = FpgaChange{};
    g_change.powerup_stamp[0] = g_change.powerup_stamp[1] = G_timeTicks.load();
    output_stopped = output_stop_req = output_start_req = output_step = 0;
    screen_off_by_timer = 0;
    Power_ctrl_init();
    Version_to_RAM();
    PHY_status_to_RAM();
    MCU_RAM_CMD[28] = 0xFF;
    MCU_RAM_CMD[29] = 1;
    MCU_RAM_EXTEND[49] = 0x9F;
    MCU_RAM_EXTEND[50] = 0x1F;
    g_send_para.head = 0xFF00;   // command 0, send_step 255
    g_send_para.send_card_index &= 0xFF00;
}

uint32_t fpga_manage::initialize_start()
{
    softinit();
    thread_run = true;
    try {
        fpga_thread = std::thread(&fpga_manage::fpgamanageThread, this);
    } catch (const std::system_error&) {
        thread_run = false;
        writeLogMsg(1, std::string("create check source thread failed"));
        return 255;
    }
    return 0;
}

void fpga_manage::stopThread()
{
    thread_run = false;
    if (fpga_thread.joinable())
        fpga_thread.join();
}

void* fpga_manage::fpgamanageThread(void* arg)
{
    auto* self = static_cast<fpga_manage*>(arg);
    if (!self)
        return nullptr;
    const uint64_t pause = kel::platform::Board::isSim() ? kSimPassPauseUs : kDevicePassPauseUs;
    while (self->thread_run) {
        if (g_usb_grade)
            self->usb_upgrade_manage_deal();
        else
            self->fpga_manage_deal(self);
        kel::platform::Sleeper::sleepUs(pause);
    }
    return nullptr;
}

void fpga_manage::fpga_manage_deal(void*)
{
    check_fpga_rst();
    const bool boardReady = FpgaInputState::ready();
    if (boardReady)
        power_up_fpga_start(1, 0);
    {
        std::lock_guard<std::mutex> l(irq_mutex);
        if (boardReady)
            reg_IRQ_Dealwith(0, 0);
    }
    if (boardReady)
        power_up_check_fpga_status(0);
    // A request is taken (cleared) before it is applied and put back when it
    // could not be applied, so one posted during the apply is never lost.
    if (fpga_bri_req) {
        { QMutexLocker l(&Utils::_bri_set_mutex); fpga_bri_req = 0; }
        bri_req_taken = 1;
        const bool applied = set_fpga_bri_val();
        bri_req_taken = 0;
        if (!applied) {
            QMutexLocker l(&Utils::_bri_set_mutex);
            fpga_bri_req = 1;
        }
    }
    if (g_set_led_para)
        set_led_para_deal();
    switch (g_send_para.command()) {
    case SendPara::send_cmd_smartmapping: SmartMapping_deal(); break;
    case SendPara::send_cmd_load_scan: rcv_recovery_check_deal(2); break;
    case SendPara::send_cmd_save_para: save_para_deal(); break;
    case SendPara::send_cmd_mapping_enable: mapping_enable_deal(); break;
    case SendPara::send_cmd_rcv_check: rcv_recovery_check_deal(0); break;
    case SendPara::send_cmd_rcv_recover: rcv_recovery_check_deal(1); break;
    default: Check_search_card(); break;
    }
    if (fpga_output_req == 1) {
        { QMutexLocker l(&Utils::_system_mutex); fpga_output_req = 0; }
        if (!set_output_status()) {
            QMutexLocker l(&Utils::_system_mutex);
            fpga_output_req = 1;
        }
    }
    run_clock_record();
}

void fpga_manage::set_lcd_change_flag()
{
    monitor_state[0] = monitor_state[1] = 3;
}

uint32_t fpga_manage::set_fpga_bri_val()
{
    if (!get_fpga_status())
        return 0;
    Brightness_hand_dealwith(1);
    return 1;
}

uint32_t fpga_manage::set_output_status()
{
    if (!get_fpga_status())
        return 0;
    SCREEN_fpgactrl_status(block_u16(RamLayout::kLedScreenSwitch) ? SCREEN_OFF : SCREEN_ON);
    return 1;
}

// ---- running-time record ----

// The record runs while FPGA 0 is up (state image 80 = 3): the first pass
// reads or starts the log, every later pass takes the minute step. Only
// this thread writes the record, so its flash erases and writes hold no
// lock; the other threads read the copy published at the end.
void fpga_manage::run_clock_record()
{
    if (clock_change_req.exchange(0))
        clock_record->dealwith_record_timing();
    if (reg_image(FPGA_REG_STATE) == kStateRunning) {
        if (!clock_record->record_ready) {
            clock_record->clock_record_init();
            clock_record->record_ready = 1;
        } else {
            clock_record->clock_record_deal();
        }
    }
    std::lock_guard<std::mutex> l(sched_mutex);
    clock_record_published = g_clock_record;
}

// The clock was set (on a link thread): the mark is made by the next pass.
void fpga_manage::record_clock_change() { clock_change_req = 1; }

ClockRecordState fpga_manage::clock_record_snapshot()
{
    std::lock_guard<std::mutex> l(sched_mutex);
    return clock_record_published;
}
