#include "ui/pages/device/firmware_usbgrade.h"

#include "ledout/LedGlobals.h"
#include "ledout/UpgradePackage.h"
#include "ledout/fpga_manage.h"
#include "params/DebugPrint.h"
#include "params/KelRamPara.h"
#include "params/SyncReason.h"
#include "params/Utils.h"
#include "params/global.h"
#include "platform/Sleeper.h"
#include "ui/shell/L10n.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageForm.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/PageTable.h"

#include <QDebug>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace {
const char* const kButtonStyle = "color:rgb(255,255,255);\nborder:1px solid rgb(255, 255, 255);";
const char* const kButtonFocus = "color:rgb(255, 255, 255);border:1px solid rgb(255,171,84);";
const char* const kRowNormal = "background-color: rgb(33, 36, 53);color: #FFFFFF";
const char* const kRowMarked = "background-color:#4777FF;color: #FFFFFF;";
const char* const kRowClickedOff = "background-color: rgb(33, 36, 53);color: #FFFFFF;";
const char* const kArrowStyle = "background-color: rgb(33, 36, 53);";

const L10n::Texts kTitle = {"USB升级", "USB UPDATE", "Обновление через USB", "Sử dụng ổ USB  để cập nhập", "USB昇級"};
const L10n::Texts kOk = {"确定", "OK", "OK", "Đồng ý", "確定"};
const L10n::Texts kEmpty = {"无加载文件!", "No loaded file!", "Нет файлов для загрузки!", "Không có tập tin để tải!",
                            "無加載文件!"};

QString colored(const char* head, const QString& text)
{
    return QString::fromLatin1(head) + text + QStringLiteral("</font>");
}
} // namespace

firmware_usbgrade::firmware_usbgrade(QWidget* parent)
    : QDialog(parent), PageBase(this, PageFocus::firmware_usbgrade, "firmware_usbgrade")
{
    buildForm();
    setWindowTitle(QStringLiteral("Dialog"));
    label_log->clear();
    Button_grade->setStyleSheet(QString::fromLatin1(kButtonFocus));
    get_file_list_smartpath();
    upgrade_file_list();
    language_changed();
}

firmware_usbgrade::~firmware_usbgrade()
{
    clearInstancePointer();
}

void firmware_usbgrade::clearInstancePointer()
{
    if (g_firmware_usbgrade == this)
        g_firmware_usbgrade = nullptr;
}

void firmware_usbgrade::buildForm()
{
    PageForm::setupPage(this, "firmware_usbgrade");
    frame = PageForm::panelFrame(this, QRect(10, 42, 300, 190));
    label_usb_update = PageForm::label(this, "label_usb_update", QRect(33, 10, 254, 22),
                                       QStringLiteral("color: rgb(255, 255, 255);"), 11);
    label_usb_update->setAlignment(Qt::AlignCenter);
    label_log = PageForm::label(frame, "label_log", QRect(20, 5, 260, 40), QStringLiteral("color:rgb(255,255,255);"));
    label_log->setAlignment(Qt::AlignCenter);
    label_log->setTextFormat(Qt::RichText);
    Button_grade = PageForm::button(frame, "Button_grade", QRect(190, 153, 80, 25), QString::fromLatin1(kButtonStyle));
    connect(Button_grade, &QPushButton::clicked, this, &firmware_usbgrade::on_Button_grade_clicked);
}

void firmware_usbgrade::language_changed()
{
    label_usb_update->setText(L10n::pick(kTitle));
    Button_grade->setText(L10n::pick(kOk));
}

void firmware_usbgrade::get_file_list_smartpath()
{
    std::fill(std::begin(file_marks), std::end(file_marks), 0);
    current_page = 0;
    kel_count = kelzk_count = 0;
    file_list = UpgradePackage::list(Utils::configValue(g_usb_grade_path), kListMax);
    for (int i = 0; i < file_list.size(); ++i) {
        if (QFileInfo(file_list.at(i)).suffix() == QLatin1String("KEL")) {
            file_marks[i] = kel_count == 0;
            ++kel_count;
        } else {
            file_marks[i] = 1;
            ++kelzk_count;
        }
    }
    file_count = uint8_t(file_list.size());
    last_page = file_count ? uint8_t((file_count + 3) / 4 - 1) : 0;
}

void firmware_usbgrade::upgrade_file_list()
{
    delete frame_file;
    std::fill(std::begin(row_labels), std::end(row_labels), nullptr);
    frame_file = new QFrame(frame);
    frame_file->setObjectName(QStringLiteral("frame_file"));
    frame_file->setGeometry(10, 50, 280, 90);
    frame_file->setStyleSheet(QStringLiteral("#frame_file{background-color: rgb(33, 36, 53);border:1px solid #FFFFFF;}"));
    if (file_count == 0) {
        QLabel* empty = PageForm::label(frame_file, "label_empty", QRect(5, 5, 220, 20), QString::fromLatin1(kRowNormal), 7);
        empty->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        empty->setText(L10n::pick(kEmpty));
    } else {
        const int first = current_page * kRows;
        for (int i = first; i < file_count && i < first + kRows; ++i) {
            const int k = i - first;
            // Names come from the stick: shown as text, never as markup.
            row_texts[k] = QFileInfo(file_list.at(i)).fileName();
            QLabel* row = PageForm::label(frame_file, "", QRect(5, 5 + 25 * k, 220, 20),
                                          QString::fromLatin1(file_marks[i] ? kRowMarked : kRowNormal), 7);
            row->setObjectName(QStringLiteral("row_%1").arg(k));
            row->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            row->setTextFormat(Qt::RichText);
            row->setText(QStringLiteral("<font color = #FFFFFF >%1</font>").arg(row_texts[k].toHtmlEscaped()));
            row_labels[k] = row;
            QPushButton* b = PageForm::button(frame_file, "", QRect(5, 5 + 25 * k, 220, 20), QString());
            b->setObjectName(QString::number(k));
            b->setFlat(true);
            connect(b, &QPushButton::clicked, this, &firmware_usbgrade::kel_button_file_clicked);
        }
    }
    if (current_page > 0) {
        QPushButton* prev = PageForm::button(frame_file, "Button_previous", QRect(250, 5, 20, 20),
                                             QString::fromLatin1(kArrowStyle));
        PageForm::setIcon(prev, QStringLiteral(":/png/previous.png"), 20, 20);
        connect(prev, &QPushButton::clicked, this, &firmware_usbgrade::kel_Button_previous_clicked);
    }
    if (current_page < last_page) {
        QPushButton* next = PageForm::button(frame_file, "Button_next", QRect(250, 80, 20, 20),
                                             QString::fromLatin1(kArrowStyle));
        PageForm::setIcon(next, QStringLiteral(":/png/next.png"), 20, 20);
        connect(next, &QPushButton::clicked, this, &firmware_usbgrade::kel_Button_next_clicked);
    }
    frame_file->show();
}

void firmware_usbgrade::syncUpdate(int reason)
{
    if (reason == SYNC_USB_ADD) {
        kelDebug("yes ,got the usb in\n");
        return;
    }
    if (reason == SYNC_USB_REMOVE || reason == SYNC_USB_READING) {
        file_select = 0;
        get_file_list_smartpath();
        upgrade_file_list();
        return;
    }
    KelRamPara* store = KelRamPara::p_kelrampara_config;
    if (store && store->KelLanguageChanged()) {
        upgrade_file_list();
        language_changed();
    }
    if (reason == SYNC_USB_UPGRADE) {
        const QString times = fpga_manage::p_fpga_manage ? fpga_manage::p_fpga_manage->usb_upgrade_time : QString();
        label_log->setText(colored("<font style = 'font-size:13px' color = #51BB28 >",
                                   QStringLiteral("downing over<br>") + times.toHtmlEscaped()));
    }
}

bool firmware_usbgrade::upgradeMayStart()
{
    return g_usb_grade == 0 && g_send_para.command() == SendPara::send_cmd_idle;
}

void firmware_usbgrade::menulist_button_ok_page()
{
    if (file_downing)
        return;
    // A second start would set the running engine's step back. Refused,
    // the page stays as it was: nothing is being downloaded from here.
    if (!upgradeMayStart())
        return;
    file_downing = 1;
    kelDebug("menulist_button_ok_page 00 in  file_downing = %#x\n", file_downing);
    g_send_para.set_send_step(0);
    g_usb_grade = 1;
}

void firmware_usbgrade::showDowning(const QString& stamp)
{
    label_log->setText(colored("<font style = 'font-size:12px' color = #FF0000 >",
                               QStringLiteral("downing ,Dont power off !!\r\n") + stamp));
    label_log->show();
}

void firmware_usbgrade::onOk()
{
    menulist_button_ok_page();
}

void firmware_usbgrade::onMode()
{
    // While this page's run goes on the key is only passed on.
    if (!file_downing)
        PageBase::onMode();
}

QString firmware_usbgrade::releaseLine(PanelKey key) const
{
    switch (key) {
    case PanelKey::Left:
        return QString::asprintf("this is left-code [firmware_usbgrade][Release] ui_select=%#x", ui_select);
    case PanelKey::Right:
        return QString::asprintf("this is right-code [firmware_usbgrade][Release] ui_select=%#x", ui_select);
    case PanelKey::Back:
        return QString::asprintf("this is back button(firmware_usbgrade)[Release] file_downing = %#x\n", file_downing);
    default:
        return PageBase::releaseLine(key);
    }
}

void firmware_usbgrade::menulist_back_page()
{
    returnTo(PageFocus::LinkOption);
}

void firmware_usbgrade::on_Button_grade_clicked()
{
    const QString now = fpga_manage::clock_text();
    if (file_downing) {
        upgrade_log_text = now;
        showDowning(upgrade_log_text);
        return;
    }
    label_log->setText(colored("<font style = 'font-size:12px' color = #51BB28 >",
                               QStringLiteral("downing over \r\n") + upgrade_log_text + QStringLiteral("\r\n") + now));
    label_log->show();
    // A stop ends the pause: the event loop that takes it runs in this thread.
    kel::platform::Sleeper::pauseMs(2000);
}

void firmware_usbgrade::kel_button_file_clicked()
{
    if (file_select < kRows && row_labels[file_select])
        row_labels[file_select]->setStyleSheet(QString::fromLatin1(kRowClickedOff));
    const int k = sender() ? sender()->objectName().toInt() : 0;
    file_select = uint8_t(k < kRows ? k : 0);
    kelDebug("kel_button_file_clicked ...file_select = %d\n", file_select);
    if (row_labels[file_select])
        row_labels[file_select]->setStyleSheet(QString::fromLatin1(kRowMarked));
}

void firmware_usbgrade::kel_Button_previous_clicked()
{
    if (current_page > 0)
        --current_page;
    upgrade_file_list();
    kelDebug("kel_Button_previous_clicked  current_page = %d\n", current_page);
}

void firmware_usbgrade::kel_Button_next_clicked()
{
    current_page = int8_t(current_page + 1 > last_page ? 0 : current_page + 1);
    upgrade_file_list();
    kelDebug("kel_Button_next_clicked  current_page = %d\n", current_page);
}
