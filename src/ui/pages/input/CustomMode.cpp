#include "ui/pages/input/CustomMode.h"

#include "params/KelRamPara.h"
#include "params/RamLayout.h"
#include "ui/pages/input/UserModePreview.h"
#include "ui/shell/L10n.h"
#include "ui/shell/TextFit.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageForm.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/ShellGlobals.h"
#include "ui/shell/SlotView.h"
#include "ui/shell/kelcontrol.h"

#include <QComboBox>
#include <QDebug>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
constexpr int kSlots = RamLayout::kSlotCount;

const char* const kStyleFocus =
    "background-color: #212435;color: rgb(255, 255, 255);border:1px solid rgb(255, 171, 84);";
const char* const kStyleNormal =
    "background-color: #212435;color: rgb(255, 255, 255);border:1px solid rgb(255, 255, 255);";
const char* const kButtonForm =
    "color: rgb(255, 255, 255);\nbackground-color: rgb(33, 36, 53);\nborder:1px solid rgb(255, 255, 255);";
const char* const kWhite = "color: rgb(255, 255, 255);";

const char* const kSlotName[5] = {"用户模式%1", "MODE %1", "Слот %1", "Chế độ %1", "用戶模式%1"};
const char* const kTitle[5] = {"用户模式", "User mode", "Слот", "Chế độ người dùng", "用戶模式"};
const char* const kDelete[5] = {"删除", "Delete", "Удалить", "Xoá bỏ", "删除"};
const char* const kUse[5] = {"调用", "Invoke", "Вызвать", "Dùng", "調用"};
const char* const kBlank[5] = {"未保存用户模式数据", "Usermode does not exist", "Данные не сохранены",
                               "Chế độ không được lưu", "未保存用戶模式數據"};

KelRamPara* ram()
{
    return KelRamPara::p_kelrampara_config;
}
} // namespace

CustomMode::CustomMode(QWidget* parent) : QWidget(parent), PageBase(this, PageFocus::CustomMode, "CustomMode")
{
    buildForm();
    preview_font.setPixelSize(10);
    const int n = ram()->KelGetCurrentModeIndex();
    g_mode_select = static_cast<uint8_t>(n != 0 ? n - 1 : 0);
    qDebug().noquote() << "custom mode = " << g_mode_select << n;
    mode_box = new kelcontrol(QRect(19, 0, 100, 22), QRect(0, 0, 20, 22), QRect(118, 0, 20, 22), this);
    mode_box->setObjectName(QStringLiteral("mode_box"));
    mode_box->setGeometry(3, 28, 320, 24);
    init();
    ui_select = g_mode_select;
    lcd_para_init();
    image_para_init();
    menulist_init();
    label_ID->setText(QStringLiteral("ID:%1").arg(g_mode_select + 1));
    Button_use->setStyleSheet(QString::fromLatin1(kStyleNormal));
    language_changed();
}

void CustomMode::buildForm()
{
    PageForm::setupPage(this, "CustomMode");
    PageForm::setPointSize(this, 8);
    label_title = PageForm::label(this, "label_title", QRect(50, 5, 220, 22), kWhite, 11);
    label_title->setAlignment(Qt::AlignCenter);
    frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("frame"));
    frame->setGeometry(3, 57, 314, 180);
    frame->setStyleSheet(QStringLiteral("#frame{border:1px solid rgb(133, 129, 153);}"));
    frame->setFrameShape(QFrame::Box);
    frame->setFrameShadow(QFrame::Raised);
    PageForm::label(frame, "label", QRect(5, 5, 80, 50), QStringLiteral("background-color: rgb(134, 122, 233);"));
    label_ID = PageForm::label(frame, "label_ID", QRect(86, 4, 54, 12), kWhite, 8);
    label_name = PageForm::label(frame, "label_name", QRect(86, 17, 171, 12), kWhite, 8);
    label_LED = PageForm::label(frame, "label_LED", QRect(86, 30, 191, 12), kWhite, 8);
    label_brightness = PageForm::label(frame, "label_brightness", QRect(86, 42, 225, 12), kWhite, 8);
    label_using = PageForm::label(frame, "label_using", QRect(140, 4, 60, 12),
                                  "background-color: rgb(0, 214, 91);\ncolor: rgb(255, 255, 255);\n"
                                  "border:0px groove gray;\nborder-radius:14px;",
                                  8);
    QFont bold = label_using->font();
    bold.setBold(true);
    label_using->setFont(bold);
    label_using->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    auto* rule = new QLineEdit(frame);
    rule->setObjectName(QStringLiteral("lineEdit"));
    rule->setGeometry(0, 58, 590, 1);
    rule->setReadOnly(true);
    rule->setFocusPolicy(Qt::NoFocus);
    rule->setStyleSheet(QStringLiteral("border:1px solid rgb(133, 129, 153);"));
    label_blank = PageForm::label(frame, "label_blank", QRect(70, 90, 180, 26), kWhite, 9);
    label_blank->hide();
    Button_use = PageForm::button(frame, "Button_use", QRect(60, 155, 60, 20), kButtonForm);
    Button_delete = PageForm::button(frame, "Button_delete", QRect(140, 155, 60, 20), kButtonForm);
    Button_more = PageForm::button(frame, "Button_more", QRect(220, 155, 60, 20), kButtonForm);
    connect(Button_use, &QPushButton::clicked, this, &CustomMode::on_Button_use_clicked);
    connect(Button_delete, &QPushButton::clicked, this, &CustomMode::on_Button_delete_clicked);
}

void CustomMode::clearInstancePointer()
{
    if (g_custommode == this)
        g_custommode = nullptr;
}

QString CustomMode::releaseLine(PanelKey key) const
{
    if (key == PanelKey::Left)
        return QString::asprintf("this is left-code [CustomMode][Release] ui_select=%#x", ui_select);
    if (key == PanelKey::Right)
        return QString::asprintf("this is right-code [CustomMode][Release] ui_select=%#x", ui_select);
    return PageBase::releaseLine(key);
}

// The names keep the language in force when the page opened.
void CustomMode::init()
{
    for (int i = 0; i < kSlots; ++i)
        mode_box->box->addItem(L10n::pick(kSlotName).arg(i + 1));
    mode_box->set_boxindexsel(g_mode_select);
}

void CustomMode::menulist_init()
{
    action_select = 0;
    action_row = 0;
    ui_select = g_mode_select;
    mode_box->set_box_default();
}

void CustomMode::language_changed()
{
    label_title->setText(L10n::pick(kTitle));
    TextFit::setText(Button_delete, L10n::pick(kDelete));
    TextFit::setText(Button_use, L10n::pick(kUse));
    TextFit::setText(label_using, L10n::pick(L10n::kUsing));
    label_blank->setText(L10n::pick(kBlank));
}

void CustomMode::syncUpdate(int)
{
    if (ram()->KelLanguageChanged())
        language_changed();
}

bool CustomMode::get_mode_status() const
{
    return ram()->KelUserModeSaved(g_mode_select) != 0;
}

void CustomMode::kel_button_mode_clicked()
{
    g_mode_select = ui_select;
    label_ID->setText(QStringLiteral("ID:%1").arg(ui_select + 1));
    lcd_para_init();
    image_para_init();
}

void CustomMode::kel_button_selinfo(int op, int index)
{
    QPushButton* buttons[3] = {Button_use, Button_delete, Button_more};
    switch (op) {
    case 0:
        if (index >= 0 && index < 3)
            buttons[index]->setStyleSheet(QString::fromLatin1(kStyleFocus));
        kel_button_mode_clicked();
        break;
    case 1:
        if (index >= 0 && index < 3)
            buttons[index]->setStyleSheet(QString::fromLatin1(kStyleNormal));
        break;
    case 2:
        for (QPushButton* b : buttons)
            b->setStyleSheet(QString::fromLatin1(kStyleNormal));
        break;
    default: break;
    }
}

// ---- keys ------------------------------------------------------------------

void CustomMode::moveSlot(int delta)
{
    mode_box->set_box_default();
    ui_select = static_cast<uint8_t>((ui_select + delta + kSlots) % kSlots);
    mode_box->set_boxindexsel(ui_select);
    kel_button_mode_clicked();
}

void CustomMode::moveAction(int delta)
{
    const int offered = 3 - action_hidden;
    kel_button_selinfo(1, action_select);
    action_select = static_cast<uint8_t>((action_select + delta + offered) % offered);
    kel_button_selinfo(0, action_select);
}

void CustomMode::onLeft()
{
    if (action_row)
        moveAction(-1);
    else
        moveSlot(-1);
}

void CustomMode::onRight()
{
    if (action_row)
        moveAction(1);
    else
        moveSlot(1);
}

void CustomMode::onOk()
{
    if (!action_row) {
        if (!get_mode_status())
            return;
        action_row = 1;
        mode_box->set_box_modify();
        action_select = 0;
        kel_button_selinfo(0, 0);
        return;
    }
    action_row = 0;
    mode_box->set_box_default();
    if (action_select == 0)
        on_Button_use_clicked();
    else if (action_select == 1)
        on_Button_delete_clicked();
    kel_button_selinfo(2, 0);
}

void CustomMode::onBack()
{
    if (action_row) {
        action_row = 0;
        mode_box->set_box_default();
        kel_button_selinfo(2, 0);
        kel_button_mode_clicked();
        return;
    }
    PageOpener::leaveUserModePage(*this);
}

// ---- actions -----------------------------------------------------------------

void CustomMode::on_Button_use_clicked()
{
    // The save request is left as it is; the picker's recall clears it.
    ram()->recallUserMode(g_mode_select, false);
}

void CustomMode::on_Button_delete_clicked()
{
    if (!get_mode_status())
        return;
    ram()->mode_file_deal(g_mode_select, 1);
    lcd_para_init();
    image_para_init();
}

// ---- summary and preview --------------------------------------------------------

void CustomMode::lcd_para_init()
{
    const SlotView view(g_mode_select);
    label_name->setText(UserModePreview::nameText(g_mode_select, label_name->font()));
    label_LED->setText(UserModePreview::ledText(view));
    TextFit::setText(label_brightness, UserModePreview::pictureText(view));
    Button_more->setText(UserModePreview::moreText());
    label_using->setVisible(view.inUse());
}

void CustomMode::image_para_init()
{
    delete preview_widget;
    preview_widget = nullptr;
    const SlotView view(g_mode_select);
    const bool saved = view.saved();
    label_LED->setVisible(saved);
    label_brightness->setVisible(saved);
    label_blank->setVisible(!saved);
    Button_delete->setVisible(saved);
    Button_use->setVisible(saved);
    label_using->setVisible(saved && view.inUse());
    if (!saved) {
        Button_more->hide();
        action_hidden = 1;
        return;
    }
    action_hidden = view.osdEnabled() ? 0 : 1;
    Button_more->setVisible(action_hidden == 0);
    preview_widget = new QWidget(frame);
    preview_widget->setObjectName(QStringLiteral("preview_widget"));
    preview_widget->setGeometry(3, 61, 285, 90);
    preview_widget->setMinimumSize(50, 60);
    if (action_row == 1 && action_hidden == 0 && action_select == 2)
        UserModePreview::drawOsd(preview_widget, g_mode_select, preview_font);
    else
        UserModePreview::drawWindows(preview_widget, view, preview_font);
    preview_widget->show();
}
