#include "params/Utils.h"
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimRegisterMemory.h"
#include "platform/sim/SimScaler.h"
#include "platform/sim/SimSpiBus.h"
#include "support/SimRootFixture.h"
#include "video/c331_drv.h"
#include "video/c331_regs.h"

using kel::platform::sim::SimScaler;

namespace {

class C331Drv : public kel::test::SimRootFixture {
protected:
    void SetUp() override
    {
        SimRootFixture::SetUp();
        chip = SimScaler::on(board());
        ASSERT_TRUE(drv.open());
    }
    SimScaler* chip = nullptr;
    c331_drv drv;
};

} // namespace

TEST_F(C331Drv, EveryTransferHasTheSpiLockAndBothFpgaSelectsHigh)
{
    auto& gpio = board().registers();
    int transfers = 0, unlocked = 0, selectsLow = 0;
    chip->setTransferProbe([&] {
        ++transfers;
        if (Utils::_spi_mutex.tryLock()) {
            ++unlocked;
            Utils::_spi_mutex.unlock();
        }
        selectsLow += gpio.peek(c331_drv::kGpioFpga0Cs) != 16 || gpio.peek(c331_drv::kGpioFpga1Cs) != 16;
        // The FPGA side drives its selects between scaler transfers.
        gpio.poke(c331_drv::kGpioFpga0Cs, 0);
        gpio.poke(c331_drv::kGpioFpga1Cs, 0);
    });
    uint16_t v = 0;
    drv.writeReg(c331reg::Picture, c331reg::PIC_CONTRAST, 5);
    drv.readReg(c331reg::Sys, c331reg::SYS_CHIP_ID, v);
    uint8_t head[4];
    drv.flashRead(0, head, 4);
    EXPECT_GT(transfers, 5);
    EXPECT_EQ(unlocked, 0);
    EXPECT_EQ(selectsLow, 0);
    EXPECT_EQ(gpio.peek(c331_drv::kGpioFpga0Cs), 0);   // the probe's last store
}

TEST_F(C331Drv, ASelectHookReplacesTheDriversOwnStores)
{
    c331_drv hooked;
    int calls = 0;
    hooked.setFpgaDeselect([&] { ++calls; });
    ASSERT_TRUE(hooked.open());
    board().registers().poke(c331_drv::kGpioFpga0Cs, 0);
    hooked.writeReg(c331reg::Sys, c331reg::SYS_INIT, 1);
    EXPECT_EQ(calls, 2);   // bank select, then the write
    EXPECT_EQ(board().registers().peek(c331_drv::kGpioFpga0Cs), 0);
}

TEST_F(C331Drv, RepeatedAccessesToOneBankSelectItOnce)
{
    for (int i = 0; i < 5; ++i)
        drv.writeReg(c331reg::Picture, c331reg::PIC_CONTRAST, uint16_t(i));
    EXPECT_EQ(chip->bankSelects(), 1);
    drv.writeReg(c331reg::Output, c331reg::OUT_PANEL_W, 1);
    drv.writeReg(c331reg::Picture, c331reg::PIC_CONTRAST, 9);
    EXPECT_EQ(chip->bankSelects(), 3);
    drv.invalidateBank();
    drv.writeReg(c331reg::Picture, c331reg::PIC_CONTRAST, 9);
    EXPECT_EQ(chip->bankSelects(), 4);
}

TEST_F(C331Drv, AFailedTransferForgetsTheBank)
{
    drv.writeReg(c331reg::Picture, c331reg::PIC_CONTRAST, 1);
    board().spi().failNext(c331_drv::kDevPath, 1);
    EXPECT_FALSE(drv.writeReg(c331reg::Output, c331reg::OUT_PANEL_W, 1));
    EXPECT_TRUE(drv.writeReg(c331reg::Output, c331reg::OUT_PANEL_W, 7));
    EXPECT_EQ(chip->reg(SimScaler::Output, SimScaler::OutPanelW), 7);
}

TEST_F(C331Drv, OpensInMode3AtTenMegahertzAndFailsWithoutTheDevice)
{
    board().spi().setOpenFails(c331_drv::kDevPath, true);
    c331_drv absent;
    EXPECT_FALSE(absent.open());
    EXPECT_FALSE(absent.writeReg(0, 0, 0));
}
