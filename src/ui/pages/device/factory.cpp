#include "ui/pages/device/factory.h"

#include "params/ApplyGate.h"
#include "params/KelRamPara.h"
#include "params/OfferedLanguages.h"
#include "params/Utils.h"
#include "params/global.h"
#include "ui/pages/device/FactoryReset.h"
#include "ui/shell/L10n.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageForm.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/TextFit.h"
#include "video/c331_manage.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace {
const char* const kWhite = "color:rgb(255,255,255);";
QString buttonStyle(const char* border)
{
    return QStringLiteral("color:rgb(255,255,255);\nborder:1px solid %1;").arg(QString::fromLatin1(border));
}

// Texts in language_id order: zh, en, ru, vn, tw.
const L10n::Texts kTexts[] = {
    {"工厂设置", "Factory setup", "Системные настройки", "Khôi phục cài đăt gốc", "工廠設置"},
    {"语言", "language", "Язык", "Ngôn ngữ", "語言"},
    {"工厂复位", "Factory reset", "Сброс настроек", "Khôi phục cài đặt gốc", "工廠複位"},
    {"保持IP不变", "Keep IP", "Сохранить IP", "Giữ nguyên IP", "保持IP不變"},
    {"IP和EDID保持不变", "Keep IP,EDIP", "Сохранить IP и EDID", "IP và EDID vẫn giữ nguyên", "IP和EDID保持不變"},
    {"全部恢复出厂设置", "Reset ALL", "Сбросить все", "Khôi phục cài đặt gốc tất cả", "全部恢複出廠設置"},
};
const L10n::Texts kPressOk = {"点击OK应用", "Press Ok", "Нажмите ОК", "Đồng ý", "點擊OK應用"};
const char* const kLanguageNames[5] = {"中文", "English", "Русский", "Tiếng việt", "繁體中文"};
const char* const kButtons[3] = {"Button_rst1", "Button_rst2", "Button_rst3"};
constexpr int kBox = 0;

QString piece(const char* colour, int px, const QString& text)
{
    return QStringLiteral("<font style = 'font-size:%1px' color = %2 >%3</font>").arg(px).arg(QString::fromLatin1(colour), text);
}
} // namespace

factory::factory(QWidget* parent) : QDialog(parent), PageBase(this, PageFocus::factory, "factory")
{
    buildForm();
    menulist_init();
    language_changed();
}

factory::~factory()
{
    clearInstancePointer();
}

void factory::clearInstancePointer()
{
    if (g_factory == this)
        g_factory = nullptr;
}

void factory::buildForm()
{
    PageForm::setupPage(this, "factory");
    const QString white = QString::fromLatin1(kWhite);
    texts_[0] = PageForm::label(this, "label_factory", QRect(50, 10, 220, 22), white, 10);
    texts_[0]->setAlignment(Qt::AlignCenter);
    QFrame* frame = PageForm::panelFrame(this, QRect(10, 42, 300, 190));
    texts_[1] = PageForm::label(frame, "label_lang", QRect(10, 9, 60, 14), white, 9);
    texts_[1]->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Box_lang_2 = new QComboBox(frame);
    Box_lang_2->setObjectName(QStringLiteral("Box_lang_2"));
    Box_lang_2->setGeometry(190, 5, 100, 24);
    Box_lang_2->setFont(PageForm::pointFont(9));
    Box_lang_2->setFocusPolicy(Qt::NoFocus);
    for (const char* name : kLanguageNames)
        Box_lang_2->addItem(QString::fromUtf8(name));
    PageForm::label(frame, "label", QRect(0, 36, 300, 1), QStringLiteral("background-color: rgb(255, 255, 255);"));
    texts_[2] = PageForm::label(frame, "label_rst", QRect(50, 40, 220, 17),
                                QStringLiteral("color:rgb(255,255,255);\nbackground-color: rgb(16, 16, 28);"), 9);
    texts_[2]->setAlignment(Qt::AlignCenter);
    const char* const rowLabels[3] = {"label_ip", "label_edid", "label_all"};
    for (int i = 0; i < 3; ++i) {
        texts_[3 + i] = PageForm::label(frame, rowLabels[i], QRect(10, 69 + 30 * i, 150, 17), white, 9);
        PageForm::button(frame, kButtons[i], QRect(190, 65 + 30 * i, 100, 24), buttonStyle("rgb(255, 255, 255)"))
            ->setFont(PageForm::pointFont(9));
    }
    PageForm::label(frame, "label2", QRect(0, 155, 300, 1), QStringLiteral("background-color: rgb(255, 255, 255);"));
    FontCN = PageForm::label(frame, "FontCN", QRect(10, 165, 130, 17), white, 9);
    FontEN = PageForm::label(frame, "FontEN", QRect(160, 165, 130, 17), white, 9);
    FontEN->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // The font lines are the program's own markup.
    FontCN->setTextFormat(Qt::RichText);
    FontEN->setTextFormat(Qt::RichText);
}

void factory::menulist_init()
{
    ring_.clear();
    FocusRing::Styles box{PageForm::comboStyle("rgb(255,255,255)"), PageForm::comboStyle("rgb(255,171,84)"), QString(), QString(),
                          PageForm::comboStyle("rgb(255,0,0)")};
    ring_.add(Box_lang_2, box);
    FocusRing::Styles button{buttonStyle("rgb(255, 255, 255)"), buttonStyle("rgb(255,171,84)"), QString(), QString(),
                             QString()};
    for (const char* name : kButtons)
        ring_.add(findChild<QPushButton*>(QString::fromLatin1(name)), button);
    ring_.setEditing(false);
    ring_.setCurrent(kBox);
    const uint32_t offered = Utils::configValue(g_lcd_lang_valid);
    pending_ = OfferedLanguages::offered(g_language, offered) ? g_language : OfferedLanguages::kEnglish;
    Box_lang_2->setCurrentIndex(pending_);
}

QString factory::releaseLine(PanelKey key) const
{
    if (key == PanelKey::Left || key == PanelKey::Right)
        return PageBase::releaseLine(key) + QString::asprintf(" ui_select=%#x", unsigned(ring_.current()));
    return PageBase::releaseLine(key);
}

void factory::move(int direction)
{
    if (!ring_.editing()) {
        ring_.step(direction);
        return;
    }
    pending_ = OfferedLanguages::step(pending_, direction, Utils::configValue(g_lcd_lang_valid));
    Box_lang_2->setCurrentIndex(pending_);
}

void factory::onOk()
{
    switch (ring_.current()) {
    case kBox:
        if (!ring_.editing()) {
            ring_.setEditing(true);
            return;
        }
        on_Button_lang_clicked();
        ring_.setEditing(false);
        return;
    case 1: FactoryReset::run(FactoryReset::Kind::KeepIp); break;
    case 2: FactoryReset::run(FactoryReset::Kind::KeepIpEdid); break;
    case 3: FactoryReset::run(FactoryReset::Kind::All); break;
    default: break;
    }
    ring_.setEditing(false);
}

void factory::on_Button_lang_clicked()
{
    KelRamPara* store = KelRamPara::p_kelrampara_config;
    if (!ring_.editing() || pending_ < 0 || pending_ >= OfferedLanguages::kCount || !store)
        return;
    if (store->RamBlock[RamLayout::kLcdLanguage] == pending_)
        return;
    g_language = uint8_t(pending_);
    const uint8_t lang = uint8_t(pending_);
    ApplyGate::instance().apply([store, lang]() { store->RamBlock[RamLayout::kLcdLanguage] = lang; });
    language_changed();
}

QString factory::fontLine(uint32_t bits, bool english)
{
    const int lang = L10n::language();
    const bool zh = lang == L10n::Chinese;
    const QString suffix = zh ? QString::fromUtf8("宽") : lang == L10n::TraditionalChinese ? QString::fromUtf8("寬") : QString();
    const int b32 = english ? 1 : 0;
    const int b64 = english ? 3 : 2;
    auto sized = [&](int bit, const char* size) {
        return piece((bits >> bit) & 1u ? "#00ff00" : "#ff0000", 13, QString::fromLatin1(size) + suffix);
    };
    const QString prefix = english ? (zh ? QString::fromUtf8("英文:") : QStringLiteral("EN:"))
                                   : (zh ? QString::fromUtf8("中文:") : QStringLiteral("CN:"));
    const QString bar = piece("#ffffff", 12, QStringLiteral("|"));
    return piece("#ffffff", 12, prefix) + sized(b32, "32") + bar + sized(b64, "64") + bar + sized(b64, "128");
}

void factory::language_changed()
{
    for (int i = 0; i < 6; ++i)
        TextFit::setText(texts_[i], L10n::pick(kTexts[i]));
    for (const char* name : kButtons)
        findChild<QPushButton*>(QString::fromLatin1(name))->setText(L10n::pick(kPressOk));
    const uint32_t bits = c331_manage::p_c331_manage ? c331_manage::p_c331_manage->c331_font_bits.load() : 0;
    FontCN->setText(fontLine(bits, false));
    FontEN->setText(fontLine(bits, true));
}

void factory::syncUpdate(int)
{
    KelRamPara* store = KelRamPara::p_kelrampara_config;
    if (!store || !store->KelLanguageChanged())
        return;
    if (g_language < OfferedLanguages::kCount) {
        if (ring_.current() == kBox && ring_.editing())
            ring_.setEditing(false);
        Box_lang_2->setCurrentIndex(g_language);
    }
    language_changed();
}

void factory::onBack()
{
    returnTo(PageFocus::AdvancedOption);
}
