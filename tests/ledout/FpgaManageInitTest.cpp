#include "FpgaFixture.h"

#include "ledout/LedGlobals.h"
#include "ledout/fpga_manage.h"
#include "platform/RegisterWindow.h"
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimRegisterMemory.h"

#include <thread>

namespace kel::test {
namespace {

using OpenStep = platform::RegisterWindow::OpenStep;

class FpgaManageInitTest : public FpgaFixture {};

TEST_F(FpgaManageInitTest, GpioWordsSitAtTheirWindowOffsetsAndStartLevelsAreSet)
{
    auto& g = m().gpio;
    const std::pair<GpioWord*, uint32_t> words[] = {
        {&g.gpio_fpga1_cs, 0x207900},     {&g.gpio_fpga0_cs, 0x207810},     {&g.gpio_fpga0_cmd, 0x207838},
        {&g.gpio_fpga0_reset, 0x207858},  {&g.gpio_flash2_cs, 0x207860},    {&g.gpio_fpga1_reset, 0x207864},
        {&g.gpio_it6602_reset, 0x207940}, {&g.gpio_it6805_reset, 0x207944}, {&g.gpio_edid_wp, 0x207948},
        {&g.gpio_fpga1_cmd, 0x20794C},    {&g.gpio_start_line, 0x1F1C},     {&g.gpio_gs2971_reset, 0x2848},
        {&g.gpio_fpga0_irq, 0x207908},    {&g.gpio_fpga1_irq, 0x207910},    {&g.gpio_flash3_cs, 0x20790C},
        {&g.gpio_sdi_enable, 0x207800},
    };
    auto& mem = board().registers();
    for (const auto& [word, offset] : words) {
        EXPECT_TRUE(word->bound());
        EXPECT_EQ(word->offset(), offset);
    }
    g.gpio_sdi_enable.high();
    EXPECT_EQ(mem.peek(0x207800), 16);
    EXPECT_EQ(mem.peek(0x207944), 0);
    EXPECT_EQ(mem.peek(0x207940), 0);
    EXPECT_EQ(mem.peek(0x207948), 16);
    EXPECT_EQ(mem.peek(0x1F1C), 1);
    EXPECT_EQ(m().monitor_state[0], 3u);
    EXPECT_EQ(m().monitor_state[1], 3u);
    EXPECT_EQ(m().spi_fd_fpga1, -1);
    EXPECT_EQ(m().spi_fd_flash3, -1);
    EXPECT_EQ(m().msys_request[0], 0x00);
    EXPECT_EQ(m().msys_request[3], 0x4D);
    EXPECT_EQ(m().msys_request[16], 20);
}

TEST_F(FpgaManageInitTest, EachFailingWindowStepGives255AndLeavesHarmlessWords)
{
    for (OpenStep step : {OpenStep::OpenMsys, OpenStep::OpenMem, OpenStep::Request, OpenStep::Map}) {
        fpga_manage::destroyInstance();
        board().registers().setOpenFailStep(step);
        board().registers().clearStoreLog();
        fpga_manage* fm = fpga_manage::pInstance();
        EXPECT_EQ(fm->initialize(), 255u);
        EXPECT_FALSE(fm->gpio.gpio_fpga0_cs.bound());
        inputBoardReady();
        // A GPIO store from another thread and whole passes run without a window.
        std::thread other([fm] {
            for (int i = 0; i < 100; ++i)
                fm->gpio.gpio_fpga0_cs.high();
        });
        for (int i = 0; i < 400; ++i) {
            fm->fpga_manage_deal();
            advance(1);
        }
        other.join();
        EXPECT_TRUE(board().registers().storeLog().empty()) << "nothing reached the window";
        EXPECT_EQ(fm->get_fpga_status(), 0u);
    }
    board().registers().setOpenFailStep(OpenStep::None);
}

TEST_F(FpgaManageInitTest, SoftinitSetsTheCommandRamAndEmptiesTheMailbox)
{
    g_send_para.head = 0x0304;
    g_send_para.send_card_index = 0x1234;
    m().softinit();
    EXPECT_EQ(g_send_para.command(), 0);
    EXPECT_EQ(g_send_para.send_step(), 255);
    EXPECT_EQ(g_send_para.send_card_index, 0x1200);
    EXPECT_EQ(std::vector<uint8_t>(MCU_RAM_CMD + 24, MCU_RAM_CMD + 34),
              (std::vector<uint8_t>{1, 17, 0, 0, 0xFF, 1, 0, 0, 0, 0}));
    EXPECT_EQ(MCU_RAM_EXTEND[49], 0x9F);
    EXPECT_EQ(MCU_RAM_EXTEND[50], 0x1F);
}

TEST_F(FpgaManageInitTest, PassBeforeTheInputBoardIsReadyStillServesTheFlags)
{
    m().fpga_bri_req = 1;
    for (int i = 0; i < 400; ++i)
        pass(), advance(1);
    EXPECT_EQ(m().vbo_step[0], 0) << "no power-up";
    EXPECT_EQ(m().fpga_bri_req, 1) << "brightness waits for a running FPGA";
    g_set_led_para = 2;
    pass();
    EXPECT_EQ(g_set_led_para, 0) << "the LED-size hand-over is served";
}

TEST_F(FpgaManageInitTest, ThreadRunsNoPassWhileTheUsbUpgradeRuns)
{
    inputBoardReady();
    g_usb_grade = 1;
    EXPECT_EQ(m().initialize_start(), 0u);
    // Sleeps are instant here; wait for a few hundred thread loops.
    for (int spin = 0; spin < 100000000 && sleptUs() < 400 * 5000; ++spin)
        std::this_thread::yield();
    m().stopThread();
    g_usb_grade = 0;
    EXPECT_FALSE(m().fpga_thread.joinable());
    EXPECT_GE(sleptUs(), 400u * 5000u) << "the thread pauses 5 ms a loop on the simulated board";
    EXPECT_EQ(m().powerup_passes[0], 0u) << "no management pass ran";
    EXPECT_EQ(fpga_manage::fpgamanageThread(nullptr), nullptr);
}

} // namespace
} // namespace kel::test
