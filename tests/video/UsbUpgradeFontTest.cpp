#include "support/UpgradePackageBuilder.h"
#include "video/ScalerBench.h"

#include "ledout/LedGlobals.h"
#include "ledout/UpgradeServices.h"
#include "ledout/fpga_manage.h"
#include "params/KelRamPara.h"
#include "params/Utils.h"
#include "params/global.h"
#include "platform/sim/SimScalerFlash.h"

#include <QDir>

using kel::platform::sim::SimFlashOp;

namespace kel::test {
namespace {

// A font from the stick through the real scaler manager into the simulated
// scaler flash, then read back by the font loader.
class UsbUpgradeFont : public ScalerBench {
protected:
    void SetUp() override
    {
        ScalerBench::SetUp();
        bringUp();
        store_ = std::make_unique<KelRamPara>();
        KelRamPara::p_kelrampara_config = store_.get();
        c331_manage::p_c331_manage = manager.get();
        c331_manage::install_upgrade_services();
        fpga_manage::pInstance()->softinit();
        Utils::setConfigValue(g_usb_grade_path, QStringLiteral(" "));
        g_update_flag = 0;
        g_app_reset_flag = 0;
    }
    void TearDown() override
    {
        fpga_manage::destroyInstance();
        UpgradeServices::instance() = UpgradeServices{};
        c331_manage::p_c331_manage = nullptr;
        KelRamPara::p_kelrampara_config = nullptr;
        Utils::setConfigValue(g_usb_grade_path, QStringLiteral("KEL-T46 Rev.c"));
        ScalerBench::TearDown();
    }
    std::unique_ptr<KelRamPara> store_;
};

TEST_F(UsbUpgradeFont, AFontIsWrittenAtItsBaseAndTheFontsAreReloaded)
{
    const std::vector<uint8_t> font = UpgradePackageBuilder::font(1, 64, 0xC000, 21);
    UpgradePackageBuilder b;
    b.add(13, font);
    UpgradePackageBuilder::write(hostPath("/mnt/usb1/font.KEL"), b.build());
    chip().flash().clearOps();
    regBank[43] = 0;

    g_send_para.set_send_step(0);
    g_usb_grade = 1;
    for (int step = 0; step < 4 && g_usb_grade; ++step)
        fpga_manage::p_fpga_manage->usb_upgrade_manage_deal();

    EXPECT_EQ(chip().flash().peek(0x410000, 0xC000), font);
    EXPECT_EQ(chip().flash().peek(0x41C000, 0x4000), std::vector<uint8_t>(0x4000, 0xFF));
    std::vector<SimFlashOp> erases;
    uint32_t programmed = 0;
    for (const SimFlashOp& op : chip().flash().ops()) {
        if (op.kind == SimFlashOp::Erase)
            erases.push_back(op);
        else
            programmed += op.len;
    }
    const std::vector<SimFlashOp> plan = {{SimFlashOp::Erase, 0x410000, 0x8000},
                                          {SimFlashOp::Erase, 0x418000, 0x1000},
                                          {SimFlashOp::Erase, 0x419000, 0x1000},
                                          {SimFlashOp::Erase, 0x41A000, 0x1000},
                                          {SimFlashOp::Erase, 0x41B000, 0x1000}};
    EXPECT_EQ(erases, plan);
    EXPECT_EQ(programmed, 0xC000u);
    EXPECT_EQ(regBank[43] & 0x54, 0x54) << "the loader found the 64-pixel ASCII font";
    EXPECT_EQ(g_usb_grade, 0);
}

} // namespace
} // namespace kel::test
