#include "inputs/tarvosource.h"

#include "inputs/Drv_I2C0.h"
#include "inputs/EdidBlock.h"
#include "inputs/RegBankBits.h"
#include "inputs/SiI9022.h"
#include "inputs/it66121_sys.h"
#include "inputs/ite6805_sys.h"
#include "inputs/tarvo_it6602.h"
#include "ledout/FpgaInputState.h"
#include "ledout/MonitorProbe.h"
#include "params/ConfigEngine.h"
#include "params/ConfigItem.h"
#include "params/DebugPrint.h"
#include "params/KelRamPara.h"
#include "params/RamLayout.h"
#include "params/SyncReason.h"
#include "params/Utils.h"
#include "params/global.h"
#include "platform/Board.h"
#include "platform/LogLine.h"
#include "platform/PathMap.h"
#include "platform/Sleeper.h"

#include <QDir>
#include <QMutexLocker>

#include <cstring>

namespace {

constexpr uint32_t kResetWaitTicks = 11;
constexpr uint32_t kPulseTicks = 15;
constexpr uint64_t kResetSleepUs = 1000;
constexpr uint64_t kPollSleepUs = 1;
constexpr unsigned kSdiMaxFailures = 9;
constexpr int kEdidBytes = 256;
constexpr int kPage = 8;

// Parameter block bytes the board manager reads.
constexpr size_t kAudioImageIndex = 2112;
constexpr size_t kImageAudioByte = 21;  // bit 7: the window carries audio

const uint8_t kS5p210Table[63] = {
    0x00, 0x00, 0x11, 0x32, 0x7B, 0x53, 0xEC, 0x01, 0x19, 0x52, 0xF2, 0x06, 0x63, 0x24, 0xC7, 0x13,
    0x00, 0x30, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x24, 0x03, 0x11, 0x33, 0x38, 0x80, 0x04,
    0x00, 0x00, 0x74, 0x74, 0x90, 0x7D, 0x69, 0xE1, 0xA0, 0xEF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0xF3, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC3, 0xC2, 0x00, 0x00, 0x00, 0x00, 0x05};

const uint8_t kCdce913Block[33] = {0xCA, 0x81, 0x00, 0xB4, 0x07, 0x02, 0x50, 0x40, 0x00, 0x00, 0x00,
                                   0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0D,
                                   0x02, 0x00, 0x00, 0xE4, 0x61, 0x23, 0xCB, 0xE4, 0x61, 0x23, 0xCB};

const uint8_t kAudioBits[6] = {0x80, 0x40, 0x20, 0x10, 0x04, 0x08};
const char kInputNames[6][4] = {"EXT", "DVI", "HD1", "HD2", "HD3", "HD4"};

// Fixed blanking of computed timings: {hfp, hsync, hback, vfp, vsync, vback}.
struct Blanking { uint16_t hfp, hsync, hback, vfp, vsync, vback; };
constexpr Blanking kBlank6602 = {48, 32, 80, 3, 10, 49};
constexpr Blanking kBlank6805 = {176, 88, 296, 8, 10, 72};

constexpr uint8_t kIt6805Channel[2] = {0x20, 0x10};

void sleepUs(uint64_t us) { kel::platform::Sleeper::sleepUs(us); }

// The loop's 1 us pauses: as asked on the device; on the simulated board a
// pause of 5 ms keeps the idle loop well under 1 % of a host core (each
// pass pauses 13 times).
constexpr uint64_t kSimPollPauseUs = 5000;

void pollPause()
{
    sleepUs(kel::platform::Board::isSim() ? kSimPollPauseUs : kPollSleepUs);
}

KelRamPara* store() { return KelRamPara::p_kelrampara_config; }

} // namespace

constexpr uint8_t tarvosource::i2c_switch_channel[6];
tarvosource* tarvosource::p_tarvo_source = nullptr;

tarvosource* tarvosource::pInstance()
{
    if (!p_tarvo_source)
        p_tarvo_source = new tarvosource();
    return p_tarvo_source;
}

tarvosource::tarvosource()
{
    writeLogMsg(3, std::string("====tarvosource::tarvosource()====="));
    for (int k = 0; k < 6; ++k) {
        source_restart_request[k] = 0;
        source_edid_written[k] = 0;
        edid_ram_table_from[k] = 0;
    }
    s5p210_state[0] = 0;
    s5p210_state[1] = 0;
    // The drivers publish into this object's records, also when it is not
    // the process-wide instance (the test fixtures build their own).
    it6602 = new tarvo_it6602(*this);
    ite6805 = new ite6805_sys(*this);
    it66121 = new it66121_sys(*this, gpio, [](unsigned ms) { kel::platform::Sleeper::sleepMs(ms); });
    i2c = Drv_I2C0::pInstance();
}

tarvosource::~tarvosource()
{
    stop();
    if (readerRegistered_) {
        FpgaInputState::setChipStateReader({});
        MonitorProbe::setProbe({});
    }
    if (i2c_fd >= 0)
        i2c->release(i2c_fd);
    delete it66121;
    delete ite6805;
    delete it6602;
    if (p_tarvo_source == this)
        p_tarvo_source = nullptr;
}

// ---- start-up and thread --------------------------------------------------

void tarvosource::prepare()
{
    i2c_fd = i2c->initialize();
    if (i2c_fd < 0)
        writeLogMsg(1, std::string("open /dev/i2c-0 failed"));
    it6602->i2c_fd = i2c_fd;
    ite6805->i2c_fd = i2c_fd;
    it66121->i2c_fd = i2c_fd;
    source_enable_mask = static_cast<uint8_t>(Utils::configValue(g_check_source));
    const QString dir = kel::platform::PathMap::host(QStringLiteral("/data/edidramtable"));
    if (!QDir(dir).exists())
        QDir().mkpath(dir);
    // The FPGA side powers up only once the 0xD0 chip is set up.
    FpgaInputState::setChipStateReader([this] { return s5p210_state[0].load(); });
    // The monitor transmitters sit on this bus; their probe needs no object.
    MonitorProbe::setProbe(&SiI9022::check_9022);
    readerRegistered_ = true;
}

int tarvosource::initialize()
{
    prepare();
    stop_ = false;
    if (pthread_create(&thread_, nullptr, &tarvosource::checksourceThread, this) != 0) {
        writeLogMsg(1, std::string("create check source thread failed"));
        return 255;
    }
    threadStarted_ = true;
    return 0;
}

void* tarvosource::checksourceThread(void* arg)
{
    auto* self = static_cast<tarvosource*>(arg);
    if (!self)
        return nullptr;
    while (!self->stop_)
        self->runOnce();
    return nullptr;
}

void tarvosource::stop()
{
    if (!threadStarted_)
        return;
    stop_ = true;
    pthread_join(thread_, nullptr);
    threadStarted_ = false;
}

uint8_t tarvosource::thread_state() const
{
    QMutexLocker l(&Utils::_source_init_mutex);
    return source_thread_state;
}

void tarvosource::enterState(uint8_t state)
{
    QMutexLocker l(&Utils::_source_init_mutex);
    source_thread_state = state;
    source_state_tick = G_timeTicks.load();
}

void tarvosource::runOnce()
{
    const uint8_t state = thread_state();
    if (state < kEdidCheck) {
        resetSequenceStep(state);
    } else if (state == kEdidCheck) {
        finishResetSequence();
    } else {
        steadyPass();
        pollPause();
    }
}

// ---- reset sequence (states 0..4) ------------------------------------------

void tarvosource::driveResetLines(uint16_t level)
{
    if (receiver_reset_request[0] || receiver_reset_request[1] || receiver_reset_request[2] ||
        receiver_reset_request[3])
        gpio.write(SourceGpio::kIt6602Reset, level);
    if (receiver_reset_request[4] || receiver_reset_request[5]) {
        gpio.write(SourceGpio::kIt6805Reset, level);
        if (level == SourceGpio::kLow)
            ite6805->ite6805_sys_reset_init();
    }
}

void tarvosource::resetSequenceStep(uint8_t state)
{
    switch (state) {
    case kHoldResets:
        driveResetLines(SourceGpio::kLow);
        enterState(kWaitHold);
        sleepUs(kResetSleepUs);
        break;
    case kWaitHold:
    case kWaitRelease: {
        {
            QMutexLocker l(&Utils::_source_init_mutex);
            if (Utils::getTimeSpace(source_state_tick) >= kResetWaitTicks) {
                source_thread_state = state + 1;
                source_state_tick = G_timeTicks.load();
            }
        }
        sleepUs(kResetSleepUs);
        break;
    }
    case kRelease: {
        driveResetLines(SourceGpio::kHigh);
        QMutexLocker l(&Utils::_source_init_mutex);
        source_thread_state = kWaitRelease;
        source_state_tick = G_timeTicks.load();
        std::memset(receiver_reset_request, 0, sizeof receiver_reset_request);
        break;
    }
    default:
        break;
    }
}

void tarvosource::finishResetSequence()
{
    const QString check = Utils::configValue(g_check_edid);
    const bool once = check == QLatin1String("Once");
    const bool never = check == QLatin1String("Never");
    // A check pass that could not verify an EEPROM has restarted the reset
    // sequence: it must not be overwritten with the steady state, nor
    // recorded as done.
    if (once && !edidCheckPass())
        return;
    writePort(1);
    edid_wp_bit = 1;
    enterState(kSteady);
    if (once) {
        ConfigEngine::pInstance()->write_config_variant(ConfigItem::EDIDCheck, QStringLiteral("Never"));
        sleepUs(kResetSleepUs);
        Utils::system_mutex(QStringLiteral("sync"));
    } else if (never) {
        RegBankBits::set(RegBankBits::kPresence0, 0x80);
        RegBankBits::set(RegBankBits::kPresence1, 0x5F);
        sleepUs(kResetSleepUs);
    }
}

// ---- steady pass ------------------------------------------------------------

void tarvosource::steadyPass()
{
    const bool switched = i2c->i2c_write(i2c_fd, kEdidSwitch, 0, &kS5p210Channel, 1) == 1;
    RegBankBits::update(RegBankBits::kPresence1, 0x20, switched);
    if (switched && !s5p210_done[0]) {
        sleepUs(100);
        s5p210_setup(0);
    }
    writePendingEdids();
    gpio.write(SourceGpio::kEdidWp, SourceGpio::kHigh);
    serveReg32();
    serveAudioRoute();
    servePulse();
    sourcecheck(this);
}

void tarvosource::writePendingEdids()
{
    for (int k = 0; k < 6; ++k) {
        if (source_restart_request[k] != 1)
            continue;
        bool write = false;
        {
            QMutexLocker l(&Utils::_system_mutex);
            if (source_edid_written[k] == 0) {
                // Marked before the write: a change posted while the EEPROM
                // is written marks it unwritten again and is not lost.
                source_edid_written[k] = 1;
                write = true;
            }
        }
        // The EEPROM write waits on the bus and the chip: without the lock,
        // which the links' card answers and the GUI thread also take.
        if (write)
            writeCustomEdid(k);
        writePort(static_cast<uint8_t>(audio_select_bits | 1));
        edid_wp_bit = 1;
    }
}

void tarvosource::serveReg32()
{
    const uint8_t v = RegBankBits::take(RegBankBits::kMaintenance6805);
    if (v == 0)
        return;
    if (v & 0x10)
        ite6805->set_device_state(0, 0);
    if (v & 0x20) {
        selectReceiverChannel(kIt6805Channel[1]);
        ite6805->iTE6805_Set_HPD_Ctrl(0, 1, 1);
    }
    if (v & 0x40) {
        selectReceiverChannel(kIt6805Channel[0]);
        ite6805->iTE6805_Set_HPD_Ctrl(0, 0, 0);
    }
    if (v & 0x80) {
        selectReceiverChannel(kIt6805Channel[0]);
        ite6805->iTE6805_Set_HPD_Ctrl(0, 1, 0);
    }
    if (v & 0x01) {
        selectReceiverChannel(kIt6805Channel[0]);
        ite6805->iTE6805_Init_fsm(0);
    }
    if (v & 0x02)
        gpio.write(SourceGpio::kIt6805Reset, SourceGpio::kHigh);
    if (v & 0x04)
        gpio.write(SourceGpio::kIt6805Reset, SourceGpio::kLow);
    if (v & 0x08)
        gpio.write(SourceGpio::kIt6805Reset, SourceGpio::kHigh);
}

uint8_t tarvosource::audioBitsForRoute() const
{
    KelRamPara* s = store();
    if (!s)
        return 0;
    const uint8_t* block = s->RamBlock;
    int window = block[kAudioImageIndex];
    if (window >= RamLayout::kWindows)
        window = 0;
    const size_t rec = RamLayout::imageRecord(window);
    if (!(block[rec + kImageAudioByte] & 0x80))
        return 0;
    const uint16_t selector = RamLayout::u16(block, rec + RamLayout::kImgSelector);
    unsigned input = selector & 0xFF;  // an uncropped window names its input in the low byte
    if (selector & RamLayout::kSelectorCrop) {
        const unsigned row = selector & 0xFF;
        if (row >= static_cast<unsigned>(RamLayout::kCropRows))
            return 0;
        input = RamLayout::u16(block, RamLayout::cropRow(static_cast<int>(row))) & 0x0F;
    }
    return input < 6 ? kAudioBits[input] : 0;
}

void tarvosource::serveAudioRoute()
{
    if (audio_route_request != 1)
        return;
    audio_select_bits = audioBitsForRoute();
    if (writePort(static_cast<uint8_t>(audio_select_bits | edid_wp_bit))) {
        QMutexLocker l(&Utils::_system_mutex);
        audio_route_request = 0;
    }
}

void tarvosource::servePulse()
{
    if (gpio_pulse_request != 1)
        return;
    if (gpio_pulse_stage == 0) {
        gpio.write(SourceGpio::kGs2971Reset, 0);
        gpio_pulse_stage = 1;
        gpio_pulse_tick = G_timeTicks.load();
    } else if (Utils::getTimeSpace(gpio_pulse_tick) > kPulseTicks) {
        gpio.write(SourceGpio::kGs2971Reset, 1);
        gpio_pulse_stage = 0;
        gpio_pulse_request = 0;
    }
}

void tarvosource::sourcecheck(void* arg)
{
    (void)arg;
    for (int k = 0; k < 6; ++k) {
        const uint8_t channel = i2c_switch_channel[k];
        if (!(source_enable_mask & channel))
            continue;
        selectReceiverChannel(channel);
        pollPause();
        if (source_restart_request[k] == 1 && source_edid_written[k] == 1) {
            bool restart = true;
            {
                QMutexLocker l(&Utils::_system_mutex);
                source_restart_request[k] = 0;
                // A writer marks the EDID unwritten before it raises the
                // request: if that happened meanwhile, the request is new
                // and its EDID must be written before the restart.
                if (source_edid_written[k] == 0) {
                    source_restart_request[k] = 1;
                    restart = false;
                }
            }
            if (restart)
                restartInput(k);
        }
        serveReg0(k);
        stepReceiver(k);
        pollPause();
    }
    if (it66121->probe_fail_count <= kSdiMaxFailures)
        it66121_sdi_enable();
    update_vid_info_delay();
}

void tarvosource::restartInput(int input)
{
    if (input < 4) {
        it6602->IT6602HPDCtrl(0, 0);
        it6602_stage[input] = 0;
    } else {
        ite6805->iTE6805_Set_HPD_Ctrl(0, 0, input - 4);
        ite6805->set_device_state(input - 4, 0);
    }
}

void tarvosource::serveReg0(int input)
{
    const uint8_t v = RegBankBits::take(RegBankBits::kMaintenance);
    if (v == 0)
        return;
    if (v & 0x05) {
        gpio.write(SourceGpio::kIt6805Reset, SourceGpio::kLow);
        ite6805->set_device_state(0, 0);
        ite6805->set_device_state(1, 0);
    }
    if (v & 0x0A) {
        gpio.write(SourceGpio::kIt6805Reset, SourceGpio::kHigh);
        ite6805->set_device_state(0, 0);
        ite6805->set_device_state(1, 0);
    }
    // The hot-plug bits address an IT6805 device: reach it on its own
    // channel (the pass may be at any input), then come back.
    bool moved = false;
    const auto hpd = [&](int level, int dev) {
        selectReceiverChannel(kIt6805Channel[dev]);
        moved = true;
        ite6805->iTE6805_Set_HPD_Ctrl(0, level, dev);
    };
    if (v & 0x10)
        hpd(0, 1);
    if (v & 0x20)
        hpd(1, 1);
    if (v & 0x40)
        hpd(0, 0);
    if (v & 0x80)
        hpd(1, 0);
    if ((v & 0xC0) && input >= 4)
        ite6805->set_device_state(input - 4, 0);
    if (moved)
        selectReceiverChannel(i2c_switch_channel[input]);
}

void tarvosource::stepReceiver(int input)
{
    if (input >= 4) {
        ite6805->iTE6805_FSM(input - 4);
        return;
    }
    switch (it6602_stage[input]) {
    case 0:
        if (it6602->IT6602_fsm_init(input))
            it6602_stage[input] = 3;
        break;
    case 3:
        it6602->delay1ms(500);
        it6602_stage[input] = 1;
        break;
    case 1:
        it6602->IT6602_fsm_init_1(input);
        it6602_stage[input] = 2;
        break;
    case 2:
        it6602->IT6602_fsm(input);
        break;
    default:
        it6602_stage[input] = 0;
        break;
    }
}

void tarvosource::update_vid_info_delay()
{
    if (g_source_online != 1 || !g_fpga_lcd_on || !g_c331_source_online)
        return;
    g_source_online = 2;
    KelRamPara* s = store();
    if (!s)
        return;
    uint32_t signal[6];
    {
        QMutexLocker l(&Utils::_source_hdminfo_mutex);
        for (int k = 0; k < 6; ++k)
            signal[k] = hdminfo[k].signal;
    }
    pthread_mutex_lock(&s->para_info_mutex);
    for (int k = 0; k < 6; ++k) {
        if (signal[k] != 0)
            continue;
        uint16_t width, height;
        uint64_t refresh;
        if (k < 4) {
            const tarvo_it6602::VideoRecord v = it6602->video(k);
            width = v.width;
            height = v.height;
            refresh = it6602_refresh(v.pclkMHz, v.htotal, v.vtotal);
        } else {
            const ite6805_sys::VideoRecord v = ite6805->video(k - 4);
            width = v.width;
            height = v.height;
            refresh = v.FrameRate;
        }
        uint8_t* rec = s->RamBlock + RamLayout::srcVideoInfo(k);
        RamLayout::setU16(rec, 0, width);
        RamLayout::setU16(rec, 2, height);
        rec[4] = stored_refresh(refresh);
        rec[5] = 0;
    }
    pthread_mutex_unlock(&s->para_info_mutex);
    s->test_signal(SYNC_INPUT_INFO);
}

uint64_t tarvosource::it6602_refresh(uint32_t pclkMHz, uint32_t htotal, uint32_t vtotal)
{
    const uint64_t area = static_cast<uint64_t>(htotal) * vtotal;
    return area ? static_cast<uint64_t>(pclkMHz) * 1000000ull / area : 0;
}

uint8_t tarvosource::stored_refresh(uint64_t hz)
{
    return hz >= 55 ? 60 : static_cast<uint8_t>(hz);
}

void tarvosource::it66121_sdi_enable()
{
    switch (sdi_tx_state) {
    case 0:
        it66121->sdi_it66121_init();
        sdi_tx_state = 1;
        break;
    case 1:
        if (it66121->IT66121_Test() == 0) {
            ++it66121->probe_fail_count;
            RegBankBits::clear(RegBankBits::kPresence0, 0x02);
        } else {
            RegBankBits::set(RegBankBits::kPresence0, 0x02);
            sdi_tx_state = 2;
        }
        break;
    case 2:
        it66121->IT66121_init();
        sdi_tx_state = 3;
        break;
    default:
        it66121->sys.HDMITX_DevLoopProc();
        break;
    }
}

void tarvosource::s5p210_setup(int index)
{
    if (index < 0 || index > 1)
        return;
    switch (s5p210_state[index]) {
    case 0:
        s5p210_state[index] = 1;
        for (int r = 0; r < 63; ++r)
            if (!i2c->i2c_write(i2c_fd, kS5p210, static_cast<uint8_t>(r), &kS5p210Table[r], 1)) {
                s5p210_state[index] = 0;
                break;
            }
        break;
    case 1:
        s5p210_done[index] = 1;
        if (index == 0) {
            RegBankBits::set(RegBankBits::kPresence1, 0x80);
            gpio.write(SourceGpio::kFpga0Reset, SourceGpio::kHigh);
        } else {
            RegBankBits::set(RegBankBits::kPresence2, 0x01);
            gpio.write(SourceGpio::kFpga1Reset, SourceGpio::kHigh);
        }
        s5p210_state[index] = 2;
        break;
    default:
        break;
    }
}

void tarvosource::cdce913_setup(int index)
{
    switch (cdce913_state) {
    case 0:
        cdce913_ready = 0;
        if (i2c->i2c_write(i2c_fd, kCdce913, 0, kCdce913Block, sizeof kCdce913Block)) {
            cdce913_state = 2;
            kelDebug("\n start to write cdce913 10.8M OK!! ,,index = %#x \n", index);
        } else {
            kelDebug("\n start to write cdce913 10.8M error ,index = %#x !! \n", index);
        }
        break;
    case 2:
        cdce913_ready = 1;
        break;
    case 1: {
        uint8_t dump[32] = {};
        if (i2c->i2c_read(i2c_fd, kCdce913, 0, dump, sizeof dump))
            for (int i = 0; i < 32; ++i)
                kelDebug("cdce913 reg %02d = %#04x\n", i, dump[i]);
        break;
    }
    default:
        break;
    }
}

void tarvosource::request_restart(int input)
{
    if (input < 0 || input > 5)
        return;
    source_edid_written[input] = 0;
    source_restart_request[input] = 1;
}

// ---- I2C helpers -------------------------------------------------------------

bool tarvosource::writePort(uint8_t value)
{
    return i2c->i2c_write(i2c_fd, kInputPort, 0, &value, 1) == 1;
}

bool tarvosource::selectEdidChannel(uint8_t channel)
{
    const bool ok = i2c->i2c_write(i2c_fd, kEdidSwitch, 0, &channel, 1) == 1;
    RegBankBits::update(RegBankBits::kPresence1, 0x40, ok);
    return ok;
}

bool tarvosource::selectReceiverChannel(uint8_t channel)
{
    const bool ok = i2c->i2c_write(i2c_fd, kReceiverSwitch, 0, &channel, 1) == 1;
    RegBankBits::update(RegBankBits::kPresence1, 0x20, ok);
    return ok;
}

// ---- EDID -----------------------------------------------------------------------

uint8_t tarvosource::CalcSum4LCD(uint8_t init, const uint8_t* data, unsigned long length)
{
    return EdidBlock::sum(data, length, init);
}

void tarvosource::setEdidStatus(int input, bool ok)
{
    if (input == 0)
        RegBankBits::update(RegBankBits::kPresence0, 0x80, ok);
    else
        RegBankBits::update(RegBankBits::kPresence1, static_cast<uint8_t>(1u << (input - 1)), ok);
}

bool tarvosource::edidStatus(int input) const
{
    if (input == 0)
        return RegBankBits::load(RegBankBits::kPresence0) & 0x80;
    return RegBankBits::load(RegBankBits::kPresence1) & (1u << (input - 1));
}

bool tarvosource::readEeprom(uint8_t* buf)
{
    bool ok = true;
    for (int off = 0; off < kEdidBytes; off += kPage)
        ok = i2c->i2c_read(i2c_fd, kEeprom, static_cast<uint8_t>(off), buf + off, kPage) == 1 && ok;
    return ok;
}

bool tarvosource::writeEeprom(const uint8_t* data)
{
    bool ok = true;
    for (int off = 0; off < kEdidBytes; off += kPage)
        ok = i2c->i2c_write(i2c_fd, kEeprom, static_cast<uint8_t>(off), data + off, kPage) == 1 && ok;
    return ok;
}

// 1 valid (or skipped), 0 repaired, -1 the EEPROM could not be verified.
int tarvosource::checkOneEeprom(int input)
{
    uint8_t buf[kEdidBytes];
    // A switch that did not take the channel still shows the previous
    // input's EEPROM: judging (or repairing) that one would be wrong.
    if (!selectEdidChannel(i2c_switch_channel[input])) {
        setEdidStatus(input, false);
        return 1;
    }
    std::memset(buf, 0, sizeof buf);
    sleepUs(10000);
    // A read that failed anywhere leaves the content unknown: never judge
    // (and so never rewrite) an EEPROM on a partial read.
    if (!readEeprom(buf)) {
        setEdidStatus(input, false);
        return 1;
    }
    setEdidStatus(input, true);
    if (EdidBlock::baseValid(buf))
        return 1;
    gpio.write(SourceGpio::kEdidWp, SourceGpio::kLow);
    writePort(0);
    edid_wp_bit = 0;
    writeEeprom(edid.defaultFor(input));
    std::memset(buf, 0, sizeof buf);
    sleepUs(10000);
    if (readEeprom(buf) && EdidBlock::baseValid(buf)) {
        setEdidStatus(input, true);
        return 0;
    }
    return -1;
}

bool tarvosource::edidCheckPass()
{
    for (int k = 0; k < 6; ++k) {
        writePort(1);
        edid_wp_bit = 1;
        gpio.write(SourceGpio::kEdidWp, SourceGpio::kHigh);
        if (!edidStatus(k))
            continue;
        if (checkOneEeprom(k) >= 0)
            continue;
        // Writes do not stick: drop the input from later checks and run
        // the reset sequence once more.
        setEdidStatus(k, false);
        writePort(1);
        edid_wp_bit = 1;
        QMutexLocker l(&Utils::_source_init_mutex);
        receiver_reset_request[0] = 1;
        receiver_reset_request[4] = 1;
        source_thread_state = kHoldResets;
        return false;
    }
    writePort(1);
    edid_wp_bit = 1;
    return true;
}

void tarvosource::writeCustomEdid(int input)
{
    KelRamPara* s = store();
    uint16_t w = 0, h = 0, r = 0;
    if (s) {
        const size_t rec = RamLayout::edidRecord(input);
        w = RamLayout::u16(s->RamBlock, rec);
        h = RamLayout::u16(s->RamBlock, rec + 2);
        r = RamLayout::u16(s->RamBlock, rec + 4);
    }
    Set_Custom_HDMI_EDID(w, h, r, input);
    gpio.write(SourceGpio::kEdidWp, SourceGpio::kLow);
    writePort(static_cast<uint8_t>(audio_select_bits & ~1u));
    edid_wp_bit = 0;
    bool ok = selectEdidChannel(i2c_switch_channel[input]);
    if (ok) {
        if (!writeEeprom(edidTable)) {
            ok = false;
            kelDebug(input >= 4 ? "write eeprom error02 !!!%d\n" : "write eeprom error02 !!!!!!%d\n", input);
        }
        uint8_t back[kEdidBytes];
        if (!readEeprom(back) || std::memcmp(back, edidTable, kEdidBytes) != 0)
            ok = false;
    }
    // The input is still marked written (no retry loop). A write that did
    // not take clears the status bit; one that did leaves the bit as the
    // host set it.
    if (!ok || !EdidBlock::baseValid(edidTable))
        setEdidStatus(input, false);
}

void tarvosource::Set_Custom_HDMI_EDID(int width, int height, int refresh, int input)
{
    if (input < 0 || input > 5)
        return;
    if (edid_ram_table_from[input]) {
        edid_ram_table_from[input] = 0;
        edidTable = edid_ram_table[input];
        return;
    }
    uint8_t* table = nullptr;
    const int n = EdidTables::presetIndex(width, height, refresh);
    if (n >= 0) {
        table = edid.presetFor(input, n);
        std::memcpy(table + 117, kInputNames[input], 3);
        table[120] = 0x0A;
        table[121] = 0x20;
        if (input >= 4) {
            table[10] = 0x14;
            table[11] = static_cast<uint8_t>(input - 4);
        }
    } else {
        table = edid.defaultFor(input);
        const Blanking& b = input < 4 ? kBlank6602 : kBlank6805;
        EdidBlock::Timing t;
        t.hact = static_cast<uint16_t>(width);
        t.vact = static_cast<uint16_t>(height);
        t.hfp = b.hfp;
        t.hsync = b.hsync;
        t.hblank = static_cast<uint16_t>(b.hfp + b.hsync + b.hback);
        t.vfp = b.vfp;
        t.vsync = b.vsync;
        t.vblank = static_cast<uint16_t>(b.vfp + b.vsync + b.vback);
        const int64_t pclk = width < 1 || height < 1 || refresh < 1
                                 ? 0
                                 : static_cast<int64_t>(refresh) * (width + t.hblank) * (height + t.vblank) / 10000;
        t.pclk10k = pclk > 0xFFFF ? 0 : static_cast<uint32_t>(pclk);
        uint8_t bytes[12];
        if (width <= 4095 && height <= 4095 && EdidBlock::encodeTimingBytes(t, bytes)) {
            std::memcpy(table + 54, bytes, 12);
            std::memcpy(table + 72, bytes, 12);
            // The second descriptor becomes an exact copy of the first.
            std::memcpy(table + 84, table + 66, 6);
        } else {
            // The block may still carry an earlier computed timing; the
            // source is offered the input's own default instead.
            edid.restoreDefault(input);
            kel::platform::LogLine::error("EDID timing %dx%d@%d for input %d does not fit a descriptor\n", int(width),
                                          int(height), int(refresh), int(input));
        }
    }
    table[127] = static_cast<uint8_t>(256 - CalcSum4LCD(0, table, 127));
    edidTable = table;
}
