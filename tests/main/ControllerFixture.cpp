#include "ControllerFixture.h"

#include "main/AppStartup.h"
#include "ledout/LedGlobals.h"
#include "params/ConfigEngine.h"
#include "params/KelRamPara.h"
#include "params/SyncUpdate.h"
#include "params/global.h"
#include "ui/shell/ShellGlobals.h"
#include "platform/Sleeper.h"
#include "platform/sim/SimFpga.h"
#include "platform/sim/SimFpgaBoard.h"
#include "ui/shell/LockWindow.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/PagePointers.h"
#include "video/c331_manage.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <thread>

namespace kel::test {
namespace {

constexpr uint64_t kLongestThreadPauseUs = 100;
// Real time given to the manager threads per tick: a few of their passes.
constexpr auto kTickPace = std::chrono::microseconds(300);

} // namespace

void ControllerFixture::SetUp()
{
    SimRootFixture::SetUp();
    const std::thread::id gui = std::this_thread::get_id();
    platform::Sleeper::setHook([gui](uint64_t us) {
        if (std::this_thread::get_id() != gui)
            std::this_thread::sleep_for(std::chrono::microseconds(std::min(us, kLongestThreadPauseUs)));
    });
    AppStartup::beforeApplication();
    AppStartup::Options options;
    options.startTimer = false;
    options.anyFreePorts = true;
    AppStartup::afterApplication(options);
}

void ControllerFixture::TearDown()
{
    AppStartup::stopAll();
    delete g_lockwindow;
    delete g_mainwindow;
    delete g_timer;
    g_timer = nullptr;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    // The next test starts from a cold device: fresh stores and hand-overs.
    delete SyncUpdate::p_SyncUpdate;
    SyncUpdate::p_SyncUpdate = nullptr;
    delete KelRamPara::p_kelrampara_config;
    KelRamPara::p_kelrampara_config = nullptr;
    ConfigEngine::destroyInstance();
    for (auto* flag : {&g_source_online, &g_c331_source_online, &g_fpga_lcd_on, &g_set_led_para, &g_set_led_setup})
        *flag = 0;
    g_page_focus = 0;
    SimRootFixture::TearDown();
}

bool ControllerFixture::tickUntil(const std::function<bool()>& pred, int maxTicks)
{
    for (int t = 0; t < maxTicks; ++t) {
        QCoreApplication::processEvents();
        if (pred())
            return true;
        g_mainwindow->slot_update_timer_ticks();
        std::this_thread::sleep_for(kTickPace);
    }
    QCoreApplication::processEvents();
    return pred();
}

bool ControllerFixture::screenLit()
{
    platform::sim::SimFpgaBoard* fpga = platform::sim::SimFpgaBoard::current();
    return fpga && fpga->fpga0().lit() && c331_manage::p_c331_manage && c331_manage::p_c331_manage->chipReady();
}

} // namespace kel::test
