#include "ui/shell/MenuPage.h"

#include "params/KelRamPara.h"
#include "params/global.h"
#include "ui/shell/GuiThread.h"
#include "ui/shell/L10n.h"
#include "ui/shell/PageForm.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/PageTable.h"
#include "ui/shell/TextFit.h"

#include <QLabel>
#include <QPushButton>

namespace {
const char* const kRest = "background-color: rgb(33, 36, 53);color: rgb(255, 255, 255);border:2px;"
                          "border-radius:10px;padding:2px 4px;";
const char* const kFocus = "background-color: rgb(33, 36, 53);color: rgb(255, 255, 255);"
                           "border:2px solid rgb(255,171,84);border-radius:10px;padding:2px 4px;";
const char* const kDisabled = "background-color: rgb(90, 90, 90);color: rgb(160, 160, 160);border:2px;"
                              "border-radius:10px;padding:2px 4px;";
const char* const kDisabledFocus = "background-color: rgb(90, 90, 90);color: rgb(160, 160, 160);"
                                   "border:2px solid rgb(255,171,84);border-radius:10px;padding:2px 4px;";
const char* const kTextRest = "color:rgb(255,255,255);background-color: rgb(33, 36, 53) ; border:2px ;"
                              "border-radius:10px;padding:2px 4px";
const char* const kTextFocus = "color:rgb(255,255,255);background-color: rgb(33, 36, 53); "
                               "border:2px solid rgb(255,171,84);border-radius:10px;padding:2px 4px";
const char* const kSettingsRest = "background-color: rgb(33, 36, 53);border:2px;border-radius:10px;"
                                  "padding:2px 4px;color:rgb(255,255,255)";
const char* const kSettingsFocus = "background-color: rgb(33, 36, 53); border:2px solid rgb(255,171,84);"
                                   "border-radius:10px;padding:2px 4px;color:rgb(255,255,255)";
const char* const kSettingsGrey = "background-color: gray;border:2px;border-radius:10px;padding:2px 4px;"
                                  "color:rgb(255,255,255)";
const char* const kSettingsGreyFocus = "background-color: gray; border:2px solid rgb(255,171,84);"
                                       "border-radius:10px;padding:2px 4px;color:rgb(255,255,255)";
} // namespace

MenuPage::MenuPage(uint8_t focus, const char* className, QWidget* parent)
    : QDialog(parent), PageBase(this, focus, className)
{
    PageForm::setupPage(this, className);
}

FocusRing::Styles MenuPage::defaultStyles()
{
    return {QString::fromLatin1(kRest), QString::fromLatin1(kFocus), QString::fromLatin1(kDisabled),
            QString::fromLatin1(kDisabledFocus), QString()};
}

FocusRing::Styles MenuPage::settingsEntryStyles()
{
    return {QString::fromLatin1(kSettingsRest), QString::fromLatin1(kSettingsFocus), QString::fromLatin1(kSettingsGrey),
            QString::fromLatin1(kSettingsGreyFocus), QString()};
}

FocusRing::Styles MenuPage::textEntryStyles()
{
    return {QString::fromLatin1(kTextRest), QString::fromLatin1(kTextFocus), QString(), QString(), QString()};
}

void MenuPage::setTitle(const QRect& geometry, int pointSize, const char* const* texts, const char* family)
{
    title_ = PageForm::label(this, "label_title", geometry, QString::fromLatin1(PageForm::kWhiteText), pointSize);
    title_->setAlignment(Qt::AlignCenter);
    if (family) {
        QFont f = title_->font();
        f.setFamily(QString::fromLatin1(family));
        title_->setFont(f);
    }
    titleTexts_ = texts;
    title_->setText(L10n::pick(texts));
}

void MenuPage::setEntryPointSize(int pointSize)
{
    for (QPushButton* b : buttons_)
        PageForm::setPointSize(b, pointSize);
    // The texts fitted again from the new size.
    for (size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].texts)
            TextFit::setText(buttons_[i], L10n::pick(entries_[i].texts));
}

void MenuPage::setEntries(std::vector<Entry> entries, const FocusRing::Styles& styles)
{
    entries_ = std::move(entries);
    ring_.clear();
    for (QPushButton* b : buttons_)
        delete b;
    buttons_.clear();
    for (size_t i = 0; i < entries_.size(); ++i) {
        QPushButton* b = PageForm::button(this, entries_[i].name, entries_[i].geometry, QString());
        const int index = static_cast<int>(i);
        // A pointer click runs the same code as OK on the entry.
        connect(b, &QPushButton::clicked, this, [this, index]() {
            ring_.setCurrent(index);
            onOk();
        });
        buttons_.push_back(b);
        ring_.add(b, styles);
    }
    ring_.setCurrent(0);
    language_changed();
}

QPushButton* MenuPage::entryButton(int index) const
{
    return index >= 0 && index < static_cast<int>(buttons_.size()) ? buttons_[index] : nullptr;
}

QString MenuPage::iconPath(int index) const
{
    return L10n::icon(entries_[index].icon);
}

QSize MenuPage::iconSize(int index) const
{
    return entries_[index].iconSize;
}

void MenuPage::language_changed()
{
    if (!GuiThread::isGuiThread()) {
        // Widgets belong to the GUI thread; by the time the call arrives the
        // page may have closed or another page may be in front.
        const uint8_t focus = pageFocus();
        GuiThread::run([focus]() {
            PageBase* page = PageTable::at(focus);
            if (page && g_page_focus == focus)
                page->language_changed();
        });
        return;
    }
    refreshOwn();
    if (title_ && titleTexts_)
        title_->setText(L10n::pick(titleTexts_));
    for (size_t i = 0; i < entries_.size(); ++i) {
        const Entry& e = entries_[i];
        const int index = static_cast<int>(i);
        if (e.icon) {
            const QSize size = iconSize(index);
            PageForm::setIcon(buttons_[i], iconPath(index), size.width(), size.height());
        }
        if (e.texts)
            TextFit::setText(buttons_[i], L10n::pick(e.texts));
        ring_.setEnabled(index, !e.enabled || e.enabled());
    }
}

void MenuPage::syncUpdate(int reason)
{
    (void)reason;
    KelRamPara* ram = KelRamPara::p_kelrampara_config;
    if (ram && ram->KelLanguageChanged())
        language_changed();
}

void MenuPage::openEntry(int index)
{
    PageOpener::open(entries_[index].child);
}

void MenuPage::onOk()
{
    const int index = ring_.current();
    if (index < 0 || index >= static_cast<int>(entries_.size()) || !ring_.isEnabled(index))
        return;
    openEntry(index); // may run a child page's loop: nothing after it
}

void MenuPage::onBack()
{
    returnTo(PageOpener::parentOf(pageFocus()));
}
