#include "main/AppStartup.h"

#include "inputs/tarvosource.h"
#include "params/ConfigEngine.h"
#include "params/KelRamPara.h"
#include "params/SyncUpdate.h"
#include "params/global.h"
#include "platform/Sleeper.h"
#include "resources/KelResources.h"
#include "ui/shell/KeyRouter.h"
#include "ui/shell/LockWindow.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/NumberKeyboard.h"
#include "ui/shell/PageBase.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/ShellGlobals.h"
#include "ui/shell/kel_keys.h"
#include "video/c331_manage.h"

#include <QTimer>

namespace {
QStringList g_created;
}

AppStartup::Hooks& AppStartup::hooks()
{
    static Hooks h;
    return h;
}

QStringList AppStartup::created()
{
    return g_created;
}

void AppStartup::note(const char* name)
{
    g_created << QString::fromLatin1(name);
}

void AppStartup::beforeApplication()
{
    g_kel_keys = static_cast<uint8_t>(check_hiddev());
    note("check_hiddev");
    ConfigEngine::pInstance();
    note("ConfigEngine");
    KelRamPara::pInstance();
    note("KelRamPara");
    SyncUpdate::pInstance();
    note("SyncUpdate");
}

void AppStartup::afterApplication(const Options& options)
{
    KelResources::init();
    KeyRouter::install();
    if (hooks().registerPages)
        hooks().registerPages();
    createMainWindow();
    g_timer = new QTimer();
    QObject::connect(g_timer, SIGNAL(timeout()), g_mainwindow, SLOT(slot_update_timer_ticks()));
    if (options.startTimer)
        g_timer->start(10);
    createHardware();
    kel::platform::Sleeper::sleepMs(options.settleMs);
    showHomeScreen();
    connectBroadcast();
    if (hooks().createUsbWatcher) {
        hooks().createUsbWatcher();
        note("UsbServer");
    }
    if (hooks().createLinks) {
        hooks().createLinks();
        note("links");
    }
}

void AppStartup::createMainWindow()
{
    g_mainwindow = new MainWindow(nullptr);
    note("MainWindow");
}

void AppStartup::createHardware()
{
    tarvosource::pInstance();
    note("tarvosource");
    if (hooks().createFpgaManager) {
        hooks().createFpgaManager();
        note("fpga_manage");
    }
    c331_manage::pInstance();
    note("c331_manage");
    if (hooks().startFpgaManager)
        hooks().startFpgaManager();
    tarvosource::p_tarvo_source->initialize();
}

void AppStartup::showHomeScreen()
{
    auto* lock = new LockWindow(nullptr);
    g_lockwindow = lock;
    note("LockWindow");
    g_mainwindow->show();
    g_page_focus = PageFocus::LockWindow;
    lock->takeFocus();
    lock->show();
    PageBase::placeOverMain(lock);
    // The number keyboard covers the right half of the panel.
    const QPoint origin = g_mainwindow->pos();
    g_numberkeyboard->setGeometry(origin.x() + 160, origin.y(), 160, 240);
}

void AppStartup::connectBroadcast()
{
    QObject::connect(KelRamPara::p_kelrampara_config, SIGNAL(sig_update_para(int)), SyncUpdate::p_SyncUpdate,
                     SLOT(para_sync(int)));
    if (g_kel_keys == 1)
        SyncUpdate::p_SyncUpdate->update_usb_keyLed();
}
