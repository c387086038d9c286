#include "support/UpgradePackageBuilder.h"
#include "video/ScalerBench.h"

#include "ledout/LedGlobals.h"
#include "ledout/UpgradeServices.h"
#include "ledout/fpga_manage.h"
#include "params/KelRamPara.h"
#include "params/Utils.h"
#include "params/global.h"
#include "platform/sim/SimScalerFlash.h"

using kel::platform::sim::SimFlashOp;

namespace kel::test {
namespace {

// A font from the stick through the real scaler manager into the simulated
// scaler flash, then found by the font loader.
TEST_F(ScalerBench, UsbUpgradeWritesAFontAtItsBaseAndReloadsTheFonts)
{
    bringUp();
    KelRamPara store;
    KelRamPara* const shared = KelRamPara::p_kelrampara_config;   // another test's store stays owned
    KelRamPara::p_kelrampara_config = &store;
    c331_manage* const sharedScaler = c331_manage::p_c331_manage;
    c331_manage::p_c331_manage = manager.get();
    c331_manage::install_upgrade_services();
    fpga_manage::pInstance()->softinit();
    Utils::setConfigValue(g_usb_grade_path, QStringLiteral(" "));
    const std::vector<uint8_t> font = UpgradePackageBuilder::font(1, 64, 0xC000, 21);
    UpgradePackageBuilder b;
    b.add(13, font);
    UpgradePackageBuilder::write(hostPath("/mnt/usb1/font.KEL"), b.build());
    chip().flash().clearOps();

    g_send_para.set_send_step(0);
    g_usb_grade = 1;
    for (int step = 0; step < 4 && g_usb_grade; ++step)
        fpga_manage::p_fpga_manage->usb_upgrade_manage_deal();

    EXPECT_EQ(chip().flash().peek(0x410000, 0xC000), font);
    std::vector<SimFlashOp> erases;
    for (const SimFlashOp& op : chip().flash().ops())
        if (op.kind == SimFlashOp::Erase)
            erases.push_back(op);
    EXPECT_EQ(erases, (std::vector<SimFlashOp>{{SimFlashOp::Erase, 0x410000, 0x8000},
                                               {SimFlashOp::Erase, 0x418000, 0x1000},
                                               {SimFlashOp::Erase, 0x419000, 0x1000},
                                               {SimFlashOp::Erase, 0x41A000, 0x1000},
                                               {SimFlashOp::Erase, 0x41B000, 0x1000}}));
    EXPECT_EQ(regBank[43] & 0x54, 0x54) << "the loader found the 64-pixel ASCII font";

    fpga_manage::destroyInstance();
    UpgradeServices::instance() = UpgradeServices{};
    c331_manage::p_c331_manage = sharedScaler;
    KelRamPara::p_kelrampara_config = shared;
    Utils::setConfigValue(g_usb_grade_path, QStringLiteral("KEL-T46 Rev.c"));
}

} // namespace
} // namespace kel::test
