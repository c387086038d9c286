#include "ui/pages/screen/netset.h"

#include "ledout/OutputPorts.h"
#include "params/KelRamPara.h"
#include "params/global.h"
#include "ui/shell/L10n.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageForm.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/TextFit.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
const QString kButtonRest =
    "background-color:transparent; border:1px solid rgb(255, 255, 255);border-radius:1px;padding:2px 4px";
const QString kButtonSelected =
    "background-color:transparent; border:0px solid rgb(255, 255, 255);border-radius:1px;padding:2px 4px";
const char* const kTabStyle = "#net_frame{background-color: rgb(16, 16, 28);border-top:1px solid rgb(255,171,84);"
                              "border-left:1px solid rgb(255,171,84);border-right:1px solid rgb(255,171,84);"
                              "border-radius:1px;}";
const char* const kAreaStyle = "#xywh_frame{background-color: rgb(16, 16, 28);border:1px solid rgb(255,171,84);\n"
                               "border-radius:6px;padding:2px 4px}";
const char* const kValueStyle =
    "color: rgb(255, 255, 255);\nbackground-color: rgb(33, 36, 53);\nborder:1px solid rgb(255, 255, 255);";
const char* const kWhite = "color: rgb(255, 255, 255);";
constexpr int kLastPort = OutputPorts::kPorts - 1;
constexpr int kTabStep = 68;

L10n::Texts kTitle = {"网口输出", "Port output", "Настройка LAN", "Cài đặt cổng MẠNG", "網口輸出"};
L10n::Texts kW = {"宽", "W", "Ширина", "Rộng", "寬"};
L10n::Texts kH = {"高", "H", "Высота", "Cao", "高"};

// Port names: only the two Chinese languages name them as network ports.
QString portName(int number)
{
    const int lang = L10n::language();
    const char* format = lang == L10n::Chinese ? "网口LED%1" : lang == L10n::TraditionalChinese ? "網口LED%1" : "LED%1";
    return QString::fromUtf8(format).arg(number);
}
} // namespace

netset::netset(QWidget* parent) : QDialog(parent), PageBase(this, PageFocus::netset, "netset")
{
    buildForm();
    wlan_para_get(0);
    initWlan();
    language_changed();
    menulist_init();
}

void netset::buildForm()
{
    PageForm::setupPage(this, "netset");
    title_ = PageForm::label(this, "label_netset", QRect(50, 0, 220, 22), kWhite, 10);
    title_->setAlignment(Qt::AlignCenter);
    PageForm::picture(this, QRect(5, 51, 14, 14), QStringLiteral(":/png/ltri.png"))->setObjectName("l_p");
    PageForm::picture(this, QRect(299, 51, 14, 14), QStringLiteral(":/png/rtri.png"))->setObjectName("r_p");
    auto* area = new QFrame(this);
    area->setObjectName("xywh_frame");
    area->setGeometry(5, 79, 308, 150);
    area->setStyleSheet(kAreaStyle);
    tab_ = new QFrame(this);
    tab_->setObjectName("net_frame");
    tab_->setGeometry(24, 42, 58, 41);
    tab_->setStyleSheet(kTabStyle);
    for (int k = 0; k < kVisible; ++k) {
        QPushButton* b = PageForm::button(this, QByteArray("LED" + QByteArray::number(k + 1) + "Button").constData(),
                                          QRect(25 + kTabStep * k, 42, 56, 32), kButtonRest);
        buttons_.add(b, {kButtonRest, kButtonSelected, {}, {}, {}});
        links_[k] = PageForm::picture(this, QRect(42 + kTabStep * k, 46, 12, 10), QString());
        links_[k]->setObjectName(QStringLiteral("L%1label").arg(k + 1));
        names_[k] = PageForm::label(this, QByteArray("LED" + QByteArray::number(k + 1) + "label").constData(),
                                    QRect(27 + kTabStep * k, 58, 50, 14), kWhite, 7);
        names_[k]->setAlignment(Qt::AlignCenter);
    }
    PageForm::label(area, "x_label", QRect(31, 39, 10, 17), kWhite, 9)->setText(QStringLiteral("X"));
    PageForm::label(area, "y_label", QRect(169, 39, 10, 17), kWhite, 9)->setText(QStringLiteral("Y"));
    wLabel_ = PageForm::label(area, "w_label", QRect(5, 93, 43, 17), kWhite, 9);
    hLabel_ = PageForm::label(area, "h_label", QRect(140, 93, 45, 17), kWhite, 9);
    wLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    hLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    const char* const names[4] = {"x_lineEdit", "y_lineEdit", "w_lineEdit", "h_lineEdit"};
    const QPoint at[4] = {{49, 35}, {187, 35}, {49, 89}, {187, 89}};
    for (int i = 0; i < 4; ++i) {
        values_[i] = new QLineEdit(area);
        values_[i]->setObjectName(names[i]);
        values_[i]->setGeometry(QRect(at[i], QSize(80, 24)));
        values_[i]->setStyleSheet(kValueStyle);
        values_[i]->setFocusPolicy(Qt::NoFocus);
        values_[i]->setReadOnly(true);
    }
    // The tab lies over the area box and under the port buttons and icons.
    tab_->stackUnder(buttons_.widget(0));
}

void netset::menulist_init()
{
    ui_select_ = ui_sel_ = ui_min_select_ = 0;
    buttons_.setCurrent(0);
    tab_->setGeometry(24, 40, 58, 41);
}

void netset::wlan_para_get(unsigned short port)
{
    const OutputPorts::Area a = OutputPorts::area(port > kLastPort ? 0 : port);
    const uint16_t v[4] = {a.x, a.y, a.w, a.h};
    for (int i = 0; i < 4; ++i)
        values_[i]->setText(QString::number(v[i]));
    for (int k = 0; k < kVisible; ++k)
        names_[k]->setText(portName(ui_min_select_ + k + 1));
}

void netset::initWlan()
{
    const uint32_t mask = OutputPorts::linkMask();
    for (int k = 0; k < kVisible; ++k)
        PageForm::setPixmap(links_[k], OutputPorts::portOnline(mask, ui_min_select_ + k)
                                           ? QStringLiteral(":/png/online_up.png")
                                           : QStringLiteral(":/png/offline_up.png"));
}

void netset::language_changed()
{
    title_->setText(L10n::pick(kTitle));
    TextFit::setText(wLabel_, L10n::pick(kW));
    TextFit::setText(hLabel_, L10n::pick(kH));
}

// Only a language change refreshes the page; the link icons follow the
// next Left or Right.
void netset::syncUpdate(int)
{
    KelRamPara* store = KelRamPara::p_kelrampara_config;
    if (store && store->KelLanguageChanged()) {
        language_changed();
        wlan_para_get(uint16_t(ui_select_));
    }
}

void netset::onRight()
{
    if (ui_sel_ < kVisible - 1) {
        ++ui_select_;
        buttons_.setCurrent(++ui_sel_);
    } else {
        if (ui_select_ < kLastPort)
            ++ui_select_;
        ui_min_select_ = ui_select_ - (kVisible - 1);
    }
    showSelection();
}

void netset::onLeft()
{
    if (ui_sel_ > 0) {
        --ui_select_;
        buttons_.setCurrent(--ui_sel_);
    } else {
        if (ui_min_select_ > 0)
            --ui_min_select_;
        if (ui_select_ > 0)
            --ui_select_;
    }
    showSelection();
}

void netset::showSelection()
{
    tab_->setGeometry(24 + kTabStep * ui_sel_, 40, 58, 41);
    wlan_para_get(uint16_t(ui_select_));
    initWlan();
}

void netset::slot_Button_back_clicked()
{
    returnTo(PageOpener::parentOf(pageFocus()));
}

void netset::clearInstancePointer()
{
    if (g_netset == this)
        g_netset = nullptr;
}
