#include "ui/pages/input/AdvancedOption.h"

#include "params/StoreFolders.h"
#include "params/global.h"
#include "platform/PathMap.h"
#include "ui/shell/L10n.h"
#include "ui/shell/NumberKeyboard.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/PageForm.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/PageTable.h"

#include <QDir>

namespace {
const char* const kTitle[5] = {"高级设置", "Advanced Settings", "Доп.опции", "Cài đặt nâng cao", "高級設置"};
const char* const kLcd[5] = {"液晶显示", "LCD display", "ЖК\nдисплей", "Màn hình\nLCD", "液晶顯示"};
const char* const kRecovery[5] = {"接收卡自恢复", "Rcv\nself-recovery", "Самовосст\nановление",
                                  "Thẻ nhận tự\nphục hồi", "接收卡自恢複"};
const char* const kOther[5] = {"其他设置", "Others", "Другие\nнастройки", "Khôi phục\ncài đăt gốc", "其他設置"};
const char* const kFactory[5] = {"工厂设置", "Factory", "Системные\nнастройки", "Khôi phục\ncàiđăt gốc",
                                 "工廠設置"};
const char* const kAge[5] = {"工厂老化", "Aging", "Сброс\nнастроек", "Lão hóa\nnhà máy", "工廠老化"};

const char* const kAccessCode = "4719";
const char* const kCodeShown = "**********";

AdvancedOption::FileCounter& fileCounter()
{
    static AdvancedOption::FileCounter counter;
    return counter;
}
} // namespace

AdvancedOption::AdvancedOption(QWidget* parent) : MenuPage(PageFocus::AdvancedOption, "AdvancedOption", parent)
{
    setTitle(QRect(78, 10, 164, 22), 11, kTitle, "Ubuntu");
    PageForm::hintPictures(this);
    const auto hasFiles = [this]() { return rcv_file_count_ != 0; };
    setEntries({{"Button_LCDshow", QRect(15, 47, 90, 80), PageFocus::lcdshow, nullptr, {}, kLcd, {}},
                {"Button_other", QRect(115, 47, 90, 80), PageFocus::othersetup, nullptr, {}, kOther, {}},
                {"Button_rcv_recovery", QRect(215, 47, 90, 80), PageFocus::rcv_recovery, nullptr, {}, kRecovery,
                 hasFiles},
                {"Button_factory", QRect(15, 137, 90, 80), PageFocus::factory, nullptr, {}, kFactory, {}},
                {"Button_age", QRect(115, 137, 90, 80), PageFocus::factoryage, nullptr, {}, kAge, {}}},
               settingsEntryStyles());
    setEntryPointSize(9);
}

AdvancedOption::~AdvancedOption()
{
    clearInstancePointer();
}

void AdvancedOption::clearInstancePointer()
{
    if (g_advancedoption == this)
        g_advancedoption = nullptr;
}

void AdvancedOption::setFileCounter(FileCounter counter)
{
    fileCounter() = std::move(counter);
}

std::optional<int> AdvancedOption::countRecoveryFiles()
{
    if (fileCounter())
        return fileCounter()();
    const QDir dir(kel::platform::PathMap::host(QString::fromLatin1(StoreFolders::kRecoveryDir)));
    if (!dir.exists())
        return std::nullopt;
    return dir.entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot).size();
}

void AdvancedOption::refreshOwn()
{
    if (const std::optional<int> count = countRecoveryFiles())
        rcv_file_count_ = *count;
}

void AdvancedOption::openEntry(int index)
{
    if (index != Age) {
        MenuPage::openEntry(index);
        return;
    }
    const QString title = L10n::language() == L10n::Russian ? QString::fromUtf8("Пароль") : QStringLiteral("key");
    const std::optional<QString> code = NumberKeyboard::ask(title, QString::fromLatin1(kCodeShown));
    // The keyboard has closed. Open the log only if this menu is still the
    // page in front: a call from elsewhere may have closed it meanwhile.
    if (!code || *code != QLatin1String(kAccessCode))
        return;
    if (PageTable::at(PageFocus::AdvancedOption) != this || g_page_focus != PageFocus::AdvancedOption)
        return;
    PageOpener::open(PageFocus::factoryage);
}
