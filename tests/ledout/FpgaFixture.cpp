#include "FpgaFixture.h"

#include "ledout/FpgaInputState.h"
#include "ledout/LedGlobals.h"
#include "ledout/fpga_manage.h"
#include "params/KelRamPara.h"
#include "params/global.h"
#include "platform/Board.h"
#include "platform/FpgaBoardMap.h"
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimFpgaBoard.h"
#include "platform/sim/SimRegisterMemory.h"
#include "platform/sim/SimSpiBus.h"

namespace kel::test {

FpgaFixture::FpgaFixture() = default;
FpgaFixture::~FpgaFixture() = default;

void FpgaFixture::SetUp()
{
    SimRootFixture::SetUp();
    store_ = std::make_unique<KelRamPara>();
    KelRamPara::p_kelrampara_config = store_.get();
    store_->setBlockU16(RamLayout::kLedWidth, 1920);
    store_->setBlockU16(RamLayout::kLedHeight, 1080);
    QObject::connect(store_.get(), &KelRamPara::sig_update_para, [this](int r) { reasons.push_back(r); });
    G_timeTicks = 1000;
    g_set_led_para = 0;
    g_set_led_setup = 0;
    g_usb_grade = 0;
    g_source_online = 0;
    g_fpga_lcd_on = 0;
    ScreenState = 1;
    g_send_para.head = 0;
    g_send_para.send_card_replied = 0;
    pc_cmd_valid = 0;
    pc_cmd_time = 0;
    g_passby_trans_port = 255;
    std::fill(MCU_RAM_CMD, MCU_RAM_CMD + kRamImageSize, 0);
    std::fill(MCU_RAM_EXTEND, MCU_RAM_EXTEND + kRamImageSize, 0);
    FpgaInputState::setChipStateReader([this] { return chipState; });
    fpga_manage::pInstance()->softinit();
    board().spi().setLogging(true);
}

void FpgaFixture::TearDown()
{
    fpga_manage::destroyInstance();
    FpgaInputState::setChipStateReader({});
    KelRamPara::p_kelrampara_config = nullptr;
    store_.reset();
    SimRootFixture::TearDown();
}

fpga_manage& FpgaFixture::m() { return *fpga_manage::pInstance(); }

platform::sim::SimFpga& FpgaFixture::fpga() { return platform::sim::SimFpgaBoard::current()->fpga0(); }

platform::sim::SimNorFlash& FpgaFixture::flash() { return platform::sim::SimFpgaBoard::current()->flash2(); }

void FpgaFixture::inputBoardReady()
{
    m().gpio.gpio_fpga0_reset.high();
    m().gpio.gpio_fpga1_reset.high();
    chipState = 2;
}

void FpgaFixture::advance(uint32_t ticks) { G_timeTicks += ticks; }

uint32_t FpgaFixture::powerUp()
{
    g_source_online = 2;
    return runUntil([this] { return m().get_fpga_status() == 1; }, 3000);
}

void FpgaFixture::recordSteps()
{
    const int s = m().status_step[0], v = m().vbo_step[0];
    if (statusSteps.empty() || statusSteps.back() != s)
        statusSteps.push_back(s);
    if (vboSteps.empty() || vboSteps.back() != v)
        vboSteps.push_back(v);
}

void FpgaFixture::pass()
{
    m().fpga_manage_deal();
    recordSteps();
}

uint32_t FpgaFixture::runUntil(const std::function<bool()>& done, uint32_t maxTicks)
{
    for (uint32_t t = 0; t < maxTicks; ++t) {
        if (done())
            return t;
        pass();
        advance(1);
    }
    return maxTicks;
}

std::vector<std::vector<uint8_t>> FpgaFixture::sent(const std::string& path) const
{
    std::vector<std::vector<uint8_t>> out;
    for (auto& t : platform::Board::sim()->spi().log())
        if (t.path == path)
            out.push_back(t.tx);
    return out;
}

void FpgaFixture::clearLog() { platform::Board::sim()->spi().clearLog(); }

} // namespace kel::test
