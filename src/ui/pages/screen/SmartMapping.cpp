#include "ui/pages/screen/SmartMapping.h"

#include "ledout/LedGlobals.h"
#include "ledout/fpga_manage.h"
#include "params/DebugPrint.h"
#include "params/KelRamPara.h"
#include "params/SyncReason.h"
#include "ui/shell/My_lineEdit.h"
#include "ui/shell/NumberKeyboard.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageForm.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/QRoundProgressBar.h"

#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>

namespace {
constexpr uint8_t kMappingBit = 0x80;   // FPGA 0 register 0: receiving-card mapping on
constexpr uint32_t kMappingOn = 9;      // send_arg of the mapping switch
} // namespace

SmartMapping::SmartMapping(QWidget* parent) : QDialog(parent), PageBase(this, PageFocus::SmartMapping, "SmartMapping")
{
    buildForm();
    stack_->setCurrentIndex(StepSize);
    menu_[Shortcut]->setStyleSheet(QString::fromLatin1(Looks::kFocus));
    selectedTab_ = wlan_[0];
    for (int hidden : {2, 3, 6, 7})
        wlan_[hidden]->hide();
    step1Ring_.add(lineEdit_X, {Looks::kField, Looks::kFieldFocus, {}, {}, {}});
    step1Ring_.add(lineEdit_Y, {Looks::kField, Looks::kFieldFocus, {}, {}, {}});
    step1Ring_.add(next_, {Looks::kNormal, Looks::kFocus, {}, {}, {}});
    step1Ring_.setCurrent(0, false);
    for (QWidget* w : std::initializer_list<QWidget*>{lineEdit_line, lineEdit_column, route_, lineEdit_horzion,
                                                      lineEdit_vert}) {
        const bool field = w != route_;
        step3Ring_.add(w, {field ? Looks::kField : Looks::kNormal, field ? Looks::kFieldFocus : Looks::kFocus, {},
                           {}, {}});
    }
    step3Ring_.add(front3_, {Looks::kNormal, Looks::kFocus, {}, {}, {}});
    step3Ring_.add(send_, {Looks::kNormal, Looks::kFocus, {}, {}, {}});
    step3Ring_.setCurrent(0, false);
    for (QToolButton* b : routes_)
        routeRing_.add(b, {Looks::kField, Looks::kFieldFocus, {}, {}, {}});
    routeRing_.add(cancel_, {Looks::kField, Looks::kFieldFocus, {}, {}, {}});
    routeRing_.setCurrent(0, false);
    menu_index = Shortcut;
    branch_active = false;
    shortcut_step = 0;
    setPort(0);
    line_select(1);
    language_changed();
    for (My_lineEdit* f : {lineEdit_X, lineEdit_Y, lineEdit_line, lineEdit_column, lineEdit_horzion, lineEdit_vert})
        connect(f, &My_lineEdit::send_show, this, &SmartMapping::show_numberkeyboard_ui);
    connectButtons();
    // The FPGA manager reports from its own thread through a relay that
    // outlives the wizard; the automatic connection queues it here.
    if (fpga_manage* m = fpga_manage::p_fpga_manage)
        connect(&m->progress_relay, &CardProgressRelay::smartMappingProgress, this,
                &SmartMapping::sig_qround_bar_update);
}

// A press on a branch or command button does what OK on it does.
void SmartMapping::connectButtons()
{
    connect(menu_[Shortcut], &QPushButton::clicked, this, &SmartMapping::on_Button_shortcut_clicked);
    connect(menu_[LoadScan], &QPushButton::clicked, this, &SmartMapping::on_Button_loadscan_clicked);
    connect(menu_[ParaWeld], &QPushButton::clicked, this, &SmartMapping::on_Button_paraweld_clicked);
    connect(menu_[MappingSwitch], &QPushButton::clicked, this, &SmartMapping::on_Button_mapping_clicked);
    connect(send_, &QPushButton::clicked, this, &SmartMapping::on_Button_send_clicked);
    connect(load_, &QPushButton::clicked, this, &SmartMapping::on_Button_load_clicked);
    connect(confirm_, &QPushButton::clicked, this, &SmartMapping::on_Button_confirm_clicked);
    connect(mappingState_, &QPushButton::clicked, this, &SmartMapping::on_Button_mapping_state_clicked);
}

SmartMapping::~SmartMapping()
{
    clearInstancePointer();
}

void SmartMapping::clearInstancePointer()
{
    if (g_smartmapping == this)
        g_smartmapping = nullptr;
}

bool SmartMapping::busy()
{
    return g_qround_bar != nullptr;
}

int SmartMapping::stackPage() const
{
    return stack_->currentIndex();
}

void SmartMapping::showPage(int page)
{
    stack_->setCurrentIndex(page);
    setTexts();
}

// ---- texts and refresh ----

void SmartMapping::countScanFiles()
{
    if (const std::optional<int> count = ScanFileList::menuCount())
        scan_file_count = *count;
}

void SmartMapping::language_changed()
{
    setTexts();
    countScanFiles();
    placeMenu();
    const char* look = scan_file_count == 0            ? Looks::kGrey
                       : menu_index != LoadScan        ? Looks::kNormal
                       : branch_active                 ? Looks::kBranch
                                                       : Looks::kFocus;
    menu_[LoadScan]->setStyleSheet(QString::fromLatin1(look));
}

void SmartMapping::syncUpdate(int reason)
{
    if (reason == SYNC_USB_ADD)
        return; // the stick is not readable yet
    if (reason == SYNC_USB_REMOVE || reason == SYNC_USB_READING) {
        file_select = 0;
        // Only a list on screen is rebuilt: the step's keys take over again.
        if (stack_->currentIndex() == ScanFiles) {
            on_Button_next_5_clicked();
            menulist_loadscan_page2_init();
        }
        return;
    }
    KelRamPara* store = KelRamPara::p_kelrampara_config;
    if (store && store->KelLanguageChanged())
        language_changed();
}

void SmartMapping::Button_back_clicked()
{
    if (busy())
        return;
    returnTo(PageFocus::Option);
}

// ---- keys ----

void SmartMapping::branchKey(int step, bool ok, bool back)
{
    if (!branch_active) {
        mainKey(step, ok, back);
        return;
    }
    switch (menu_index) {
    case Shortcut: shortcutKey(step, ok, back); break;
    case LoadScan:
        if (loadscan_step == 0)
            scanPortKey(step, ok, back);
        else
            scanFileKey(step, ok, back);
        break;
    case ParaWeld:
        if (ok) {
            on_Button_confirm_clicked();
            on_Button_paraweld_clicked();
        } else if (back) {
            leaveBranch(confirm_);
        }
        break;
    default:
        if (ok)
            mappingState_->click();
        else if (back)
            leaveBranch(mappingState_);
        break;
    }
}

void SmartMapping::mainKey(int step, bool ok, bool back)
{
    if (back) {
        Button_back_clicked();
        return;
    }
    if (ok) {
        enterBranch();
        return;
    }
    menu_[menu_index]->setStyleSheet(QString::fromLatin1(Looks::kNormal));
    int index = menu_index + step;
    if (index == LoadScan && scan_file_count == 0)
        index += step;
    if (index > MappingSwitch)
        index = Shortcut;
    else if (index < Shortcut)
        index = MappingSwitch;
    menu_index = index;
    menu_[menu_index]->setStyleSheet(QString::fromLatin1(Looks::kFocus));
    if (scan_file_count == 0)
        menu_[LoadScan]->setStyleSheet(QString::fromLatin1(Looks::kGrey));
    menulist_main_sel(menu_index);
}

void SmartMapping::menulist_main_sel(int index)
{
    switch (index) {
    case Shortcut: showPage(StepSize); break;
    case LoadScan:
        stack_->setCurrentIndex(ScanPort);
        prepareLoadscan(false);
        setTexts();
        break;
    case ParaWeld: showPage(Curing); break;
    default: on_Button_mapping_clicked(); break;
    }
}

void SmartMapping::enterBranch()
{
    // The branch openers do nothing while a command runs.
    if (busy())
        return;
    branch_active = true;
    switch (menu_index) {
    case Shortcut:
        on_Button_shortcut_clicked();
        shortcut_step = 0;
        step1Ring_.setCurrent(0);
        break;
    case LoadScan:
        on_Button_loadscan_clicked();
        prepareLoadscan(true);
        return;
    case ParaWeld:
        on_Button_paraweld_clicked();
        confirm_->setStyleSheet(QString::fromLatin1(Looks::kFocus));
        break;
    default:
        on_Button_mapping_clicked();
        mappingState_->setStyleSheet(QString::fromLatin1(Looks::kFocus));
        break;
    }
    menu_[menu_index]->setStyleSheet(QString::fromLatin1(Looks::kBranch));
}

void SmartMapping::leaveBranch(QWidget* focused)
{
    if (focused)
        focused->setStyleSheet(QString::fromLatin1(Looks::kNormal));
    menu_[menu_index]->setStyleSheet(QString::fromLatin1(Looks::kFocus));
    branch_active = false;
}

// ---- branch openers ----

void SmartMapping::on_Button_shortcut_clicked()
{
    if (busy())
        return;
    menu_index = Shortcut;
    showPage(StepSize);
}

void SmartMapping::on_Button_loadscan_clicked()
{
    if (busy())
        return;
    menu_index = LoadScan;
    showPage(ScanPort);
}

void SmartMapping::on_Button_paraweld_clicked()
{
    if (busy())
        return;
    menu_index = ParaWeld;
    showPage(Curing);
}

void SmartMapping::on_Button_mapping_clicked()
{
    if (busy())
        return;
    menu_index = MappingSwitch;
    if (fpga_manage* m = fpga_manage::p_fpga_manage) {
        m->read_from_register(fpga_manage::FPGA_REG_CTRL, 0);
        const bool on = m->reg_image(fpga_manage::FPGA_REG_CTRL, 0) & kMappingBit;
        PageForm::setIcon(mappingState_, on ? QStringLiteral(":/png/button_on.png")
                                            : QStringLiteral(":/png/button_off.png"), 40, 20);
    }
    showPage(MappingPage);
}

// ---- commands ----

bool SmartMapping::postWithPopup(uint8_t command)
{
    if (!post_send_command(command))
        return false;
    QRoundProgressBar::create_qround_bar(this);
    // One link per popup: the last popup's link goes, so a value is shown once.
    disconnect(popupLink_);
    if (g_qround_bar)
        popupLink_ = connect(this, &SmartMapping::sig_qround_bar_update, g_qround_bar, &QRoundProgressBar::para_sync);
    return true;
}

void SmartMapping::on_Button_send_clicked()
{
    if (busy())
        return;
    storeGrid(lineEdit_line->text(), lineEdit_column->text(), lineEdit_horzion->text(), lineEdit_vert->text());
    if (postWithPopup(SendPara::send_cmd_smartmapping))
        kelDebug("\n set the route_way = %d \n", routeWay());
}

void SmartMapping::on_Button_load_clicked()
{
    if (busy() || g_qjfile_name.isEmpty())
        return;
    // The load opens this path: only a scan file still in one of the two
    // scan folders is handed over.
    if (!ScanFileList::isScanFile(g_qjfile_name))
        return;
    postWithPopup(SendPara::send_cmd_load_scan);
}

void SmartMapping::on_Button_confirm_clicked()
{
    if (busy())
        return;
    postWithPopup(SendPara::send_cmd_save_para);
}

void SmartMapping::on_Button_mapping_state_clicked()
{
    fpga_manage* m = fpga_manage::p_fpga_manage;
    // The register is switched only when the command that follows it will
    // be taken: a busy mailbox or a running upgrade leaves both alone.
    if (busy() || !m || g_usb_grade.load() != 0 || g_send_para.command() != SendPara::send_cmd_idle)
        return;
    m->read_from_register(fpga_manage::FPGA_REG_CTRL, 0);
    const bool on = m->reg_image(fpga_manage::FPGA_REG_CTRL, 0) & kMappingBit;
    m->write_to_register(fpga_manage::FPGA_REG_CTRL, kMappingBit, on ? 0 : kMappingBit, 0);
    PageForm::setIcon(mappingState_, on ? QStringLiteral(":/png/button_off.png")
                                        : QStringLiteral(":/png/button_on.png"), 40, 20);
    g_send_para.send_arg = on ? 0 : kMappingOn;
    postWithPopup(SendPara::send_cmd_mapping_enable);
}
