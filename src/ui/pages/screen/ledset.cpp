#include "ui/pages/screen/ledset.h"

#include "ledout/LedSize.h"
#include "params/KelRamPara.h"
#include "params/RamLayout.h"
#include "params/SyncReason.h"
#include "ui/shell/L10n.h"
#include "ui/shell/My_lineEdit.h"
#include "ui/shell/NumberKeyboard.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageForm.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/TIP.h"
#include "ui/shell/TextFit.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace {
const QString kFieldRest =
    "color:rgb(255, 255, 255);background-color:rgb(33, 36, 53);border:1px solid rgb(255,255,255);";
const QString kFieldFocus =
    "color:rgb(255, 255, 255);background-color: rgb(33, 36, 53);border:1px solid rgb(255,171,84);";
const QString kButtonRest =
    "color: rgb(255, 255, 255);background-color: rgb(33, 36, 53) ; border:1px solid rgb(255,255,255) ;";
const QString kButtonFocus =
    "color: rgb(255, 255, 255);background-color: rgb(33, 36, 53); border:1px solid rgb(255,171,84);";
const char* const kFrameStyle = "#frame{background-color: rgb(16, 16, 28);border:1px solid rgb(255, 255, 255);"
                                "border-radius:6px;padding:2px 4px}";
const char* const kLabelStyle = "color:rgb(255,255,255);background-color: rgb(16, 16, 28);";

enum Entry { Width = 0, Height = 1, Apply = 2, Cancel = 3 };

L10n::Texts kTitle = {"LED设置", "LED Setting", "Настройка LED", "Cài đặt LED", "LED設置"};
L10n::Texts kNote = {"设置LED屏宽高", "Set LED W&H", "Разрешение LED шир и выс", "Cài đặt thông số led",
                     "設置LED屏寬高"};
L10n::Texts kW = {"宽", "W", "Ширина", "Rộng", "寬"};
L10n::Texts kH = {"高", "H", "Высота", "Cao", "高"};
L10n::Texts kTip = {"可设LED屏最大点数:%d(宽),%d(高)", "LED max:%d(w),%d(h)", "Ширина:%d(px)Высота:%d(px)",
                    "Điểm ảnh lớn nhất:%d(ngang),%d(dọc)", "可設LED屏最大點數:%d(寬),%d(高)"};
L10n::Texts kApply = {"应用", "Apply", "OK", "Đồng ý", "應用"};
L10n::Texts kCancel = {"取消", "Cancle", "Отмена", "Hủy bỏ", "取消"};
} // namespace

ledset::ledset(QWidget* parent) : QDialog(parent), PageBase(this, PageFocus::ledset, "ledset")
{
    buildForm();
    para_init();
    menulist_init();
    language_changed();
}

void ledset::buildForm()
{
    PageForm::setupPage(this, "ledset");
    title_ = PageForm::label(this, "label_ledset", QRect(50, 10, 220, 18), PageForm::kWhiteText, 13);
    title_->setAlignment(Qt::AlignCenter);
    auto* frame = new QFrame(this);
    frame->setObjectName("frame");
    frame->setGeometry(10, 42, 300, 140);
    frame->setStyleSheet(kFrameStyle);
    note_ = PageForm::label(frame, "label_note_led_w", QRect(10, 10, 260, 12), kLabelStyle, 9);
    labelW_ = PageForm::label(frame, "label_ledw", QRect(5, 51, 50, 12), kLabelStyle, 9);
    labelH_ = PageForm::label(frame, "label_ledh", QRect(143, 51, 50, 12), kLabelStyle, 9);
    labelW_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    labelH_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    fields_[Width] = PageForm::field(frame, "lineEdit_ledw", QRect(58, 47, 70, 24), kFieldRest);
    fields_[Height] = PageForm::field(frame, "lineEdit_ledh", QRect(196, 47, 70, 24), kFieldRest);
    for (My_lineEdit* f : fields_) {
        PageForm::setPointSize(f, 11);
    }
    QLabel* warning = PageForm::picture(frame, QRect(10, 116, 16, 16), QStringLiteral(":/png/warning.png"));
    warning->setObjectName("label_warning");
    tip_ = PageForm::label(frame, "label_tip", QRect(28, 118, 260, 12), kLabelStyle, 8);
    apply_ = PageForm::button(this, "Button_apply", QRect(60, 200, 89, 25), kButtonRest);
    cancel_ = PageForm::button(this, "Button_cancle", QRect(210, 200, 89, 25), kButtonRest);
    // A press on a field opens the keyboard for it, as OK does.
    connect(fields_[Width], &My_lineEdit::send_show, this, [this]() { editField(Width); });
    connect(fields_[Height], &My_lineEdit::send_show, this, [this]() { editField(Height); });
}

void ledset::menulist_init()
{
    ring_.clear();
    ring_.add(fields_[Width], {kFieldRest, kFieldFocus, {}, {}, {}});
    ring_.add(fields_[Height], {kFieldRest, kFieldFocus, {}, {}, {}});
    ring_.add(apply_, {kButtonRest, kButtonFocus, {}, {}, {}});
    ring_.add(cancel_, {kButtonRest, kButtonFocus, {}, {}, {}});
    ring_.setCurrent(Width);
}

void ledset::para_init()
{
    const KelRamPara* store = KelRamPara::p_kelrampara_config;
    if (!store)
        return;
    fields_[Width]->setText(QString::number(store->blockU16(RamLayout::kLedWidth)));
    fields_[Height]->setText(QString::number(store->blockU16(RamLayout::kLedHeight)));
}

void ledset::language_changed()
{
    TextFit::setText(title_, L10n::pick(kTitle));
    TextFit::setText(note_, L10n::pick(kNote));
    TextFit::setText(labelW_, L10n::pick(kW));
    TextFit::setText(labelH_, L10n::pick(kH));
    tip_->setText(L10n::pick(kTip).replace(QLatin1String("%d"), QString::number(LedSize::kMax)));
    apply_->setText(L10n::pick(kApply));
    cancel_->setText(L10n::pick(kCancel));
}

void ledset::syncUpdate(int)
{
    KelRamPara* store = KelRamPara::p_kelrampara_config;
    if (!store)
        return;
    if (store->KelLanguageChanged())
        language_changed();
    // A size written elsewhere (the protocol, a factory reset) is shown.
    if (store->blockU16(RamLayout::kLedWidth) != store->shadowU16(RamLayout::kLedWidth)
        || store->blockU16(RamLayout::kLedHeight) != store->shadowU16(RamLayout::kLedHeight))
        para_init();
}

void ledset::editField(int index)
{
    g_lineedit = fields_[index];
    const std::optional<QString> text =
        NumberKeyboard::ask(NumberKeyboard::fieldTitle(index == Width ? "lineEdit_W" : "lineEdit_H"),
                            fields_[index]->text());
    if (!text || g_ledset != this)
        return;
    const int partner = index == Width ? Height : Width;
    const LedSize::Texts t = LedSize::bound(index == Width ? LedSize::Dimension::Width : LedSize::Dimension::Height,
                                            *text, fields_[partner]->text());
    fields_[index]->setText(t.edited);
    fields_[partner]->setText(t.partner);
}

void ledset::onOk()
{
    switch (ring_.current()) {
    case Width:
    case Height: emit fields_[ring_.current()]->send_show(fields_[ring_.current()]->text()); break;
    case Apply: on_Button_apply1_clicked(); break;
    default: slot_Button_back_clicked(); break;
    }
}

void ledset::on_Button_apply1_clicked()
{
    // A field holding more than the bounds (a size stored by the protocol)
    // is brought into range by LedSize, never applied as 0.
    const bool changed = LedSize::apply(fields_[Width]->text().toInt(), fields_[Height]->text().toInt());
    // The notice runs its own loop for 3 s: it is shown only after the
    // scaler's mutex has been released.
    if (changed && g_tip)
        g_tip->tip_create(TIP_SAVED);
}

void ledset::slot_Button_back_clicked()
{
    returnTo(PageOpener::parentOf(pageFocus()));
}

void ledset::clearInstancePointer()
{
    if (g_ledset == this)
        g_ledset = nullptr;
}
