#include "FpgaFixture.h"

#include "ledout/LedGlobals.h"
#include "ledout/fpga_manage.h"
#include "params/KelRamPara.h"
#include "params/global.h"
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimCommandRunner.h"
#include "platform/sim/SimFpga.h"
#include "platform/sim/SimNorFlash.h"

namespace kel::test {
namespace {

const std::string kFpga0 = "/dev/spidev32766.1";
using Bytes = std::vector<uint8_t>;

class FpgaAccessTest : public FpgaFixture {
protected:
    void SetUp() override
    {
        FpgaFixture::SetUp();
        inputBoardReady();
        clearLog();
    }
    std::vector<Bytes> fpgaTraffic() const { return sent(kFpga0); }
    void hostCommand(uint8_t type, uint8_t store, uint16_t n, Bytes payload)
    {
        MCU_RAM_CMD[0] = 0xAA;
        MCU_RAM_CMD[1] = type;
        MCU_RAM_CMD[2] = store;
        MCU_RAM_CMD[6] = uint8_t(n);
        MCU_RAM_CMD[7] = uint8_t(n >> 8);
        std::copy(payload.begin(), payload.end(), MCU_RAM_CMD + 8);
    }
};

TEST_F(FpgaAccessTest, CommandWordsGoOutLeastSignificantByteFirst)
{
    struct Case { std::function<void(fpga_manage&)> op; Bytes word; };
    uint8_t byte = 0;
    uint8_t ram[4] = {};
    const Case cases[] = {
        {[&](fpga_manage& f) { f.write_fpga_register(6, 0x80, 0, 0xFF); }, {0x04, 0x00, 0x06, 0xFF}},
        {[&](fpga_manage& f) { f.read_fpga_register(22, &byte, 0); }, {0x05, 0x00, 0x16, 0x00}},
        {[&](fpga_manage& f) { f.write_fpga_register(0, 4, 0, 4); }, {0x04, 0x00, 0x00, 0x04}},
        {[&](fpga_manage& f) { f.write_fpga_ram(ram, 0x1234, 4, 1, 0); }, {0x02, 0x01, 0x34, 0x02}},
        {[&](fpga_manage& f) { f.read_fpga_ram(ram, 0, 4, 2, 0); }, {0x03, 0x02, 0x00, 0x00}},
    };
    for (const auto& c : cases) {
        clearLog();
        c.op(m());
        const auto t = fpgaTraffic();
        ASSERT_EQ(t.size(), 2u);
        EXPECT_EQ(t[0], c.word);
    }
    EXPECT_EQ(fpga_manage::fpga_reg_cmd_to_spi_data(2, 0, 6, 0, 0xFF), 0xFF060004u);
    EXPECT_EQ(fpga_manage::fpga_cmd_to_spi_data(1, 1, 0x1234, 0), 0x02340102u);
    EXPECT_EQ(fpga().ram(1, 0x234, 4), Bytes(4, 0)) << "address cut to 12 bits";
}

TEST_F(FpgaAccessTest, RegisterReadWriteReachTheFpgaAndLeaveLinesIdle)
{
    m().write_to_register(6, 0xFF, 0x42, 0);
    EXPECT_EQ(fpga().reg(6), 0x42);
    m().write_to_register(6, 0x0F, 0x05, 0);
    EXPECT_EQ(fpga().reg(6), 0x45);
    fpga().setReg(41, 0x99);
    m().read_from_register(41, 0);
    EXPECT_EQ(m().reg_image(41), 0x99);
    EXPECT_EQ(m().gpio.gpio_fpga0_cs.load(), GpioWord::kHigh);
    EXPECT_EQ(m().gpio.gpio_fpga1_cs.load(), GpioWord::kHigh);
    EXPECT_EQ(m().gpio.gpio_fpga0_cmd.load(), GpioWord::kLow);
    m().read_from_register(5, 1);
    EXPECT_EQ(m().reg_image(5, 1), 0xFF) << "absent FPGA 1 reads as 0xFF";
}

TEST_F(FpgaAccessTest, ImageOnlyAndIgnoredRegistersNeverTouchTheBus)
{
    m().reg_images[0][70] = 0xA0;
    m().write_to_register(70, 0x0F, 0x35, 0);
    EXPECT_EQ(m().reg_image(70), 0xA5);
    m().write_to_register(100, 0xFF, 1, 0);
    m().write_to_register(171, 0xFF, 1, 0);
    m().read_from_register(100, 0);
    EXPECT_EQ(m().reg_image(100), 0);
    EXPECT_TRUE(fpgaTraffic().empty());
}

TEST_F(FpgaAccessTest, WritesAbove127ReachTheFpgaUpTo170)
{
    // 64-96 live in the image only, 97-127 and above 170 are ignored; the
    // output ports' registers from 128 up go to the FPGA.
    struct Case { uint8_t reg; bool image; bool bus; };
    const Case cases[] = {
        {96, true, false}, {97, false, false}, {127, false, false}, {128, true, true},
        {130, true, true}, {132, true, true}, {170, true, true}, {171, false, false},
    };
    for (const auto& c : cases) {
        clearLog();
        fpga().setReg(c.reg, 0);
        m().write_to_register(c.reg, 0xFF, 0x5A, 0);
        EXPECT_EQ(m().reg_image(c.reg) == 0x5A, c.image) << int(c.reg);
        EXPECT_EQ(!fpgaTraffic().empty(), c.bus) << int(c.reg);
        // The FPGA drives the link bits (128) and takes 130 as strobes.
        if (c.bus && c.reg != 128 && c.reg != 130) {
            EXPECT_EQ(fpga().reg(c.reg), 0x5A) << int(c.reg);
        }
    }
}

TEST_F(FpgaAccessTest, ScreenOffThroughRegisterZeroFollowsTheSwitchAndAnnounces)
{
    m().write_to_register(0, 4, 4, 0);
    EXPECT_EQ(ScreenState, 0);
    EXPECT_EQ(store().blockU16(RamLayout::kLedScreenSwitch), 1);
    EXPECT_EQ(MCU_RAM_EXTEND[29], 0);
    EXPECT_EQ(reasons, std::vector<int>{SYNC_PARA});
    m().write_to_register(0, 4, 0, 0);
    EXPECT_EQ(ScreenState, 1);
    EXPECT_EQ(store().blockU16(RamLayout::kLedScreenSwitch), 0);
    EXPECT_EQ(MCU_RAM_EXTEND[29], 1);

    reasons.clear();
    g_set_led_para = 1;
    m().write_to_register(0, 4, 4, 0);
    m().write_to_0x00_register(0, 4, 0, 0);
    EXPECT_TRUE(reasons.empty());
}

TEST_F(FpgaAccessTest, OnlyAMaskOfBitTwoMovesTheScreenSwitch)
{
    // Register 0 written with bit 2 among other bits, or with another mask,
    // turns the screen off without touching the stored switch.
    for (uint8_t mask : {uint8_t(0x05), uint8_t(0x0C), uint8_t(0xFF), uint8_t(0x06)}) {
        reasons.clear();
        store().setBlockU16(RamLayout::kLedScreenSwitch, 0);
        m().write_to_register(0, mask, 0x04, 0);
        EXPECT_EQ(ScreenState, 0) << int(mask);
        EXPECT_EQ(store().blockU16(RamLayout::kLedScreenSwitch), 0) << int(mask);
        EXPECT_TRUE(reasons.empty()) << int(mask);
    }
    m().write_to_register(0, 0x04, 0x04, 0);
    EXPECT_EQ(store().blockU16(RamLayout::kLedScreenSwitch), 1);
}

TEST_F(FpgaAccessTest, ProtocolFlagKeepsTheScreenOff)
{
    m().fpga_ctrl_flags = 0x02;
    m().write_to_register(0, 4, 0, 0);
    EXPECT_EQ(fpga().reg(0) & 0x04, 0x04);
    EXPECT_EQ(fpgaTraffic().back(), Bytes{0x04});
    EXPECT_EQ(ScreenState, 0);
}

TEST_F(FpgaAccessTest, RegisterTwoHostBitRunsTheCommandRamAndIsNeverSent)
{
    hostCommand(1, 0, 7, {0x24, 0x20, 0x01, 0x05, 0x09, 0x07, 0x03});
    m().write_to_register(2, 0x06, 0x06, 0);
    EXPECT_EQ(fpga().reg(2) & 0x06, 0);
    const auto cmds = board().commands().commands();
    ASSERT_FALSE(cmds.empty());
    EXPECT_EQ(cmds.back(), "date \"2024-1-5 9:7:3\";hwclock -wu");
}

TEST_F(FpgaAccessTest, HostRecordsAreStoredAndErasedInTheirSectors)
{
    hostCommand(2, 0xAA, 42, {2, 0x08, 0x00, 0x18, 0x00});
    m().Dealwith_mcu_ram();
    EXPECT_EQ(flash().read(0x6CD000, 50), Bytes(MCU_RAM_CMD, MCU_RAM_CMD + 50));
    EXPECT_EQ(flash().read(0x6CD000 + 50, 1), Bytes{0xFF});
    EXPECT_EQ(m().reg_image(66), 1);
    hostCommand(2, 0x55, 42, {});
    m().Dealwith_mcu_ram();
    EXPECT_EQ(flash().read(0x6CD000, 1), Bytes{0xFF});
    EXPECT_EQ(m().reg_image(66), 0);

    hostCommand(3, 0xAA, 49, {0x10, 200});   // hand mode with bit 4 set
    m().Dealwith_mcu_ram();
    EXPECT_EQ(m().reg_image(64), 200);
    EXPECT_EQ(flash().read(0x6CE000, 57), Bytes(MCU_RAM_CMD, MCU_RAM_CMD + 57));
    hostCommand(3, 0x55, 49, {0x01});
    m().Dealwith_mcu_ram();
    EXPECT_EQ(flash().read(0x6CE000, 1), Bytes{0xFF});
    EXPECT_EQ(m().reg_image(64), 200) << "timed mode leaves the hand level";
}

TEST_F(FpgaAccessTest, OversizedHostLengthWritesNothing)
{
    flash().preload(0x6CE000, Bytes{0xAA, 3, 0xAA});
    const int before = flash().programs() + flash().erases();
    for (uint16_t n : {uint16_t(2000), uint16_t(1017), uint16_t(0xFFFF)}) {
        hostCommand(3, 0xAA, n, {0x01});
        m().Dealwith_mcu_ram();
        hostCommand(2, 0xAA, n, {1});
        m().Dealwith_mcu_ram();
    }
    EXPECT_EQ(flash().programs() + flash().erases(), before);
    EXPECT_EQ(flash().read(0x6CE000, 3), (Bytes{0xAA, 3, 0xAA})) << "the stored record survives";
    hostCommand(3, 0xAA, 1016, {0x01});
    m().Dealwith_mcu_ram();
    EXPECT_EQ(flash().read(0x6CE000, 1024), Bytes(MCU_RAM_CMD, MCU_RAM_CMD + 1024)) << "1024 bytes still fit";
}

TEST_F(FpgaAccessTest, PortAreasAddressesAndBackImage)
{
    uint16_t x, y, w, h;
    fpga_manage::get_eth_param_addr(16, &x, &y, &w, &h);
    EXPECT_EQ((std::vector<uint16_t>{x, y, w, h}), (std::vector<uint16_t>{8, 10, 12, 14}));
    fpga_manage::get_eth_param_addr(9, &x, &y, &w, &h);
    EXPECT_EQ(x, 584);

    uint8_t before[kRamImageSize];
    std::copy(m().ram_para_image[0], m().ram_para_image[0] + kRamImageSize, before);
    m().eth_param_init(0, 0);
    EXPECT_TRUE(std::equal(before, before + kRamImageSize, m().ram_para_image[0]));
    m().eth_param_init(1, 0);
    m().get_eth_max_border(0, &x, &y);
    EXPECT_EQ(x, 1280);
    EXPECT_EQ(y, 512);

    m().ram_para_image[0][60] = 0xE8;   // width 1000
    m().ram_para_image[0][61] = 0x03;
    m().T57_back_mcu_set_net_para(0);
    EXPECT_EQ(m().eth_back_image[0][0], 0xE8);
    EXPECT_EQ(m().eth_back_image[0][4 + 8 * 1 + 4], 0x00);   // port 2 width 1280 low byte
    store().setBlockU16(1382, 0);
    store().setBlockU16(1384, 10);
    m().T57_mcu_set_net_para(0);
    m().get_eth_lcd_w_h(0, &w, &h);
    EXPECT_EQ(w, 1024);
    m().get_eth_min_x_y(0, &x, &y);
    EXPECT_EQ(y, 10);
}

TEST_F(FpgaAccessTest, LinkStateMapsIntoTheParameterRamAndClearsLostPorts)
{
    m().ram_para_image[0][100] = 7;   // port 1 card count
    m().ram_para_image[0][104] = 1;
    fpga().setReg(128, 0x0F);
    fpga().setReg(144, 0x81);
    m().update_eth_state(0);
    EXPECT_EQ(m().ram_para_image[0][96], 0x1B);
    EXPECT_EQ(m().ram_para_image[0][512], 0x00);
    EXPECT_EQ(m().ram_para_image[0][513], 0x81);
    EXPECT_EQ(fpga().ram(1, 96, 1), Bytes{0x1B});
    EXPECT_EQ(m().ram_para_image[0][100], 7) << "linked port keeps its cards";
    fpga().setReg(128, 0x0E);
    m().update_eth_state(0);
    EXPECT_EQ(m().ram_para_image[0][100], 0);
    EXPECT_EQ(m().ram_para_image[0][104], 0);
}

} // namespace
} // namespace kel::test
