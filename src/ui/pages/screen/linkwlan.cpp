#include "ui/pages/screen/linkwlan.h"

#include "params/KelRamPara.h"
#include "params/NetworkConfig.h"
#include "params/Utils.h"
#include "params/global.h"
#include "ui/shell/L10n.h"
#include "ui/shell/My_lineEdit.h"
#include "ui/shell/NumberKeyboard.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageForm.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/PagePointers.h"

#include <QDebug>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QStringList>

namespace {
const QString kEditorFocus =
    "color: rgb(255, 255, 255); background-color: rgb(33, 36, 53);border:1px solid rgb(255,171,84);";
const QString kButtonRest = "color: rgb(255, 255, 255);border:1px solid rgb(255,255,255);";
const QString kButtonFocus = "color: rgb(255, 255, 255);border:1px solid rgb(255,171,84);";
const QString kFirst = "color: rgb(255, 255, 255);background-color: rgb(33, 36, 53);border-top:1px solid rgb(255, "
                       "255, 255);border-bottom:1px solid rgb(255, 255, 255);border-left:1px solid rgb(255, 255, 255);";
const QString kMiddle = "color: rgb(255, 255, 255);background-color: rgb(33, 36, 53);border-top:1px solid rgb(255, "
                        "255, 255);border-bottom:1px solid rgb(255, 255, 255);";
const QString kLast = "color: rgb(255, 255, 255);background-color: rgb(33, 36, 53);border-top:1px solid rgb(255, "
                      "255, 255);border-bottom:1px solid rgb(255, 255, 255);border-right:1px solid rgb(255, 255, 255);";
const char* const kFrameStyle = "#frame\n{background-color: rgb(16, 16, 28);border:1px solid rgb(255, 255, 255);\n"
                                "border-radius:6px;padding:2px 4px}";
const char* const kLabelStyle = "color:rgb(255,255,255);";

const char* const kRowNames[3] = {"Ip", "Mask", "Gate"};
const char* const kRowLabelNames[3] = {"label_IpSet", "label_netmask", "label_gateway"};
const int kRowY[3] = {14, 48, 82};
const int kOctetX[4] = {140, 177, 214, 251};
const int kDotX[3] = {172, 209, 246};

L10n::Texts kTitle = {"网口设置", "Net connect", "Сетевое подключение", "Cài đặt cổng mạng", "網口設置"};
L10n::Texts kRowTexts[3] = {
    {"IP地址", "IP", "IP-адрес", "Địa chỉ IP", "IP地址"},
    {"子网掩码", "Mask", "Маска", "Cài đặt mặt lạ con", "子網掩碼"},
    {"默认网关", "Gate", "Шлюз", "Cổng vào", "默認網關"},
};
L10n::Texts kApply = {"应用", "Apply", "OK", "Đồng ý", "應用"};
L10n::Texts kCancel = {"取消", "Cancle", "Отмена", "Hủy bỏ", "取消"};

constexpr int kApplyEntry = linkwlan::kOctets;
} // namespace

linkwlan::linkwlan(QWidget* parent) : QDialog(parent), PageBase(this, PageFocus::linkwlan, "linkwlan")
{
    buildForm();
    fillRow(0, Utils::configValue(g_str_ip));
    fillRow(1, Utils::configValue(g_srt_mask));
    fillRow(2, Utils::configValue(g_str_gateway));
    ring_.setCurrent(0);
    language_changed();
}

void linkwlan::buildForm()
{
    PageForm::setupPage(this, "linkwlan");
    title_ = PageForm::label(this, "label_wlan", QRect(50, 10, 220, 22), kLabelStyle);
    title_->setAlignment(Qt::AlignCenter);
    auto* frame = new QFrame(this);
    frame->setObjectName("frame");
    frame->setGeometry(10, 42, 300, 150);
    frame->setStyleSheet(kFrameStyle);
    const QString rowStyles[4] = {kFirst, kMiddle, kMiddle, kLast};
    for (int row = 0; row < 3; ++row) {
        rowLabels_[row] = PageForm::label(frame, kRowLabelNames[row], QRect(10, kRowY[row], 120, 17), kLabelStyle, 9);
        for (int k = 0; k < 4; ++k) {
            const QByteArray name = QByteArray("lineEdit") + kRowNames[row] + QByteArray::number(k + 1);
            My_lineEdit* e = PageForm::field(frame, name.constData(), QRect(kOctetX[k], kRowY[row], 32, 17), rowStyles[k]);
            e->setAlignment(Qt::AlignCenter);
            // The form's 9 points: three digits fit the 32-pixel field whole.
            e->setFont(PageForm::pointFont(9));
            octets_[row * 4 + k] = e;
            const int index = row * 4 + k;
            // A press on an editor opens the keyboard for it, as OK does.
            connect(e, &My_lineEdit::send_show, this, [this, index]() { editOctet(index); });
            ring_.add(e, {rowStyles[k], kEditorFocus, {}, {}, {}});
        }
        for (int d = 0; d < 3; ++d) {
            const QByteArray name = QByteArray("label") + kRowNames[row] + "Dot" + QByteArray::number(d + 1);
            QLabel* dot = PageForm::label(frame, name.constData(), QRect(kDotX[d], kRowY[row], 5, 17), kMiddle, 9);
            dot->setText(QStringLiteral("."));
            dot->setAlignment(Qt::AlignCenter);
        }
    }
    apply_ = PageForm::button(this, "Button_apply", QRect(60, 200, 89, 25), kButtonRest);
    cancel_ = PageForm::button(this, "Button_cancle", QRect(200, 200, 89, 25), kButtonRest);
    ring_.add(apply_, {kButtonRest, kButtonFocus, {}, {}, {}});
    ring_.add(cancel_, {kButtonRest, kButtonFocus, {}, {}, {}});
}

// The four parts of an address split at "." (empty parts kept); a stored
// text with fewer parts leaves the remaining editors empty.
void linkwlan::fillRow(int row, const QString& address)
{
    const QStringList parts = address.split(QLatin1Char('.'));
    for (int k = 0; k < 4; ++k)
        octets_[row * 4 + k]->setText(k < parts.size() ? parts[k] : QString());
}

QString linkwlan::rowText(int row) const
{
    QStringList parts;
    for (int k = 0; k < 4; ++k)
        parts << octets_[row * 4 + k]->text();
    return parts.join(QLatin1Char('.'));
}

void linkwlan::language_changed()
{
    title_->setText(L10n::pick(kTitle));
    for (int row = 0; row < 3; ++row)
        rowLabels_[row]->setText(L10n::pick(kRowTexts[row]));
    apply_->setText(L10n::pick(kApply));
    cancel_->setText(L10n::pick(kCancel));
}

// The editors are not reloaded: an address changed elsewhere shows the
// next time the page opens.
void linkwlan::syncUpdate(int)
{
    KelRamPara* store = KelRamPara::p_kelrampara_config;
    if (store && store->KelLanguageChanged())
        language_changed();
}

void linkwlan::editOctet(int index)
{
    g_lineedit = octets_[index];
    const bool mask = index / 4 == 1;
    const std::optional<QString> text =
        NumberKeyboard::ask(mask ? QStringLiteral("Mask") : QStringLiteral("IP"), octets_[index]->text());
    if (text && g_linkwlan == this)
        octets_[index]->setText(*text);
}

bool linkwlan::isOctet(const QString& text)
{
    if (text.isEmpty() || text.size() > 3)
        return false;
    for (QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return text.toInt() <= 255;
}

bool linkwlan::on_Button_net_apply_clicked()
{
    // Octets are checked before anything is written: the texts become
    // interface commands.
    for (My_lineEdit* e : octets_)
        if (!isOctet(e->text()))
            return false;
    const QString ip = rowText(0), mask = rowText(1), gateway = rowText(2);
    if (NetworkConfig::isCurrent(ip, mask, gateway))
        return true;
    qDebug().noquote() << "linkwlan apply" << ip << mask << gateway;
    return NetworkConfig::storeNetwork(ip, mask, gateway);
}

void linkwlan::onOk()
{
    const int at = ring_.current();
    if (at < kOctets)
        emit octets_[at]->send_show(octets_[at]->text());
    else if (at == kApplyEntry)
        on_Button_net_apply_clicked();
    else
        slot_Button_back_clicked();
}

void linkwlan::slot_Button_back_clicked()
{
    returnTo(PageOpener::parentOf(pageFocus()));
}

void linkwlan::clearInstancePointer()
{
    if (g_linkwlan == this)
        g_linkwlan = nullptr;
}
