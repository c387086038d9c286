#include "main/AppStartup.h"

#include "inputs/tarvosource.h"
#include "ledout/UpgradeServices.h"
#include "ledout/fpga_manage.h"
#include "params/ConfigEngine.h"
#include "params/KelRamPara.h"
#include "params/OsdTarget.h"
#include "params/StoreFolders.h"
#include "params/SyncUpdate.h"
#include "params/global.h"
#include "platform/AtomicFile.h"
#include "platform/Board.h"
#include "platform/Sleeper.h"
#include "platform/sim/SimBoard.h"
#include "protocol/ControlLink.h"
#include "protocol/PanelCalls.h"
#include "protocol/ProtocolService.h"
#include "protocol/Qj_uart_inout.h"
#include "protocol/Qj_uart_inout_4G.h"
#include "protocol/T57_WIFI_CONFIG.h"
#include "protocol/UsbServer.h"
#include "protocol/networkManage.h"
#include "protocol/udpnetManage.h"
#include "resources/KelResources.h"
#include "ui/pages/registerPageMakers.h"
#include "ui/shell/KeyRouter.h"
#include "ui/shell/LockWindow.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/NumberKeyboard.h"
#include "ui/shell/PageBase.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/PageTable.h"
#include "ui/shell/PanelState.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/ShellGlobals.h"
#include "ui/shell/TickThread.h"
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

bool AppStartup::settingsMenuBack()
{
    return PageOpener::backIfInFront(PageFocus::Option);
}

QStringList AppStartup::created()
{
    return g_created;
}

void AppStartup::note(const char* name)
{
    g_created << QString::fromLatin1(name);
}

// Folders of the files the program replaces whole; a replacement cut
// short (power loss, kill) leaves its temporary file there.
void AppStartup::removeStaleTemporaries()
{
    for (const char* folder : {"/data", "/data/modes", "/data/configs", "/data/app", StoreFolders::kRecoveryDir,
                               StoreFolders::kSmartMappingDir})
        kel::platform::AtomicFile::removeStaleTemporaries(folder);
}

void AppStartup::beforeApplication()
{
    removeStaleTemporaries();
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
    registerPageMakers();
    if (hooks().registerPages)
        hooks().registerPages();
    createMainWindow();
    if (auto* sim = kel::platform::Board::sim())
        sim->addStateWriter("panel", [] { return PanelState::json(); });
    connectShell();
    g_timer = new QTimer();
    QObject::connect(g_timer, SIGNAL(timeout()), g_mainwindow, SLOT(slot_update_timer_ticks()));
    if (options.startTimer) {
        g_timer->start(10);
        // The counting starts with the event loop, as the timer's first
        // call does; from then on it runs on its own thread.
        QTimer::singleShot(0, g_timer, &TickThread::start);
    }
    createHardware();
    // A stop during it ends the pause; the event loop then takes the signal.
    kel::platform::Sleeper::pauseMs(options.settleMs);
    showHomeScreen();
    connectBroadcast();
    createUsbWatcher();
    createLinks(options.anyFreePorts);
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
    fpga_manage::pInstance();
    note("fpga_manage");
    c331_manage::pInstance();
    note("c331_manage");
    // The scaler's thread started with its manager; the FPGA manager's
    // thread comes before the source detection's.
    if (fpga_manage::p_fpga_manage->initialize_start() == 0)
        note("fpga_manage thread");
    if (tarvosource::p_tarvo_source->initialize() == 0)
        note("tarvosource thread");
}

void AppStartup::connectShell()
{
    MainWindow::Hooks& h = MainWindow::hooks();
    h.fpgaRunning = []() { return fpga_manage::p_fpga_manage && fpga_manage::p_fpga_manage->get_fpga_status() != 0; };
    h.readAgeingRegs = [](uint8_t regs[3]) {
        fpga_manage* fpga = fpga_manage::p_fpga_manage;
        fpga->read_from_register(40, 0);
        fpga->read_from_register(42, 0);
        fpga->read_from_register(43, 0);
        regs[0] = fpga->reg_image(42, 0);
        regs[1] = fpga->reg_image(40, 0);
        regs[2] = fpga->reg_image(43, 0);
    };
    // The USB-stick upgrade's popup calls come from the FPGA thread;
    // update_start/update_over carry them into the GUI thread.
    UpgradeServices& upgrade = UpgradeServices::instance();
    upgrade.popupStart = []() {
        if (g_mainwindow)
            g_mainwindow->update_start();
    };
    upgrade.popupOver = []() {
        if (g_mainwindow)
            g_mainwindow->update_over();
    };
    // The protocol handlers reach the pages through these; each runs in the
    // GUI thread and finds its page in the open-page table.
    auto languageOf = [](int focus) {
        return [focus]() {
            PageBase* page = PageTable::at(focus);
            if (page)
                page->language_changed();
            return page != nullptr;
        };
    };
    auto backOf = [](uint8_t focus) { return [focus]() { return PageOpener::backIfInFront(focus); }; };
    kel::protocol::PanelCalls::Hooks calls;
    calls.pageFocus = []() { return static_cast<int>(g_page_focus); };
    calls.updateStart = []() {
        if (g_mainwindow)
            g_mainwindow->update_start();
        return g_mainwindow != nullptr;
    };
    calls.updateOver = []() {
        if (g_mainwindow)
            g_mainwindow->update_over();
        return g_mainwindow != nullptr;
    };
    calls.optionLanguageChanged = languageOf(PageFocus::Option);
    calls.advancedOptionLanguageChanged = languageOf(PageFocus::AdvancedOption);
    calls.smartMappingBack = backOf(PageFocus::SmartMapping);
    calls.rcvRecoveryBack = backOf(PageFocus::rcv_recovery);
    calls.fpgaManagerPresent = []() { return fpga_manage::p_fpga_manage != nullptr; };
    // The USB watcher closes the settings menu while a stick is read.
    calls.optionBack = &AppStartup::settingsMenuBack;
    kel::protocol::PanelCalls::install(calls);
}

void AppStartup::createLinks(bool anyFreePorts)
{
    // Binds the controller port and creates the UDP, serial and TCP links,
    // in this order.
    kel::protocol::ProtocolService::start(anyFreePorts);
    // The cards' answers for the PC tool go back on the link the request
    // came in on; the FPGA side only hands the frame over.
    if (fpga_manage::p_fpga_manage)
        fpga_manage::p_fpga_manage->setCardAnswerSink(
            [](uint8_t link, const std::string& sender, const uint8_t* frame, uint32_t n) {
                kel::protocol::ControllerPort* port = kel::protocol::ProtocolService::port();
                return port && kel::protocol::ControlLink::deliverCardAnswer(*port, link, sender, frame, n);
            });
    if (kel::protocol::udpnetManage::p_udpnetManage)
        note("udpnetManage");
    if (kel::protocol::Qj_uart_inout::p_uart_inout)
        note("Qj_uart_inout");
    if (kel::protocol::networkManage::p_networkManage)
        note("networkManage");
    // The modem link needs the controller port bound above.
    if (kel::protocol::Qj_uart_inout_4G::pInstance())
        note("Qj_uart_inout_4G");
    kel::protocol::T57_WIFI_CONFIG::pInstance(anyFreePorts ? 0 : kel::protocol::T57_WIFI_CONFIG::kPort);
    note("T57_WIFI_CONFIG");
}

void AppStartup::createUsbWatcher()
{
    // Its thread emits; the reason joins the change pass pending in the
    // GUI thread.
    QObject::connect(kel::protocol::UsbServer::pInstance(), &kel::protocol::UsbServer::sig_usb_update,
                     SyncUpdate::p_SyncUpdate, &SyncUpdate::announce, Qt::DirectConnection);
    note("UsbServer");
}

void AppStartup::stopLinks()
{
    // A link thread may be waiting for a busy transmitter, port after port.
    kel::platform::Sleeper::requestStop();
    delete kel::protocol::T57_WIFI_CONFIG::p_wifi;
    kel::protocol::ProtocolService::stop();
}

void AppStartup::stopAll()
{
    using namespace kel::protocol;
    stopLinks();
    delete UsbServer::p_UsbServer;
    if (c331_manage::p_c331_manage)
        c331_manage::p_c331_manage->stop();
    if (tarvosource::p_tarvo_source)
        tarvosource::p_tarvo_source->stop();
    fpga_manage::destroyInstance();
    // The tick goes last: the threads above count their waits in it.
    TickThread::stop();
    OsdTarget::install(nullptr);
    delete c331_manage::p_c331_manage;
    c331_manage::p_c331_manage = nullptr;
    delete tarvosource::p_tarvo_source;
    // A new start in this process (tests) waits as the device does.
    kel::platform::Sleeper::clearStop();
}

void AppStartup::showHomeScreen()
{
    g_mainwindow->show();
    LockWindow::openNew();
    note("LockWindow");
    // The number keyboard covers the right half of the panel.
    const QPoint origin = g_mainwindow->pos();
    g_numberkeyboard->setGeometry(origin.x() + 160, origin.y(), 160, 240);
}

void AppStartup::connectBroadcast()
{
    // Announcements from other threads join one pending pass instead of
    // queueing a pass each.
    if (QObject::connect(KelRamPara::p_kelrampara_config, &KelRamPara::sig_update_para, SyncUpdate::p_SyncUpdate,
                         &SyncUpdate::announce, Qt::DirectConnection))
        note("sig_update_para");
    if (g_kel_keys == 1)
        SyncUpdate::p_SyncUpdate->update_usb_keyLed();
}
