#include "ui/shell/MainWindow.h"

#include "params/ApplyGate.h"
#include "params/KelRamPara.h"
#include "params/PageRegistry.h"
#include "params/Utils.h"
#include "params/global.h"
#include "ui/shell/AgeingLog.h"
#include "ui/shell/GuiThread.h"
#include "ui/shell/L10n.h"
#include "ui/shell/LockWindow.h"
#include "ui/shell/ModePicker.h"
#include "ui/shell/NumberKeyboard.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageForm.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/PageTable.h"
#include "ui/shell/PanelFields.h"
#include "ui/shell/ShellGlobals.h"
#include "ui/shell/TIP.h"
#include "ui/shell/TextFit.h"
#include "ui/shell/TickThread.h"
#include "platform/Board.h"
#include "platform/Clock.h"

#include <QDateTime>
#include <QVariant>
#include <QLabel>
#include <QMutexLocker>
#include <QPushButton>

#include <cstdio>

namespace {
const char* const kMenuRest = "background-color: rgb(33, 36, 53);border:2px;border-radius:10px;padding:2px 4px";
const char* const kSmallRest = "background-color: rgb(33, 36, 53);border:1px;border-radius:1px;padding:1px 1px";
const char* const kMenuFocus =
    "background-color: rgb(33, 36, 53);border:2px solid rgb(255,171,84);border-radius:10px;padding:2px 4px;";
const char* const kSmallFocus =
    "background-color: rgb(33, 36, 53);border:1px solid rgb(255,171,84);border-radius:1px;padding:1px 1px";
const char* const kStyleLeft =
    "background-color: rgb(33, 36, 53);\ncolor: rgb(255, 255, 255);\nborder:2px;border-radius:10px;padding:2px 4px;";
const char* const kStyleRight =
    "color: rgb(255, 255, 255);\nbackground-color: rgb(33, 36, 53);\nborder:2px;border-radius:10px;padding:2px 4px;";

constexpr int kToolCount = 4;
constexpr uint32_t kRebootDelay = 300;
constexpr uint32_t kRebootRepeat = 500;   // 5 s between requests while the device stays up
constexpr uint32_t kAgeingPeriod = 17999;   // a period ends when more ticks have passed
constexpr uint32_t kUsbWatcherDelay = 1000;

KelRamPara* ram()
{
    return KelRamPara::p_kelrampara_config;
}
} // namespace

MainWindow::Hooks& MainWindow::hooks()
{
    static Hooks h;
    return h;
}

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), PageBase(this, PageFocus::MainWindow, "MainWindow")
{
    dutyTick_ = G_timeTicks;
    buildForm();
    widget->hide();
    setIcon(Button_lock, L10n::plainIcon("unlock"), 16, 16);
    setIcon(tools, L10n::plainIcon("tools"), 16, 16);
    g_numberkeyboard = new NumberKeyboard(nullptr);
    g_numberkeyboard->setWindowFlags(g_numberkeyboard->windowFlags() | Qt::FramelessWindowHint);
    g_tip = new TIP(nullptr);
    menulist_init();
    language_changed();
    // The main menu is a page for the whole run; the home screen takes the
    // focus number at start.
    PageTable::enter(this);
    GuiThread::setContext(this);
    PageRegistry::instance().setNoticeSink([](int kind) {
        if (g_tip)
            g_tip->tip_create(kind);
    });
    PageRegistry::instance().setModeTipSource([]() {
        if (!g_mainwindow || !g_mainwindow->notice_pending)
            return false;
        g_mainwindow->notice_pending = 0; // cleared before the notice shows
        return true;
    });
}

MainWindow::~MainWindow()
{
    PageRegistry::instance().setNoticeSink(nullptr);
    PageRegistry::instance().setModeTipSource(nullptr);
    if (g_mainwindow == this)
        g_mainwindow = nullptr;
}

QPushButton* MainWindow::menuButton(const char* name, const QRect& geometry, const char* style)
{
    QPushButton* b = smallButton(centralWidget(), name, geometry, style);
    QFont f = b->font();
    f.setPointSize(25);
    b->setFont(f);
    connect(b, &QPushButton::clicked, this, [this, b]() {
        // A pointer click runs the same code as OK on the entry.
        if (b == machinestate) on_machinestate_clicked();
        else if (b == inputchoose) on_inputchoose_clicked();
        else if (b == custommode) on_custommode_clicked();
        else if (b == option) on_option_clicked();
    });
    return b;
}

QPushButton* MainWindow::smallButton(QWidget* parent, const char* name, const QRect& geometry, const char* style)
{
    return PageForm::button(parent, name, geometry, QString::fromLatin1(style));
}

void MainWindow::buildForm()
{
    setObjectName(QStringLiteral("MainWindow"));
    resize(320, 240);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    QFont f = font();
    f.setPointSize(20);
    f.setWeight(75);
    setFont(f);
    setStyleSheet(QStringLiteral("background-color: rgb(16, 16, 28);"));
    setCentralWidget(new QWidget(this));
    machinestate = menuButton("machinestate", QRect(48, 47, 110, 80), kStyleLeft);
    inputchoose = menuButton("inputchoose", QRect(163, 47, 110, 80), kStyleRight);
    custommode = menuButton("custommode", QRect(48, 132, 110, 80), kStyleLeft);
    option = menuButton("option", QRect(163, 132, 110, 80), kStyleRight);
    Button_lock = smallButton(centralWidget(), "Button_lock", QRect(290, 0, 30, 30), "background-color: rgb(33, 36, 53);");
    connect(Button_lock, &QPushButton::clicked, this, &MainWindow::on_Button_lock_clicked);
    tools = smallButton(centralWidget(), "tools", QRect(290, 210, 30, 30), "background-color: rgb(33, 36, 53);");
    connect(tools, &QPushButton::clicked, this, &MainWindow::on_tools_clicked);
    widget = new QWidget(centralWidget());
    widget->setObjectName(QStringLiteral("widget"));
    widget->setGeometry(290, 45, 30, 156);
    widget->setStyleSheet(QStringLiteral("background-color: rgb(33, 36, 53);"));
    QFont small = widget->font();
    small.setPointSize(8);
    widget->setFont(small);
    for (int i = 0; i < kToolCount; ++i) {
        const QByteArray name = "toolButton" + QByteArray::number(i + 1);
        toolButton[i] = smallButton(widget, name.constData(), QRect(0, 40 * i, 30, 36), "color: rgb(255, 255, 255);");
    }
    connect(toolButton[0], &QPushButton::clicked, this, &MainWindow::on_toolButton1_clicked);
    connect(toolButton[1], &QPushButton::clicked, this, &MainWindow::on_toolButton2_clicked);
    connect(toolButton[2], &QPushButton::clicked, this, &MainWindow::on_toolButton3_clicked);
    connect(toolButton[3], &QPushButton::clicked, this, &MainWindow::on_toolButton4_clicked);
    label_IP = new QLabel(centralWidget());
    label_IP->setObjectName(QStringLiteral("label_IP"));
    label_IP->setGeometry(105, 10, 16, 16);
    label_IP->setScaledContents(true);
    label_IP->setPixmap(QPixmap(L10n::plainIcon("ip")));
    label_IPaddr = new QLabel(centralWidget());
    label_IPaddr->setObjectName(QStringLiteral("label_IPaddr"));
    label_IPaddr->setGeometry(126, 10, 100, 12);
    label_IPaddr->setTextFormat(Qt::PlainText);
    label_IPaddr->setStyleSheet(QStringLiteral("color: rgb(255, 255, 255);"));
    QFont ipFont = label_IPaddr->font();
    ipFont.setPointSize(9);
    label_IPaddr->setFont(ipFont);
    picker_ = new ModePicker(centralWidget());
    connect(picker_, &ModePicker::slotClicked, this, &MainWindow::choosePickerSlot);
}

void MainWindow::setIcon(QPushButton* button, const QString& path, int w, int h)
{
    PageForm::setIcon(button, path, w, h);
}

void MainWindow::menulist_init()
{
    menu_.clear();
    for (QPushButton* b : {machinestate, inputchoose, custommode, option})
        menu_.add(b, QString::fromLatin1(kMenuFocus), QString::fromLatin1(kMenuRest));
    for (QPushButton* b : {Button_lock, tools})
        menu_.add(b, QString::fromLatin1(kSmallFocus), QString::fromLatin1(kSmallRest));
    toolList_.clear();
    for (QPushButton* b : toolButton)
        toolList_.add(b, QString::fromLatin1(kSmallFocus), QString::fromLatin1(kSmallRest));
    ui_select = 0;
    mode_select = 0;
    menu_.mark(0, true);
}

void MainWindow::language_changed()
{
    const int lang = L10n::language();
    setIcon(machinestate, L10n::icon("machinestate"), 64, 64);
    if (lang == L10n::English)
        setIcon(inputchoose, L10n::icon("inputchoose"), 90, 64);
    else if (lang == L10n::Russian || lang == L10n::Vietnamese)
        setIcon(inputchoose, L10n::icon("inputchoose"), 96, 76);
    else
        setIcon(inputchoose, L10n::icon("inputchoose"), 64, 64);
    setIcon(custommode, L10n::icon("custommode"), 64, 64);
    setIcon(option, L10n::icon("option"), 64, 64);
    showPickerIdle();
    para_init();
    ip_changed();
}

void MainWindow::showPickerIdle()
{
    setIcon(toolButton[2], L10n::icon("uncall"), 24, 36);
    setIcon(toolButton[3], L10n::icon("unsave"), 24, 36);
}

void MainWindow::para_init()
{
    setIcon(toolButton[0], L10n::icon(ram()->blockU16(RamLayout::kLedScreenSwitch) == 1 ? "closeled" : "uncloseled"),
            24, 36);
    setIcon(toolButton[1], L10n::icon(PanelFields::soundOn(ram()->RamBlock) ? "unslience" : "slience"), 24, 36);
    // Any non-zero lock value locks the Mode key, so it shows locked.
    l_lock_state = ram()->blockU16(PanelFields::kPanelKeyLock) != 0 ? 1 : 0;
    setIcon(Button_lock, L10n::plainIcon(l_lock_state ? "lock" : "unlock"), 16, 16);
}

void MainWindow::ip_changed()
{
    TextFit::setText(label_IPaddr, Utils::configValue(g_str_ip));
}

void MainWindow::syncUpdate(int)
{
    if (ram()->KelLanguageChanged())
        language_changed();
    bool changed = PanelFields::audioChanged(ram()->RamBlock, ram()->RamShadow);
    for (size_t off : {size_t(RamLayout::kLedScreenSwitch), size_t(PanelFields::kPanelKeyLock)})
        changed = changed || ram()->blockU16(off) != ram()->shadowU16(off);
    if (changed)
        para_init();
    ip_changed();
}

bool MainWindow::toolsShown() const
{
    return widget->isVisibleTo(this);
}

// ---- keys ------------------------------------------------------------------

void MainWindow::keyReleaseEvent(QKeyEvent* event)
{
    handleKeyRelease(event);
}

void MainWindow::moveFocus(int delta)
{
    if (pickerOpen()) {
        stepPicker(delta > 0 ? 1 : 0);
        return;
    }
    EntryList& list = toolsShown() ? toolList_ : menu_;
    ui_select = static_cast<uint8_t>(list.step(ui_select, delta));
}

void MainWindow::onLeft()
{
    moveFocus(-1);
}

void MainWindow::onRight()
{
    moveFocus(1);
}

void MainWindow::onOk()
{
    if (g_debugSwitch == kDebugSwitchOn) {
        std::printf(toolsShown() ? "\n unhidden ui_select = %#x ,l_lock_state = %#x ,l_call_state=%#x\n"
                                 : "\n ishidden ui_select = %#x ,l_lock_state = %#x l_call_state=%#x\n",
                    ui_select, l_lock_state, l_call_state);
        std::fflush(stdout);
    }
    if (pickerOpen()) {
        kel_button_mode_clicked();
        return;
    }
    if (toolsShown()) {
        if (ui_select < kToolCount)
            toolButton[ui_select]->click();
        return;
    }
    switch (ui_select) {
    case 0: on_machinestate_clicked(); break;
    case 1: on_inputchoose_clicked(); break;
    case 2: on_custommode_clicked(); break;
    case 3: on_option_clicked(); break;
    case 4: on_Button_lock_clicked(); break;
    case 5: on_tools_clicked(); break;
    default: break;
    }
}

void MainWindow::onBack()
{
    if (!toolsShown()) {
        mode_window_close();
        LockWindow::openNew();
        return;
    }
    if (ui_select >= kToolCount)
        ui_select = 0;
    if (pickerOpen()) {
        mode_window_close();
        showPickerIdle();
        toolList_.mark(ui_select, true);
        return;
    }
    widget->hide();
    toolList_.mark(ui_select, false);
    ui_select = 5;
    menu_.mark(ui_select, true);
    mode_window_close();
    showPickerIdle();
}

void MainWindow::onMode()
{
    g_mode_shortcut_key = 1;
    on_custommode_clicked();
}

// ---- entries and tools -------------------------------------------------------

void MainWindow::mode_window_close()
{
    picker_->hide();
    l_call_state = 0;
    save_state = 0;
}

void MainWindow::openPage(uint8_t focus)
{
    mode_window_close();
    PageOpener::open(focus); // nothing may follow: the page's loop has ended
}

void MainWindow::on_machinestate_clicked()
{
    openPage(PageFocus::MachineState);
}

void MainWindow::on_inputchoose_clicked()
{
    openPage(PageFocus::InputChoose);
}

void MainWindow::on_custommode_clicked()
{
    openPage(PageFocus::CustomMode);
}

void MainWindow::on_option_clicked()
{
    openPage(PageFocus::Option);
}

void MainWindow::on_tools_clicked()
{
    if (!toolsShown()) {
        widget->show();
        if (QWidget* w = menu_.widget(ui_select))
            w->setStyleSheet(QString::fromLatin1(kMenuRest));
        ui_select = 0;
        mode_select = 0;
        toolList_.mark(0, true);
        return;
    }
    mode_window_close();
    mode_select = 0;
    showPickerIdle();
    widget->hide();
}

void MainWindow::on_Button_lock_clicked()
{
    // A press flips what the button shows. Any non-zero value shows locked,
    // so a value such as 2 written by a host is unlocked by one press
    // instead of staying locked (2+1)&1 behind an unlocked icon. For 0 and 1
    // this is the plain toggle.
    const uint16_t value = ram()->blockU16(PanelFields::kPanelKeyLock) != 0 ? 0 : 1;
    l_lock_state = static_cast<uint8_t>(value);
    setIcon(Button_lock, L10n::plainIcon(l_lock_state ? "lock" : "unlock"), 16, 16);
    // Not applied by the scaler; persisted with the next broadcast.
    ram()->setBlockU16(PanelFields::kPanelKeyLock, value);
}

void MainWindow::on_toolButton1_clicked()
{
    const uint16_t value = (ram()->blockU16(RamLayout::kLedScreenSwitch) + 1) & 1;
    setIcon(toolButton[0], L10n::icon(value == 1 ? "closeled" : "uncloseled"), 24, 36);
    ApplyGate::instance().apply([value]() { ram()->setBlockU16(RamLayout::kLedScreenSwitch, value); });
}

void MainWindow::on_toolButton2_clicked()
{
    uint8_t* block = ram()->RamBlock;
    int w = block[PanelFields::kAudioImageIndex];
    if (w >= RamLayout::kWindows || ram()->blockU16(RamLayout::imageRecord(w)) == 0) {
        w = 0;
        ram()->setBlockU16(PanelFields::kAudioImageIndex, 0);
    }
    const size_t rec = RamLayout::imageRecord(w);
    const bool soundOn = (block[rec + PanelFields::kImgAudio] & PanelFields::kAudioOn) != 0;
    setIcon(toolButton[1], L10n::icon(soundOn ? "slience" : "unslience"), 24, 36);
    const uint8_t volume = soundOn ? 0 : 255;
    const uint8_t audio = soundOn ? 0 : 128;
    ApplyGate::instance().apply([block, rec, volume, audio]() {
        block[rec + PanelFields::kImgVolume] = volume;
        block[rec + PanelFields::kImgAudio] = audio;
    });
}

void MainWindow::on_toolButton3_clicked()
{
    openPicker(false);
}

void MainWindow::on_toolButton4_clicked()
{
    openPicker(true);
}

// ---- user-mode picker ------------------------------------------------------------

void MainWindow::openPicker(bool save)
{
    uint8_t& state = save ? save_state : l_call_state;
    if (state)
        return;
    state = 1;
    uint8_t& other = save ? l_call_state : save_state;
    if (other) {
        other = 0;
        showPickerIdle();
    }
    toolList_.mark(ui_select, false);
    const int s = ram()->KelUserModeIndex(mode_select, 2);
    if (s < ModePicker::kSlots) {
        mode_select = static_cast<uint8_t>(s);
        setIcon(toolButton[save ? 3 : 2], L10n::icon(save ? "save" : "call"), 24, 36);
    } else {
        mode_select = 0;
    }
    picker_->draw(save, mode_select);
}

void MainWindow::stepPicker(int direction)
{
    if (l_call_state) {
        const int s = ram()->KelUserModeIndex(mode_select, direction);
        mode_select = static_cast<uint8_t>(s < ModePicker::kSlots ? s : 0);
    } else {
        mode_select = static_cast<uint8_t>((mode_select + (direction ? 1 : ModePicker::kSlots - 1)) % ModePicker::kSlots);
    }
    picker_->draw(save_state != 0, mode_select);
}

void MainWindow::kel_button_mode_clicked()
{
    choosePickerSlot(mode_select);
}

void MainWindow::choosePickerSlot(int n)
{
    if (n < 0 || n >= ModePicker::kSlots)
        return;
    // An empty slot's recall rebuilds nothing: the slot clicked before
    // gives up its just-clicked colour.
    picker_->markRest(g_mode_select);
    g_mode_select = static_cast<uint8_t>(n);
    if (save_state) {
        const uint16_t request = static_cast<uint16_t>(n + 1);
        if (ram()->blockU16(RamLayout::kUsermodeSaveReq) != request)
            ApplyGate::instance().apply([request]() { ram()->setBlockU16(RamLayout::kUsermodeSaveReq, request); });
        save_state = 0;
        openPicker(true);
        notice_pending = 1;
    } else if (l_call_state && ram()->recallUserMode(n, true)) {
        l_call_state = 0;
        mode_select = static_cast<uint8_t>(n);
        openPicker(false);
        notice_pending = 1;
    }
    picker_->markClicked(n);
}

// ---- upgrade popup -------------------------------------------------------------

void MainWindow::update_start()
{
    GuiThread::run([]() {
        if (g_mainwindow && hooks().upgradeStart)
            hooks().upgradeStart();
    });
}

void MainWindow::update_over()
{
    GuiThread::run([]() {
        if (g_mainwindow && hooks().upgradeOver)
            hooks().upgradeOver();
    });
}

// ---- the 10 ms tick --------------------------------------------------------------

void MainWindow::slot_update_timer_ticks()
{
    const uint32_t periods = countPeriods();
    // No period ended since the last call: nothing new is due.
    if (periods == 0)
        return;
    if (g_update_flag && hooks().upgradeTick)
        hooks().upgradeTick();
    // The notice's timeout counts periods, not calls: a GUI thread kept
    // busy by change passes does not keep it up longer.
    for (uint32_t i = 0; i < periods && g_tip_flag && g_tip; ++i)
        g_tip->tip_outtime_deal();
    // Asked again until the device goes down, so that a failed request does
    // not leave it up for good; a shell per tick would stall the GUI thread.
    if (g_app_reset_flag && Utils::getTimeSpace(G_reboot_tickTicks) >= kRebootDelay &&
        (!rebootIssued_ || Utils::getTimeSpace(lastRebootTick_) >= kRebootRepeat)) {
        rebootIssued_ = true;
        lastRebootTick_ = G_timeTicks;
        Utils::system_mutex(QStringLiteral("reboot"));
    }
    if (Utils::getTimeSpace(G_factoryage_ticks) > kAgeingPeriod)
        agePeriod();
    if (g_delay_usbserver == 0 && Utils::getTimeSpace(g_delay_usbserver_ticks) >= kUsbWatcherDelay)
        g_delay_usbserver = 1;
}

uint32_t MainWindow::countPeriods()
{
    if (!TickThread::running()) {
        // By hand each call is one period, whatever a test set the counter to.
        dutyTick_ = ++G_timeTicks;
        return 1;
    }
    const uint32_t now = G_timeTicks;
    const uint32_t periods = now - dutyTick_;
    dutyTick_ = now;
    return periods;
}

void MainWindow::agePeriod()
{
    G_factoryage_ticks = G_timeTicks;
    if (pc_cmd_valid == 0 && hooks().fpgaRunning && hooks().fpgaRunning())
        getagelog();
    if (hooks().ageingPageRefresh)
        hooks().ageingPageRefresh();
    G_factoryage_ticks = G_timeTicks;
}

void MainWindow::getagelog()
{
    QDateTime now;
    {
        QMutexLocker lock(&Utils::_system_mutex);
        now = kel::platform::Board::clock().now();
    }
    uint8_t regs[3] = {0, 0, 0};
    if (hooks().readAgeingRegs)
        hooks().readAgeingRegs(regs);
    AgeingLog::append(AgeingLog::entry(now.toString(QStringLiteral("MM-dd hh:mm")), regs[0], regs[1], regs[2]));
}
